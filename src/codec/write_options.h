// The options the writers read from a picture's write options, each declared once with its name,
// type and default. A writer that needs a setting of its own declares its key here; the picture
// gains no field for it.
#pragma once

#include "core/option_set.h"

#include <cstdint>

namespace velanox::codec {

using WriteOptions = core::OptionSet;

// ---- resolution written into the file (JPEG, PNG, TIFF, BMP, the metafiles' bitmaps, ...) ----
inline constexpr core::OptionKey<uint32_t> kSaveXResolution{"resolution.x", 300};
inline constexpr core::OptionKey<uint32_t> kSaveYResolution{"resolution.y", 300};
/// 1 none, 2 per inch, 3 per centimetre.
inline constexpr core::OptionKey<uint32_t> kSaveResolutionUnit{"resolution.unit", 1};

/// The resolution a writer puts into its file, read from the options in one go.
struct SaveResolution {
    uint32_t x, y, unit;
};
inline SaveResolution saveResolution(const WriteOptions& options) {
    return {options.get(kSaveXResolution), options.get(kSaveYResolution),
            options.get(kSaveResolutionUnit)};
}

// ---- lossy writers ----
/// 0..100, the finest at 100; read by every lossy writer.
inline constexpr core::OptionKey<uint32_t> kQuality{"quality", 75};

// ---- JPEG ----
/// 1: every chroma sample kept (4:4:4); otherwise 4:2:0.
inline constexpr core::OptionKey<uint32_t> kJpegFullChroma{"jpeg.full-chroma", 1};
inline constexpr core::OptionKey<uint32_t> kJpegProgressive{"jpeg.progressive", 0};

// ---- TIFF ----
/// A libtiff COMPRESSION_* value; 1 none.
inline constexpr core::OptionKey<uint32_t> kTiffCompression{"tiff.compression", 1};

// ---- WBMP ----
/// Grey levels of at least this become white.
inline constexpr core::OptionKey<uint32_t> kWbmpThreshold{"wbmp.threshold", 128};

} // namespace velanox::codec
