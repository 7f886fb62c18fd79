// The content probes of the ImageMagick family: byte checks only, so that they live in the core
// while the readers stay in their module until a file needs them.
#include "codec/magick/magick_codec.h"
#include "codec/magick/magick_headers.h"

#include <cstring>

namespace velanox::codec {

using namespace magick::headers;

bool probeTarga(ByteSpan b) {
    if (!b.data || b.size < 18) return false;
    const uint8_t colorMapType = b.data[1], type = b.data[2], depth = b.data[16];
    const uint32_t mapLength = le16(b.data + 5), mapDepth = b.data[7];
    const uint32_t width = le16(b.data + 12), height = le16(b.data + 14);
    if (colorMapType > 1 || width == 0 || height == 0) return false;
    switch (type) {
    case 1:
    case 9: // colour-mapped
        if (colorMapType != 1 || mapLength == 0 || (depth != 8 && depth != 16)) return false;
        break;
    case 2:
    case 10: // true colour
        if (depth != 15 && depth != 16 && depth != 24 && depth != 32) return false;
        break;
    case 3:
    case 11: // greyscale
        if (depth != 8 && depth != 16) return false;
        break;
    default:
        return false;
    }
    if (colorMapType == 1 && mapDepth != 15 && mapDepth != 16 && mapDepth != 24 && mapDepth != 32)
        return false;
    if (b.data[17] & 0xC0) return false; // reserved bits of the descriptor
    const std::size_t mapBytes = colorMapType ? mapLength * ((mapDepth + 7) / 8) : 0;
    return b.size > 18 + std::size_t(b.data[0]) + mapBytes;
}

bool probePcx(ByteSpan b) {
    if (!b.data || b.size < 128 || b.data[0] != 0x0A) return false;
    const uint8_t version = b.data[1], encoding = b.data[2], bits = b.data[3], planes = b.data[65];
    if (version > 5 || version == 1 || encoding > 1) return false;
    if (bits != 1 && bits != 2 && bits != 4 && bits != 8) return false;
    if (planes < 1 || planes > 4) return false;
    return le16(b.data + 8) >= le16(b.data + 4) && le16(b.data + 10) >= le16(b.data + 6);
}

bool probePsd(ByteSpan b) {
    if (!b.data || b.size < 26 || std::memcmp(b.data, "8BPS", 4) != 0) return false;
    const uint32_t version = be16(b.data + 4);
    return version == 1 || version == 2;
}

bool probeWbmp(ByteSpan b) {
    if (!b.data || b.size < 5 || b.data[0] != 0 || b.data[1] != 0) return false;
    std::size_t pos = 2;
    uint32_t width = 0, height = 0;
    if (!wbmpInteger(b, pos, width) || !wbmpInteger(b, pos, height)) return false;
    if (width == 0 || height == 0) return false;
    // No signature: the size of the bitmap must be what is left of the file.
    const uint64_t expected = uint64_t(pos) + uint64_t((width + 7) / 8) * height;
    return b.size >= expected && b.size - expected < 16;
}

bool probePhotoCd(ByteSpan b) {
    return b.data && b.size >= 0x800 + 7 && std::memcmp(b.data + 0x800, "PCD_IPI", 7) == 0;
}

uint32_t magickFormatId(ByteSpan b) {
    if (probePsd(b)) return psdIsPalette(b) ? kFormatPsd8 : kFormatPsd;
    if (probePhotoCd(b)) return kFormatPhotoCd;
    if (probePcx(b)) return pcxIsPalette(b) ? kFormatPcx8 : kFormatPcx;
    if (probeWbmp(b)) return kFormatWbmp;
    if (probeTarga(b)) return targaIsPalette(b) ? kFormatTarga8 : kFormatTarga;
    return kFormatAuto;
}

} // namespace velanox::codec
