#include "ui/toolbar_icons.h"

#include "ui/resource_ids.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <functional>

namespace velanox::ui {

namespace {

using Drawing = std::function<void(QPainter&)>;

QIcon drawIcon(const Drawing& draw, int width = kToolbarImageWidth,
               int height = kToolbarImageHeight) {
    QPixmap pixmap(width, height);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    draw(painter);
    painter.end();
    return QIcon(pixmap);
}

const QColor kOutline(40, 40, 40);

void folder(QPainter& p) {
    p.setPen(QColor(120, 90, 20));
    p.setBrush(QColor(255, 214, 90));
    p.drawRect(1, 3, 12, 10);
    p.drawRect(1, 2, 5, 1);
    // the open flap
    p.setBrush(QColor(255, 236, 150));
    const QPoint flap[] = {{3, 6}, {15, 6}, {13, 13}, {1, 13}};
    p.drawPolygon(flap, 4);
}

void floppy(QPainter& p) {
    p.setPen(kOutline);
    p.setBrush(QColor(60, 90, 170));
    p.drawRect(1, 1, 13, 13);
    p.setBrush(Qt::white);
    p.drawRect(3, 1, 9, 5);
    p.setBrush(QColor(200, 200, 200));
    p.drawRect(4, 9, 7, 5);
    p.fillRect(9, 10, 2, 3, kOutline);
}

void picture(QPainter& p, int x) {
    p.setPen(kOutline);
    p.setBrush(QColor(170, 210, 255));
    p.drawRect(x, 2, 9, 8);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(60, 150, 60));
    const QPoint hill[] = {{x + 1, 10}, {x + 4, 6}, {x + 6, 8}, {x + 7, 7}, {x + 9, 10}};
    p.drawPolygon(hill, 5);
    p.setBrush(QColor(255, 200, 0));
    p.drawEllipse(x + 6, 3, 2, 2);
}

void arrow(QPainter& p, bool left) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 120, 30));
    QPolygon head;
    if (left)
        head << QPoint(0, 12) << QPoint(5, 8) << QPoint(5, 11) << QPoint(9, 11) << QPoint(9, 13)
             << QPoint(5, 13) << QPoint(5, 16);
    else
        head << QPoint(15, 12) << QPoint(10, 8) << QPoint(10, 11) << QPoint(6, 11) << QPoint(6, 13)
             << QPoint(10, 13) << QPoint(10, 16);
    p.drawPolygon(head);
}

void clipboard(QPainter& p) {
    p.setPen(QColor(90, 60, 20));
    p.setBrush(QColor(190, 140, 70));
    p.drawRect(2, 2, 10, 12);
    p.setBrush(QColor(200, 200, 200));
    p.drawRect(5, 0, 4, 3);
    p.setPen(kOutline);
    p.setBrush(Qt::white);
    p.drawRect(7, 6, 8, 8);
    p.drawLine(9, 9, 13, 9);
    p.drawLine(9, 11, 13, 11);
}

void letterInCircle(QPainter& p, const QColor& fill, const QString& letter) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(fill.darker(150));
    p.setBrush(fill);
    p.drawEllipse(QRectF(1.5, 0.5, 13, 13));
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(11);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRect(1, 0, 14, 14), Qt::AlignCenter, letter);
}

void rotation(QPainter& p, bool clockwise) {
    p.setRenderHint(QPainter::Antialiasing);
    QPen pen(QColor(20, 70, 160), 2);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    const QRectF circle(2.5, 2.5, 10, 10);
    // an open circle with the gap at the top and the head on the side the turn goes
    p.drawArc(circle, clockwise ? 100 * 16 : 80 * 16, clockwise ? -260 * 16 : 260 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(20, 70, 160));
    QPolygonF head;
    if (clockwise)
        head << QPointF(7.5, 0) << QPointF(11.5, 2.5) << QPointF(7.5, 5.5);
    else
        head << QPointF(8.5, 0) << QPointF(4.5, 2.5) << QPointF(8.5, 5.5);
    p.drawPolygon(head);
}

void cropMarks(QPainter& p) {
    p.setPen(QPen(kOutline, 2));
    p.drawLine(4, 0, 4, 11);
    p.drawLine(4, 11, 15, 11);
    p.drawLine(0, 4, 11, 4);
    p.drawLine(11, 4, 11, 15);
    p.fillRect(6, 6, 4, 4, QColor(230, 120, 30));
}

