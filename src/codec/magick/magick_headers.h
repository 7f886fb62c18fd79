// Small readers of the header fields that both the probes (in the core) and the readers (in the
// ImageMagick module) look at.
#pragma once

#include "codec/codec.h"

#include <cstddef>
#include <cstdint>

namespace velanox::codec::magick::headers {

inline uint32_t le16(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8;
}
inline uint32_t be16(const uint8_t* p) {
    return uint32_t(p[0]) << 8 | p[1];
}

// A WBMP multi-byte integer: 7 bits per byte, high bit set on all but the last.
inline bool wbmpInteger(ByteSpan bytes, std::size_t& pos, uint32_t& value) {
    value = 0;
    for (int i = 0; i < 4; ++i) {
        if (pos >= bytes.size) return false;
        const uint8_t b = bytes.data[pos++];
        value = value << 7 | (b & 0x7F);
        if (!(b & 0x80)) return true;
    }
    return false;
}

inline bool targaIsPalette(ByteSpan bytes) {
    return bytes.data[16] <= 8;
}
inline bool pcxIsPalette(ByteSpan bytes) {
    return uint32_t(bytes.data[3]) * bytes.data[65] <= 8;
}
inline bool psdIsPalette(ByteSpan bytes) {
    const uint32_t mode = be16(bytes.data + 24);
    return mode == 0 || mode == 1 || mode == 2 || mode == 8;
}

} // namespace velanox::codec::magick::headers
