#include "app/recordinglinks.h"

#include "localmessage.h"
#include "localsockets.h"

#include <QDebug>
#include <QLocalServer>
#include <QLocalSocket>
#include <QUrl>
#include <QUrlQuery>

#include <memory>

RecordingLinks::RecordingLinks(QObject *parent)
    : QObject(parent)
{ }

QString RecordingLinks::recordingIdOf(const QString &text)
{
    const QUrl url(text);
    if (url.scheme() != QLatin1String("orvanetv")) {
        qDebug() << "No url scheme for" << url;
        return QString();
    }
    const QUrlQuery query(url);
    if (!query.hasQueryItem(QStringLiteral("recordingId"))) {
        qDebug() << "No recording id!";
        return QString();
    }
    return query.queryItemValue(QStringLiteral("recordingId"), QUrl::FullyDecoded);
}

QString RecordingLinks::linkArgument(const QStringList &arguments)
{
    for (int i = 1; i < arguments.size(); ++i) {
        if (arguments.at(i).startsWith(QLatin1String("orvanetv:"), Qt::CaseInsensitive))
            return arguments.at(i);
    }
    return QString();
}

bool RecordingLinks::forwardToRunningViewer(const QString &link)
{
    QLocalSocket socket;
    socket.connectToServer(LocalSockets::serverPath(serverName()));
    // Before the window exists: a short wait for a server that is already there.
    if (!socket.waitForConnected(500) || !LocalSockets::isSameUser(&socket))
        return false;
    socket.write(LocalMessage::encode(link));
    const bool written = socket.waitForBytesWritten(1000);
    socket.disconnectFromServer();
    return written;
}

bool RecordingLinks::listen()
{
    m_server = new QLocalServer(this);
    QString error;
    if (!LocalSockets::listen(m_server, serverName(), &error)) {
        qDebug() << "Not taking links from other starts:" << error;
        delete m_server;
        m_server = nullptr;
        return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = LocalSockets::nextSameUserConnection(m_server)) {
            auto reader = std::make_shared<LocalMessageReader>();
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket, reader] {
                reader->feed(socket->readAll());
                QString link;
                while (reader->next(&link)) {
                    const QString id = recordingIdOf(link);
                    if (!id.isEmpty())
                        emit recordingRequested(id);
                }
                if (reader->failed())
                    socket->abort();
            });
        }
    });
    return true;
}
