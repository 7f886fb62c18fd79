// The four interface themes (menus, toolbars, status bar) and six pane themes (docking panes),
// stored as "IntfTheme" and "PaneTheme" in section "Settings".
#pragma once

#include <QString>

#include <span>

namespace velanox::ui {

struct ThemeEntry {
    int value;     ///< the stored value
    int commandId; ///< the View menu command
    const char* menuText;
};

inline constexpr int kDefaultInterfaceTheme = 2; // Office 2003
inline constexpr int kDefaultPaneTheme = 5;      // Office 2003

/// The interface themes in the View menu's order.
std::span<const ThemeEntry> interfaceThemes();
/// The pane themes in the View menu's order (there is no value 4).
std::span<const ThemeEntry> paneThemes();

/// A stored interface theme outside 0..3 becomes 2.
int validInterfaceTheme(int value);
/// A stored pane theme outside 0..6, or 4, becomes 5.
int validPaneTheme(int value);

/// The style sheet of the menu bar, toolbars, tab strip and status bar for a theme.
QString interfaceStyleSheet(int theme);
/// The style sheet of the docking panes for a theme.
QString paneStyleSheet(int theme);

} // namespace velanox::ui
