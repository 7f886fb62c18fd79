#include "ui/panes/color_correction_pane.h"

#include "color/auto_levels.h"
#include "color/tone_values.h"
#include "document/csotavo_doc.h"
#include "ui/panes/pane_bitmaps.h"
#include "ui/panes/pane_control_ids.h"
#include "ui/panes/pane_strings.h"
#include "ui/panes/skinned_slider.h"
#include "ui/resource_ids.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <cstdio>

namespace velanox::ui {

namespace {

QLabel* valueLabel(int controlId, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(objectNameFor("control", controlId));
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("-4.0")) + 6);
    return label;
}

QLabel* iconLabel(int bitmapId, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setPixmap(paneBitmap(bitmapId));
    return label;
}

QLabel* caption(const char* text, QWidget* parent, Qt::Alignment alignment = Qt::AlignLeft) {
    auto* label = new QLabel(QString::fromLatin1(text), parent);
    label->setAlignment(alignment | Qt::AlignVCenter);
    return label;
}

template <class T>
SkinnedSlider* slider(int controlId, const core::ParamRange<T>& range, int thumbId,
                      QWidget* parent) {
    auto* s = new SkinnedSlider(controlId, int(range.minimum), int(range.maximum), parent);
    s->setThumb(paneBitmap(thumbId));
    return s;
}

} // namespace

ColorCorrectionPane::ColorCorrectionPane(QWidget* parent)
    : PaneContent(ids::kPaneIdColorCorrection, parent), m_timer1([this] { timerFired(1); }),
      m_timer2([this] { timerFired(2); }) {

    m_black =
        slider(ids::kSliderBlackPoint, color::kBlackPointSlider, ids::kBitmapThumbPlain, this);
    m_white =
        slider(ids::kSliderWhitePoint, color::kWhitePointSlider, ids::kBitmapThumbPlain, this);
    m_exposure =
        slider(ids::kSliderExposure, color::kExposureSlider, ids::kBitmapThumbExposure, this);
    m_temperature = slider(ids::kSliderTemperature, color::kTemperatureSlider,
                           ids::kBitmapThumbTemperature, this);
    m_boost =
        slider(ids::kSliderColorBoost, color::kColorBoostSlider, ids::kBitmapThumbPlain, this);
    m_blackLabel = valueLabel(ids::kLabelBlackPoint, this);
    m_whiteLabel = valueLabel(ids::kLabelWhitePoint, this);
    m_exposureLabel = valueLabel(ids::kLabelExposure, this);
    m_temperatureLabel = valueLabel(ids::kLabelTemperature, this);
    m_boostLabel = valueLabel(ids::kLabelColorBoost, this);

    const std::pair<SkinnedSlider*, int> sliders[] = {{m_black, ids::kSliderBlackPoint},
                                                      {m_white, ids::kSliderWhitePoint},
                                                      {m_exposure, ids::kSliderExposure},
                                                      {m_temperature, ids::kSliderTemperature},
                                                      {m_boost, ids::kSliderColorBoost}};
    for (const auto& [s, id] : sliders) {
        connect(s, &SkinnedSlider::moved, this,
                [this, id = id](int position, bool end) { sliderMoved(id, position, end); });
    }

    auto* levels = new QGroupBox(QString::fromLatin1(text::kShadowsHighlights), this);
    auto* levelGrid = new QGridLayout(levels);
    levelGrid->addWidget(iconLabel(ids::kBitmapIconShadows, levels), 0, 0);
    levelGrid->addWidget(m_black, 0, 1);
    levelGrid->addWidget(m_blackLabel, 0, 2);
    levelGrid->addWidget(iconLabel(ids::kBitmapIconHighlights, levels), 1, 0);
    levelGrid->addWidget(m_white, 1, 1);
    levelGrid->addWidget(m_whiteLabel, 1, 2);

    auto* exposure = new QGroupBox(QString::fromLatin1(text::kExposureCompensation), this);
    auto* exposureRow = new QHBoxLayout(exposure);
    exposureRow->addWidget(m_exposure, 1);
    exposureRow->addWidget(m_exposureLabel);
    exposureRow->addWidget(caption(text::kEv, exposure));

    auto* temperature = new QGroupBox(QString::fromLatin1(text::kTemperatureFilter), this);
    auto* temperatureGrid = new QGridLayout(temperature);
    temperatureGrid->addWidget(m_temperature, 0, 0, 1, 2);
    temperatureGrid->addWidget(m_temperatureLabel, 0, 2);
    temperatureGrid->addWidget(caption(text::kWarmer, temperature), 1, 0);
    temperatureGrid->addWidget(caption(text::kColder, temperature, Qt::AlignRight), 1, 1);

    auto* boost = new QGroupBox(QString::fromLatin1(text::kColorBoost), this);
    auto* boostRow = new QHBoxLayout(boost);
    boostRow->addWidget(m_boost, 1);
    boostRow->addWidget(m_boostLabel);

    auto* autoButton = new QPushButton(QString::fromLatin1(text::kAuto), this);
    autoButton->setObjectName(objectNameFor("control", ids::kButtonAuto));
    autoButton->setAutoDefault(false);
    connect(autoButton, &QPushButton::clicked, this, &ColorCorrectionPane::autoLevels);
    auto* resetButton = new QPushButton(QString::fromLatin1(text::kReset), this);
    resetButton->setObjectName(objectNameFor("control", ids::kButtonReset));
    resetButton->setAutoDefault(false);
    connect(resetButton, &QPushButton::clicked, this, &ColorCorrectionPane::resetValues);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(autoButton);
    buttons->addStretch(1);
    buttons->addWidget(resetButton);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(levels);
    layout->addWidget(exposure);
    layout->addWidget(temperature);
    layout->addWidget(boost);
    layout->addLayout(buttons);
    layout->addStretch(1);

    m_temperature->setPositionQuietly(color::kTemperatureSlider.defaultValue);
    m_exposure->setPositionQuietly(color::kExposureSlider.defaultValue);
    updateLabels();
}

