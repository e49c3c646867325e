#include "rtmmessage.h"

#include <atomic>

namespace orvane {
namespace rtm {

RtmMessage::RtmMessage(qint64 messageId, const QString &text, qint64 serverReceivedTs)
    : m_messageId(messageId)
    , m_text(text)
    , m_serverReceivedTs(serverReceivedTs)
{ }

qint64 RtmMessage::nextMessageId()
{
    static std::atomic<qint64> last{0};
    return ++last;
}

} // namespace rtm
} // namespace orvane
