// The EXIF data of the newer formats (HEIF, AVIF, WebP, JPEG XL) in the form the program keeps
// it, a JPEG APP1 segment, and back: those formats store the TIFF structure itself, sometimes
// after "Exif\0\0" or after a 4-byte offset to the TIFF header.
#pragma once

#include "codec/codec.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velanox::codec {

/// Largest TIFF structure one APP1 segment holds (65535 less the length and "Exif\0\0").
inline constexpr std::size_t kMaxExifTiffBytes = 65535 - 2 - 6;

/// Where the TIFF header ("II*\0" or "MM\0*") of an EXIF payload starts: at 0, after "Exif\0\0",
/// or after the 4-byte big-endian offset HEIF and JPEG XL put first. npos when none is found.
std::size_t exifTiffOffset(ByteSpan payload);

/// The APP1 segment (FF E1, length, "Exif\0\0", TIFF data) for an EXIF payload; empty when the
/// payload holds no TIFF header or more than kMaxExifTiffBytes.
std::vector<uint8_t> exifSegmentFromPayload(ByteSpan payload);

/// The TIFF data of an APP1 segment as exifBlock holds it; empty when it is none.
ByteSpan exifTiffData(const std::vector<uint8_t>& exifBlock);

/// Keeps an EXIF payload in the picture as a JPEG's reader does: exifBlock, the summary and the
/// orientation tag (1..8; 1 without one). Leaves all three as they are when the payload holds no
/// EXIF. Whether the orientation is applied to the pixels is the reader's business.
void takeExifPayload(ByteSpan payload, Picture& out);

} // namespace velanox::codec
