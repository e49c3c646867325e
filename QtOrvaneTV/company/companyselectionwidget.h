#ifndef COMPANYSELECTIONWIDGET_H
#define COMPANYSELECTIONWIDGET_H

#include "companyshare.h"

#include <QVector>
#include <QWidget>

class QListWidgetItem;

namespace Ui {
class CompanySelectionWidget;
}

// The companies that share content with the user, one card each, sorted by name
// (code-point order); a welcome text when there are none. Built once from the
// shares handed in; it does not follow later changes of the session model.
class CompanySelectionWidget : public QWidget
{
    Q_OBJECT

public:
    CompanySelectionWidget(QWidget *parent, const QVector<CompanyShare> &shares);
    ~CompanySelectionWidget() override;

    QVector<CompanyShare> sortedShares() const { return shares; }

signals:
    // The space the user clicked, not the company's representative share.
    void companySelected(CompanyShare share);

private:
    Ui::CompanySelectionWidget *ui;
    QVector<CompanyShare> shares;
    QVector<QListWidgetItem *> items;
};

#endif // COMPANYSELECTIONWIDGET_H
