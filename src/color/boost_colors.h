// The colour boost: each channel moves away from the mean of the other two.
#pragma once

#include "color/channel_order.h"

#include <cstdint>
#include <vector>

namespace velanox::color {

/// Boosts bytes 0..2 of every pixel by strength a (0..100 from the pane): each new channel is
/// (510 c - a (sum of the other two)) / (2 (255 - a)), integer division truncating toward zero,
/// then limited to 0..255. Grey pixels stay as they are. Rows packed; bytesPerPixel 3 or 4.
/// Nothing happens for a strength of 0 or less or of 255 or more, or for a null buffer.
void boostColors(uint8_t* pixels, int width, int height, int32_t strength, int bytesPerPixel);

/// The same over a block with any row stride (the byte order does not matter: the boost treats
/// the three channels alike).
void boostColors(const core::ImageView& block, int32_t strength);

/// The boost prepared for one strength, applied row by row. For large images it first tabulates
/// the limited quotient of every numerator the boost can meet (about 130 000 bytes), which gives
/// the same bytes as dividing and saves three divisions per pixel.
class BoostKernel {
public:
    BoostKernel(int32_t strength, bool tabulate);
    bool active() const { return m_d > 0 && m_a > 0; }
    void applyRow(uint8_t* row, int width, int bytesPerPixel) const;

private:
    int32_t m_a = 0;
    int32_t m_d = 0;
    std::vector<uint8_t> m_quotient; ///< numerator n (0..510*255) -> min(n / d, 255)
};

/// Pixels from which tabulating pays.
inline constexpr int64_t kBoostTableMinPixels = 1 << 16;

} // namespace velanox::color
