#include "hubconnection.h"

#include "deploymentoverride.h"
#include "logcategories.h"
#include "rtmmessage.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkRequest>
#include <QRandomGenerator>
#include <QWebSocket>

#include <memory>

namespace orvane {
namespace rtm {

namespace {

QString text(const QJsonObject &frame, const char *key)
{
    return frame.value(QLatin1String(key)).toString();
}

int code(const QJsonObject &frame)
{
    // A result without a usable code is a failure, never a success.
    const QJsonValue value = frame.value(QLatin1String("code"));
    return value.isDouble() ? value.toInt(LOGIN_ERR_UNKNOWN) : LOGIN_ERR_UNKNOWN;
}

// Ids and times are whole numbers; anything a 64-bit integer cannot hold reads as
// 0 (converting it would be undefined).
qint64 number(const QJsonObject &frame, const char *key)
{
    const double value = frame.value(QLatin1String(key)).toDouble();
    return value >= -9.0e18 && value <= 9.0e18 ? static_cast<qint64>(value) : 0;
}

} // namespace

HubConnection::HubConnection(const QUrl &url, const QString &appId, IRtmServiceEventHandler *handler)
    : m_url(url)
    , m_appId(appId)
    , m_handler(handler)
    , m_retryTimer(new QTimer(this))
    , m_loginTimer(new QTimer(this))
{
    m_retryTimer->setSingleShot(true);
    connect(m_retryTimer, &QTimer::timeout, this, &HubConnection::open);
    m_loginTimer->setSingleShot(true);
    m_loginTimer->setInterval(loginTimeoutMs);
    connect(m_loginTimer, &QTimer::timeout, this, [this] {
        if (m_everLoggedIn || !m_wanted)
            return;
        qCInfo(lcRealtime) << "Login timed out";
        m_wanted = false;
        m_retryTimer->stop();
        dropSocket();
        m_outbox.clear();
        m_handler->onLoginFailure(LOGIN_ERR_TIMEOUT);
        setState(CONNECTION_STATE_DISCONNECTED, CONNECTION_CHANGE_REASON_LOGIN_TIMEOUT);
    });
}

HubConnection::~HubConnection()
{
    dropSocket();
}

void HubConnection::login(const QString &token, const QString &userId)
{
    if (m_wanted)
        return;
    m_token = token;
    m_userId = userId;
    m_wanted = true;
    m_everLoggedIn = false;
    m_attempt = 0;
    setState(CONNECTION_STATE_CONNECTING, CONNECTION_CHANGE_REASON_LOGIN);
    m_loginTimer->start();
    open();
}

void HubConnection::logout()
{
    if (!m_wanted)
        return;
    m_wanted = false;
    m_loggedIn = false;
    m_retryTimer->stop();
    m_loginTimer->stop();
    m_outbox.clear();
    for (Channel &channel : m_channels)
        channel.wanted = false;
    dropSocket();
    setState(CONNECTION_STATE_DISCONNECTED, CONNECTION_CHANGE_REASON_LOGOUT);
}

void HubConnection::send(const QJsonObject &frame)
{
    if (m_loggedIn)
        transmit(frame);
    else if (m_wanted)
        m_outbox.append(frame);
}

void HubConnection::addChannel(const QString &channelId, IChannelEventHandler *handler)
{
    m_channels.insert(channelId, Channel{handler, false});
}

void HubConnection::removeChannel(const QString &channelId)
{
    m_channels.remove(channelId);
}

void HubConnection::joinChannel(const QString &channelId)
{
    auto channel = m_channels.find(channelId);
    if (channel == m_channels.end())
        return;
    channel->wanted = true;
    // Not yet logged in: the join goes out with every wanted channel after the login.
    if (m_loggedIn)
        transmit({{QStringLiteral("op"), QStringLiteral("join")}, {QStringLiteral("channel"), channelId}});
}

void HubConnection::leaveChannel(const QString &channelId)
{
    auto channel = m_channels.find(channelId);
    if (channel == m_channels.end() || !channel->wanted)
        return;
    channel->wanted = false;
    send({{QStringLiteral("op"), QStringLiteral("leave")}, {QStringLiteral("channel"), channelId}});
}

void HubConnection::sendChannelMessage(const QString &channelId, qint64 messageId, const QString &text)
{
    m_sentToChannel.insert(messageId, channelId);
    send({{QStringLiteral("op"), QStringLiteral("channelMessage")},
          {QStringLiteral("channel"), channelId},
          {QStringLiteral("messageId"), double(messageId)},
          {QStringLiteral("text"), text}});
}

void HubConnection::shutdown()
{
    m_wanted = false;
    m_retryTimer->stop();
    m_loginTimer->stop();
    m_channels.clear();
    dropSocket();
}

void HubConnection::open()
{
    if (!m_wanted)
        return;
    dropSocket();
    m_socket = new QWebSocket(QString(), QWebSocketProtocol::VersionLatest, this);
    connect(m_socket, &QWebSocket::connected, this, &HubConnection::onConnected);
    connect(m_socket, &QWebSocket::disconnected, this, &HubConnection::onDisconnected);
    connect(m_socket, &QWebSocket::textMessageReceived, this, &HubConnection::onFrame);
    QNetworkRequest request(m_url);
    // The hub's certificate is verified against its designed name, with the
    // deployment's authorities where a deployment file names them.
    DeploymentOverride::instance().prepare(request);
    qCDebug(lcRealtime) << "Connecting, attempt" << m_attempt + 1;
    m_socket->open(request);
}

void HubConnection::onConnected()
{
    qCDebug(lcRealtime) << "Connected; logging in";
    transmit({{QStringLiteral("op"), QStringLiteral("login")},
              {QStringLiteral("userId"), m_userId},
              {QStringLiteral("token"), m_token},
              {QStringLiteral("appId"), m_appId}});
}

void HubConnection::onDisconnected()
{
    QWebSocket *socket = qobject_cast<QWebSocket *>(sender());
    if (socket && socket != m_socket)
        return;
    if (m_socket) {
        qCInfo(lcRealtime) << "Connection lost:" << m_socket->errorString();
        m_socket->deleteLater();
        m_socket = nullptr;
    }
    const bool wasLoggedIn = m_loggedIn;
    m_loggedIn = false;
    if (!m_wanted)
        return;
    if (wasLoggedIn)
        setState(CONNECTION_STATE_RECONNECTING, CONNECTION_CHANGE_REASON_INTERRUPTED);
    scheduleReconnect();
}

void HubConnection::scheduleReconnect()
{
    if (!m_wanted || m_retryTimer->isActive())
        return;
    const int shift = qMin(m_attempt, 5);
    const int base = qMin(longestRetryMs, firstRetryMs << shift);
    // Spread the clients of one failed hub so that they do not come back at once.
    const int pause = base / 2 + int(QRandomGenerator::global()->bounded(base / 2 + 1));
    ++m_attempt;
    qCDebug(lcRealtime) << "Reconnecting in" << pause << "ms";
    m_retryTimer->start(pause);
}

void HubConnection::onLoginResult(int result)
{
    if (result == LOGIN_ERR_OK) {
        m_loggedIn = true;
        m_attempt = 0;
        m_loginTimer->stop();
        const bool first = !m_everLoggedIn;
        m_everLoggedIn = true;
        if (first)
            m_handler->onLoginSuccess();
        setState(CONNECTION_STATE_CONNECTED, CONNECTION_CHANGE_REASON_LOGIN_SUCCESS);
        for (auto channel = m_channels.cbegin(); channel != m_channels.cend(); ++channel) {
            if (channel->wanted)
                transmit({{QStringLiteral("op"), QStringLiteral("join")},
                          {QStringLiteral("channel"), channel.key()}});
        }
        flushOutbox();
        return;
    }
    qCInfo(lcRealtime) << "Login refused with code" << result;
    if (m_everLoggedIn && result == LOGIN_ERR_REJECTED) {
        // A hub that turns logins away for a while is tried again later.
        dropSocket();
        scheduleReconnect();
        return;
    }
    const bool first = !m_everLoggedIn;
    m_wanted = false;
    m_loginTimer->stop();
    m_outbox.clear();
    dropSocket();
    if (first) {
        m_handler->onLoginFailure(result);
        setState(CONNECTION_STATE_DISCONNECTED, CONNECTION_CHANGE_REASON_LOGIN_FAILURE);
    } else {
        setState(CONNECTION_STATE_ABORTED, CONNECTION_CHANGE_REASON_LOGIN_FAILURE);
    }
}

void HubConnection::onFrame(const QString &message)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(message.toUtf8(), &error);
    if (!document.isObject()) {
        qCInfo(lcRealtime) << "Dropping a frame that is not a JSON object";
        return;
    }
    const QJsonObject frame = document.object();
    const QString op = text(frame, "op");
    const QString channelId = text(frame, "channel");

