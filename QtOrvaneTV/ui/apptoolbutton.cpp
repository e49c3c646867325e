#include "ui/apptoolbutton.h"

#include "ui/theme.h"

#include <QPainter>

AppToolButton::AppToolButton(QWidget *parent)
    : QToolButton(parent)
    , selectedColor(Theme::appOrange)
{
    restyle();
}

void AppToolButton::setSelected(bool isSelected)
{
    selected = isSelected;
    restyle();
}

void AppToolButton::setSelectedColor(const QColor &color)
{
    selectedColor = color;
    restyle();
}

void AppToolButton::setSourceIcon(const QIcon &icon)
{
    setIcon(icon);
    restyle();
}

void AppToolButton::restyle()
{
    // The icon shown now is tinted: a tint keeps the alpha of every pixel, so
    // tinting a tinted icon again keeps its shape, and an icon set since (with
    // setIcon) is the one that takes the colour.
    if (!icon().isNull()) {
        QPixmap tinted = icon().pixmap(iconSize());
        QPainter painter(&tinted);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(tinted.rect(), selected ? selectedColor : Theme::primaryText);
        painter.end();
        setIcon(QIcon(tinted));
    }
    setStyleSheet(
        QStringLiteral("border-radius: 8px; background-color: %1;")
            .arg(selected ? QStringLiteral("rgba(240, 78, 35, 20%)") : QStringLiteral("transparent")));
}
