#include "color/boost_colours.h"

namespace velanox {

namespace color {

void boostRow(uint8_t* row, int width, int bytesPerPixel, int32_t strength) {
    const int32_t a = strength;
    const int32_t d = 2 * (255 - a);
    if (a <= 0 || d <= 0) return;
    auto limit = [](int32_t v) -> uint8_t { return v > 255 ? 255 : v <= 0 ? 0 : uint8_t(v); };
    uint8_t* p = row;
    for (int x = 0; x < width; ++x, p += bytesPerPixel) {
        const int32_t c0 = p[0], c1 = p[1], c2 = p[2];
        // C++ integer division truncates toward zero, as the boost is defined.
        p[0] = limit((510 * c0 - a * (c1 + c2)) / d);
        p[1] = limit((510 * c1 - a * (c0 + c2)) / d);
        p[2] = limit((510 * c2 - a * (c0 + c1)) / d);
    }
}

} // namespace color

void boostColours(const PixelBlock& block, int32_t strength) {
    if (!block.valid() || strength <= 0 || strength >= 255) return;
    for (int y = 0; y < block.height; ++y)
        color::boostRow(block.row(y), block.width, block.bytesPerPixel, strength);
}

void boostColours(uint8_t* pixels, int width, int height, int32_t strength, int bytesPerPixel) {
    boostColours(PixelBlock{pixels, width, height, bytesPerPixel, 0, ChannelOrder::Rgb}, strength);
}

} // namespace velanox
