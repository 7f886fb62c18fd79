#include "ui/mode_colors.h"

#include <array>

namespace velanox::ui {

QColor colorFromBgr(std::uint32_t bgr) {
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

QColor modeColor(int index) {
    static constexpr std::array<std::uint32_t, kModeColorCount> kTable{
        0xE4A88A, 0x75DBFF, 0x9FCDBD, 0x9F9EF0, 0xE1A6BA, 0xB4BF9A, 0x83B6F7,
        0xC0ABD8, 0x83F7BB, 0x8AC1E4, 0x8AE492, 0xC38AE4, 0xF7F183, 0x8398F7};
    if (index < 0) index = 0;
    return colorFromBgr(kTable[std::size_t(index % kModeColorCount)]);
}

} // namespace velanox::ui
