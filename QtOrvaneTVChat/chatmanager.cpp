#include "chatmanager.h"

#include "coreapimanager.h"
#include "globalmanager.h"
#include "logredaction.h"
#include "rtcengine.h"

#include <QDateTime>
#include <QDebug>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaObject>
#include <QRandomGenerator>
#include <QSysInfo>

using namespace orvane::rtm;
using orvane::rtc::AudioVolumeInfo;
using orvane::rtc::RtcEngine;

ChatManager::ChatManager() = default;

ChatManager::~ChatManager()
{
    // The engine leaves the voice channel and stops its thread: no voice
    // notification comes after this.
    if (m_engine)
        m_engine->release();
    m_engine.reset();
    // Released first: once it returns no notification is pending on the service thread.
    if (m_channel)
        m_channel->release();
    m_channel = nullptr;
    m_service.reset();
}

QString ChatManager::applicationId()
{
    return QStringLiteral("4f1c9a2e7b3d4c5e8a6f0b1d2c3e4f5a");
}

template<typename Function>
void ChatManager::handOver(Function &&function)
{
    QMetaObject::invokeMethod(this, std::forward<Function>(function), Qt::QueuedConnection);
}

void ChatManager::initialize()
{
    IRtmService *service = createRtmService();
    if (!service) {
        qDebug() << "RTM service create failure!";
        emit errorOccurred(QStringLiteral("Error starting Agora service"),
                           QStringLiteral("Could not create real-time messaging service"));
        return;
    }
    m_service.reset(service, [](IRtmService *s) {
        s->release(false);
        delete s;
    });
    if (m_service->initialize(applicationId(), this) != 0) {
        qDebug() << "RTM service init failure! Double-check your app id";
        emit errorOccurred(QStringLiteral("Error starting Agora service"),
                           QStringLiteral("Double-check the app id"));
        return;
    }
    m_engine = std::make_unique<RtcEngine>();
    orvane::rtc::RtcEngineContext context;
    context.eventHandler = this;
    context.appId = applicationId();
    if (m_engine->initialize(context) != 0) {
        qDebug() << "RTC service init failure! Double-check your app id";
        m_engine.reset();
        emit errorOccurred(QStringLiteral("Error starting Agora call service"),
                           QStringLiteral("Could not create service, double-check your app id"));
        return;
    }
    int build = 0;
    const QString version = m_engine->getVersion(&build);
    qDebug() << "Chat Manager Initialized!";
    qDebug() << "RTM Version:" << getRtmSdkVersion()
             << ", RTC Version:" << QStringLiteral("%1 (%2)").arg(version).arg(build);
}

void ChatManager::registerLocalUser(const QString &name)
{
    qDebug() << "Registering" << name;
    m_voiceUid = 0;
    m_userAccount = QStringLiteral("userAccount");
    qDebug() << "Setting Agora User ID: " << 0;
    qDebug() << name << " registered to id" << 0;
    if (!m_registered) {
        m_registered = true;
        emit agoraLocalUserRegistrationComplete(true);
    }
}

quint32 ChatManager::voiceUidFor(quint32 userId, quint32 random)
{
    const quint32 k = quint32((quint64(random) * 4095u) >> 32);
    return userId | (k << 20);
}

void ChatManager::loadChats(const QString &workspaceId, const QString &userId)
{
    m_workspaceId = workspaceId;
    const QString requestUserId
        = QStringLiteral("%1|%2").arg(userId, QString::fromLatin1(QSysInfo::machineUniqueId()));
    connect(m_coreAPIManager, &CoreAPIManager::gotAgoraAuth, this, &ChatManager::onGotAgoraAuth,
            Qt::UniqueConnection);
    bool ok = false;
    const uint numeric = userId.toUInt(&ok, 10);
    if (ok) {
        qDebug() << "Conversion ok";
        m_voiceUid = voiceUidFor(numeric, QRandomGenerator::global()->generate());
        qDebug() << "Setting Agora User ID: " << m_voiceUid;
    } else {
        qDebug() << "conversion failed!";
    }
    m_coreAPIManager->getChatAuth(m_company, workspaceId, requestUserId, m_voiceUid);
}

