#include "ui/panes/nr_options_pane.h"

#include "document/csotavo_doc.h"
#include "pipeline/noise_settings.h"
#include "ui/debouncer.h"
#include "ui/document_signals.h"
#include "ui/edit_commit.h"
#include "ui/icon_files.h"
#include "ui/panes/skinned_slider.h"
#include "ui/resource_ids.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QDial>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QSlider>
#include <QStylePainter>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <QWidgetAction>

#include <charconv>
#include <cmath>
#include <limits>
#include <type_traits>

namespace velanox::ui {

namespace {

constexpr int kSliderScale = 10; // slider position = noise level * 10
constexpr int kDialMin = 0, kDialMax = 100;

// One noise value changed in the document's settings.
template <typename T>
void storeNoiseValue(velanox::document::CSotavoDoc& doc, T pipeline::NoiseSettings::*field,
                     std::type_identity_t<T> value) {
    pipeline::NoiseSettings noise = doc.noise;
    noise.*field = value;
    doc.setNoiseSettings(noise);
}

QString levelText(double level) {
    return QString::asprintf("%.1lf", level);
}

// The automatic mode's two percentages: the noise-level slider and edit show the strength, a
// second pair the colour-noise strength, both in whole percent.
constexpr int kPercentMin = 0;
constexpr int kPercentMax = engine::kAutoStrengthRange.maximum;
static_assert(engine::kAutoColorStrengthRange.maximum == kPercentMax &&
              engine::kAutoStrengthRange.minimum == kPercentMin &&
              engine::kAutoColorStrengthRange.minimum == kPercentMin);

QString firstLine(const QString& text) {
    return text.section(QLatin1Char('\n'), 0, 0);
}

// The open list: icon at the left, both lines beside it, a line along the bottom.
class ModeItemDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(NrModeCombo::kItemHeight);
        size.setWidth(std::max(size.width(), NrModeCombo::kIconWidth + 170));
        return size;
    }

