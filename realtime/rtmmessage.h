#ifndef RTMMESSAGE_H
#define RTMMESSAGE_H

#include "rtmtypes.h"

namespace orvane {
namespace rtm {

// A text message: made by the service for sending, or filled from the hub for
// the length of a notification.
class RtmMessage : public IMessage
{
public:
    explicit RtmMessage(qint64 messageId, const QString &text = QString(), qint64 serverReceivedTs = 0);

    qint64 getMessageId() const override { return m_messageId; }
    void setText(const QString &text) override { m_text = text; }
    QString getText() const override { return m_text; }
    qint64 getServerReceivedTs() const override { return m_serverReceivedTs; }
    void release() override { delete this; }

    // A fresh id for every message of the process.
    static qint64 nextMessageId();

private:
    qint64 m_messageId;
    QString m_text;
    qint64 m_serverReceivedTs;
};

class RtmChannelMember : public IChannelMember
{
public:
    RtmChannelMember(const QString &userId, const QString &channelId)
        : m_userId(userId)
        , m_channelId(channelId)
    { }
    QString getUserId() const override { return m_userId; }
    QString getChannelId() const override { return m_channelId; }

private:
    QString m_userId;
    QString m_channelId;
};

} // namespace rtm
} // namespace orvane

#endif // RTMMESSAGE_H