void ChatManager::onGotAgoraAuth(const ChatAuth &auth, const QString &error)
{
    m_chatAuth = auth;
    // Tokens and the encryption secret are opaque and secret: only masks reach the log.
    qDebug().noquote() << "RTC Token: " << (auth.rtcToken.isEmpty() ? QString() : LogRedaction::mask());
    qDebug().noquote() << "RTM Token: " << (auth.rtmToken.isEmpty() ? QString() : LogRedaction::mask());
    qDebug() << "User ID: " << auth.userId;
    qDebug() << "Channel ID:" << auth.channelId;
    qDebug() << "Voice Stream ID:" << auth.voiceStreamId;
    if (!auth.encryptionMode.isEmpty() && !auth.encryptionSecret.isEmpty())
        enableEncryption(auth.encryptionMode, auth.encryptionSecret);
    bool ok = false;
    const uint numeric = auth.userId.toUInt(&ok, 10);
    if (ok) {
        qDebug() << "Conversion ok";
        qDebug() << "Setting Agora User ID: " << numeric;
        m_voiceUid = numeric;
    } else {
        qDebug() << "conversion failed!";
    }
    emit gotAgoraTokens(error);
}

bool ChatManager::login()
{
    if (m_chatAuth.rtmToken.isEmpty() || m_chatAuth.userId.isEmpty()) {
        qDebug() << "No Chat Auth!";
        emit errorOccurred(QStringLiteral("Could not login to Agora"),
                           QStringLiteral("Missing chat auth information"));
        return false;
    }
    const int result
        = m_service ? m_service->login(m_chatAuth.rtmToken, m_chatAuth.userId) : LOGIN_ERR_NOT_INITIALIZED;
    if (result != 0) {
        qDebug() << "Agora Login Failed!" << result;
        emit errorOccurred(QStringLiteral("Agora login error"), QString());
        return false;
    }
    return true;
}

void ChatManager::publishLocalUserAttributes()
{
    if (!m_service)
        return;
    const User user = m_globalManager ? m_globalManager->getUser() : m_user;
    QVector<RtmAttribute> attributes{
        {QStringLiteral("id"), m_chatAuth.userId},
        {QStringLiteral("email"), user.phone.isEmpty() ? user.email : user.phone},
        {QStringLiteral("streamId"), QString::number(m_chatAuth.voiceStreamId)},
        {QStringLiteral("isAdmin"), user.isAdmin ? QStringLiteral("1") : QStringLiteral("0")},
    };
    if (!user.firstName.isEmpty() && user.firstName != QLatin1String("user") && !user.lastName.isEmpty()) {
        attributes.append({QStringLiteral("firstName"), user.firstName});
        attributes.append({QStringLiteral("lastName"), user.lastName});
    }
    m_service->clearLocalUserAttributes(0);
    const int result = m_service->addOrUpdateLocalUserAttributes(attributes, 0);
    if (result != 0)
        qDebug() << "Set attribute failure: " << result;
}

void ChatManager::joinTextChannel()
{
    if (m_chatAuth.channelId.isEmpty()) {
        emit errorOccurred(QStringLiteral("Error joining text channel"),
                           QStringLiteral("Missing channel id"));
        return;
    }
    IChannel *channel = m_service ? m_service->createChannel(m_chatAuth.channelId, this) : nullptr;
    if (!channel) {
        emit errorOccurred(QStringLiteral("Error joining text channel"),
                           QStringLiteral("Could not get channel from Agora"));
        return;
    }
    channel->leave();
    if (channel->join() == 0) {
        if (m_channel && m_channel != channel)
            m_channel->release();
        m_channel = channel;
    } else {
        channel->release();
    }
}

void ChatManager::refreshMembers()
{
    if (!m_service || !m_channel)
        return;
    m_service->getChannelMemberCount({m_channel->getId()}, 0);
    m_channel->getMembers();
}

void ChatManager::sendMessage(const QString &text)
{
    const QJsonObject json{
        {QStringLiteral("id"),
         QStringLiteral("%1|%2").arg(m_chatAuth.userId).arg(QDateTime::currentMSecsSinceEpoch())},
        {QStringLiteral("message"), text},
        {QStringLiteral("type"), QStringLiteral("normal")},
    };
    if (!m_service)
        return;
    IMessage *message = m_service->createMessage();
    message->setText(QString::fromUtf8(QJsonDocument(json).toJson(QJsonDocument::Compact)));
    if (m_channel) {
        SendMessageOptions options;
        options.enableOfflineMessaging = false;
        options.enableHistoricalMessaging = true;
        m_channel->sendMessage(message, options);
        m_lastSender = m_chatAuth.userId;
    }
    message->release();
}

