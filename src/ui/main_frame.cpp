#include "ui/main_frame.h"

#include "ui/about_dialog.h"
#include "ui/close_deferral.h"
#include "ui/command_catalogue.h"
#include "ui/customize_dialog.h"
#include "ui/help_command.h"
#include "ui/memory_settings_dialog.h"
#include "ui/mode_colors.h"
#include "ui/mode_tab_strip.h"
#include "ui/panes.h"
#include "ui/program_files.h"
#include "ui/qt_settings_store.h"
#include "ui/resource_ids.h"
#include "ui/status_bar.h"
#include "ui/themes.h"
#include "ui/toolbar_icons.h"
#include "ui/ui_strings.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDockWidget>
#include <QMenuBar>
#include <QScreen>
#include <QScrollArea>
#include <QShowEvent>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdint>

namespace velanox::ui {

namespace {

const QString kCommandBarsKey = QStringLiteral("CommandBars");
const QString kNormalLayoutKey = QStringLiteral("NormalLayout");
constexpr int kLayoutVersion = 1;
// How long after the window's last change of size while it opens the pane layout is still laid
// out again: a window manager maximises a window some time after it is mapped.
constexpr int kLayoutSettleMs = 700;

// Commands that replace or resize the pictures, disabled while a run is on.
constexpr int kPictureCommands[] = {ids::kFileNew,   ids::kFileOpen,   ids::kReloadFile,
                                    ids::kFileSave,  ids::kFileSaveAs, ids::kEditPaste,
                                    ids::kPrevImage, ids::kNextImage,  ids::kRotateCcw,
                                    ids::kRotateCw,  ids::kApplyCrop,  ids::kMemorySettings};

// Commands the frame handles itself; every other command goes to the document.
bool isModeCommand(int id) {
    return id == ids::kDetailMode || id == ids::kFullCropMode || id == ids::kCurves ||
           id == ids::kHistogram || id == ids::kNextModeTab || id == ids::kPrevModeTab;
}

const ThemeEntry* themeOfCommand(std::span<const ThemeEntry> themes, int id) {
    for (const ThemeEntry& entry : themes)
        if (entry.commandId == id) return &entry;
    return nullptr;
}

class GreyView : public QWidget {
public:
    explicit GreyView(QWidget* parent) : QWidget(parent) {
        setObjectName(QStringLiteral("view"));
        setAutoFillBackground(true);
        QPalette p = palette();
        p.setColor(QPalette::Window, colorFromBgr(0x808080));
        setPalette(p);
        setFocusPolicy(Qt::StrongFocus);
    }
};

// Holds a pane's content. The pane may be narrower than the content, which then scrolls sideways,
// so that a narrow window still leaves the view most of its width; its height follows the
// content as before.
class PaneHolder : public QScrollArea {
public:
    static constexpr int kNarrowestPane = 150;
    PaneHolder(QWidget* content, QWidget* parent) : QScrollArea(parent) {
        setObjectName(QStringLiteral("paneHolder"));
        setFrameShape(QFrame::NoFrame);
        setFocusPolicy(Qt::NoFocus);
        setWidgetResizable(true);
        setWidget(content);
    }
    QSize minimumSizeHint() const override {
        const QSize inner = widget() ? widget()->minimumSizeHint() : QSize(0, 0);
        return {std::min(inner.width(), kNarrowestPane), inner.height()};
    }
    QSize sizeHint() const override {
        return widget() ? widget()->sizeHint() : QScrollArea::sizeHint();
    }
};

// The content inside a pane's holder.
QWidget* contentOf(const QDockWidget* dock) {
    auto* holder = dynamic_cast<PaneHolder*>(dock->widget());
    return holder ? holder->widget() : dock->widget();
}

} // namespace

CMainFrame::CMainFrame(QtSettingsStore& settings, QWidget* parent)
    : QMainWindow(parent), m_settings(settings), m_paneFactory(makePlaceholderPane),
      m_standaloneMode([this](int index) { setModeTab(index); }),
      m_modeCommands([this](int index) { setModeTab(index); },
                     [this] { return m_tabs ? m_tabs->current() : 0; }) {
    setObjectName(QStringLiteral("frame"));
    setWindowTitle(QString::fromLatin1(text::kUntitled) + QStringLiteral(" - ") +
                   QString::fromLatin1(text::kApplicationName));
    setDockOptions(QMainWindow::AnimatedDocks | QMainWindow::AllowTabbedDocks);
    m_modeCommands.setTarget(&m_standaloneMode);
    m_closeDeferral = std::make_unique<CloseDeferral>(
        [this] { QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection); });
    m_programFolder = programFolder();
    m_memory = velanox::document::readMemorySettings(m_settings);
    m_recentFiles.load(m_settings);

