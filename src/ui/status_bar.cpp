#include "ui/status_bar.h"

#include "ui/resource_ids.h"
#include "ui/ui_strings.h"

#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>

namespace velanox::ui {

namespace {
QLabel* indicator(const char* text, QWidget* parent, int index) {
    auto* label = new QLabel(parent);
    label->setObjectName(objectNameFor("control", ids::kStatusBar) +
                         QStringLiteral("_indicator%1").arg(index));
    label->setAlignment(Qt::AlignCenter);
    label->setFrameShape(QFrame::Panel);
    label->setFrameShadow(QFrame::Sunken);
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QString::fromLatin1(text)) + 10);
    return label;
}
} // namespace

StatusBar::StatusBar(QWidget* parent) : QStatusBar(parent) {
    setObjectName(objectNameFor("control", ids::kStatusBar));
    m_pane = new QLabel(QString::fromLatin1(text::kReady), this);
    m_pane->setObjectName(objectNameFor("control", ids::kStatusBar) + QStringLiteral("_pane0"));
    addWidget(m_pane, 1);
    m_capsLabel = indicator(text::kCapsIndicator, this, 1);
    m_numLabel = indicator(text::kNumIndicator, this, 2);
    m_scrollLabel = indicator(text::kScrollIndicator, this, 3);
    m_zoomLabel = indicator("Detail 400%", this, 4);
    m_zoomLabel->setObjectName(objectNameFor("control", ids::kStatusBar) + QStringLiteral("_zoom"));
    setDetailZoom(1);
    addPermanentWidget(m_zoomLabel);
    addPermanentWidget(m_capsLabel);
    addPermanentWidget(m_numLabel);
    addPermanentWidget(m_scrollLabel);
    showIndicators();
    m_pane->installEventFilter(this);
    qApp->installEventFilter(this);
}

void StatusBar::setDetailZoom(int factor) {
    m_zoomLabel->setText(QStringLiteral("Detail %1%").arg(factor * 100));
}

QString StatusBar::zoomText() const {
    return m_zoomLabel->text();
}

QString StatusBar::paneText() const {
    return m_pane->text();
}

void StatusBar::createProgress(const QString& text, int widthPercent, int upper) {
    destroyProgress();
    m_pane->setText(text);
    m_pane->repaint();
    m_progressPercent = widthPercent;
    m_progress = new QProgressBar(m_pane);
    m_progress->setObjectName(objectNameFor("control", ids::kStatusBar) +
                              QStringLiteral("_progress"));
    m_progress->setTextVisible(false);
    m_progress->setRange(0, upper);
    m_progress->setValue(0);
    placeProgress();
    m_progress->show();
}

void StatusBar::placeProgress() {
    if (!m_progress) return;
    const int textWidth = m_pane->fontMetrics().horizontalAdvance(m_pane->text()) +
                          m_pane->contentsMargins().left() + m_pane->margin() + 6;
    const int paneRight = m_pane->width();
    const int right = textWidth + (paneRight - textWidth) * m_progressPercent / 100;
    const int inset = m_pane->height() * 15 / 100;
    m_progress->setGeometry(textWidth, inset, qMax(0, right - textWidth),
                            qMax(1, m_pane->height() - 2 * inset));
}

void StatusBar::setProgressPosition(int position) {
    if (m_progress)
        m_progress->setValue(qBound(m_progress->minimum(), position, m_progress->maximum()));
}

void StatusBar::destroyProgress() {
    delete m_progress;
    m_progress = nullptr;
    m_pane->setText(QString::fromLatin1(text::kReady));
}

void StatusBar::setLockIndicators(bool caps, bool num, bool scroll) {
    m_caps = caps;
    m_num = num;
    m_scroll = scroll;
    showIndicators();
}

void StatusBar::showIndicators() {
    // An indicator that is off shows an empty pane, as the lock lamps do.
    m_capsLabel->setText(m_caps ? QString::fromLatin1(text::kCapsIndicator) : QString());
    m_numLabel->setText(m_num ? QString::fromLatin1(text::kNumIndicator) : QString());
    m_scrollLabel->setText(m_scroll ? QString::fromLatin1(text::kScrollIndicator) : QString());
}

bool StatusBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_pane && event->type() == QEvent::Resize) placeProgress();
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        // A key press reaches the filter once per object it travels through; it is counted
        // where it enters the program, at its window.
        if (watched->isWindowType() && !key->isAutoRepeat()) {
            if (key->key() == Qt::Key_CapsLock) setLockIndicators(!m_caps, m_num, m_scroll);
            if (key->key() == Qt::Key_NumLock) setLockIndicators(m_caps, !m_num, m_scroll);
            if (key->key() == Qt::Key_ScrollLock) setLockIndicators(m_caps, m_num, !m_scroll);
        }
    }
    return QStatusBar::eventFilter(watched, event);
}

} // namespace velanox::ui
