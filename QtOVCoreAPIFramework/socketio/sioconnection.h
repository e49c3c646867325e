#ifndef SIOCONNECTION_H
#define SIOCONNECTION_H

#include "sioprotocol.h"

#include <QMap>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <random>

class QWebSocket;

namespace SocketIo {

class Socket;

enum class CloseReason { Normal = 0, Drop = 1 };

// What a connection reports, called on the network thread.
struct ConnectionListeners
{
    std::function<void()> open;
    std::function<void()> fail;
    std::function<void(CloseReason)> close;
};

// Reconnection after a failed attempt or a lost connection: exponential back-off
// with a random spread, as the reference clients do.
struct ReconnectPolicy
{
    int attempts = 0; // 0: unlimited
    int delayMs = 1000; // first delay
    int delayMaxMs = 5000; // ceiling
    double randomization = 0.5;
    // A connection not through the Engine.IO handshake and the namespace connect
    // within this time is given up and tried again (a server may accept the
    // socket and then say nothing).
    int openingLimitMs = 20000;

    int delayFor(int attempt, std::mt19937 &random) const;
};

// One Socket.IO client connection over a WebSocket, living on the network thread:
// handshake, heartbeat, namespace connect, events, clean close and reconnection.
class Connection : public QObject
{
    Q_OBJECT

public:
    Connection(Socket *socket, ConnectionListeners listeners);
    ~Connection() override;

    void start(const QUrl &url, const QMap<QString, QString> &query);
    void stop();
    void setDebugPrint(bool on) { m_debug = on; }
    void setPolicy(const ReconnectPolicy &policy) { m_policy = policy; }

    // The WebSocket address: only host and port of the given URL are used.
    static QUrl webSocketUrl(const QUrl &url, const QMap<QString, QString> &query);

private:
    // The frame-sequence fuzz target drives the frame handling without a socket.
    friend struct ConnectionFrameFeeder;

    enum class State { Idle, Connecting, Handshaken, Connected, Waiting };

    void openSocket();
    void onTextFrame(const QString &frame);
    void onSocketPacket(const SocketPacket &packet);
    void onTransportClosed();
    void send(const QString &frame);
    void restartHeartbeat();
    void dropSocket(bool graceful = false);
    void scheduleReconnect();
    void debug(const QString &text) const;

    Socket *m_socket;
    ConnectionListeners m_listeners;
    ReconnectPolicy m_policy;
    QPointer<QWebSocket> m_webSocket;
    // Children, so they move to the network thread with the connection.
    QTimer m_heartbeat{this};
    QTimer m_reconnect{this};
    QTimer m_opening{this};
    QUrl m_url;
    EngineHandshake m_handshake;
    State m_state = State::Idle;
    int m_failedAttempts = 0;
    int m_pendingAttachments = 0;
    bool m_debug = false;
    std::mt19937 m_random;
};

} // namespace SocketIo

#endif // SIOCONNECTION_H
