// Colours written as 0xBBGGRR (the byte order of a Windows colour value) and the 14 pastel
// colours of the mode tabs and title bars.
#pragma once

#include <QColor>

#include <cstdint>

namespace velanox::ui {

/// The one conversion from 0xBBGGRR: 0x75DBFF is red 0xFF, green 0xDB, blue 0x75.
QColor colorFromBgr(std::uint32_t bgr);

/// Entry index modulo 14 of the pastel table (a negative index counts as 0). Entry 0 is the
/// Details tab, 1 Full/Crop, 2 Curves, 3 Histogram.
QColor modeColor(int index);

inline constexpr int kModeColorCount = 14;

} // namespace velanox::ui
