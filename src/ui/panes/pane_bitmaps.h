// The small images of the panes, from the program's icon files: slider thumbs, the level icons
// and the icon buttons.
#pragma once

#include <QColor>
#include <QPixmap>

namespace velanox::ui {

/// The image of a bitmap id at its own size (sharp on dense screens: the pixmap carries the
/// device pixel ratio), or a null pixmap for an unknown id.
QPixmap paneBitmap(int bitmapId);

/// A colour written 0xBBGGRR (a Windows colour value) as a QColor.
inline QColor colorFromBgr(unsigned value) {
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

} // namespace velanox::ui
