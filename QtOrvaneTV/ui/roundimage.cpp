#include "ui/roundimage.h"

#include <QPainter>

QImage roundImage(const QImage &image)
{
    const QImage source = image.convertToFormat(QImage::Format_ARGB32);
    const int side = qMin(source.width(), source.height());
    QImage round(side, side, QImage::Format_ARGB32);
    round.fill(Qt::transparent);
    if (side > 0) {
        const QImage square
            = source.copy((source.width() - side) / 2, (source.height() - side) / 2, side, side);
        QPainter painter(&round);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QBrush(square));
        painter.drawEllipse(0, 0, side, side);
    }
    return round;
}