bool ChatManager::isFollowUp() const
{
    return m_lastSender == m_chatAuth.userId;
}

void ChatManager::receive(const QString &userId, const QString &text, double serverTimestamp)
{
    const QString sender = m_userNames.value(userId, userId);
    const TextMessage message = TextMessage::fromReceived(sender, text, serverTimestamp);
    const bool followUp = m_lastSender == userId;
    emit gotTextMessage(message, followUp);
    m_lastSender = userId;
}

// Notifications: copied out of the service's objects, then handed over.

void ChatManager::onLoginSuccess()
{
    handOver([this] { emit loginFinished(true, 0); });
}

void ChatManager::onLoginFailure(int errorCode)
{
    handOver([this, errorCode] { emit loginFinished(false, errorCode); });
}

void ChatManager::onConnectionStateChanged(int state, int reason)
{
    handOver([this, state, reason] {
        qDebug() << "Connection state" << state << "reason" << reason;
        // Also after a lost connection came back: the hub forgot the attributes.
        if (reason == CONNECTION_CHANGE_REASON_LOGIN_SUCCESS)
            publishLocalUserAttributes();
    });
}

void ChatManager::onSendMessageResult(qint64, int errorCode)
{
    handOver([errorCode] { qDebug() << "Sent message " << errorCode; });
}

void ChatManager::onMessageReceivedFromPeer(const QString &peerId, const IMessage *message)
{
    const QString text = message ? message->getText() : QString();
    const double timestamp = message ? double(message->getServerReceivedTs()) : 0;
    handOver([this, peerId, text, timestamp] { receive(peerId, text, timestamp); });
}

void ChatManager::onSetLocalUserAttributesResult(qint64, int errorCode)
{
    if (errorCode == 0)
        return;
    handOver([this, errorCode] {
        qDebug() << "Set local user attributes error:" << errorCode;
        emit errorOccurred(QStringLiteral("Error setting agora user attributes"), QString());
    });
}

void ChatManager::onGetUserAttributesResult(qint64, const QString &userId,
                                            const QVector<RtmAttribute> &attributes, int errorCode)
{
    handOver([this, userId, attributes, errorCode] {
        if (errorCode != 0) {
            qDebug() << "Get user attrs error:" << errorCode;
            return;
        }
        QString firstName = QStringLiteral("User");
        QString lastName;
        QString streamId;
        for (const RtmAttribute &attribute : attributes) {
            if (attribute.key == QLatin1String("firstName"))
                firstName = attribute.value;
            else if (attribute.key == QLatin1String("lastName"))
                lastName = attribute.value;
            else if (attribute.key == QLatin1String("streamId"))
                streamId = attribute.value;
        }
        const QString name = QStringLiteral("%1 %2").arg(firstName, lastName);
        m_userNames.insert(userId, name);
        m_streamNames.insert(streamId, name);
        qDebug() << "Stream names:" << m_streamNames;
        emit gotMemberAttributes();
    });
}

void ChatManager::onGetChannelMemberCountResult(qint64, const QVector<ChannelMemberCount> &counts, int)
{
    if (counts.isEmpty())
        return;
    const int count = counts.first().count;
    handOver([this, count] {
        qDebug() << "Member count: " << count;
        emit memberCountUpdated(count);
    });
}

void ChatManager::onJoinSuccess()
{
    handOver([this] {
        qDebug() << "Joined channel!";
        emit joinedAgoraTextChannel();
        refreshMembers();
    });
}

void ChatManager::onJoinFailure(int errorCode)
{
    handOver([this, errorCode] {
        qDebug() << "Joining channel failed! " << errorCode;
        emit errorOccurred(QStringLiteral("Could not join channel"), QString());
    });
}

void ChatManager::onMessageReceived(const QString &userId, const IMessage *message)
{
    const QString text = message ? message->getText() : QString();
    const double timestamp = message ? double(message->getServerReceivedTs()) : 0;
    handOver([this, userId, text, timestamp] { receive(userId, text, timestamp); });
}

