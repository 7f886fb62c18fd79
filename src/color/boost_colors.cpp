#include "color/boost_colors.h"

#include <algorithm>

namespace velanox::color {

BoostKernel::BoostKernel(int32_t strength, bool tabulate) {
    if (strength <= 0 || strength >= 255) return;
    m_a = strength;
    m_d = 2 * (255 - strength);
    if (tabulate) {
        m_quotient.resize(510 * 255 + 1);
        for (int32_t n = 0; n <= 510 * 255; ++n)
            m_quotient[std::size_t(n)] = uint8_t(std::min(n / m_d, 255));
    }
}

void BoostKernel::applyRow(uint8_t* row, int width, int bytesPerPixel) const {
    if (!active()) return;
    const int32_t a = m_a, d = m_d;
    uint8_t* p = row;
    if (!m_quotient.empty()) {
        // A numerator of 0 or below gives 0 whichever way the division rounds.
        const uint8_t* q = m_quotient.data();
        auto boosted = [q](int32_t n) -> uint8_t { return n <= 0 ? 0 : q[n]; };
        for (int x = 0; x < width; ++x, p += bytesPerPixel) {
            const int32_t c0 = p[0], c1 = p[1], c2 = p[2];
            p[0] = boosted(510 * c0 - a * (c1 + c2));
            p[1] = boosted(510 * c1 - a * (c0 + c2));
            p[2] = boosted(510 * c2 - a * (c0 + c1));
        }
        return;
    }
    auto limit = [](int32_t v) -> uint8_t { return v > 255 ? 255 : v <= 0 ? 0 : uint8_t(v); };
    for (int x = 0; x < width; ++x, p += bytesPerPixel) {
        const int32_t c0 = p[0], c1 = p[1], c2 = p[2];
        // C++ integer division truncates toward zero, as the boost is defined.
        p[0] = limit((510 * c0 - a * (c1 + c2)) / d);
        p[1] = limit((510 * c1 - a * (c0 + c2)) / d);
        p[2] = limit((510 * c2 - a * (c0 + c1)) / d);
    }
}

void boostColors(const core::ImageView& block, int32_t strength) {
    if (!isColorPicture(block)) return;
    const BoostKernel kernel(strength, int64_t(block.width) * block.height >= kBoostTableMinPixels);
    for (int y = 0; y < block.height; ++y)
        kernel.applyRow(block.row(y), block.width, block.bytesPerPixel);
}

void boostColors(uint8_t* pixels, int width, int height, int32_t strength, int bytesPerPixel) {
    boostColors(core::ImageView(pixels, width, height, bytesPerPixel), strength);
}

} // namespace velanox::color
