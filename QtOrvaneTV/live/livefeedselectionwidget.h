#ifndef LIVEFEEDSELECTIONWIDGET_H
#define LIVEFEEDSELECTIONWIDGET_H

#include "camera.h"
#include "navigation/videopage.h"
#include "sharedworkspace.h"

#include <QVector>
#include <QWidget>

class DashboardSourceWidget;
class FlowLayout;

namespace Ui {
class LiveFeedSelectionWidget;
}

// The first tab of a space's page: one tile per live source, and the buttons
// that open the multiview in two-, three- or four-up.
class LiveFeedSelectionWidget
    : public QWidget
    , public VideoPage
{
    Q_OBJECT

public:
    LiveFeedSelectionWidget(QWidget *parent, const SharedWorkspace &space);
    ~LiveFeedSelectionWidget() override;

    static QString multiviewHelp();
    QVector<DashboardSourceWidget *> sourceTiles() const { return tiles; }
    void stop() override;

signals:
    void twoUpSelected();
    void threeUpSelected();
    void fourUpSelected();
    void cameraSelected(Camera camera);

private:
    void populate();

    Ui::LiveFeedSelectionWidget *ui;
    SharedWorkspace space;
    FlowLayout *flowLayout;
    QVector<DashboardSourceWidget *> tiles;
};

#endif // LIVEFEEDSELECTIONWIDGET_H