void ChatManager::onMemberJoined(IChannelMember *member)
{
    const QString userId = member ? member->getUserId() : QString();
    handOver([this, userId] {
        qDebug() << userId << "joined";
        refreshMembers();
    });
}

void ChatManager::onMemberLeft(IChannelMember *member)
{
    const QString userId = member ? member->getUserId() : QString();
    handOver([this, userId] {
        qDebug() << userId << "left";
        m_userNames.remove(userId);
        refreshMembers();
    });
}

void ChatManager::onGetMembers(const QVector<IChannelMember *> &members, int errorCode)
{
    QStringList userIds;
    for (const IChannelMember *member : members)
        userIds.append(member->getUserId());
    handOver([this, userIds, errorCode] {
        if (errorCode != 0) {
            qDebug() << "Get members error:" << errorCode;
            return;
        }
        for (const QString &userId : userIds)
            m_service->getUserAttributes(userId, QRandomGenerator::global()->bounded(1, 1 << 30));
    });
}

void ChatManager::onMemberCountUpdated(int memberCount)
{
    handOver([this, memberCount] { emit memberCountUpdated(memberCount); });
}

// ---- Voice ------------------------------------------------------------------------------

int ChatManager::encryptionModeFor(const QString &mode)
{
    if (mode == QLatin1String("aes-128-xts"))
        return orvane::rtc::AES_128_XTS;
    if (mode == QLatin1String("aes-128-ecb"))
        return orvane::rtc::AES_128_ECB;
    if (mode == QLatin1String("aes-256-xts"))
        return orvane::rtc::AES_256_XTS;
    if (mode == QLatin1String("sm4-128-ecb"))
        return orvane::rtc::SM4_128_ECB;
    return 9;
}

void ChatManager::enableEncryption(const QString &mode, const QString &secret)
{
    qDebug() << "Enabling encryption!";
    orvane::rtc::EncryptionConfig config;
    config.encryptionMode = encryptionModeFor(mode);
    config.encryptionKey = secret.toUtf8();
    const int result = m_engine ? m_engine->enableEncryption(true, config) : -1;
    if (result < 0)
        qDebug() << "Encryption failed!!";
    else
        qDebug() << "Encryption succeeded";
}

bool ChatManager::joinVoiceChannel()
{
    if (m_chatAuth.rtcToken.isEmpty() || m_chatAuth.channelId.isEmpty()) {
        emit errorOccurred(QStringLiteral("Error joining voice channel"),
                           QStringLiteral("Missing auth info"));
        return false;
    }
    if (!m_chatAuth.encryptionMode.isEmpty() && !m_chatAuth.encryptionSecret.isEmpty())
        enableEncryption(m_chatAuth.encryptionMode, m_chatAuth.encryptionSecret);
    const QString name = m_globalManager ? m_globalManager->getUser().getDisplayName() : QString();
    // The token is secret: only its mask reaches the log.
    qDebug().noquote() << "Joining channel with " << LogRedaction::mask() << m_chatAuth.channelId << name
                       << m_voiceUid;
    if (!m_engine) {
        emit errorOccurred(QStringLiteral("Error joining voice channel"), QString());
        return false;
    }
    const int parameters = m_engine->setParameters(QStringLiteral("{\"che.audio.custom_bitrate\":16000}"));
    qDebug() << "Set parameter result: " << parameters;
    const int result = m_engine->joinChannel(m_chatAuth.rtcToken, m_chatAuth.channelId, m_voiceUid);
    qDebug() << "Voice channel join result: " << result;
    if (result != 0) {
        qDebug() << "Join voice channel error:" << result;
        emit errorOccurred(QStringLiteral("Error joining voice channel"), QString());
        return false;
    }
    return true;
}

void ChatManager::leaveVoiceChannel()
{
    if (m_inVoiceChannel && m_engine)
        m_engine->leaveChannel();
}

void ChatManager::enableVolumeIndication()
{
    if (m_engine)
        m_engine->enableAudioVolumeIndication(200, 3, true);
}

