#include "company/companyselectionwidget.h"
#include "ui_companyselectionwidget.h"

#include "company/companyselectionitemwidget.h"
#include "ui/theme.h"

#include <QScrollBar>

#include <algorithm>

CompanySelectionWidget::CompanySelectionWidget(QWidget *parent, const QVector<CompanyShare> &shares)
    : QWidget(parent)
    , ui(new Ui::CompanySelectionWidget)
    , shares(shares)
{
    ui->setupUi(this);
    // Plain code-point order, not the locale's: "Beacon" before "acme".
    std::sort(this->shares.begin(), this->shares.end(),
              [](const CompanyShare &a, const CompanyShare &b) { return a.companyName < b.companyName; });
    ui->listWidget->setVisible(!this->shares.isEmpty());
    ui->emptyView->setVisible(ui->listWidget->isHidden());

    for (const CompanyShare &share : qAsConst(this->shares)) {
        auto *item = new QListWidgetItem(ui->listWidget);
        item->setFlags(Qt::NoItemFlags);
        item->setBackground(Theme::mainBackground);
        auto *card = new CompanySelectionItemWidget(ui->listWidget, share);
        item->setSizeHint(card->sizeHint());
        ui->listWidget->setItemWidget(item, card);
        connect(card, &CompanySelectionItemWidget::selected, this, &CompanySelectionWidget::companySelected);
        items.append(item);
    }
    ui->listWidget->verticalScrollBar()->setSingleStep(10);
}

CompanySelectionWidget::~CompanySelectionWidget()
{
    disconnect(ui->listWidget, nullptr, this, nullptr);
    delete ui;
}