    void paint(QPainter* p, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const QRect r = option.rect;
        const bool enabled = option.state & QStyle::State_Enabled;
        const bool selected = option.state & (QStyle::State_Selected | QStyle::State_MouseOver);
        QColor background = selected ? QColor(192, 192, 255) : QColor(255, 255, 255);
        QColor ink = Qt::black;
        if (!enabled) {
            background = option.palette.color(QPalette::Button);
            ink = QColor(128, 128, 128);
        }
        p->save();
        p->fillRect(r, background);
        p->setPen(ink);
        const QString text = index.data(Qt::DisplayRole).toString();
        if (r.height() < 36) {
            p->drawText(r.adjusted(3, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, firstLine(text));
        } else {
            const int mode = index.row();
            const QPixmap icon = nrModeIcon(mode);
            const QSize iconSize = icon.deviceIndependentSize().toSize();
            const int iconY = r.top() + (r.height() - iconSize.height()) / 2;
            p->drawPixmap(r.left() + 3, iconY, icon);
            const QRect textRect(r.left() + 3 + iconSize.width() + 4, r.top() + 2,
                                 r.width() - iconSize.width() - 10, r.height() - 4);
            p->drawText(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
            p->setPen(QColor(128, 128, 128));
            p->drawLine(r.left(), r.bottom(), r.right(), r.bottom());
        }
        p->restore();
    }
};

} // namespace

const QStringList& nrModeTexts() {
    static const QStringList texts = {
        QStringLiteral("Default Mode"),
        QStringLiteral("Nature Mode\n(Retain fine details)"),
        QStringLiteral("Portrait Mode\n(Retain facial texture)"),
        QStringLiteral("High Noise Mode\n(Extreme high noise or ISO)"),
        QStringLiteral("Scanner Mode\n(Remove Moire form scans)"),
        QStringLiteral("Automatic\n(Measures the noise itself)"),
    };
    return texts;
}

QPixmap nrModeIcon(int mode) {
    // Anything past the known modes shows the scanner, the last of the five fixed ones.
    const QString path = iconPath(nrModeIconFiles(), mode);
    return renderedIcon(path.isEmpty() ? iconPath(nrModeIconFiles(), pipeline::kNrModeScanner)
                                       : path);
}

NrModeCombo::NrModeCombo(QWidget* parent) : QComboBox(parent) {
    setItemDelegate(new ModeItemDelegate(this));
    for (const QString& text : nrModeTexts())
        addItem(text);
    view()->setMinimumWidth(kIconWidth + 180);
}

void NrModeCombo::paintEvent(QPaintEvent*) {
    // The closed face shows the first line only.
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    option.currentText = firstLine(option.currentText);
    option.currentIcon = QIcon();
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}

int wholeNumberOf(const QString& text) {
    int i = 0;
    const int n = int(text.size());
    while (i < n && text[i].isSpace())
        ++i;
    bool negative = false;
    if (i < n && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    long long value = 0;
    for (; i < n && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9'); ++i) {
        value = value * 10 + (text[i].unicode() - '0');
        if (value > std::numeric_limits<int>::max()) value = std::numeric_limits<int>::max() + 1LL;
    }
    if (negative) value = -value;
    return int(std::clamp<long long>(value, std::numeric_limits<int>::min(),
                                     std::numeric_limits<int>::max()));
}

NrOptionsPane::NrOptionsPane(QWidget* parent)
    : PaneContent(ids::kPaneIdNrOptions, parent),
      m_timer(new Debouncer([this] { onTimer(); }, this)) {
    setObjectName(objectNameFor("dialog", ids::kNrOptionsTemplate));
    buildControls();
    refreshFromDocument();
    updateEnabling();
}

NrOptionsPane::~NrOptionsPane() = default;

QToolButton* NrOptionsPane::makeDial(int id, QLineEdit* edit, bool& open, int& member) {
    auto* button = new QToolButton(this);
    button->setObjectName(objectNameFor("control", id));
    button->setText(QStringLiteral("\u25CE"));
    button->setPopupMode(QToolButton::InstantPopup);
    button->setFixedSize(22, 22);
    auto* menu = new QMenu(button);
    auto* dial = new QDial(menu);
    dial->setObjectName(objectNameFor("dial", id));
    dial->setRange(kDialMin, kDialMax);
    dial->setSingleStep(1);
    dial->setNotchesVisible(true);
    dial->setFixedSize(90, 90);
    auto* action = new QWidgetAction(menu);
    action->setDefaultWidget(dial);
    menu->addAction(action);
    button->setMenu(menu);
    connect(menu, &QMenu::aboutToShow, this, [edit, dial, &open] {
        // The dial shows the value as far as it reaches; the edit keeps a larger typed value
        // until the dial is turned.
        const QSignalBlocker quiet(dial);
        dial->setValue(std::clamp(wholeNumberOf(edit->text()), kDialMin, kDialMax));
        open = true;
    });
    connect(dial, &QDial::valueChanged, this, [edit, &open](int value) {
        if (open) edit->setText(QString::number(value));
    });
    connect(menu, &QMenu::aboutToHide, this, [this, edit, &open, &member] {
        open = false;
        // A value typed before the dial opened is committed (and corrected) first.
        if (auto* commit = edit->findChild<EditCommit*>()) commit->flush();
        member = wholeNumberOf(edit->text());
        schedule(kClickDelayMs);
    });
    return button;
}

void NrOptionsPane::buildControls() {
    auto named = [](QWidget* w, int id) {
        w->setObjectName(objectNameFor("control", id));
        return w;
    };
    m_title = new QLabel(QStringLiteral("Noise Level"), this);
    named(m_title, ids::kNrTitle);
    m_slider = new SkinnedSlider(
        ids::kNrNoiseSlider, int(pipeline::NoiseSettings::kNoiseLevelMin * kSliderScale),
        int(pipeline::NoiseSettings::kNoiseLevelSliderMax * kSliderScale), this);
    m_slider->setPageStep(10);
    m_slider->setFixedHeight(20);
    m_slider->setMinimumWidth(130);
    m_noiseEdit = new QLineEdit(this);
    named(m_noiseEdit, ids::kNrNoiseEdit);
    m_noiseEdit->setFixedWidth(48);
    m_blockNoise = new QCheckBox(QStringLiteral("Remove Block Noise"), this);
    named(m_blockNoise, ids::kNrBlockNoise);
    m_advancedBox = new QCheckBox(QStringLiteral("Advanced Processing"), this);
    named(m_advancedBox, ids::kNrAdvanced);
    m_mode = new NrModeCombo(this);
    named(m_mode, ids::kNrModeCombo);
    m_sharpenBox = new QCheckBox(QStringLiteral("Sharpen Edges"), this);
    named(m_sharpenBox, ids::kNrSharpen);
    m_sharpenEdit = new QLineEdit(this);
    named(m_sharpenEdit, ids::kNrSharpenEdit);
    m_sharpenEdit->setFixedWidth(40);
    m_sharpenDial = makeDial(ids::kNrSharpenDial, m_sharpenEdit, m_sharpenDialOpen, m_sharpenValue);
    m_default = new QPushButton(QStringLiteral("Default"), this);
    named(m_default, ids::kNrDefault);
    m_edgeLabel = new QLabel(QStringLiteral("Edge Threshold"), this);
    named(m_edgeLabel, ids::kNrEdgeLabel);
    m_edgeEdit = new QLineEdit(this);
    named(m_edgeEdit, ids::kNrEdgeEdit);
    m_edgeEdit->setFixedWidth(40);
    m_edgeDial = makeDial(ids::kNrEdgeDial, m_edgeEdit, m_edgeDialOpen, m_edgeValue);
    m_chromaLabel = new QLabel(QStringLiteral("Colour Noise (%)"), this);
    named(m_chromaLabel, ids::kNrChromaLabel);
    m_chromaSlider = new SkinnedSlider(ids::kNrChromaSlider, kPercentMin, kPercentMax, this);
    m_chromaSlider->setPageStep(10);
    m_chromaSlider->setFixedHeight(20);
    m_chromaEdit = new QLineEdit(this);
    named(m_chromaEdit, ids::kNrChromaEdit);
    m_chromaEdit->setFixedWidth(48);
    m_estimate = new QLabel(this);
    named(m_estimate, ids::kNrEstimate);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(8, 8, 8, 8);
    grid->addWidget(m_title, 0, 0, 1, 3);
    grid->addWidget(m_slider, 1, 0, 1, 2);
    grid->addWidget(m_noiseEdit, 1, 2);
    grid->addWidget(m_chromaLabel, 2, 0, 1, 3);
    grid->addWidget(m_chromaSlider, 3, 0, 1, 2);
    grid->addWidget(m_chromaEdit, 3, 2);
    grid->addWidget(m_estimate, 4, 0, 1, 3);
    grid->addWidget(m_blockNoise, 5, 0, 1, 3);
    grid->addWidget(m_advancedBox, 6, 0, 1, 3);
    grid->addWidget(m_mode, 7, 0, 1, 3);
    grid->addWidget(m_sharpenBox, 8, 0);
    grid->addWidget(m_sharpenEdit, 8, 1, Qt::AlignRight);
    grid->addWidget(m_sharpenDial, 8, 2);
    grid->addWidget(m_edgeLabel, 9, 0);
    grid->addWidget(m_edgeEdit, 9, 1, Qt::AlignRight);
    grid->addWidget(m_edgeDial, 9, 2);
    grid->addWidget(m_default, 10, 0, 1, 3, Qt::AlignLeft);
    grid->setRowStretch(11, 1);
    grid->setColumnStretch(0, 1);

    connect(m_slider, &QSlider::valueChanged, this, [this](int position) {
        onSliderMoved(position);
        // Clicks, keys and the mouse wheel move the slider in one step: that step is also the
        // end of the move. A drag runs when it ends.
        if (!m_slider->isSliderDown()) schedule(kClickDelayMs);
    });
    connect(m_slider, &QSlider::sliderReleased, this, [this] { schedule(kClickDelayMs); });
    connect(m_noiseEdit, &QLineEdit::textEdited, this, &NrOptionsPane::onNoiseEdited);
    connect(m_advancedBox, &QCheckBox::clicked, this, [this] {
        controlsToMembers();
        updateEnabling();
        if (document()) schedule(kClickDelayMs);
    });
    connect(m_blockNoise, &QCheckBox::clicked, this, [this] {
        controlsToMembers();
        if (document()) schedule(kClickDelayMs);
    });
    connect(m_sharpenBox, &QCheckBox::clicked, this, [this] {
        controlsToMembers();
        if (document()) schedule(kClickDelayMs);
        updateEnabling();
    });
    m_noiseCommit = new EditCommit(m_noiseEdit, [this] { commitNoiseEdit(); });
    connect(m_sharpenEdit, &QLineEdit::textEdited, this, [this] {
        onWholeEdited(m_sharpenEdit, pipeline::NoiseSettings::kSharpenAmountMax, m_sharpenValue,
                      m_sharpenDialOpen);
    });
    m_sharpenCommit = new EditCommit(m_sharpenEdit, [this] {
        commitWholeEdit(m_sharpenEdit, pipeline::NoiseSettings::kSharpenAmountMax,
                        pipeline::NoiseSettings::kSharpenAmountMax, m_sharpenValue,
                        m_sharpenDialOpen);
    });
    connect(m_edgeEdit, &QLineEdit::textEdited, this, [this] {
        onWholeEdited(m_edgeEdit, pipeline::NoiseSettings::kEdgeThresholdMax, m_edgeValue,
                      m_edgeDialOpen);
    });
    m_edgeCommit = new EditCommit(m_edgeEdit, [this] {
        commitWholeEdit(m_edgeEdit, pipeline::NoiseSettings::kEdgeThresholdMax,
                        pipeline::NoiseSettings::kEdgeThresholdMax, m_edgeValue, m_edgeDialOpen);
    });
    connect(m_default, &QPushButton::clicked, this, &NrOptionsPane::onDefault);
    connect(m_mode, &QComboBox::activated, this, &NrOptionsPane::onModeChosen);
    connect(m_chromaSlider, &QSlider::valueChanged, this, [this](int position) {
        if (velanox::document::CSotavoDoc* doc = document())
            storeNoiseValue(*doc, &pipeline::NoiseSettings::autoChroma, position);
        m_chromaEdit->setText(QString::number(position));
        // Like the top slider: a drag runs when it ends, every other move at once.
        if (!m_chromaSlider->isSliderDown()) schedule(kClickDelayMs);
    });
    connect(m_chromaSlider, &QSlider::sliderReleased, this, [this] { schedule(kClickDelayMs); });
    connect(m_chromaEdit, &QLineEdit::textEdited, this, [this] {
        onPercentEdited(m_chromaEdit, m_chromaSlider, &pipeline::NoiseSettings::autoChroma);
    });
    m_chromaCommit = new EditCommit(m_chromaEdit, [this] {
        commitPercentEdit(m_chromaEdit, m_chromaSlider, &pipeline::NoiseSettings::autoChroma);
    });
    showModeControls();
}

bool NrOptionsPane::automatic() const {
    return m_mode->currentIndex() == pipeline::kNrModeAuto;
}

void NrOptionsPane::onModeChosen() {
    showModeControls();
    updateEnabling();
    schedule(kClickDelayMs);
}

// The noise-level slider and edit show the noise level, or in automatic mode the strength; the
// colour-noise pair and the estimate are shown in automatic mode only.
void NrOptionsPane::showModeControls() {
    const bool autoMode = automatic();
    velanox::document::CSotavoDoc* doc = document();
    const pipeline::NoiseSettings defaults;
    const pipeline::NoiseSettings& noise = doc ? doc->noise : defaults;
    {
        const QSignalBlocker block(m_slider);
        const QSignalBlocker blockChroma(m_chromaSlider);
        if (autoMode) {
            m_slider->setRange(kPercentMin, kPercentMax);
            m_slider->setValue(noise.autoStrength);
            m_chromaSlider->setValue(noise.autoChroma);
        } else {
            m_slider->setRange(int(pipeline::NoiseSettings::kNoiseLevelMin * kSliderScale),
                               int(pipeline::NoiseSettings::kNoiseLevelSliderMax * kSliderScale));
            m_slider->setValue(int(noise.noiseLevel * kSliderScale));
        }
    }
    m_title->setText(autoMode ? QStringLiteral("Strength (% of the estimated noise)")
                              : QStringLiteral("Noise Level"));
    m_noiseEdit->setText(autoMode ? QString::number(noise.autoStrength)
                                  : levelText(noise.noiseLevel));
    m_chromaEdit->setText(QString::number(noise.autoChroma));
    for (QWidget* w :
         std::initializer_list<QWidget*>{m_chromaLabel, m_chromaSlider, m_chromaEdit, m_estimate})
        w->setVisible(autoMode);
    showEstimate();
}

void NrOptionsPane::showEstimate() {
    velanox::document::CSotavoDoc* doc = document();
    if (!automatic() || doc == nullptr || !m_estimate->isVisibleTo(this)) return;
    const velanox::engine::NoiseProfile* profile = doc->noiseEstimate();
    m_estimate->setText(profile != nullptr
                            ? QString::asprintf("Estimated noise: %.1f", double(profile->sigma))
                            : QString());
}

void NrOptionsPane::onPercentEdited(QLineEdit* edit, QSlider* slider, PercentField value) {
    // While typing, only a value inside the range is taken; the rest waits for the commit.
    const double x = numberOf(edit->text());
    if (x >= kPercentMin && x <= kPercentMax)
        takePercent(int32_t(x), slider, value, kTypingDelayMs);
}

void NrOptionsPane::commitPercentEdit(QLineEdit* edit, QSlider* slider, PercentField value) {
    double x = numberOf(edit->text());
    if (!(x >= kPercentMin)) {
        x = kPercentMin;
        edit->setText(QString::number(kPercentMin));
        edit->selectAll();
    } else if (x > kPercentMax) {
        x = kPercentMax;
        edit->setText(QString::number(kPercentMax));
        edit->selectAll();
    }
    takePercent(int32_t(x), slider, value, kClickDelayMs);
}

void NrOptionsPane::takePercent(int32_t percent, QSlider* slider, PercentField field, int delayMs) {
    velanox::document::CSotavoDoc* doc = document();
    // Without a document the slider holds the value.
    const int32_t current = doc ? doc->noise.*field : int32_t(slider->value());
    if (percent != current) {
        if (doc) storeNoiseValue(*doc, field, percent);
        const QSignalBlocker block(slider);
        slider->setValue(percent);
        schedule(delayMs);
    }
}

void NrOptionsPane::attachDocument(velanox::document::CSotavoDoc* document) {
    PaneContent::attachDocument(document);
    refreshFromDocument();
    updateEnabling();
}

void NrOptionsPane::connectDocument(DocumentSignals& changes) {
    for (auto change : {&DocumentSignals::sourceReplaced, &DocumentSignals::cropModeEntered,
                        &DocumentSignals::cropModeLeft, &DocumentSignals::displayTabChanged,
                        &DocumentSignals::outputWindowChanged})
        connect(&changes, change, this, &NrOptionsPane::updateEnabling);
}

void NrOptionsPane::refreshFromDocument() {
    velanox::document::CSotavoDoc* doc = document();
    if (!doc) return;
    const pipeline::NoiseSettings& noise = doc->noise;
    {
        const QSignalBlocker block(m_slider);
        m_slider->setValue(int(noise.noiseLevel * kSliderScale));
    }
    m_noiseEdit->setText(levelText(noise.noiseLevel));
    m_advanced = noise.advancedProcessing != 0;
    m_removeBlockNoise = noise.nrLevels >= 4;
    m_sharpen = noise.sharpenEdges != 0;
    m_sharpenValue = noise.sharpenAmount;
    m_edgeValue = noise.edgeThreshold;
    m_mode->setCurrentIndex(std::clamp(int(noise.nrMode), 0, int(nrModeTexts().size()) - 1));
    showModeControls();
    updateEnabling();
    membersToControls();
}

void NrOptionsPane::updateEnabling() {
    velanox::document::CSotavoDoc* doc = document();
    const bool hasImage = doc ? doc->sourceImage.hasPixels() : true;
    const bool active = doc ? !doc->crop.cropMode : true;
    const bool edges =
        doc ? doc->display.outputWindowMode == pipeline::kOutputHighlightEdges : false;
    const bool base = hasImage && active;
    for (QWidget* w : std::initializer_list<QWidget*>{m_title, m_slider, m_noiseEdit, m_advancedBox,
                                                      m_blockNoise})
        w->setEnabled(base);
    for (QWidget* w : std::initializer_list<QWidget*>{m_mode, m_sharpenBox, m_sharpenDial,
                                                      m_default, m_edgeLabel})
        w->setEnabled(m_advanced && base);
    m_sharpenEdit->setEnabled(m_sharpen && m_advanced && base);
    // The automatic mode chooses its own levels and blends nothing back in.
    if (automatic()) {
        for (QWidget* w : std::initializer_list<QWidget*>{m_blockNoise, m_sharpenBox, m_sharpenEdit,
                                                          m_sharpenDial})
            w->setEnabled(false);
    }
    for (QWidget* w :
         std::initializer_list<QWidget*>{m_chromaLabel, m_chromaSlider, m_chromaEdit, m_estimate})
        w->setEnabled(base);
    m_edgeEdit->setEnabled(m_advanced && base && edges);
    m_edgeDial->setEnabled(m_advanced && base && edges);
    m_slider->update();
    m_title->update();
}

void NrOptionsPane::membersToControls() {
    m_advancedBox->setChecked(m_advanced);
    m_blockNoise->setChecked(m_removeBlockNoise);
    m_sharpenBox->setChecked(m_sharpen);
    m_sharpenEdit->setText(QString::number(m_sharpenValue));
    m_edgeEdit->setText(QString::number(m_edgeValue));
}

void NrOptionsPane::controlsToMembers() {
    m_advanced = m_advancedBox->isChecked();
    m_removeBlockNoise = m_blockNoise->isChecked();
    m_sharpen = m_sharpenBox->isChecked();
    m_sharpenValue = wholeNumberOf(m_sharpenEdit->text());
    m_edgeValue = wholeNumberOf(m_edgeEdit->text());
}

void NrOptionsPane::schedule(int delayMs) {
    m_timer->schedule(delayMs);
}

void NrOptionsPane::onTimer() {
    velanox::document::CSotavoDoc* doc = document();
    if (!doc) return;
    pipeline::NoiseSettings noise = doc->noise;
    noise.advancedProcessing = m_advanced ? 1 : 0;
    noise.nrLevels = m_removeBlockNoise ? pipeline::NoiseSettings::kLevelsWithBlockNoise
                                        : pipeline::NoiseSettings::kLevelsWithoutBlockNoise;
    noise.sharpenEdges = m_sharpen ? 1 : 0;
    noise.sharpenAmount = m_sharpenValue;
    noise.edgeThreshold = m_edgeValue;
    noise.nrMode = m_mode->currentIndex();
    doc->setNoiseSettings(noise);
    doc->processImage(true);
    showEstimate();
}

void NrOptionsPane::onSliderMoved(int position) {
    velanox::document::CSotavoDoc* doc = document();
    if (automatic()) {
        if (doc) storeNoiseValue(*doc, &pipeline::NoiseSettings::autoStrength, position);
        m_noiseEdit->setText(QString::number(position));
        return;
    }
    const double level = position * (1.0 / kSliderScale);
    if (doc) storeNoiseValue(*doc, &pipeline::NoiseSettings::noiseLevel, level);
    m_noiseEdit->setText(levelText(level));
}

double numberOf(const QString& text) {
    // The leading number of the text, as the edit reads it; NaN when it does not start with one.
    const QByteArray bytes = text.trimmed().toLatin1();
    const char* first = bytes.constData();
    const char* last = first + bytes.size();
    if (first != last && *first == '+') ++first;
    double value = std::numeric_limits<double>::quiet_NaN();
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end == first) return std::numeric_limits<double>::quiet_NaN();
    return value;
}

void NrOptionsPane::onNoiseEdited(const QString& text) {
    if (automatic()) {
        onPercentEdited(m_noiseEdit, m_slider, &pipeline::NoiseSettings::autoStrength);
        return;
    }
    // While typing, only a value inside the range is taken; the rest waits for the commit.
    const double x = numberOf(text);
    if (x >= pipeline::NoiseSettings::kNoiseLevelMin &&
        x <= pipeline::NoiseSettings::kNoiseLevelMax)
        takeNoiseLevel(x, kTypingDelayMs);
}

void NrOptionsPane::commitNoiseEdit() {
    if (automatic()) {
        commitPercentEdit(m_noiseEdit, m_slider, &pipeline::NoiseSettings::autoStrength);
        return;
    }
    double x = numberOf(m_noiseEdit->text());
    if (!(x >= pipeline::NoiseSettings::kNoiseLevelMin)) {
        x = pipeline::NoiseSettings::kNoiseLevelMin;
        m_noiseEdit->setText(QStringLiteral("0"));
        m_noiseEdit->selectAll();
    } else if (x > pipeline::NoiseSettings::kNoiseLevelMax) {
        x = pipeline::NoiseSettings::kNoiseLevelMax;
        m_noiseEdit->setText(QStringLiteral("100"));
        m_noiseEdit->selectAll();
    }
    takeNoiseLevel(x, kClickDelayMs);
}

void NrOptionsPane::takeNoiseLevel(double x, int delayMs) {
    velanox::document::CSotavoDoc* doc = document();
    const double current = doc ? doc->noise.noiseLevel : m_slider->value() * (1.0 / kSliderScale);
    if (x != current) {
        if (doc) storeNoiseValue(*doc, &pipeline::NoiseSettings::noiseLevel, x);
        const QSignalBlocker block(m_slider);
        m_slider->setValue(int(x * kSliderScale));
        schedule(delayMs);
    }
}

void NrOptionsPane::onWholeEdited(QLineEdit* edit, int maximumTyped, int& member, bool dialOpen) {
    if (dialOpen) return;
    const int a = wholeNumberOf(edit->text());
    if (a >= 0 && a <= maximumTyped && a != member) {
        member = a;
        schedule(kTypingDelayMs);
    }
}

void NrOptionsPane::commitWholeEdit(QLineEdit* edit, int maximumTyped, int shownMaximum,
                                    int& member, bool dialOpen) {
    if (dialOpen) return;
    int a = wholeNumberOf(edit->text());
    if (a < 0) {
        a = 0;
        edit->setText(QStringLiteral("0"));
        edit->selectAll();
    } else if (a > maximumTyped) {
        a = shownMaximum;
        edit->setText(QString::number(shownMaximum));
        edit->selectAll();
    }
    if (a != member) {
        member = a;
        schedule(kClickDelayMs);
    }
}

void NrOptionsPane::onDefault() {
    const pipeline::NoiseSettings defaults;
    m_edgeValue = defaults.edgeThreshold;
    m_sharpenValue = defaults.sharpenAmount;
    m_mode->setCurrentIndex(pipeline::kNrModeDefault);
    showModeControls();
    updateEnabling();
    membersToControls();
    schedule(kClickDelayMs);
}

} // namespace velanox::ui
