// The content probe of JPEG XL: a byte check only, so that it lives in the core while the
// reader stays in its module until a file needs it.
#include "codec/jxl/jxl_codec.h"

#include <cstring>

namespace velanox::codec {

bool probeJxl(ByteSpan bytes) {
    // A bare codestream starts FF 0A; the container starts with its 12-byte signature box.
    static constexpr uint8_t kContainer[12] = {0,   0,   0,    0x0C, 'J',  'X',
                                               'L', ' ', 0x0D, 0x0A, 0x87, 0x0A};
    if (!bytes.data) return false;
    if (bytes.size >= 2 && bytes.data[0] == 0xFF && bytes.data[1] == 0x0A) return true;
    return bytes.size >= sizeof kContainer &&
           std::memcmp(bytes.data, kContainer, sizeof kContainer) == 0;
}

} // namespace velanox::codec
