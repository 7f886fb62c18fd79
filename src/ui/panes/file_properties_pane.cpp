#include "ui/panes/file_properties_pane.h"

#include "codec/exif/file_info_text.h"
#include "document/crop_rotate.h"
#include "document/csotavo_doc.h"
#include "ui/display_colors.h"
#include "ui/panes/pane_bitmaps.h"
#include "ui/panes/pane_control_ids.h"
#include "ui/panes/pane_strings.h"
#include "ui/panes/skinned_slider.h"
#include "ui/resource_ids.h"

#include <QAbstractTextDocumentLayout>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextDocument>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace velanox::ui {

namespace {

QString chooseOutputFolder(QWidget* parent, const QString& startFolder) {
    QFileDialog dialog(parent, QString::fromLatin1(text::kSelectDirectory), startFolder);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setLabelText(QFileDialog::FileName, QString::fromLatin1(text::kDefaultOutputPath));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
}

QToolButton* cropButton(int controlId, int bitmapId, const char* caption, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setObjectName(objectNameFor("control", controlId));
    button->setIcon(QIcon(paneBitmap(bitmapId)));
    button->setText(QString::fromLatin1(caption));
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    return button;
}

bool hasSource(const document::CSotavoDoc* doc) {
    return doc && doc->sourceImage.hasPixels() && doc->sourceImage.bitsPerPixel == 24 &&
           doc->sourceImage.width > 0 && doc->sourceImage.height > 0;
}

} // namespace

// ---- section header ---------------------------------------------------------------------------

SectionHeader::SectionHeader(int controlId, const QString& caption, QWidget* parent)
    : QWidget(parent), m_caption(caption) {
    setObjectName(objectNameFor("control", controlId));
    setFixedHeight(16);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void SectionHeader::setActive(bool active) {
    if (m_active == active) return;
    m_active = active;
    update();
}

void SectionHeader::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), colorFromBgr(m_active ? 0xFFA0A0 : 0xE0C0C0));
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(10);
    font.setWeight(QFont::Bold);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, m_caption);
}

// ---- thumbnail --------------------------------------------------------------------------------

ThumbnailView::ThumbnailView(QWidget* parent) : QWidget(parent) {
    setObjectName(objectNameFor("control", ids::kThumbnail));
    setMinimumSize(160, 120);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ThumbnailView::setThumbnail(const QImage& image) {
    m_thumbnail = image;
    update();
}

void ThumbnailView::setFrame(const QRect& frame) {
    m_frame = frame;
    update();
}

QPoint ThumbnailView::thumbnailOffset() const {
    return QPoint((width() - m_thumbnail.width()) / 2, (height() - m_thumbnail.height()) / 2);
}

void ThumbnailView::paintEvent(QPaintEvent*) {
    QPainter p(this); // Qt double-buffers widgets already
    p.fillRect(rect(), Qt::black);
    if (m_thumbnail.isNull()) return;
    const QPoint at = thumbnailOffset();
    p.drawImage(at, m_thumbnail);
    if (m_frame.width() <= 0 || m_frame.height() <= 0) return;
    const QRect image(at, m_thumbnail.size());
    p.setClipRect(image);
    p.setPen(QPen(colorFromBgr(0x0000FF), 1));
    p.setBrush(Qt::NoBrush);
    const QRect outer = m_frame.translated(at);
    p.drawRect(outer.adjusted(0, 0, -1, -1));
    p.drawRect(outer.adjusted(1, 1, -2, -2));
}

void ThumbnailView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) emit pressed(event->position().toPoint());
}

void ThumbnailView::mouseMoveEvent(QMouseEvent* event) {
    emit moved(event->position().toPoint());
}

void ThumbnailView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) emit released();
}

// ---- the pane ---------------------------------------------------------------------------------

