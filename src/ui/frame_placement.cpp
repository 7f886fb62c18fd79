#include "ui/frame_placement.h"

#include <algorithm>

namespace velanox::ui {

FramePlacement framePlacement(const SavedPlacement& saved, const QRect& workArea,
                              const QSize& screenSize, const QSize& iconSize) {
    FramePlacement placement;
    if (saved.status == -1 || saved.left == -1 || saved.top == -1 || saved.right == -1 ||
        saved.bottom == -1)
        return placement;

    const int width = saved.right - saved.left;
    const int height = saved.bottom - saved.top;
    // An empty or inverted rectangle cannot be shown; it only comes from a damaged store.
    if (width <= 0 || height <= 0) return placement;

    placement.useDefault = false;
    // A window closed while minimised opens normally: starting minimised can leave it where
    // the person cannot find it.
    placement.maximised = saved.status == kShowMaximised;
    const int x = std::min(saved.left + workArea.left(), screenSize.width() - iconSize.width());
    const int y = std::min(saved.top + workArea.top(), screenSize.height() - iconSize.height());
    placement.normalRect = QRect(x, y, width, height);
    return placement;
}

SavedPlacement placementToSave(const QRect& normalRect, bool maximised, bool minimised,
                               const QRect& workArea) {
    SavedPlacement saved;
    saved.status = maximised ? kShowMaximised : minimised ? kShowMinimised : kShowNormal;
    saved.left = normalRect.left() - workArea.left();
    saved.top = normalRect.top() - workArea.top();
    saved.right = saved.left + normalRect.width();
    saved.bottom = saved.top + normalRect.height();
    return saved;
}

} // namespace velanox::ui
