#ifndef OPENGLWIDGETRENDERER_H
#define OPENGLWIDGETRENDERER_H

#include "videoframesource.h"

#include <QPointer>
#include <QWidget>

namespace OrvaneAV {

class AVPlayer;

// A widget that shows the video of the player it is attached to (see
// AVPlayer::setRenderer). It only shows frames the player has already drawn on
// its own thread: on a GPU through an OpenGL surface inside it (a texture copy),
// elsewhere by painting the drawn pixels. The player's overlay text is drawn on
// top. A player can move to another renderer while playing; the picture follows.
class OpenGLWidgetRenderer : public QWidget
{
    Q_OBJECT
public:
    explicit OpenGLWidgetRenderer(QWidget *parent = nullptr);
    ~OpenGLWidgetRenderer() override;

    QWidget *widget() { return this; }
    AVPlayer *player() const { return m_player; }
    // Frames shown since the renderer was attached to its player.
    qint64 shownFrames() const { return m_shownFrames; }
    // What the renderer shows now, video and overlay, as a person sees it.
    QImage grabFrame();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    class Surface;
    friend class AVPlayer;
    friend class Surface;

    void attach(AVPlayer *player, VideoFrameSource *source);
    void detach();
    void repaintVideo();
    // Takes the newest frame, if there is one, and keeps it until the next.
    void takeNewestFrame();
    QRect videoRect(const QSize &area) const;
    void drawOverlay(QPainter &painter, const QRect &area) const;

    QPointer<AVPlayer> m_player;
    VideoFrameSource *m_source = nullptr;
    VideoFrameSource::Frame m_held;
    Surface *m_surface = nullptr; // OpenGL drawing only
    QMetaObject::Connection m_frameConnection;
    QMetaObject::Connection m_overlayConnection;
    qint64 m_shownFrames = 0;
};

// Recordings use the same renderer.
using GLWidgetRenderer2 = OpenGLWidgetRenderer;
using VideoRenderer = OpenGLWidgetRenderer;

} // namespace OrvaneAV

#endif // OPENGLWIDGETRENDERER_H