void grid(QPainter& p) {
    p.fillRect(1, 1, 14, 13, QColor(255, 255, 230));
    p.setPen(kOutline);
    p.setBrush(Qt::NoBrush);
    p.drawRect(1, 1, 13, 12);
    p.setPen(QColor(200, 60, 60));
    p.drawLine(5, 2, 5, 12);
    p.drawLine(10, 2, 10, 12);
    p.drawLine(2, 5, 13, 5);
    p.drawLine(2, 9, 13, 9);
}

void magnifier(QPainter& p, bool plus) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kOutline, 1.5));
    p.setBrush(QColor(220, 240, 255));
    p.drawEllipse(QRectF(1, 1, 9.5, 9.5));
    p.setPen(QPen(QColor(120, 80, 40), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(10, 10), QPointF(14, 13.5));
    p.setPen(QPen(QColor(20, 20, 20), 1.5));
    p.drawLine(QPointF(3.5, 5.75), QPointF(8, 5.75));
    if (plus) p.drawLine(QPointF(5.75, 3.5), QPointF(5.75, 8));
}

// A square of four pixels and the magnification beside it ("2" for 200 %).
void zoomFactor(QPainter& p, const char* factor) {
    p.fillRect(1, 3, 4, 4, QColor(40, 100, 200));
    p.fillRect(5, 3, 4, 4, QColor(230, 160, 40));
    p.fillRect(1, 7, 4, 4, QColor(230, 160, 40));
    p.fillRect(5, 7, 4, 4, QColor(40, 100, 200));
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(10);
    font.setBold(true);
    p.setFont(font);
    p.setPen(kOutline);
    p.drawText(QRect(8, 4, 8, 12), Qt::AlignCenter, QString::fromLatin1(factor));
}

void sliders(QPainter& p) {
    p.setPen(kOutline);
    for (int row = 0; row < 3; ++row) {
        const int y = 3 + row * 5;
        p.drawLine(1, y, 14, y);
        p.fillRect(row == 1 ? 9 : 3 + row * 2, y - 2, 3, 5, QColor(40, 100, 200));
    }
}

void document(QPainter& p) {
    p.setPen(kOutline);
    p.setBrush(Qt::white);
    p.drawRect(3, 1, 10, 13);
    p.setPen(QColor(90, 90, 90));
    for (int y = 4; y <= 11; y += 2)
        p.drawLine(5, y, 11, y);
}

} // namespace

QIcon commandIcon(int commandId) {
    using namespace ids;
    switch (commandId) {
    case kFileOpen:
        return drawIcon(folder);
    case kFileSave:
        return drawIcon(floppy);
    case kPrevImage:
        return drawIcon([](QPainter& p) {
            picture(p, 6);
            arrow(p, true);
        });
    case kNextImage:
        return drawIcon([](QPainter& p) {
            picture(p, 0);
            arrow(p, false);
        });
    case kEditPaste:
        return drawIcon(clipboard);
    case kAppAbout:
        return drawIcon([](QPainter& p) { letterInCircle(p, QColor(40, 110, 200), "i"); });
    case kHelp:
        return drawIcon([](QPainter& p) { letterInCircle(p, QColor(30, 150, 60), "?"); });
    case kRotateCcw:
        return drawIcon([](QPainter& p) { rotation(p, false); });
    case kRotateCw:
        return drawIcon([](QPainter& p) { rotation(p, true); });
    case kApplyCrop:
        return drawIcon(cropMarks);
    case kGrid:
        return drawIcon(grid);
    case kZoomIn:
        return drawIcon([](QPainter& p) { magnifier(p, true); });
    case kZoomOut:
        return drawIcon([](QPainter& p) { magnifier(p, false); });
    case kDetailZoom100:
        return drawIcon([](QPainter& p) { zoomFactor(p, "1"); });
    case kDetailZoom200:
        return drawIcon([](QPainter& p) { zoomFactor(p, "2"); });
    case kDetailZoom400:
        return drawIcon([](QPainter& p) { zoomFactor(p, "4"); });
    default:
        return {};
    }
}

QIcon paneIcon(int paneId) {
    if (paneId == ids::kPaneIdNrOptions) return drawIcon(sliders);
    if (paneId == ids::kPaneIdFileProperties) return drawIcon(document);
    return {};
}

} // namespace velanox::ui
