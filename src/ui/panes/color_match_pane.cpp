#include "ui/panes/color_match_pane.h"

#include "codec/contained_reader.h"
#include "color/color_match_state.h"
#include "document/csotavo_doc.h"
#include "document/load_source.h"
#include "document/settings.h"
#include "ui/document_signals.h"
#include "ui/file_dialogs.h"
#include "ui/load_wait.h"
#include "ui/message_box.h"
#include "ui/panes/color_follow_up.h"
#include "ui/panes/pane_bitmaps.h"
#include "ui/panes/pane_control_ids.h"
#include "ui/panes/pane_strings.h"
#include "ui/panes/picture_image.h"
#include "ui/panes/profile_list.h"
#include "ui/panes/skinned_slider.h"
#include "ui/program_files.h"
#include "ui/resource_ids.h"
#include "ui/ui_strings.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QToolButton>
#include <QVBoxLayout>

namespace velanox::ui {

namespace {

QToolButton* iconButton(int controlId, int bitmapId, const char* tooltip, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setObjectName(objectNameFor("control", controlId));
    button->setIcon(QIcon(paneBitmap(bitmapId)));
    button->setToolTip(QString::fromLatin1(tooltip));
    button->setAutoRaise(true);
    return button;
}

QString fileNameOf(const std::string& path) {
    const QString p = QString::fromStdString(path);
    const qsizetype slash =
        std::max(p.lastIndexOf(QLatin1Char('/')), p.lastIndexOf(QLatin1Char('\\')));
    return p.mid(slash + 1);
}

// "All Supported Image Files" with the raster types, then the Open dialog's per-format list
// (its entries after the two "All Supported" ones).
std::vector<FileFilter> referenceFilters() {
    std::vector<FileFilter> filters{
        {QStringLiteral("All Supported Image Files"), QString::fromLatin1(text::kReferenceTypes)}};
    const std::vector<FileFilter> open = openFilters();
    for (const FileFilter& f : open)
        if (!f.name.startsWith(QLatin1String("All Supported"))) filters.push_back(f);
    return filters;
}

QString chooseReferenceFile(QWidget* parent, const QString& startFolder) {
    FileDialogRequest request;
    request.title = QString::fromLatin1(text::kLoadSourceImageTitle);
    request.folder = startFolder;
    request.filters = referenceFilters();
    const FileDialogAnswer answer = runFileDialog(parent, request);
    return answer.accepted ? answer.path : QString();
}

} // namespace

// ---- the preview ------------------------------------------------------------------------------

ReferencePreview::ReferencePreview(QWidget* parent) : QWidget(parent) {
    setObjectName(objectNameFor("control", ids::kReferencePreview));
    setAcceptDrops(true);
    setMinimumSize(172, 102);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void ReferencePreview::setImage(const QImage& image) {
    m_image = image;
    update();
}

void ReferencePreview::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    if (!m_image.isNull())
        p.drawImage(QPoint((width() - m_image.width()) / 2, (height() - m_image.height()) / 2),
                    m_image);
}

void ReferencePreview::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void ReferencePreview::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile()) return;
    event->acceptProposedAction();
    emit fileDropped(urls.first().toLocalFile());
}

// ---- the pane ---------------------------------------------------------------------------------

