#include "ui/command_catalogue.h"

#include "ui/resource_ids.h"
#include "ui/toolbar_icons.h"

#include <QAction>
#include <QWidget>

#include <array>

namespace velanox::ui {

namespace {

using namespace ids;

const std::array kCommands{
    CommandEntry{kFileNew, "&New", "Start an empty document\nNew"},
    CommandEntry{kFileOpen, "&Open...", "Open an existing image\nOpen"},
    CommandEntry{kReloadFile, "&Reload Current File",
                 "Load the current file again, dropping the changes\nReload Current File"},
    CommandEntry{kFileSave, "&Save", "Save the processed image\nSave"},
    CommandEntry{kFileSaveAs, "Save &As...", "Save the processed image under a new name\nSave As"},
    CommandEntry{kFileMru1, "Recent File", "Open this image\nRecent File"},
    CommandEntry{kAppExit, "E&xit", "Quit the application\nExit"},
    CommandEntry{kEditPaste, "&Paste", "Open the picture on the Clipboard\nPaste"},
    CommandEntry{kEditCopy, "&Copy", "Copy the result picture to the Clipboard\nCopy"},
    CommandEntry{kEditCut, "Cu&t", "Cut the selection\nCut"},
    CommandEntry{kEditUndo, "&Undo", "Undo the last action\nUndo"},
    CommandEntry{kViewStatusBar, "&Status Bar", "Show or hide the status bar\nToggle Status Bar",
                 true},
    CommandEntry{kViewToolbar, "Toolbar", "Show or hide the toolbar\nToggle Toolbar", true},
    CommandEntry{kCustomize, "&Customize...", "Customize the toolbars\nCustomize"},
    CommandEntry{kPaneFileProperties, "&File Properties",
                 "Show or hide the File Properties pane\nFile Properties", true},
    CommandEntry{kPaneNrOptions, "&NR Options", "Show or hide the NR Options pane\nNR Options",
                 true},
    CommandEntry{kPaneColorCorrection, "&Color Correction",
                 "Show or hide the Color Correction pane\nColor Correction", true},
    CommandEntry{kPaneColorMatch, "Color &Match", "Show or hide the Color Match pane\nColor Match",
                 true},
    CommandEntry{kThemeNativeXp, "&Native WinXP",
                 "Draw menus and toolbars in the system's look\nNative WinXP", true},
    CommandEntry{kThemeOfficeXp, "&Office XP",
                 "Draw menus and toolbars in the Office XP look\nOffice XP", true},
    CommandEntry{kThemeOffice2003, "Office 200&3",
                 "Draw menus and toolbars in the Office 2003 look\nOffice 2003", true},
    CommandEntry{kThemeOffice2000, "Office 200&0",
                 "Draw menus and toolbars in the Office 2000 look\nOffice 2000", true},
    CommandEntry{kPaneThemeNativeXp, "&Native WinXP",
                 "Draw the panes in the system's look\nNative WinXP", true},
    CommandEntry{kPaneThemeOffice2003, "&Office 2003",
                 "Draw the panes in the Office 2003 look\nOffice 2003", true},
    CommandEntry{kPaneThemeVisio, "&Visio", "Draw the panes in the Visio look\nVisio", true},
    CommandEntry{kPaneThemeVisualStudioNet, "Visual &Studio .NET",
                 "Draw the panes in the Visual Studio .NET look\nVisual Studio .NET", true},
    CommandEntry{kPaneThemeVisualStudio6, "Visual Studio &6",
                 "Draw the panes in the Visual Studio 6 look\nVisual Studio 6", true},
    CommandEntry{kPaneThemeDefault, "&Default", "Draw the panes in the plain look\nDefault", true},
    CommandEntry{kDetailMode, "&Detail Mode", "Pop up the Detail Mode tab\nDetail Mode", true},
    CommandEntry{kFullCropMode, "&Full/Crop Mode", "Pop up the Full/Crop Mode tab\nFull/Crop Mode",
                 true},
    CommandEntry{kCurves, "&Curves", "Pop up the Curves tab\nCurves", true},
    CommandEntry{kHistogram, "&Histogram", "Pop up the Histogram tab\nHistogram", true},
    CommandEntry{kMemorySettings, "&Memory Settings...",
                 "Set how much of an image is processed at once\nMemory Settings"},
    CommandEntry{kAppAbout, "&About Velanox NR...",
                 "Display program information and version number\nAbout"},
    CommandEntry{kHelp, "&Help", "Display the help pages\nHelp"},
    CommandEntry{kNextPane, "Next Pane", "Switch to the next pane\nNext Pane"},
    CommandEntry{kPrevPane, "Previous Pane", "Switch back to the previous pane\nPrevious Pane"},
    CommandEntry{kNextModeTab, "Next Mode Tab", "Show the next mode tab\nNext Mode Tab"},
    CommandEntry{kPrevModeTab, "Previous Mode Tab",
                 "Show the previous mode tab\nPrevious Mode Tab"},
    CommandEntry{kPrevImage, "Load Previous Image in Folder",
                 "Load the previous image of the folder\nLoad previous Image"},
    CommandEntry{kNextImage, "Load Next Image in Folder",
                 "Load the next image of the folder\nLoad next Image"},
    CommandEntry{kRotateCcw, "Rotate CCW", "Rotate CCW\nRotate CCW"},
    CommandEntry{kRotateCw, "Rotate CW", "Rotate CW\nRotate CW"},
    CommandEntry{kApplyCrop, "Apply Crop", "Apply Crop\nApply Crop"},
    CommandEntry{kGrid, "Grid", "Show Grid\nGrid", true},
    CommandEntry{kZoomIn, "Zoom In", "Zoom In\nZoom In"},
    CommandEntry{kZoomOut, "Zoom Out", "Zoom Out\nZoom out"},
    CommandEntry{kDetailZoom100, "Detail View &100%",
                 "Show the Detail view at one screen pixel per image pixel\nDetail View 100%",
                 true},
    CommandEntry{kDetailZoom200, "Detail View &200%",
                 "Show the Detail view enlarged twice, pixel by pixel\nDetail View 200%", true},
    CommandEntry{kDetailZoom400, "Detail View &400%",
                 "Show the Detail view enlarged four times, pixel by pixel\nDetail View 400%",
                 true},
};

constexpr std::array kStandardButtons{
    kFileOpen,     kFileSave, 0, kPrevImage, kNextImage, 0, kEditPaste,     0,
    kAppAbout,     kHelp,     0, kRotateCcw, kRotateCw,  0, kDetailZoom100, kDetailZoom200,
    kDetailZoom400};
constexpr std::array kCropButtons{kApplyCrop, 0, kGrid, 0, kZoomIn, kZoomOut};

const std::vector<MenuDefinition> kMenuBar{
    {"&File",
     {{kFileOpen}, {kReloadFile}, {kFileSave}, {kFileSaveAs}, {}, {kFileMru1}, {}, {kAppExit}}},
    {"&Edit", {{kEditPaste}}},
    {"&View",
     {{kViewStatusBar},
      {0, "&Detail Zoom", {kDetailZoom100, kDetailZoom200, kDetailZoom400}},
      {0, "&Toolbars", {kViewToolbar, 0, kCustomize}},
      {0, "&Panes", {kPaneFileProperties, kPaneNrOptions, kPaneColorCorrection, kPaneColorMatch}},
      {0,
       "&Interface Themes",
       {kThemeNativeXp, kThemeOfficeXp, kThemeOffice2003, kThemeOffice2000}},
      {0,
       "P&ane Themes",
       {kPaneThemeNativeXp, kPaneThemeOffice2003, kPaneThemeVisio, kPaneThemeVisualStudioNet,
        kPaneThemeVisualStudio6, kPaneThemeDefault}}}},
    {"&Mode", {{kDetailMode}, {kFullCropMode}, {kCurves}, {kHistogram}}},
    {"&Settings", {{kMemorySettings}}},
    {"&Help", {{kAppAbout}, {kHelp}}},
};

QString promptHalf(int id, int half) {
    const CommandEntry* decl = commandEntry(id);
    if (!decl) return {};
    const QStringList halves = QString::fromLatin1(decl->prompt).split(QLatin1Char('\n'));
    return half < halves.size() ? halves[half] : QString();
}

} // namespace

std::span<const CommandEntry> commandEntries() {
    return kCommands;
}

const std::vector<MenuDefinition>& mainMenu() {
    return kMenuBar;
}

std::vector<int> menuCommands(const MenuDefinition& menu) {
    std::vector<int> commands;
    for (const MenuItem& item : menu.items) {
        if (item.commandId) commands.push_back(item.commandId);
        for (int id : item.submenuCommands)
            if (id) commands.push_back(id);
    }
    return commands;
}

const CommandEntry* commandEntry(int id) {
    for (const CommandEntry& decl : kCommands)
        if (decl.id == id) return &decl;
    return nullptr;
}

QList<QKeySequence> commandShortcuts(int id) {
    switch (id) {
    case kFileOpen:
        return {QKeySequence(Qt::CTRL | Qt::Key_O)};
    case kFileSave:
        return {QKeySequence(Qt::CTRL | Qt::Key_S)};
    case kFileNew:
        return {QKeySequence(Qt::CTRL | Qt::Key_N)};
    case kEditPaste:
        return {QKeySequence(Qt::CTRL | Qt::Key_V), QKeySequence(Qt::SHIFT | Qt::Key_Insert)};
    case kEditCopy:
        return {QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_Insert)};
    case kEditCut:
        return {QKeySequence(Qt::CTRL | Qt::Key_X), QKeySequence(Qt::SHIFT | Qt::Key_Delete)};
    case kEditUndo:
        return {QKeySequence(Qt::CTRL | Qt::Key_Z), QKeySequence(Qt::ALT | Qt::Key_Backspace)};
    case kHelp:
        return {QKeySequence(Qt::Key_F1)};
    case kNextPane:
        return {QKeySequence(Qt::Key_F6)};
    case kPrevPane:
        return {QKeySequence(Qt::SHIFT | Qt::Key_F6)};
    // Only the numeric keypad's keys zoom, so '+' typed in an edit box stays a character.
    // The keypad's keys, and the same keys without the keypad flag: some window systems report
    // the keypad's + and - to the shortcut matching only in the plain form.
    case kZoomIn:
        return {QKeySequence(Qt::KeypadModifier | Qt::Key_Plus), QKeySequence(Qt::Key_Plus)};
    case kZoomOut:
        return {QKeySequence(Qt::KeypadModifier | Qt::Key_Minus), QKeySequence(Qt::Key_Minus)};
    case kNextModeTab:
        return {QKeySequence(Qt::CTRL | Qt::Key_PageDown)};
    case kPrevModeTab:
        return {QKeySequence(Qt::CTRL | Qt::Key_PageUp)};
    default:
        return {};
    }
}

