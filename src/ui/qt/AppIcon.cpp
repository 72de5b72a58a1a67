#include "ui/qt/AppIcon.h"

#include <QPainter>
#include <QPainterPath>

namespace glassbench::ui {

QPixmap DrawAppIcon(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing, size > 16);
    const double unit = size / 16.0;

    // The module's board, a dark bezel around the screen.
    const QRectF board(0.5 * unit, 1.5 * unit, 15 * unit, 11 * unit);
    painter.setPen(QPen(QColor(30, 30, 36), std::max(1.0, unit * 0.75)));
    painter.setBrush(QColor(58, 62, 74));
    painter.drawRoundedRect(board, unit, unit);

    // The lit screen.
    const QRectF screen(2 * unit, 3 * unit, 12 * unit, 8 * unit);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(96, 200, 120));
    painter.drawRect(screen);

    // What the module has been told to draw: a line of text and a filled box.
    painter.setBrush(QColor(20, 70, 36));
    const int cells = size >= 32 ? 5 : 3;
    const double cell = 9.0 * unit / (cells * 2 - 1);
    for (int i = 0; i < cells; ++i) {
        painter.drawRect(QRectF(3 * unit + i * 2 * cell, 4 * unit, cell, 1.5 * unit));
    }
    painter.drawRect(QRectF(3 * unit, 7 * unit, 4 * unit, 3 * unit));
    if (size >= 32) {
        // Sixteen pixels have no room for a circle that still reads as one.
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(QColor(20, 70, 36), unit * 0.75));
        painter.drawEllipse(QRectF(8.5 * unit, 6.8 * unit, 3.4 * unit, 3.4 * unit));
    }

    // The serial cable leaving the board.
    QPainterPath cable;
    cable.moveTo(8 * unit, 12.5 * unit);
    cable.cubicTo(8 * unit, 15 * unit, 12 * unit, 13 * unit, 13.5 * unit, 15.5 * unit);
    painter.setPen(
        QPen(QColor(40, 40, 48), std::max(1.0, unit * 1.2), Qt::SolidLine, Qt::RoundCap));
    painter.drawPath(cable);
    return pixmap;
}

QIcon LoadAppIcon() {
    QIcon icon;
    for (int size : kIconSizes) {
        icon.addPixmap(DrawAppIcon(size));
    }
    return icon;
}

}  // namespace glassbench::ui
