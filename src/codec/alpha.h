// Transparency: the program shows and processes opaque pictures, so pixels a file declares
// (partly) transparent are put over white when they are read.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velanox::codec {

/// One colour value c with opacity a (0 transparent .. 255 opaque) over white, rounded.
inline uint8_t overWhite(unsigned c, unsigned a) {
    return uint8_t((c * a + 255u * (255u - a) + 127u) / 255u);
}

/// count RGBA pixels (alpha not premultiplied) to RGB over white; rgb may be the same buffer as
/// rgba (the output never runs ahead of the input).
inline void compositeRgbaOverWhite(const uint8_t* rgba, std::size_t count, uint8_t* rgb) {
    for (std::size_t i = 0; i < count; ++i, rgba += 4, rgb += 3) {
        const unsigned a = rgba[3];
        const uint8_t r = overWhite(rgba[0], a), g = overWhite(rgba[1], a),
                      b = overWhite(rgba[2], a);
        rgb[0] = r;
        rgb[1] = g;
        rgb[2] = b;
    }
}

} // namespace velanox::codec
