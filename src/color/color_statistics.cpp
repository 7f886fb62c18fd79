#include "color/color_statistics.h"

#include <cstdint>

namespace velanox::color {

ColorStatistics computeColorStatistics(const core::ConstImageView& image, ChannelOrder order) {
    ColorStatistics stats;
    if (!isColorPicture(image)) return stats;
    std::array<std::array<uint64_t, 256>, 3> counts{};
    const int b0 = channelByte(order, 0), b2 = channelByte(order, 2);
    for (int y = 0; y < image.height; ++y) {
        const uint8_t* p = image.row(y);
        for (int x = 0; x < image.width; ++x, p += image.bytesPerPixel) {
            ++counts[0][p[b0]];
            ++counts[1][p[1]];
            ++counts[2][p[b2]];
        }
    }
    for (std::size_t c = 0; c < 3; ++c) {
        uint64_t n = 0;
        for (uint64_t count : counts[c])
            n += count;
        const double s = n != 0 ? 1.0 / double(n) : 0.0;
        double sum = 0;
        for (std::size_t k = 0; k < 256; ++k) {
            sum += double(counts[c][k]) * s;
            stats[c][k] = sum;
        }
    }
    return stats;
}

} // namespace velanox::color
