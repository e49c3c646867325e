#include "ui/filterbutton.h"

#include "ui/theme.h"

FilterButton::FilterButton(QWidget *parent)
    : QPushButton(parent)
{
    setFont(Theme::boldFont(11));
    setHighlighted(false);
}

void FilterButton::setHighlighted(bool highlighted)
{
    m_highlighted = highlighted;
    setStyleSheet(
        highlighted
            ? QStringLiteral("padding: 8px; border-radius: 4px; border: 2px solid %1; color: white; "
                             "background-color: rgba(240, 78, 35, 51);")
                  .arg(Theme::styleColor(Theme::appOrange))
            : QStringLiteral("padding: 8px; border-radius: 4px; border: 2px solid rgba(255, 255, 255, 51); "
                             "color: white; background-color: transparent;"));
}
