#ifndef APPBUTTON_H
#define APPBUTTON_H

#include <QPushButton>

// The orange call-to-action button.
class AppButton : public QPushButton
{
    Q_OBJECT

public:
    explicit AppButton(QWidget *parent = nullptr);
};

#endif // APPBUTTON_H
