#include "ui/ProgramIcon.h"

#include <QPainter>
#include <QPainterPath>

QPixmap ProgramPixmap(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);

    // Rounded tile.
    QLinearGradient tile(0, 0, 0, 64);
    tile.setColorAt(0, QColor(0x3b, 0x7d, 0xd8));
    tile.setColorAt(1, QColor(0x1f, 0x4e, 0x9c));
    p.setPen(Qt::NoPen);
    p.setBrush(tile);
    p.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);

    // Envelope.
    p.setBrush(QColor(0xf6, 0xf8, 0xfb));
    p.setPen(QPen(QColor(0x17, 0x3d, 0x7a), 1.5));
    const QRectF envelope(10, 26, 44, 28);
    p.drawRoundedRect(envelope, 3, 3);
    QPainterPath flap;
    flap.moveTo(11, 27);
    flap.lineTo(32, 43);
    flap.lineTo(53, 27);
    p.setBrush(Qt::NoBrush);
    p.drawPath(flap);

    // Arrow rising out of it.
    QPainterPath arrow;
    arrow.moveTo(32, 6);
    arrow.lineTo(44, 19);
    arrow.lineTo(36.5, 19);
    arrow.lineTo(36.5, 31);
    arrow.lineTo(27.5, 31);
    arrow.lineTo(27.5, 19);
    arrow.lineTo(20, 19);
    arrow.closeSubpath();
    p.setPen(QPen(QColor(0x8a, 0x4b, 0x00), 1.2));
    p.setBrush(QColor(0xff, 0xb3, 0x1a));
    p.drawPath(arrow);
    return pixmap;
}

QIcon ProgramIcon()
{
    QIcon icon;
    for (int size : {16, 22, 32, 48, 64, 128})
        icon.addPixmap(ProgramPixmap(size));
    return icon;
}
