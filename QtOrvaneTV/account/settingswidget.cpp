#include "account/settingswidget.h"
#include "ui_settingswidget.h"

#include <QPushButton>

SettingsWidget::SettingsWidget(QWidget *parent, const User &user)
    : QWidget(parent)
    , ui(new Ui::SettingsWidget)
    , user(user)
{
    ui->setupUi(this);
    ui->accountWidget->setAttribute(Qt::WA_StyledBackground);
    ui->userInitialLabel->setText(initials(user));
    ui->userNameLabel->setText(this->user.getFullName());
    ui->userEmailLabel->setText(user.email);
    connect(ui->logoutButton, &QPushButton::clicked, this, &SettingsWidget::logout);
}

SettingsWidget::~SettingsWidget()
{
    delete ui;
}

QString SettingsWidget::initials(const User &user)
{
    QString text;
    if (!user.firstName.isEmpty())
        text += user.firstName.at(0).toUpper();
    if (!user.lastName.isEmpty())
        text += user.lastName.at(0).toUpper();
    return text;
}
