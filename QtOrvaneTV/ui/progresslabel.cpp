#include "ui/progresslabel.h"

#include <QPainter>

ProgressLabel::ProgressLabel(QWidget *parent, Qt::WindowFlags flags)
    : QLabel(parent, flags)
{ }

void ProgressLabel::setPixmap(const QPixmap &pixmap)
{
    image = pixmap.copy();
    // An empty picture keeps the one on screen.
    if (image.width() == 0)
        return;
    if (isHovering) {
        QPainter painter(&image);
        QPen pen(QColor(0, 255, 0));
        pen.setWidthF(2 * image.devicePixelRatioF());
        pen.setCapStyle(Qt::RoundCap);
        pen.setJoinStyle(Qt::BevelJoin);
        painter.setPen(pen);
        const QPoint top = parentWidget() ? mapFrom(parentWidget(), QPoint(hoverX, 0)) : QPoint(hoverX, 0);
        painter.drawLine(top, QPoint(hoverX, height()));
    }
    QLabel::setPixmap(image);
    repaint();
}

void ProgressLabel::beginHovering()
{
    isHovering = true;
    update();
}

void ProgressLabel::hover(int x)
{
    hoverX = x;
    update();
}

void ProgressLabel::endHovering()
{
    isHovering = false;
    update();
}
