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
    sourceIcon = icon;
    restyle();
}

void AppToolButton::restyle()
{
    // Tinting the shown icon again and again would lose nothing but is wasteful;
    // the source icon keeps the original shape.
    if (sourceIcon.isNull() && !icon().isNull())
        sourceIcon = icon();
    if (!sourceIcon.isNull()) {
        QPixmap tinted = sourceIcon.pixmap(iconSize());
        QPainter painter(&tinted);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(tinted.rect(), selected ? selectedColor : Theme::primaryText);
        painter.end();
        setIcon(QIcon(tinted));
    }
    setStyleSheet(QStringLiteral("border-radius: 8px; background-color: %1;")
                      .arg(selected ? QStringLiteral("rgba(240, 78, 35, 20%)") : QStringLiteral("transparent")));
}
