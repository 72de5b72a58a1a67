#include "IconArt.h"

#include <QBuffer>
#include <QDataStream>
#include <QPainter>
#include <QPainterPath>

namespace glassbench::icons {

QImage DrawIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
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
    painter.end();
    return image;
}

QByteArray IcoFile(const std::vector<QByteArray>& pngImages) {
    QByteArray file;
    QDataStream out(&file, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    // ICONDIR: reserved, type 1 (icon), count; then one 16-byte ICONDIRENTRY an image.
    out << quint16(0) << quint16(1) << quint16(pngImages.size());
    quint32 offset = 6 + 16 * static_cast<quint32>(pngImages.size());
    for (const QByteArray& png : pngImages) {
        const QSize size = QImage::fromData(png, "PNG").size();
        // Width and height 256 are written as 0; no palette; one plane; 32 bits a pixel.
        out << quint8(size.width() & 0xFF) << quint8(size.height() & 0xFF) << quint8(0) << quint8(0)
            << quint16(1) << quint16(32) << quint32(png.size()) << quint32(offset);
        offset += static_cast<quint32>(png.size());
    }
    for (const QByteArray& png : pngImages) {
        out.writeRawData(png.constData(), static_cast<int>(png.size()));
    }
    return file;
}

}  // namespace glassbench::icons
