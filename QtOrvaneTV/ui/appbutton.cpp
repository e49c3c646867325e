#include "ui/appbutton.h"

#include "ui/theme.h"

AppButton::AppButton(QWidget *parent)
    : QPushButton(parent)
{
    setStyleSheet(QStringLiteral("border-radius: 8px; border: none; color: %1; background-color: %2;")
                      .arg(Theme::styleColor(Theme::primaryText), Theme::styleColor(Theme::appOrange)));
    setAutoFillBackground(true);
    setFont(Theme::boldFont(11));
}
