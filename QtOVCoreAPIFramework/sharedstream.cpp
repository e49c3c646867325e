#include "sharedstream.h"

#include "jsonconvert.h"

using namespace JsonConvert;

SharedStreamSource::SharedStreamSource(const QJsonValue &json)
    : streamProtocol(text(member(json, QStringLiteral("protocol"))))
    , host(text(member(json, QStringLiteral("host"))))
    , keyLen(integer(member(json, QStringLiteral("keylen"))))
    , passphrase(text(member(json, QStringLiteral("passphrase"))))
    , token(text(member(json, QStringLiteral("token"))))
{
    // Some deployments send the port as a decimal string.
    const QJsonValue portValue = member(json, QStringLiteral("port"));
    port = integer(portValue);
    if (port == 0)
        port = text(portValue).toInt();
}

SharedStream::SharedStream(const QJsonValue &json)
    : id(text(member(json, QStringLiteral("id"))))
    , name(text(member(json, QStringLiteral("name"))))
    , slug(text(member(json, QStringLiteral("slug"))))
    , status(text(member(json, QStringLiteral("status"))))
    , secured(flag(member(json, QStringLiteral("secured"))))
    , type(text(member(json, QStringLiteral("type"))))
{
    if (id.isEmpty())
        id = text(member(json, QStringLiteral("sid")));
    readArray(member(json, QStringLiteral("streamSources")), sharedStreamSources);
}