    m_settleTimer = new QTimer(this);
    m_settleTimer->setSingleShot(true);
    m_settleTimer->setInterval(kLayoutSettleMs);
    connect(m_settleTimer, &QTimer::timeout, this, &CMainFrame::settleLayout);

    createStatusBar();
    createCommandBars();
    setInterfaceTheme(m_settings.readInt(velanox::document::SettingId::IntfTheme), false);
    loadCommandBarState();
    setPaneTheme(m_settings.readInt(velanox::document::SettingId::PaneTheme), false);
    createPanes();
    loadPaneLayout();
    showStartPanes();
    m_cropToolbar->hide();
    createModeTabs();
    connectCommands();
    updateCommandStates();
}

CMainFrame::~CMainFrame() = default;

// --- creation -----------------------------------------------------------------------------

void CMainFrame::createStatusBar() {
    m_statusBar = new StatusBar(this);
    setStatusBar(m_statusBar);
}

void CMainFrame::createCommandBars() {
    m_catalogue = new CommandCatalogue(this);
    createMenus();
    createToolbars();
}

void CMainFrame::createMenus() {
    menuBar()->setObjectName(objectNameFor("menu", ids::kMainMenu));
    menuBar()->setAccessibleName(QStringLiteral("Menu Bar"));
    for (const MenuDefinition& decl : mainMenu()) {
        QMenu* menu = menuBar()->addMenu(QString::fromLatin1(decl.title));
        menu->setObjectName(QStringLiteral("menu_") +
                            QString::fromLatin1(decl.title).remove(QLatin1Char('&')));
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::updateCommandStates);
        for (const MenuItem& item : decl.items) {
            if (item.submenu) {
                QMenu* sub = menu->addMenu(QString::fromLatin1(item.submenu));
                sub->setObjectName(QStringLiteral("menu_") +
                                   QString::fromLatin1(item.submenu).remove(QLatin1Char('&')));
                connect(sub, &QMenu::aboutToShow, this, &CMainFrame::updateCommandStates);
                for (int id : item.submenuCommands) {
                    if (id == 0)
                        sub->addSeparator();
                    else
                        sub->addAction(command(id));
                }
            } else if (item.commandId == 0) {
                menu->addSeparator();
            } else {
                menu->addAction(command(item.commandId));
            }
        }
        if (decl.items.front().commandId == ids::kFileOpen) m_fileMenu = menu;
    }
    // Theme items are radio items.
    for (auto themes : {interfaceThemes(), paneThemes()}) {
        auto* group = new QActionGroup(this);
        for (const ThemeEntry& entry : themes)
            group->addAction(command(entry.commandId));
    }
    // The recent files follow the first entry, which the catalogue holds.
    m_recentActions.push_back(command(ids::kFileMru1));
    for (int i = 1; i < velanox::document::kRecentFileCount; ++i) {
        auto* action = new QAction(this);
        action->setObjectName(objectNameFor("command", ids::kFileMru1 + i));
        action->setStatusTip(commandStatusTip(ids::kFileMru1));
        m_fileMenu->insertAction(command(ids::kFileMru1), action);
        m_recentActions.push_back(action);
    }
    // Keep the order 1..4 below "Save As...".
    for (QAction* action : m_recentActions)
        m_fileMenu->removeAction(action);
    QAction* before = command(ids::kAppExit);
    const QList<QAction*> all = m_fileMenu->actions();
    const int exitIndex = int(all.indexOf(before));
    QAction* separatorBeforeExit = exitIndex > 0 ? all[exitIndex - 1] : before;
    for (QAction* action : m_recentActions)
        m_fileMenu->insertAction(separatorBeforeExit, action);
    for (int i = 0; i < velanox::document::kRecentFileCount; ++i) {
        connect(m_recentActions[std::size_t(i)], &QAction::triggered, this, [this, i] {
            if (std::size_t(i) < m_recentFiles.entries().size())
                emit recentFileRequested(
                    QString::fromStdString(m_recentFiles.entries()[std::size_t(i)]));
        });
    }
    updateRecentFileMenu();
}

