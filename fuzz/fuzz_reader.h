// What every reader fuzz target checks of one read: a failure has a code and a reason; a success
// has pixels whose size agrees with the picture's dimensions and depth, within the limits.
#pragma once

#include "codec/codec.h"
#include "codec/picture.h"

#include <cstdlib>

namespace velanox::fuzz {

/// Limits small enough that a crafted header cannot make a run slow or huge.
inline codec::ReadOptions fuzzReadOptions() {
    codec::ReadOptions options;
    options.limits.maxDimension = 20000;
    options.limits.maxPixels = 24 * 1000 * 1000;
    return options;
}

inline void checkRead(const core::Status& status, const codec::Picture& picture,
                      const codec::ReadOptions& options) {
    if (!status.ok()) {
        if (status.reason.empty()) std::abort();
        return;
    }
    if (!picture.hasPixels() || picture.width <= 0 || picture.height <= 0) std::abort();
    if (picture.bitsPerPixel != 1 && picture.bitsPerPixel != 8 && picture.bitsPerPixel != 24)
        std::abort();
    if (picture.pixelBytes() != picture.rowBytes() * std::size_t(picture.height)) std::abort();
    if (picture.width > options.limits.maxDimension || picture.height > options.limits.maxDimension)
        std::abort();
    if (picture.bitsPerPixel < 24 && (picture.paletteSize < 0 || picture.paletteSize > 256))
        std::abort();
}

} // namespace velanox::fuzz
