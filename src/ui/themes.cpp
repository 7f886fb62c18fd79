#include "ui/themes.h"

#include "ui/resource_ids.h"

#include <array>

namespace velanox::ui {

namespace {

constexpr std::array<ThemeEntry, 4> kInterfaceThemes{{
    {3, ids::kThemeNativeXp, "&Native WinXP"},
    {0, ids::kThemeOfficeXp, "&Office XP"},
    {2, ids::kThemeOffice2003, "Office 200&3"},
    {1, ids::kThemeOffice2000, "Office 200&0"},
}};

constexpr std::array<ThemeEntry, 6> kPaneThemes{{
    {6, ids::kPaneThemeNativeXp, "&Native WinXP"},
    {5, ids::kPaneThemeOffice2003, "&Office 2003"},
    {3, ids::kPaneThemeVisio, "&Visio"},
    {1, ids::kPaneThemeVisualStudioNet, "Visual &Studio .NET"},
    {2, ids::kPaneThemeVisualStudio6, "Visual Studio &6"},
    {0, ids::kPaneThemeDefault, "&Default"},
}};

} // namespace

std::span<const ThemeEntry> interfaceThemes() {
    return kInterfaceThemes;
}
std::span<const ThemeEntry> paneThemes() {
    return kPaneThemes;
}

int validInterfaceTheme(int value) {
    return value >= 0 && value <= 3 ? value : kDefaultInterfaceTheme;
}

int validPaneTheme(int value) {
    return value >= 0 && value <= 6 && value != 4 ? value : kDefaultPaneTheme;
}

QString interfaceStyleSheet(int theme) {
    switch (validInterfaceTheme(theme)) {
    case 0: // Office XP: flat, light bars, a framed lilac highlight
        return QStringLiteral(
            "QMenuBar { background: #efedde; }"
            "QMenuBar::item:selected { background: #c1d2ee; border: 1px solid #316ac5; }"
            "QMenu { background: #fcfcf9; border: 1px solid #8a867a; }"
            "QMenu::item:selected { background: #c1d2ee; color: black; border: 1px solid #316ac5; }"
            "QToolBar { background: #efedde; border: none; spacing: 2px; }"
            "QToolButton:hover { background: #c1d2ee; border: 1px solid #316ac5; }"
            "QToolButton:checked, QToolButton:pressed { background: #98b5e2; border: 1px solid "
            "#316ac5; }"
            "QStatusBar { background: #efedde; }");
    case 1: // Office 2000: classic grey with raised buttons on hover
        return QStringLiteral(
            "QMenuBar { background: #d4d0c8; }"
            "QMenuBar::item:selected { background: #d4d0c8; border: 1px outset #ffffff; }"
            "QMenu { background: #d4d0c8; border: 2px outset #ffffff; }"
            "QMenu::item:selected { background: #0a246a; color: white; }"
            "QToolBar { background: #d4d0c8; border: 1px outset #ffffff; spacing: 1px; }"
            "QToolButton:hover { border: 1px outset #ffffff; }"
            "QToolButton:pressed, QToolButton:checked { border: 1px inset #808080; }"
            "QStatusBar { background: #d4d0c8; }");
    case 2: // Office 2003: blue gradient bars with an amber highlight
        return QStringLiteral(
            "QMenuBar { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #e3effe, stop:1 "
            "#c4dafa); }"
            "QMenuBar::item:selected { background: #ffeec2; border: 1px solid #000080; }"
            "QMenu { background: #f6f6f6; border: 1px solid #002d96; }"
            "QMenu::item:selected { background: #ffeec2; color: black; border: 1px solid #000080; }"
            "QToolBar { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #ddecfe, stop:1 "
            "#81a9e2);"
            " border: 1px solid #3b619c; border-radius: 3px; spacing: 2px; }"
            "QToolButton:hover { background: #ffeec2; border: 1px solid #000080; }"
            "QToolButton:pressed, QToolButton:checked { background: #fe8e4b; border: 1px solid "
            "#000080; }"
            "QMainWindow::separator { background: #c4dafa; }"
            "QStatusBar { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #c4dafa, "
            "stop:1 #a9c6f2); }");
    default: // Native WinXP: the platform's own look
        return {};
    }
}

QString paneStyleSheet(int theme) {
    switch (validPaneTheme(theme)) {
    case 0: // Default: plain grey caption
        return QStringLiteral(
            "QDockWidget::title { background: #d4d0c8; padding: 3px; border: 1px solid #808080; }");
    case 1: // Visual Studio .NET: flat caption, darker when the pane is active
        return QStringLiteral("QDockWidget::title { background: #d8d5cc; padding: 3px; "
                              "border-bottom: 1px solid #a0a0a0; }"
                              "QDockWidget > QWidget { background: #f7f7f3; }");
    case 2: // Visual Studio 6: raised grey caption with grip lines
        return QStringLiteral("QDockWidget { font-weight: bold; }"
                              "QDockWidget::title { background: #c0c0c0; padding: 2px; border: 2px "
                              "outset #ffffff; }");
    case 3: // Visio: dark green-grey caption with white text
        return QStringLiteral("QDockWidget { color: white; }"
                              "QDockWidget::title { background: #53735f; padding: 3px; }"
                              "QDockWidget > QWidget { background: #eef2ee; color: black; }");
    case 5: // Office 2003: blue gradient caption
        return QStringLiteral(
            "QDockWidget::title { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 "
            "#e3effe,"
            " stop:1 #7ba2e7); padding: 3px; border: 1px solid #3b619c; }"
            "QDockWidget > QWidget { background: #f1f6fe; }"
            "QTabBar::tab { background: #c4dafa; border: 1px solid #3b619c; padding: 3px 8px; }"
            "QTabBar::tab:selected { background: #ffeec2; }");
    default: // Native WinXP: the platform's own look
        return {};
    }
}

} // namespace velanox::ui
