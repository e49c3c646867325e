#include "company/projectspacewidget.h"
#include "ui_projectspacewidget.h"

ProjectSpaceWidget::ProjectSpaceWidget(QWidget *parent, const CompanyShare &share)
    : QWidget(parent)
    , ui(new Ui::ProjectSpaceWidget)
    , share(share)
{
    ui->setupUi(this);
    setAttribute(Qt::WA_StyledBackground);
    populateData();
}

ProjectSpaceWidget::~ProjectSpaceWidget()
{
    delete ui;
}

void ProjectSpaceWidget::populateData()
{
    ui->spaceLabel->setText(share.shareName);
    ui->sharedByLabel->setText(tr("Shared by ") + share.sharer.getFullName());
}
