#include "live/livefeedselectionwidget.h"
#include "ui_livefeedselectionwidget.h"

#include "live/dashboardsourcewidget.h"
#include "session/globalmanager.h"
#include "ui/flowlayout.h"

#include <QToolButton>

LiveFeedSelectionWidget::LiveFeedSelectionWidget(QWidget *parent, const SharedWorkspace &space)
    : QWidget(parent)
    , ui(new Ui::LiveFeedSelectionWidget)
    , space(space)
    , flowLayout(new FlowLayout(-1, -1, 20))
{
    ui->setupUi(this);
    ui->infoLabel->setToolTip(multiviewHelp());
    ui->twoUpButton->setIcon(QIcon(QStringLiteral(":/LayoutTwo.png")));
    ui->threeUpButton->setIcon(QIcon(QStringLiteral(":/LayoutThree.png")));
    ui->fourUpButton->setIcon(QIcon(QStringLiteral(":/LayoutFour.png")));
    connect(ui->twoUpButton, &QToolButton::clicked, this, &LiveFeedSelectionWidget::twoUpSelected);
    connect(ui->threeUpButton, &QToolButton::clicked, this, &LiveFeedSelectionWidget::threeUpSelected);
    connect(ui->fourUpButton, &QToolButton::clicked, this, &LiveFeedSelectionWidget::fourUpSelected);
    populate();
}

LiveFeedSelectionWidget::~LiveFeedSelectionWidget()
{
    delete ui;
}

QString LiveFeedSelectionWidget::multiviewHelp()
{
    return tr(
        "<html><head/><body><p>Multiview helps you view and collaborate with multiple live feeds at once. "
        "</p><p>You can choose the placement of each camera once you\u2019ve selected a layout from below. "
        "Your placement of cameras will be saved automatically</p></body></html>");
}

void LiveFeedSelectionWidget::populate()
{
    const QVector<Camera> sources = GlobalManager::sharedInstance()->getSharedCamerasForSpace(space, false);
    const int n = sources.size();
    ui->multiViewWidget->setVisible(n != 1);
    ui->threeUpButton->setVisible(n >= 3);
    ui->fourUpButton->setVisible(n >= 4);
    for (const Camera &source : sources) {
        auto *tile = new DashboardSourceWidget(ui->grid);
        tile->setCameraId(source.id);
        const QString id = source.id;
        connect(tile, &DashboardSourceWidget::selected, this, [this, sources](const QString &chosen) {
            for (const Camera &camera : sources) {
                if (camera.id == chosen) {
                    emit cameraSelected(camera);
                    return;
                }
            }
        });
        tile->resize(tile->maximumSize());
        flowLayout->addWidget(tile);
        tiles.append(tile);
    }
    ui->grid->setLayout(flowLayout);
    flowLayout->invalidate();
}

void LiveFeedSelectionWidget::stop()
{
    for (DashboardSourceWidget *tile : qAsConst(tiles)) {
        flowLayout->removeWidget(tile);
        disconnect(tile, &DashboardSourceWidget::selected, this, nullptr);
    }
}
