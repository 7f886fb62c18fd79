#include "ui/jpeg_options_dialog.h"

#include "codec/picture.h"
#include "document/jpeg_quality.h"
#include "ui/edit_commit.h"
#include "ui/message_box.h"
#include "ui/qt_host.h"
#include "ui/resource_ids.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>

namespace velanox::ui {

namespace {
constexpr int kQualityMin = 40, kQualityMax = 100;
}

JpegOptionsDialog::JpegOptionsDialog(const velanox::codec::Picture& source, uint64_t sourceDataSize,
                                     int quality, bool enhancedSampling, QWidget* parent)
    : QDialog(parent), m_source(source), m_sourceDataSize(sourceDataSize), m_quality(quality) {
    setObjectName(objectNameFor("dialog", ids::kJpegOptionsDialog));
    setWindowTitle(QStringLiteral("JPEG Options"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    m_sizeText = new QLabel(
        QString::fromStdString(velanox::document::jpegOptionsSizeText(source.width, source.height)),
        this);
    m_sizeText->setObjectName(objectNameFor("control", ids::kJpegFileSize));
    auto* qualityLabel = new QLabel(QStringLiteral("JPG Quality"), this);
    m_slider = new QSlider(Qt::Horizontal, this);
    m_slider->setObjectName(objectNameFor("control", ids::kJpegQualitySlider));
    m_slider->setRange(kQualityMin, kQualityMax);
    m_slider->setValue(quality);
    m_edit = new QLineEdit(QString::number(quality), this);
    m_edit->setObjectName(objectNameFor("control", ids::kJpegQualityEdit));
    m_edit->setFixedWidth(48);
    m_sampling = new QCheckBox(QStringLiteral("Enhanced Sampling"), this);
    m_sampling->setObjectName(objectNameFor("control", ids::kJpegEnhancedSampling));
    m_sampling->setChecked(enhancedSampling);
    auto* calc = new QPushButton(QStringLiteral("Calc Output Size:"), this);
    calc->setObjectName(objectNameFor("control", ids::kJpegCalcSize));
    calc->setAutoDefault(false);
    auto* suggest = new QPushButton(QStringLiteral("Suggest Quality"), this);
    suggest->setObjectName(objectNameFor("control", ids::kJpegSuggestQuality));
    suggest->setAutoDefault(false);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(objectNameFor("control", ids::kIdOk));
    buttons->button(QDialogButtonBox::Cancel)
        ->setObjectName(objectNameFor("control", ids::kIdCancel));

    auto* grid = new QGridLayout(this);
    grid->addWidget(m_sizeText, 0, 0, 1, 3);
    grid->addWidget(qualityLabel, 1, 0);
    grid->addWidget(m_slider, 1, 1);
    grid->addWidget(m_edit, 1, 2);
    grid->addWidget(m_sampling, 2, 0, 1, 3);
    grid->addWidget(calc, 3, 0);
    grid->addWidget(suggest, 3, 1, Qt::AlignLeft);
    grid->addWidget(buttons, 4, 0, 1, 3);
    setMinimumWidth(380);

    connect(m_slider, &QSlider::valueChanged, this, [this](int position) {
        m_quality = position;
        if (m_edit->text() != QString::number(position)) m_edit->setText(QString::number(position));
    });
    connect(m_edit, &QLineEdit::textEdited, this, &JpegOptionsDialog::onQualityEdited);
    new EditCommit(m_edit, [this] { commitQualityEdit(); });
    connect(calc, &QPushButton::clicked, this, &JpegOptionsDialog::calcOutputSize);
    connect(suggest, &QPushButton::clicked, this, &JpegOptionsDialog::suggestQuality);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        readControls();
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

bool JpegOptionsDialog::enhancedSampling() const {
    return m_sampling->isChecked();
}

void JpegOptionsDialog::readControls() {
    const velanox::document::QualityEdit edit =
        velanox::document::correctQualityText(m_edit->text().toStdString());
    m_quality = edit.quality;
}

void JpegOptionsDialog::onQualityEdited(const QString& text) {
    // While typing only a quality inside the range is taken; the rest waits for the commit.
    const velanox::document::QualityEdit edit =
        velanox::document::correctQualityText(text.toStdString());
    if (edit.corrected) return;
    m_quality = edit.quality;
    const QSignalBlocker block(m_slider);
    m_slider->setValue(m_quality);
}

void JpegOptionsDialog::commitQualityEdit() {
    const velanox::document::QualityEdit edit =
        velanox::document::correctQualityText(m_edit->text().toStdString());
    m_quality = edit.quality;
    if (edit.corrected) {
        m_edit->setText(QString::number(edit.quality));
        m_edit->selectAll();
    }
    const QSignalBlocker block(m_slider);
    m_slider->setValue(m_quality);
}

void JpegOptionsDialog::calcOutputSize() {
    readControls();
    uint64_t estimate = 0;
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        estimate = velanox::document::jpegSizeEstimator(m_source, enhancedSampling())(m_quality);
        QApplication::restoreOverrideCursor();
    }
    showMessage(
        this,
        QString::fromStdString(velanox::document::calcOutputSizeText(m_sourceDataSize, estimate)),
        MessageKind::Information);
}

void JpegOptionsDialog::suggestQuality() {
    readControls();
    const uint64_t target = m_sourceDataSize;
    int q = m_quality;
    {
        std::unique_ptr<velanox::document::ProgressDialog> progress = makeProgressWindow(
            this, QString::fromLatin1(velanox::document::kSuggestQualityCaption));
        progress->setRange(60, 100);
        q = velanox::document::suggestedQualitySetting(
            target, velanox::document::jpegSizeEstimator(m_source, enhancedSampling()),
            progress.get());
    }
    m_quality = q;
    m_slider->setValue(q);
    m_edit->setText(QString::number(q));
}

} // namespace velanox::ui
