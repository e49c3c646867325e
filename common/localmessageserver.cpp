#include "localmessageserver.h"

#include "localmessage.h"
#include "localsockets.h"

#include <QLocalServer>
#include <QLocalSocket>

LocalMessageServer::LocalMessageServer(QObject *parent)
    : QObject(parent)
{ }

bool LocalMessageServer::listen(const QString &name, QString *error)
{
    close();
    m_server = new QLocalServer(this);
    if (!LocalSockets::listen(m_server, name, error)) {
        delete m_server;
        m_server = nullptr;
        return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, &LocalMessageServer::storeConnection);
    return true;
}

void LocalMessageServer::storeConnection()
{
    if (!m_server)
        return;
    // Connections of other users are refused on the way.
    bool stored = false;
    while (QLocalSocket *socket = LocalSockets::nextSameUserConnection(m_server)) {
        m_connection = socket;
        stored = true;
    }
    if (stored)
        emit connectionStored();
}

bool LocalMessageServer::send(const QString &text)
{
    if (!m_connection)
        return false;
    m_connection->write(LocalMessage::encode(text));
    m_connection->flush();
    return true;
}

void LocalMessageServer::close()
{
    if (m_server) {
        m_server->close();
        m_server->deleteLater();
        m_server = nullptr;
    }
    m_connection.clear();
}
