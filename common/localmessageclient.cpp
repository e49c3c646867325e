#include "localmessageclient.h"

#include "localsockets.h"

#include <QLocalSocket>
#include <QTimer>
#include <QtDebug>

namespace {
constexpr int retryMs = 500;
}

LocalMessageClient::LocalMessageClient(const QString &serverName, std::function<bool()> keepTrying,
                                       QObject *parent)
    : QObject(parent)
    , m_serverName(serverName)
    , m_keepTrying(std::move(keepTrying))
{ }

void LocalMessageClient::abort()
{
    if (m_socket)
        m_socket->abort();
}

void LocalMessageClient::connectToServer()
{
    m_reader.reset();
    if (m_socket)
        m_socket->abort();
    else
        m_socket = new QLocalSocket(this);
    disconnect(m_socket, nullptr, this, nullptr);
    connect(m_socket, &QLocalSocket::errorOccurred, this, [this](QLocalSocket::LocalSocketError error) {
        // Once the other program has gone nobody will answer: no endless retries.
        if (!m_keepTrying() || error == QLocalSocket::PeerClosedError)
            return;
        qDebug() << "Error connecting to" << m_serverName << error;
        QTimer::singleShot(retryMs, this, [this] {
            if (m_keepTrying())
                connectToServer();
        });
    });
    connect(m_socket, &QLocalSocket::connected, this, [this] {
        if (!LocalSockets::isSameUser(m_socket)) {
            qWarning() << m_serverName << "belongs to another user; ignored";
            m_socket->abort();
        }
    });
    connect(m_socket, &QLocalSocket::readyRead, this, &LocalMessageClient::read);
    // Only read: the viewer never writes to these sockets.
    m_socket->connectToServer(LocalSockets::serverPath(m_serverName), QIODevice::ReadOnly);
}

void LocalMessageClient::read()
{
    m_reader.feed(m_socket->readAll());
    QString text;
    while (m_reader.next(&text))
        emit messageReceived(text);
    if (m_reader.failed()) {
        qWarning() << "Malformed message on" << m_serverName << "; connection dropped";
        m_socket->abort();
    }
}
