#include "rtcengine.h"

#include "deploymenthosts.h"
#include "voicecall.h"
#include "voicecipher.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaObject>
#include <QThread>

#include <opus/opus.h>

#include <cctype>

namespace orvane {
namespace rtc {

namespace {

QAudioDeviceInfo deviceWithId(QAudio::Mode mode, const QString &id)
{
    for (const QAudioDeviceInfo &device : QAudioDeviceInfo::availableDevices(mode)) {
        if (device.deviceName() == id)
            return device;
    }
    return QAudioDeviceInfo();
}

QVector<AudioDeviceInfo> devicesOf(QAudio::Mode mode)
{
    QVector<AudioDeviceInfo> devices;
    for (const QAudioDeviceInfo &device : QAudioDeviceInfo::availableDevices(mode))
        devices.append({device.deviceName(), device.deviceName()});
    return devices;
}

} // namespace

RtcEngine::RtcEngine() = default;

RtcEngine::~RtcEngine()
{
    release();
}

QUrl RtcEngine::hubUrl()
{
    QUrl url;
    url.setScheme(QStringLiteral("wss"));
    url.setHost(DeploymentHosts::chatHub());
    url.setPort(443);
    url.setPath(QStringLiteral("/rtc/v1"));
    return url;
}

int RtcEngine::initialize(const RtcEngineContext &context)
{
    if (m_call || !context.eventHandler)
        return -ERR_FAILED;
    if (context.appId.size() != 32)
        return -ERR_INVALID_APP_ID;
    for (const QChar c : context.appId) {
        if (!isxdigit(c.toLatin1()))
            return -ERR_INVALID_APP_ID;
    }
    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("rtc engine"));
    m_call = new VoiceCall(hubUrl(), context.appId, context.eventHandler);
    m_call->moveToThread(m_thread);
    QObject::connect(m_thread, &QThread::finished, m_call, &QObject::deleteLater);
    m_thread->start();
    return ERR_OK;
}

void RtcEngine::release()
{
    if (!m_thread)
        return;
    // Leave on the engine's thread (the audio and sockets live there), then stop it.
    post([](VoiceCall *call) { call->leave(); }, true);
    m_thread->quit();
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    m_call = nullptr;
}

void RtcEngine::post(const std::function<void(VoiceCall *)> &call, bool wait)
{
    if (!m_call)
        return;
    VoiceCall *target = m_call;
    const bool here = QThread::currentThread() == m_thread;
    QMetaObject::invokeMethod(
        target, [call, target] { call(target); },
        here       ? Qt::DirectConnection
            : wait ? Qt::BlockingQueuedConnection
                   : Qt::QueuedConnection);
}

QString RtcEngine::getVersion(int *build) const
{
    if (build)
        *build = 1;
    return QStringLiteral("1.0 (Opus %1)").arg(QString::fromLatin1(opus_get_version_string()));
}

QString RtcEngine::getErrorDescription(int code) const
{
    switch (code) {
    case ERR_OK: return QStringLiteral("no error");
    case ERR_FAILED: return QStringLiteral("general error");
    case ERR_INVALID_ARGUMENT: return QStringLiteral("invalid argument");
    case ERR_NOT_READY: return QStringLiteral("not ready");
    case ERR_NOT_SUPPORTED: return QStringLiteral("not supported");
    case ERR_REFUSED: return QStringLiteral("request refused");
    case ERR_NOT_INITIALIZED: return QStringLiteral("not initialized");
    case ERR_JOIN_CHANNEL_REJECTED: return QStringLiteral("join channel rejected");
    case ERR_LEAVE_CHANNEL_REJECTED: return QStringLiteral("leave channel rejected");
    case ERR_INVALID_APP_ID: return QStringLiteral("invalid app id");
    case ERR_INVALID_TOKEN: return QStringLiteral("invalid token");
    case ERR_DECRYPTION_FAILED: return QStringLiteral("decryption failed");
    case ERR_CONNECTION_LOST: return QStringLiteral("connection lost");
    case ERR_ADM_START_RECORDING: return QStringLiteral("recording device could not start");
    case ERR_ADM_START_PLAYOUT: return QStringLiteral("playback device could not start");
    default: return QString();
    }
}

int RtcEngine::setParameters(const QString &parameters)
{
    QJsonParseError error{};
    const QJsonObject values = QJsonDocument::fromJson(parameters.toUtf8(), &error).object();
    if (error.error != QJsonParseError::NoError)
        return -ERR_INVALID_ARGUMENT;
    const QJsonValue bitrate = values.value(QStringLiteral("che.audio.custom_bitrate"));
    if (bitrate.isDouble()) {
        const int bitsPerSecond = bitrate.toInt();
        if (bitsPerSecond < 6000 || bitsPerSecond > 510000)
            return -ERR_INVALID_ARGUMENT;
        post([bitsPerSecond](VoiceCall *call) { call->setBitrate(bitsPerSecond); });
    }
    return ERR_OK;
}

int RtcEngine::joinChannel(const QString &token, const QString &channelId, quint32 uid)
{
    if (!m_call)
        return -ERR_NOT_INITIALIZED;
    if (token.isEmpty() || channelId.isEmpty() || channelId.size() > 64)
        return -ERR_INVALID_ARGUMENT;
    post([token, channelId, uid](VoiceCall *call) { call->join(token, channelId, uid); });
    return ERR_OK;
}

int RtcEngine::leaveChannel()
{
    if (!m_call)
        return -ERR_NOT_INITIALIZED;
    post([](VoiceCall *call) { call->leave(); });
    return ERR_OK;
}

int RtcEngine::muteLocalAudioStream(bool mute)
{
    post([mute](VoiceCall *call) { call->muteLocal(mute); });
    return m_call ? ERR_OK : -ERR_NOT_INITIALIZED;
}

int RtcEngine::muteAllRemoteAudioStreams(bool mute)
{
    post([mute](VoiceCall *call) { call->muteAllRemote(mute); });
    return m_call ? ERR_OK : -ERR_NOT_INITIALIZED;
}

int RtcEngine::muteRemoteAudioStream(quint32 uid, bool mute)
{
    post([uid, mute](VoiceCall *call) { call->muteRemote(uid, mute); });
    return m_call ? ERR_OK : -ERR_NOT_INITIALIZED;
}

int RtcEngine::enableAudioVolumeIndication(int intervalMs, int smooth, bool reportVad)
{
    if (intervalMs > 0 && intervalMs < 10)
        return -ERR_INVALID_ARGUMENT;
    post([intervalMs, smooth, reportVad](VoiceCall *call) {
        call->enableVolumeIndication(intervalMs, smooth, reportVad);
    });
    return m_call ? ERR_OK : -ERR_NOT_INITIALIZED;
}

int RtcEngine::enableEncryption(bool enabled, const EncryptionConfig &config)
{
    if (!m_call)
        return -ERR_NOT_INITIALIZED;
    if (enabled && (!VoiceCipher::supports(config.encryptionMode) || config.encryptionMode == 0))
        return -ERR_NOT_SUPPORTED;
    if (enabled && config.encryptionKey.isEmpty())
        return -ERR_INVALID_ARGUMENT;
    post([enabled, config](VoiceCall *call) { call->setEncryption(enabled, config); });
    return ERR_OK;
}

QVector<AudioDeviceInfo> RtcEngine::recordingDevices() const
{
    return devicesOf(QAudio::AudioInput);
}

QVector<AudioDeviceInfo> RtcEngine::playbackDevices() const
{
    return devicesOf(QAudio::AudioOutput);
}

int RtcEngine::setRecordingDevice(const QString &id)
{
    const QAudioDeviceInfo device = deviceWithId(QAudio::AudioInput, id);
    if (device.isNull())
        return -ERR_INVALID_ARGUMENT;
    m_input = device;
    post([device](VoiceCall *call) { call->setInputDevice(device); });
    return ERR_OK;
}

int RtcEngine::setPlaybackDevice(const QString &id)
{
    const QAudioDeviceInfo device = deviceWithId(QAudio::AudioOutput, id);
    if (device.isNull())
        return -ERR_INVALID_ARGUMENT;
    m_output = device;
    post([device](VoiceCall *call) { call->setOutputDevice(device); });
    return ERR_OK;
}

int RtcEngine::followSystemRecordingDevice(bool follow)
{
    if (!follow)
        return ERR_OK;
    m_input = QAudioDeviceInfo();
    post([](VoiceCall *call) { call->setInputDevice(QAudioDeviceInfo()); });
    return ERR_OK;
}

int RtcEngine::followSystemPlaybackDevice(bool follow)
{
    if (!follow)
        return ERR_OK;
    m_output = QAudioDeviceInfo();
    post([](VoiceCall *call) { call->setOutputDevice(QAudioDeviceInfo()); });
    return ERR_OK;
}

AudioDeviceInfo RtcEngine::recordingDevice() const
{
    const QAudioDeviceInfo device = m_input.isNull() ? QAudioDeviceInfo::defaultInputDevice() : m_input;
    return {device.deviceName(), device.deviceName()};
}

AudioDeviceInfo RtcEngine::playbackDevice() const
{
    const QAudioDeviceInfo device = m_output.isNull() ? QAudioDeviceInfo::defaultOutputDevice() : m_output;
    return {device.deviceName(), device.deviceName()};
}

void RtcEngine::playoutStatistics(qint64 *played, qint64 *concealed)
{
    qint64 frames = 0;
    qint64 madeUp = 0;
    post(
        [&frames, &madeUp](VoiceCall *call) {
            frames = call->framesPlayed();
            madeUp = call->framesConcealed();
        },
        true);
    *played = frames;
    *concealed = madeUp;
}

} // namespace rtc
} // namespace orvane
