// Three 256-entry lookup tables, one each for red, green and blue, built for one colour step
// from the levels, the gamma and the midtone bend and then applied to a buffer.
#pragma once

#include "color/channel_order.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace velanox::color {

/// The value of the levels curve at x (0..1 for table index x * 255), as a fraction of 255.
/// Below the black point and beyond the white point the curve is not limited.
double levelValue(int32_t inLow, int32_t inHigh, int32_t outLow, int32_t outHigh, double gamma,
                  double x);

class ToneTables {
public:
    using Table = std::array<int32_t, 256>;

    /// Starts with three identity tables.
    ToneTables() { reset(); }

    /// All three tables become the identity.
    void reset();

    /// Rebuilds one table from the levels inLow..inHigh -> outLow..outHigh with the gamma.
    /// Fully neutral arguments (0, 255, 0, 255, 1.0) leave the table as it is.
    void setRedLevels(int32_t inLow, int32_t inHigh, int32_t outLow, int32_t outHigh, double gamma);
    void setGreenLevels(int32_t inLow, int32_t inHigh, int32_t outLow, int32_t outHigh,
                        double gamma);
    void setBlueLevels(int32_t inLow, int32_t inHigh, int32_t outLow, int32_t outHigh,
                       double gamma);

    /// Bends all three tables in place by bend EV: +2 is one lightening pass v -> 255 - (255 -
    /// v)^2 / 255, +4 two passes, negative values darken alike; beyond +-4 acts as +-4.
    void applyMidtoneBend(double bend);

    /// Map bytes 0, 1, 2 of every pixel through the red, green and blue tables, rows packed
    /// (4 and 3 bytes per pixel); byte 3 is not touched. A null buffer does nothing.
    void applyTo32(uint8_t* pixels, int width, int height) const;
    void applyTo24(uint8_t* pixels, int width, int height) const;

    /// Maps each colour through its own table, whichever byte holds it in the block.
    void apply(const core::ImageView& block, ChannelOrder order = ChannelOrder::Rgb) const;

    const Table& red() const { return m_tables[0]; }
    const Table& green() const { return m_tables[1]; }
    const Table& blue() const { return m_tables[2]; }
    /// Table of colour channel c: 0 red, 1 green, 2 blue.
    const Table& channel(int c) const { return m_tables[std::size_t(c)]; }

private:
    void setLevels(Table& table, int32_t inLow, int32_t inHigh, int32_t outLow, int32_t outHigh,
                   double gamma);

    std::array<Table, 3> m_tables;
};

} // namespace velanox::color
