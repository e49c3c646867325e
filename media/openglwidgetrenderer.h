#pragma once

#include "videoframesource.h"

#include <QOpenGLTextureBlitter>
#include <QOpenGLWidget>
#include <QPointer>

namespace OrvaneAV {

class AVPlayer;

// A widget that shows the video of the player it is attached to (see
// AVPlayer::setRenderer). It only shows frames the player has already drawn on
// its own thread, so painting is a texture copy and the player's overlay text.
// A player can move to another renderer while playing; the picture follows.
class OpenGLWidgetRenderer : public QOpenGLWidget
{
    Q_OBJECT
public:
    explicit OpenGLWidgetRenderer(QWidget *parent = nullptr);
    ~OpenGLWidgetRenderer() override;

    QWidget *widget() { return this; }
    AVPlayer *player() const { return m_player; }
    // Frames shown since the renderer was attached to its player.
    qint64 shownFrames() const { return m_shownFrames; }

protected:
    void initializeGL() override;
    void paintGL() override;
    void resizeGL(int width, int height) override;

private:
    friend class AVPlayer;
    void attach(AVPlayer *player, VideoFrameSource *source);
    void detach();
    void drawOverlay(const QString &text);

    QPointer<AVPlayer> m_player;
    VideoFrameSource *m_source = nullptr;
    VideoFrameSource::Frame m_held;
    QOpenGLTextureBlitter m_blitter;
    QMetaObject::Connection m_frameConnection;
    QMetaObject::Connection m_overlayConnection;
    qint64 m_shownFrames = 0;
};

// Recordings use the same renderer.
using GLWidgetRenderer2 = OpenGLWidgetRenderer;
using VideoRenderer = OpenGLWidgetRenderer;

} // namespace OrvaneAV
