#ifndef VIDEOFRAMESOURCE_H
#define VIDEOFRAMESOURCE_H

#include <QByteArray>
#include <QImage>
#include <QMutex>
#include <QObject>
#include <QSize>
#include <QThread>
#include <QVector>

#include <atomic>
#include <deque>
#include <memory>

class QOffscreenSurface;
class QOpenGLContext;
class QOpenGLFramebufferObject;
struct mpv_handle;
struct mpv_render_context;

namespace OrvaneAV {

// Draws one player's video on a thread of its own, into a small ring of frames
// that every renderer attached to the player can show. Renderers hold the newest
// frame while they show it and the thread never writes a held frame, so drawing
// never waits for the GUI and the GUI never waits for drawing.
//
// On a GPU, mpv's OpenGL renderer draws into textures (in a context sharing
// them with the renderers'). Where OpenGL is itself rasterised on the CPU
// (llvmpipe and friends, as in virtual displays), mpv's software renderer draws
// into memory instead: its SIMD scaling and conversion cost a fraction of the
// shader passes, and the renderers paint the pixels without OpenGL at all.
class VideoFrameSource : public QThread
{
    Q_OBJECT
public:
    enum class Drawing { OpenGL, Software };

    struct Frame
    {
        int slot = -1;
        QSize size;
        unsigned texture = 0; // OpenGL drawing
        QImage image; // software drawing; valid while held
    };

    // How this machine draws video, decided once on the GUI thread from the
    // OpenGL renderer's name; ORVANE_VIDEO_DRAWING=opengl|software forces it.
    static Drawing machineDrawing();

    // Created and destroyed on the GUI thread; the thread starts at once.
    explicit VideoFrameSource(mpv_handle *mpv);
    ~VideoFrameSource() override;

    Drawing drawing() const { return m_drawing; }

    // The size frames are drawn at: the largest renderer's size in device pixels.
    void setTargetSize(const QSize &size);

    // The newest frame, held until release(); false when there is none.
    bool acquire(Frame *frame);
    void release(Frame *frame);
    // Forget the newest frame (playback stopped): renderers go black.
    void clear();

    double displayFps() const;
    qint64 drawnFrames() const;
    void resetCounters();

signals:
    // Emitted once on the drawing thread: drawing is set up (or failed to be).
    void setUp(bool ok);
    // Emitted on the drawing thread after a frame was drawn; connect queued.
    void frameReady();
    void firstFrameDrawn();

protected:
    void run() override;

private:
    struct Slot
    {
        std::unique_ptr<QOpenGLFramebufferObject> fbo; // OpenGL drawing
        QByteArray memory; // software drawing
        QSize size;
        int stride = 0;
        int holders = 0;
        bool writing = false;
        uchar *pixels();
    };

    static void onUpdate(void *context);
    void draw();
    bool drawInto(Slot *slot, const QSize &size);
    int reserveSlot();

    mpv_handle *m_mpv;
    const Drawing m_drawing;
    QOffscreenSurface *m_surface = nullptr;
    QOpenGLContext *m_context = nullptr;
    mpv_render_context *m_render = nullptr;
    QObject *m_receiver = nullptr;
    std::atomic<bool> m_updateQueued{false};
    std::atomic<bool> m_notified{false};

    mutable QMutex m_mutex;
    QVector<Slot *> m_slots;
    int m_newest = -1;
    QSize m_targetSize;
    bool m_firstDrawn = false;
    qint64 m_drawn = 0;
    std::deque<qint64> m_drawTimes; // milliseconds, the last second's frames
};

} // namespace OrvaneAV

#endif // VIDEOFRAMESOURCE_H
