#include "company/projectfeedselectionwidget.h"
#include "ui_projectfeedselectionwidget.h"

#include <QLayout>
#include <QTabBar>

ProjectFeedSelectionWidget::ProjectFeedSelectionWidget(QWidget *parent, QWidget *liveFeeds,
                                                       QWidget *recordings)
    : QWidget(parent)
    , ui(new Ui::ProjectFeedSelectionWidget)
    , liveFeeds(liveFeeds)
    , recordings(recordings)
{
    ui->setupUi(this);
    // The tabs' font is set here rather than in the style sheet, so that the tab
    // bar measures its texts with the font it draws them in.
    QFont font(QStringLiteral("HK Grotesk"), 13, QFont::DemiBold);
    ui->tabWidget->tabBar()->setFont(font);
    ui->tabWidget->setTabIcon(0, QIcon(QStringLiteral(":/LiveFeed.png")));
    ui->tabWidget->setTabIcon(1, QIcon(QStringLiteral(":/Recordings.png")));
    if (liveFeeds)
        ui->LiveFeedsContainer->layout()->addWidget(liveFeeds);
    if (recordings)
        ui->RecordingsContainer->layout()->addWidget(recordings);
}

ProjectFeedSelectionWidget::~ProjectFeedSelectionWidget()
{
    // Taken out of the containers by stop(), so owned here explicitly.
    delete liveFeeds;
    delete recordings;
    delete ui;
}

void ProjectFeedSelectionWidget::stop()
{
    if (m_stopped)
        return;
    m_stopped = true;
    if (auto *video = dynamic_cast<VideoPage *>(liveFeeds))
        video->stop();
    if (liveFeeds)
        ui->LiveFeedsContainer->layout()->removeWidget(liveFeeds);
    if (recordings)
        ui->RecordingsContainer->layout()->removeWidget(recordings);
    emit stopped();
}
