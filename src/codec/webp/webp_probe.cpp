// The content probe of WebP: a byte check only, so that it lives in the core while the
// reader stays in its module until a file needs it.
#include "codec/webp/webp_codec.h"

#include <cstring>

namespace velanox::codec {

bool probeWebp(ByteSpan bytes) {
    return bytes.data && bytes.size >= 16 && std::memcmp(bytes.data, "RIFF", 4) == 0 &&
           std::memcmp(bytes.data + 8, "WEBP", 4) == 0;
}

} // namespace velanox::codec
