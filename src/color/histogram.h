// The data behind the Histogram and Curves tabs: bar heights of the recoloured source and the
// transfer curve of each channel.
#pragma once

#include "color/channel_order.h"
#include "color/color_steps.h"

#include <array>
#include <cstdint>

namespace velanox::color {

/// Bar heights 0..255 for values 0..255 of red, green and blue.
using HistogramBars = std::array<std::array<uint8_t, 256>, 3>;

/// Counts every pixel of the source after the colour steps (match, tone, boost; the source
/// itself is not changed) and scales the counts so that the largest count of values 1..254 over
/// all channels is 255 high; values 0 and 255 may reach the top. When no value 1..254 occurs
/// every bar is 0. Rows are recoloured one at a time, so no copy of the image is made.
/// Returns false, leaving bars as they were, when the source has no pixels.
bool computeHistogram(const core::ConstImageView& source, const ColorSettings& settings,
                      HistogramBars& bars, ChannelOrder order = ChannelOrder::Rgb);

/// The curves drawn on the Curves tab: per channel the tone tables as the tone step builds them
/// (the identity when the tone step is not active), plus the match table minus the input,
/// limited to 0..255. The boost and the fade are not part of the curve.
using CurveTables = std::array<std::array<uint8_t, 256>, 3>;
CurveTables computeCurves(const ToneValues& tone, const MatchTables& matchTables);

/// One point of a curve: channel c (0 red, 1 green, 2 blue) at input i (0..255).
int curveValue(const ToneTables& tone, const MatchTables& matchTables, int c, int i);

} // namespace velanox::color
