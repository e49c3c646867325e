#ifndef PROJECTSPACEWIDGET_H
#define PROJECTSPACEWIDGET_H

#include "companyshare.h"

#include <QWidget>

namespace Ui {
class ProjectSpaceWidget;
}

// One space in a company card: its name and who shared it.
class ProjectSpaceWidget : public QWidget
{
    Q_OBJECT

public:
    ProjectSpaceWidget(QWidget *parent, const CompanyShare &share);
    ~ProjectSpaceWidget() override;

    void populateData();

private:
    Ui::ProjectSpaceWidget *ui;
    CompanyShare share;
};

#endif // PROJECTSPACEWIDGET_H
