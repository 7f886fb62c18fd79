// The content probes of the metafiles: byte checks only, so that they live in the core while
// the drawing (cairo, ImageMagick's WMF coder) stays in its module until a file needs it.
#include "codec/metafile/byte_reader.h"
#include "codec/metafile/metafile_codec.h"

namespace velanox::codec {
namespace {

constexpr uint32_t kEmfSignature = 0x464D4520; // " EMF"
constexpr uint32_t kEmrHeader = 1;
constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;

} // namespace

bool probeEmf(ByteSpan bytes) {
    const metafile::ByteReader r(bytes.data, bytes.size);
    return r.has(0, 44) && r.u32(0) == kEmrHeader && r.u32(40) == kEmfSignature;
}

bool probeWmf(ByteSpan bytes) {
    const metafile::ByteReader r(bytes.data, bytes.size);
    if (!r.has(0, 18)) return false;
    if (r.u32(0) == kPlaceableKey) return r.has(22, 18) && r.u16(24) == 9;
    const uint16_t type = r.u16(0), headerWords = r.u16(2), version = r.u16(4);
    return (type == 1 || type == 2) && headerWords == 9 && (version == 0x0100 || version == 0x0300);
}

} // namespace velanox::codec