void CMainFrame::createToolbars() {
    m_standardToolbar = new QToolBar(QStringLiteral("Standard"), this);
    m_standardToolbar->setObjectName(objectNameFor("toolbar", ids::kStandardToolbar));
    m_cropToolbar = new QToolBar(QStringLiteral("Crop"), this);
    m_cropToolbar->setObjectName(objectNameFor("toolbar", ids::kCropToolbar));
    for (QToolBar* bar : {m_standardToolbar, m_cropToolbar}) {
        bar->setIconSize(QSize(kToolbarImageWidth, kToolbarImageHeight));
        // "Crop" sits to the right of "Standard" in the same row.
        addToolBar(Qt::TopToolBarArea, bar);
    }
    for (int id : {ids::kStandardToolbar, ids::kCropToolbar}) {
        const std::span<const int> defaults = defaultToolbarCommands(id);
        m_toolbarCommands[id].assign(defaults.begin(), defaults.end());
        rebuildToolbar(id);
    }
}

void CMainFrame::rebuildToolbar(int toolbarId) {
    QToolBar* bar = toolbar(toolbarId);
    bar->clear();
    for (int id : m_toolbarCommands[toolbarId]) {
        if (id == 0)
            bar->addSeparator();
        else if (QAction* action = command(id))
            bar->addAction(action);
    }
}

std::vector<int> CMainFrame::toolbarCommands(int toolbarId) const {
    auto it = m_toolbarCommands.find(toolbarId);
    return it == m_toolbarCommands.end() ? std::vector<int>{} : it->second;
}

void CMainFrame::setToolbarCommands(int toolbarId, const std::vector<int>& commands) {
    if (!toolbar(toolbarId)) return;
    m_toolbarCommands[toolbarId] = commands;
    rebuildToolbar(toolbarId);
}

// "CommandBars" keeps each toolbar's buttons: "128:57601,57603,0,...;141:...".
void CMainFrame::loadCommandBarState() {
    const QString state = QString::fromLatin1(m_settings.layoutState(kCommandBarsKey));
    for (const QString& bar : state.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QStringList parts = bar.split(QLatin1Char(':'));
        if (parts.size() != 2) continue;
        bool ok = false;
        const int toolbarId = parts[0].toInt(&ok);
        if (!ok || !toolbar(toolbarId)) continue;
        std::vector<int> commands;
        for (const QString& item : parts[1].split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            const int id = item.toInt(&ok);
            if (ok && (id == 0 || commandIcon(id).isNull() == false)) commands.push_back(id);
        }
        setToolbarCommands(toolbarId, commands);
    }
}

void CMainFrame::saveCommandBarState() {
    QStringList bars;
    for (const auto& [toolbarId, commands] : m_toolbarCommands) {
        QStringList items;
        for (int id : commands)
            items << QString::number(id);
        bars << QString::number(toolbarId) + QLatin1Char(':') + items.join(QLatin1Char(','));
    }
    m_settings.storeLayoutState(kCommandBarsKey, bars.join(QLatin1Char(';')).toLatin1());
}

