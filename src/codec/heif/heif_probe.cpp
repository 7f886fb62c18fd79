// The content probe of HEIF: a byte check only, so that it lives in the core while the
// reader stays in its module until a file needs it.
#include "codec/heif/heif_codec.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace velanox::codec {
namespace {

uint32_t be32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

bool isHeifBrand(const uint8_t* p) {
    for (const char* brand : {"heic", "heix", "heim", "heis", "hevc", "hevx", "mif1", "msf1"})
        if (std::memcmp(p, brand, 4) == 0) return true;
    return false;
}

} // namespace

bool probeHeif(ByteSpan bytes) {
    if (!bytes.data || bytes.size < 16 || std::memcmp(bytes.data + 4, "ftyp", 4) != 0) return false;
    if (isHeifBrand(bytes.data + 8)) return true;
    const std::size_t boxSize = std::min<std::size_t>(be32(bytes.data), bytes.size);
    for (std::size_t at = 16; at + 4 <= boxSize; at += 4)
        if (isHeifBrand(bytes.data + at)) return true;
    return false;
}

} // namespace velanox::codec
