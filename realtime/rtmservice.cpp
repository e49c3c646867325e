#include "rtmservice.h"

#include "deploymenthosts.h"
#include "hubconnection.h"
#include "rtmchannel.h"
#include "rtmmessage.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QMetaObject>
#include <QThread>

#include <cctype>

namespace orvane {
namespace rtm {

namespace {

QJsonObject frame(const char *op)
{
    return {{QStringLiteral("op"), QLatin1String(op)}};
}

} // namespace

RtmService::RtmService() = default;

RtmService::~RtmService()
{
    release(true);
}

QUrl RtmService::hubUrl()
{
    QUrl url;
    url.setScheme(QStringLiteral("wss"));
    url.setHost(DeploymentHosts::chatHub());
    url.setPort(443);
    url.setPath(QStringLiteral("/rtm/v1"));
    return url;
}

int RtmService::initialize(const QString &appId, IRtmServiceEventHandler *handler)
{
    if (m_connection || !handler)
        return CALL_ERR_FAILURE;
    if (appId.size() != 32)
        return CALL_ERR_INVALID_ARGUMENT;
    for (const QChar c : appId) {
        if (!isxdigit(c.toLatin1()))
            return CALL_ERR_INVALID_ARGUMENT;
    }
    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("rtm service"));
    m_connection = new HubConnection(hubUrl(), appId, handler);
    m_connection->moveToThread(m_thread);
    QObject::connect(m_thread, &QThread::finished, m_connection, &QObject::deleteLater);
    m_thread->start();
    return CALL_OK;
}

void RtmService::runOnServiceThread(const std::function<void(HubConnection *)> &call, bool wait)
{
    if (!m_connection)
        return;
    HubConnection *connection = m_connection;
    const bool here = QThread::currentThread() == m_thread;
    const Qt::ConnectionType type = here ? Qt::DirectConnection
        : wait                           ? Qt::BlockingQueuedConnection
                                         : Qt::QueuedConnection;
    QMetaObject::invokeMethod(
        connection, [call, connection] { call(connection); }, type);
}

int RtmService::login(const QString &token, const QString &userId)
{
    if (!m_connection)
        return LOGIN_ERR_NOT_INITIALIZED;
    if (token.isEmpty() || userId.isEmpty() || userId.size() > 64)
        return LOGIN_ERR_INVALID_ARGUMENT;
    runOnServiceThread([token, userId](HubConnection *c) { c->login(token, userId); }, false);
    return LOGIN_ERR_OK;
}

int RtmService::logout()
{
    if (!m_connection)
        return CALL_ERR_NOT_INITIALIZED;
    runOnServiceThread([](HubConnection *c) { c->logout(); }, false);
    return CALL_OK;
}

IChannel *RtmService::createChannel(const QString &channelId, IChannelEventHandler *handler)
{
    if (!m_connection || channelId.isEmpty() || !handler)
        return nullptr;
    runOnServiceThread([channelId, handler](HubConnection *c) { c->addChannel(channelId, handler); }, false);
    return new RtmChannel(this, channelId);
}

IMessage *RtmService::createMessage()
{
    return new RtmMessage(RtmMessage::nextMessageId());
}

int RtmService::sendMessageToPeer(const QString &peerId, const IMessage *message, const SendMessageOptions &)
{
    if (!m_connection)
        return CALL_ERR_NOT_INITIALIZED;
    if (!message || peerId.isEmpty())
        return CALL_ERR_INVALID_ARGUMENT;
    QJsonObject out = frame("peerMessage");
    out.insert(QStringLiteral("to"), peerId);
    out.insert(QStringLiteral("text"), message->getText());
    out.insert(QStringLiteral("messageId"), double(message->getMessageId()));
    runOnServiceThread([out](HubConnection *c) { c->send(out); }, false);
    return CALL_OK;
}

int RtmService::clearLocalUserAttributes(qint64 requestId)
{
    if (!m_connection)
        return CALL_ERR_NOT_INITIALIZED;
    QJsonObject out = frame("setAttributes");
    out.insert(QStringLiteral("requestId"), double(requestId));
    out.insert(QStringLiteral("clear"), true);
    out.insert(QStringLiteral("attributes"), QJsonArray());
    runOnServiceThread([out](HubConnection *c) { c->send(out); }, false);
    return CALL_OK;
}

int RtmService::addOrUpdateLocalUserAttributes(const QVector<RtmAttribute> &attributes, qint64 requestId)
{
    if (!m_connection)
        return CALL_ERR_NOT_INITIALIZED;
    QJsonArray pairs;
    for (const RtmAttribute &attribute : attributes) {
        if (attribute.key.isEmpty())
            return CALL_ERR_INVALID_ARGUMENT;
        pairs.append(
            QJsonObject{{QStringLiteral("key"), attribute.key}, {QStringLiteral("value"), attribute.value}});
    }
    QJsonObject out = frame("setAttributes");
    out.insert(QStringLiteral("requestId"), double(requestId));
    out.insert(QStringLiteral("attributes"), pairs);
    runOnServiceThread([out](HubConnection *c) { c->send(out); }, false);
    return CALL_OK;
}

int RtmService::getUserAttributes(const QString &userId, qint64 requestId)
{
    if (!m_connection)
        return CALL_ERR_NOT_INITIALIZED;
    QJsonObject out = frame("getAttributes");
    out.insert(QStringLiteral("requestId"), double(requestId));
    out.insert(QStringLiteral("userId"), userId);
    runOnServiceThread([out](HubConnection *c) { c->send(out); }, false);
    return CALL_OK;
}

int RtmService::getChannelMemberCount(const QStringList &channelIds, qint64 requestId)
{
    if (!m_connection)
        return CALL_ERR_NOT_INITIALIZED;
    QJsonObject out = frame("getMemberCount");
    out.insert(QStringLiteral("requestId"), double(requestId));
    out.insert(QStringLiteral("channels"), QJsonArray::fromStringList(channelIds));
    runOnServiceThread([out](HubConnection *c) { c->send(out); }, false);
    return CALL_OK;
}

void RtmService::release(bool)
{
    if (!m_thread)
        return;
    // Stopped and waited for in every case: afterwards no listener is called.
    runOnServiceThread([](HubConnection *c) { c->shutdown(); }, true);
    m_thread->quit();
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    m_connection = nullptr;
}

} // namespace rtm
} // namespace orvane

orvane::rtm::IRtmService *createRtmService()
{
    return new orvane::rtm::RtmService;
}

const char *getRtmSdkVersion()
{
    return "orvane-rtm 1.0.0";
}
