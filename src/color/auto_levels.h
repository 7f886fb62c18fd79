// Automatic levels: black and white points from the luminance histogram of an image.
#pragma once

#include "color/channel_order.h"

#include <cstdint>

namespace velanox::color {

struct AutoLevels {
    int32_t black = 0;
    int32_t white = 255;
    bool operator==(const AutoLevels&) const = default;
};

/// The black point is the luminance below which 2.5/255 of the pixels lie, the white point the
/// one reached by 252.5/255 of them, moved a third of the way toward 255 and kept within
/// 210..255. The black point is not limited to the slider's range. Without pixels: (0, 255).
AutoLevels autoLevels(const core::ConstImageView& image, ChannelOrder order = ChannelOrder::Rgb);

} // namespace velanox::color
