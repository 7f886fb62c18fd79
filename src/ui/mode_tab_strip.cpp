#include "ui/mode_tab_strip.h"

#include "ui/mode_colors.h"
#include "ui/resource_ids.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>

namespace velanox::ui {

namespace {
const QColor kOutlineColor = colorFromBgr(0x9C613B);
const QColor kPressedColor = colorFromBgr(0xFFDFE0);
constexpr int kSlant = 5; // how far a tab's sloped side reaches beyond its box
constexpr int kInset = 2; // free pixels above and below the tabs
constexpr int kStripHeight = 22;
} // namespace

ModeTabStrip::ModeTabStrip(QWidget* parent) : QWidget(parent), m_font(QStringLiteral("Arial")) {
    setObjectName(objectNameFor("control", ids::kModeTabStrip));
    m_font.setPixelSize(11);
    m_font.setWeight(QFont::Normal);
    setFont(m_font);
    setFixedHeight(kStripHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void ModeTabStrip::addTab(const QString& label, int commandId) {
    const int left = m_tabs.empty() ? 0 : m_tabs.back().right;
    const int width = QFontMetrics(m_font).horizontalAdvance(label) + kLabelPadding;
    m_tabs.push_back({label, commandId, left + width});
    updateGeometry();
    update();
}

int ModeTabStrip::commandOf(int index) const {
    return index >= 0 && index < count() ? m_tabs[std::size_t(index)].commandId : 0;
}

QString ModeTabStrip::labelOf(int index) const {
    return index >= 0 && index < count() ? m_tabs[std::size_t(index)].label : QString();
}

void ModeTabStrip::setCurrent(int index) {
    if (index < 0 || index >= count()) return;
    m_current = index;
    update();
}

int ModeTabStrip::tabLeft(int index) const {
    return (index <= 0 ? 0 : m_tabs[std::size_t(index - 1)].right) + kLeftMargin;
}

int ModeTabStrip::tabRight(int index) const {
    return m_tabs[std::size_t(index)].right + kLeftMargin;
}

int ModeTabStrip::tabAt(int x) const {
    const int offset = x - kLeftMargin;
    int left = 0;
    for (int k = 0; k < count(); ++k) {
        const int right = m_tabs[std::size_t(k)].right;
        if (left < offset && offset <= right) return k;
        left = right;
    }
    return -1;
}

QSize ModeTabStrip::sizeHint() const {
    const int width = (m_tabs.empty() ? 0 : m_tabs.back().right) + kLeftMargin + kSlant + 4;
    return {width, kStripHeight};
}

QSize ModeTabStrip::minimumSizeHint() const {
    return {0, kStripHeight};
}

void ModeTabStrip::drawTab(QPainter& painter, int index) const {
    const int x0 = tabLeft(index);
    const int x1 = tabRight(index);
    const int top = kInset;
    const int bottom = height() - kInset;
    QColor fill = modeColor(index);
    if (index == m_pressed && m_isPressed)
        fill = kPressedColor;
    else if (index == m_current)
        fill = fill.lighter(118);
    const QPoint shape[] = {
        {x0 - kSlant, bottom}, {x0 + 2, top}, {x1 - 2, top}, {x1 + kSlant, bottom}};
    painter.setPen(kOutlineColor);
    painter.setBrush(fill);
    painter.drawPolygon(shape, 4);
    painter.setPen(Qt::black);
    painter.drawText(QRect(x0, top, x1 - x0, bottom - top), Qt::AlignCenter,
                     m_tabs[std::size_t(index)].label);
}

void ModeTabStrip::paintEvent(QPaintEvent*) {
    // Drawn off screen and copied in one go, so the overlapping tabs never flicker.
    QPixmap buffer(size() * devicePixelRatioF());
    buffer.setDevicePixelRatio(devicePixelRatioF());
    QPainter painter(&buffer);
    painter.setFont(m_font);
    painter.fillRect(rect(), palette().color(QPalette::Button));
    // From the last tab to the first, so each tab overlaps the one after it.
    for (int k = count() - 1; k >= 0; --k)
        drawTab(painter, k);
    if (m_current >= 0 && m_current < count()) {
        painter.fillRect(0, 0, width(), 2, modeColor(m_current));
        painter.setPen(kOutlineColor);
        painter.drawLine(0, kInset, width(), kInset);
        drawTab(painter, m_current);
    }
    painter.end();
    QPainter(this).drawPixmap(0, 0, buffer);
}

void ModeTabStrip::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    // The press grabs the pointer (Qt does so for the pressed widget).
    m_isPressed = true;
    m_currentBeforePress = m_current;
    const int k = tabAt(int(event->position().x()));
    m_pressed = k;
    if (k >= 0) m_current = k;
    update();
}

void ModeTabStrip::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_isPressed) return;
    const int pressedTab = m_pressed;
    const int releasedOver = tabAt(int(event->position().x()));
    m_isPressed = false;
    m_pressed = -1;
    if (pressedTab >= 0 && pressedTab == m_current && releasedOver == pressedTab) {
        update();
        emit commandRequested(commandOf(pressedTab));
        return;
    }
    // Nothing is sent, so the strip goes back to the mode that is actually shown.
    m_current = m_currentBeforePress;
    update();
}

} // namespace velanox::ui
