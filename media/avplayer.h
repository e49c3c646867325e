#ifndef AVPLAYER_H
#define AVPLAYER_H

#include "audiooutput.h"
#include "averror.h"
#include "avglobal.h"
#include "statistics.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <atomic>
#include <vector>

struct mpv_handle;
struct mpv_event;

namespace OrvaneAV {

struct MpvValue;

class OpenGLWidgetRenderer;
class VideoFrameSource;

// Plays one live stream (SRT or TCP MPEG-TS) or recording at a time, through
// mpv. Every call returns at once; mpv works on its own threads and the player's
// signals are emitted on the thread that owns the player.
//
// Signals in order: play() -> stateChanged(PlayingState), started() once the
// media is open; stop() -> stateChanged(StoppedState), stopped(). A failure gives
// error() first, then the stop signals when it was playing. Reaching the end of a
// recording stops; the end of a live stream is a lost stream (NetworkError).
class AVPlayer : public QObject
{
    Q_OBJECT
public:
    enum State { StoppedState, PlayingState, PausedState };
    Q_ENUM(State)

    explicit AVPlayer(QObject *parent = nullptr);
    ~AVPlayer() override;

    void play(const QString &url);
    void play(); // the last address again
    void stop();
    void pause(bool paused = true);
    void seek(qint64 ms);

    bool isPlaying() const { return m_state != StoppedState; }
    bool isPaused() const { return m_state == PausedState; }
    bool isSeekable() const { return m_seekable; }
    State state() const { return m_state; }
    QString file() const { return m_url; }
    qint64 position() const { return m_position; }
    qint64 duration() const { return m_duration; }
    qint64 mediaStartPosition() const { return 0; }
    qint64 mediaStopPosition() const { return m_duration; }

    // Decoder names in order of preference ("D3D11", "DXVA", "VAAPI",
    // "VideoToolbox", "FFmpeg"); those this platform lacks are passed over and
    // software decoding ("FFmpeg") is always the last resort.
    void setVideoDecoderPriority(const QStringList &names);
    QStringList videoDecoderPriority() const { return m_decoderPriority; }

    // With BufferTime, the buffer value is the playback delay of live streams in
    // milliseconds; -1 picks the lowest latency the stream allows. Applies from
    // the next play().
    void setBufferMode(BufferMode mode) { m_bufferMode = mode; }
    BufferMode bufferMode() const { return m_bufferMode; }
    // Milliseconds of delay behind live (-1: as little as the stream allows). A
    // live stream that plays is opened again with the new delay, without a stop.
    void setBufferValue(qint64 value);
    qint64 bufferValue() const { return m_bufferValue; }

    Statistics statistics() const;
    AudioOutput *audio() const { return m_audio; }

    // The renderers that show this player. setRenderer replaces all of them.
    void setRenderer(OpenGLWidgetRenderer *renderer);
    void addVideoRenderer(OpenGLWidgetRenderer *renderer);
    void removeVideoRenderer(OpenGLWidgetRenderer *renderer);
    QList<OpenGLWidgetRenderer *> videoOutputs() const;

    // How the picture is decoded to colour: matrix, primaries and transfer of
    // the colour space, and the levels of the range. Unknown means as signalled.
    // HDR spaces are tone-mapped for the (SDR) display.
    void setColorSpace(ColorSpace space);
    ColorSpace colorSpace() const { return m_colorSpace; }
    void setColorRange(ColorRange range);
    ColorRange colorRange() const { return m_colorRange; }

    // A watermark drawn over the video by every renderer; empty draws nothing.
    void setOverlayText(const QString &text);
    QString overlayText() const { return m_overlayText; }

