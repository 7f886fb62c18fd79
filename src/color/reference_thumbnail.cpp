#include "color/reference_thumbnail.h"

#include <algorithm>
#include <vector>

namespace velanox::color {

ThumbnailSize referenceThumbnailSize(int32_t width, int32_t height) {
    if (width <= 0 || height <= 0) return {};
    const double x = double(height) / double(width);
    const int32_t d = int32_t(x * 170);
    ThumbnailSize size = d <= 100 ? ThumbnailSize{170, d} : ThumbnailSize{int32_t(100 / x), 100};
    // A very long and thin picture would otherwise get a side of 0 pixels.
    size.width = std::max(size.width, 1);
    size.height = std::max(size.height, 1);
    return size;
}

bool scaleDownByAveraging(const image::PixelBuffer& source, int32_t width, int32_t height,
                          image::PixelBuffer& out) {
    if (!source.hasPixels() || source.bitsPerPixel != 24 || width <= 0 || height <= 0) return false;
    image::PixelBuffer result;
    if (!result.allocate(width, height, 24).ok()) return false;
    const int64_t sw = source.width, sh = source.height;
    std::vector<uint64_t> sums(std::size_t(width) * 3);
    for (int32_t ty = 0; ty < height; ++ty) {
        // Each thumbnail pixel covers source rows [y0, y1) and columns [x0, x1), at least one.
        const int64_t y0 = ty * sh / height;
        const int64_t y1 = std::max(y0 + 1, (ty + 1) * sh / height);
        std::fill(sums.begin(), sums.end(), 0);
        std::vector<int64_t> columnCounts(std::size_t(width), 0);
        for (int32_t tx = 0; tx < width; ++tx) {
            const int64_t x0 = tx * sw / width;
            const int64_t x1 = std::max(x0 + 1, (tx + 1) * sw / width);
            for (int64_t y = y0; y < std::min(y1, sh); ++y) {
                const uint8_t* p = source.row(int32_t(y));
                for (int64_t x = x0; x < std::min(x1, sw); ++x)
                    for (int c = 0; c < 3; ++c)
                        sums[std::size_t(tx) * 3 + std::size_t(c)] += p[x * 3 + c];
            }
            columnCounts[std::size_t(tx)] = (std::min(x1, sw) - x0) * (std::min(y1, sh) - y0);
        }
        uint8_t* q = result.row(ty);
        for (int32_t tx = 0; tx < width; ++tx) {
            const int64_t n = std::max<int64_t>(1, columnCounts[std::size_t(tx)]);
            for (int c = 0; c < 3; ++c) {
                const uint64_t s = sums[std::size_t(tx) * 3 + std::size_t(c)];
                q[tx * 3 + c] = uint8_t((s + uint64_t(n) / 2) / uint64_t(n));
            }
        }
    }
    out.takeFrom(result);
    return true;
}

} // namespace velanox::color
