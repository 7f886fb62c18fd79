// Which image file of the program's resources shows which command, pane, pane image and noise
// mode. The images are SVG files under resources/ui-icons, built into the program.
#pragma once

#include <QPixmap>
#include <QString>

#include <span>

namespace velanox::ui {

/// One entry of a lookup table: an id and the resource path of its image.
struct IconFile {
    int id;
    const char* path;
};

/// The toolbar images, by command id.
std::span<const IconFile> commandIconFiles();
/// The icons of the docking panes, by pane id.
std::span<const IconFile> paneIconFiles();
/// The small images inside the panes (slider thumbs, level icons, icon buttons), by bitmap id.
std::span<const IconFile> paneBitmapFiles();
/// The pictures of the noise-mode list, by mode.
std::span<const IconFile> nrModeIconFiles();

/// The resource path of id in table, or an empty string when the table has no such id.
QString iconPath(std::span<const IconFile> table, int id);

/// The image at a resource path drawn at its own size, sharp on the application's densest
/// screen (the pixmap carries that device pixel ratio); a null pixmap for an empty path or a
/// file that is not a readable SVG.
QPixmap renderedIcon(const QString& path);

} // namespace velanox::ui
