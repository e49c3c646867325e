#include "voicecall.h"

#include "deploymentoverride.h"
#include "logcategories.h"
#include "rtppacket.h"
#include "voicelevel.h"
#include "voicemixer.h"

#include <QAudioInput>
#include <QAudioOutput>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkDatagram>
#include <QNetworkRequest>
#include <QUdpSocket>
#include <QWebSocket>
#include <QtEndian>

#include <opus/opus.h>

#include <utility>

namespace orvane {
namespace rtc {

namespace {

const QByteArray hello("OVRH");
constexpr int helloIntervalMs = 200;
constexpr int helloAttempts = 25; // 5 s for the relay to answer
constexpr int frameBytes = VoiceMixer::frameSamples * 2;

QAudioFormat voiceFormat()
{
    QAudioFormat format;
    format.setSampleRate(VoiceMixer::sampleRate);
    format.setChannelCount(1);
    format.setSampleSize(16);
    format.setSampleType(QAudioFormat::SignedInt);
    format.setByteOrder(QAudioFormat::LittleEndian);
    format.setCodec(QStringLiteral("audio/pcm"));
    return format;
}

// The engine's codes for what the hub answers a join with.
int joinErrorCode(int hubCode)
{
    switch (hubCode) {
    case ERR_INVALID_TOKEN:
    case ERR_INVALID_APP_ID:
    case ERR_JOIN_CHANNEL_REJECTED:
    case ERR_INVALID_ARGUMENT: return hubCode;
    default: return ERR_JOIN_CHANNEL_REJECTED;
    }
}

} // namespace

VoiceCall::VoiceCall(const QUrl &hubUrl, const QString &appId, IRtcEngineEventHandler *handler)
    : m_hubUrl(hubUrl)
    , m_appId(appId)
    , m_handler(handler)
    , m_helloTimer(this)
    , m_volumeTimer(this)
{
    m_helloTimer.setInterval(helloIntervalMs);
    connect(&m_helloTimer, &QTimer::timeout, this, &VoiceCall::sendHello);
    connect(&m_volumeTimer, &QTimer::timeout, this, &VoiceCall::reportVolumes);
}

VoiceCall::~VoiceCall()
{
    finishLeave(false);
}

void VoiceCall::join(const QString &token, const QString &channel, quint32 uid)
{
    if (m_state != State::Idle)
        finishLeave(false);
    m_token = token;
    m_channel = channel;
    m_uid = uid;
    m_joinClock.start();
    m_state = State::Signalling;
    auto *socket = new QWebSocket(QString(), QWebSocketProtocol::VersionLatest, this);
    m_signalling = socket;
    connect(socket, &QWebSocket::connected, this, &VoiceCall::onSignallingConnected);
    connect(socket, &QWebSocket::disconnected, this, &VoiceCall::onSignallingLost);
    connect(socket, &QWebSocket::textMessageReceived, this, &VoiceCall::onSignallingFrame);
    QNetworkRequest request(m_hubUrl);
    DeploymentOverride::instance().prepare(request);
    qCInfo(lcVoice) << "Joining voice channel" << channel << "as" << uid;
    socket->open(request);
}

void VoiceCall::transmit(const QJsonObject &frame)
{
    if (m_signalling && m_signalling->state() == QAbstractSocket::ConnectedState)
        m_signalling->sendTextMessage(QString::fromUtf8(QJsonDocument(frame).toJson(QJsonDocument::Compact)));
}

void VoiceCall::onSignallingConnected()
{
    qCDebug(lcVoice) << "Signalling connected; joining";
    transmit({{QStringLiteral("op"), QStringLiteral("join")},
              {QStringLiteral("channel"), m_channel},
              {QStringLiteral("token"), m_token},
              {QStringLiteral("uid"), qint64(m_uid)},
              {QStringLiteral("appId"), m_appId}});
}

void VoiceCall::onSignallingFrame(const QString &text)
{
    const QJsonObject frame = QJsonDocument::fromJson(text.toUtf8()).object();
    const QString op = frame.value(QStringLiteral("op")).toString();
    qCDebug(lcVoice) << "From the hub:" << op;
    const auto number = [&frame](const char *key) { return frame.value(QLatin1String(key)).toDouble(-1); };
    if (op == QLatin1String("joinResult")) {
        if (m_state != State::Signalling)
            return;
        const int code = int(number("code"));
        if (code != 0) {
            fail(joinErrorCode(code), QStringLiteral("the hub refused the join (%1)").arg(code));
            return;
        }
        const double ticket = number("ticket");
        const double port = number("mediaPort");
        if (ticket < 0 || ticket > 0xffffffffu || port < 1 || port > 65535) {
            fail(ERR_FAILED, QStringLiteral("the hub's answer names no media relay"));
            return;
        }
        m_ticket = quint32(ticket);
        m_mediaPort = quint16(port);
        // A join with uid 0 is given one by the hub.
        const double assigned = number("uid");
        if (m_uid == 0 && assigned > 0 && assigned <= 0xffffffffu)
            m_uid = quint32(assigned);
        m_mediaHost = m_signalling->peerAddress();
        for (const QJsonValue &member : frame.value(QStringLiteral("members")).toArray()) {
            if (member.toDouble(-1) >= 0 && member.toDouble() <= 0xffffffffu)
                m_remotes.insert(quint32(member.toDouble()));
        }
        m_media = new QUdpSocket(this);
        connect(m_media, &QUdpSocket::readyRead, this, &VoiceCall::onDatagrams);
        if (!m_media->bind(QHostAddress(m_mediaHost.protocol() == QAbstractSocket::IPv6Protocol
                                            ? QHostAddress::AnyIPv6
                                            : QHostAddress::AnyIPv4),
                           quint16(0))) {
            fail(ERR_FAILED, QStringLiteral("no UDP socket for the media: %1").arg(m_media->errorString()));
            return;
        }
        m_state = State::Binding;
        m_helloes = 0;
        sendHello();
        m_helloTimer.start();
    } else if (op == QLatin1String("userJoined")) {
        const double uid = number("uid");
        if (m_state != State::Joined || uid < 0 || uid > 0xffffffffu)
            return;
        m_remotes.insert(quint32(uid));
        m_mixer->addParticipant(quint32(uid));
        m_handler->onUserJoined(quint32(uid), int(m_joinClock.elapsed()));
    } else if (op == QLatin1String("userOffline")) {
        const double uid = number("uid");
        if (uid < 0 || uid > 0xffffffffu || !m_remotes.remove(quint32(uid)))
            return;
        if (m_mixer)
            m_mixer->removeParticipant(quint32(uid));
        if (m_state == State::Joined) {
            const bool dropped = frame.value(QStringLiteral("reason")).toString() == QLatin1String("dropped");
            m_handler->onUserOffline(quint32(uid), dropped ? USER_OFFLINE_DROPPED : USER_OFFLINE_QUIT);
        }
    } else if (op == QLatin1String("error")) {
        const int code = int(number("code"));
        m_handler->onError(code, QStringLiteral("reported by the hub"));
    }
}

void VoiceCall::onSignallingLost()
{
    if (sender() != m_signalling || m_state == State::Idle)
        return;
    qCWarning(lcVoice) << "Voice hub connection lost:" << m_signalling->errorString();
    const bool wasJoined = m_state == State::Joined;
    m_handler->onError(ERR_CONNECTION_LOST, QStringLiteral("the connection to the voice hub was lost"));
    finishLeave(wasJoined);
}

void VoiceCall::sendHello()
{
    if (m_state != State::Binding || !m_media)
        return;
    if (++m_helloes > helloAttempts) {
        fail(ERR_CONNECTION_LOST, QStringLiteral("the media relay did not answer"));
        return;
    }
    QByteArray packet = hello;
    packet.resize(8);
    qToBigEndian(m_ticket, reinterpret_cast<uchar *>(packet.data()) + 4);
    m_media->writeDatagram(packet, m_mediaHost, m_mediaPort);
}

void VoiceCall::onDatagrams()
{
    while (m_media && m_media->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_media->receiveDatagram(2048);
        const QByteArray data = datagram.data();
        if (data.size() == 8 && data.startsWith(hello)) {
            if (m_state != State::Binding || qFromBigEndian<quint32>(data.constData() + 4) != m_ticket)
                continue;
            m_helloTimer.stop();
            m_state = State::Joined;
            startAudio();
            qCInfo(lcVoice) << "In voice channel" << m_channel << "after" << m_joinClock.elapsed() << "ms";
            m_handler->onJoinChannelSuccess(m_channel, m_uid, int(m_joinClock.elapsed()));
            for (const quint32 remote : qAsConst(m_remotes)) {
                m_mixer->addParticipant(remote);
                m_handler->onUserJoined(remote, int(m_joinClock.elapsed()));
            }
            continue;
        }
        RtpPacket packet;
        if (m_state != State::Joined || !RtpPacket::decode(data, &packet)
            || packet.payloadType != RtpPacket::opusPayloadType || packet.ssrc == m_uid)
            continue;
        QByteArray opus;
        // Sealed with another secret (or damaged): dropped, heard as silence.
        if (!m_cipher.open(packet.payload, packet.ssrc, packet.sequence, packet.timestamp, &opus))
            continue;
        m_mixer->receive(packet.ssrc, packet.sequence, opus);
    }
}

void VoiceCall::startAudio()
{
    int error = OPUS_OK;
    m_encoder = opus_encoder_create(VoiceMixer::sampleRate, 1, OPUS_APPLICATION_VOIP, &error);
    if (error != OPUS_OK) {
        m_encoder = nullptr;
        m_handler->onError(ERR_FAILED, QStringLiteral("the Opus encoder could not be made"));
    } else {
        opus_encoder_ctl(m_encoder, OPUS_SET_BITRATE(m_bitrate));
        // Each frame carries a coarse copy of the one before, for the receiver
        // to restore a lost frame from.
        opus_encoder_ctl(m_encoder, OPUS_SET_INBAND_FEC(1));
        opus_encoder_ctl(m_encoder, OPUS_SET_PACKET_LOSS_PERC(10));
    }
    m_mixer = new VoiceMixer(this);
    m_mixer->setAllMuted(m_allRemoteMuted);
    m_mixer->onFirstAudio
        = [this](quint32 uid) { m_handler->onFirstRemoteAudioDecoded(uid, int(m_joinClock.elapsed())); };
    for (auto it = m_remoteMutes.constBegin(); it != m_remoteMutes.constEnd(); ++it)
        m_mixer->setMuted(it.key(), it.value());
    m_mixer->setSmoothing(m_smoothing);
    m_localLevel = new VoiceLevel(m_smoothing);
    startCapture();
    startPlayout();
    if (m_volumeIntervalMs > 0)
        m_volumeTimer.start(m_volumeIntervalMs);
}

void VoiceCall::startCapture()
{
    const QAudioDeviceInfo device
        = m_inputDevice.isNull() ? QAudioDeviceInfo::defaultInputDevice() : m_inputDevice;
    m_input = new QAudioInput(device, voiceFormat(), this);
    m_input->setBufferSize(frameBytes);
    m_inputStream = m_input->start();
    if (!m_inputStream || m_input->error() != QAudio::NoError) {
        qCWarning(lcVoice) << "The microphone" << device.deviceName() << "could not be opened";
        m_handler->onError(ERR_ADM_START_RECORDING, QStringLiteral("the microphone could not be opened"));
        return;
    }
    qCInfo(lcVoice) << "Recording from" << device.deviceName();
    connect(m_inputStream, &QIODevice::readyRead, this, &VoiceCall::onCaptured);
}

void VoiceCall::startPlayout()
{
    const QAudioDeviceInfo device
        = m_outputDevice.isNull() ? QAudioDeviceInfo::defaultOutputDevice() : m_outputDevice;
    m_output = new QAudioOutput(device, voiceFormat(), this);
    m_output->setBufferSize(frameBytes * 2);
    m_output->start(m_mixer);
    if (m_output->error() != QAudio::NoError) {
        qCWarning(lcVoice) << "The speakers" << device.deviceName() << "could not be opened";
        m_handler->onError(ERR_ADM_START_PLAYOUT, QStringLiteral("the speakers could not be opened"));
        return;
    }
    qCInfo(lcVoice) << "Playing to" << device.deviceName();
}

void VoiceCall::onCaptured()
{
    if (!m_inputStream)
        return;
    m_captured += m_inputStream->readAll();
    int offset = 0;
    while (m_captured.size() - offset >= frameBytes) {
        const auto *pcm = reinterpret_cast<const qint16 *>(m_captured.constData() + offset);
        if (!m_localMuted)
            m_localLevel->add(pcm, VoiceMixer::frameSamples);
        sendFrame(pcm);
        offset += frameBytes;
    }
    m_captured.remove(0, offset);
}

void VoiceCall::sendFrame(const qint16 *pcm)
{
    // The clock runs on while muted, so the others' buffers see a pause, not a jump.
    const quint16 sequence = m_sequence++;
    const quint32 timestamp = m_timestamp;
    m_timestamp += VoiceMixer::frameSamples;
    if (m_localMuted || !m_encoder || !m_media || m_state != State::Joined)
        return;
    unsigned char encoded[512];
    const int size = opus_encode(m_encoder, pcm, VoiceMixer::frameSamples, encoded, sizeof(encoded));
    if (size <= 0)
        return;
    RtpPacket packet;
    packet.sequence = sequence;
    packet.timestamp = timestamp;
    packet.ssrc = m_uid;
    packet.payload = m_cipher.seal(QByteArray(reinterpret_cast<const char *>(encoded), size), m_uid, sequence,
                                   timestamp);
    m_media->writeDatagram(packet.encode(), m_mediaHost, m_mediaPort);
}

void VoiceCall::reportVolumes()
{
    if (m_state != State::Joined || !m_mixer)
        return;
    QVector<AudioVolumeInfo> speakers;
    AudioVolumeInfo local;
    local.uid = 0;
    local.volume = m_localLevel->take();
    local.vad = m_reportVad && m_localLevel->voiceActive() ? 1 : 0;
    speakers << local;
    int total = 0;
    const auto levels = m_mixer->takeLevels();
    for (auto it = levels.constBegin(); it != levels.constEnd(); ++it) {
        AudioVolumeInfo remote;
        remote.uid = it.key();
        remote.volume = it.value().first;
        remote.vad = m_reportVad && it.value().second ? 1 : 0;
        total = qMax(total, int(remote.volume));
        speakers << remote;
    }
    m_handler->onAudioVolumeIndication(speakers.constData(), unsigned(speakers.size()), total);
}

void VoiceCall::leave()
{
    if (m_state == State::Idle)
        return;
    transmit({{QStringLiteral("op"), QStringLiteral("leave")}});
    qCInfo(lcVoice) << "Leaving voice channel" << m_channel;
    finishLeave(true);
}

void VoiceCall::stopAudio()
{
    // Stopping an audio device may run a nested event loop (Qt Multimedia's
    // PulseAudio back end waits for the server), in which a queued join can
    // start a new call: everything is taken out of the members first, so that
    // such a call starts from nothing and nothing is stopped twice.
    m_volumeTimer.stop();
    QAudioInput *input = std::exchange(m_input, nullptr);
    m_inputStream = nullptr;
    QAudioOutput *output = std::exchange(m_output, nullptr);
    VoiceMixer *mixer = std::exchange(m_mixer, nullptr);
    VoiceLevel *level = std::exchange(m_localLevel, nullptr);
    OpusEncoder *encoder = std::exchange(m_encoder, nullptr);
    m_captured.clear();
    if (mixer) {
        m_playedBefore += mixer->statistics().frames;
        m_concealedBefore += mixer->statistics().concealed;
    }
    if (input) {
        input->disconnect(this);
        input->stop();
        delete input;
    }
    if (output) {
        output->stop();
        delete output;
    }
    delete mixer;
    delete level;
    if (encoder)
        opus_encoder_destroy(encoder);
}

void VoiceCall::finishLeave(bool notify)
{
    const State previous = m_state;
    m_state = State::Idle;
    m_helloTimer.stop();
    m_remotes.clear();
    // The sockets first, before anything that may let other events run.
    if (QUdpSocket *media = std::exchange(m_media, nullptr)) {
        media->disconnect(this);
        media->deleteLater();
    }
    if (QWebSocket *socket = m_signalling.data()) {
        m_signalling = nullptr;
        socket->disconnect(this);
        socket->close();
        socket->deleteLater();
    }
    stopAudio();
    if (notify && previous != State::Idle)
        m_handler->onLeaveChannel();
}

void VoiceCall::fail(int code, const QString &message)
{
    qCWarning(lcVoice) << "Voice channel:" << message;
    finishLeave(false);
    m_handler->onError(code, message);
}

void VoiceCall::setEncryption(bool enabled, const EncryptionConfig &config)
{
    m_cipher.setKey(enabled ? config.encryptionMode : 0, config.encryptionKey);
}

void VoiceCall::muteLocal(bool muted)
{
    m_localMuted = muted;
}

void VoiceCall::muteAllRemote(bool muted)
{
    m_allRemoteMuted = muted;
    if (m_mixer)
        m_mixer->setAllMuted(muted);
}

void VoiceCall::muteRemote(quint32 uid, bool muted)
{
    m_remoteMutes.insert(uid, muted);
    if (m_mixer)
        m_mixer->setMuted(uid, muted);
}

void VoiceCall::enableVolumeIndication(int intervalMs, int smoothing, bool reportVad)
{
    m_volumeIntervalMs = intervalMs;
    m_smoothing = smoothing;
    m_reportVad = reportVad;
    if (m_mixer)
        m_mixer->setSmoothing(smoothing);
    if (m_localLevel)
        m_localLevel->setSmoothing(smoothing);
    if (m_state == State::Joined && intervalMs > 0)
        m_volumeTimer.start(intervalMs);
    else if (intervalMs <= 0)
        m_volumeTimer.stop();
}

void VoiceCall::setBitrate(int bitsPerSecond)
{
    m_bitrate = bitsPerSecond;
    if (m_encoder)
        opus_encoder_ctl(m_encoder, OPUS_SET_BITRATE(bitsPerSecond));
}

void VoiceCall::setInputDevice(const QAudioDeviceInfo &device)
{
    m_inputDevice = device;
    if (!m_input)
        return;
    // Taken out first: stopping may let other events run (see stopAudio).
    QAudioInput *previous = std::exchange(m_input, nullptr);
    m_inputStream = nullptr;
    m_captured.clear();
    previous->disconnect(this);
    previous->stop();
    delete previous;
    if (m_state == State::Joined && !m_input)
        startCapture();
}

void VoiceCall::setOutputDevice(const QAudioDeviceInfo &device)
{
    m_outputDevice = device;
    if (!m_output)
        return;
    QAudioOutput *previous = std::exchange(m_output, nullptr);
    previous->stop();
    delete previous;
    if (m_state == State::Joined && !m_output && m_mixer)
        startPlayout();
}

qint64 VoiceCall::framesPlayed() const
{
    return m_playedBefore + (m_mixer ? m_mixer->statistics().frames : 0);
}

qint64 VoiceCall::framesConcealed() const
{
    return m_concealedBefore + (m_mixer ? m_mixer->statistics().concealed : 0);
}

} // namespace rtc
} // namespace orvane
