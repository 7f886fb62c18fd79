// Per-channel cumulative distributions of an image's values, the basis of colour matching.
#pragma once

#include "color/channel_order.h"

#include <array>
#include <cstddef>

namespace velanox::color {

/// Three cumulative distributions, red, green, blue: entry k of a channel is the fraction of
/// the pixels whose value in that channel is at most k (0..1, non-decreasing).
struct ColorStatistics {
    using Distribution = std::array<double, 256>;
    std::array<Distribution, 3> channels{}; ///< red, green, blue

    Distribution& operator[](std::size_t c) { return channels[c]; }
    const Distribution& operator[](std::size_t c) const { return channels[c]; }
    bool operator==(const ColorStatistics&) const = default;
};

/// The distributions of every pixel of the block (colours found by its byte order). An image
/// without pixels gives all zeros.
ColorStatistics computeColorStatistics(const core::ConstImageView& image,
                                       ChannelOrder order = ChannelOrder::Rgb);

} // namespace velanox::color
