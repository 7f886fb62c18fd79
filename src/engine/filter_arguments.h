// The argument checks every version of the pixel filters shares, so they refuse the same calls.
#pragma once

#include "core/image_view.h"

#include <cstddef>

namespace velanox::engine {

/// Pixels present, a positive size, 1..8 bytes per pixel and rows at least one row long.
inline bool validPicture(const void* pixels, int width, int height, int bytesPerPixel,
                         std::ptrdiff_t stride) {
    return pixels != nullptr && width > 0 && height > 0 && bytesPerPixel >= 1 &&
           bytesPerPixel <= 8 && stride >= std::ptrdiff_t(width) * bytesPerPixel;
}

/// validPicture of a view.
inline bool validPicture(const core::ConstImageView& picture) {
    return validPicture(picture.data, picture.width, picture.height, picture.bytesPerPixel,
                        picture.stride);
}

/// The bits of channelMask that name a byte of the pixel.
inline int usableMask(int channelMask, int bytesPerPixel) {
    return channelMask & ((1 << bytesPerPixel) - 1);
}

} // namespace velanox::engine
