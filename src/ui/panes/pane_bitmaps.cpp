#include "ui/panes/pane_bitmaps.h"

#include "ui/icon_files.h"

namespace velanox::ui {

QPixmap paneBitmap(int bitmapId) {
    return renderedIcon(iconPath(paneBitmapFiles(), bitmapId));
}

} // namespace velanox::ui
