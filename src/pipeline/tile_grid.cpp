#include "pipeline/tile_grid.h"

namespace velanox::pipeline {

TileGrid planTiles(int32_t width, int32_t height, int32_t blockWidth, int32_t blockHeight) {
    TileGrid g;
    g.regionWidth = width;
    g.regionHeight = height;
    g.columns = int64_t(width) / blockWidth + 1;
    g.rows = int64_t(height) / blockHeight + 1;
    g.tileWidth = int32_t(width / g.columns);
    g.tileHeight = int32_t(height / g.rows);
    return g;
}

core::Rect TileGrid::tile(int64_t tx, int64_t ty) const {
    core::Rect r;
    r.left = int32_t(tx * tileWidth);
    r.top = int32_t(ty * tileHeight);
    r.right = tx == columns - 1 ? regionWidth : r.left + tileWidth;
    r.bottom = ty == rows - 1 ? regionHeight : r.top + tileHeight;
    return r;
}

} // namespace velanox::pipeline
