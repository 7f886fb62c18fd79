// Which byte of a pixel holds which colour, and the pictures the colour operations walk.
#pragma once

#include "core/image_view.h"

#include <cstddef>

namespace velanox::color {

/// Where the colours sit in a pixel. Rgb: red in byte 0, blue in byte 2 (the source, result and
/// working buffers). Bgr: blue in byte 0, red in byte 2 (the Full/Crop display image).
enum class ChannelOrder { Rgb, Bgr };

/// Byte index of colour channel c (0 red, 1 green, 2 blue) in a pixel of the given order.
constexpr int channelByte(ChannelOrder order, int channel) {
    return order == ChannelOrder::Rgb ? channel : 2 - channel;
}

/// True when the colour operations can walk the picture: pixels present, positive size, 3 or 4
/// bytes per pixel (only bytes 0..2 are ever touched) and rows at least one row of pixels long.
inline bool isColorPicture(const core::ConstImageView& picture) {
    return !picture.empty() && (picture.bytesPerPixel == 3 || picture.bytesPerPixel == 4) &&
           picture.stride >= std::ptrdiff_t(picture.rowBytes());
}

} // namespace velanox::color
