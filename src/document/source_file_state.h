// What the document keeps about the file the source picture came from, for saving.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velanox::document {

struct SourceFileState {
    /// The file the document refers to: set by opening, dropping and folder stepping, kept by
    /// saving and reloading, empty for a new or pasted picture (whose title is "Untitled").
    std::string documentPath;
    uint32_t sourceFileSize = 0;   ///< bytes of the loaded file (width * height * 3 when pasted)
    std::vector<uint8_t> exifCopy; ///< the source's whole EXIF segment, empty when none
    int32_t exifOrientation = 1;   ///< the source's EXIF orientation (1 after a paste)

    uint32_t exifCopyLength() const { return uint32_t(exifCopy.size()); }
};

/// The JPEG writer's settings, read from the stored settings at construction.
struct JpegSettings {
    int32_t jpegQualitySetting = 92;     ///< JPGq
    int32_t enhancedSamplingSetting = 1; ///< JPGES, 0 or 1

    static constexpr int32_t kQualityMin = 40, kQualityMax = 100;
};

} // namespace velanox::document
