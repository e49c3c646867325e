#include "companyshare.h"

#include "jsonconvert.h"

using namespace JsonConvert;

CompanyShare::CompanyShare(const QJsonValue &json)
    : id(text(member(json, QStringLiteral("id"))))
    , shareId(text(member(json, QStringLiteral("shareId"))))
    , shareType(text(member(json, QStringLiteral("shareType"))))
    , shareName(text(member(json, QStringLiteral("shareName"))))
    , createdAt(dateTime(member(json, QStringLiteral("createdAt"))))
    , updatedAt(dateTime(member(json, QStringLiteral("updatedAt"))))
    , expiration(dateTime(member(json, QStringLiteral("expirationDate"))))
    , sharer(member(json, QStringLiteral("sharer")))
    , me(member(json, QStringLiteral("user")))
{
    const QString company = QStringLiteral("company");
    companyId = text(path(json, company, QStringLiteral("id")));
    companySlug = text(path(json, company, QStringLiteral("slug")));
    companyName = text(path(json, company, QStringLiteral("name")));
    companyImage = text(path(json, company, QStringLiteral("image")));

    const QString options = QStringLiteral("options");
    userNameOverlay = flag(path(json, options, QStringLiteral("userNameOverlay")));
    userPicOverlay = text(path(json, options, QStringLiteral("userPicOverlay")));
    textChatEnabled = flag(path(json, options, QStringLiteral("textChatEnabled")));
    voiceChatEnabled = flag(path(json, options, QStringLiteral("voiceChatEnabled")));
    onlyListenAllowed = flag(path(json, options, QStringLiteral("onlyListenAllowed")));
    talkAndListenAllowed = flag(path(json, options, QStringLiteral("talkAndListenAllowed")));
    onlyReadAllowed = flag(path(json, options, QStringLiteral("onlyReadAllowed")));
    readAndWriteAllowed = flag(path(json, options, QStringLiteral("readAndWriteAllowed")));
}

QDateTime CompanyShare::formatDate(const QString &isoText)
{
    return dateTime(isoText);
}
