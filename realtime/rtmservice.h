#ifndef RTMSERVICE_H
#define RTMSERVICE_H

#include "rtmtypes.h"

#include <QString>
#include <QUrl>

#include <functional>

class QThread;

namespace orvane {
namespace rtm {

class HubConnection;

// The messaging service: the calls of IRtmService carried to the hub connection
// on the service's own thread.
class RtmService : public IRtmService
{
public:
    RtmService();
    ~RtmService() override;

    // The hub's designed address, "wss://<hub host>/rtm/v1".
    static QUrl hubUrl();

    int initialize(const QString &appId, IRtmServiceEventHandler *handler) override;
    int login(const QString &token, const QString &userId) override;
    int logout() override;
    IChannel *createChannel(const QString &channelId, IChannelEventHandler *handler) override;
    IMessage *createMessage() override;
    int sendMessageToPeer(const QString &peerId, const IMessage *message,
                          const SendMessageOptions &options) override;
    int clearLocalUserAttributes(qint64 requestId) override;
    int addOrUpdateLocalUserAttributes(const QVector<RtmAttribute> &attributes, qint64 requestId) override;
    int getUserAttributes(const QString &userId, qint64 requestId) override;
    int getChannelMemberCount(const QStringList &channelIds, qint64 requestId) override;
    void release(bool sync = false) override;

    // Runs a call on the service's thread and waits for it (for channel release).
    void runOnServiceThread(const std::function<void(HubConnection *)> &call, bool wait);

private:
    QThread *m_thread = nullptr;
    HubConnection *m_connection = nullptr;
};

} // namespace rtm
} // namespace orvane

#endif // RTMSERVICE_H