QString ColorCorrectionPane::exposureLabel(double midtoneBend) {
    // The C library's rounding (QString::asprintf rounds halves differently: -1.25 to -1.3).
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", midtoneBend);
    return QString::fromLatin1(text);
}

void ColorCorrectionPane::attachDocument(velanox::document::CSotavoDoc* document) {
    PaneContent::attachDocument(document);
    refresh();
}

void ColorCorrectionPane::refresh() {
    document::CSotavoDoc* doc = document();
    if (!doc) return;
    const color::ToneValues& tone = doc->color.tone;
    m_white->setPositionQuietly(color::sliderFromWhitePoint(tone.whitePoint));
    m_black->setPositionQuietly(tone.blackPoint);
    m_boost->setPositionQuietly(tone.colorBoost);
    m_exposure->setPositionQuietly(color::sliderFromMidtoneBend(tone.midtoneBend));
    m_temperature->setPositionQuietly(color::sliderFromGamma(tone.gamma));
    updateLabels();
}

void ColorCorrectionPane::updateLabels() {
    const document::CSotavoDoc* doc = document();
    const color::ToneValues tone = doc ? doc->color.tone : color::ToneValues{};
    m_blackLabel->setText(levelLabel(tone.blackPoint));
    m_whiteLabel->setText(levelLabel(255 - tone.whitePoint));
    m_temperatureLabel->setText(levelLabel(m_temperature->value() - 100));
    m_boostLabel->setText(levelLabel(tone.colorBoost));
    m_exposureLabel->setText(exposureLabel(tone.midtoneBend));
}

void ColorCorrectionPane::sliderMoved(int controlId, int position, bool endOfDrag) {
    document::CSotavoDoc* doc = document();
    if (!doc) return;
    color::ToneValues& tone = doc->color.tone;
    switch (controlId) {
    case ids::kSliderBlackPoint:
        tone.blackPoint = position;
        m_blackLabel->setText(levelLabel(tone.blackPoint));
        break;
    case ids::kSliderWhitePoint:
        tone.whitePoint = color::whitePointFromSlider(position);
        m_whiteLabel->setText(levelLabel(255 - tone.whitePoint));
        break;
    case ids::kSliderExposure:
        tone.midtoneBend = color::midtoneBendFromSlider(position);
        m_exposureLabel->setText(exposureLabel(tone.midtoneBend));
        break;
    case ids::kSliderTemperature:
        tone.gamma = color::gammaFromSlider(position);
        m_temperatureLabel->setText(levelLabel(position - 100));
        break;
    case ids::kSliderColorBoost:
        tone.colorBoost = position;
        m_boostLabel->setText(levelLabel(tone.colorBoost));
        break;
    default:
        return;
    }
    if (endOfDrag)
        startTimer1(kSliderDelay);
    else
        startTimer2(kSliderDelay);
}

void ColorCorrectionPane::autoLevels() {
    document::CSotavoDoc* doc = document();
    if (!doc) return;
    const codec::Picture& source = doc->sourceImage;
    color::AutoLevels levels;
    if (source.hasPixels() && source.bitsPerPixel == 24)
        levels = velanox::color::autoLevels(
            core::ConstImageView(source.pixels(), source.width, source.height, 3));
    doc->color.tone.blackPoint = levels.black;
    doc->color.tone.whitePoint = levels.white;
    refresh();
    startTimer1(kAutoDelay);
}

void ColorCorrectionPane::resetValues() {
    document::CSotavoDoc* doc = document();
    if (!doc) return;
    doc->color.tone = color::ToneValues{};
    refresh();
    startTimer1(kResetDelay);
}

void ColorCorrectionPane::timerFired(int timerId) {
    pane_ops::colorTimerFired(m_links, document(), timerId, false);
}

void ColorCorrectionPane::keyPressEvent(QKeyEvent* event) {
    if (!consumeEnterAndEscape(event)) PaneContent::keyPressEvent(event);
}

} // namespace velanox::ui
