// CMainFrame: the single top-level window. Menu bar and the "Standard" and "Crop" toolbars from
// one command catalogue, the mode-tab strip above the view, the status bar, four docking panes,
// interface and pane themes, and its saved placement and layouts.
//
// Seams for the document:
//  - attachDocument(doc) hands the document to every pane (and remembers it);
//  - setModeTarget(target) routes the mode commands to the document's cropMode/displayTab and
//    its enterCropMode/leaveCropMode/computeHistogram; without one the frame keeps the mode;
//  - commandRequested(id) carries every command the document handles (Open, Save, Paste, Copy,
//    New, Reload, next/previous image, rotate, Apply Crop, Grid, Zoom);
//  - recentFileRequested(path) and memorySettingsAccepted(values);
//  - setView(widget) puts the real view under the tab strip.
#pragma once

#include "document/settings.h"
#include "ui/frame_placement.h"
#include "ui/mode_commands.h"
#include "ui/recent_file_list.h"

#include <QMainWindow>

#include <functional>
#include <map>
#include <memory>
#include <vector>

class QAction;
class QDockWidget;
class QMenu;
class QTimer;
class QToolBar;

namespace velanox::document {
class CSotavoDoc;
}

namespace velanox::ui {

class CloseDeferral;
class CommandCatalogue;
class ModeTabStrip;
class PaneContent;
class QtSettingsStore;
class StatusBar;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(QtSettingsStore& settings, QWidget* parent = nullptr);
    ~CMainFrame() override;

    /// Shows the window where it was last closed, or maximised on a first start. The pane layout
    /// is laid out again once the window has the size it opens at, and floating panes come up
    /// above the window.
    void showAtSavedPlacement();
    /// The share of the window's width the docked panes beside the view may take together when
    /// the window is laid out; the view keeps the rest.
    static constexpr double kMaxPaneShare = 0.47;
    /// The widths the two columns of panes open at on a first start.
    static constexpr int kStartWidthLeft = 240;
    static constexpr int kStartWidthRight = 330;
    /// False while the opening window is still taking its size (the pane layout follows it).
    bool layoutSettled() const;

    /// Selects a mode tab (ignored when not below the tab count), hands the document to the
    /// panes again and shows the "Crop" toolbar exactly while the Full/Crop tab is selected.
    void setModeTab(int index);
    void attachDocument(velanox::document::CSotavoDoc* document);
    velanox::document::CSotavoDoc* document() const { return m_document; }
    /// The File Properties pane refreshes its thumbnail frame and crop information.
    void refreshCropInfo();

    /// Routes the mode commands to the document; null returns them to the frame's own state.
    void setModeTarget(ModeTarget* target);
    ModeTarget* modeTarget() const;
    /// Replaces the view under the tab strip (the frame takes ownership).
    void setView(QWidget* view);
    QWidget* view() const { return m_view; }
    /// Replaces how pane contents are made; contents made already are made again.
    void setPaneFactory(std::function<PaneContent*(int paneId, QWidget* parent)> factory);

    /// While a run is on, the commands that replace or resize the pictures are disabled.
    void setRunActive(bool active);
    /// Called for every command before its menu shows, to set enabled and checked states.
    void setCommandUpdater(std::function<void(int id, QAction* action)> updater);
    /// Brings every command's enabled and checked state up to date.
    void updateCommandStates();

    /// Runs a command as if chosen from its menu.
    void runCommand(int id);

    int interfaceTheme() const { return m_interfaceTheme; }
    int paneTheme() const { return m_paneTheme; }
    /// Sets a theme and redraws; save writes the setting at once (the menu commands do).
    void setInterfaceTheme(int theme, bool save);
    void setPaneTheme(int theme, bool save);

    /// The recent-file list shown under File; changed by the document's loads.
    void addRecentFile(const QString& path);
    void removeRecentFile(const QString& path);
    RecentFileList& recentFiles() { return m_recentFiles; }

    /// The Memory Settings values the dialog opens with.
    void setMemorySettings(const velanox::document::MemorySettingsValues& values) {
        m_memory = values;
    }
    velanox::document::MemorySettingsValues memorySettings() const { return m_memory; }

    /// The folder the help file is looked for in (the program's folder).
    void setProgramFolder(const QString& folder) { m_programFolder = folder; }

    // Parts, for the document's host and for tests.
    QAction* command(int id) const;
    QDockWidget* pane(int paneId) const;
    PaneContent* paneContent(int paneId) const;
    QToolBar* toolbar(int toolbarId) const;
    ModeTabStrip* modeTabs() const { return m_tabs; }
    StatusBar* frameStatusBar() const { return m_statusBar; }
    CloseDeferral& closeDeferral() const { return *m_closeDeferral; }
    const ModeCommands& modeCommands() const { return m_modeCommands; }
    std::vector<int> toolbarCommands(int toolbarId) const;
    void setToolbarCommands(int toolbarId, const std::vector<int>& commands);

signals:
    void commandRequested(int id);
    void recentFileRequested(const QString& path);
    void memorySettingsAccepted(const velanox::document::MemorySettingsValues& values);

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void createStatusBar();
    void createCommandBars();
    void createMenus();
    void createToolbars();
    void loadCommandBarState();
    void saveCommandBarState();
    void createPanes();
    QDockWidget* createPane(int paneId, const char* caption, int toggleCommand);
    void loadPaneLayout();
    void applyPaneLayout();
    void settleLayout();
    void keepViewWide();
    void raiseFloatingPanes();
    void showStartPanes();
    void createModeTabs();
    void connectCommands();
    void savePlacement();

    void togglePane(int paneId);
    void ensurePaneContent(int paneId);
    void focusNextPane(bool forward);
    void updateRecentFileMenu();
    void rebuildToolbar(int toolbarId);
    void applyThemes();
    void showMemorySettings();
    void showCustomize();

    QtSettingsStore& m_settings;
    CommandCatalogue* m_catalogue = nullptr;
    StatusBar* m_statusBar = nullptr;
    ModeTabStrip* m_tabs = nullptr;
    QWidget* m_central = nullptr;
    QWidget* m_view = nullptr;
    QToolBar* m_standardToolbar = nullptr;
    QToolBar* m_cropToolbar = nullptr;
    QByteArray m_paneLayout;       ///< the layout read at start, laid out again as the window grows
    bool m_layoutSettling = false; ///< between the first show and the window's settled size
    bool m_viewWidthPending = false;
    bool m_shown = false;
    QTimer* m_settleTimer = nullptr;
    QMenu* m_fileMenu = nullptr;
    std::vector<QAction*> m_recentActions;
    std::map<int, QDockWidget*> m_panes; // by pane id
    std::map<int, int> m_paneOfToggle;   // toggle command -> pane id
    std::map<int, std::vector<int>> m_toolbarCommands;
    std::function<PaneContent*(int, QWidget*)> m_paneFactory;
    std::function<void(int, QAction*)> m_commandUpdater;
    std::unique_ptr<CloseDeferral> m_closeDeferral;
    StandaloneModeTarget m_standaloneMode;
    ModeCommands m_modeCommands;
    RecentFileList m_recentFiles;
    velanox::document::MemorySettingsValues m_memory;
    velanox::document::CSotavoDoc* m_document = nullptr;
    QString m_programFolder;
    int m_interfaceTheme = 2;
    int m_paneTheme = 5;
    bool m_runActive = false;
};

} // namespace velanox::ui
