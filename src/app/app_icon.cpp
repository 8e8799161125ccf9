#include "app_icon.h"

#include <QPainter>
#include <QPixmap>

namespace quorvel {

namespace {

// Colours of the 16-colour palette.
const QColor kNavy(0x00, 0x00, 0x80);
const QColor kSilver(0xC0, 0xC0, 0xC0);
const QColor kBlack(0x00, 0x00, 0x00);
const QColor kYellow(0xFF, 0xFF, 0x00);
const QColor kGray(0x80, 0x80, 0x80);

QPixmap drawIcon(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    const qreal u = size / 16.0;  // drawn on a 16 x 16 grid

    // Pins on the left and right of the chip.
    p.setPen(Qt::NoPen);
    p.setBrush(kSilver);
    for (int i = 0; i < 4; ++i) {
        p.drawRect(QRectF(1 * u, (4 + 2.5 * i) * u, 2 * u, 1 * u));
        p.drawRect(QRectF(13 * u, (4 + 2.5 * i) * u, 2 * u, 1 * u));
    }
    // Chip body.
    p.setBrush(kBlack);
    p.drawRect(QRectF(3 * u, 2 * u, 10 * u, 12 * u));
    p.setBrush(kNavy);
    p.drawRect(QRectF(4 * u, 3 * u, 8 * u, 10 * u));
    p.setBrush(kGray);
    p.drawRect(QRectF(4 * u, 3 * u, 1 * u, 1 * u));  // pin-1 mark

    // Arrow pointing down into the chip.
    p.setBrush(kYellow);
    p.drawRect(QRectF(7 * u, 4 * u, 2 * u, 4 * u));
    const QPointF head[] = {{5 * u, 8 * u}, {11 * u, 8 * u}, {8 * u, 12 * u}};
    p.drawPolygon(head, 3);
    return pixmap;
}

}  // namespace

QIcon QuorvelIcon() {
    QIcon icon;
    icon.addPixmap(drawIcon(32));
    icon.addPixmap(drawIcon(16));
    return icon;
}

}  // namespace quorvel
