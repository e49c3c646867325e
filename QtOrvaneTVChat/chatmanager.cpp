#include "chatmanager.h"

#include "coreapimanager.h"
#include "globalmanager.h"
#include "logredaction.h"

#include <QDateTime>
#include <QDebug>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaObject>
#include <QRandomGenerator>
#include <QSysInfo>

using namespace orvane::rtm;

ChatManager::ChatManager() = default;

ChatManager::~ChatManager()
{
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
    qDebug() << "Chat Manager Initialized!";
    qDebug() << "RTM Version:" << getRtmSdkVersion();
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
