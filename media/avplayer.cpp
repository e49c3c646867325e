#include "avplayer.h"

#include "logcategories.h"

#include "openglwidgetrenderer.h"
#include "srtdiagnostics.h"
#include "videoframesource.h"

#include "deploymentoverride.h"
#include "logredaction.h"

#include <mpv/client.h>

#include <QFile>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QUrl>
#include <QtDebug>

#include <cmath>

namespace OrvaneAV {

namespace {

// Long enough for a slow SRT handshake, short enough that a person is told.
const int openTimeoutMs = 15000;
// A live stream that sends nothing for this long is lost (microseconds).
const char liveReadTimeout[] = "5000000";
const int keptMessages = 12;
const qint64 maxSrtLatencyMs = 2147483;

// The answers asked for when a file has loaded. mpv gives each answer back one
// number; it carries the load the question belongs to and what was asked.
struct StartAnswer
{
    enum Kind : uint64_t { Duration = 1, Seekable = 2 };
    static constexpr uint64_t kinds = 4;
    static uint64_t id(uint64_t generation, Kind kind) { return generation * kinds + kind; }
    static uint64_t generationOf(uint64_t id) { return id / kinds; }
    static Kind kindOf(uint64_t id) { return Kind(id % kinds); }
};

std::atomic<qint64> drainNanoseconds{0};

QString schemeOf(const QString &url)
{
    return url.section(QLatin1Char(':'), 0, 0).toLower();
}

bool isLiveAddress(const QString &url)
{
    const QString scheme = schemeOf(url);
    return scheme == QLatin1String("srt") || scheme == QLatin1String("tcp") || scheme == QLatin1String("udp")
        || scheme == QLatin1String("rtp") || scheme == QLatin1String("rtmp")
        || scheme == QLatin1String("rtsp");
}

bool isHttpAddress(const QString &url)
{
    const QString scheme = schemeOf(url);
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

bool isNetworkAddress(const QString &url)
{
    return isLiveAddress(url) || isHttpAddress(url);
}

} // namespace

// A property value as mpv reports it (changes and answers alike); what is
// missing or of another format reads as 0, false or empty.
struct MpvValue
{
    explicit MpvValue(const mpv_event_property *property, bool answered = true)
    {
        if (!answered || !property || property->format == MPV_FORMAT_NONE || !property->data)
            return;
        has = true;
        switch (property->format) {
        case MPV_FORMAT_DOUBLE: number = *static_cast<double *>(property->data); break;
        case MPV_FORMAT_INT64: integer = *static_cast<int64_t *>(property->data); break;
        case MPV_FORMAT_FLAG: flag = *static_cast<int *>(property->data) != 0; break;
        case MPV_FORMAT_STRING: text = QString::fromUtf8(*static_cast<char **>(property->data)); break;
        default: break;
        }
    }
    // Seconds as whole milliseconds.
    qint64 milliseconds() const { return std::isfinite(number) ? qRound64(number * 1000) : 0; }

    bool has = false;
    double number = 0;
    qint64 integer = 0;
    bool flag = false;
    QString text;
};

namespace {

void setOption(mpv_handle *mpv, const char *name, const char *value)
{
    if (mpv_set_option_string(mpv, name, value) < 0)
        qCWarning(lcPlayer, "mpv refused the option %s=%s", name, value);
}

// A string map for mpv's per-file options; the strings live in `storage`.
struct NodeMap
{
    QList<QByteArray> storage;
    QVector<char *> keys;
    QVector<mpv_node> values;

