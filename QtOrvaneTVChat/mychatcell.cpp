#include "mychatcell.h"
#include "ui_mychatcell.h"

MyChatCell::MyChatCell(const QString &image, QWidget *parent)
    : ChatCell(parent)
    , ui(new Ui::MyChatCell)
{
    ui->setupUi(this);
    const bool followUp = isFollowUpImage(image);
    attachBubble(ui->background, ui->label, ui->label_2, ui->bubbleLayout, followUp);
    ui->background->setStyleSheet(QStringLiteral("QWidget#background { border-width: 17px %2px %3px "
                                                 "21px;border-image: url(%1) 17 %2 %3 21 stretch;\n}")
                                      .arg(image)
                                      .arg(followUp ? 21 : 42)
                                      .arg(17));
    QMargins margins = ui->horizontalLayout->contentsMargins();
    margins.setTop(followUp ? 6 : 12);
    ui->horizontalLayout->setContentsMargins(margins);
}

MyChatCell::~MyChatCell()
{
    delete ui;
}
