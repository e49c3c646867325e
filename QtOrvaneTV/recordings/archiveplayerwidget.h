#ifndef ARCHIVEPLAYERWIDGET_H
#define ARCHIVEPLAYERWIDGET_H

#include "archive.h"
#include "avplayer.h"
#include "navigation/videopage.h"
#include "session/playersettings.h"
#include "sharedworkspace.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class QMenu;
class QTimer;
class QtOVCoreAPIFramework;

namespace OrvaneAV {
class AVError;
class OpenGLWidgetRenderer;
} // namespace OrvaneAV

namespace Ui {
class ArchivePlayerWidget;
}

// One recording, full size: the video, a header with its name and menu, and a
// control strip (the extended preview, a time slider, play/pause, the times).
// It applies the recording's settings, records it as viewed, opens it again
// after a network failure, and reports the bytes watched.
class ArchivePlayerWidget
    : public QWidget
    , public VideoPage
{
    Q_OBJECT

public:
    ArchivePlayerWidget(QWidget *parent, const Archive &archive, const SharedWorkspace &space,
                        const QString &overlayText, QtOVCoreAPIFramework *framework,
                        const PlayerSettings &settings);
    ~ArchivePlayerWidget() override;

    void start() override;
    void stop() override;
    OrvaneAV::AVPlayer *getPlayer() const { return player.get(); }
    Archive currentArchive() const { return archive; }
    OrvaneAV::OpenGLWidgetRenderer *videoRenderer() const { return renderer; }
    qint64 unreportedBytes() const { return fileUsageBytes; }
    // "HH:mm:ss" above 3632400 ms, else "mm:ss".
    static QString timeFormat(qint64 durationMs);
    // One tick of the report timer (driven by the timer; callable to step it).
    void streamTimerTick();

signals:
    void showPlayerSettings(Archive archive);
    void stopped();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void applySettings(const PlayerSettings &newSettings);
    void playerStateChanged(OrvaneAV::AVPlayer::State state);
    void positionChanged(qint64 position);
    void showPosition(qint64 position);
    void updatePlayIcon();
    void playClicked();
    void showContextMenu(const QPoint &globalPosition);
    void handleError(const OrvaneAV::AVError &error);
    void startStreamTimer();
    void sendStreamInfo();
    void handleSize();

    Ui::ArchivePlayerWidget *ui;
    Archive archive;
    SharedWorkspace space;
    OrvaneAV::OpenGLWidgetRenderer *renderer = nullptr;
    std::unique_ptr<OrvaneAV::AVPlayer> player;
    QString overlayText;
    PlayerSettings settings;
    QPointer<QMenu> menu;
    bool isDraggingSlider = false;
    QTimer *streamTimer = nullptr;
    quint64 ticks = 0;
    // 64 bits: reports that keep failing must not wrap the count.
    qint64 fileUsageBytes = 0;
    QtOVCoreAPIFramework *framework;
    // After a network failure: where playback was, and the pause before the
    // next attempt (1 s, doubling up to 10 s; back to 1 s once it plays).
    qint64 m_resumeAt = -1;
    int m_retryMs = 1000;
    qint64 m_lastPosition = 0;
    QMetaObject::Connection m_settingsConnection;
    QMetaObject::Connection m_reportConnection;
};

#endif // ARCHIVEPLAYERWIDGET_H
