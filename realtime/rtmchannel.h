#ifndef RTMCHANNEL_H
#define RTMCHANNEL_H

#include "rtmtypes.h"

namespace orvane {
namespace rtm {

class RtmService;

// One channel of a messaging service; its calls go to the service's hub connection.
class RtmChannel : public IChannel
{
public:
    RtmChannel(RtmService *service, const QString &channelId);

    int join() override;
    int leave() override;
    int sendMessage(const IMessage *message, const SendMessageOptions &options) override;
    QString getId() const override { return m_channelId; }
    int getMembers() override;
    void release() override;

private:
    RtmService *m_service;
    QString m_channelId;
};

} // namespace rtm
} // namespace orvane

#endif // RTMCHANNEL_H