FilePropertiesPane::FilePropertiesPane(QWidget* parent)
    : PaneContent(ids::kPaneIdFileProperties, parent) {
    m_chooseFolder = [this](const QString& start) { return chooseOutputFolder(this, start); };

    m_thumbnail = new ThumbnailView(this);
    connect(m_thumbnail, &ThumbnailView::pressed, this, &FilePropertiesPane::thumbnailPressed);
    connect(m_thumbnail, &ThumbnailView::moved, this, &FilePropertiesPane::thumbnailMoved);
    connect(m_thumbnail, &ThumbnailView::released, this, &FilePropertiesPane::thumbnailReleased);

    m_fileInfoHeader =
        new SectionHeader(ids::kHeaderFileInfo, QString::fromLatin1(text::kFileInfo), this);
    m_fileInfo = new QPlainTextEdit(this);
    m_fileInfo->setObjectName(objectNameFor("control", ids::kEditFileInfo));
    m_fileInfo->setReadOnly(true);
    m_fileInfo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_fileInfo->setFixedHeight(m_fileInfo->fontMetrics().lineSpacing() * 6 + 8);
    // Long lines (a maker's long name) wrap inside the pane, and the box grows with them, so no
    // line pushes another out of view; it scrolls only beyond twelve lines.
    connect(m_fileInfo->document()->documentLayout(),
            &QAbstractTextDocumentLayout::documentSizeChanged, this, [this](const QSizeF& size) {
                const int lines = std::clamp(int(std::ceil(size.height())), 6, 12);
                const int margins = int(std::ceil(m_fileInfo->document()->documentMargin())) * 2 +
                                    m_fileInfo->frameWidth() * 2 + 2;
                m_fileInfo->setFixedHeight(m_fileInfo->fontMetrics().lineSpacing() * lines +
                                           margins);
            });

    m_outputHeader =
        new SectionHeader(ids::kHeaderOutputWindow, QString::fromLatin1(text::kOutputWindow), this);
    m_outputWindow = new QComboBox(this);
    m_outputWindow->setObjectName(objectNameFor("control", ids::kListOutputWindow));
    for (const char* item : {text::kOutputResult, text::kOutputEdges, text::kOutputNoise})
        m_outputWindow->addItem(QString::fromLatin1(item));
    m_outputWindow->setCurrentIndex(0);
    connect(m_outputWindow, &QComboBox::activated, this, &FilePropertiesPane::chooseOutputWindow);

    m_folderHeader = new SectionHeader(ids::kHeaderOutputFolder,
                                       QString::fromLatin1(text::kDefaultOutputFolder), this);
    m_folderChoice = new QButtonGroup(this);
    auto* recent = new QRadioButton(QString::fromLatin1(text::kRecentlyUsed), this);
    recent->setObjectName(objectNameFor("control", ids::kRadioRecentlyUsed));
    auto* fixed = new QRadioButton(this);
    fixed->setObjectName(objectNameFor("control", ids::kRadioFixedFolder));
    m_folderChoice->addButton(recent, 0);
    m_folderChoice->addButton(fixed, 1);
    recent->setChecked(true);
    connect(recent, &QRadioButton::clicked, this, &FilePropertiesPane::chooseRecentlyUsed);
    connect(fixed, &QRadioButton::clicked, this, &FilePropertiesPane::chooseFixedFolder);
    m_folderPath = new QLineEdit(this);
    m_folderPath->setObjectName(objectNameFor("control", ids::kEditOutputFolder));
    m_folderPath->setReadOnly(true);
    m_browse = new QPushButton(QString::fromLatin1(text::kBrowse), this);
    m_browse->setObjectName(objectNameFor("control", ids::kButtonBrowseFolder));
    m_browse->setAutoDefault(false);
    m_browse->setFixedWidth(m_browse->fontMetrics().horizontalAdvance(QStringLiteral("...")) + 16);
    connect(m_browse, &QPushButton::clicked, this, &FilePropertiesPane::browseFolder);

    m_cropHeader =
        new SectionHeader(ids::kHeaderCropOptions, QString::fromLatin1(text::kCropOptions), this);
    m_aspect = new QComboBox(this);
    m_aspect->setObjectName(objectNameFor("control", ids::kListCropAspect));
    for (const char* name : document::kCropAspectNames)
        m_aspect->addItem(QString::fromLatin1(name));
    connect(m_aspect, &QComboBox::activated, this, &FilePropertiesPane::chooseAspect);
    m_enlarge = new SkinnedSlider(ids::kSliderEnlarge, document::kEnlargeSlider.minimum,
                                  document::kEnlargeSlider.maximum, this);
    m_enlarge->setThumb(paneBitmap(ids::kBitmapThumbPlain));
    connect(m_enlarge, &SkinnedSlider::moved, this,
            [this](int position, bool) { enlargeMoved(position); });
    m_swap = new QCheckBox(QString::fromLatin1(document::kCropPortraitToLandscape), this);
    m_swap->setObjectName(objectNameFor("control", ids::kCheckCropSwap));
    connect(m_swap, &QCheckBox::clicked, this, &FilePropertiesPane::swapClicked);
    m_return = cropButton(ids::kButtonReturn, ids::kBitmapReturn, text::kReturn, this);
    m_return->hide(); // Escape is the usual way back
    connect(m_return, &QToolButton::clicked, this, &FilePropertiesPane::returnFromCrop);
    m_apply = cropButton(ids::kButtonApplyCrop, ids::kBitmapApplyCrop, text::kApplyCrop, this);
    connect(m_apply, &QToolButton::clicked, this, &FilePropertiesPane::applyCrop);

    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(4);
    layout->addWidget(m_thumbnail);
    layout->addWidget(m_fileInfoHeader);
    layout->addWidget(m_fileInfo);
    layout->addWidget(m_outputHeader);
    layout->addWidget(m_outputWindow);
    layout->addWidget(m_folderHeader);
    layout->addWidget(recent);
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(fixed);
    folderRow->addWidget(m_folderPath, 1);
    folderRow->addWidget(m_browse);
    layout->addLayout(folderRow);
    layout->addWidget(m_cropHeader);
    layout->addWidget(m_aspect);
    auto* enlargeRow = new QHBoxLayout;
    m_enlargeLabel = new QLabel(QString::fromLatin1(text::kEnlarge), this);
    enlargeRow->addWidget(m_enlargeLabel);
    enlargeRow->addWidget(m_enlarge, 1);
    layout->addLayout(enlargeRow);
    layout->addWidget(m_swap);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addWidget(m_return);
    buttonRow->addStretch(1);
    buttonRow->addWidget(m_apply);
    layout->addLayout(buttonRow);
    layout->addStretch(1);

    updateEnabling();
}