void ChatManager::toggleMic()
{
    m_micMuted = !m_micMuted;
    if (m_engine)
        m_engine->muteLocalAudioStream(m_micMuted);
    emit micMuteChanged(m_micMuted);
}

void ChatManager::toggleSpeakers()
{
    m_speakersMuted = !m_speakersMuted;
    if (m_engine)
        m_engine->muteAllRemoteAudioStreams(m_speakersMuted);
    emit speakersMuteChanged(m_speakersMuted);
}

void ChatManager::muteUser(quint32 participant, bool mute)
{
    // The engine knows the whole uid; the participant number alone (its low 20
    // bits) would name nobody once the uid has its random upper bits.
    if (m_engine)
        m_engine->muteRemoteAudioStream(m_engineUids.value(participant, participant), mute);
    // The participant carries the flag, so that the row's icon and its next
    // click (which asks for the opposite) follow it, and a rejoin restores it.
    const int index = participantIndex(participant);
    if (index >= 0 && m_participants.at(index).muted != mute) {
        m_participants[index].muted = mute;
        emit voiceMembersUpdated();
    }
}

QVector<VoiceChatParticipant> ChatManager::activeSpeakers() const
{
    QVector<VoiceChatParticipant> speakers;
    for (const VoiceChatParticipant &participant : m_participants) {
        if (participant.volumeInfo.vad == 1 || participant.hasAudio)
            speakers << participant;
    }
    std::stable_sort(speakers.begin(), speakers.end(),
                     [](const VoiceChatParticipant &a, const VoiceChatParticipant &b) {
                         return a.volumeInfo.volume > b.volumeInfo.volume;
                     });
    return speakers;
}

QVector<AudioRoute> ChatManager::inputRoutes() const
{
    QVector<AudioRoute> routes;
    if (m_engine) {
        for (const orvane::rtc::AudioDeviceInfo &device : m_engine->recordingDevices())
            routes.append({device.name, device.id});
    }
    return routes;
}

QVector<AudioRoute> ChatManager::outputRoutes() const
{
    QVector<AudioRoute> routes;
    if (m_engine) {
        for (const orvane::rtc::AudioDeviceInfo &device : m_engine->playbackDevices())
            routes.append({device.name, device.id});
    }
    return routes;
}

AudioRoute ChatManager::currentInputRoute()
{
    if (m_engine) {
        const orvane::rtc::AudioDeviceInfo device = m_engine->recordingDevice();
        if (!device.id.isEmpty())
            m_inputRoute = {device.name, device.id};
    }
    return m_inputRoute;
}

AudioRoute ChatManager::currentOutputRoute()
{
    if (m_engine) {
        const orvane::rtc::AudioDeviceInfo device = m_engine->playbackDevice();
        if (!device.id.isEmpty())
            m_outputRoute = {device.name, device.id};
    }
    return m_outputRoute;
}

bool ChatManager::setInputRoute(const AudioRoute &route)
{
    if (!m_engine)
        return false;
    return (route.isFollowSystem() ? m_engine->followSystemRecordingDevice(true)
                                   : m_engine->setRecordingDevice(route.id))
        == 0;
}

bool ChatManager::setOutputRoute(const AudioRoute &route)
{
    if (!m_engine)
        return false;
    return (route.isFollowSystem() ? m_engine->followSystemPlaybackDevice(true)
                                   : m_engine->setPlaybackDevice(route.id))
        == 0;
}

void ChatManager::sendVoiceChatStats()
{
    connect(
        m_coreAPIManager, &CoreAPIManager::sentChatStats, this,
        [](const QString &error) {
            if (!error.isEmpty())
                qDebug() << "Error sending voice chat stats:" << error;
        },
        Qt::UniqueConnection);
    m_coreAPIManager->sendChatStats(m_company, m_workspaceId, m_chatAuth.userId);
}

int ChatManager::participantIndex(quint32 number) const
{
    for (int i = 0; i < m_participants.size(); ++i) {
        if (m_participants.at(i).uid == number)
            return i;
    }
    return -1;
}