QDockWidget* CMainFrame::createPane(int paneId, const char* caption, int toggleCommand) {
    auto* dock = new QDockWidget(QString::fromLatin1(caption), this);
    dock->setObjectName(objectNameFor("pane", paneId));
    dock->setWindowIcon(paneIcon(paneId));
    dock->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable |
                      QDockWidget::DockWidgetFloatable);
    m_panes[paneId] = dock;
    m_paneOfToggle[toggleCommand] = paneId;
    // The content is made the first time the pane shows.
    connect(dock, &QDockWidget::visibilityChanged, this, [this, paneId](bool visible) {
        if (visible) ensurePaneContent(paneId);
    });
    QAction* toggle = command(toggleCommand);
    connect(dock->toggleViewAction(), &QAction::toggled, toggle, &QAction::setChecked);
    return dock;
}

void CMainFrame::createPanes() {
    QDockWidget* nr = createPane(ids::kPaneIdNrOptions, "NR Options", ids::kPaneNrOptions);
    addDockWidget(Qt::RightDockWidgetArea, nr);
    QDockWidget* cc =
        createPane(ids::kPaneIdColorCorrection, "Color Correction", ids::kPaneColorCorrection);
    splitDockWidget(nr, cc, Qt::Vertical);
    QDockWidget* cm = createPane(ids::kPaneIdColorMatch, "Color Match", ids::kPaneColorMatch);
    splitDockWidget(cc, cm, Qt::Vertical);
    tabifyDockWidget(cc, cm);
    QDockWidget* fp =
        createPane(ids::kPaneIdFileProperties, "File Properties", ids::kPaneFileProperties);
    addDockWidget(Qt::LeftDockWidgetArea, fp);
    resizeDocks({nr, cc, fp}, {130, 200, 200}, Qt::Vertical);
    // Wide enough for the panes' content with this program's fonts; a narrow window trims them.
    resizeDocks({nr, fp}, {kStartWidthRight, kStartWidthLeft}, Qt::Horizontal);
}

void CMainFrame::loadPaneLayout() {
    m_paneLayout = m_settings.layoutState(kNormalLayoutKey);
    applyPaneLayout();
}

// The layout keeps every pane's size in pixels. Laid out in a window of another size, the panes
// are squeezed or stretched to fit; so it is laid out again whenever the opening window changes
// size, and the last time at the size the window keeps.
void CMainFrame::applyPaneLayout() {
    if (!m_paneLayout.isEmpty() && !restoreState(m_paneLayout, kLayoutVersion))
        m_paneLayout.clear(); // not a layout of this program: the panes keep their start places
}

void CMainFrame::settleLayout() {
    m_layoutSettling = false;
    keepViewWide();
    raiseFloatingPanes();
}

void CMainFrame::keepViewWide() {
    m_viewWidthPending = false;
    // A docking side is one column of panes: its width, the narrowest it can be, and one pane
    // standing for it.
    struct Column {
        QDockWidget* dock = nullptr;
        int width = 0;
        int narrowest = 0;
    };
    std::map<Qt::DockWidgetArea, Column> columns;
    for (const auto& [paneId, dock] : m_panes) {
        const Qt::DockWidgetArea area = dockWidgetArea(dock);
        if (dock->isFloating() || dock->isHidden() ||
            (area != Qt::LeftDockWidgetArea && area != Qt::RightDockWidgetArea))
            continue;
        Column& column = columns[area];
        if (!column.dock) column.dock = dock;
        column.width = std::max(column.width, dock->width());
        column.narrowest =
            std::max({column.narrowest, dock->minimumSizeHint().width(), dock->minimumWidth()});
    }
    int total = 0, spare = 0;
    for (const auto& [area, column] : columns) {
        total += column.width;
        spare += std::max(0, column.width - column.narrowest);
    }
    const int excess = total - int(width() * kMaxPaneShare);
    if (excess <= 0 || spare <= 0) return;
    // Each column gives up its share of the excess, never below its narrowest; the columns then
    // fit exactly, so the next start finds nothing to change.
    const int taken = std::min(excess, spare);
    QList<QDockWidget*> docks;
    QList<int> sizes;
    int given = 0, left = spare;
    for (const auto& [area, column] : columns) {
        const int share = std::max(0, column.width - column.narrowest);
        const int give =
            left == share ? taken - given : int(std::int64_t(taken) * share / std::max(1, spare));
        given += give;
        left -= share;
        docks << column.dock;
        sizes << column.width - give;
    }
    resizeDocks(docks, sizes, Qt::Horizontal);
}