    // The address handed to mpv: SRT latency is given in milliseconds in our
    // addresses, and FFmpeg's srt protocol reads it in microseconds.
    static QString engineAddress(const QString &url);
    // The format filter that realises a colour space and range ("" for none).
    static QString colorFilter(ColorSpace space, ColorRange range);
    // What a failure means to callers, from the address, whether the media had
    // opened, and mpv's messages about it.
    static AVError classifyFailure(const QString &url, bool opened, bool endOfStream,
                                   const QStringList &messages);
    // Whether play() takes the address: srt://, tcp:// and https:// only, and
    // local files where a program allows them (the player's own test suite).
    static bool isPlayableAddress(const QString &url);
    static void setLocalFilesAllowed(bool allowed);
    // Time the GUI thread has spent reading mpv's events, all players together
    // (for measuring what draining costs).
    static qint64 eventDrainNanoseconds();

signals:
    void started();
    void stopped();
    void stateChanged(OrvaneAV::AVPlayer::State state);
    void positionChanged(qint64 position);
    void error(const OrvaneAV::AVError &error);
    void overlayTextChanged(const QString &text);
    // The first frame of this play() was drawn (for measuring start-up).
    void firstFrameRendered();

private:
    friend class OpenGLWidgetRenderer;
    struct ObservedProperty;
    // Every property of mpv the player follows, with what its changes update.
    static const std::vector<ObservedProperty> &observedProperties();
    void updateRenderSize();
    void drainEvents();
    void handleEvent(const mpv_event &event);
    void onLogMessage(const mpv_event &event);
    void onCommandReply(const mpv_event &event);
    void onStartFile(const mpv_event &event);
    void onFileLoaded();
    void onStartAnswer(const mpv_event &event);
    void onEndFile(const mpv_event &event);
    void onPropertyChange(const mpv_event &event);
    void applyPosition(const MpvValue &value);
    void loadPending();
    void openTimedOut();
    void setState(State state);
    void abandonLoad();
    void announceStopped();
    // Ends what plays or loads: the error first, if any, then the stop signals.
    void finish(const AVError &failure);
    void command(const QStringList &arguments);
    void setPropertyLater(const char *name, const QByteArray &value);

    mpv_handle *m_mpv = nullptr;
    VideoFrameSource *m_frames = nullptr;
    AudioOutput *m_audio = nullptr;
    std::atomic<bool> m_wakeupQueued{false};
    QList<QPointer<OpenGLWidgetRenderer>> m_renderers;

    State m_state = StoppedState;
    QString m_url;
    bool m_loadPending = false; // play() came before drawing was set up
    bool m_drawingSettled = false;
    bool m_canDraw = true;
    // mpv's events of files we replaced or stopped are told apart from those of
    // the current file: each load is numbered, its reply unlocks the next
    // started entry, and only that entry's events count.
    quint64 m_generation = 0;
    bool m_acceptStart = false;
    qint64 m_entry = -1;
    bool m_opened = false;
    int m_startAnswersMissing = 0;
    QTimer m_openTimer;
    struct PendingEnd
    {
        quint64 generation = 0;
        bool opened = false;
        bool failed = false;
        bool endOfStream = false;
    } m_pendingEnd;
    QStringList m_messages; // mpv's warnings and errors for the current file
    quint64 m_srtRefusalsBefore = 0; // refusals SRT had reported when the current file was loaded

    qint64 m_position = 0;
    qint64 m_duration = 0;
    bool m_seekable = false;
    double m_videoBitrate = 0;
    double m_audioBitrate = 0;
    double m_frameRate = 0;
    qint64 m_droppedByDecoder = 0;
    qint64 m_droppedByOutput = 0;
    QString m_videoCodec;
    QString m_audioCodec;
    int m_width = 0;
    int m_height = 0;
    qint64 m_bufferedMs = 0;

    QStringList m_decoderPriority;
    BufferMode m_bufferMode = BufferTime;
    qint64 m_bufferValue = -1;
    ColorSpace m_colorSpace = ColorSpace_Unknown;
    ColorRange m_colorRange = ColorRange_Unknown;
    QString m_overlayText;
};

} // namespace OrvaneAV

Q_DECLARE_METATYPE(OrvaneAV::AVPlayer::State)

#endif // AVPLAYER_H
