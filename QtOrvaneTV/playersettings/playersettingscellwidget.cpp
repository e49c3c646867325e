#include "playersettings/playersettingscellwidget.h"
#include "ui_playersettingscellwidget.h"

PlayerSettingsCellWidget::PlayerSettingsCellWidget(QWidget *parent, const QString &title,
                                                   const QString &subtitle)
    : QWidget(parent)
    , ui(new Ui::PlayerSettingsCellWidget)
{
    ui->setupUi(this);
    setAttribute(Qt::WA_StyledBackground);
    ui->titleLabel->setText(title);
    ui->subtitleLabel->setText(subtitle);
}

PlayerSettingsCellWidget::~PlayerSettingsCellWidget()
{
    delete ui;
}

QString PlayerSettingsCellWidget::getTitle() const
{
    return ui->titleLabel->text();
}

QString PlayerSettingsCellWidget::subtitle() const
{
    return ui->subtitleLabel->text();
}

void PlayerSettingsCellWidget::setSubtitle(const QString &subtitle)
{
    ui->subtitleLabel->setText(subtitle);
}
