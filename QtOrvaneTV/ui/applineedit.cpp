#include "ui/applineedit.h"

#include "ui/theme.h"

AppLineEdit::AppLineEdit(QWidget *parent)
    : QLineEdit(parent)
{
    endEditing();
    setAutoFillBackground(true);
    setTextMargins(12, 0, 12, 0);
    setFont(Theme::mainFont(10));
}

void AppLineEdit::applyLook(const QColor &border, const QColor &background)
{
    setStyleSheet(QStringLiteral("border-radius: 8px; border: 1px solid %1; color: %2; background-color: %3;")
                      .arg(Theme::styleColor(border), Theme::styleColor(Theme::primaryText),
                           Theme::styleColor(background)));
}

void AppLineEdit::setError(bool error)
{
    if (error)
        applyLook(Theme::appRed, Theme::mainBackground);
    else
        endEditing();
}

void AppLineEdit::beginEditing()
{
    applyLook(Theme::textFieldBorderL, Theme::mainBackground);
}

void AppLineEdit::endEditing()
{
    applyLook(Theme::mainBackground, Theme::textFieldBackground);
}

void AppLineEdit::focusInEvent(QFocusEvent *event)
{
    beginEditing();
    QLineEdit::focusInEvent(event);
}

void AppLineEdit::focusOutEvent(QFocusEvent *event)
{
    endEditing();
    QLineEdit::focusOutEvent(event);
}