    void add(const char *key, const QByteArray &value)
    {
        storage << QByteArray(key) << value;
        keys << storage[storage.size() - 2].data();
        mpv_node node;
        node.format = MPV_FORMAT_STRING;
        node.u.string = storage.last().data();
        values << node;
    }
};

} // namespace

struct AVPlayer::ObservedProperty
{
    const char *name;
    mpv_format format;
    void (*apply)(AVPlayer &player, const MpvValue &value);
};

AVPlayer::AVPlayer(QObject *parent)
    : QObject(parent)
{
    qRegisterMetaType<AVError>();
    qRegisterMetaType<AVPlayer::State>();

    // Before the first SRT connection, so that a refusal's reason reaches the log.
    SrtDiagnostics::install();
    m_mpv = mpv_create();
    if (!m_mpv) {
        qCWarning(lcPlayer, "mpv could not be created");
        return;
    }
    setOption(m_mpv, "config", "no");
    setOption(m_mpv, "terminal", "no");
    setOption(m_mpv, "vo", "libmpv");
    setOption(m_mpv, "idle", "yes");
    setOption(m_mpv, "keep-open", "no");
    setOption(m_mpv, "input-default-bindings", "no");
    setOption(m_mpv, "input-vo-keyboard", "no");
    setOption(m_mpv, "osc", "no");
    setOption(m_mpv, "load-scripts", "no");
    setOption(m_mpv, "ytdl", "no");
    setOption(m_mpv, "audio-display", "no");
    setOption(m_mpv, "sub-auto", "no");
    setOption(m_mpv, "hwdec", "no");
    setOption(m_mpv, "network-timeout", "15");
    // The sound server shows the program's own name for its players.
    setOption(m_mpv, "audio-client-name", QCoreApplication::applicationName().toUtf8().constData());
    // Without a sound device the picture still plays, and audio is still measured.
    setOption(m_mpv, "audio-fallback-to-null", "yes");
#if defined(Q_OS_LINUX)
    // The sound servers only: mpv's SDL output initialises SDL audio, which is
    // not safe while several players of one process open their outputs at once
    // (seen crashing inside SDL with four live players starting together).
    setOption(m_mpv, "ao", "pipewire,pulse,alsa");
#endif
    if (mpv_initialize(m_mpv) < 0) {
        qCWarning(lcPlayer, "mpv could not be initialised");
        mpv_terminate_destroy(m_mpv);
        m_mpv = nullptr;
        return;
    }
    mpv_request_log_messages(m_mpv, "warn");
    // A change of the table's n-th property comes back with the number n + 1.
    const std::vector<ObservedProperty> &properties = observedProperties();
    for (std::size_t i = 0; i < properties.size(); ++i)
        mpv_observe_property(m_mpv, i + 1, properties[i].name, properties[i].format);

    m_openTimer.setSingleShot(true);
    connect(&m_openTimer, &QTimer::timeout, this, &AVPlayer::openTimedOut);

    m_audio = new AudioOutput(m_mpv, this);
    m_frames = new VideoFrameSource(m_mpv);
    // Loads wait for drawing to be set up; without it (no usable OpenGL) sound
    // still plays.
    connect(
        m_frames, &VideoFrameSource::setUp, this,
        [this](bool ok) {
            m_drawingSettled = true;
            m_canDraw = ok;
            loadPending();
        },
        Qt::QueuedConnection);
    connect(
        m_frames, &VideoFrameSource::firstFrameDrawn, this,
        [this] {
            if (m_state != StoppedState)
                emit firstFrameRendered();
        },
        Qt::QueuedConnection);

    // mpv wakes us from its own threads; the events are read on ours.
    mpv_set_wakeup_callback(
        m_mpv,
        [](void *context) {
            auto *self = static_cast<AVPlayer *>(context);
            if (!self->m_wakeupQueued.exchange(true))
                QMetaObject::invokeMethod(
                    self, [self] { self->drainEvents(); }, Qt::QueuedConnection);
        },
        this);
}

AVPlayer::~AVPlayer()
{
    for (const QPointer<OpenGLWidgetRenderer> &renderer : qAsConst(m_renderers))
        if (renderer)
            renderer->detach();
    m_renderers.clear();
    if (!m_mpv)
        return;
    mpv_set_wakeup_callback(m_mpv, nullptr, nullptr);
    // The render context goes before the mpv instance it belongs to.
    delete m_frames;
    mpv_terminate_destroy(m_mpv);
}

void AVPlayer::command(const QStringList &arguments)
{
    QList<QByteArray> storage;
    QVector<const char *> argv;
    for (const QString &argument : arguments)
        storage << argument.toUtf8();
    for (const QByteArray &bytes : qAsConst(storage))
        argv << bytes.constData();
    argv << nullptr;
    mpv_command_async(m_mpv, 0, argv.data());
}

static std::atomic<bool> localFilesAllowed{false};

void AVPlayer::setLocalFilesAllowed(bool allowed)
{
    localFilesAllowed = allowed;
}

bool AVPlayer::isPlayableAddress(const QString &url)
{
    // What the product plays: live sources over SRT and TCP, recordings over
    // HTTPS. mpv would open much more (lavfi graphs, edl:// lists, any local file).
    const QString scheme = schemeOf(url);
    if (scheme == QLatin1String("srt") || scheme == QLatin1String("tcp") || scheme == QLatin1String("https"))
        return url.contains(QLatin1String("://"));
    if (!localFilesAllowed)
        return false;
    return url.startsWith(QLatin1Char('/')) || scheme == QLatin1String("file");
}

void AVPlayer::play(const QString &url)
{
    if (url.isEmpty())
        return;
    if (!isPlayableAddress(url)) {
        qCWarning(lcPlayer, "refusing to open %s", qPrintable(LogRedaction::redactedAddressText(url)));
        announceStopped();
        emit error(AVError(AVError::OpenError, tr("This address cannot be played")));
        return;
    }
    if (!m_mpv) {
        emit error(AVError(AVError::UnknownError, tr("The video engine is not available")));
        return;
    }
    // Replacing what plays ends it first, as a stop would.
    announceStopped();
    m_url = url;
    abandonLoad();
    m_position = 0;
    m_duration = 0;
    m_seekable = false;
    m_messages.clear();
    m_srtRefusalsBefore = SrtDiagnostics::refusalCount();
    m_frames->resetCounters();
    m_loadPending = true;
    m_openTimer.start(openTimeoutMs);
    loadPending();
}

void AVPlayer::play()
{
    if (!m_url.isEmpty() && m_state == StoppedState)
        play(m_url);
}

// Sends the load once drawing is set up: mpv needs the render context before it
// opens its video output.
void AVPlayer::loadPending()
{
    if (!m_loadPending || !m_drawingSettled)
        return;
    m_loadPending = false;

    NodeMap options;
    if (isLiveAddress(m_url)) {
        options.add("demuxer-lavf-o", "fflags=+nobuffer");
        options.add("stream-lavf-o", QByteArray("rw_timeout=") + liveReadTimeout);
        options.add("demuxer-lavf-analyzeduration", "0.5");
        options.add("video-latency-hacks", "yes");
        options.add("demuxer-max-bytes", "32MiB");
        options.add("demuxer-max-back-bytes", "0");
        options.add("cache", "yes");
        const bool fixedDelay = m_bufferMode == BufferTime && m_bufferValue > 0;
        // A fixed delay: playback waits until that much is buffered, at the start
        // and after every underrun, so the picture stays that far behind live.
        options.add("cache-pause", fixedDelay ? "yes" : "no");
        options.add("cache-pause-initial", fixedDelay ? "yes" : "no");
        if (fixedDelay)
            options.add("cache-pause-wait", QByteArray::number(m_bufferValue / 1000.0, 'f', 3));
    }

    QString address = m_url;
    if (isHttpAddress(m_url)) {
        // Certificates are always verified (mpv's default is not to). A local
        // deployment serves the designed address elsewhere, with its own CA.
        options.add("tls-verify", "yes");
        const DeploymentOverride &deployment = DeploymentOverride::instance();
        if (deployment.isActive()) {
            address = deployment.route(QUrl(m_url)).toString(QUrl::FullyEncoded);
            if (!deployment.caFiles().isEmpty())
                options.add("tls-ca-file", QFile::encodeName(deployment.caFiles().constFirst()));
        }
    }
    if (!m_canDraw)
        options.add("vid", "no"); // no video output to open: do not decode pictures
    const QByteArray engineUrl = engineAddress(address).toUtf8();
    mpv_node args[4];
    args[0].format = MPV_FORMAT_STRING;
    args[0].u.string = const_cast<char *>("loadfile");
    args[1].format = MPV_FORMAT_STRING;
    args[1].u.string = const_cast<char *>(engineUrl.constData());
    args[2].format = MPV_FORMAT_STRING;
    args[2].u.string = const_cast<char *>("replace");
    mpv_node_list optionList{options.values.size(), options.values.data(), options.keys.data()};
    args[3].format = MPV_FORMAT_NODE_MAP;
    args[3].u.list = &optionList;
    mpv_node_list argList{4, args, nullptr};
    mpv_node root;
    root.format = MPV_FORMAT_NODE_ARRAY;
    root.u.list = &argList;
    // The reply tells us which load it answers: only the newest one counts.
    mpv_command_node_async(m_mpv, m_generation, &root);
}

void AVPlayer::stop()
{
    // Also when nothing has started yet: a load may be on its way.
    if (m_mpv)
        command({QStringLiteral("stop")});
    finish(AVError());
}

void AVPlayer::openTimedOut()
{
    command({QStringLiteral("stop")});
    finish(AVError(AVError::OpenTimedout, tr("Nothing arrived within %1 seconds").arg(openTimeoutMs / 1000)));
}

// Forgets the current load: a pending one is not sent, and mpv's later events
// and answers about it no longer count (each load is numbered).
void AVPlayer::abandonLoad()
{
    m_loadPending = false;
    m_openTimer.stop();
    ++m_generation;
    m_acceptStart = false;
    m_entry = -1;
    m_opened = false;
}

void AVPlayer::announceStopped()
{
    if (m_state == StoppedState)
        return;
    setState(StoppedState);
    emit stopped();
}

void AVPlayer::pause(bool paused)
{
    if (!m_mpv || m_state == StoppedState)
        return;
    int flag = paused ? 1 : 0;
    mpv_set_property_async(m_mpv, 0, "pause", MPV_FORMAT_FLAG, &flag);
    setState(paused ? PausedState : PlayingState);
}

void AVPlayer::seek(qint64 ms)
{
    if (!m_mpv || !m_opened)
        return;
    command({QStringLiteral("seek"), QString::number(qMax<qint64>(0, ms) / 1000.0, 'f', 3),
             QStringLiteral("absolute+exact")});
}

void AVPlayer::setBufferValue(qint64 value)
{
    if (value == m_bufferValue)
        return;
    m_bufferValue = value;
    // mpv takes the delay as load options, so a live stream opens again with
    // it. No stop is announced: the tiles keep their picture and their player
    // until the new one draws.
    if (m_mpv && m_state != StoppedState && isLiveAddress(m_url)) {
        abandonLoad();
        m_messages.clear();
        m_loadPending = true;
        m_openTimer.start(openTimeoutMs);
        loadPending();
    }
}

void AVPlayer::setState(State state)
{
    if (state == m_state)
        return;
    m_state = state;
    emit stateChanged(state);
}

void AVPlayer::setVideoDecoderPriority(const QStringList &names)
{
    m_decoderPriority = names;
    if (!m_mpv)
        return;
    // mpv falls back to software by itself when a hardware decoder fails.
    QByteArray hwdec = "no";
    for (const QString &name : names) {
#if defined(Q_OS_WIN)
        if (name == QLatin1String("D3D11")) {
            hwdec = "d3d11va";
            break;
        }
        if (name == QLatin1String("DXVA")) {
            hwdec = "dxva2-copy";
            break;
        }
#elif defined(Q_OS_MACOS)
        if (name == QLatin1String("VideoToolbox")) {
            hwdec = "videotoolbox";
            break;
        }
#else
        // Frames are copied back, as the drawing thread's context may not be
        // able to import hardware surfaces.
        if (name == QLatin1String("VAAPI")) {
            hwdec = "vaapi-copy";
            break;
        }
#endif
        if (name == QLatin1String("FFmpeg"))
            break;
    }
    setPropertyLater("hwdec", hwdec);
}

Statistics AVPlayer::statistics() const
{
    Statistics s;
    s.video.available = !m_videoCodec.isEmpty();
    s.video.codec = m_videoCodec;
    s.video.bit_rate = qRound64(m_videoBitrate);
    s.audio.available = !m_audioCodec.isEmpty();
    s.audio.codec = m_audioCodec;
    s.audio.bit_rate = qRound64(m_audioBitrate);
    if (m_frames && m_state != StoppedState) {
        s.video_only.displayFps = m_frames->displayFps();
        s.video_only.displayedFrames = m_frames->drawnFrames();
    }
    s.video_only.frameRate = m_frameRate;
    s.video_only.droppedFrames = m_droppedByDecoder + m_droppedByOutput;
    s.video_only.width = m_width;
    s.video_only.height = m_height;
    s.video_only.bufferedMs = m_state != StoppedState ? m_bufferedMs : 0;
    return s;
}

void AVPlayer::setRenderer(OpenGLWidgetRenderer *renderer)
{
    const auto current = videoOutputs();
    for (OpenGLWidgetRenderer *existing : current)
        if (existing != renderer)
            removeVideoRenderer(existing);
    addVideoRenderer(renderer);
}

void AVPlayer::addVideoRenderer(OpenGLWidgetRenderer *renderer)
{
    if (!renderer || !m_frames || videoOutputs().contains(renderer))
        return;
    // A renderer shows one player: it leaves the one it showed before.
    if (renderer->player() && renderer->player() != this)
        renderer->player()->removeVideoRenderer(renderer);
    m_renderers << renderer;
    renderer->attach(this, m_frames);
    updateRenderSize();
}

void AVPlayer::removeVideoRenderer(OpenGLWidgetRenderer *renderer)
{
    for (int i = m_renderers.size() - 1; i >= 0; --i) {
        if (!m_renderers[i] || m_renderers[i] == renderer)
            m_renderers.removeAt(i);
    }
    if (renderer && renderer->player() == this)
        renderer->detach();
    updateRenderSize();
}

QList<OpenGLWidgetRenderer *> AVPlayer::videoOutputs() const
{
    QList<OpenGLWidgetRenderer *> result;
    for (const QPointer<OpenGLWidgetRenderer> &renderer : m_renderers)
        if (renderer)
            result << renderer.data();
    return result;
}

// Frames are drawn at the size of the largest renderer showing them.
void AVPlayer::updateRenderSize()
{
    if (!m_frames)
        return;
    QSize largest;
    for (OpenGLWidgetRenderer *renderer : videoOutputs()) {
        const qreal ratio = renderer->devicePixelRatioF();
        const QSize size(qRound(renderer->width() * ratio), qRound(renderer->height() * ratio));
        if (size.width() * size.height() > largest.width() * largest.height())
            largest = size;
    }
    m_frames->setTargetSize(largest);
}

void AVPlayer::setColorSpace(ColorSpace space)
{
    m_colorSpace = space;
    setPropertyLater("vf", colorFilter(m_colorSpace, m_colorRange).toUtf8());
}

void AVPlayer::setColorRange(ColorRange range)
{
    m_colorRange = range;
    setPropertyLater("vf", colorFilter(m_colorSpace, m_colorRange).toUtf8());
}

// Without waiting for mpv's core, which may be busy opening a stream.
void AVPlayer::setPropertyLater(const char *name, const QByteArray &value)
{
    if (!m_mpv)
        return;
    const char *text = value.constData();
    mpv_set_property_async(m_mpv, 0, name, MPV_FORMAT_STRING, &text);
}

void AVPlayer::setOverlayText(const QString &text)
{
    if (text == m_overlayText)
        return;
    m_overlayText = text;
    emit overlayTextChanged(text);
}

QString AVPlayer::engineAddress(const QString &url)
{
    if (!url.startsWith(QLatin1String("srt://"), Qt::CaseInsensitive))
        return url;
    const int query = url.indexOf(QLatin1Char('?'));
    if (query < 0)
        return url;
    // The passphrase is written as it is, without percent-encoding, so the query
    // is split by hand rather than parsed as a URL.
    QStringList items = url.mid(query + 1).split(QLatin1Char('&'));
    for (QString &item : items) {
        if (!item.startsWith(QLatin1String("latency="), Qt::CaseInsensitive))
            continue;
        bool ok = false;
        const qint64 ms = item.mid(8).toLongLong(&ok);
        // SRT keeps its latency as a 32-bit count of milliseconds; larger values
        // from a record are held at its limit rather than overflowing.
        if (ok && ms >= 0)
            item = QStringLiteral("latency=%1").arg(qMin<qint64>(ms, maxSrtLatencyMs) * 1000);
    }
    return url.left(query + 1) + items.join(QLatin1Char('&'));
}

QString AVPlayer::colorFilter(ColorSpace space, ColorRange range)
{
    // mpv's format filter overrides what the stream signals; the renderer then
    // converts with these and maps HDR transfers to the SDR display.
    struct Conversion
    {
        const char *matrix;
        const char *primaries;
        const char *gamma;
    };
    static const Conversion conversions[] = {
        /* Unknown */ {nullptr, nullptr, nullptr},
        /* RGB     */ {"rgb", nullptr, nullptr},
        /* GBR     */ {"rgb", nullptr, nullptr},
        /* BT601   */ {"bt.601", nullptr, nullptr},
        /* BT709   */ {"bt.709", "bt.709", "bt.1886"},
        /* XYZ     */ {"xyz", nullptr, nullptr},
        /* BT2020  */ {"bt.2020-ncl", "bt.2020", "bt.1886"},
        /* D3_PQ   */ {"bt.2020-ncl", "display-p3", "pq"},
        /* PQ      */ {"bt.2020-ncl", "bt.2020", "pq"},
        /* HLG     */ {"bt.2020-ncl", "bt.2020", "hlg"},
    };
    static const char *const levels[] = {nullptr, "limited", "full"};

    QStringList parts;
    if (space >= ColorSpace_Unknown && space <= ColorSpace_HLG) {
        const Conversion &conversion = conversions[space];
        if (conversion.matrix)
            parts << QStringLiteral("colormatrix=") + QLatin1String(conversion.matrix);
        if (conversion.primaries)
            parts << QStringLiteral("primaries=") + QLatin1String(conversion.primaries);
        if (conversion.gamma)
            parts << QStringLiteral("gamma=") + QLatin1String(conversion.gamma);
    }
    if (range >= ColorRange_Unknown && range <= ColorRange_Full && levels[range])
        parts << QStringLiteral("colorlevels=") + QLatin1String(levels[range]);
    return parts.isEmpty() ? QString() : QStringLiteral("format=") + parts.join(QLatin1Char(':'));
}

AVError AVPlayer::classifyFailure(const QString &url, bool opened, bool endOfStream,
                                  const QStringList &messages)
{
    // Messages about the video and audio outputs say nothing about the media.
    QStringList relevant;
    for (const QString &message : messages)
        if (!message.startsWith(QLatin1String("libmpv_render")) && !message.startsWith(QLatin1String("vo"))
            && !message.startsWith(QLatin1String("ao")))
            relevant << message;
    const auto failure = [&](AVError::ErrorCode code, const QString &line) {
        return AVError(code, LogRedaction::redactedAddressText(line));
    };
    const auto lineWith = [&](const char *sign) {
        for (const QString &message : qAsConst(relevant))
            if (message.contains(QLatin1String(sign), Qt::CaseInsensitive))
                return message;
        return QString();
    };
    static const char *const networkSigns[] = {
        "connection refused",
        "connection reset",
        "network is unreachable",
        "no route to host",
        "failed to resolve",
        "name or service not known",
        "temporary failure in name resolution",
        "host is unreachable",
        "broken pipe",
        "connection setup failure",
        "connection lost",
    };
    for (const char *sign : networkSigns) {
        const QString line = lineWith(sign);
        if (!line.isEmpty())
            return failure(AVError::NetworkError, line);
    }
    for (const char *sign : {"timed out", "timeout"}) {
        const QString line = lineWith(sign);
        if (!line.isEmpty())
            return failure(opened ? AVError::NetworkError : AVError::OpenTimedout, line);
    }
    // The first word is usually the cause, the later ones its consequences.
    const QString first = relevant.isEmpty() ? QString() : relevant.first();
    if (opened && isLiveAddress(url))
        return endOfStream ? AVError(AVError::NetworkError, tr("The live stream ended"))
                           : failure(AVError::NetworkError, first);
    if (!opened) {
        for (const char *sign : {"recognize file format", "no video or audio"}) {
            const QString line = lineWith(sign);
            if (!line.isEmpty())
                return failure(AVError::FormatError, line);
        }
        // A live address that fails without a clearer word (SRT says only
        // "Input/output error" for a refused handshake) is a network failure; a
        // file or a page that is not there is one that cannot be opened.
        return failure(isLiveAddress(url) ? AVError::NetworkError : AVError::OpenError, first);
    }
    return failure(isNetworkAddress(url) ? AVError::NetworkError : AVError::ReadError, first);
}

void AVPlayer::finish(const AVError &failure)
{
    abandonLoad();
    if (m_frames)
        m_frames->clear();
    if (failure.error() != AVError::NoError) {
        qCDebug(lcPlayer, "%s", qPrintable(failure.string()));
        emit error(failure);
    }
    announceStopped();
}

// Runs on the GUI thread, where the player's signals are emitted. Measured with
// four live 1080p30 players: about 72 ms per second in all (7 % of one core),
// mostly property changes; the GUI stays responsive, so it stays here rather
// than crossing threads with every change.
void AVPlayer::drainEvents()
{
    QElapsedTimer spent;
    spent.start();
    m_wakeupQueued = false;
    while (m_mpv) {
        mpv_event *event = mpv_wait_event(m_mpv, 0);
        if (event->event_id == MPV_EVENT_NONE)
            break;
        handleEvent(*event);
    }
    // mpv hands out its log messages only once no other event waits, so the
    // words explaining an end come after it: judge the end once all are read.
    if (m_pendingEnd.generation == m_generation && m_pendingEnd.generation != 0) {
        const PendingEnd end = m_pendingEnd;
        m_pendingEnd = PendingEnd();
        if (end.failed) {
            // The error keeps FFmpeg's words; the log says why SRT refused.
            if (m_url.startsWith(QLatin1String("srt://"), Qt::CaseInsensitive)
                && SrtDiagnostics::refusalCount() != m_srtRefusalsBefore)
                qCWarning(lcPlayer, "The SRT listener refused the connection: %s",
                          qPrintable(SrtDiagnostics::lastRefusal()));
            finish(classifyFailure(m_url, end.opened, end.endOfStream, m_messages));
        }
        else
            finish(AVError());
    }
    m_pendingEnd = PendingEnd();
    drainNanoseconds += spent.nsecsElapsed();
}

const std::vector<AVPlayer::ObservedProperty> &AVPlayer::observedProperties()
{
    static const std::vector<ObservedProperty> table = {
        {"time-pos", MPV_FORMAT_DOUBLE, [](AVPlayer &p, const MpvValue &v) { p.applyPosition(v); }},
        {"duration", MPV_FORMAT_DOUBLE,
         [](AVPlayer &p, const MpvValue &v) { p.m_duration = v.milliseconds(); }},
        {"seekable", MPV_FORMAT_FLAG, [](AVPlayer &p, const MpvValue &v) { p.m_seekable = v.flag; }},
        {"video-bitrate", MPV_FORMAT_DOUBLE,
         [](AVPlayer &p, const MpvValue &v) { p.m_videoBitrate = v.number; }},
        {"audio-bitrate", MPV_FORMAT_DOUBLE,
         [](AVPlayer &p, const MpvValue &v) { p.m_audioBitrate = v.number; }},
        {"container-fps", MPV_FORMAT_DOUBLE,
         [](AVPlayer &p, const MpvValue &v) { p.m_frameRate = v.number; }},
        {"decoder-frame-drop-count", MPV_FORMAT_INT64,
         [](AVPlayer &p, const MpvValue &v) { p.m_droppedByDecoder = v.integer; }},
        {"frame-drop-count", MPV_FORMAT_INT64,
         [](AVPlayer &p, const MpvValue &v) { p.m_droppedByOutput = v.integer; }},
        {"video-format", MPV_FORMAT_STRING, [](AVPlayer &p, const MpvValue &v) { p.m_videoCodec = v.text; }},
        {"audio-codec-name", MPV_FORMAT_STRING,
         [](AVPlayer &p, const MpvValue &v) { p.m_audioCodec = v.text; }},
        {"dwidth", MPV_FORMAT_INT64, [](AVPlayer &p, const MpvValue &v) { p.m_width = int(v.integer); }},
        {"dheight", MPV_FORMAT_INT64, [](AVPlayer &p, const MpvValue &v) { p.m_height = int(v.integer); }},
        {"demuxer-cache-duration", MPV_FORMAT_DOUBLE,
         [](AVPlayer &p, const MpvValue &v) { p.m_bufferedMs = v.milliseconds(); }},
    };
    return table;
}

qint64 AVPlayer::eventDrainNanoseconds()
{
    return drainNanoseconds;
}

void AVPlayer::handleEvent(const mpv_event &event)
{
    switch (event.event_id) {
    case MPV_EVENT_LOG_MESSAGE: onLogMessage(event); break;
    case MPV_EVENT_COMMAND_REPLY: onCommandReply(event); break;
    case MPV_EVENT_START_FILE: onStartFile(event); break;
    case MPV_EVENT_FILE_LOADED: onFileLoaded(); break;
    case MPV_EVENT_GET_PROPERTY_REPLY: onStartAnswer(event); break;
    case MPV_EVENT_END_FILE: onEndFile(event); break;
    case MPV_EVENT_PROPERTY_CHANGE: onPropertyChange(event); break;
    default: break;
    }
}

void AVPlayer::onLogMessage(const mpv_event &event)
{
    const auto *message = static_cast<const mpv_event_log_message *>(event.data);
    const QString line = QStringLiteral("%1: %2").arg(QString::fromUtf8(message->prefix),
                                                      QString::fromUtf8(message->text).trimmed());
    qCDebug(lcPlayer, "mpv %s", qPrintable(LogRedaction::redactedAddressText(line)));
    m_messages << line;
    while (m_messages.size() > keptMessages)
        m_messages.removeFirst();
}

void AVPlayer::onCommandReply(const mpv_event &event)
{
    if (event.reply_userdata != m_generation || event.reply_userdata == 0)
        return;
    if (event.error < 0) {
        finish(AVError(AVError::OpenError, QString::fromUtf8(mpv_error_string(event.error))));
        return;
    }
    // The newest load has reached mpv: the next file it starts is ours.
    m_acceptStart = true;
}

void AVPlayer::onStartFile(const mpv_event &event)
{
    if (!m_acceptStart)
        return;
    m_entry = static_cast<const mpv_event_start_file *>(event.data)->playlist_entry_id;
    m_acceptStart = false;
}

void AVPlayer::onFileLoaded()
{
    if (m_entry < 0 || m_opened)
        return;
    m_opened = true;
    m_openTimer.stop();
    int unpaused = 0;
    mpv_set_property_async(m_mpv, 0, "pause", MPV_FORMAT_FLAG, &unpaused);
    // Callers read the length and seekability as playing begins, so both
    // are asked for now and playing is announced with their answers.
    m_startAnswersMissing = 2;
    mpv_get_property_async(m_mpv, StartAnswer::id(m_generation, StartAnswer::Duration), "duration",
                           MPV_FORMAT_DOUBLE);
    mpv_get_property_async(m_mpv, StartAnswer::id(m_generation, StartAnswer::Seekable), "seekable",
                           MPV_FORMAT_FLAG);
}

void AVPlayer::onStartAnswer(const mpv_event &event)
{
    if (StartAnswer::generationOf(event.reply_userdata) != m_generation || !m_opened
        || m_startAnswersMissing <= 0)
        return;
    const MpvValue value(static_cast<const mpv_event_property *>(event.data), event.error >= 0);
    if (StartAnswer::kindOf(event.reply_userdata) == StartAnswer::Duration)
        m_duration = value.milliseconds();
    else
        m_seekable = value.flag;
    if (--m_startAnswersMissing == 0 && m_state == StoppedState) {
        setState(PlayingState);
        emit started();
    }
}

void AVPlayer::onEndFile(const mpv_event &event)
{
    const auto *end = static_cast<const mpv_event_end_file *>(event.data);
    if (end->playlist_entry_id != m_entry || m_entry < 0)
        return;
    m_pendingEnd.generation = m_generation;
    m_pendingEnd.opened = m_opened;
    if (end->reason == MPV_END_FILE_REASON_ERROR) {
        m_pendingEnd.failed = true;
    } else if (end->reason == MPV_END_FILE_REASON_EOF && isLiveAddress(m_url)) {
        // A live stream has no end: it was lost.
        m_pendingEnd.failed = true;
        m_pendingEnd.endOfStream = true;
    }
    m_entry = -1;
}

void AVPlayer::onPropertyChange(const mpv_event &event)
{
    const std::vector<ObservedProperty> &properties = observedProperties();
    if (event.reply_userdata == 0 || event.reply_userdata > properties.size())
        return;
    properties[event.reply_userdata - 1].apply(*this,
                                               MpvValue(static_cast<const mpv_event_property *>(event.data)));
}

void AVPlayer::applyPosition(const MpvValue &value)
{
    if (!value.has || !m_opened || !std::isfinite(value.number))
        return;
    const qint64 position = value.milliseconds();
    if (position == m_position)
        return;
    m_position = position;
    if (m_state != StoppedState)
        emit positionChanged(position);
}

} // namespace OrvaneAV
