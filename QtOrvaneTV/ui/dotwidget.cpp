#include "ui/dotwidget.h"

#include <QPainter>

DotWidget::DotWidget(QWidget *parent, const QColor &color)
    : QWidget(parent)
    , m_color(color)
{ }

void DotWidget::paintEvent(QPaintEvent *)
{
    QColor shade = m_color;
    shade.setAlpha(m_highlighted ? 255 : 51);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(shade);
    painter.setBrush(shade);
    painter.drawEllipse(rect());
}
