// The colour steps every caller that recolours pixels runs, in one order: colour match, then the
// tone tables, then the colour boost. The pipeline's working buffer, the quick preview, the
// Full/Crop display image and the histogram all go through these functions.
#pragma once

#include "color/boost_colors.h"
#include "color/channel_order.h"
#include "color/color_lut.h"
#include "color/match_tables.h"
#include "color/tone_tables.h"
#include "color/tone_values.h"

#include <optional>

namespace velanox::color {

/// Everything the colour steps read: the tone values and the colour-match values.
struct ColorSettings {
    ToneValues tone;
    MatchValues match;
};

/// The tables of the standard tone step: levels blackPoint..whitePoint -> 0..255 on all three
/// tables, the gamma on the blue table only (red and green get 1.0), then the midtone bend.
/// Built whatever the values; callers that apply them first ask ToneValues::toneActive().
ToneTables buildToneTables(const ToneValues& tone);

/// The standard tone step: when the tone step is active, the tables of buildToneTables applied
/// to the block (each colour through its own table, whatever its byte); then, when the boost is
/// active, boostColors. Neutral values leave the pixels untouched.
void applyToneStep(const ToneValues& tone, const core::ImageView& block,
                   ChannelOrder order = ChannelOrder::Rgb);

/// All colour steps in order: the match blend when matchActive > 0, then the tone step.
void applyColorSteps(const ColorSettings& settings, const core::ImageView& block,
                     ChannelOrder order = ChannelOrder::Rgb);

/// The colour steps prepared once and applied row by row, for callers that fuse them with a copy
/// (the crop display build, the histogram). The channel-wise steps are composed into one table
/// per colour; the boost runs after them on each row. Gives the same bytes as applyColorSteps.
class ColorPass {
public:
    /// pixels: about how many pixels the pass will see; large passes tabulate the boost.
    explicit ColorPass(const ColorSettings& settings, int64_t pixels = 0);

    /// False when every step is neutral: the pixels would not change.
    bool active() const { return m_lut.has_value() || m_boost.active(); }
    void applyRow(uint8_t* row, int width, int bytesPerPixel, ChannelOrder order) const;
    void apply(const core::ImageView& block, ChannelOrder order = ChannelOrder::Rgb) const;

private:
    std::optional<ColorLut> m_lut;
    BoostKernel m_boost;
};

} // namespace velanox::color
