#include "ui/toolbar_icons.h"

#include "ui/icon_files.h"

namespace velanox::ui {

namespace {

// Qt's SVG icon engine draws the file afresh for every size and screen density.
QIcon iconAt(const QString& path) {
    return path.isEmpty() ? QIcon() : QIcon(path);
}

} // namespace

QIcon commandIcon(int commandId) {
    return iconAt(iconPath(commandIconFiles(), commandId));
}

QIcon paneIcon(int paneId) {
    return iconAt(iconPath(paneIconFiles(), paneId));
}

} // namespace velanox::ui
