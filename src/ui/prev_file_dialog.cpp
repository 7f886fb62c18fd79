#include "ui/prev_file_dialog.h"

#include "ui/display_colors.h"
#include "ui/file_dialogs.h"
#include "ui/panes/pane_bitmaps.h"
#include "ui/panes/pane_control_ids.h"
#include "ui/panes/pane_strings.h"
#include "ui/panes/picture_image.h"
#include "ui/resource_ids.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace velanox::ui {

namespace {
bool& previewFlag() {
    static bool on = true;
    return on;
}
} // namespace

// ---- the preview control ----------------------------------------------------------------------

FilePreview::FilePreview(QWidget* parent) : QWidget(parent) {
    setObjectName(objectNameFor("control", ids::kPreviewControl));
    setFixedSize(162, 162);
}

void FilePreview::setImage(const QImage& image) {
    m_image = image;
    update();
}

void FilePreview::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect area = rect().adjusted(1, 1, -1, -1);
    p.fillRect(rect(), palette().color(QPalette::Mid));
    p.fillRect(area, colorFromBgr(0x808080));
    if (m_image.isNull()) return;
    p.drawImage(QPoint(area.left() + (area.width() - m_image.width()) / 2,
                       area.top() + (area.height() - m_image.height()) / 2),
                m_image);
}

// ---- the dialog -------------------------------------------------------------------------------

CPrevFileDlg::CPrevFileDlg(QWidget* parent, const QString& title, const QString& filter,
                           const QString& startFolder)
    : QFileDialog(parent, title, startFolder) {
    setObjectName(objectNameFor("dialog", ids::kPreviewOpenTemplate));
    setOption(QFileDialog::DontUseNativeDialog, true);
    setOption(QFileDialog::HideNameFilterDetails, true);
    setFileMode(QFileDialog::ExistingFile);
    setAcceptMode(QFileDialog::AcceptOpen);
    QStringList nameFilters;
    for (const FileFilter& f : filtersFromString(filter))
        nameFilters << qtNameFilter(f);
    setNameFilters(nameFilters);

    auto* panel = new QWidget(this);
    m_previewCheck = new QCheckBox(QString::fromLatin1(text::kPreview), panel);
    m_previewCheck->setObjectName(objectNameFor("control", ids::kCheckPreview));
    m_previewCheck->setChecked(previewEnabled());
    connect(m_previewCheck, &QCheckBox::clicked, this, &CPrevFileDlg::previewToggled);
    m_preview = new FilePreview(panel);
    m_size = new QLabel(QString::fromLatin1(text::kNoImage), panel);
    m_size->setObjectName(objectNameFor("control", ids::kLabelPreviewSize));
    m_size->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_recent = new QPushButton(QString::fromLatin1(text::kRecent), panel);
    m_recent->setObjectName(objectNameFor("control", ids::kButtonRecent));
    m_recent->setAutoDefault(false);
    m_recent->setEnabled(false);
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(6, 0, 0, 0);
    column->addWidget(m_previewCheck);
    column->addWidget(m_preview);
    column->addWidget(m_size);
    column->addStretch(1);
    column->addWidget(m_recent);
    // Qt's own dialog lays itself out on a grid: the panel takes a column of its own at the
    // right, beside the file list.
    if (auto* grid = qobject_cast<QGridLayout*>(layout()))
        grid->addWidget(panel, 0, grid->columnCount(), grid->rowCount(), 1);

    connect(this, &QFileDialog::currentChanged, this, &CPrevFileDlg::showPreviewOf);
    connect(this, &QFileDialog::directoryEntered, this, [this] {
        m_current.clear();
        clearPreview();
    });
}

bool CPrevFileDlg::previewEnabled() {
    return previewFlag();
}

void CPrevFileDlg::setPreviewEnabled(bool on) {
    previewFlag() = on;
}

void CPrevFileDlg::setRecentFiles(const QStringList& paths) {
    m_recentFiles = paths;
    auto* menu = new QMenu(m_recent);
    for (const QString& path : paths) {
        menu->addAction(QFileInfo(path).fileName(), this, [this, path] {
            setDirectory(QFileInfo(path).absolutePath());
            selectFile(path);
        });
    }
    delete m_recent->menu();
    m_recent->setMenu(menu);
    m_recent->setEnabled(!paths.isEmpty());
}

void CPrevFileDlg::previewToggled(bool on) {
    setPreviewEnabled(on);
    if (on)
        showPreviewOf(m_current);
    else
        clearPreview();
}

void CPrevFileDlg::clearPreview() {
    m_preview->setImage({});
    m_size->clear();
}

QString CPrevFileDlg::sizeText() const {
    return m_size->text();
}

void CPrevFileDlg::showPreviewOf(const QString& path) {
    m_current = path;
    if (!previewEnabled() || path.isEmpty() || !QFileInfo(path).isFile()) {
        clearPreview();
        return;
    }
    QCoreApplication::processEvents(); // the dialog answers while the file is read
    QSize full;
    const QImage image = loadPreview(path, m_preview->previewArea(), &full);
    m_preview->setImage(image);
    if (image.isNull())
        m_size->clear();
    else
        m_size->setText(QString::asprintf(text::kPreviewSizeFormat, full.width(), full.height()));
}

QImage CPrevFileDlg::loadPreview(const QString& path, const QSize& maxSize, QSize* fullSize) {
    codec::Picture picture;
    picture.setPreviewLimit(maxSize.width(), maxSize.height());
    if (!picture.load(path.toStdString(), codec::kFormatAuto, 0).ok()) return {};
    QImage image = imageFromPicture(picture);
    if (image.isNull()) return {};
    if (fullSize) *fullSize = QSize(picture.info.fileWidth, picture.info.fileHeight);
    if (image.width() > maxSize.width() || image.height() > maxSize.height()) {
        const double s = std::max(double(image.width()) / maxSize.width(),
                                  double(image.height()) / maxSize.height());
        image = image.scaled(int(image.width() / s), int(image.height() / s), Qt::IgnoreAspectRatio,
                             Qt::SmoothTransformation);
    }
    return DisplayColors::instance().toDisplay(image, picture.info.iccProfile);
}

} // namespace velanox::ui
