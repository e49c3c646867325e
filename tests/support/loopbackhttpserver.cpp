#include "loopbackhttpserver.h"

#include <QHostAddress>
#include <QUrlQuery>

LoopbackHttpServer::LoopbackHttpServer(QObject *parent)
    : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &LoopbackHttpServer::onNewConnection);
}

LoopbackHttpServer::~LoopbackHttpServer()
{
    // Open connections go down with the server, without calling back into it.
    const auto sockets = m_server.findChildren<QTcpSocket *>();
    for (QTcpSocket *socket : sockets) {
        socket->disconnect(this);
        socket->abort();
    }
}

bool LoopbackHttpServer::listen()
{
    return m_server.listen(QHostAddress::LocalHost, 0);
}

quint16 LoopbackHttpServer::port() const
{
    return m_server.serverPort();
}

QUrl LoopbackHttpServer::baseUrl() const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port()));
}

void LoopbackHttpServer::setReply(const QString &path, const Reply &reply)
{
    m_replies.insert(path, reply);
}

void LoopbackHttpServer::setDefaultReply(const Reply &reply)
{
    m_defaultReply = reply;
}

void LoopbackHttpServer::clearReplies()
{
    m_replies.clear();
    m_defaultReply = Reply();
}

LoopbackHttpServer::Reply LoopbackHttpServer::okEnvelope(const QByteArray &responseJson,
                                                         const QByteArray &metaExtraJson)
{
    Reply reply;
    QByteArray meta = "{\"status\":\"ok\"";
    if (!metaExtraJson.isEmpty())
        meta += "," + metaExtraJson;
    meta += "}";
    reply.body = "{\"meta\":" + meta + ",\"response\":" + responseJson + "}";
    return reply;
}

void LoopbackHttpServer::onNewConnection()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_buffers.remove(socket);
            socket->deleteLater();
        });
    }
}

void LoopbackHttpServer::onReadyRead(QTcpSocket *socket)
{
    QByteArray &buffer = m_buffers[socket];
    buffer += socket->readAll();

    const int headerEnd = buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return;

    Request request;
    const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
    const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
    if (requestLine.size() < 2) {
        socket->abort();
        return;
    }
    int contentLength = 0;
    for (int i = 1; i < lines.size(); ++i) {
        const int colon = lines.at(i).indexOf(':');
        if (colon < 0)
            continue;
        const QByteArray name = lines.at(i).left(colon).trimmed().toLower();
        const QByteArray value = lines.at(i).mid(colon + 1).trimmed();
        request.headers.insert(name, value);
        if (name == "content-length")
            contentLength = value.toInt();
    }
    if (buffer.size() < headerEnd + 4 + contentLength)
        return; // the body is still on its way

    request.method = requestLine.at(0);
    request.target = requestLine.at(1);
    request.body = buffer.mid(headerEnd + 4, contentLength);
    buffer.clear();

    const QUrl url = QUrl::fromEncoded(request.target);
    request.path = url.path(QUrl::FullyDecoded);
    request.query = QUrlQuery(url).queryItems(QUrl::FullyDecoded);
    m_requests.append(request);
    emit requestReceived();

    const Reply reply = m_replies.value(request.path, m_defaultReply);
    if (reply.neverAnswer)
        return;

    QByteArray response = "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' + reply.reason + "\r\n";
    response += "Content-Type: " + reply.contentType + "\r\n";
    response += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
    response += "Connection: close\r\n\r\n";
    response += reply.body;
    socket->write(response);
    socket->disconnectFromHost();
}
