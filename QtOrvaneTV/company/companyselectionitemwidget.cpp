#include "company/companyselectionitemwidget.h"
#include "ui_companyselectionitemwidget.h"

#include "company/projectspacewidget.h"
#include "session/globalmanager.h"
#include "ui/theme.h"

#include <QHelpEvent>
#include <QToolTip>

namespace {
constexpr int spaceRowHeight = 60;
}

CompanySelectionItemWidget::CompanySelectionItemWidget(QWidget *parent, const CompanyShare &share)
    : QWidget(parent)
    , ui(new Ui::CompanySelectionItemWidget)
    , share(share)
{
    setMouseTracking(true);
    ui->setupUi(this);
    connect(ui->spacesWidget, &QListWidget::itemClicked, this,
            &CompanySelectionItemWidget::handleListSelection);
    populateData();
}

CompanySelectionItemWidget::~CompanySelectionItemWidget()
{
    delete ui;
}

QString CompanySelectionItemWidget::spacesToolTip()
{
    return tr("Spaces allow you to collaborate with others who have\n"
              "the same content permissions. Join a space to get started.");
}

void CompanySelectionItemWidget::populateData()
{
    ui->companyLabel->setText(share.companyName);
    ui->createdLabel->setText(tr("Created ") + share.createdAt.toString(QStringLiteral("MMM dd yyyy")));
    const QMap<QString, QVector<CompanyShare>> table = GlobalManager::sharedInstance()->getCompanyShares();
    if (table.contains(share.companySlug))
        populateSpaces(table.value(share.companySlug));
}

void CompanySelectionItemWidget::populateSpaces(const QVector<CompanyShare> &spaces)
{
    for (const CompanyShare &space : spaces) {
        auto *item = new QListWidgetItem(ui->spacesWidget);
        item->setBackground(Theme::mainBackground);
        auto *row = new ProjectSpaceWidget(ui->spacesWidget, space);
        row->setFixedHeight(spaceRowHeight);
        item->setSizeHint(QSize(row->minimumWidth(), spaceRowHeight));
        ui->spacesWidget->setItemWidget(item, row);
    }
    const int height = ui->spacesWidget->height() + spaceRowHeight * spaces.size();
    ui->spacesWidget->setMinimumHeight(height);
    ui->spacesWidget->resize(ui->spacesWidget->width(), height);
    layout()->activate();
    resize(QRect(ui->label->geometry().topLeft(), ui->spacesWidget->geometry().bottomRight())
               .size()
               .expandedTo(sizeHint()));
}

void CompanySelectionItemWidget::handleListSelection()
{
    const QVector<CompanyShare> spaces
        = GlobalManager::sharedInstance()->getCompanyShares().value(share.companySlug);
    const int row = ui->spacesWidget->currentRow();
    if (row >= 0 && row < spaces.size())
        emit selected(spaces.at(row));
}

bool CompanySelectionItemWidget::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const QRect info(ui->infoLabel->mapTo(this, QPoint(0, 0)), ui->infoLabel->size());
        if (info.contains(help->pos())) {
            QToolTip::showText(help->globalPos(), spacesToolTip(), this);
        } else {
            QToolTip::hideText();
            event->ignore();
        }
        return true;
    }
    return QWidget::event(event);
}