    if (op == QLatin1String("loginResult")) {
        onLoginResult(code(frame));
    } else if (op == QLatin1String("kicked")) {
        m_wanted = false;
        m_loggedIn = false;
        m_outbox.clear();
        dropSocket();
        setState(CONNECTION_STATE_ABORTED, CONNECTION_CHANGE_REASON_REMOTE_LOGIN);
    } else if (op == QLatin1String("joinResult")) {
        if (IChannelEventHandler *handler = channelHandler(channelId)) {
            const int result = code(frame);
            if (result == 0) {
                handler->onJoinSuccess();
            } else {
                m_channels[channelId].wanted = false;
                handler->onJoinFailure(result);
            }
        }
    } else if (op == QLatin1String("leaveResult")) {
        if (IChannelEventHandler *handler = channelHandler(channelId))
            handler->onLeave(code(frame));
    } else if (op == QLatin1String("channelMessage")) {
        if (IChannelEventHandler *handler = channelHandler(channelId)) {
            const RtmMessage received(0, text(frame, "text"), number(frame, "serverTs"));
            handler->onMessageReceived(text(frame, "from"), &received);
        }
    } else if (op == QLatin1String("peerMessage")) {
        const RtmMessage received(0, text(frame, "text"), number(frame, "serverTs"));
        m_handler->onMessageReceivedFromPeer(text(frame, "from"), &received);
    } else if (op == QLatin1String("channelMessageResult")) {
        const qint64 id = number(frame, "messageId");
        if (IChannelEventHandler *handler = channelHandler(m_sentToChannel.take(id)))
            handler->onSendMessageResult(id, code(frame));
    } else if (op == QLatin1String("peerMessageResult")) {
        m_handler->onSendMessageResult(number(frame, "messageId"), code(frame));
    } else if (op == QLatin1String("setAttributesResult")) {
        if (!frame.value(QLatin1String("clear")).toBool())
            m_handler->onSetLocalUserAttributesResult(number(frame, "requestId"), code(frame));
    } else if (op == QLatin1String("attributesResult")) {
        QVector<RtmAttribute> attributes;
        for (const QJsonValue &pair : frame.value(QLatin1String("attributes")).toArray())
            attributes.append({pair.toObject().value(QLatin1String("key")).toString(),
                               pair.toObject().value(QLatin1String("value")).toString()});
        m_handler->onGetUserAttributesResult(number(frame, "requestId"), text(frame, "userId"), attributes,
                                             code(frame));
    } else if (op == QLatin1String("membersResult")) {
        if (IChannelEventHandler *handler = channelHandler(channelId)) {
            std::vector<std::unique_ptr<RtmChannelMember>> owned;
            QVector<IChannelMember *> members;
            for (const QJsonValue &member : frame.value(QLatin1String("members")).toArray()) {
                owned.push_back(std::make_unique<RtmChannelMember>(member.toString(), channelId));
                members.append(owned.back().get());
            }
            handler->onGetMembers(members, code(frame));
        }
    } else if (op == QLatin1String("memberCountResult")) {
        QVector<ChannelMemberCount> counts;
        for (const QJsonValue &count : frame.value(QLatin1String("counts")).toArray())
            counts.append({count.toObject().value(QLatin1String("channel")).toString(),
                           count.toObject().value(QLatin1String("count")).toInt()});
        m_handler->onGetChannelMemberCountResult(number(frame, "requestId"), counts, code(frame));
    } else if (op == QLatin1String("memberJoined") || op == QLatin1String("memberLeft")) {
        if (IChannelEventHandler *handler = channelHandler(channelId)) {
            RtmChannelMember member(text(frame, "userId"), channelId);
            if (op == QLatin1String("memberJoined"))
                handler->onMemberJoined(&member);
            else
                handler->onMemberLeft(&member);
        }
    } else if (op == QLatin1String("memberCount")) {
        if (IChannelEventHandler *handler = channelHandler(channelId))
            handler->onMemberCountUpdated(frame.value(QLatin1String("count")).toInt());
    }
}

void HubConnection::setState(int state, int reason)
{
    m_handler->onConnectionStateChanged(state, reason);
}

void HubConnection::transmit(const QJsonObject &frame)
{
    if (m_socket)
        m_socket->sendTextMessage(QString::fromUtf8(QJsonDocument(frame).toJson(QJsonDocument::Compact)));
}

void HubConnection::flushOutbox()
{
    const QList<QJsonObject> waiting = std::exchange(m_outbox, {});
    for (const QJsonObject &frame : waiting)
        transmit(frame);
}

void HubConnection::dropSocket()
{
    if (!m_socket)
        return;
    QWebSocket *socket = std::exchange(m_socket, nullptr);
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}

IChannelEventHandler *HubConnection::channelHandler(const QString &channelId) const
{
    const auto channel = m_channels.constFind(channelId);
    return channel == m_channels.cend() ? nullptr : channel->handler;
}

} // namespace rtm
} // namespace orvane
