#ifndef DASHBOARDWIDGET_H
#define DASHBOARDWIDGET_H

#include "avplayer.h"
#include "camera.h"
#include "companyshare.h"
#include "navigation/videopage.h"
#include "session/playersettings.h"
#include "session/settings.h"
#include "sharedworkspace.h"
#include "user.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QPointer>
#include <QVector>
#include <QWidget>

class DashboardPlayerWidget;
class DashboardSourceWidget;
class QTimer;
class QtOVCoreAPIFramework;

namespace Ui {
class DashboardWidget;
}

// The multiview: one to four live sources at once in player tiles, the layout
// and source strips under them, one player per stream (players whose playback
// stopped wait to be reused), the first tile's frame rate, and every 15 s a
// report to the service of the bytes watched per stream.
class DashboardWidget
    : public QWidget
    , public VideoPage
{
    Q_OBJECT

public:
    enum State { closed = 0, showingLayouts = 1, showingSources = 2 };

    DashboardWidget(QWidget *parent, const SharedWorkspace &space, const QString &overlayText,
                    const User &user, QtOVCoreAPIFramework *framework);
    ~DashboardWidget() override;

    void start() override;
    void stop() override;
    void playOneUp(const Camera &camera);
    void setupSavedLayout();
    void setPreviewMinimumWidths();

    // What the layout shows, for the window and the tests.
    State state() const { return m_state; }
    LayoutPreference layout() const;
    // The tile of slot 0 to 3 for the stored layout; null for an unused slot.
    DashboardPlayerWidget *slotTile(int slot) const;
    DashboardPlayerWidget *preview(int index) const;
    QVector<DashboardSourceWidget *> stripSources() const { return m_stripSources; }
    // The layouts the strip offers, by name ("LayoutOne" ...).
    QStringList stripLayouts() const;
    OrvaneAV::AVPlayer *playerForStream(const QString &streamId) const
    {
        return streamToPlayerMap.value(streamId);
    }
    QMap<QString, qint64> watchedBytes() const { return streamToBitrateMap; }
    bool toolbarShown() const;
    // One tick of the report timer (driven by the timer; callable to step it).
    void streamTimerTick();
    int ticksSinceReport() const { return ticks; }

signals:
    void showPlayerSettings(SharedStream stream, OrvaneAV::AVPlayer *player);
    void playerFPSChanged(int current, int average);

public slots:
    void layoutButtonClicked();
    void sourcesButtonClicked();
    void showOneUp();
    void showTwoUp();
    void showThreeUp();
    void showFourUp();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QVector<Camera> sources() const;
    void showLayout(LayoutPreference layout);
    void finishLayoutSetup();
    void setupPlayer();
    void connectTile(DashboardPlayerWidget *tile);
    void playInTile(DashboardPlayerWidget *tile, const Camera &source);
    OrvaneAV::AVPlayer *makePlayerForId(const QString &streamId);
    void applySettings(OrvaneAV::AVPlayer *player, const PlayerSettings &settings, bool delayAndAudio);
    void setState(State state);
    void rebuildStrip();
    void clearSourceSelection();
    void highlightBrowserCell(const QString &cameraId);
    void tileSelected(const QString &cameraId);
    void stripSourceClicked(const QString &cameraId);
    void toggleFullScreen(const Camera &camera);
    void muteChanged(const Camera &camera, bool muted);
    void startStreamTimer();
    void sendStreamStats(const QString &slug, const CompanyShare &share, QMap<QString, qint64> pending);

    Ui::DashboardWidget *ui;
    SharedWorkspace space;
    QString overlayText;
    QList<QPointer<OrvaneAV::AVPlayer>> waitingPlayers;
    QMap<QString, OrvaneAV::AVPlayer *> streamToPlayerMap;
    // Bytes watched per stream since the last accepted report (64 bits: a busy
    // stream passes 2^31 within the hour when reports fail).
    QMap<QString, qint64> streamToBitrateMap;
    QTimer *streamTimer;
    int ticks = 0;
    QVector<int> framerates;
    State m_state = closed;
    bool isShowingFullScreen = false;
    LayoutPreference previousLayout = FourUp;
    User user;
    QtOVCoreAPIFramework *framework;
    bool m_stripBuiltOneUp = false;
    QVector<DashboardSourceWidget *> m_stripSources;
    QStringList m_stripLayouts;
    // Each player follows the settings of the stream it plays now.
    QHash<OrvaneAV::AVPlayer *, QMetaObject::Connection> m_settingsConnections;
    QMetaObject::Connection m_reportConnection;
};

#endif // DASHBOARDWIDGET_H
