#ifndef COMPANYSELECTIONITEMWIDGET_H
#define COMPANYSELECTIONITEMWIDGET_H

#include "companyshare.h"

#include <QVector>
#include <QWidget>

namespace Ui {
class CompanySelectionItemWidget;
}

// One company's card: its name, when it was created and the user's spaces in it,
// read from the session model's table of shares by company slug.
class CompanySelectionItemWidget : public QWidget
{
    Q_OBJECT

public:
    CompanySelectionItemWidget(QWidget *parent, const CompanyShare &share);
    ~CompanySelectionItemWidget() override;

    void populateData();
    void populateSpaces(const QVector<CompanyShare> &spaces);

    static QString spacesToolTip();

signals:
    void selected(CompanyShare share);

public slots:
    void handleListSelection();

protected:
    bool event(QEvent *event) override;

private:
    Ui::CompanySelectionItemWidget *ui;
    CompanyShare share;
};

#endif // COMPANYSELECTIONITEMWIDGET_H
