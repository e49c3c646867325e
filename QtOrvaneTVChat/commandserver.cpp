#include "commandserver.h"

#include "localmessage.h"
#include "localsockets.h"

#include <QDebug>
#include <QLocalServer>
#include <QLocalSocket>

CommandServer::CommandServer(QObject *parent)
    : QObject(parent)
{
}

bool CommandServer::listen(const QString &name, QString *error)
{
    delete m_server;
    m_server = new QLocalServer(this);
    if (!LocalSockets::listen(m_server, name, error)) {
        delete m_server;
        m_server = nullptr;
        return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, &CommandServer::storeConnection);
    return true;
}

void CommandServer::storeConnection()
{
    if (!m_server)
        return;
    // Connections of other users are refused on the way.
    while (QLocalSocket *socket = LocalSockets::nextSameUserConnection(m_server)) {
        // The earlier socket is neither closed nor written to again.
        m_connection = socket;
    }
}

void CommandServer::send(const QString &text)
{
    const QByteArray block = LocalMessage::encode(text);
    qDebug() << "Sending " << block << "to" << m_connection.data();
    if (!m_connection) {
        qDebug() << "No connection to send block to!";
        return;
    }
    m_connection->write(block);
    m_connection->flush();
}
