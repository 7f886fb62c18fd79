// WebP through libwebp: lossy, lossless and alpha pictures, the first frame of an animation,
// with the ICC profile and EXIF chunks; written lossy at the JPEG quality, lossless at 100.
#pragma once

#include "codec/codec.h"

#include <cstdint>
#include <vector>

namespace velanox::codec {

/// "RIFF", a size, "WEBP".
bool probeWebp(ByteSpan bytes);

/// Reads 24-bit RGB (kFormatWebp): transparency put over white, an animation's first frame as
/// its canvas shows it, the EXIF orientation applied like a JPEG's. Fills exifBlock, exif,
/// orientation and iccProfile. The canvas size is checked against the limits before decoding.
Status readWebp(ByteSpan bytes, Picture& out, const ReadOptions& options);

/// Writes a 24-bit picture: lossy at kQuality, lossless when it is 100; the picture's
/// profile as ICCP and its EXIF as EXIF chunk, the pixels turned by the inverse of the EXIF
/// orientation as for JPEG.
Status writeWebp(const Picture& picture, std::vector<uint8_t>& out);

} // namespace velanox::codec