ColorMatchPane::ColorMatchPane(QWidget* parent)
    : PaneContent(ids::kPaneIdColorMatch, parent),
      m_ownState(std::make_unique<color::ColorMatchState>()), m_state(m_ownState.get()),
      m_timer1([this] { timerFired(); }) {
    m_chooseFile = [this](const QString& start) { return chooseReferenceFile(this, start); };
    m_askName = [this](const QString& preset) { return askProfileName(this, preset); };

    m_modes = new QButtonGroup(this);
    const std::tuple<int, const char*, int> radios[] = {
        {ids::kRadioNoMatch, text::kNoColorMatch, 0},
        {ids::kRadioMatchImage, text::kMatchToImage, 1},
        {ids::kRadioMatchProfile, text::kMatchToProfile, 2}};
    auto* layout = new QVBoxLayout(this);
    for (const auto& [id, caption, mode] : radios) {
        auto* radio = new QRadioButton(QString::fromLatin1(caption), this);
        radio->setObjectName(objectNameFor("control", id));
        m_modes->addButton(radio, mode);
        layout->addWidget(radio);
    }
    m_modes->button(0)->setChecked(true);
    connect(m_modes, &QButtonGroup::idClicked, this, [this](int mode) {
        switch (mode) {
        case 0:
            chooseNoMatch();
            break;
        case 1:
            chooseMatchToImage();
            break;
        default:
            chooseMatchToProfile();
            break;
        }
    });

    auto* captionLabel = new QLabel(QString::fromLatin1(text::kReferenceCaption), this);
    captionLabel->setObjectName(objectNameFor("control", ids::kCaptionReference));
    layout->addWidget(captionLabel);

    m_referenceName = new QLineEdit(this);
    m_referenceName->setObjectName(objectNameFor("control", ids::kEditReferenceName));
    m_referenceName->setReadOnly(true);
    m_loadButton = iconButton(ids::kButtonLoadReference, ids::kBitmapLoadReference,
                              text::kLoadReferenceImage, this);
    m_saveButton =
        iconButton(ids::kButtonSaveProfile, ids::kBitmapSaveProfile, text::kSaveToProfile, this);
    m_profiles = new ProfileList(ids::kListProfiles, this);
    m_deleteButton = iconButton(ids::kButtonDeleteProfile, ids::kBitmapDeleteProfile,
                                text::kDeleteProfile, this);
    connect(m_loadButton, &QToolButton::clicked, this, [this] { loadReference(); });
    connect(m_saveButton, &QToolButton::clicked, this, &ColorMatchPane::saveToProfile);
    connect(m_deleteButton, &QToolButton::clicked, this, &ColorMatchPane::deleteProfile);
    connect(m_profiles, &QComboBox::activated, this, [this] { chooseMatchToProfile(); });

    auto* chooser = new QHBoxLayout;
    chooser->addWidget(m_referenceName, 1);
    chooser->addWidget(m_profiles, 1);
    chooser->addWidget(m_loadButton);
    chooser->addWidget(m_saveButton);
    chooser->addWidget(m_deleteButton);
    layout->addLayout(chooser);

    m_preview = new ReferencePreview(this);
    connect(m_preview, &ReferencePreview::fileDropped, this, &ColorMatchPane::dropReference);
    layout->addWidget(m_preview);

    m_fade = new SkinnedSlider(ids::kSliderFade, color::kMatchFadeRange.minimum,
                               color::kMatchFadeRange.maximum, this);
    m_fade->setThumb(paneBitmap(ids::kBitmapThumbPlain));
    connect(m_fade, &SkinnedSlider::moved, this, &ColorMatchPane::fadeMoved);
    auto* fadeRow = new QHBoxLayout;
    fadeRow->addWidget(new QLabel(QString::fromLatin1(text::kFade), this));
    fadeRow->addWidget(m_fade, 1);
    layout->addLayout(fadeRow);

    m_autoSwitch = new QCheckBox(QString::fromLatin1(text::kAutoSwitchToFull), this);
    m_autoSwitch->setObjectName(objectNameFor("control", ids::kCheckAutoSwitch));
    m_autoSwitch->setChecked(true);
    connect(m_autoSwitch, &QCheckBox::clicked, this, &ColorMatchPane::autoSwitchClicked);
    layout->addWidget(m_autoSwitch);
    layout->addStretch(1);

    m_programFolder = programFolder();
    m_userFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    updateVisibility();
    refreshProfileList();
    refresh();
}

ColorMatchPane::~ColorMatchPane() = default;

void ColorMatchPane::setColorMatchState(color::ColorMatchState* state) {
    m_state = state ? state : m_ownState.get();
    refreshProfileList();
    refresh();
}

void ColorMatchPane::setProfileFolders(const QString& programFolder, const QString& userFolder) {
    m_programFolder = programFolder;
    m_userFolder = userFolder;
    refreshProfileList();
}

void ColorMatchPane::attachDocument(velanox::document::CSotavoDoc* document) {
    PaneContent::attachDocument(document);
    refresh();
}

int ColorMatchPane::mode() const {
    return std::max(0, m_modes->checkedId());
}

bool ColorMatchPane::autoSwitchToFull() const {
    return m_autoSwitch->isChecked();
}

QString ColorMatchPane::profileSaveFolder() const {
    const QFileInfo program(m_programFolder);
    if (!m_programFolder.isEmpty() && program.isDir() && program.isWritable())
        return m_programFolder;
    return m_userFolder;
}

int ColorMatchPane::fadeDelay(bool endOfDrag, int displayTab) {
    if (endOfDrag) return kModeDelay;
    return displayTab == document::kTabImage ? 100 : 30;
}

