#include "openglwidgetrenderer.h"

#include "avplayer.h"

#include <QOpenGLFunctions>
#include <QPainter>

namespace OrvaneAV {

OpenGLWidgetRenderer::OpenGLWidgetRenderer(QWidget *parent)
    : QOpenGLWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(16, 9);
}

OpenGLWidgetRenderer::~OpenGLWidgetRenderer()
{
    if (m_player)
        m_player->removeVideoRenderer(this);
    makeCurrent();
    m_blitter.destroy();
    doneCurrent();
}

void OpenGLWidgetRenderer::attach(AVPlayer *player, VideoFrameSource *source)
{
    m_player = player;
    m_source = source;
    m_shownFrames = 0;
    m_frameConnection = connect(source, &VideoFrameSource::frameReady, this,
                                QOverload<>::of(&QWidget::update), Qt::QueuedConnection);
    m_overlayConnection = connect(player, &AVPlayer::overlayTextChanged, this,
                                  QOverload<>::of(&QWidget::update));
    update();
}

void OpenGLWidgetRenderer::detach()
{
    disconnect(m_frameConnection);
    disconnect(m_overlayConnection);
    if (m_source)
        m_source->release(&m_held);
    m_source = nullptr;
    m_player = nullptr;
    update();
}

void OpenGLWidgetRenderer::initializeGL()
{
    m_blitter.create();
}

void OpenGLWidgetRenderer::resizeGL(int, int)
{
    if (m_player)
        m_player->updateRenderSize();
}

void OpenGLWidgetRenderer::paintGL()
{
    QOpenGLFunctions *gl = context()->functions();
    gl->glClearColor(0, 0, 0, 1);
    gl->glClear(GL_COLOR_BUFFER_BIT);
    if (!m_source)
        return;

    // Hold the newest frame until the next paint: the drawing thread never
    // writes a texture while a renderer holds it.
    VideoFrameSource::Frame frame;
    if (m_source->acquire(&frame)) {
        m_source->release(&m_held);
        m_held = frame;
        ++m_shownFrames;
    }
    if (m_held.texture) {
        const qreal ratio = devicePixelRatioF();
        const QSize viewport(qRound(width() * ratio), qRound(height() * ratio));
        // The frame carries mpv's letterboxing for the largest renderer; keep its
        // shape here too, centred.
        QSize fitted = m_held.size.scaled(viewport, Qt::KeepAspectRatio);
        const QRect target(QPoint((viewport.width() - fitted.width()) / 2,
                                  (viewport.height() - fitted.height()) / 2), fitted);
        gl->glViewport(0, 0, viewport.width(), viewport.height());
        m_blitter.bind();
        m_blitter.blit(m_held.texture, QOpenGLTextureBlitter::targetTransform(target, QRect(QPoint(), viewport)),
                       QOpenGLTextureBlitter::OriginBottomLeft);
        m_blitter.release();
    }
    if (m_player)
        drawOverlay(m_player->overlayText());
}

// The watermark: the player's text at the lower right, light and translucent,
// sized to the picture so it reads the same in a tile and full screen.
void OpenGLWidgetRenderer::drawOverlay(const QString &text)
{
    if (text.trimmed().isEmpty())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::TextAntialiasing);
    QFont font = painter.font();
    font.setPixelSize(qMax(10, height() / 18));
    font.setBold(true);
    painter.setFont(font);
    const int margin = qMax(6, height() / 40);
    const QRect area = rect().adjusted(margin, margin, -margin, -margin);
    const int flags = Qt::AlignRight | Qt::AlignBottom | Qt::TextSingleLine;
    painter.setPen(QColor(0, 0, 0, 110));
    painter.drawText(area.translated(1, 1), flags, text);
    painter.setPen(QColor(255, 255, 255, 170));
    painter.drawText(area, flags, text);
}

} // namespace OrvaneAV
