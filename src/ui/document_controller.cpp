#include "ui/document_controller.h"

#include "codec/contained_reader.h"
#include "color/color_match_state.h"
#include "color/histogram.h"
#include "document/crop_rotate.h"
#include "document/csotavo_doc.h"
#include "document/folder_navigation.h"
#include "document/jpeg_quality.h"
#include "document/load_source.h"
#include "document/save_document.h"
#include "document/save_name.h"
#include "ui/application.h"
#include "ui/close_deferral.h"
#include "ui/file_dialogs.h"
#include "ui/jpeg_options_dialog.h"
#include "ui/load_wait.h"
#include "ui/main_frame.h"
#include "ui/message_box.h"
#include "ui/panes.h"
#include "ui/panes/file_properties_pane.h"
#include "ui/panes/nr_options_pane.h"
#include "ui/panes/secondary_panes.h"
#include "ui/qt_host.h"
#include "ui/qt_settings_store.h"
#include "ui/resource_ids.h"
#include "ui/sotavo_view.h"
#include "ui/status_bar.h"
#include "ui/ui_strings.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace velanox::ui {

namespace {

/// A budget in MB as the settings hold it; 0 (and anything below) is half the machine's memory.
uint64_t budgetBytesOf(int32_t megabytes) {
    return megabytes > 0 ? uint64_t(megabytes) << 20 : 0;
}

/// The contained reader may use as much memory as the budget (0: half the machine's memory),
/// for every read from now on: documents, references and previews alike.
void limitReaderTo(uint64_t budgetBytes) {
    velanox::codec::ContainedReading reading = velanox::codec::containedReading();
    reading.memoryBytes = budgetBytes;
    velanox::codec::setContainedReading(std::move(reading));
}

velanox::document::DocumentSettings storedDocumentSettings(velanox::document::Settings& store) {
    velanox::document::DocumentSettings settings;
    settings.JPGq = store.readInt(document::SettingId::JPGq);
    settings.JPGES = store.readInt(document::SettingId::JPGES);
    settings.CropAspect = store.readInt(document::SettingId::CropAspect);
    settings.memory.MaxBlockW = store.readInt(document::SettingId::MaxBlockW);
    settings.memory.MaxBlockH = store.readInt(document::SettingId::MaxBlockH);
    settings.memory.MaxSwapW = store.readInt(document::SettingId::MaxSwapW);
    settings.memory.MaxSwapH = store.readInt(document::SettingId::MaxSwapH);
    settings.memory.budgetBytes = budgetBytesOf(store.readInt(document::SettingId::MemoryBudgetMB));
    settings.storeCropAspect = [&store](int32_t aspect) {
        store.writeInt(document::SettingId::CropAspect, aspect);
    };
    return settings;
}

} // namespace

// The mode commands on the document; entering and leaving Full/Crop mode selects the tab.
class DocumentController::DocModeTarget : public ModeTarget {
public:
    explicit DocModeTarget(DocumentController& owner) : m_owner(owner) {}

    bool cropMode() const override { return m_owner.m_doc->crop.cropMode; }
    int displayTab() const override { return m_owner.m_doc->display.displayTab; }
    void setDisplayTab(int tab) override {
        m_owner.m_doc->display.displayTab = tab;
        m_owner.m_view->updateScrollBars();
    }
    void enterCropMode(bool resetView) override {
        m_owner.m_doc->enterCropMode(resetView);
        m_owner.m_frame->setModeTab(m_owner.tabForState());
        m_owner.m_view->updateScrollBars();
        m_owner.m_view->refresh();
        m_owner.m_frame->refreshCropInfo();
    }
    bool leaveCropMode(bool askFirst, bool restoreDetail) override {
        velanox::document::CSotavoDoc& doc = *m_owner.m_doc;
        const bool wasCropping = doc.crop.cropMode;
        const velanox::document::LeaveCropOutcome outcome =
            doc.leaveCropMode(askFirst, restoreDetail);
        if (outcome.cancelled) {
            m_owner.m_frame->setModeTab(kFullCropTab);
            return false;
        }
        if (doc.display.displayTab == document::kTabImage)
            m_owner.m_frame->setModeTab(m_owner.tabForState());
        m_owner.m_view->updateScrollBars();
        if (doc.display.displayTab == document::kTabImage && (wasCropping || restoreDetail))
            m_owner.m_view->scheduleProcessing(Debouncer::kSettleMs);
        m_owner.m_view->refresh();
        m_owner.m_frame->refreshCropInfo();
        return outcome.left;
    }
    void computeHistogram() override {
        velanox::document::CSotavoDoc& doc = *m_owner.m_doc;
        const velanox::codec::Picture& source = doc.sourceImage;
        if (!source.hasPixels() || source.bitsPerPixel != 24) return;
        const core::ConstImageView block(source.pixels(), source.width, source.height, 3,
                                         std::ptrdiff_t(source.rowBytes()));
        velanox::color::computeHistogram(block, doc.color, doc.display.histogramBars);
    }
    void updateAllViews() override {
        m_owner.m_view->updateScrollBars();
        m_owner.m_view->refresh();
    }

private:
    DocumentController& m_owner;
};