// A floating pane is a window of its own; laid out before the main window was mapped it can end
// up beneath it.
void CMainFrame::raiseFloatingPanes() {
    for (const auto& [paneId, dock] : m_panes)
        if (dock->isFloating() && dock->isVisible()) dock->raise();
}

bool CMainFrame::layoutSettled() const {
    return !m_layoutSettling && !m_settleTimer->isActive();
}

void CMainFrame::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (m_shown || event->spontaneous()) return;
    m_shown = true;
    m_layoutSettling = true;
    applyPaneLayout();
    showStartPanes();
    m_settleTimer->start();
}

void CMainFrame::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (!isVisible()) return;
    if (m_layoutSettling) {
        applyPaneLayout();
        showStartPanes();
        m_settleTimer->start();
        return;
    }
    if (!m_viewWidthPending) {
        m_viewWidthPending = true;
        QTimer::singleShot(0, this, &CMainFrame::keepViewWide);
    }
}

void CMainFrame::showStartPanes() {
    for (int paneId : {ids::kPaneIdNrOptions, ids::kPaneIdColorCorrection}) {
        QDockWidget* dock = pane(paneId);
        dock->show();
        dock->raise();
        ensurePaneContent(paneId);
    }
    for (const auto& [toggleCommand, paneId] : m_paneOfToggle)
        command(toggleCommand)->setChecked(!pane(paneId)->isHidden());
}

void CMainFrame::createModeTabs() {
    m_tabs = new ModeTabStrip(this);
    m_tabs->addTab(QStringLiteral("Details"), ids::kDetailMode);
    m_tabs->addTab(QStringLiteral("Full/Crop"), ids::kFullCropMode);
    m_tabs->addTab(QStringLiteral("Curves"), ids::kCurves);
    m_tabs->addTab(QStringLiteral("Histogram"), ids::kHistogram);
    // The strip posts its command, as a click on a menu item would.
    connect(m_tabs, &ModeTabStrip::commandRequested, this, &CMainFrame::runCommand,
            Qt::QueuedConnection);

    m_central = new QWidget(this);
    m_central->setObjectName(QStringLiteral("central"));
    auto* layout = new QVBoxLayout(m_central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_tabs);
    m_view = new GreyView(m_central);
    layout->addWidget(m_view, 1);
    setCentralWidget(m_central);
}

void CMainFrame::connectCommands() {
    connect(m_catalogue, &CommandCatalogue::triggered, this, &CMainFrame::runCommand);
    connect(m_standardToolbar->toggleViewAction(), &QAction::toggled, command(ids::kViewToolbar),
            &QAction::setChecked);
}

// --- operations ---------------------------------------------------------------------------

void CMainFrame::showAtSavedPlacement() {
    using velanox::document::SettingId;
    const SavedPlacement saved{m_settings.readInt(document::SettingId::FrameStatus),
                               m_settings.readInt(document::SettingId::FrameLeft),
                               m_settings.readInt(document::SettingId::FrameTop),
                               m_settings.readInt(document::SettingId::FrameRight),
                               m_settings.readInt(document::SettingId::FrameBottom)};
    QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const QRect workArea = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    const QSize screenSize = screen ? screen->geometry().size() : QSize(1024, 768);
    const FramePlacement placement = framePlacement(saved, workArea, screenSize);
    if (placement.useDefault) {
        // The size it returns to when un-maximised.
        resize(workArea.size() * 3 / 4);
        setGeometry(workArea); // for window systems that do not maximise (a bare X server)
        showMaximized();
        return;
    }
    setGeometry(placement.normalRect);
    if (placement.maximised)
        showMaximized();
    else
        showNormal();
}

