// JPEG through libjpeg-turbo's libjpeg API: reading (reduced decoding, EXIF, CMYK and YCCK
// turned into RGB, greyscale as 8-bit grey palette), writing (quality, sampling, progressive,
// JFIF density, the EXIF segment with the orientation undone) and the in-memory size estimate.
#pragma once

#include "codec/codec.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velanox::codec {

bool probeJpeg(ByteSpan bytes);

/// kFormatJpegGrey for a one-component file, otherwise kFormatJpeg.
uint32_t classifyJpeg(ByteSpan bytes);

/// Reads 24-bit RGB (kFormatJpeg) or 8-bit grey with a grey palette (kFormatJpegGrey), at the
/// reduced size the preview limits ask for, turned by the EXIF orientation. Fills fileWidth
/// and fileHeight (full size, after orientation), exifBlock (the whole last Exif APP1 segment
/// with marker and length bytes), exif and orientation, and the JFIF density.
Status readJpeg(ByteSpan bytes, Picture& out, const ReadOptions& options);

/// Writes a 24-bit picture with kQuality, kJpegProgressive, kJpegFullChroma (1: every
/// component sampled 1 x 1; else 4:2:0) and the save resolution as JFIF density. A picture
/// with an exifBlock gets it as APP1 and its pixels turned by the inverse of orientation, so
/// that they show as on screen together with the unchanged orientation tag.
Status writeJpeg(const Picture& picture, std::vector<uint8_t>& out);

/// The reduced-decoding factor: 8, 4 or 2 when both limits are below an eighth, a quarter or
/// a half of the image's width and height, else 1 (also when a limit is not positive).
int jpegReductionFactor(int32_t width, int32_t height, int32_t maxWidth, int32_t maxHeight);

/// Size in bytes of rgb (width x height, 3 bytes per pixel) written as JPEG in memory with the
/// given quality and sampling, density 300 x 300 without unit, baseline, no markers; 0 when
/// the encoder fails.
std::size_t estimateJpegSize(const uint8_t* rgb, int32_t width, int32_t height, int quality,
                             bool fullChroma);

} // namespace velanox::codec
