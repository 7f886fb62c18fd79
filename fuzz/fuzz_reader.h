// What every reader fuzz target checks of one read: a failure has a code and a reason; a success
// has pixels whose size agrees with the picture's dimensions and depth, within the limits.
#pragma once

#include "codec/codec.h"
#include "codec/picture.h"

#include <cstdlib>

namespace velanox::fuzz {

/// The program's own limits: the readers refuse a header whose data the file cannot hold
/// before they reserve the picture, so the targets run at the real caps and a reader that
/// reserves for nothing shows as a memory finding.
inline codec::ReadOptions fuzzReadOptions() {
    return codec::ReadOptions{};
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
