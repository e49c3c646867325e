#include "sioconnection.h"

#include "deploymentoverride.h"
#include "logredaction.h"
#include "siosocket.h"

#include "logcategories.h"

#include <QDebug>
#include <QNetworkRequest>
#include <QUrlQuery>
#include <QWebSocket>

#include <cmath>

namespace SocketIo {

int ReconnectPolicy::delayFor(int attempt, std::mt19937 &random) const
{
    // delay * 2^attempt, moved up or down by up to `randomization` of itself.
    double delay = delayMs * std::pow(2.0, qBound(0, attempt, 30));
    if (randomization > 0) {
        std::uniform_real_distribution<double> spread(-randomization, randomization);
        delay += delay * spread(random);
    }
    return int(qBound(0.0, delay, double(delayMaxMs)));
}

Connection::Connection(Socket *socket, ConnectionListeners listeners)
    : m_socket(socket)
    , m_listeners(std::move(listeners))
    , m_random(std::random_device{}())
{
    m_heartbeat.setSingleShot(true);
    m_reconnect.setSingleShot(true);
    connect(&m_heartbeat, &QTimer::timeout, this, [this] {
        debug(QStringLiteral("no ping from the server in time; dropping the connection"));
        dropSocket();
        onTransportClosed();
    });
    connect(&m_reconnect, &QTimer::timeout, this, &Connection::openSocket);
    connect(&m_opening, &QTimer::timeout, this, [this] {
        if (m_state != State::Connecting && m_state != State::Handshaken)
            return;
        debug(QStringLiteral("the server did not complete the opening in time"));
        dropSocket();
        onTransportClosed();
    });
}

Connection::~Connection()
{
    // Going away with the client: no listener runs any more.
    m_listeners = ConnectionListeners();
    dropSocket();
}

QUrl Connection::webSocketUrl(const QUrl &url, const QMap<QString, QString> &query)
{
    QUrl address;
    address.setScheme(QStringLiteral("wss"));
    address.setHost(url.host());
    address.setPort(url.port(443));
    address.setPath(QStringLiteral("/socket.io/"));
    QString text = QStringLiteral("EIO=4&transport=websocket");
    for (auto it = query.begin(); it != query.end(); ++it) {
        text += QLatin1Char('&') + QString::fromUtf8(QUrl::toPercentEncoding(it.key())) + QLatin1Char('=')
            + QString::fromUtf8(QUrl::toPercentEncoding(it.value()));
    }
    address.setQuery(text, QUrl::StrictMode);
    return address;
}

void Connection::start(const QUrl &url, const QMap<QString, QString> &query)
{
    stop();
    m_url = webSocketUrl(url, query);
    m_failedAttempts = 0;
    openSocket();
}

void Connection::stop()
{
    m_reconnect.stop();
    m_opening.stop();
    const State previous = m_state;
    m_state = State::Idle;
    if (previous == State::Connected && m_webSocket)
        send(EnginePacket::encode(EnginePacket::Message, SocketPacket::encode(SocketPacket::Disconnect)));
    dropSocket(true);
    if (previous != State::Idle && previous != State::Waiting && m_listeners.close)
        m_listeners.close(CloseReason::Normal);
}

void Connection::openSocket()
{
    dropSocket();
    m_state = State::Connecting;
    m_opening.setSingleShot(true);
    m_opening.start(m_policy.openingLimitMs);
    m_pendingAttachments = 0;
    auto *webSocket = new QWebSocket(QString(), QWebSocketProtocol::VersionLatest, this);
    m_webSocket = webSocket;
    connect(webSocket, &QWebSocket::textMessageReceived, this, &Connection::onTextFrame);
    connect(webSocket, &QWebSocket::binaryMessageReceived, this, [this] {
        // Binary attachments are not used by this client; they are skipped.
        if (m_pendingAttachments > 0)
            --m_pendingAttachments;
    });
    connect(webSocket, &QWebSocket::disconnected, this, [this, webSocket] {
        if (webSocket == m_webSocket)
            onTransportClosed();
    });

    QNetworkRequest request(m_url);
    DeploymentOverride::instance().prepare(request);
    debug(QStringLiteral("connecting to %1").arg(LogRedaction::redactedUrl(m_url)));
    webSocket->open(request);
}

void Connection::onTextFrame(const QString &frame)
{
    if (m_debug)
        debug(QStringLiteral("<- %1").arg(frame.left(160)));
    const EnginePacket packet = EnginePacket::decode(frame);
    switch (packet.type) {
    case EnginePacket::Open:
        m_handshake = EngineHandshake::decode(packet.data);
        if (!m_handshake.valid) {
            debug(QStringLiteral("the server's handshake is not valid"));
            dropSocket();
            onTransportClosed();
            return;
        }
        m_state = State::Handshaken;
        restartHeartbeat();
        send(EnginePacket::encode(EnginePacket::Message, SocketPacket::encode(SocketPacket::Connect)));
        break;
    case EnginePacket::Ping:
        restartHeartbeat();
        send(EnginePacket::encode(EnginePacket::Pong, packet.data));
        break;
    case EnginePacket::Close:
        dropSocket();
        onTransportClosed();
        break;
    case EnginePacket::Message: onSocketPacket(SocketPacket::decode(packet.data)); break;
    default: break; // pong, upgrade, noop and malformed frames carry nothing for us
    }
}

void Connection::onSocketPacket(const SocketPacket &packet)
{
    if (packet.type == SocketPacket::Invalid || packet.nsp != QLatin1String("/"))
        return;
    switch (packet.type) {
    case SocketPacket::Connect:
        if (m_state != State::Handshaken)
            return;
        m_state = State::Connected;
        m_opening.stop();
        m_failedAttempts = 0;
        if (m_listeners.open)
            m_listeners.open();
        break;
    case SocketPacket::ConnectError:
        // The server refused us (for example our credentials); asking again with
        // the same ones would be refused again, so this ends the connection.
        m_socket->dispatchError(
            packet.data.isObject() ? packet.data.toObject().value(QStringLiteral("message")) : packet.data);
        m_reconnect.stop();
        dropSocket();
        m_state = State::Idle;
        if (m_listeners.fail)
            m_listeners.fail();
        break;
    case SocketPacket::Disconnect:
        // The server let us go on purpose: no reconnection.
        dropSocket();
        m_state = State::Idle;
        if (m_listeners.close)
            m_listeners.close(CloseReason::Drop);
        break;
    case SocketPacket::Event:
        if (m_state == State::Connected)
            m_socket->dispatch(packet.eventName(), packet.eventArguments().at(0));
        break;
    case SocketPacket::BinaryEvent:
    case SocketPacket::BinaryAck: m_pendingAttachments = packet.attachments; break;
    default: break;
    }
}

void Connection::onTransportClosed()
{
    const State previous = m_state;
    if (previous == State::Idle || previous == State::Waiting)
        return;
    m_heartbeat.stop();
    m_opening.stop();
    m_state = State::Waiting;
    if (previous == State::Connected) {
        if (m_listeners.close)
            m_listeners.close(CloseReason::Drop);
    } else {
        ++m_failedAttempts;
        if (m_listeners.fail)
            m_listeners.fail();
    }
    scheduleReconnect();
}

void Connection::scheduleReconnect()
{
    if (m_state != State::Waiting)
        return;
    if (m_policy.attempts > 0 && m_failedAttempts >= m_policy.attempts) {
        debug(QStringLiteral("giving up after %1 attempts").arg(m_failedAttempts));
        m_state = State::Idle;
        return;
    }
    const int delay = m_policy.delayFor(m_failedAttempts, m_random);
    debug(QStringLiteral("reconnecting in %1 ms").arg(delay));
    m_reconnect.start(delay);
}

void Connection::send(const QString &frame)
{
    if (!m_webSocket)
        return;
    if (m_debug)
        debug(QStringLiteral("-> %1").arg(frame.left(160)));
    m_webSocket->sendTextMessage(frame);
}

void Connection::restartHeartbeat()
{
    m_heartbeat.start(m_handshake.pingInterval + m_handshake.pingTimeout);
}

void Connection::dropSocket(bool graceful)
{
    m_heartbeat.stop();
    QWebSocket *webSocket = m_webSocket;
    if (!webSocket)
        return;
    m_webSocket = nullptr;
    webSocket->disconnect(this);
    if (!graceful || webSocket->state() != QAbstractSocket::ConnectedState) {
        webSocket->abort();
        webSocket->deleteLater();
        return;
    }
    // A clean close lets the close handshake (and what was sent before it) go out;
    // the socket goes away when the server answers, or after a short grace period.
    connect(webSocket, &QWebSocket::disconnected, webSocket, &QObject::deleteLater);
    QTimer::singleShot(2000, webSocket, [webSocket] {
        webSocket->abort();
        webSocket->deleteLater();
    });
    webSocket->close(QWebSocketProtocol::CloseCodeNormal);
}

void Connection::debug(const QString &text) const
{
    if (m_debug)
        qCDebug(lcSocketIo).noquote() << text;
}

} // namespace SocketIo
