#include "videoframesource.h"

#include "logcategories.h"

#include <mpv/render.h>
#include <mpv/render_gl.h>

#include <QElapsedTimer>
#include <QMutexLocker>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLFunctions>
#include <QtDebug>

namespace OrvaneAV {

namespace {

// Small enough to cost nothing, for players that no renderer shows: mpv still
// needs its frames drawn to keep time.
const QSize hiddenSize(64, 36);
// Renderers hold one frame each; beyond this many slots, frames are skipped.
const int maxSlots = 8;

void *procAddress(void *context, const char *name)
{
    auto *gl = static_cast<QOpenGLContext *>(context);
    return reinterpret_cast<void *>(gl->getProcAddress(QByteArray(name)));
}

qint64 monotonicMs()
{
    static QElapsedTimer clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return clock.elapsed();
}

VideoFrameSource::Drawing probeDrawing()
{
    const QByteArray forced = qgetenv("ORVANE_VIDEO_DRAWING");
    if (forced == "opengl")
        return VideoFrameSource::Drawing::OpenGL;
    if (forced == "software")
        return VideoFrameSource::Drawing::Software;
    QOffscreenSurface surface;
    surface.create();
    QOpenGLContext context;
    if (!context.create() || !context.makeCurrent(&surface))
        return VideoFrameSource::Drawing::Software; // no OpenGL at all
    const QByteArray renderer
        = QByteArray(reinterpret_cast<const char *>(context.functions()->glGetString(GL_RENDERER))).toLower();
    context.doneCurrent();
    for (const char *software : {"llvmpipe", "softpipe", "swrast", "software rasterizer"})
        if (renderer.contains(software))
            return VideoFrameSource::Drawing::Software;
    return VideoFrameSource::Drawing::OpenGL;
}

} // namespace

uchar *VideoFrameSource::Slot::pixels()
{
    // Rows start 64-byte aligned, for mpv's SIMD paths.
    const quintptr base = reinterpret_cast<quintptr>(memory.data());
    return reinterpret_cast<uchar *>((base + 63) / 64 * 64);
}

VideoFrameSource::Drawing VideoFrameSource::machineDrawing()
{
    static const Drawing drawing = [] {
        const Drawing d = probeDrawing();
        qCInfo(lcVideo, "drawn with %s", d == Drawing::OpenGL ? "OpenGL" : "the software renderer");
        return d;
    }();
    return drawing;
}

VideoFrameSource::VideoFrameSource(mpv_handle *mpv)
    : m_mpv(mpv)
    , m_drawing(machineDrawing())
{
    if (m_drawing == Drawing::OpenGL) {
        // An offscreen surface must be made on the GUI thread.
        m_surface = new QOffscreenSurface;
        if (QOpenGLContext *shared = QOpenGLContext::globalShareContext())
            m_surface->setFormat(shared->format());
        else
            qCWarning(lcVideo,
                      "contexts do not share textures; call OrvaneAV::prepareApplication() "
                      "before creating the application, or video stays black");
        m_surface->create();
    }
    setObjectName(QStringLiteral("video draw"));
    start();
}

VideoFrameSource::~VideoFrameSource()
{
    quit();
    wait();
    qDeleteAll(m_slots);
    delete m_surface;
}

void VideoFrameSource::run()
{
    QOpenGLContext context;
    QObject receiver;
    bool ok = true;
    if (m_drawing == Drawing::OpenGL) {
        if (QOpenGLContext *shared = QOpenGLContext::globalShareContext()) {
            context.setShareContext(shared);
            context.setFormat(shared->format());
        }
        ok = context.create() && context.makeCurrent(m_surface);
        if (ok) {
            mpv_opengl_init_params glInit{&procAddress, &context};
            mpv_render_param params[] = {
                {MPV_RENDER_PARAM_API_TYPE, const_cast<char *>(MPV_RENDER_API_TYPE_OPENGL)},
                {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &glInit},
                {MPV_RENDER_PARAM_INVALID, nullptr},
            };
            ok = mpv_render_context_create(&m_render, m_mpv, params) >= 0;
        } else {
            qCWarning(lcVideo, "no OpenGL context for drawing");
        }
    } else {
        mpv_render_param params[] = {
            {MPV_RENDER_PARAM_API_TYPE, const_cast<char *>(MPV_RENDER_API_TYPE_SW)},
            {MPV_RENDER_PARAM_INVALID, nullptr},
        };
        ok = mpv_render_context_create(&m_render, m_mpv, params) >= 0;
    }
    if (!ok)
        qCWarning(lcVideo, "mpv could not set up drawing; sound plays without pictures");
    {
        QMutexLocker lock(&m_mutex);
        m_context = ok && m_drawing == Drawing::OpenGL ? &context : nullptr;
        m_receiver = ok ? &receiver : nullptr;
    }
    emit setUp(ok);
    if (!ok)
        return;

    mpv_render_context_set_update_callback(m_render, &VideoFrameSource::onUpdate, this);
    exec();

    // The callback is never called once the render context is freed.
    mpv_render_context_free(m_render);
    m_render = nullptr;
    QMutexLocker lock(&m_mutex);
    m_receiver = nullptr;
    for (Slot *slot : qAsConst(m_slots))
        slot->fbo.reset();
    m_context = nullptr;
    if (m_drawing == Drawing::OpenGL)
        context.doneCurrent();
}

// Called by mpv on any of its threads: only queue a draw, once.
void VideoFrameSource::onUpdate(void *context)
{
    auto *self = static_cast<VideoFrameSource *>(context);
    if (self->m_updateQueued.exchange(true))
        return;
    QMetaObject::invokeMethod(
        self->m_receiver,
        [self] {
            self->m_updateQueued = false;
            self->draw();
        },
        Qt::QueuedConnection);
}

int VideoFrameSource::reserveSlot()
{
    for (int i = 0; i < m_slots.size(); ++i) {
        Slot *slot = m_slots[i];
        if (i != m_newest && slot->holders == 0 && !slot->writing) {
            slot->writing = true;
            return i;
        }
    }
    if (m_slots.size() >= maxSlots)
        return -1;
    m_slots.append(new Slot);
    m_slots.last()->writing = true;
    return m_slots.size() - 1;
}

// Draws mpv's current frame into the slot; false when mpv could not.
bool VideoFrameSource::drawInto(Slot *slot, const QSize &size)
{
    if (m_drawing == Drawing::OpenGL) {
        if (!slot->fbo || slot->fbo->size() != size)
            slot->fbo = std::make_unique<QOpenGLFramebufferObject>(size);
        slot->size = size;
        mpv_opengl_fbo target{static_cast<int>(slot->fbo->handle()), size.width(), size.height(), 0};
        int flip = 1; // GL's bottom-left origin, as the renderers sample it
        mpv_render_param params[] = {
            {MPV_RENDER_PARAM_OPENGL_FBO, &target},
            {MPV_RENDER_PARAM_FLIP_Y, &flip},
            {MPV_RENDER_PARAM_INVALID, nullptr},
        };
        const bool ok = mpv_render_context_render(m_render, params) >= 0;
        // The renderers' contexts read this texture next; it must be complete.
        m_context->functions()->glFinish();
        return ok;
    }

    // Rows of whole 64-byte blocks.
    const int stride = (size.width() * 4 + 63) / 64 * 64;
    const int needed = stride * size.height() + 64;
    if (slot->memory.size() < needed)
        slot->memory.resize(needed);
    slot->size = size;
    slot->stride = stride;
    int dimensions[2] = {size.width(), size.height()};
    size_t strideBytes = size_t(stride);
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_SW_SIZE, dimensions},     {MPV_RENDER_PARAM_SW_FORMAT, const_cast<char *>("rgb0")},
        {MPV_RENDER_PARAM_SW_STRIDE, &strideBytes}, {MPV_RENDER_PARAM_SW_POINTER, slot->pixels()},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    return mpv_render_context_render(m_render, params) >= 0;
}

