#include "codec/rgb_rows.h"

#include <cstring>
#include <new>

namespace velanox::codec {

bool toRgbRows(const Picture& picture, std::vector<uint8_t>& rgb) {
    if (!picture.hasPixels()) return false;
    const std::size_t width = std::size_t(picture.width), height = std::size_t(picture.height);
    try {
        rgb.resize(width * height * 3);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (picture.bitsPerPixel == 24) {
        std::memcpy(rgb.data(), picture.pixels(), rgb.size());
        return true;
    }
    if (picture.bitsPerPixel != 8 && picture.bitsPerPixel != 1) return false;
    const std::size_t rowBytes = picture.rowBytes();
    for (std::size_t y = 0; y < height; ++y) {
        const uint8_t* src = picture.pixels() + y * rowBytes;
        uint8_t* dst = rgb.data() + y * width * 3;
        for (std::size_t x = 0; x < width; ++x) {
            const int index = picture.bitsPerPixel == 8 ? src[x] : (src[x / 8] >> (7 - x % 8)) & 1;
            const PaletteEntry& e = picture.palette[std::size_t(index)];
            dst[3 * x] = e.red;
            dst[3 * x + 1] = e.green;
            dst[3 * x + 2] = e.blue;
        }
    }
    return true;
}

} // namespace velanox::codec
