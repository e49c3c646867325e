#include "navigation/rightbutton.h"

RightButton RightButton::iconButton(const QString &name)
{
    return {name, QString()};
}

RightButton RightButton::textButton(const QString &text)
{
    return {QString(), text};
}
