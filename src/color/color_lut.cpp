#include "color/color_lut.h"

namespace velanox::color {

ColorLut ColorLut::identity() {
    ColorLut lut;
    for (Map& map : lut.maps)
        for (int i = 0; i < 256; ++i)
            map[std::size_t(i)] = uint8_t(i);
    return lut;
}

void ColorLut::applyRow(uint8_t* row, int width, int bytesPerPixel, ChannelOrder order) const {
    const Map& m0 = channel(channelByte(order, 0) == 0 ? 0 : 2);
    const Map& m1 = channel(1);
    const Map& m2 = channel(channelByte(order, 0) == 0 ? 2 : 0);
    uint8_t* p = row;
    for (int x = 0; x < width; ++x, p += bytesPerPixel) {
        p[0] = m0[p[0]];
        p[1] = m1[p[1]];
        p[2] = m2[p[2]];
    }
}

void ColorLut::apply(const core::ImageView& block, ChannelOrder order) const {
    if (!isColorPicture(block)) return;
    for (int y = 0; y < block.height; ++y)
        applyRow(block.row(y), block.width, block.bytesPerPixel, order);
}

} // namespace velanox::color
