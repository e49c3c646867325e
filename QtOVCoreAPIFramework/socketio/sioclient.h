#ifndef SIOCLIENT_H
#define SIOCLIENT_H

#include "sioconnection.h"
#include "siosocket.h"

#include <QMap>
#include <QMutex>
#include <QString>
#include <QThread>
#include <QUrl>

#include <atomic>
#include <functional>

namespace SocketIo {

// A Socket.IO client (Engine.IO 4 over WebSocket, Socket.IO 5) with a network
// thread of its own. Calls return at once and may come from any thread; the
// listeners and event handlers run on the network thread. After a failed attempt
// or a lost connection it reconnects by itself with randomised exponential
// back-off, for ever unless told otherwise; close() ends that.
class Client
{
public:
    Client();
    ~Client();
    Client(const Client &) = delete;
    Client &operator=(const Client &) = delete;

    // Connects to the host and port of the URL, path "/socket.io/", with the query
    // items added to the handshake. An earlier connection is closed first.
    void connect(const QUrl &url, const QMap<QString, QString> &query);
    // Closes the connection cleanly; the close listener runs with Normal.
    void close();

    // The default namespace.
    Socket &socket() { return m_socket; }

    void setOpenListener(std::function<void()> listener);
    void setFailListener(std::function<void()> listener);
    void setCloseListener(std::function<void(CloseReason)> listener);
    void clearListeners();

    void setDebugPrint(bool on);
    void setReconnectPolicy(const ReconnectPolicy &policy);
    bool isConnected() const { return m_connected; }
    const QThread *networkThread() const { return &m_thread; }

private:
    void post(std::function<void()> work);

    Socket m_socket;
    QThread m_thread;
    Connection *m_connection = nullptr;
    mutable QRecursiveMutex m_listenerMutex;
    std::function<void()> m_open;
    std::function<void()> m_fail;
    std::function<void(CloseReason)> m_close;
    std::atomic<bool> m_connected{false};
};

} // namespace SocketIo

#endif // SIOCLIENT_H