void FilePropertiesPane::attachDocument(velanox::document::CSotavoDoc* document) {
    PaneContent::attachDocument(document);
    if (!document) {
        m_thumbnail->setThumbnail({});
        m_thumbnail->setFrame({});
        m_fileInfo->clear();
    }
    refresh();
    refreshCropInfo();
}

void FilePropertiesPane::setSaveFolder(int useFixedSaveFolder, const QString& fixedSaveFolder) {
    m_useFixed = useFixedSaveFolder ? 1 : 0;
    m_folderChoice->button(m_useFixed)->setChecked(true);
    m_folderPath->setText(fixedSaveFolder);
}

QString FilePropertiesPane::fixedSaveFolder() const {
    return m_folderPath->text();
}

void FilePropertiesPane::resetOutputWindow() {
    m_outputWindow->setCurrentIndex(0);
    if (document::CSotavoDoc* doc = document()) doc->display.outputWindowMode = 0;
}

QSize FilePropertiesPane::thumbnailSize(int width, int height, int cw, int ch) {
    if (width <= 0 || height <= 0) return {};
    const double k = double(height) / width;
    int tw = cw, th = int(k * cw);
    if (ch < th) {
        th = ch;
        tw = int(ch / k);
    }
    return QSize(tw, th);
}

QString FilePropertiesPane::fileInfoText() const {
    return m_fileInfo->toPlainText();
}

