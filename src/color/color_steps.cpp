#include "color/color_steps.h"

#include "color/boost_colors.h"

namespace velanox::color {

ToneTables buildToneTables(const ToneValues& tone) {
    ToneTables tables;
    tables.setBlueLevels(tone.blackPoint, tone.whitePoint, 0, 255, tone.gamma);
    tables.setRedLevels(tone.blackPoint, tone.whitePoint, 0, 255, 1.0);
    tables.setGreenLevels(tone.blackPoint, tone.whitePoint, 0, 255, 1.0);
    tables.applyMidtoneBend(tone.midtoneBend);
    return tables;
}

ColorPass::ColorPass(const ColorSettings& settings, int64_t pixels)
    : m_boost(settings.tone.boostActive() ? settings.tone.colorBoost : 0,
              pixels >= kBoostTableMinPixels) {
    const bool match = settings.match.active();
    const bool tone = settings.tone.toneActive();
    if (match || tone) {
        ColorLut lut = ColorLut::identity();
        if (match) {
            for (int c = 0; c < 3; ++c)
                for (int v = 0; v < 256; ++v)
                    lut.channel(c)[std::size_t(v)] =
                        matchBlend(settings.match.matchTables[std::size_t(c)],
                                   settings.match.matchFade, uint8_t(v));
        }
        if (tone) {
            const ToneTables tables = buildToneTables(settings.tone);
            for (int c = 0; c < 3; ++c)
                for (uint8_t& v : lut.channel(c))
                    v = uint8_t(tables.channel(c)[v]);
        }
        m_lut = lut;
    }
}

void ColorPass::applyRow(uint8_t* row, int width, int bytesPerPixel, ChannelOrder order) const {
    if (m_lut) m_lut->applyRow(row, width, bytesPerPixel, order);
    m_boost.applyRow(row, width, bytesPerPixel);
}

void ColorPass::apply(const core::ImageView& block, ChannelOrder order) const {
    if (!active() || !isColorPicture(block)) return;
    for (int y = 0; y < block.height; ++y)
        applyRow(block.row(y), block.width, block.bytesPerPixel, order);
}

void applyToneStep(const ToneValues& tone, const core::ImageView& block, ChannelOrder order) {
    if (!isColorPicture(block)) return;
    if (tone.toneActive()) buildToneTables(tone).apply(block, order);
    if (tone.boostActive()) boostColors(block, tone.colorBoost);
}

void applyColorSteps(const ColorSettings& settings, const core::ImageView& block,
                     ChannelOrder order) {
    ColorPass(settings, int64_t(block.width) * block.height).apply(block, order);
}

} // namespace velanox::color