void ColorMatchPane::setMode(int mode) {
    if (QAbstractButton* radio = m_modes->button(mode)) radio->setChecked(true);
    if (document::CSotavoDoc* doc = document()) doc->setMatchMode(state(), mode);
    updateVisibility();
}

void ColorMatchPane::showMode(int mode) {
    if (QAbstractButton* radio = m_modes->button(mode)) radio->setChecked(true);
    updateVisibility();
}

void ColorMatchPane::updateVisibility() {
    const int m = mode();
    m_referenceName->setVisible(m < 2);
    m_referenceName->setEnabled(m == 1);
    m_loadButton->setVisible(m < 2);
    m_profiles->setVisible(m == 2);
    m_deleteButton->setVisible(m == 2);
    m_saveButton->setVisible(m == 1);
    m_fade->setEnabled(m > 0);
}

void ColorMatchPane::showReferenceName() {
    if (!state().referencePath.empty()) m_referenceName->setText(fileNameOf(state().referencePath));
}

void ColorMatchPane::chooseNoMatch() {
    document::CSotavoDoc* doc = document();
    if (!doc) return;
    setMode(0);
    m_preview->setImage({});
    startTimer1(kModeDelay);
}

void ColorMatchPane::chooseMatchToImage() {
    document::CSotavoDoc* doc = document();
    if (!doc) return;
    setMode(1);
    if (state().hasReference()) {
        m_preview->setImage(shownOnScreen(state().referenceImage, state().referenceProfile));
        m_referenceName->setText(fileNameOf(state().referencePath));
        startTimer1(kModeDelay);
    } else {
        m_preview->setImage({});
        m_referenceName->setText(QString::fromLatin1(text::kPleaseLoadImage));
    }
}

void ColorMatchPane::chooseMatchToProfile() {
    document::CSotavoDoc* doc = document();
    if (!doc) return;
    const int selected = m_profiles->currentIndex();
    if (selected >= 0 && !m_profiles->path(selected).isEmpty())
        state().readProfile(m_profiles->path(selected).toStdString());
    setMode(2);
    if (state().profilePreview.hasPixels()) {
        m_preview->setImage(shownOnScreen(state().profilePreview, {}));
        startTimer1(kModeDelay);
    } else {
        m_preview->setImage({});
    }
}

void ColorMatchPane::loadReference(const QString& given) {
    document::CSotavoDoc* doc = document();
    if (!doc) return;
    QString path = given;
    if (path.isEmpty()) {
        const QString start =
            m_settings
                ? QString::fromStdString(m_settings->readString(document::SettingId::MatchPath))
                : QString();
        path = m_chooseFile ? m_chooseFile(start) : chooseReferenceFile(this, start);
        // A cancelled dialog changes nothing: the mode and tables in force stay as they are.
        if (path.isEmpty()) return;
        const QString folder = QFileInfo(path).absolutePath();
        if (m_settings && !folder.isEmpty())
            m_settings->writeString(document::SettingId::MatchPath, folder.toStdString());
    }
    if (LoadWait::isActive()) return;
    core::Status status;
    {
        LoadWait wait(LoadWait::statusBarOf(this), path);
        status = document::loadReferenceImage(state(), *doc, path.toStdString());
    }
    // A read the person stopped changes nothing and needs no word beyond the status bar's.
    if (status.code == core::StatusCode::Cancelled) return;
    if (!status.ok()) {
        showMessage(
            this, QString::fromStdString(document::cannotOpenMessage(path.toStdString(), status)));
        return;
    }
    // The document switched to matching the new reference; the buttons follow.
    m_preview->setImage(shownOnScreen(state().referenceImage, state().referenceProfile));
    showReferenceName();
    showMode(1);
    doc->setMatchFade(0);
    m_fade->setPositionQuietly(0);
    startTimer1(kModeDelay);
}

void ColorMatchPane::dropReference(const QString& path) {
    if (!document() || !document::isDroppableImageName(path.toStdString())) return;
    loadReference(path);
}

void ColorMatchPane::saveToProfile() {
    if (!state().hasReference()) {
        showMessage(this, QString::fromLatin1(color::kNoReferenceMessage));
        return;
    }
    const std::optional<QString> name =
        m_askName ? m_askName(QString::fromLatin1(text::kProfileNamePreset)) : std::nullopt;
    if (!name) return;
    if (!color::isValidProfileName(name->toStdString())) {
        showMessage(this, QString::fromLatin1(color::kBadProfileNameMessage));
        return;
    }
    const QString folder = profileSaveFolder();
    QDir().mkpath(folder);
    const std::string path = color::profilePathFor(folder.toStdString(), name->toStdString());
    if (const core::Status s = state().writeProfile(path); !s.ok()) {
        showMessage(this, QString::fromLatin1(text::kCannotSaveProfile) +
                              QString::fromStdString(s.reason));
        return;
    }
    m_profiles->addProfile(QString::fromStdString(path));
}