void CMainFrame::savePlacement() {
    QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const QRect workArea = screen ? screen->availableGeometry() : QRect();
    const bool maximised = isMaximized();
    const QRect normal =
        (maximised || isMinimized()) && normalGeometry().isValid() ? normalGeometry() : geometry();
    const SavedPlacement saved = placementToSave(normal, maximised, isMinimized(), workArea);
    using velanox::document::SettingId;
    m_settings.writeInt(document::SettingId::FrameStatus, saved.status);
    m_settings.writeInt(document::SettingId::FrameTop, saved.top);
    m_settings.writeInt(document::SettingId::FrameLeft, saved.left);
    m_settings.writeInt(document::SettingId::FrameBottom, saved.bottom);
    m_settings.writeInt(document::SettingId::FrameRight, saved.right);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (m_closeDeferral->deferIfPumping()) {
        event->ignore();
        return;
    }
    saveCommandBarState();
    m_paneLayout = saveState(kLayoutVersion);
    m_settings.storeLayoutState(kNormalLayoutKey, m_paneLayout);
    savePlacement();
    m_settings.flush();
    event->accept();
}

void CMainFrame::setModeTab(int index) {
    if (!m_tabs || index < 0 || index >= m_tabs->count()) return;
    m_tabs->setCurrent(index);
    attachDocument(m_document);
    m_cropToolbar->setVisible(index == kFullCropTab);
    updateCommandStates();
}

void CMainFrame::attachDocument(velanox::document::CSotavoDoc* document) {
    m_document = document;
    for (const auto& [paneId, dock] : m_panes)
        if (auto* content = paneContent(paneId)) content->attachDocument(document);
}

void CMainFrame::refreshCropInfo() {
    if (auto* content = paneContent(ids::kPaneIdFileProperties)) content->refreshCropInfo();
    // The mouse wheel and the Enlarge slider change the zoom too: its two commands follow.
    if (m_commandUpdater)
        for (int id : {ids::kZoomIn, ids::kZoomOut})
            m_commandUpdater(id, command(id));
}

void CMainFrame::setModeTarget(ModeTarget* target) {
    m_modeCommands.setTarget(target ? target : &m_standaloneMode);
    updateCommandStates();
}

ModeTarget* CMainFrame::modeTarget() const {
    return m_modeCommands.target();
}

void CMainFrame::setView(QWidget* view) {
    if (!view) return;
    m_central->layout()->replaceWidget(m_view, view);
    delete m_view;
    m_view = view;
}

void CMainFrame::setPaneFactory(std::function<PaneContent*(int, QWidget*)> factory) {
    m_paneFactory = std::move(factory);
    // Contents made already (the panes open at start) are made again by the new factory.
    for (const auto& [paneId, dock] : m_panes) {
        QWidget* old = dock->widget();
        if (!old) continue;
        dock->setWidget(nullptr);
        old->hide();
        old->deleteLater();
        ensurePaneContent(paneId);
    }
}

void CMainFrame::setRunActive(bool active) {
    m_runActive = active;
    updateCommandStates();
}

void CMainFrame::setCommandUpdater(std::function<void(int, QAction*)> updater) {
    m_commandUpdater = std::move(updater);
    updateCommandStates();
}

