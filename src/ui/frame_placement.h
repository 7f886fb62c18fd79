// Where the main frame opens: the placement saved in section "Frame", kept on screen.
#pragma once

#include <QRect>
#include <QSize>

namespace velanox::ui {

/// The five values of section "Frame" ("Status" keeps the Windows show codes: 1 normal,
/// 2 minimised, 3 maximised; the rectangle is relative to the work area).
struct SavedPlacement {
    int status = -1;
    int left = -1;
    int top = -1;
    int right = -1;
    int bottom = -1;
};

struct FramePlacement {
    bool useDefault = true; ///< no saved placement: maximised at the default size
    bool maximised = true;
    QRect normalRect; ///< the restored rectangle in screen coordinates
};

inline constexpr int kShowNormal = 1;
inline constexpr int kShowMinimised = 2;
inline constexpr int kShowMaximised = 3;
/// A window whose left or top edge is clamped keeps at least this much on screen.
inline constexpr QSize kIconSize{32, 32};

/// The placement to open with. A value of -1 anywhere gives the maximised default. A saved
/// left or top edge beyond the screen's right or bottom edge is pulled back to the screen size
/// less an icon, so the window can never open entirely off screen.
FramePlacement framePlacement(const SavedPlacement& saved, const QRect& workArea,
                              const QSize& screenSize, const QSize& iconSize = kIconSize);

/// The values to save for a window with the given normal rectangle and state.
SavedPlacement placementToSave(const QRect& normalRect, bool maximised, bool minimised,
                               const QRect& workArea);

} // namespace velanox::ui
