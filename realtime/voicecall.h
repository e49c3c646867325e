#ifndef VOICECALL_H
#define VOICECALL_H

#include "rtctypes.h"
#include "voicecipher.h"

#include <QAudioDeviceInfo>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QMap>
#include <QSet>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

class QAudioInput;
class QAudioOutput;
class QIODevice;
class QUdpSocket;
class QWebSocket;
struct OpusEncoder;
class VoiceLevel;
class VoiceMixer;

namespace orvane {
namespace rtc {

// One engine's voice channel, on the engine's thread: the signalling WebSocket to
// the hub, the UDP socket of the media, the microphone (captured, encoded in
// 20 ms Opus frames, sealed, sent as RTP) and the playout of the others (through
// the mixer), the mutes, the volume reports and the device choice.
class VoiceCall : public QObject
{
    Q_OBJECT

public:
    VoiceCall(const QUrl &hubUrl, const QString &appId, IRtcEngineEventHandler *handler);
    ~VoiceCall() override;

    void join(const QString &token, const QString &channel, quint32 uid);
    void leave();
    void setEncryption(bool enabled, const EncryptionConfig &config);
    void muteLocal(bool muted);
    void muteAllRemote(bool muted);
    void muteRemote(quint32 uid, bool muted);
    void enableVolumeIndication(int intervalMs, int smoothing, bool reportVad);
    void setBitrate(int bitsPerSecond);
    // Null devices follow the system's default.
    void setInputDevice(const QAudioDeviceInfo &device);
    void setOutputDevice(const QAudioDeviceInfo &device);

    // For the suites: frames played and concealed for the others.
    qint64 framesPlayed() const;
    qint64 framesConcealed() const;

private:
    enum class State { Idle, Signalling, Binding, Joined };

    void onSignallingConnected();
    void onSignallingFrame(const QString &text);
    void onSignallingLost();
    void onDatagrams();
    void sendHello();
    void startAudio();
    void stopAudio();
    void startCapture();
    void startPlayout();
    void onCaptured();
    void sendFrame(const qint16 *pcm);
    void reportVolumes();
    void finishLeave(bool notify);
    void fail(int code, const QString &message);
    void transmit(const QJsonObject &frame);

    QUrl m_hubUrl;
    QString m_appId;
    IRtcEngineEventHandler *m_handler;

    State m_state = State::Idle;
    QString m_token;
    QString m_channel;
    quint32 m_uid = 0;
    quint32 m_ticket = 0;
    quint16 m_mediaPort = 0;
    QHostAddress m_mediaHost;
    QElapsedTimer m_joinClock;
    QPointer<QWebSocket> m_signalling;
    QUdpSocket *m_media = nullptr;
    // Children, so that they move to the engine's thread with the call.
    QTimer m_helloTimer;
    int m_helloes = 0;

    VoiceCipher m_cipher;
    OpusEncoder *m_encoder = nullptr;
    int m_bitrate = 16000;
    quint16 m_sequence = 0;
    quint32 m_timestamp = 0;
    bool m_localMuted = false;
    QAudioDeviceInfo m_inputDevice; // null: the system's default
    QAudioDeviceInfo m_outputDevice;
    QAudioInput *m_input = nullptr;
    QIODevice *m_inputStream = nullptr;
    QByteArray m_captured; // samples not yet a whole frame
    QAudioOutput *m_output = nullptr;
    VoiceMixer *m_mixer = nullptr;
    VoiceLevel *m_localLevel = nullptr;
    QTimer m_volumeTimer;
    int m_volumeIntervalMs = 0;
    int m_smoothing = 3;
    bool m_reportVad = false;
    bool m_allRemoteMuted = false;
    QSet<quint32> m_remotes;
    // Kept across joins: a participant muted here stays muted when they return.
    QMap<quint32, bool> m_remoteMutes;
    qint64 m_playedBefore = 0;
    qint64 m_concealedBefore = 0;
};

} // namespace rtc
} // namespace orvane

#endif // VOICECALL_H