void FilePropertiesPane::refresh() {
    document::CSotavoDoc* doc = document();
    if (!hasSource(doc)) return;
    const codec::Picture& source = doc->sourceImage;
    m_enlarge->setPositionQuietly(document::enlargePositionFromZoom(doc->crop.cropZoom));
    m_aspect->setCurrentIndex(document::kCropAspectRange.clamp(doc->crop.cropAspect));
    m_swap->setText(QString::fromLatin1(document::cropSwapCaption(source.width, source.height)));
    m_swap->setChecked(doc->crop.cropSwap != 0);
    m_outputWindow->setCurrentIndex(std::clamp(doc->display.outputWindowMode, 0, 2));

    const QSize size =
        thumbnailSize(source.width, source.height, m_thumbnail->width(), m_thumbnail->height());
    if (!doc->crop.cropMode) {
        QString info = QString::fromStdString(codec::fileInfoText(source));
        info.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        m_fileInfo->setPlainText(info);
    }
    if (size.width() > 0 && size.height() > 0) {
        const QImage whole(source.pixels(), source.width, source.height,
                           qsizetype(source.width) * 3, QImage::Format_RGB888);
        m_thumbnail->setThumbnail(DisplayColors::instance().toDisplay(
            whole.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation),
            source.info.iccProfile));
    } else {
        m_thumbnail->setThumbnail({});
    }
    updateEnabling();
}

QRect FilePropertiesPane::scaledFrame(int x0, int y0, int x1, int y1) const {
    const codec::Picture& source = document()->sourceImage;
    const QSize t = m_thumbnail->thumbnail().size();
    const double w = source.width, h = source.height;
    const int l = int(x0 / w * t.width()), top = int(y0 / h * t.height());
    const int r = int(x1 / w * t.width()), b = int(y1 / h * t.height());
    return QRect(l, top, r - l, b - top);
}

void FilePropertiesPane::refreshCropInfo() {
    document::CSotavoDoc* doc = document();
    if (doc && hasSource(doc)) {
        const codec::Picture& source = doc->sourceImage;
        if (doc->crop.cropMode) {
            const core::Rect crop =
                document::computeCropRect(doc->crop, source.width, source.height);
            m_thumbnail->setFrame(scaledFrame(crop.left, crop.top, crop.right, crop.bottom));
            if (!m_enlargeMoving)
                m_enlarge->setPositionQuietly(
                    document::enlargePositionFromZoom(doc->crop.cropZoom));
            m_fileInfo->setPlainText(QString::fromStdString(document::cropInfoText(crop)));
        } else if (!m_thumbnail->thumbnail().isNull()) {
            const core::Rect& v = doc->display.visibleRect;
            m_thumbnail->setFrame(scaledFrame(v.left, v.top, v.right, v.bottom));
        }
    }
    updateEnabling();
}

void FilePropertiesPane::updateEnabling() {
    const document::CSotavoDoc* doc = document();
    const bool cropMode = doc && doc->crop.cropMode;
    const bool detailMode = doc && !cropMode && doc->display.displayTab == document::kTabImage;
    for (QWidget* w : std::initializer_list<QWidget*>{m_aspect, m_swap, m_return, m_apply,
                                                      m_enlarge, m_enlargeLabel, m_cropHeader})
        w->setEnabled(cropMode);
    m_cropHeader->setActive(cropMode);
    m_fileInfoHeader->setActive(!cropMode);
    m_outputWindow->setEnabled(detailMode);
    m_outputHeader->setEnabled(detailMode);
    m_outputHeader->setActive(detailMode);
    m_folderHeader->setActive(true);
}

void FilePropertiesPane::resizeEvent(QResizeEvent* event) {
    PaneContent::resizeEvent(event);
    if (!hasSource(document())) return;
    const codec::Picture& source = document()->sourceImage;
    if (m_thumbnail->thumbnail().size() !=
        thumbnailSize(source.width, source.height, m_thumbnail->width(), m_thumbnail->height())) {
        refresh();
        refreshCropInfo();
    }
}

// ---- thumbnail navigation -----------------------------------------------------------------------

void FilePropertiesPane::thumbnailPressed(QPoint at) {
    document::CSotavoDoc* doc = document();
    if (!hasSource(doc) || doc->processing.calculating) return;
    m_thumbnail->grabMouse();
    m_dragging = true;
    m_grab = QPoint(m_thumbnail->frame().width() / 2, m_thumbnail->frame().height() / 2);
    if (m_links.resetOutputToSource) m_links.resetOutputToSource();
    thumbnailMoved(at);
}

