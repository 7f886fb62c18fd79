#include "ui/panes/pane_bitmaps.h"

#include "ui/panes/pane_control_ids.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace velanox::ui {

namespace {

QPixmap canvas(int width, int height) {
    QPixmap pixmap(width, height);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

// A slider thumb: a rounded body with a pointer at the bottom, filled with fill.
QPixmap thumb(const QBrush& fill) {
    QPixmap pixmap = canvas(11, 18);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath body;
    body.moveTo(1.5, 1.5);
    body.lineTo(9.5, 1.5);
    body.lineTo(9.5, 12.5);
    body.lineTo(5.5, 16.5);
    body.lineTo(1.5, 12.5);
    body.closeSubpath();
    p.setPen(QPen(QColor(0x40, 0x40, 0x40), 1));
    p.setBrush(fill);
    p.drawPath(body);
    p.setPen(QColor(255, 255, 255, 160));
    p.drawLine(QPointF(3, 3), QPointF(3, 11));
    return pixmap;
}

QPixmap levelIcon(bool highlights) {
    QPixmap pixmap = canvas(16, 16);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x30, 0x30, 0x30), 1));
    p.setBrush(highlights ? QColor(0xF8, 0xF8, 0xF0) : QColor(0x20, 0x20, 0x28));
    p.drawEllipse(QRectF(2.5, 2.5, 11, 11));
    if (!highlights) {
        p.setBrush(QColor(0x90, 0x90, 0x98));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QRectF(7, 4, 5, 5));
    }
    return pixmap;
}

QPixmap folderIcon() {
    QPixmap pixmap = canvas(16, 15);
    QPainter p(&pixmap);
    p.setPen(QColor(0x80, 0x60, 0x10));
    p.setBrush(QColor(0xF0, 0xD0, 0x60));
    p.drawRect(1, 4, 13, 9);
    p.drawRect(1, 2, 5, 2);
    return pixmap;
}

QPixmap diskIcon() {
    QPixmap pixmap = canvas(16, 15);
    QPainter p(&pixmap);
    p.setPen(QColor(0x10, 0x10, 0x50));
    p.setBrush(QColor(0x30, 0x50, 0xA0));
    p.drawRect(1, 1, 13, 12);
    p.setBrush(Qt::white);
    p.drawRect(4, 1, 7, 5);
    p.setBrush(QColor(0xC0, 0xC0, 0xC0));
    p.drawRect(4, 9, 7, 4);
    return pixmap;
}

QPixmap deleteIcon() {
    QPixmap pixmap = canvas(16, 15);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0xC0, 0x10, 0x10), 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(3.5, 3), QPointF(12.5, 12));
    p.drawLine(QPointF(12.5, 3), QPointF(3.5, 12));
    return pixmap;
}

QPixmap applyCropIcon() {
    QPixmap pixmap = canvas(16, 15);
    QPainter p(&pixmap);
    p.setPen(QPen(QColor(0x10, 0x10, 0x10), 1));
    p.drawLine(4, 0, 4, 11);
    p.drawLine(4, 11, 15, 11);
    p.drawLine(0, 3, 11, 3);
    p.drawLine(11, 3, 11, 14);
    p.setPen(QPen(QColor(0x10, 0x80, 0x10), 2));
    p.drawLine(6, 7, 8, 9);
    p.drawLine(8, 9, 13, 4);
    return pixmap;
}

QPixmap returnIcon() {
    QPixmap pixmap = canvas(16, 15);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x10, 0x30, 0x90), 2));
    p.drawLine(QPointF(13, 3), QPointF(13, 9));
    p.drawLine(QPointF(13, 9), QPointF(3, 9));
    p.drawLine(QPointF(3, 9), QPointF(6.5, 5.5));
    p.drawLine(QPointF(3, 9), QPointF(6.5, 12.5));
    return pixmap;
}

} // namespace

QPixmap paneBitmap(int bitmapId) {
    switch (bitmapId) {
    case ids::kBitmapThumbTemperature: {
        QLinearGradient warmToCold(0, 0, 11, 0);
        warmToCold.setColorAt(0, QColor(0xF0, 0x90, 0x30));
        warmToCold.setColorAt(1, QColor(0x40, 0x80, 0xF0));
        return thumb(warmToCold);
    }
    case ids::kBitmapThumbPlain:
        return thumb(QColor(0xD8, 0xD8, 0xE0));
    case ids::kBitmapThumbExposure: {
        QLinearGradient darkToLight(0, 0, 0, 18);
        darkToLight.setColorAt(0, QColor(0xFF, 0xFF, 0xE8));
        darkToLight.setColorAt(1, QColor(0x50, 0x50, 0x50));
        return thumb(darkToLight);
    }
    case ids::kBitmapIconShadows:
        return levelIcon(false);
    case ids::kBitmapIconHighlights:
        return levelIcon(true);
    case ids::kBitmapLoadReference:
        return folderIcon();
    case ids::kBitmapSaveProfile:
        return diskIcon();
    case ids::kBitmapDeleteProfile:
        return deleteIcon();
    case ids::kBitmapApplyCrop:
        return applyCropIcon();
    case ids::kBitmapReturn:
        return returnIcon();
    default:
        return {};
    }
}

} // namespace velanox::ui
