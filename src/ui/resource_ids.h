// Numeric identifiers of commands, controls, dialogs, panes, toolbars and strings. Menus,
// toolbars, accelerators and panes share them; every widget and action is named after its id
// (objectNameFor) so layouts can be saved and tests can find them.
#pragma once

#include <QString>

namespace velanox::ui::ids {

// Commands of the application framework.
inline constexpr int kFileNew = 57600;
inline constexpr int kFileOpen = 57601;
inline constexpr int kFileSave = 57603;
inline constexpr int kFileSaveAs = 57604;
inline constexpr int kFileMru1 = 57616; // 57616..57619, the four recent files
inline constexpr int kEditCopy = 57634;
inline constexpr int kEditCut = 57635;
inline constexpr int kEditPaste = 57637;
inline constexpr int kEditUndo = 57643;
inline constexpr int kAppAbout = 57664;
inline constexpr int kAppExit = 57665;
inline constexpr int kHelp = 57670;
inline constexpr int kNextPane = 57680;
inline constexpr int kPrevPane = 57681;
inline constexpr int kViewToolbar = 59392;
inline constexpr int kViewStatusBar = 59393;
inline constexpr int kCustomize = 35001;

// Commands of the program.
inline constexpr int kPaneNrOptions = 32771;
inline constexpr int kFullCropMode = 32772;
inline constexpr int kPaneColorCorrection = 32773;
inline constexpr int kPaneFileProperties = 32774;
inline constexpr int kApplyCrop = 32775;
inline constexpr int kRotateCcw = 32777;
inline constexpr int kRotateCw = 32778;
inline constexpr int kPaneColorMatch = 32781;
inline constexpr int kDetailMode = 32782;
inline constexpr int kReloadFile = 32784;
inline constexpr int kZoomIn = 32785;
inline constexpr int kZoomOut = 32786;
inline constexpr int kGrid = 32787;
inline constexpr int kCurves = 32788;
inline constexpr int kHistogram = 32789;
inline constexpr int kNextImage = 32791;
inline constexpr int kPrevImage = 32792;
inline constexpr int kMemorySettings = 32796;
inline constexpr int kNextModeTab = 32797;
inline constexpr int kPrevModeTab = 32798;
inline constexpr int kThemeOffice2000 = 32799;
inline constexpr int kThemeOffice2003 = 32800;
inline constexpr int kThemeOfficeXp = 32801;
inline constexpr int kThemeNativeXp = 32802;
inline constexpr int kPaneThemeDefault = 32803;
inline constexpr int kPaneThemeOffice2003 = 32804;
inline constexpr int kPaneThemeVisualStudio6 = 32805;
inline constexpr int kPaneThemeVisualStudioNet = 32806;
inline constexpr int kPaneThemeVisio = 32807;
inline constexpr int kPaneThemeNativeXp = 32808;
// The Detail view's magnifications (one, two or four screen pixels per image pixel).
inline constexpr int kDetailZoom100 = 32840;
inline constexpr int kDetailZoom200 = 32841;
inline constexpr int kDetailZoom400 = 32842;

// Menus, toolbars and control bars.
inline constexpr int kMainMenu = 128;
inline constexpr int kStandardToolbar = 128;
inline constexpr int kCropToolbar = 141;
inline constexpr int kModeTabStrip = 33288;
inline constexpr int kStatusBar = 59393;

// Docking panes (their ids are also the string ids of their captions).
inline constexpr int kPaneIdNrOptions = 4000;
inline constexpr int kPaneIdFileProperties = 4001;
inline constexpr int kPaneIdColorCorrection = 4002;
inline constexpr int kPaneIdColorMatch = 4003;
inline constexpr int kPaneIconBitmap = 130;

// Dialogs and their controls.
inline constexpr int kAboutDialog = 100;
inline constexpr int kProgressDialog = 102;
inline constexpr int kMemorySettingsDialog = 161;
inline constexpr int kCustomizeDialog = 35001;
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kProgressBar = 1003;
inline constexpr int kProgressPercent = 1004;
inline constexpr int kProgressText = 1005;
inline constexpr int kEditBlockWidth = 1001;
inline constexpr int kEditBlockHeight = 1002;
inline constexpr int kEditSwapWidth = 1005;
inline constexpr int kEditSwapHeight = 1006;
inline constexpr int kEditMemoryBudget = 1007;
inline constexpr int kAboutNotice = 1050;
inline constexpr int kAboutVersion = 1051;

// Strings.
inline constexpr int kStringMakersNotice = 91;
inline constexpr int kStringVersion = 92;
inline constexpr int kStringProgressTitle = 103;

} // namespace velanox::ui::ids

namespace velanox::ui {

/// The objectName of a widget or action: its kind and numeric id ("command_57601",
/// "pane_4000", "toolbar_128", "dialog_161", "control_1001").
inline QString objectNameFor(const char* kind, int id) {
    return QString::fromLatin1(kind) + QLatin1Char('_') + QString::number(id);
}

} // namespace velanox::ui
