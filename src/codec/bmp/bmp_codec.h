// Windows bitmaps: the header is checked here against the file and the limits, the pixels are
// decoded by ImageMagick (1/4/8/16/24/32 bits, RLE4/RLE8, bit fields, top-down and bottom-up);
// the 24-bit writer is this program's own.
#pragma once

#include "codec/codec.h"

#include <cstdint>
#include <vector>

namespace velanox::codec {

/// What a bitmap's header says, once it has been found consistent with the file.
struct BmpHeader {
    int32_t width = 0, height = 0; ///< height positive; topDown tells the row order
    bool topDown = false;
    int bitsPerPixel = 0;
    uint32_t compression = 0;
    int32_t xPixelsPerMetre = 0, yPixelsPerMetre = 0;
    /// Bit fields (compression 3 or 6) that declare an alpha channel; a fourth byte without
    /// such a mask is no transparency.
    uint32_t alphaMask = 0;
};

/// Checks every size in a bitmap's headers against the file (header, palette, pixel offset,
/// uncompressed pixel rows) and the picture size against the limits.
Status parseBmpHeader(ByteSpan bytes, BmpHeader& header, const Limits& limits = {});

/// "BM" followed by a known header size.
bool probeBmp(ByteSpan bytes);

/// 2 for more than 8 bits, 3 for 2 to 8 bits, 19 for 1 bit; kFormatAuto when not a bitmap.
uint32_t bmpFormatId(ByteSpan bytes);

/// Reads a bitmap: id 2 gives 24-bit pixels (over white where an alpha mask declares
/// transparency), 3 8-bit index pixels with the file's palette
/// (256 entries), 19 1-bit packed pixels with the file's 2-entry palette. Resolution: pixels
/// per metre / 100 per centimetre (unit 3) when the file has them, else 300 x 300 without unit.
Status readBmp(ByteSpan bytes, Picture& out, const ReadOptions& options);

/// Writes a 24-bit bottom-up bitmap (8-bit and 1-bit pictures through their palette) with the
/// save resolution in pixels per metre (none when the unit is 1).
Status writeBmp(const Picture& picture, std::vector<uint8_t>& out);

} // namespace velanox::codec
