#ifndef RTCENGINE_H
#define RTCENGINE_H

#include "rtctypes.h"

#include <QAudioDeviceInfo>
#include <QUrl>

#include <functional>

class QThread;

namespace orvane {
namespace rtc {

class VoiceCall;

// The voice engine: the calls of the vendor's engine carried to the voice call on
// the engine's own thread, and the audio devices of the system.
class RtcEngine
{
public:
    RtcEngine();
    ~RtcEngine();
    RtcEngine(const RtcEngine &) = delete;
    RtcEngine &operator=(const RtcEngine &) = delete;

    // The hub's designed address, "wss://<hub host>/rtc/v1".
    static QUrl hubUrl();

    int initialize(const RtcEngineContext &context);
    QString getVersion(int *build) const;
    QString getErrorDescription(int code) const;
    // "{\"che.audio.custom_bitrate\":16000}" sets the encoder's bit rate.
    int setParameters(const QString &parameters);

    int joinChannel(const QString &token, const QString &channelId, quint32 uid);
    int leaveChannel();
    int muteLocalAudioStream(bool mute);
    int muteAllRemoteAudioStreams(bool mute);
    int muteRemoteAudioStream(quint32 uid, bool mute);
    int enableAudioVolumeIndication(int intervalMs, int smooth, bool reportVad);
    // Negative for a mode the engine does not offer or an empty key.
    int enableEncryption(bool enabled, const EncryptionConfig &config);

    // The system's devices (the id selects one).
    QVector<AudioDeviceInfo> recordingDevices() const;
    QVector<AudioDeviceInfo> playbackDevices() const;
    int setRecordingDevice(const QString &id);
    int setPlaybackDevice(const QString &id);
    int followSystemRecordingDevice(bool follow);
    int followSystemPlaybackDevice(bool follow);
    // The device in use: the chosen one, or the system's default.
    AudioDeviceInfo recordingDevice() const;
    AudioDeviceInfo playbackDevice() const;

    // For the suites: the frames played for the others, and of them the ones
    // made up for lost ones.
    void playoutStatistics(qint64 *played, qint64 *concealed);

    void release();

private:
    void post(const std::function<void(VoiceCall *)> &call, bool wait = false);

    QThread *m_thread = nullptr;
    VoiceCall *m_call = nullptr;
    QAudioDeviceInfo m_input;
    QAudioDeviceInfo m_output;
};

} // namespace rtc
} // namespace orvane

#endif // RTCENGINE_H
