#include "color/auto_levels.h"

#include <algorithm>
#include <array>

namespace velanox::color {

AutoLevels autoLevels(const core::ConstImageView& image, ChannelOrder order) {
    if (!isColorPicture(image)) return {};
    std::array<int64_t, 256> bins{};
    const int r = channelByte(order, 0), b = channelByte(order, 2);
    for (int y = 0; y < image.height; ++y) {
        const uint8_t* p = image.row(y);
        for (int x = 0; x < image.width; ++x, p += image.bytesPerPixel)
            ++bins[std::size_t(0.587 * p[1] + 0.299 * p[r] + 0.114 * p[b])];
    }
    const int64_t n = int64_t(image.width) * image.height;
    const int64_t lowCount = int64_t(double(n) * 0.00980392156862745);
    const int64_t highCount = int64_t(double(n) * 0.9901960784313726);

    int64_t low = 0, high = 0, sum = 0;
    bool lowFound = false, highFound = false;
    for (int k = 0; k < 256 && !highFound; ++k) {
        sum += bins[std::size_t(k)];
        if (!lowFound && sum >= lowCount) {
            low = k;
            lowFound = true;
        }
        if (sum >= highCount) {
            high = k;
            highFound = true;
        }
    }
    low = std::clamp<int64_t>(low, 0, n);
    high = std::clamp<int64_t>(high, 0, n);

    AutoLevels result;
    result.black = int32_t(std::min(low, high));
    int64_t w = std::max(low, high);
    w = w + (255 - w) / 3;
    if (w > 255) w = 255;
    if (w < 210) w = 210;
    result.white = int32_t(w);
    return result;
}

} // namespace velanox::color
