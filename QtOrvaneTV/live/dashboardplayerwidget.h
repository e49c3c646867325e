#ifndef DASHBOARDPLAYERWIDGET_H
#define DASHBOARDPLAYERWIDGET_H

#include "avplayer.h"
#include "camera.h"
#include "session/playersettings.h"

#include <QPointer>
#include <QWidget>

class AspectRatioSingleItemLayout;
class QLabel;
class QMenu;

namespace OrvaneAV {
class OpenGLWidgetRenderer;
}

namespace Ui {
class DashboardPlayerWidget;
}

// One tile of the multiview: a live source drawn by a player the dashboard hands
// in (the tile never owns it), or a still picture while there is no video (the
// stream's snapshot, the offline picture or a loading animation). A header strip
// shows the source's name and a menu.
class DashboardPlayerWidget : public QWidget
{
    Q_OBJECT

public:
    enum StreamStatus { OnlinePlaying = 0, Online = 1, Offline = 2 };

    explicit DashboardPlayerWidget(QWidget *parent = nullptr);
    ~DashboardPlayerWidget() override;

    static StreamStatus statusForStream(const SharedStream &stream);
    // The address a stream is played from (empty without sources). The query
    // values are percent-encoded; the player hands FFmpeg the decoded values.
    static QString streamAddress(const SharedStream &stream, const PlayerSettings &settings);

    void playSourceUsingPlayer(const Camera &camera, OrvaneAV::AVPlayer *player,
                               const PlayerSettings &settings);
    void stop();
    bool isPlaying() const;
    Camera currentSource() const { return m_currentCamera; }
    void setHighlighted(bool highlighted);
    bool isHighlighted() const { return m_highlighted; }
    bool isShowingLoadingAnimation() const { return m_isShowingLoadingAnimation; }
    OrvaneAV::OpenGLWidgetRenderer *videoRenderer() const { return renderer; }
    OrvaneAV::AVPlayer *currentPlayer() const { return player; }
    // The resource name of the still picture shown ("" while video plays).
    QString stillImage() const { return m_stillImage; }

signals:
    void selected(QString cameraId);
    void showPlayerSettings(Camera camera);
    void muteChanged(Camera camera, bool muted);
    void fullScreenRequested(Camera camera);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    void showOfflineLook();
    void showPlayingLook();
    void showStill(const QString &resource);
    void showStill(const QPixmap &picture);
    void startLoadingAnimation();
    void animationStep(int frame);
    void showMenu();
    void followState(OrvaneAV::AVPlayer::State state);

    Ui::DashboardPlayerWidget *ui;
    QPointer<QMenu> menu;
    AspectRatioSingleItemLayout *imageLayout = nullptr;
    QPointer<OrvaneAV::AVPlayer> player;
    OrvaneAV::OpenGLWidgetRenderer *renderer = nullptr;
    QLabel *backgroundImageView = nullptr;
    bool m_isShowingLoadingAnimation = false;
    bool m_highlighted = false;
    Camera m_currentCamera;
    QString m_stillImage;
    QString m_address;
    // Set while the tile means to show video, so that a stream that went away
    // is opened again when it returns.
    bool m_wantsVideo = false;
    int m_retryMs = 0;
    QMetaObject::Connection m_stateConnection;
};

#endif // DASHBOARDPLAYERWIDGET_H
