#include "ui/panes/skinned_slider.h"

#include "ui/resource_ids.h"

#include <QPainter>
#include <QStyleOptionSlider>

namespace velanox::ui {

SkinnedSlider::SkinnedSlider(int controlId, int minimum, int maximum, QWidget* parent)
    : QSlider(Qt::Horizontal, parent) {
    setObjectName(objectNameFor("control", controlId));
    setRange(minimum, maximum);
    setPageStep(std::max(1, (maximum - minimum) / 10));
    setMinimumHeight(22);
    connect(this, &QSlider::valueChanged, this, [this](int position) {
        if (!m_quiet) emit moved(position, !isSliderDown());
    });
    connect(this, &QSlider::sliderReleased, this, [this] { emit moved(value(), true); });
}

void SkinnedSlider::setThumb(const QPixmap& thumb) {
    m_thumb = thumb;
    update();
}

void SkinnedSlider::setPositionQuietly(int position) {
    m_quiet = true;
    setValue(position);
    m_quiet = false;
}

void SkinnedSlider::paintEvent(QPaintEvent* event) {
    if (m_thumb.isNull()) {
        if (isEnabled()) {
            QSlider::paintEvent(event);
            return;
        }
        // The style's own slider, faded, so a disabled one looks disabled in every theme.
        QStyleOptionSlider option;
        initStyleOption(&option);
        option.subControls = QStyle::SC_SliderGroove | QStyle::SC_SliderHandle;
        if (tickPosition() != NoTicks) option.subControls |= QStyle::SC_SliderTickmarks;
        QPainter p(this);
        p.setOpacity(0.4);
        style()->drawComplexControl(QStyle::CC_Slider, &option, &p, this);
        return;
    }
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect handle =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    QPainter p(this);
    const QSize thumbSize = m_thumb.deviceIndependentSize().toSize();
    const int half = thumbSize.width() / 2;
    const int grooveY = height() / 2 - 2;
    const QRect groove(half, grooveY, width() - 2 * half, 4);
    p.setPen(palette().color(isEnabled() ? QPalette::Dark : QPalette::Mid));
    p.setBrush(palette().color(QPalette::Base));
    p.drawRect(groove.adjusted(0, 0, -1, -1));
    const QPoint at(handle.center().x() - half, (height() - thumbSize.height()) / 2);
    if (isEnabled()) {
        p.drawPixmap(at, m_thumb);
    } else {
        p.setOpacity(0.4);
        p.drawPixmap(at, m_thumb);
    }
}

} // namespace velanox::ui
