#include "color/tone_tables.h"

#include "color/color_lut.h"

#include <algorithm>
#include <cmath>

namespace velanox::color {

double levelValue(int32_t inLow, int32_t inHigh, int32_t outLow, int32_t outHigh, double gamma,
                  double x) {
    double f = x * 255 - inLow;
    // Equal points skip the division: the curve is then a plain shift.
    if (inLow != inHigh) f = f / (inHigh - inLow);
    if (gamma != 0) {
        const double exponent = 1 / gamma;
        f = f >= 0 ? std::pow(f, exponent) : -std::pow(-f, exponent);
    }
    const double v = outLow + f * (outHigh - outLow);
    return v / 255;
}

void ToneTables::reset() {
    for (Table& table : m_tables)
        for (int i = 0; i < 256; ++i)
            table[std::size_t(i)] = i;
}

void ToneTables::setLevels(Table& table, int32_t inLow, int32_t inHigh, int32_t outLow,
                           int32_t outHigh, double gamma) {
    if (inLow == 0 && inHigh == 255 && outLow == 0 && outHigh == 255 && gamma == 1.0) return;
    for (int i = 0; i < 256; ++i) {
        const double y = levelValue(inLow, inHigh, outLow, outHigh, gamma, i / 255.0) * 255 + 0.5;
        // NaN (a gamma that makes no sense) falls to 0 like any value below the range.
        int32_t entry = 0;
        if (y >= 255)
            entry = 255;
        else if (y >= 0)
            entry = int32_t(y);
        table[std::size_t(i)] = entry;
    }
}

void ToneTables::setRedLevels(int32_t inLow, int32_t inHigh, int32_t outLow, int32_t outHigh,
                              double gamma) {
    setLevels(m_tables[0], inLow, inHigh, outLow, outHigh, gamma);
}

void ToneTables::setGreenLevels(int32_t inLow, int32_t inHigh, int32_t outLow, int32_t outHigh,
                                double gamma) {
    setLevels(m_tables[1], inLow, inHigh, outLow, outHigh, gamma);
}

void ToneTables::setBlueLevels(int32_t inLow, int32_t inHigh, int32_t outLow, int32_t outHigh,
                               double gamma) {
    setLevels(m_tables[2], inLow, inHigh, outLow, outHigh, gamma);
}

namespace {

int32_t lighten(int32_t v) {
    return 255 - (255 - v) * (255 - v) / 255;
}
int32_t darken(int32_t v) {
    return v * v / 255;
}

} // namespace

void ToneTables::applyMidtoneBend(double bend) {
    if (bend == 0.0 || std::isnan(bend)) return;
    for (Table& table : m_tables) {
        for (int32_t& entry : table) {
            const int32_t v = entry;
            int32_t a = v, b = v;
            double t = 0;
            if (bend > 2) {
                a = lighten(v);
                b = lighten(a);
                t = (bend - 2) / 2;
            } else if (bend > 0) {
                b = lighten(v);
                t = bend / 2;
            } else if (bend >= -2) {
                b = darken(v);
                t = -bend / 2;
            } else {
                a = darken(v);
                b = darken(a);
                t = -(bend + 2) / 2;
            }
            t = std::clamp(t, 0.0, 1.0);
            const double mixed = (1 - t) * a + t * b;
            entry = int32_t(std::clamp(mixed, 0.0, 255.0));
        }
    }
}

void ToneTables::applyTo32(uint8_t* pixels, int width, int height) const {
    apply(core::ImageView(pixels, width, height, 4));
}

void ToneTables::applyTo24(uint8_t* pixels, int width, int height) const {
    apply(core::ImageView(pixels, width, height, 3));
}

void ToneTables::apply(const core::ImageView& block, ChannelOrder order) const {
    if (!isColorPicture(block)) return;
    ColorLut lut;
    for (int c = 0; c < 3; ++c)
        for (int i = 0; i < 256; ++i)
            lut.channel(c)[std::size_t(i)] = uint8_t(m_tables[std::size_t(c)][std::size_t(i)]);
    lut.apply(block, order);
}

} // namespace velanox::color
