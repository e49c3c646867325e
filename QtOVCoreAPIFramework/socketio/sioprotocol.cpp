#include "sioprotocol.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace SocketIo {

namespace {

// A JSON value from text; the document parser wants an array or object, so a
// scalar is read as the only element of an array.
bool parseJsonValue(const QString &text, QJsonValue *value)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(QStringLiteral("[%1]").arg(text).toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !document.isArray() || document.array().size() != 1)
        return false;
    *value = document.array().first();
    return true;
}

QString jsonText(const QJsonValue &value)
{
    const QByteArray wrapped = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(wrapped.mid(1, wrapped.size() - 2));
}

} // namespace

EnginePacket EnginePacket::decode(const QString &frame)
{
    EnginePacket packet;
    if (frame.isEmpty())
        return packet;
    const QChar digit = frame.at(0);
    if (digit < QLatin1Char('0') || digit > QLatin1Char('6'))
        return packet;
    packet.type = Type(digit.unicode() - '0');
    packet.data = frame.mid(1);
    return packet;
}

QString EnginePacket::encode(Type type, const QString &data)
{
    return QString::number(int(type)) + data;
}

EngineHandshake EngineHandshake::decode(const QString &data)
{
    EngineHandshake handshake;
    const QJsonObject object = QJsonDocument::fromJson(data.toUtf8()).object();
    const QJsonValue sid = object.value(QStringLiteral("sid"));
    if (!sid.isString() || sid.toString().isEmpty())
        return handshake;
    handshake.sid = sid.toString();
    // Out-of-range intervals fall back to the protocol's defaults.
    const auto interval = [&object](const char *key, int fallback) {
        const double value = object.value(QLatin1String(key)).toDouble(-1);
        return value >= 1 && value <= 3600000 ? int(value) : fallback;
    };
    handshake.pingInterval = interval("pingInterval", 25000);
    handshake.pingTimeout = interval("pingTimeout", 20000);
    handshake.valid = true;
    return handshake;
}

SocketPacket SocketPacket::decode(const QString &text)
{
    SocketPacket packet;
    if (text.isEmpty() || text.at(0) < QLatin1Char('0') || text.at(0) > QLatin1Char('6'))
        return packet;
    const Type type = Type(text.at(0).unicode() - '0');
    int position = 1;
    const int length = text.size();

    if (type == BinaryEvent || type == BinaryAck) {
        const int dash = text.indexOf(QLatin1Char('-'), position);
        if (dash < 0 || dash == position || dash - position > 6)
            return packet;
        bool ok = false;
        packet.attachments = text.mid(position, dash - position).toInt(&ok);
        if (!ok || packet.attachments < 0)
            return packet;
        position = dash + 1;
    }

    if (position < length && text.at(position) == QLatin1Char('/')) {
        const int comma = text.indexOf(QLatin1Char(','), position);
        if (comma < 0) {
            packet.nsp = text.mid(position);
            position = length;
        } else {
            packet.nsp = text.mid(position, comma - position);
            position = comma + 1;
        }
    }

    const int idStart = position;
    while (position < length && text.at(position).isDigit() && position - idStart < 16)
        ++position;
    if (position > idStart)
        packet.ackId = text.mid(idStart, position - idStart).toLongLong();

    if (position < length) {
        QJsonValue data;
        if (!parseJsonValue(text.mid(position), &data))
            return packet;
        packet.data = data;
    }

    // Events and acknowledgements carry an array; connect errors an object or text.
    if ((type == Event || type == BinaryEvent)
        && (!packet.data.isArray() || !packet.data.toArray().first().isString()))
        return packet;
    if ((type == Ack || type == BinaryAck) && !packet.data.isArray())
        return packet;
    packet.type = type;
    return packet;
}

QString SocketPacket::encode(Type type, const QString &nsp, const QJsonValue &data)
{
    QString text = QString::number(int(type));
    if (!nsp.isEmpty() && nsp != QLatin1String("/"))
        text += nsp + QLatin1Char(',');
    if (!data.isUndefined())
        text += jsonText(data);
    return text;
}

QString SocketPacket::eventName() const
{
    return data.toArray().at(0).toString();
}

QJsonArray SocketPacket::eventArguments() const
{
    QJsonArray arguments = data.toArray();
    if (!arguments.isEmpty())
        arguments.removeFirst();
    return arguments;
}

} // namespace SocketIo
