#include "color/histogram.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace velanox::color {

bool computeHistogram(const core::ConstImageView& source, const ColorSettings& settings,
                      HistogramBars& bars, ChannelOrder order) {
    if (!isColorPicture(source)) return false;
    std::array<std::array<uint64_t, 256>, 3> counts{};
    const ColorPass pass(settings, int64_t(source.width) * source.height);
    const std::size_t rowBytes = std::size_t(source.width) * std::size_t(source.bytesPerPixel);
    std::vector<uint8_t> row(pass.active() ? rowBytes : 0);
    const int r = channelByte(order, 0), b = channelByte(order, 2);
    for (int y = 0; y < source.height; ++y) {
        const uint8_t* p = source.row(y);
        if (pass.active()) {
            std::memcpy(row.data(), p, rowBytes);
            pass.applyRow(row.data(), source.width, source.bytesPerPixel, order);
            p = row.data();
        }
        for (int x = 0; x < source.width; ++x, p += source.bytesPerPixel) {
            ++counts[0][p[r]];
            ++counts[1][p[1]];
            ++counts[2][p[b]];
        }
    }
    uint64_t m = 0;
    for (const auto& channel : counts)
        for (int k = 1; k < 255; ++k)
            m = std::max(m, channel[std::size_t(k)]);
    for (std::size_t c = 0; c < 3; ++c) {
        for (std::size_t k = 0; k < 256; ++k) {
            if (m == 0) {
                bars[c][k] = 0;
                continue;
            }
            const double height = double(counts[c][k]) * 255.0 / double(m);
            bars[c][k] = uint8_t(std::min(height, 255.0));
        }
    }
    return true;
}

int curveValue(const ToneTables& tone, const MatchTables& matchTables, int c, int i) {
    const int v = tone.channel(c)[std::size_t(i)] + matchTables[std::size_t(c)][std::size_t(i)] - i;
    return std::clamp(v, 0, 255);
}

CurveTables computeCurves(const ToneValues& tone, const MatchTables& matchTables) {
    const ToneTables tables = tone.toneActive() ? buildToneTables(tone) : ToneTables();
    CurveTables curves{};
    for (int c = 0; c < 3; ++c)
        for (int i = 0; i < 256; ++i)
            curves[std::size_t(c)][std::size_t(i)] = uint8_t(curveValue(tables, matchTables, c, i));
    return curves;
}

} // namespace velanox::color
