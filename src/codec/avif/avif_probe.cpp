// The content probe of AVIF: a byte check only, so that it lives in the core while the
// reader stays in its module until a file needs it.
#include "codec/avif/avif_codec.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace velanox::codec {
namespace {

uint32_t be32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

} // namespace

bool probeAvif(ByteSpan bytes) {
    // ftyp box: size, "ftyp", major brand, minor version, compatible brands.
    if (!bytes.data || bytes.size < 16 || std::memcmp(bytes.data + 4, "ftyp", 4) != 0) return false;
    const std::size_t boxSize = std::min<std::size_t>(be32(bytes.data), bytes.size);
    const auto isAvif = [&](std::size_t at) {
        return std::memcmp(bytes.data + at, "avif", 4) == 0 ||
               std::memcmp(bytes.data + at, "avis", 4) == 0;
    };
    if (isAvif(8)) return true;
    for (std::size_t at = 16; at + 4 <= boxSize; at += 4)
        if (isAvif(at)) return true;
    return false;
}

} // namespace velanox::codec
