#ifndef RIGHTBUTTON_H
#define RIGHTBUTTON_H

#include <QString>

// What the navigation bar's right button shows for a page: an image resource
// named without extension, or a text.
class RightButton
{
public:
    static RightButton iconButton(const QString &name);
    static RightButton textButton(const QString &text);
    bool isEmpty() const { return iconName.isEmpty() && buttonText.isEmpty(); }

    QString iconName;
    QString buttonText;
};

#endif // RIGHTBUTTON_H
