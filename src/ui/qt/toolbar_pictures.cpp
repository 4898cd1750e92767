#include "ui/qt/toolbar_pictures.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <functional>

namespace tarnwell {

namespace {

// Each picture is drawn on a 16 x 16 grid; the painter scales it.
QIcon Draw(const std::function<void(QPainter&)>& paint) {
    QIcon icon;
    for (const int scale : {1, 2}) {
        QPixmap pixmap(16 * scale, 16 * scale);
        pixmap.fill(Qt::transparent);
        {
            QPainter painter(&pixmap);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.scale(scale, scale);
            paint(painter);
        }
        icon.addPixmap(pixmap);
    }
    return icon;
}

// A page from (left, 1) to (left + 10, 15) whose top right corner is folded over.
void DrawPage(QPainter& painter, qreal left) {
    const qreal right = left + 10.5, top = 1.5, bottom = 14.5, fold = 3.5;
    QPainterPath sheet;
    sheet.moveTo(left, top);
    sheet.lineTo(right - fold, top);
    sheet.lineTo(right, top + fold);
    sheet.lineTo(right, bottom);
    sheet.lineTo(left, bottom);
    sheet.closeSubpath();
    painter.setPen(QPen(QColor(96, 96, 96), 1));
    painter.setBrush(Qt::white);
    painter.drawPath(sheet);

    QPainterPath corner;
    corner.moveTo(right - fold, top);
    corner.lineTo(right - fold, top + fold);
    corner.lineTo(right, top + fold);
    painter.setBrush(QColor(214, 214, 214));
    painter.drawPath(corner);
}

}  // namespace

QIcon NewPagePicture() {
    return Draw([](QPainter& painter) { DrawPage(painter, 2.5); });
}

QIcon StartWatchPicture() {
    return Draw([](QPainter& painter) {
        DrawPage(painter, 5.0);
        // Writing on the page.
        painter.setPen(QPen(QColor(40, 70, 150), 1));
        for (const qreal y : {6.5, 8.5, 10.5, 12.5})
            painter.drawLine(QPointF(9.0, y), QPointF(13.5, y));

        // The arrow comes in from the left edge and points into the page.
        QPainterPath arrow;
        arrow.moveTo(0.5, 7.0);
        arrow.lineTo(5.5, 7.0);
        arrow.lineTo(5.5, 4.5);
        arrow.lineTo(10.0, 8.5);
        arrow.lineTo(5.5, 12.5);
        arrow.lineTo(5.5, 10.0);
        arrow.lineTo(0.5, 10.0);
        arrow.closeSubpath();
        painter.setPen(QPen(QColor(150, 70, 0), 1));
        painter.setBrush(QColor(255, 140, 0));
        painter.drawPath(arrow);
    });
}

QIcon StopWatchPicture() {
    return Draw([](QPainter& painter) {
        painter.setPen(QPen(Qt::black, 3, Qt::SolidLine, Qt::SquareCap));
        painter.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
        painter.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
    });
}

QIcon BrowseDotsPicture() {
    return Draw([](QPainter& painter) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::black);
        for (const qreal x : {3.0, 8.0, 13.0}) painter.drawEllipse(QPointF(x, 11.0), 1.2, 1.2);
    });
}

}  // namespace tarnwell
