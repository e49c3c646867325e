#ifndef PASSWORDLINEEDIT_H
#define PASSWORDLINEEDIT_H

#include "ui/applineedit.h"

#include <QPixmap>

class QAction;

// The password field: an eye at its end shows or hides what was typed. It
// starts hidden.
class PasswordLineEdit : public AppLineEdit
{
    Q_OBJECT

public:
    explicit PasswordLineEdit(QWidget *parent = nullptr);

    bool isPasswordShown() const { return passwordShown; }
    QAction *toggleAction() const { return action; }

public slots:
    void togglePasswordShown();

private:
    void applyShown();

    QAction *action = nullptr;
    QPixmap shownIcon;
    QPixmap hiddenIcon;
    bool passwordShown = false;
};

#endif // PASSWORDLINEEDIT_H