DocumentController::DocumentController(Application& app)
    : QObject(app.frame()), m_app(app), m_frame(app.frame()) {
    m_host = std::make_unique<QtHost>(m_frame, m_frame->frameStatusBar());
    m_doc = std::make_unique<velanox::document::CSotavoDoc>(*m_host,
                                                            storedDocumentSettings(app.settings()));
    limitReaderTo(m_doc->memory.budgetBytes);
    m_modeTarget = std::make_unique<DocModeTarget>(*this);
    m_colorMatch = std::make_unique<velanox::color::ColorMatchState>();

    m_view = new CSotavoView();
    m_view->setDocument(m_doc.get());
    m_view->setModeTarget(m_modeTarget.get());
    m_frame->setView(m_view);

    m_host->setViewUpdater([this] { m_view->refresh(); });
    // Closing the window during a run waits for the run: the run stops at its next check.
    m_host->setQuitRequestCheck([this] { return m_frame->closeDeferral().isPending(); });
    // Escape and Enter leave or apply Full/Crop mode whatever in the window has the focus,
    // unless a text box takes them.
    m_frame->installEventFilter(this);
    m_host->setRunObserver([this](bool running) {
        m_frame->setRunActive(running);
        m_view->refresh();
    });

    m_frame->setPaneFactory(
        [this](int paneId, QWidget* parent) { return makePane(paneId, parent); });
    m_frame->setModeTarget(m_modeTarget.get());
    m_frame->attachDocument(m_doc.get());
    m_frame->setMemorySettings({m_doc->memory.MaxBlockW, m_doc->memory.MaxBlockH,
                                m_doc->memory.MaxSwapW, m_doc->memory.MaxSwapH,
                                int32_t(m_doc->memory.budgetBytes >> 20)});
    m_frame->setCommandUpdater([this](int id, QAction* action) { updateCommand(id, action); });

    connect(m_frame, &CMainFrame::commandRequested, this, &DocumentController::handleCommand);
    connect(m_frame, &CMainFrame::recentFileRequested, this,
            [this](const QString& path) { openRecentFile(path); });
    connect(m_frame, &CMainFrame::memorySettingsAccepted, this,
            [this](const velanox::document::MemorySettingsValues& values) {
                m_doc->memory.MaxBlockW = values.maxBlockW;
                m_doc->memory.MaxBlockH = values.maxBlockH;
                m_doc->memory.MaxSwapW = values.maxSwapW;
                m_doc->memory.MaxSwapH = values.maxSwapH;
                m_doc->memory.budgetBytes = budgetBytesOf(values.budgetMB);
                limitReaderTo(m_doc->memory.budgetBytes);
            });
    connect(m_view, &CSotavoView::fileDropped, this, &DocumentController::dropFile);
    connect(m_view, &CSotavoView::detailZoomChanged, this, [this](int factor) {
        m_frame->frameStatusBar()->setDetailZoom(factor);
        m_frame->updateCommandStates();
    });
    connect(m_view, &CSotavoView::visibleRectChanged, m_frame, &CMainFrame::refreshCropInfo);
    connect(m_view, &CSotavoView::toneValuesChanged, this, [this] {
        if (PaneContent* pane = m_frame->paneContent(ids::kPaneIdColorCorrection))
            pane->attachDocument(m_doc.get());
    });
    connect(QApplication::clipboard(), &QClipboard::dataChanged, m_frame,
            &CMainFrame::updateCommandStates);
}

