// The JPEG Options: the quality edit's correction, the size texts, and the search for the
// quality whose file is as large as the source file.
#pragma once

#include "codec/picture.h"
#include "document/host.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace velanox::document {

inline constexpr const char* kSuggestQualityCaption = "Estimating Best Quality For Size";
inline constexpr int32_t kSuggestLow = 60, kSuggestHigh = 93;

/// A quality typed into the edit, corrected into 40..100.
struct QualityEdit {
    int32_t quality = 0;
    bool corrected = false; ///< the edit's text is replaced by quality and selected
};

/// The edit's correction: a value below 40, compared as unsigned (so a negative value counts as
/// very large), becomes 40; one above 100 (negative ones included) becomes 100.
QualityEdit correctQuality(int64_t typed);

/// The same for the edit's text, read as an integer the way the edit does: leading blanks, a
/// sign and the digits that follow; text that is no number counts as 0.
QualityEdit correctQualityText(std::string_view text);

/// n bytes as text with the given decimals: divided by 1024 while above 1000, with the unit
/// " bytes", " KB", " MB", " GB" or " TB" (800, 2 -> "800.00 bytes"; 1010, 3 -> "0.986 KB").
std::string formatFileSize(uint64_t bytes, int decimals);

/// The source's size without its EXIF segment: the target of Suggest Quality (0 when the EXIF
/// segment is larger than the recorded file size).
uint64_t sourceDataSize(uint64_t sourceFileSize, uint64_t exifCopyLength);

/// "Image %d x %d , uncompressed size %s" with width * height * 4 bytes at 2 decimals.
std::string jpegOptionsSizeText(int32_t width, int32_t height);

/// "Source Image Size: <source>\nEstimated Output Size: <estimate>", both at 3 decimals.
std::string calcOutputSizeText(uint64_t sourceDataSize, uint64_t estimatedSize);

/// The size in bytes of the picture written as JPEG at a quality.
using JpegSizeEstimator = std::function<uint64_t(int32_t quality)>;

/// Estimates by encoding the 24-bit source in memory (full chroma or the default sampling).
/// The picture must outlive the estimator.
JpegSizeEstimator jpegSizeEstimator(const codec::Picture& source, bool fullChroma);

/// Binary search for the quality whose size meets target between low and high: returns low
/// when high <= low + 1; otherwise probes mid = low + (high - low) / 2 (progress shows
/// "Quality Probe: %d" and moves to mid when given), returns mid on an exact hit and otherwise
/// searches the upper half (smaller than target) or the lower half (larger).
int32_t searchQuality(int32_t low, int32_t high, uint64_t target, const JpegSizeEstimator& estimate,
                      ProgressDialog* progress = nullptr);

/// searchQuality(60, 93, target) kept within 60..93: in practice 60..92.
int32_t suggestQuality(uint64_t target, const JpegSizeEstimator& estimate,
                       ProgressDialog* progress = nullptr);

/// What Suggest Quality puts into the dialog: suggestQuality - 1 (59..91).
int32_t suggestedQualitySetting(uint64_t target, const JpegSizeEstimator& estimate,
                                ProgressDialog* progress = nullptr);

} // namespace velanox::document
