#include "rtmchannel.h"

#include "hubconnection.h"
#include "rtmservice.h"

#include <QJsonObject>

namespace orvane {
namespace rtm {

RtmChannel::RtmChannel(RtmService *service, const QString &channelId)
    : m_service(service)
    , m_channelId(channelId)
{ }

int RtmChannel::join()
{
    const QString id = m_channelId;
    m_service->runOnServiceThread([id](HubConnection *c) { c->joinChannel(id); }, false);
    return CALL_OK;
}

int RtmChannel::leave()
{
    const QString id = m_channelId;
    m_service->runOnServiceThread([id](HubConnection *c) { c->leaveChannel(id); }, false);
    return CALL_OK;
}

int RtmChannel::sendMessage(const IMessage *message, const SendMessageOptions &)
{
    if (!message)
        return CALL_ERR_INVALID_ARGUMENT;
    const QString id = m_channelId;
    const qint64 messageId = message->getMessageId();
    const QString text = message->getText();
    m_service->runOnServiceThread(
        [id, messageId, text](HubConnection *c) { c->sendChannelMessage(id, messageId, text); }, false);
    return CALL_OK;
}

int RtmChannel::getMembers()
{
    const QJsonObject frame{{QStringLiteral("op"), QStringLiteral("getMembers")},
                            {QStringLiteral("channel"), m_channelId}};
    m_service->runOnServiceThread([frame](HubConnection *c) { c->send(frame); }, false);
    return CALL_OK;
}

void RtmChannel::release()
{
    const QString id = m_channelId;
    m_service->runOnServiceThread(
        [id](HubConnection *c) {
            c->leaveChannel(id);
            c->removeChannel(id);
        },
        true);
    delete this;
}

} // namespace rtm
} // namespace orvane