DocumentController::~DocumentController() {
    // The panes and the view must not reach the document while it goes.
    m_frame->setModeTarget(nullptr);
    m_frame->setCommandUpdater({});
    m_frame->setPaneFactory(makePlaceholderPane); // the panes' links end with the controller
    m_frame->attachDocument(nullptr);
    m_view->setModeTarget(nullptr);
    m_view->setDocument(nullptr);
}

bool DocumentController::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_frame || event->type() != QEvent::KeyPress) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    const int k = key->key();
    if (k != Qt::Key_Escape && k != Qt::Key_Return && k != Qt::Key_Enter) return false;
    if (!m_doc->crop.cropMode || key->modifiers() & ~Qt::KeypadModifier) return false;
    if (QApplication::activeModalWidget() || QApplication::activePopupWidget()) return false;
    QWidget* focus = QApplication::focusWidget();
    if (qobject_cast<QLineEdit*>(focus) || qobject_cast<QAbstractSpinBox*>(focus) ||
        qobject_cast<QTextEdit*>(focus) || qobject_cast<QPlainTextEdit*>(focus))
        return false;
    m_modeTarget->leaveCropMode(k == Qt::Key_Escape, true);
    return true;
}

PaneContent* DocumentController::makePane(int paneId, QWidget* parent) {
    if (paneId == ids::kPaneIdNrOptions) return new NrOptionsPane(parent);
    SecondaryPaneContext context;
    PaneLinks& links = context.links;
    links.processDetail = [this] {
        m_view->requestDetailProcessing();
        m_view->publishVisibleRect();
    };
    links.updateAllViews = [this] { m_modeTarget->updateAllViews(); };
    links.setModeTab = [this](int tab) { m_frame->setModeTab(tab); };
    links.enterCropMode = [this](bool resetView) { m_modeTarget->enterCropMode(resetView); };
    links.leaveCropMode = [this](bool askFirst, bool restoreDetail) {
        return m_modeTarget->leaveCropMode(askFirst, restoreDetail);
    };
    links.computeHistogram = [this] {
        m_modeTarget->computeHistogram();
        m_view->refresh();
    };
    links.refreshCropInfo = [this] { m_frame->refreshCropInfo(); };
    links.scrollToFraction = [this](double fx, double fy) { m_view->scrollToFraction(fx, fy); };
    links.refreshNrOptions = [this] {
        if (auto* nr = qobject_cast<NrOptionsPane*>(m_frame->paneContent(ids::kPaneIdNrOptions)))
            nr->updateEnabling();
    };
    links.resetOutputToSource = [this] { m_view->resetOutputToSource(); };
    context.colorMatch = m_colorMatch.get();
    context.settings = &m_app.settings();
    context.useFixedSaveFolder = m_app.useFixedSaveFolder();
    context.fixedSaveFolder = m_app.fixedSaveFolder();
    if (PaneContent* pane = makeSecondaryPane(paneId, parent, context)) {
        // The default output folder chosen in File Properties is the application's setting.
        if (auto* properties = qobject_cast<FilePropertiesPane*>(pane))
            connect(properties, &FilePropertiesPane::saveFolderChanged, this,
                    [this](int useFixed, const QString& folder) {
                        m_app.setUseFixedSaveFolder(useFixed);
                        m_app.setFixedSaveFolder(folder);
                    });
        return pane;
    }
    return makePlaceholderPane(paneId, parent);
}

LoadWait DocumentController::loadWait(const QString& path) {
    // A close of the window asked for meanwhile stops the read; the close follows.
    return LoadWait(m_frame->frameStatusBar(), path,
                    [this] { return m_frame->closeDeferral().isPending(); });
}

int DocumentController::tabForState() const {
    switch (m_doc->display.displayTab) {
    case document::kTabCurves:
        return kCurvesTab;
    case document::kTabHistogram:
        return kHistogramTab;
    default:
        return m_doc->crop.cropMode ? kFullCropTab : kDetailsTab;
    }
}

void DocumentController::updateTitle() {
    m_frame->setWindowTitle(QString::fromStdString(velanox::document::documentTitle(*m_doc)) +
                            QStringLiteral(" - ") + QString::fromLatin1(text::kApplicationName));
}

