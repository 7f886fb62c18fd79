#include "codec/orientation.h"

#include <cstddef>
#include <cstring>

namespace velanox::codec {

void orientPixels(const uint8_t* src, int32_t width, int32_t height, int bytesPerPixel,
                  int orientation, uint8_t* dst) {
    const std::size_t w = std::size_t(width), h = std::size_t(height);
    const std::size_t bpp = std::size_t(bytesPerPixel);
    const auto at = [&](std::size_t x, std::size_t y) { return src + (y * w + x) * bpp; };
    if (!orientationSwapsAxes(orientation)) {
        for (std::size_t y = 0; y < h; ++y) {
            uint8_t* out = dst + y * w * bpp;
            const std::size_t sy = (orientation == 3 || orientation == 4) ? h - 1 - y : y;
            const bool mirror = orientation == 2 || orientation == 3;
            if (!mirror) {
                std::memcpy(out, at(0, sy), w * bpp);
                continue;
            }
            for (std::size_t x = 0; x < w; ++x, out += bpp)
                std::memcpy(out, at(w - 1 - x, sy), bpp);
        }
        return;
    }
    // The result is h wide and w tall; its row k is a column of the source.
    for (std::size_t k = 0; k < w; ++k) {
        const std::size_t column = (orientation == 5 || orientation == 6) ? k : w - 1 - k;
        const bool bottomUp = orientation == 6 || orientation == 7;
        uint8_t* out = dst + k * h * bpp;
        for (std::size_t i = 0; i < h; ++i, out += bpp)
            std::memcpy(out, at(column, bottomUp ? h - 1 - i : i), bpp);
    }
}

} // namespace velanox::codec