QString commandStatusTip(int id) {
    return promptHalf(id, 0);
}
QString commandToolTip(int id) {
    return promptHalf(id, 1);
}

std::span<const int> defaultToolbarCommands(int toolbarId) {
    if (toolbarId == ids::kCropToolbar) return kCropButtons;
    return kStandardButtons;
}

CommandCatalogue::CommandCatalogue(QWidget* owner) : QObject(owner) {
    for (const CommandEntry& decl : kCommands) {
        auto* action = new QAction(QString::fromLatin1(decl.text), owner);
        action->setObjectName(objectNameFor("command", decl.id));
        action->setData(decl.id);
        action->setStatusTip(commandStatusTip(decl.id));
        action->setToolTip(commandToolTip(decl.id));
        action->setShortcuts(commandShortcuts(decl.id));
        action->setCheckable(decl.checkable);
        const QIcon icon = commandIcon(decl.id);
        if (!icon.isNull()) action->setIcon(icon);
        owner->addAction(action);
        const int id = decl.id;
        connect(action, &QAction::triggered, this, [this, id] { emit triggered(id); });
        m_actions[decl.id] = action;
    }
}

QAction* CommandCatalogue::action(int id) const {
    auto it = m_actions.find(id);
    return it == m_actions.end() ? nullptr : it->second;
}

} // namespace velanox::ui
