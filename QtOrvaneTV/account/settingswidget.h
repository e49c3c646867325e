#ifndef SETTINGSWIDGET_H
#define SETTINGSWIDGET_H

#include "user.h"

#include <QWidget>

namespace Ui {
class SettingsWidget;
}

// The account screen: the signed-in user's initials, name and e-mail, and the
// button that signs out.
class SettingsWidget : public QWidget
{
    Q_OBJECT

public:
    SettingsWidget(QWidget *parent, const User &user);
    ~SettingsWidget() override;

    // The upper-cased first letters of the first and last names, each only when
    // that name is not empty.
    static QString initials(const User &user);

signals:
    void logout();

private:
    Ui::SettingsWidget *ui;
    User user;
};

#endif // SETTINGSWIDGET_H