void CMainFrame::updateCommandStates() {
    // Picture commands come back when a run ends; the document's updater then narrows those it
    // knows (Memory Settings... depends on nothing else).
    if (!m_runActive)
        for (int id : kPictureCommands)
            command(id)->setEnabled(true);
    for (const CommandEntry& decl : commandEntries()) {
        QAction* action = command(decl.id);
        if (isModeCommand(decl.id) && decl.checkable)
            action->setChecked(m_modeCommands.isChecked(decl.id));
        if (m_commandUpdater) m_commandUpdater(decl.id, action);
    }
    for (const ThemeEntry& entry : interfaceThemes())
        command(entry.commandId)->setChecked(entry.value == m_interfaceTheme);
    for (const ThemeEntry& entry : paneThemes())
        command(entry.commandId)->setChecked(entry.value == m_paneTheme);
    command(ids::kViewStatusBar)->setChecked(!m_statusBar->isHidden());
    command(ids::kViewToolbar)->setChecked(!m_standardToolbar->isHidden());
    if (m_runActive)
        for (int id : kPictureCommands)
            command(id)->setEnabled(false);
    for (QAction* action : m_recentActions)
        action->setEnabled(!m_runActive && !m_recentFiles.entries().empty());
}

void CMainFrame::runCommand(int id) {
    if (isModeCommand(id)) {
        m_modeCommands.run(id);
        updateCommandStates();
        return;
    }
    if (auto it = m_paneOfToggle.find(id); it != m_paneOfToggle.end()) {
        togglePane(it->second);
        return;
    }
    if (const ThemeEntry* entry = themeOfCommand(interfaceThemes(), id)) {
        setInterfaceTheme(entry->value, true);
        return;
    }
    if (const ThemeEntry* entry = themeOfCommand(paneThemes(), id)) {
        setPaneTheme(entry->value, true);
        return;
    }
    switch (id) {
    case ids::kViewStatusBar:
        m_statusBar->setVisible(m_statusBar->isHidden());
        break;
    case ids::kViewToolbar:
        m_standardToolbar->setVisible(m_standardToolbar->isHidden());
        break;
    case ids::kCustomize:
        showCustomize();
        break;
    case ids::kMemorySettings:
        showMemorySettings();
        break;
    case ids::kAppAbout:
        AboutDialog(this).exec();
        break;
    case ids::kHelp:
        showHelp(this, m_programFolder);
        break;
    case ids::kAppExit:
        close();
        break;
    case ids::kNextPane:
        focusNextPane(true);
        break;
    case ids::kPrevPane:
        focusNextPane(false);
        break;
    case ids::kEditCut:
    case ids::kEditUndo:
        break; // nothing to cut or undo in this program
    case ids::kFileMru1:
        break; // handled by the recent-file entries
    default:
        emit commandRequested(id);
        break;
    }
    updateCommandStates();
}

void CMainFrame::togglePane(int paneId) {
    QDockWidget* dock = pane(paneId);
    if (dock->isHidden()) {
        dock->show();
        dock->raise();
    } else {
        dock->close();
    }
}

void CMainFrame::ensurePaneContent(int paneId) {
    QDockWidget* dock = pane(paneId);
    if (!dock || dock->widget()) return;
    PaneContent* content = m_paneFactory(paneId, dock);
    if (!content) return;
    content->attachDocument(m_document);
    dock->setWidget(new PaneHolder(content, dock));
}

void CMainFrame::focusNextPane(bool forward) {
    // The view and the panes that are open, in a ring.
    std::vector<QWidget*> ring{m_view};
    for (int paneId : {ids::kPaneIdNrOptions, ids::kPaneIdColorCorrection, ids::kPaneIdColorMatch,
                       ids::kPaneIdFileProperties}) {
        QDockWidget* dock = pane(paneId);
        if (!dock->isHidden() && dock->widget()) ring.push_back(dock);
    }
    QWidget* focus = QApplication::focusWidget();
    int at = 0;
    for (int i = 0; i < int(ring.size()); ++i)
        if (focus && (focus == ring[std::size_t(i)] || ring[std::size_t(i)]->isAncestorOf(focus)))
            at = i;
    const int n = int(ring.size());
    const int next = forward ? (at + 1) % n : (at + n - 1) % n;
    QWidget* target = ring[std::size_t(next)];
    if (auto* dock = qobject_cast<QDockWidget*>(target)) {
        dock->raise();
        QWidget* content = contentOf(dock);
        content->setFocus(Qt::OtherFocusReason);
        if (QWidget* inner = content->nextInFocusChain(); inner && content->isAncestorOf(inner))
            inner->setFocus(Qt::OtherFocusReason);
    } else {
        target->setFocus(Qt::OtherFocusReason);
    }
}

