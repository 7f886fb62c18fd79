#include "ui/icon_files.h"

#include "pipeline/noise_settings.h"
#include "ui/panes/pane_control_ids.h"
#include "ui/resource_ids.h"

#include <QGuiApplication>
#include <QPainter>
#include <QSvgRenderer>

#include <cmath>

namespace velanox::ui {

namespace {

constexpr IconFile kCommandIcons[] = {
    {ids::kFileOpen, ":/ui-icons/toolbar/open.svg"},
    {ids::kFileSave, ":/ui-icons/toolbar/save.svg"},
    {ids::kPrevImage, ":/ui-icons/toolbar/previous-image.svg"},
    {ids::kNextImage, ":/ui-icons/toolbar/next-image.svg"},
    {ids::kEditPaste, ":/ui-icons/toolbar/paste.svg"},
    {ids::kAppAbout, ":/ui-icons/toolbar/about.svg"},
    {ids::kHelp, ":/ui-icons/toolbar/help.svg"},
    {ids::kRotateCcw, ":/ui-icons/toolbar/rotate-left.svg"},
    {ids::kRotateCw, ":/ui-icons/toolbar/rotate-right.svg"},
    {ids::kApplyCrop, ":/ui-icons/toolbar/crop.svg"},
    {ids::kGrid, ":/ui-icons/toolbar/grid.svg"},
    {ids::kZoomIn, ":/ui-icons/toolbar/zoom-in.svg"},
    {ids::kZoomOut, ":/ui-icons/toolbar/zoom-out.svg"},
    {ids::kDetailZoom100, ":/ui-icons/toolbar/zoom-100.svg"},
    {ids::kDetailZoom200, ":/ui-icons/toolbar/zoom-200.svg"},
    {ids::kDetailZoom400, ":/ui-icons/toolbar/zoom-400.svg"},
};

constexpr IconFile kPaneIcons[] = {
    {ids::kPaneIdNrOptions, ":/ui-icons/panes/nr-options.svg"},
    {ids::kPaneIdFileProperties, ":/ui-icons/panes/file-properties.svg"},
};

constexpr IconFile kPaneBitmaps[] = {
    {ids::kBitmapThumbTemperature, ":/ui-icons/pane-images/thumb-temperature.svg"},
    {ids::kBitmapThumbPlain, ":/ui-icons/pane-images/thumb-plain.svg"},
    {ids::kBitmapThumbExposure, ":/ui-icons/pane-images/thumb-exposure.svg"},
    {ids::kBitmapIconShadows, ":/ui-icons/pane-images/level-shadows.svg"},
    {ids::kBitmapIconHighlights, ":/ui-icons/pane-images/level-highlights.svg"},
    {ids::kBitmapLoadReference, ":/ui-icons/pane-images/load-reference.svg"},
    {ids::kBitmapSaveProfile, ":/ui-icons/pane-images/save-profile.svg"},
    {ids::kBitmapDeleteProfile, ":/ui-icons/pane-images/delete-profile.svg"},
    {ids::kBitmapApplyCrop, ":/ui-icons/pane-images/apply-crop.svg"},
    {ids::kBitmapReturn, ":/ui-icons/pane-images/return.svg"},
};

constexpr IconFile kNrModeIcons[] = {
    {pipeline::kNrModeDefault, ":/ui-icons/modes/default.svg"},
    {pipeline::kNrModeNature, ":/ui-icons/modes/nature.svg"},
    {pipeline::kNrModePortrait, ":/ui-icons/modes/portrait.svg"},
    {pipeline::kNrModeHighNoise, ":/ui-icons/modes/high-noise.svg"},
    {pipeline::kNrModeScanner, ":/ui-icons/modes/scanner.svg"},
    {pipeline::kNrModeAuto, ":/ui-icons/modes/auto.svg"},
};

} // namespace

std::span<const IconFile> commandIconFiles() {
    return kCommandIcons;
}

std::span<const IconFile> paneIconFiles() {
    return kPaneIcons;
}

std::span<const IconFile> paneBitmapFiles() {
    return kPaneBitmaps;
}

std::span<const IconFile> nrModeIconFiles() {
    return kNrModeIcons;
}

QString iconPath(std::span<const IconFile> table, int id) {
    for (const IconFile& entry : table)
        if (entry.id == id) return QString::fromLatin1(entry.path);
    return {};
}

QPixmap renderedIcon(const QString& path) {
    if (path.isEmpty()) return {};
    QSvgRenderer renderer(path);
    if (!renderer.isValid()) return {};
    const qreal ratio = qGuiApp != nullptr ? qGuiApp->devicePixelRatio() : 1.0;
    const QSizeF size = QSizeF(renderer.defaultSize()) * ratio;
    QPixmap pixmap(int(std::ceil(size.width())), int(std::ceil(size.height())));
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter, QRectF(QPointF(0, 0), size));
    painter.end();
    pixmap.setDevicePixelRatio(ratio);
    return pixmap;
}

} // namespace velanox::ui
