// JPEG XL through libjxl: bare codestreams and containers, lossy, lossless and recompressed
// JPEGs, with their orientation, alpha, colour encoding or ICC profile and EXIF box; written
// lossy at the JPEG quality, lossless at 100.
#pragma once

#include "codec/codec.h"

#include <cstdint>
#include <vector>

namespace velanox::codec {

/// A JPEG XL codestream (FF 0A) or container signature box.
bool probeJxl(ByteSpan bytes);

/// Reads the first frame as 24-bit RGB (kFormatJxl): deeper samples rounded to 8 bits,
/// transparency put over white, turned by the codestream's orientation (libjxl applies it; the
/// EXIF orientation, which must agree, is kept for writing only). iccProfile is the profile of
/// the decoded pixels: the file's own, one libjxl makes for an encoded colour space, or none for
/// sRGB. Fills exifBlock, exif and orientation from the Exif box. The size is checked against
/// the limits before the pixels are allocated.
Status readJxl(ByteSpan bytes, Picture& out, const ReadOptions& options);

/// Writes a 24-bit picture: lossless when the quality (kQuality) is 100, else lossy at a distance
/// that follows the quality as cjxl's does; with a profile the pixels are coded in its space, else
/// as sRGB; the EXIF in an Exif box, the pixels turned by the inverse of its orientation and the
/// codestream saying that orientation.
Status writeJxl(const Picture& picture, std::vector<uint8_t>& out);

/// cjxl's mapping from a JPEG-like quality (below 100) to the butteraugli distance.
float jxlDistanceForQuality(int quality);

} // namespace velanox::codec
