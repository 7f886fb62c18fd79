// Three byte-to-byte maps, one per colour, applied in one pass over a block. The colour steps
// that work channel by channel (the match blend, the tone tables) are composed into one of
// these so that each pixel is looked up once.
#pragma once

#include "color/channel_order.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace velanox::color {

struct ColorLut {
    using Map = std::array<uint8_t, 256>;
    std::array<Map, 3> maps; ///< red, green, blue

    static ColorLut identity();
    Map& channel(int c) { return maps[std::size_t(c)]; }
    const Map& channel(int c) const { return maps[std::size_t(c)]; }

    /// Each colour through its own map, whichever byte holds it; other bytes untouched.
    void apply(const core::ImageView& block, ChannelOrder order = ChannelOrder::Rgb) const;
    /// The same on one row of width pixels.
    void applyRow(uint8_t* row, int width, int bytesPerPixel, ChannelOrder order) const;
};

} // namespace velanox::color