void DocumentController::pictureArrived(int delayMs) {
    m_frame->setModeTab(tabForState());
    updateTitle();
    if (delayMs > 0) {
        m_view->updateScrollBars();
        m_view->scrollToFraction(0, 0);
        m_view->refresh();
        m_view->scheduleProcessing(delayMs);
    } else {
        m_view->showNewPicture();
    }
    m_frame->updateCommandStates();
}

bool DocumentController::openPath(const QString& path) {
    if (LoadWait::isActive()) return false;
    velanox::document::LoadResult result;
    {
        LoadWait wait = loadWait(path);
        result = velanox::document::onOpenDocument(*m_doc, path.toStdString());
    }
    if (!result.loaded()) return false;
    m_frame->addRecentFile(path);
    pictureArrived(0);
    return true;
}

void DocumentController::openRecentFile(const QString& path) {
    if (LoadWait::isActive()) return;
    velanox::document::LoadResult result;
    {
        LoadWait wait = loadWait(path);
        result = velanox::document::onOpenDocument(*m_doc, path.toStdString());
    }
    if (result.loaded()) {
        m_frame->addRecentFile(path);
        pictureArrived(0);
    } else if (result.outcome == velanox::document::LoadOutcome::Failed) {
        // The file is gone or no longer readable (the reason was shown): its entry goes too. A
        // request refused because a run is on leaves the list alone.
        m_frame->removeRecentFile(path);
    }
}

void DocumentController::openWithDialog() {
    if (!m_doc->mayReplaceImages()) return;
    velanox::document::Settings& store = m_app.settings();
    FileDialogRequest request;
    request.title = QStringLiteral("Load image file");
    request.folder = QString::fromStdString(store.readString(document::SettingId::DocumentPath));
    request.filters = openFilters();
    request.preview = true;
    const FileDialogAnswer answer = runFileDialog(m_frame, request);
    if (!answer.accepted || answer.path.isEmpty()) return;
    store.writeString(document::SettingId::DocumentPath,
                      velanox::document::folderOfPath(answer.path.toStdString()));
    openPath(answer.path);
}

void DocumentController::reload() {
    if (!velanox::document::canReload(*m_doc) || LoadWait::isActive()) return;
    velanox::document::LoadResult result;
    {
        LoadWait wait = loadWait(QString::fromStdString(m_doc->sourceFile.documentPath));
        result = velanox::document::reloadSource(*m_doc);
    }
    if (result.loaded()) pictureArrived(0);
}

void DocumentController::newDocument() {
    velanox::document::CSotavoDoc& doc = *m_doc;
    if (!doc.mayReplaceImages()) return;
    // An empty document: no pictures, no path, the image tab; the settings stay.
    doc.crop.cropMode = false;
    doc.crop.cropZoom = 1.0;
    doc.crop.cropOffsetX = 0;
    doc.crop.cropOffsetY = 0;
    doc.cropDisplayImage.release();
    doc.sourceImage.release();
    doc.resultImage.release();
    doc.quickPreview.release();
    doc.processing.resultValid = 0;
    doc.display.displayTab = document::kTabImage;
    doc.sourceFile = velanox::document::SourceFileState{};
    // The panes forget the old picture (its thumbnail and file information) before they see
    // the empty document.
    m_frame->attachDocument(nullptr);
    m_frame->attachDocument(m_doc.get());
    m_frame->setModeTab(kDetailsTab);
    updateTitle();
    m_view->showNewPicture();
    m_view->refresh();
}

void DocumentController::dropFile(const QString& path) {
    if (LoadWait::isActive() || !velanox::document::isDroppableImageName(path.toStdString()))
        return;
    velanox::document::LoadResult result;
    {
        LoadWait wait = loadWait(path);
        result = velanox::document::dropFile(*m_doc, path.toStdString());
    }
    if (!result.loaded()) return;
    m_frame->addRecentFile(path);
    pictureArrived(Debouncer::kNewPictureMs);
}

