#include "document/jpeg_quality.h"

#include "codec/jpeg/jpeg_codec.h"
#include "document/source_file_state.h"

#include <algorithm>
#include <cstdio>
#include <limits>

namespace velanox::document {

QualityEdit correctQuality(int64_t typed) {
    // The edit holds a 32-bit integer; the comparisons treat it as unsigned.
    const int64_t clamped = std::clamp<int64_t>(typed, std::numeric_limits<int32_t>::min(),
                                                std::numeric_limits<int32_t>::max());
    const uint32_t asUnsigned = uint32_t(int32_t(clamped));
    if (asUnsigned < uint32_t(JpegSettings::kQualityMin)) return {JpegSettings::kQualityMin, true};
    if (asUnsigned > uint32_t(JpegSettings::kQualityMax)) return {JpegSettings::kQualityMax, true};
    return {int32_t(clamped), false};
}

QualityEdit correctQualityText(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = std::min<int64_t>(value * 10 + (text[i] - '0'), int64_t(1) << 40);
    return correctQuality(negative ? -value : value);
}

std::string formatFileSize(uint64_t bytes, int decimals) {
    static constexpr const char* kUnits[] = {" bytes", " KB", " MB", " GB", " TB"};
    double x = double(bytes);
    int unit = 0;
    // Terabytes are the largest unit; larger sizes stay in terabytes.
    while (x > 1000 && unit < 4) {
        x /= 1024;
        ++unit;
    }
    char text[64];
    std::snprintf(text, sizeof text, "%.*f%s", std::clamp(decimals, 0, 20), x, kUnits[unit]);
    return text;
}

uint64_t sourceDataSize(uint64_t sourceFileSize, uint64_t exifCopyLength) {
    return sourceFileSize > exifCopyLength ? sourceFileSize - exifCopyLength : 0;
}

std::string jpegOptionsSizeText(int32_t width, int32_t height) {
    const uint64_t bytes = uint64_t(std::max(width, 0)) * uint64_t(std::max(height, 0)) * 4;
    char text[128];
    std::snprintf(text, sizeof text, "Image %d x %d , uncompressed size %s", int(width),
                  int(height), formatFileSize(bytes, 2).c_str());
    return text;
}

std::string calcOutputSizeText(uint64_t sourceDataSize, uint64_t estimatedSize) {
    return "Source Image Size: " + formatFileSize(sourceDataSize, 3) +
           "\nEstimated Output Size: " + formatFileSize(estimatedSize, 3);
}

JpegSizeEstimator jpegSizeEstimator(const codec::Picture& source, bool fullChroma) {
    return [&source, fullChroma](int32_t quality) -> uint64_t {
        if (!source.hasPixels() || source.bitsPerPixel != 24) return 0;
        return codec::estimateJpegSize(source.pixels(), source.width, source.height, quality,
                                       fullChroma);
    };
}

int32_t searchQuality(int32_t low, int32_t high, uint64_t target, const JpegSizeEstimator& estimate,
                      ProgressDialog* progress) {
    // Each probe halves the interval, so the range 60..93 needs at most six.
    while (int64_t(high) > int64_t(low) + 1) {
        const int32_t mid = int32_t(low + (int64_t(high) - low) / 2);
        const uint64_t size = estimate(mid);
        if (progress != nullptr) {
            char text[32];
            std::snprintf(text, sizeof text, "Quality Probe: %d", int(mid));
            progress->setText(text);
            progress->setPosition(mid);
        }
        if (size == target) return mid;
        if (size < target)
            low = mid;
        else
            high = mid;
    }
    return low;
}

int32_t suggestQuality(uint64_t target, const JpegSizeEstimator& estimate,
                       ProgressDialog* progress) {
    return std::clamp(searchQuality(kSuggestLow, kSuggestHigh, target, estimate, progress),
                      kSuggestLow, kSuggestHigh);
}

int32_t suggestedQualitySetting(uint64_t target, const JpegSizeEstimator& estimate,
                                ProgressDialog* progress) {
    return suggestQuality(target, estimate, progress) - 1;
}

} // namespace velanox::document
