#include "camera.h"

#include "jsonconvert.h"

using namespace JsonConvert;

Operator::Operator(const QJsonValue &json)
{
    Q_UNUSED(json)
}

Camera::Camera(const QJsonValue &json)
    : id(text(member(json, QStringLiteral("id"))))
    , serverId(text(member(json, QStringLiteral("serverId"))))
    , encoderSid(text(member(json, QStringLiteral("encoderSid"))))
    , createdAt(dateTime(member(json, QStringLiteral("createdAt"))))
    , unit(text(member(json, QStringLiteral("unit"))))
    , name(text(member(json, QStringLiteral("name"))))
    , muted(flag(member(json, QStringLiteral("muted"))))
    , sharedStream(member(json, QStringLiteral("stream")))
{ }

bool Camera::hasStream() const
{
    return !sharedStream.id.isEmpty();
}

QDateTime Camera::formatDate(const QString &isoText)
{
    return dateTime(isoText);
}