void VideoFrameSource::draw()
{
    if (!(mpv_render_context_update(m_render) & MPV_RENDER_UPDATE_FRAME))
        return;

    int index;
    QSize size;
    Slot *slot = nullptr;
    {
        QMutexLocker lock(&m_mutex);
        size = m_targetSize.isEmpty() ? hiddenSize : m_targetSize;
        index = reserveSlot();
        if (index >= 0)
            slot = m_slots[index];
    }
    if (!slot)
        return; // every slot is held: mpv skips this frame rather than stall

    const bool drawn = drawInto(slot, size);
    mpv_render_context_report_swap(m_render);

    bool first = false;
    {
        QMutexLocker lock(&m_mutex);
        slot->writing = false;
        if (!drawn)
            return;
        m_newest = index;
        ++m_drawn;
        const qint64 now = monotonicMs();
        m_drawTimes.push_back(now);
        while (!m_drawTimes.empty() && m_drawTimes.front() <= now - 1000)
            m_drawTimes.pop_front();
        first = !m_firstDrawn;
        m_firstDrawn = true;
    }
    if (first)
        emit firstFrameDrawn();
    if (!m_notified.exchange(true))
        emit frameReady();
}

void VideoFrameSource::setTargetSize(const QSize &size)
{
    QMutexLocker lock(&m_mutex);
    m_targetSize = size;
}

bool VideoFrameSource::acquire(Frame *frame)
{
    QMutexLocker lock(&m_mutex);
    m_notified = false;
    if (m_newest < 0)
        return false;
    Slot *slot = m_slots[m_newest];
    ++slot->holders;
    frame->slot = m_newest;
    frame->size = slot->size;
    if (m_drawing == Drawing::OpenGL) {
        frame->texture = slot->fbo ? slot->fbo->texture() : 0;
    } else {
        // The image only wraps the slot's memory, which is not written while held.
        frame->image = QImage(slot->pixels(), slot->size.width(), slot->size.height(), slot->stride,
                              QImage::Format_RGBX8888);
    }
    return true;
}

void VideoFrameSource::release(Frame *frame)
{
    if (frame->slot < 0)
        return;
    QMutexLocker lock(&m_mutex);
    if (frame->slot < m_slots.size() && m_slots[frame->slot]->holders > 0)
        --m_slots[frame->slot]->holders;
    *frame = Frame();
}

void VideoFrameSource::clear()
{
    {
        QMutexLocker lock(&m_mutex);
        m_newest = -1;
        m_drawTimes.clear();
    }
    m_notified = true;
    emit frameReady();
}

double VideoFrameSource::displayFps() const
{
    QMutexLocker lock(&m_mutex);
    const qint64 now = monotonicMs();
    int count = 0;
    for (qint64 t : m_drawTimes)
        if (t > now - 1000)
            ++count;
    return count;
}

qint64 VideoFrameSource::drawnFrames() const
{
    QMutexLocker lock(&m_mutex);
    return m_drawn;
}

void VideoFrameSource::resetCounters()
{
    QMutexLocker lock(&m_mutex);
    m_drawn = 0;
    m_drawTimes.clear();
    m_firstDrawn = false;
}

} // namespace OrvaneAV