void FilePropertiesPane::thumbnailMoved(QPoint at) {
    document::CSotavoDoc* doc = document();
    if (!m_dragging || !hasSource(doc)) return;
    const QSize t = m_thumbnail->thumbnail().size();
    if (t.isEmpty()) return;
    const double fx =
        double(at.x() - m_grab.x() - (m_thumbnail->width() - t.width()) / 2) / t.width();
    const double fy =
        double(at.y() - m_grab.y() - (m_thumbnail->height() - t.height()) / 2) / t.height();
    if (doc->crop.cropMode) {
        doc->crop.cropOffsetX = int(doc->sourceImage.width * fx);
        doc->crop.cropOffsetY = int(doc->sourceImage.height * fy);
        doc->crop.windowChanged = true;
        refreshCropInfo(); // the crop rectangle clamps the offsets
        pane_ops::updateAllViews(m_links, doc);
    } else if (m_links.scrollToFraction) {
        m_links.scrollToFraction(fx, fy);
    }
}

void FilePropertiesPane::thumbnailReleased() {
    m_thumbnail->releaseMouse();
    if (!m_dragging) return;
    m_dragging = false;
    document::CSotavoDoc* doc = document();
    if (doc && !doc->crop.cropMode) pane_ops::processDetail(m_links, doc);
}

// ---- output window and folder
// ---------------------------------------------------------------------

void FilePropertiesPane::chooseOutputWindow(int index) {
    document::CSotavoDoc* doc = document();
    if (!doc || index < 0) return;
    doc->display.outputWindowMode = index;
    if (m_links.refreshNrOptions) m_links.refreshNrOptions();
    pane_ops::processDetail(m_links, doc);
}

void FilePropertiesPane::chooseRecentlyUsed() {
    m_useFixed = 0;
    emit saveFolderChanged(m_useFixed, fixedSaveFolder());
}

void FilePropertiesPane::chooseFixedFolder() {
    m_useFixed = 1;
    if (m_folderPath->text().isEmpty())
        browseFolder();
    else
        emit saveFolderChanged(m_useFixed, fixedSaveFolder());
}

void FilePropertiesPane::browseFolder() {
    m_useFixed = m_folderChoice->checkedId() == 1 ? 1 : 0;
    const QString chosen = m_chooseFolder ? m_chooseFolder(QDir::currentPath()) : QString();
    if (!chosen.isEmpty()) m_folderPath->setText(chosen);
    if (m_folderPath->text().isEmpty()) m_useFixed = 0;
    m_folderChoice->button(m_useFixed)->setChecked(true);
    emit saveFolderChanged(m_useFixed, fixedSaveFolder());
}

// ---- crop options
// ---------------------------------------------------------------------------------

void FilePropertiesPane::chooseAspect(int index) {
    document::CSotavoDoc* doc = document();
    if (!doc || index < 0) return;
    if (doc->crop.cropAspect != index) doc->crop.windowChanged = true;
    doc->crop.cropAspect = index;
    pane_ops::updateAllViews(m_links, doc);
    refreshCropInfo();
}

void FilePropertiesPane::enlargeMoved(int position) {
    document::CSotavoDoc* doc = document();
    if (!doc) return;
    const double zoom = document::zoomFromEnlargePosition(position);
    if (doc->crop.cropZoom != zoom) doc->crop.windowChanged = true;
    doc->crop.cropZoom = zoom;
    pane_ops::updateAllViews(m_links, doc);
    // The frame refreshes this pane and the Zoom In/Out commands; the slider keeps the position
    // it was moved to (reading it back from the zoom could round it down a step).
    m_enlargeMoving = true;
    if (m_links.refreshCropInfo)
        m_links.refreshCropInfo();
    else
        refreshCropInfo();
    m_enlargeMoving = false;
}

void FilePropertiesPane::swapClicked(bool ticked) {
    document::CSotavoDoc* doc = document();
    if (!doc) return;
    doc->crop.cropSwap = ticked ? 1 : 0;
    doc->crop.windowChanged = true;
    pane_ops::updateAllViews(m_links, doc);
    refreshCropInfo();
}

void FilePropertiesPane::applyCrop() {
    if (pane_ops::leaveCropMode(m_links, document(), false, true)) {
        refresh(); // the source may have been cut
        refreshCropInfo();
    }
}

void FilePropertiesPane::returnFromCrop() {
    if (pane_ops::leaveCropMode(m_links, document(), true, true)) {
        refresh();
        refreshCropInfo();
    }
}

} // namespace velanox::ui