void DocumentController::paste() {
    if (!m_doc->mayReplaceImages()) return;
    const QImage clip = QApplication::clipboard()->image();
    if (clip.isNull()) return;
    const QImage rgb = clip.convertToFormat(QImage::Format_RGB888);
    const velanox::document::LoadResult result = velanox::document::pasteImage(
        *m_doc, rgb.constBits(), rgb.width(), rgb.height(), std::size_t(rgb.bytesPerLine()));
    if (!result.loaded()) return;
    pictureArrived(Debouncer::kNewPictureMs);
}

bool DocumentController::saveWithDialog() {
    velanox::document::CSotavoDoc& doc = *m_doc;
    if (!doc.sourceImage.hasPixels() || !doc.mayReplaceImages()) return false;
    velanox::document::Settings& store = m_app.settings();

    const velanox::document::SaveNameProposal proposal = velanox::document::proposeSaveName(
        doc.sourceFile.documentPath, velanox::document::documentTitle(doc), true);
    const std::vector<velanox::document::SaveFilterEntry> entries =
        velanox::document::saveFilterEntries(proposal.defaultType);
    const velanox::document::SaveFolderChoice folder = velanox::document::saveDialogFolder(
        store.readString(document::SettingId::DocumentOutPath), m_app.useFixedSaveFolder(),
        m_app.fixedSaveFolder().toStdString());

    FileDialogRequest request;
    request.save = true;
    request.title = QString::fromLatin1(velanox::document::kSaveDialogTitle);
    request.folder = QString::fromStdString(folder.folder);
    request.fileName = QString::fromStdString(proposal.fileName);
    for (const velanox::document::SaveFilterEntry& entry : entries)
        request.filters.push_back(
            {QString::fromStdString(entry.name), QString::fromStdString(entry.pattern)});
    const FileDialogAnswer answer = runFileDialog(m_frame, request);
    if (!answer.accepted || answer.path.isEmpty()) return false;

    QString path = answer.path;
    if (answer.filterIndex >= 0 && answer.filterIndex < int(request.filters.size()))
        path = withFilterExtension(path, request.filters[std::size_t(answer.filterIndex)].pattern);
    const std::string chosen = path.toStdString();
    if (folder.remember)
        store.writeString(document::SettingId::DocumentOutPath,
                          velanox::document::folderOfPath(chosen));

    if (velanox::document::asksJpegOptions(chosen)) {
        JpegOptionsDialog dialog(doc.sourceImage,
                                 velanox::document::sourceDataSize(doc.sourceFile.sourceFileSize,
                                                                   doc.sourceFile.exifCopy.size()),
                                 doc.jpeg.jpegQualitySetting, doc.jpeg.enhancedSamplingSetting != 0,
                                 m_frame);
        if (dialog.exec() != QDialog::Accepted) {
            showMessage(m_frame, QString::fromLatin1(velanox::document::kNothingSavedMessage));
            return false;
        }
        doc.jpeg.jpegQualitySetting = dialog.quality();
        doc.jpeg.enhancedSamplingSetting = dialog.enhancedSampling() ? 1 : 0;
        store.writeInt(document::SettingId::JPGq, doc.jpeg.jpegQualitySetting);
        store.writeInt(document::SettingId::JPGES, doc.jpeg.enhancedSamplingSetting);
    }

    velanox::document::SaveResult result;
    {
        velanox::document::WaitCursor wait(*m_host);
        result = velanox::document::onSaveDocument(doc, chosen);
    }
    m_view->noteWholeResultProcessed();
    // Saving leaves Full/Crop mode and the diagnostic displays: the tab and the panes follow.
    if (auto* properties =
            qobject_cast<FilePropertiesPane*>(m_frame->paneContent(ids::kPaneIdFileProperties)))
        properties->resetOutputWindow();
    m_frame->setModeTab(tabForState());
    m_view->updateScrollBars();
    m_view->refresh();
    return result.saved();
}

