#pragma once

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

// Draws one player's video on a thread of its own. mpv renders every frame into
// a texture of a small ring; renderers (on the GUI thread, in contexts sharing
// textures with this one) take the newest texture and hold it while they show
// it, so drawing never waits for the GUI and the GUI never waits for drawing.
class VideoFrameSource : public QThread
{
    Q_OBJECT
public:
    struct Frame {
        unsigned texture = 0;
        QSize size;
        int slot = -1;
    };

    // Created and destroyed on the GUI thread; the thread starts at once.
    explicit VideoFrameSource(mpv_handle *mpv);
    ~VideoFrameSource() override;

    bool isReady() const;

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
    struct Slot {
        std::unique_ptr<QOpenGLFramebufferObject> fbo;
        int holders = 0;
        bool writing = false;
    };

    static void onUpdate(void *context);
    void draw();
    int reserveSlot();

    mpv_handle *m_mpv;
    QOffscreenSurface *m_surface;
    QOpenGLContext *m_context = nullptr;
    mpv_render_context *m_render = nullptr;
    QObject *m_receiver = nullptr;
    std::atomic<bool> m_updateQueued{false};
    std::atomic<bool> m_notified{false};

    mutable QMutex m_mutex;
    QVector<Slot *> m_slots;
    int m_newest = -1;
    QSize m_targetSize;
    bool m_ready = false;
    bool m_failed = false;
    bool m_firstDrawn = false;
    qint64 m_drawn = 0;
    std::deque<qint64> m_drawTimes; // milliseconds, the last second's frames
};

} // namespace OrvaneAV
