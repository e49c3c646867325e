#ifndef HUBCONNECTION_H
#define HUBCONNECTION_H

#include "rtmtypes.h"

#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QTimer>
#include <QUrl>

class QWebSocket;

namespace orvane {
namespace rtm {

// The one connection of a messaging service to the hub. It lives on the service's
// own thread: every slot runs there and every listener is called from there.
//
// It keeps the session up: frames asked for while the connection is down wait in
// order and go out after the next login, and a connection lost after a login is
// made again with growing pauses, followed by a login and a join of every channel
// that was joined. A first login that cannot reach the hub within loginTimeoutMs
// fails with LOGIN_ERR_TIMEOUT.
class HubConnection : public QObject
{
    Q_OBJECT
public:
    HubConnection(const QUrl &url, const QString &appId, IRtmServiceEventHandler *handler);
    ~HubConnection() override;

    static constexpr int loginTimeoutMs = 10000;
    static constexpr int firstRetryMs = 500;
    static constexpr int longestRetryMs = 10000;

public slots:
    void login(const QString &token, const QString &userId);
    void logout();
    // Sends a frame once logged in.
    void send(const QJsonObject &frame);
    void addChannel(const QString &channelId, orvane::rtm::IChannelEventHandler *handler);
    void removeChannel(const QString &channelId);
    void joinChannel(const QString &channelId);
    void leaveChannel(const QString &channelId);
    void sendChannelMessage(const QString &channelId, qint64 messageId, const QString &text);
    void shutdown();
    // One text frame from the hub: the socket's messages arrive here. Anything
    // that is not a frame of the protocol is dropped.
    void onFrame(const QString &text);

private:
    struct Channel
    {
        IChannelEventHandler *handler = nullptr;
        bool wanted = false; // joined, or asked to be: joined again after a reconnection
    };

    void open();
    void onConnected();
    void onDisconnected();
    void onLoginResult(int code);
    void scheduleReconnect();
    void setState(int state, int reason);
    void transmit(const QJsonObject &frame);
    void flushOutbox();
    void dropSocket();
    IChannelEventHandler *channelHandler(const QString &channelId) const;

    const QUrl m_url;
    const QString m_appId;
    IRtmServiceEventHandler *const m_handler;
    QWebSocket *m_socket = nullptr;
    QString m_token;
    QString m_userId;
    bool m_wanted = false; // logged in, or asked to be
    bool m_everLoggedIn = false;
    bool m_loggedIn = false;
    int m_attempt = 0;
    QTimer *m_retryTimer; // children, so that they move to the service's thread
    QTimer *m_loginTimer;
    QList<QJsonObject> m_outbox;
    QHash<QString, Channel> m_channels;
    // Channel of each channel message waiting for its result.
    QHash<qint64, QString> m_sentToChannel;
};

} // namespace rtm
} // namespace orvane

#endif // HUBCONNECTION_H
