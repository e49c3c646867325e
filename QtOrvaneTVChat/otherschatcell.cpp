#include "otherschatcell.h"
#include "ui_otherschatcell.h"

#include "chattheme.h"

OthersChatCell::OthersChatCell(const QString &image, const QString &name, QWidget *parent)
    : ChatCell(parent)
    , ui(new Ui::OthersChatCell)
{
    ui->setupUi(this);
    const bool followUp = isFollowUpImage(image);
    attachBubble(ui->background, ui->label, ui->label_2, ui->bubbleLayout, followUp);
    ui->background->setStyleSheet(QStringLiteral("QWidget#background { border-width: %2px 21px 21px "
                                                 "21px;border-image: url(%1) %2 21 21 21 stretch;\n}")
                                      .arg(image)
                                      .arg(followUp ? 4 : 16));
    ui->nameLabel->setTextFormat(Qt::PlainText);
    ui->nameLabel->setText(name);
    ui->initialsLabel->setTextFormat(Qt::PlainText);
    ui->initialsLabel->setText(ChatTheme::initials(name));
    ui->initialsLabel->setStyleSheet(QStringLiteral("border-radius: 20; color: white; background-color: %1")
                                         .arg(ChatTheme::nameColor(name).name()));
    ui->nameContainer->setVisible(!followUp);
    QMargins nameMargins = ui->nameLayout->contentsMargins();
    nameMargins.setTop(followUp ? 0 : 12);
    ui->nameLayout->setContentsMargins(nameMargins);
    ui->verticalLayout->setContentsMargins(0, 6, 0, 0);
}

OthersChatCell::~OthersChatCell()
{
    delete ui;
}

void OthersChatCell::setSharedRecording()
{
    ui->label->setStyleSheet(QStringLiteral("color: %1; text-decoration: underline; background: transparent;")
                                 .arg(ChatTheme::linkColor().name()));
    ui->label->setCursor(Qt::PointingHandCursor);
}

QString OthersChatCell::name() const
{
    return ui->nameLabel->text();
}

QString OthersChatCell::initials() const
{
    return ui->initialsLabel->text();
}

bool OthersChatCell::isNameShown() const
{
    return !ui->nameContainer->isHidden();
}