bool ColorMatchPane::confirm(const QString& question) {
    if (document::CSotavoDoc* doc = document())
        return doc->host().askQuestion(question.toStdString(), document::QuestionButtons::YesNo) ==
               document::Answer::Yes;
    return QMessageBox::question(this, QString::fromLatin1(text::kApplicationName), question,
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void ColorMatchPane::deleteProfile() {
    const int i = m_profiles->currentIndex();
    if (i < 0) return;
    const QString path = m_profiles->path(i);
    if (path.isEmpty() || !confirm(QString::fromLatin1(text::kDeleteProfileQuestion))) return;
    QFile file(path);
    if (!file.remove()) {
        showMessage(this, QString::fromLatin1(text::kCannotDeleteProfile) + file.errorString());
        return;
    }
    refreshProfileList();
    const int count = m_profiles->count();
    if (count > i)
        m_profiles->setCurrentIndex(i);
    else if (count > 0)
        m_profiles->setCurrentIndex(count - 1);
    chooseMatchToProfile();
}

void ColorMatchPane::fadeMoved(int position, bool endOfDrag) {
    document::CSotavoDoc* doc = document();
    if (!doc) return;
    doc->setMatchFade(position);
    startTimer1(fadeDelay(endOfDrag, doc->display.displayTab));
}

void ColorMatchPane::autoSwitchClicked(bool ticked) {
    document::CSotavoDoc* doc = document();
    if (!doc) return;
    if (ticked)
        doc->enterCropMode(false);
    else
        doc->leaveCropMode(true, true);
}

void ColorMatchPane::refreshProfileList() {
    m_profiles->clear();
    m_profiles->thumbnails().clear();
    QStringList folders{m_programFolder};
    if (!m_userFolder.isEmpty() && QDir(m_userFolder) != QDir(m_programFolder))
        folders << m_userFolder;
    for (const QString& folder : folders) {
        if (folder.isEmpty()) continue;
        for (const std::string& path : color::findProfiles(folder.toStdString()))
            m_profiles->addProfile(QString::fromStdString(path));
    }
    if (m_profiles->count() > 0) {
        m_profiles->setCurrentIndex(0);
        state().readProfile(m_profiles->path(0).toStdString());
    }
}

void ColorMatchPane::refresh() {
    document::CSotavoDoc* doc = document();
    if (!doc) return;
    m_fade->setPositionQuietly(doc->color.match.matchFade);
    const int m = color::kMatchActiveRange.clamp(doc->color.match.matchActive);
    if (QAbstractButton* radio = m_modes->button(m)) radio->setChecked(true);
    if (m == 0) m_preview->setImage({});
    updateVisibility();
}

void ColorMatchPane::timerFired() {
    const document::CSotavoDoc* doc = document();
    // The switch to Full/Crop waits for a run in progress instead of being dropped.
    if (doc && autoSwitchToFull() && !doc->crop.cropMode && !doc->mayReplaceImages()) {
        startTimer1(kModeDelay);
        return;
    }
    colorTimerFired(document(), detailRequests(), 1, autoSwitchToFull());
}

void ColorMatchPane::connectDocument(DocumentSignals& changes) {
    connect(&changes, &DocumentSignals::sourceReplaced, this, &ColorMatchPane::refresh);
}

void ColorMatchPane::keyPressEvent(QKeyEvent* event) {
    if (!consumeEnterAndEscape(event)) PaneContent::keyPressEvent(event);
}

// ---- the Profile Name dialog ---------------------------------------------------------------

std::optional<QString> askProfileName(QWidget* parent, const QString& preset) {
    QDialog dialog(parent);
    dialog.setObjectName(objectNameFor("dialog", ids::kProfileNameDialog));
    dialog.setWindowTitle(QString::fromLatin1(text::kProfileNameTitle));
    auto* edit = new QLineEdit(preset, &dialog);
    edit->setObjectName(objectNameFor("control", ids::kEditProfileName));
    edit->selectAll();
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(edit);
    layout->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return edit->text();
}

} // namespace velanox::ui
