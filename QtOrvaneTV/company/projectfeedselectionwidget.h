#ifndef PROJECTFEEDSELECTIONWIDGET_H
#define PROJECTFEEDSELECTIONWIDGET_H

#include "navigation/videopage.h"

#include <QWidget>

namespace Ui {
class ProjectFeedSelectionWidget;
}

// A space's page: its live feeds and its recordings in two tabs. Owns both page
// widgets. The navigation stack stops it when it is popped: the live feeds stop
// first, then stopped() is reported (once), which ends the chat program.
class ProjectFeedSelectionWidget
    : public QWidget
    , public VideoPage
{
    Q_OBJECT

public:
    ProjectFeedSelectionWidget(QWidget *parent, QWidget *liveFeeds, QWidget *recordings);
    ~ProjectFeedSelectionWidget() override;

    QWidget *liveFeedsPage() const { return liveFeeds; }
    QWidget *recordingsPage() const { return recordings; }
    void stop() override;

signals:
    void stopped();

private:
    Ui::ProjectFeedSelectionWidget *ui;
    QWidget *liveFeeds;
    QWidget *recordings;
    bool m_stopped = false;
};

#endif // PROJECTFEEDSELECTIONWIDGET_H
