// The 16 x 15 toolbar images and the pane icons, from the program's icon files.
#pragma once

#include <QIcon>

namespace velanox::ui {

inline constexpr int kToolbarImageWidth = 16;
inline constexpr int kToolbarImageHeight = 15;

/// The toolbar image of a command, or a null icon when it has none.
QIcon commandIcon(int commandId);
/// The icon of a docking pane (NR Options and File Properties have one), or a null icon.
QIcon paneIcon(int paneId);

} // namespace velanox::ui