void CMainFrame::setInterfaceTheme(int theme, bool save) {
    m_interfaceTheme = validInterfaceTheme(theme);
    if (save) {
        m_settings.writeInt(velanox::document::SettingId::IntfTheme, m_interfaceTheme);
        m_settings.flush();
    }
    applyThemes();
}

void CMainFrame::setPaneTheme(int theme, bool save) {
    m_paneTheme = validPaneTheme(theme);
    if (save) {
        m_settings.writeInt(velanox::document::SettingId::PaneTheme, m_paneTheme);
        m_settings.flush();
    }
    applyThemes();
}

void CMainFrame::applyThemes() {
    setStyleSheet(interfaceStyleSheet(m_interfaceTheme) + paneStyleSheet(m_paneTheme));
    if (m_catalogue) updateCommandStates();
}

void CMainFrame::addRecentFile(const QString& path) {
    m_recentFiles.add(path.toStdString());
    updateRecentFileMenu();
}

void CMainFrame::removeRecentFile(const QString& path) {
    m_recentFiles.remove(path.toStdString());
    updateRecentFileMenu();
}

void CMainFrame::updateRecentFileMenu() {
    const auto& entries = m_recentFiles.entries();
    for (int i = 0; i < int(m_recentActions.size()); ++i) {
        QAction* action = m_recentActions[std::size_t(i)];
        if (std::size_t(i) < entries.size()) {
            QString shown =
                QDir::toNativeSeparators(QString::fromStdString(entries[std::size_t(i)]));
            if (shown.size() > 48) shown = shown.left(3) + QStringLiteral("...") + shown.right(42);
            action->setText(QStringLiteral("&%1 %2").arg(i + 1).arg(shown));
            action->setVisible(true);
            action->setEnabled(!m_runActive);
        } else {
            // With no recent files, the first entry stays as the greyed "Recent File".
            action->setText(QString::fromLatin1(commandEntry(ids::kFileMru1)->text));
            action->setVisible(i == 0);
            action->setEnabled(false);
        }
    }
}

void CMainFrame::showMemorySettings() {
    MemorySettingsDialog dialog(m_memory, this);
    if (dialog.exec() != QDialog::Accepted) return;
    m_memory = dialog.values();
    velanox::document::writeMemorySettings(m_settings, m_memory);
    m_settings.flush();
    emit memorySettingsAccepted(m_memory);
}

void CMainFrame::showCustomize() {
    CustomizeDialog dialog(
        *m_catalogue, [this](int toolbarId) { return toolbarCommands(toolbarId); },
        [this](int toolbarId, const std::vector<int>& commands) {
            setToolbarCommands(toolbarId, commands);
        },
        this);
    dialog.exec();
}

// --- parts --------------------------------------------------------------------------------

QAction* CMainFrame::command(int id) const {
    return m_catalogue->action(id);
}

QDockWidget* CMainFrame::pane(int paneId) const {
    auto it = m_panes.find(paneId);
    return it == m_panes.end() ? nullptr : it->second;
}

PaneContent* CMainFrame::paneContent(int paneId) const {
    QDockWidget* dock = pane(paneId);
    return dock ? qobject_cast<PaneContent*>(contentOf(dock)) : nullptr;
}

QToolBar* CMainFrame::toolbar(int toolbarId) const {
    if (toolbarId == ids::kStandardToolbar) return m_standardToolbar;
    if (toolbarId == ids::kCropToolbar) return m_cropToolbar;
    return nullptr;
}

} // namespace velanox::ui
