#include "ui/ViewStyleIcons.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPalette>

#include <functional>

namespace {

const QColor Ink(0x3a, 0x3f, 0x46);
const QColor Tile(0x3b, 0x7d, 0xd8);

// Draws on a 24 x 24 grid, at the sizes a toolbar asks for.
QIcon Drawn(const std::function<void(QPainter&)>& draw)
{
    QIcon icon;
    for (int size : {16, 24, 32, 48}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 24.0, size / 24.0);
        draw(p);
        icon.addPixmap(pixmap);
    }
    return icon;
}

void Item(QPainter& p, qreal x, qreal y, qreal lineLength)
{
    p.fillRect(QRectF(x, y, 3, 3), Tile);
    p.fillRect(QRectF(x + 4.5, y + 0.75, lineLength, 1.5), Ink);
}

} // namespace

QIcon ListViewIcon()
{
    // Two columns of names, filled top to bottom.
    return Drawn([](QPainter& p) {
        for (int row = 0; row < 4; ++row) {
            Item(p, 2, 3 + row * 5, 5.5);
            Item(p, 13, 3 + row * 5, 5.5);
        }
    });
}

QIcon SmallIconViewIcon()
{
    // Small icons with short names, in rows.
    return Drawn([](QPainter& p) {
        for (int row = 0; row < 3; ++row)
            for (int col = 0; col < 3; ++col) {
                p.fillRect(QRectF(2 + col * 7.5, 3 + row * 7, 5, 4), Tile);
                p.fillRect(QRectF(2 + col * 7.5, 8 + row * 7, 5, 1.2), Ink);
            }
    });
}

QIcon DetailsViewIcon()
{
    // One name per line with columns of details.
    return Drawn([](QPainter& p) {
        p.fillRect(QRectF(2, 2.5, 20, 2), Ink.lighter(160));
        for (int row = 0; row < 4; ++row) {
            Item(p, 2, 7 + row * 4.2, 7);
            p.fillRect(QRectF(15, 7.75 + row * 4.2, 3, 1.5), Ink);
            p.fillRect(QRectF(19, 7.75 + row * 4.2, 3, 1.5), Ink);
        }
    });
}
