// The grid of tiles a region too large for one engine call is cut into.
#pragma once

#include "core/rect.h"

#include <cstdint>

namespace velanox::pipeline {

/// nx = C / blockWidth + 1 columns and ny = D / blockHeight + 1 rows of tiles of
/// bw = C / nx by bh = D / ny pixels. The C - nx * bw columns and D - ny * bh rows the grid
/// leaves over are added to the last column and the last row of tiles, so every pixel lies in
/// exactly one tile and no tile is larger than blockWidth + nx - 1 by blockHeight + ny - 1.
struct TileGrid {
    int64_t columns = 0, rows = 0;
    int32_t tileWidth = 0, tileHeight = 0;
    int32_t regionWidth = 0, regionHeight = 0;

    int64_t count() const { return columns * rows; }
    /// The tile in column tx and row ty, in region coordinates.
    core::Rect tile(int64_t tx, int64_t ty) const;
    /// The largest tile: the one at the bottom right.
    int32_t largestWidth() const { return regionWidth - int32_t((columns - 1) * tileWidth); }
    int32_t largestHeight() const { return regionHeight - int32_t((rows - 1) * tileHeight); }
};

/// Whether a region of width x height must be tiled with these block limits (both >= 1).
inline bool needsTiling(int32_t width, int32_t height, int32_t blockWidth, int32_t blockHeight) {
    return width > blockWidth || height > blockHeight;
}

/// Plans the grid for a region of width x height (both > 0) with block limits >= 1.
TileGrid planTiles(int32_t width, int32_t height, int32_t blockWidth, int32_t blockHeight);

} // namespace velanox::pipeline
