#include "sioclient.h"

#include "deploymentoverride.h"

#include <QMetaObject>

namespace SocketIo {

Client::Client()
{
    // The deployment's certificate authorities join the default TLS configuration
    // before the first connection reads it.
    DeploymentOverride::instance();

    ConnectionListeners listeners;
    // Each listener is looked up when it runs and runs under the lock, so once a
    // setter returns the listener it replaced is not called again.
    listeners.open = [this] {
        m_connected = true;
        QMutexLocker lock(&m_listenerMutex);
        if (m_open)
            m_open();
    };
    listeners.fail = [this] {
        m_connected = false;
        QMutexLocker lock(&m_listenerMutex);
        if (m_fail)
            m_fail();
    };
    listeners.close = [this](CloseReason reason) {
        m_connected = false;
        QMutexLocker lock(&m_listenerMutex);
        if (m_close)
            m_close(reason);
    };

    m_connection = new Connection(&m_socket, std::move(listeners));
    m_connection->moveToThread(&m_thread);
    m_thread.setObjectName(QStringLiteral("socket.io"));
    m_thread.start();
}

Client::~Client()
{
    // From here on nothing calls back into the owner.
    clearListeners();
    m_socket.offAll();
    Connection *connection = m_connection;
    QMetaObject::invokeMethod(
        connection, [connection] { delete connection; }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

void Client::post(std::function<void()> work)
{
    QMetaObject::invokeMethod(m_connection, std::move(work), Qt::QueuedConnection);
}

void Client::connect(const QUrl &url, const QMap<QString, QString> &query)
{
    Connection *connection = m_connection;
    post([connection, url, query] { connection->start(url, query); });
}

void Client::close()
{
    Connection *connection = m_connection;
    post([connection] { connection->stop(); });
}

void Client::setOpenListener(std::function<void()> listener)
{
    QMutexLocker lock(&m_listenerMutex);
    m_open = std::move(listener);
}

void Client::setFailListener(std::function<void()> listener)
{
    QMutexLocker lock(&m_listenerMutex);
    m_fail = std::move(listener);
}

void Client::setCloseListener(std::function<void(CloseReason)> listener)
{
    QMutexLocker lock(&m_listenerMutex);
    m_close = std::move(listener);
}

void Client::clearListeners()
{
    QMutexLocker lock(&m_listenerMutex);
    m_open = nullptr;
    m_fail = nullptr;
    m_close = nullptr;
}

void Client::setDebugPrint(bool on)
{
    Connection *connection = m_connection;
    post([connection, on] { connection->setDebugPrint(on); });
}

void Client::setReconnectPolicy(const ReconnectPolicy &policy)
{
    Connection *connection = m_connection;
    post([connection, policy] { connection->setPolicy(policy); });
}

} // namespace SocketIo
