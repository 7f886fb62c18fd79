// Colour matching by histogram: per channel, a table that maps the source's cumulative
// distribution onto a reference's, smoothed, and blended with the unmatched colour by the fade.
#pragma once

#include "color/channel_order.h"
#include "color/color_statistics.h"
#include "core/param_range.h"

#include <array>
#include <cstdint>

namespace velanox::color {

using MatchTable = std::array<uint8_t, 256>;
/// Red, green and blue tables; the identity whenever matching is off.
using MatchTables = std::array<MatchTable, 3>;

/// The colour-match values the document holds, with their declared ranges.
struct MatchValues {
    int32_t matchActive = 0; ///< 0 off, 1 to the reference image, 2 to the profile
    int32_t matchFade = 0;   ///< share of the unmatched colour kept, 0 (fully matched) .. 255
    MatchTables matchTables = identityMatchTables();

    static MatchTables identityMatchTables();
    bool active() const { return matchActive > 0; }
};

inline constexpr core::ParamRange<int32_t> kMatchActiveRange{"matchActive", 0, 2, 0};
inline constexpr core::ParamRange<int32_t> kMatchFadeRange{"matchFade", 0, 255, 0};

/// Monotone nearest-value search: entry i is the lowest j (never below entry i - 1) whose
/// reference value is nearest to source[i].
MatchTable buildMatchTable(const ColorStatistics::Distribution& source,
                           const ColorStatistics::Distribution& reference);

/// Smooths the three tables in place with a 39-tap Gaussian (sigma 8 entries) of 32-bit float
/// weights and accumulator; beyond either end of a table the entry itself stands in.
void smoothMatchTables(MatchTables& tables);

/// The three tables of source against reference, smoothed: what a mode choice builds.
MatchTables buildMatchTables(const ColorStatistics& source, const ColorStatistics& reference);

/// The blended value of v through table t with the fade f: (v f + (255 - f) t[v]) >> 8.
/// A fade outside 0..255 is taken as the nearest end.
inline uint8_t matchBlend(const MatchTable& table, int32_t fade, uint8_t v) {
    fade = kMatchFadeRange.clamp(fade);
    return uint8_t((v * fade + (255 - fade) * table[v]) >> 8);
}

/// Applies the blend to every pixel of the block, each colour through its own table.
void applyMatchBlend(const MatchTables& tables, int32_t fade, const core::ImageView& block,
                     ChannelOrder order = ChannelOrder::Rgb);

} // namespace velanox::color