void DocumentController::handleCommand(int id) {
    velanox::document::CSotavoDoc& doc = *m_doc;
    switch (id) {
    case ids::kFileOpen:
        openWithDialog();
        break;
    case ids::kFileNew:
        newDocument();
        break;
    case ids::kReloadFile:
        reload();
        break;
    case ids::kFileSave:
    case ids::kFileSaveAs:
        saveWithDialog();
        break;
    case ids::kEditPaste:
        paste();
        break;
    case ids::kEditCopy:
        if (doc.resultImage.hasPixels() && doc.resultImage.bitsPerPixel == 24) {
            const QImage shown(doc.resultImage.pixels(), doc.resultImage.width,
                               doc.resultImage.height, qsizetype(doc.resultImage.rowBytes()),
                               QImage::Format_RGB888);
            QApplication::clipboard()->setImage(shown.copy());
        }
        break;
    case ids::kRotateCw:
    case ids::kRotateCcw:
        if (doc.rotateImage(id == ids::kRotateCw
                                ? velanox::document::RotateDirection::Clockwise
                                : velanox::document::RotateDirection::CounterClockwise)
                .ok()) {
            // The thumbnail, the file information and the colour panes follow the new shape.
            m_frame->attachDocument(m_doc.get());
            m_view->updateScrollBars();
            m_view->refresh();
            m_view->publishVisibleRect();
            m_view->scheduleProcessing(Debouncer::kSettleMs);
        }
        break;
    case ids::kApplyCrop:
        m_modeTarget->leaveCropMode(false, true);
        break;
    case ids::kZoomIn:
    case ids::kZoomOut:
        if (id == ids::kZoomIn ? velanox::document::zoomIn(doc.crop)
                               : velanox::document::zoomOut(doc.crop)) {
            m_view->refresh();
            m_frame->refreshCropInfo();
        }
        break;
    case ids::kGrid:
        m_view->toggleGrid();
        break;
    case ids::kDetailZoom100:
        m_view->setDetailZoom(1);
        break;
    case ids::kDetailZoom200:
        m_view->setDetailZoom(2);
        break;
    case ids::kDetailZoom400:
        m_view->setDetailZoom(4);
        break;
    case ids::kNextImage:
    case ids::kPrevImage: {
        if (LoadWait::isActive()) break;
        velanox::document::FolderStepResult step;
        {
            LoadWait wait = loadWait({});
            step = id == ids::kNextImage ? velanox::document::loadNextInFolder(doc)
                                         : velanox::document::loadPreviousInFolder(doc);
        }
        if (step.outcome == velanox::document::FolderStepOutcome::Loaded) {
            m_frame->addRecentFile(QString::fromStdString(step.loadedPath));
            pictureArrived(0);
        }
        break;
    }
    default:
        break;
    }
    m_frame->updateCommandStates();
}

void DocumentController::updateCommand(int id, QAction* action) {
    const velanox::document::CSotavoDoc& doc = *m_doc;
    const bool hasPicture = doc.sourceImage.hasPixels();
    const bool idle = doc.processing.calculating == 0;
    switch (id) {
    case ids::kFileSave:
    case ids::kFileSaveAs:
        action->setEnabled(hasPicture && idle);
        break;
    case ids::kReloadFile:
        action->setEnabled(velanox::document::canReload(doc));
        break;
    case ids::kEditPaste: {
        const QMimeData* data = QApplication::clipboard()->mimeData();
        action->setEnabled(idle && data && data->hasImage());
        break;
    }
    case ids::kEditCopy:
        action->setEnabled(doc.resultImage.hasPixels());
        break;
    case ids::kRotateCw:
    case ids::kRotateCcw:
        action->setEnabled(hasPicture && idle && !doc.crop.cropMode);
        break;
    case ids::kApplyCrop:
        action->setEnabled(doc.crop.cropMode);
        break;
    case ids::kZoomIn:
        action->setEnabled(velanox::document::canZoomIn(doc.crop));
        break;
    case ids::kZoomOut:
        action->setEnabled(velanox::document::canZoomOut(doc.crop));
        break;
    case ids::kGrid:
        action->setChecked(m_view && m_view->gridVisible());
        break;
    case ids::kDetailZoom100:
    case ids::kDetailZoom200:
    case ids::kDetailZoom400: {
        const int factor = id == ids::kDetailZoom100 ? 1 : id == ids::kDetailZoom200 ? 2 : 4;
        action->setChecked(m_view && m_view->detailZoom() == factor);
        break;
    }
    case ids::kNextImage:
    case ids::kPrevImage:
        action->setEnabled(velanox::document::canStepInFolder(doc));
        break;
    case ids::kFileOpen:
        action->setEnabled(idle);
        break;
    default:
        break;
    }
}

} // namespace velanox::ui
