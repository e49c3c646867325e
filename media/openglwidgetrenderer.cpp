#include "openglwidgetrenderer.h"

#include "avplayer.h"

#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QOpenGLTextureBlitter>
#include <QOpenGLWidget>
#include <QPainter>
#include <QResizeEvent>
#include <QSet>
#include <QTimer>

#include <utility>

namespace OrvaneAV {

namespace {

// Renderers with new frames are repainted together, at most once a display
// refresh: every repaint of a window costs a flush (with OpenGL surfaces, a
// composition of the whole window), so four feeds updating at their own moments
// would cost four times as many.
class RepaintClock : public QObject
{
public:
    static RepaintClock &instance()
    {
        static RepaintClock clock;
        return clock;
    }

    void schedule(OpenGLWidgetRenderer *renderer, std::function<void()> repaint)
    {
        m_dirty.insert(renderer, std::move(repaint));
        if (!m_timer.isActive())
            m_timer.start();
    }

    void forget(OpenGLWidgetRenderer *renderer) { m_dirty.remove(renderer); }

private:
    RepaintClock()
    {
        m_timer.setSingleShot(true);
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(16);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const auto dirty = std::exchange(m_dirty, {});
            for (const auto &repaint : dirty)
                repaint();
        });
    }

    QHash<OpenGLWidgetRenderer *, std::function<void()>> m_dirty;
    QTimer m_timer;
};

} // namespace

// The OpenGL surface inside a renderer: copies the held texture and draws the
// overlay. Its context shares textures with the players' drawing contexts.
class OpenGLWidgetRenderer::Surface : public QOpenGLWidget
{
public:
    explicit Surface(OpenGLWidgetRenderer *renderer)
        : QOpenGLWidget(renderer)
        , m_renderer(renderer)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

    ~Surface() override
    {
        makeCurrent();
        m_blitter.destroy();
        doneCurrent();
    }

protected:
    void initializeGL() override { m_blitter.create(); }

    void paintGL() override
    {
        QOpenGLFunctions *gl = context()->functions();
        gl->glClearColor(0, 0, 0, 1);
        gl->glClear(GL_COLOR_BUFFER_BIT);
        m_renderer->takeNewestFrame();
        const VideoFrameSource::Frame &frame = m_renderer->m_held;
        if (frame.texture) {
            const qreal ratio = devicePixelRatioF();
            const QSize viewport(qRound(width() * ratio), qRound(height() * ratio));
            const QRect target = m_renderer->videoRect(viewport);
            gl->glViewport(0, 0, viewport.width(), viewport.height());
            m_blitter.bind();
            m_blitter.blit(frame.texture,
                           QOpenGLTextureBlitter::targetTransform(target, QRect(QPoint(), viewport)),
                           QOpenGLTextureBlitter::OriginBottomLeft);
            m_blitter.release();
        }
        QPainter painter(this);
        m_renderer->drawOverlay(painter, rect());
    }

private:
    OpenGLWidgetRenderer *m_renderer;
    QOpenGLTextureBlitter m_blitter;
};

OpenGLWidgetRenderer::OpenGLWidgetRenderer(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(16, 9);
}

OpenGLWidgetRenderer::~OpenGLWidgetRenderer()
{
    RepaintClock::instance().forget(this);
    if (m_player)
        m_player->removeVideoRenderer(this);
}

void OpenGLWidgetRenderer::attach(AVPlayer *player, VideoFrameSource *source)
{
    m_player = player;
    m_source = source;
    m_shownFrames = 0;
    if (source->drawing() == VideoFrameSource::Drawing::OpenGL && !m_surface) {
        m_surface = new Surface(this);
        m_surface->setGeometry(rect());
        m_surface->show();
    }
    m_frameConnection = connect(
        source, &VideoFrameSource::frameReady, this,
        [this] { RepaintClock::instance().schedule(this, [this] { repaintVideo(); }); },
        Qt::QueuedConnection);
    m_overlayConnection = connect(player, &AVPlayer::overlayTextChanged, this, [this] { repaintVideo(); });
    repaintVideo();
}

void OpenGLWidgetRenderer::detach()
{
    disconnect(m_frameConnection);
    disconnect(m_overlayConnection);
    RepaintClock::instance().forget(this);
    if (m_source)
        m_source->release(&m_held);
    m_source = nullptr;
    m_player = nullptr;
    repaintVideo();
}

void OpenGLWidgetRenderer::repaintVideo()
{
    if (m_surface)
        m_surface->update();
    else
        update();
}

void OpenGLWidgetRenderer::takeNewestFrame()
{
    if (!m_source)
        return;
    // The held frame is kept until the next one is taken: the drawing thread
    // never writes a frame a renderer holds.
    VideoFrameSource::Frame frame;
    if (m_source->acquire(&frame)) {
        m_source->release(&m_held);
        m_held = frame;
        ++m_shownFrames;
    } else if (!m_player || !m_player->isPlaying()) {
        m_source->release(&m_held); // stopped: black
    }
}

// The frame carries mpv's letterboxing for the largest renderer; it keeps its
// shape here too, centred.
QRect OpenGLWidgetRenderer::videoRect(const QSize &area) const
{
    const QSize fitted = m_held.size.scaled(area, Qt::KeepAspectRatio);
    return QRect(QPoint((area.width() - fitted.width()) / 2, (area.height() - fitted.height()) / 2), fitted);
}

void OpenGLWidgetRenderer::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (m_surface)
        return;
    takeNewestFrame();
    if (!m_held.image.isNull()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(videoRect(size()), m_held.image);
    }
    drawOverlay(painter, rect());
}

void OpenGLWidgetRenderer::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (m_surface)
        m_surface->setGeometry(rect());
    if (m_player)
        m_player->updateRenderSize();
}

QImage OpenGLWidgetRenderer::grabFrame()
{
    // The surface covers the renderer; grabbing it draws it afresh.
    return m_surface ? m_surface->grabFramebuffer() : grab().toImage();
}

// The watermark: the player's text at the lower right, light and translucent,
// sized to the picture so it reads the same in a tile and full screen.
void OpenGLWidgetRenderer::drawOverlay(QPainter &painter, const QRect &area) const
{
    const QString text = m_player ? m_player->overlayText() : QString();
    if (text.trimmed().isEmpty())
        return;
    painter.setRenderHint(QPainter::TextAntialiasing);
    QFont font = painter.font();
    font.setPixelSize(qMax(10, area.height() / 18));
    font.setBold(true);
    painter.setFont(font);
    const int margin = qMax(6, area.height() / 40);
    const QRect inner = area.adjusted(margin, margin, -margin, -margin);
    const int flags = Qt::AlignRight | Qt::AlignBottom | Qt::TextSingleLine;
    painter.setPen(QColor(0, 0, 0, 110));
    painter.drawText(inner.translated(1, 1), flags, text);
    painter.setPen(QColor(255, 255, 255, 170));
    painter.drawText(inner, flags, text);
}

} // namespace OrvaneAV
