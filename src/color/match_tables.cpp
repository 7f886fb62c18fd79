#include "color/match_tables.h"

#include "color/color_lut.h"

#include <algorithm>
#include <cmath>

namespace velanox::color {

MatchTables MatchValues::identityMatchTables() {
    MatchTables tables;
    for (MatchTable& table : tables)
        for (int i = 0; i < 256; ++i)
            table[std::size_t(i)] = uint8_t(i);
    return tables;
}

MatchTable buildMatchTable(const ColorStatistics::Distribution& source,
                           const ColorStatistics::Distribution& reference) {
    MatchTable table{};
    std::size_t prev = 0;
    for (std::size_t i = 0; i < 256; ++i) {
        double best = 2.0;
        const std::size_t start = prev;
        for (std::size_t j = start; j < 256; ++j) {
            const double d = std::fabs(source[i] - reference[j]);
            if (d < best) {
                best = d;
                prev = j;
            }
        }
        table[i] = uint8_t(prev);
    }
    return table;
}

void smoothMatchTables(MatchTables& tables) {
    constexpr int kTaps = 39, kHalf = 19;
    std::array<float, kTaps> w{};
    float total = 0;
    for (int t = 0; t < kTaps; ++t) {
        const double u = (t - kHalf) * 0.125;
        w[std::size_t(t)] = float(std::exp(-0.5 * u * u));
        total += w[std::size_t(t)];
    }
    for (float& weight : w)
        weight /= total;

    for (MatchTable& table : tables) {
        const MatchTable before = table;
        for (int k = 0; k < 256; ++k) {
            float s = 0;
            for (int t = 0; t < kTaps; ++t) {
                const int index = k + t - kHalf;
                const uint8_t v =
                    index < 0 || index > 255 ? before[std::size_t(k)] : before[std::size_t(index)];
                s += w[std::size_t(t)] * float(v);
            }
            table[std::size_t(k)] = uint8_t(std::clamp(s, 0.0f, 255.0f));
        }
    }
}

MatchTables buildMatchTables(const ColorStatistics& source, const ColorStatistics& reference) {
    MatchTables tables;
    for (std::size_t c = 0; c < 3; ++c)
        tables[c] = buildMatchTable(source[c], reference[c]);
    smoothMatchTables(tables);
    return tables;
}

void applyMatchBlend(const MatchTables& tables, int32_t fade, const core::ImageView& block,
                     ChannelOrder order) {
    ColorLut lut;
    for (int c = 0; c < 3; ++c)
        for (int v = 0; v < 256; ++v)
            lut.channel(c)[std::size_t(v)] = matchBlend(tables[std::size_t(c)], fade, uint8_t(v));
    lut.apply(block, order);
}

} // namespace velanox::color
