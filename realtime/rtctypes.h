#ifndef RTCTYPES_H
#define RTCTYPES_H

#include <QString>
#include <QVector>
#include <QtGlobal>

// The real-time voice service the chat program talks to: an engine that joins a
// voice channel, publishes the microphone, plays the others, mutes, reports who
// speaks how loud, and offers the audio devices. It carries the calls and
// listener notifications of the vendor SDK the chat session manager was written
// for: signalling over a WebSocket to the deployment's real-time hub, the media
// as RTP over UDP through the hub's relay, Opus in 20 ms frames, encrypted end to
// end with the channel's secret.
//
// Notifications arrive on the engine's own thread, never on the caller's; calls
// may be made from any thread and return at once.
namespace orvane {
namespace rtc {

// Results of calls and the codes of error notifications (the vendor's numbers).
enum ERROR_CODE {
    ERR_OK = 0,
    ERR_FAILED = 1,
    ERR_INVALID_ARGUMENT = 2,
    ERR_NOT_READY = 3,
    ERR_NOT_SUPPORTED = 4,
    ERR_REFUSED = 5,
    ERR_NOT_INITIALIZED = 7,
    ERR_JOIN_CHANNEL_REJECTED = 17,
    ERR_LEAVE_CHANNEL_REJECTED = 18,
    ERR_INVALID_APP_ID = 101,
    ERR_INVALID_TOKEN = 110,
    ERR_DECRYPTION_FAILED = 120,
    ERR_CONNECTION_LOST = 1001,
    ERR_ADM_START_RECORDING = 1012,
    ERR_ADM_START_PLAYOUT = 1008,
};

enum USER_OFFLINE_REASON {
    USER_OFFLINE_QUIT = 0,
    USER_OFFLINE_DROPPED = 1,
};

// How the media are encrypted; the numbers the chat session maps its mode texts to.
enum ENCRYPTION_MODE {
    AES_128_XTS = 1,
    AES_128_ECB = 2,
    AES_256_XTS = 3,
    SM4_128_ECB = 4,
};

struct EncryptionConfig
{
    int encryptionMode = AES_128_XTS;
    QByteArray encryptionKey;
};

// One speaker of a volume report. uid 0 is the local user.
struct AudioVolumeInfo
{
    quint32 uid = 0;
    unsigned int volume = 0; // 0 to 255
    unsigned int vad = 0; // 1 while voice is detected
    double voicePitch = 0;
};

// An audio device as the system names it; the id is what selects it.
struct AudioDeviceInfo
{
    QString name;
    QString id;
};

class IRtcEngineEventHandler
{
public:
    virtual ~IRtcEngineEventHandler() = default;
    // uid: the one joined with, or the one the hub gave a join with uid 0.
    virtual void onJoinChannelSuccess(const QString &channel, quint32 uid, int elapsedMs)
    {
        Q_UNUSED(channel)
        Q_UNUSED(uid)
        Q_UNUSED(elapsedMs)
    }
    virtual void onLeaveChannel() { }
    virtual void onError(int code, const QString &message)
    {
        Q_UNUSED(code)
        Q_UNUSED(message)
    }
    // Every interval given to enableAudioVolumeIndication while in a channel.
    virtual void onAudioVolumeIndication(const AudioVolumeInfo *speakers, unsigned int count, int totalVolume)
    {
        Q_UNUSED(speakers)
        Q_UNUSED(count)
        Q_UNUSED(totalVolume)
    }
    virtual void onUserJoined(quint32 uid, int elapsedMs)
    {
        Q_UNUSED(uid)
        Q_UNUSED(elapsedMs)
    }
    virtual void onUserOffline(quint32 uid, int reason)
    {
        Q_UNUSED(uid)
        Q_UNUSED(reason)
    }
    // The first audio of a user decoded since that user (re)joined.
    virtual void onFirstRemoteAudioDecoded(quint32 uid, int elapsedMs)
    {
        Q_UNUSED(uid)
        Q_UNUSED(elapsedMs)
    }
};

struct RtcEngineContext
{
    IRtcEngineEventHandler *eventHandler = nullptr;
    QString appId;
    int channelProfile = 1;
    quint32 areaCode = 0xFFFFFFFF;
    int logFileSizeKB = 1024;
    int logLevel = 1;
};

} // namespace rtc
} // namespace orvane

#endif // RTCTYPES_H