void ChatManager::onJoinChannelSuccess(const QString &channel, quint32 uid, int)
{
    handOver([this, channel, uid] {
        qDebug() << "Joined voice channel " << channel << "with uid" << uid;
        // Joined with 0, the hub chose the uid: it is kept for the next joins,
        // so that the others keep knowing (and muting) this participant.
        if (m_voiceUid == 0)
            m_voiceUid = uid;
        m_inVoiceChannel = true;
        m_rejoins = 0;
        m_engine->muteAllRemoteAudioStreams(m_speakersMuted);
        m_engine->muteLocalAudioStream(m_micMuted);
        emit joinedAgoraVoiceChannel();
    });
}

void ChatManager::onLeaveChannel()
{
    handOver([this] {
        m_inVoiceChannel = false;
        m_participants.clear();
        emit leftAgoraVoiceChannel();
    });
}

void ChatManager::onError(int code, const QString &message)
{
    handOver([this, code, message] {
        QString text = m_engine ? m_engine->getErrorDescription(code) : QString();
        if (text.isEmpty())
            text = QStringLiteral("%1 - %2").arg(code).arg(message);
        qDebug() << "Agora rtc error" << code << ":" << text;
        if (code != orvane::rtc::ERR_JOIN_CHANNEL_REJECTED && code != orvane::rtc::ERR_DECRYPTION_FAILED)
            return;
        // Joined again, but not for ever: a join refused for good (another
        // session with the same uid) would otherwise be asked again at once,
        // again and again.
        if (++m_rejoins > rejoinLimit) {
            qDebug() << "Not joining the voice channel again after" << rejoinLimit << "attempts";
            emit errorOccurred(QStringLiteral("Error joining voice channel"), text);
            return;
        }
        if (m_inVoiceChannel)
            m_engine->leaveChannel();
        joinVoiceChannel();
    });
}

void ChatManager::onAudioVolumeIndication(const AudioVolumeInfo *speakers, unsigned int count, int)
{
    const QVector<AudioVolumeInfo> reported(speakers, speakers + count);
    handOver([this, reported] {
        for (VoiceChatParticipant &participant : m_participants)
            participant.volumeInfo = AudioVolumeInfo();
        for (const AudioVolumeInfo &speaker : reported) {
            const quint32 number = speaker.uid & VoiceChatParticipant::numberMask;
            const int index = participantIndex(number);
            if (index < 0)
                continue;
            qDebug() << number << "volume updated to " << speaker.volume;
            VoiceChatParticipant &participant = m_participants[index];
            participant.volumeInfo = speaker;
            participant.hasAudio = true;
        }
        emit voiceMembersUpdated();
    });
}

void ChatManager::onUserJoined(quint32 uid, int)
{
    handOver([this, uid] {
        const quint32 key = uid & VoiceChatParticipant::numberMask;
        m_engineUids.insert(key, uid);
        const int existing = participantIndex(key);
        if (existing >= 0)
            m_rememberedMutes.insert(key, m_participants.at(existing).muted);
        qDebug() << key << "joined the voice channel";
        if (existing < 0) {
            VoiceChatParticipant participant;
            participant.uid = key;
            for (const SharedUser &user : qAsConst(m_sharedUsers)) {
                if (user.id == QString::number(key))
                    participant.name = VoiceNames::displayName(user);
            }
            if (participant.name.isEmpty())
                participant.name = QString::number(key);
            m_participants.append(participant);
            emit voiceMemberJoined(participant.name);
        }
        emit voiceMembersUpdated();
    });
}

void ChatManager::onUserOffline(quint32 uid, int)
{
    handOver([this, uid] {
        const quint32 key = uid & VoiceChatParticipant::numberMask;
        const int index = participantIndex(key);
        if (index < 0) {
            qDebug() << "Offline user not found!";
            return;
        }
        const VoiceChatParticipant gone = m_participants.takeAt(index);
        m_rememberedMutes.insert(key, gone.muted);
        emit voiceMemberLeft(gone.name);
        emit voiceMembersUpdated();
    });
}

void ChatManager::onFirstRemoteAudioDecoded(quint32 uid, int)
{
    handOver([this, uid] {
        const quint32 key = uid & VoiceChatParticipant::numberMask;
        if (!m_rememberedMutes.contains(key))
            return;
        const int index = participantIndex(key);
        if (index >= 0)
            m_participants[index].muted = m_rememberedMutes.value(key);
        m_rememberedMutes.remove(key);
        emit voiceMembersUpdated();
    });
}
