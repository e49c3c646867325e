#ifndef SIOPROTOCOL_H
#define SIOPROTOCOL_H

#include <QJsonArray>
#include <QJsonValue>
#include <QString>

// The two layers of a Socket.IO connection over WebSocket text frames:
// Engine.IO protocol 4 ("<type digit><data>") carrying, in its "message" packets,
// Socket.IO protocol 5 ("<type>[<attachments>-][<namespace>,][<ack id>][<JSON>]").
namespace SocketIo {

struct EnginePacket
{
    enum Type { Open = 0, Close = 1, Ping = 2, Pong = 3, Message = 4, Upgrade = 5, Noop = 6, Invalid = -1 };
    Type type = Invalid;
    QString data;

    static EnginePacket decode(const QString &frame);
    static QString encode(Type type, const QString &data = QString());
};

// The handshake values of an Engine.IO "open" packet.
struct EngineHandshake
{
    bool valid = false;
    QString sid;
    int pingInterval = 25000;
    int pingTimeout = 20000;

    static EngineHandshake decode(const QString &data);
};

struct SocketPacket
{
    enum Type {
        Connect = 0,
        Disconnect = 1,
        Event = 2,
        Ack = 3,
        ConnectError = 4,
        BinaryEvent = 5,
        BinaryAck = 6,
        Invalid = -1
    };
    Type type = Invalid;
    QString nsp = QStringLiteral("/");
    int attachments = 0;
    qint64 ackId = -1;
    QJsonValue data = QJsonValue(QJsonValue::Undefined); // undefined when the packet carries none

    static SocketPacket decode(const QString &text);
    static QString encode(Type type, const QString &nsp = QStringLiteral("/"),
                          const QJsonValue &data = QJsonValue(QJsonValue::Undefined));

    // For events: the name (first element of the array) and the arguments after it.
    QString eventName() const;
    QJsonArray eventArguments() const;
};

} // namespace SocketIo

#endif // SIOPROTOCOL_H
