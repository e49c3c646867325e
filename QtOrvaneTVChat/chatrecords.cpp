#include "chatrecords.h"

#include <QDebug>
#include <QRegularExpression>
#include <QVariant>

namespace {

QString text(const QJsonObject &json, const char *key)
{
    const QJsonValue value = json.value(QLatin1String(key));
    return value.isString() ? value.toString() : QString();
}

} // namespace

bool isPlaceholderName(QString name)
{
    static const QRegularExpression whiteSpace(QStringLiteral("[\\s\\n]+"));
    return name.remove(whiteSpace) == QLatin1String("user");
}

ChatAuth ChatAuth::fromJson(const QJsonObject &json)
{
    ChatAuth auth;
    auth.rtcToken = text(json, "rtcToken");
    auth.rtmToken = text(json, "rtmToken");
    auth.userId = text(json, "userId");
    auth.channelId = text(json, "channelId");
    // The service has sent the number both as a JSON number and as decimal text.
    const QJsonValue streamValue = json.value(QLatin1String("voiceStreamId"));
    bool ok = false;
    uint streamId = 0;
    if (streamValue.isDouble()) {
        // A negative or fractional number is no stream id (a plain conversion would wrap it).
        const double number = streamValue.toDouble();
        ok = number >= 0 && number <= 4294967295.0 && number == double(quint64(number));
        streamId = ok ? uint(number) : 0;
    } else {
        streamId = streamValue.toVariant().toUInt(&ok);
    }
    if (ok) {
        auth.voiceStreamId = streamId;
        qDebug() << "Decoded voice stream id: " << streamId;
    } else {
        qDebug() << "Decoding voice stream id failed!";
    }
    const QJsonValue expiry = json.value(QLatin1String("priveledgeExpiresTs"));
    auth.priveledgeExpiresTs = expiry.isDouble() ? expiry.toInt(0) : 0;
    auth.encryptionMode = text(json, "encryptionMode");
    auth.encryptionSecret = text(json, "encryptionSecret");
    return auth;
}

User User::fromJson(const QJsonObject &json)
{
    User user;
    user.id = text(json, "id");
    user.email = text(json, "email");
    user.phone = text(json, "phone");
    user.firstName = text(json, "firstName");
    user.lastName = text(json, "lastName");
    const QJsonValue admin = json.value(QLatin1String("isAdmin"));
    user.isAdmin = admin.isBool() && admin.toBool();
    return user;
}

QString User::getDisplayName(bool isOwnUser) const
{
    QString name;
    if (!firstName.isEmpty() && !lastName.isEmpty())
        name = firstName + QLatin1Char(' ') + lastName;
    else if (!firstName.isEmpty() && !isPlaceholderName(firstName))
        name = firstName;
    else if (!email.isEmpty())
        name = email;
    if (isOwnUser && !name.isEmpty())
        name += QStringLiteral(" (You)");
    return name;
}

bool User::hasProperName() const
{
    return !firstName.isEmpty() && !lastName.isEmpty() && !isPlaceholderName(firstName)
        && !isPlaceholderName(lastName);
}

SharedUser SharedUser::fromJson(const QJsonObject &json)
{
    SharedUser user;
    user.id = text(json, "id");
    user.email = text(json, "email");
    const QJsonValue first = json.value(QLatin1String("firstName"));
    const QJsonValue last = json.value(QLatin1String("lastName"));
    user.firstName = first.isString() ? first.toString() : QStringLiteral("user");
    user.lastName = last.isString() ? last.toString() : QStringLiteral("user");
    user.image = text(json, "image");
    return user;
}
