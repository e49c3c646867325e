#ifndef COMPANYSHARE_H
#define COMPANYSHARE_H

#include "qtovcoreapiframework_global.h"
#include "user.h"

#include <QDateTime>
#include <QJsonValue>
#include <QMetaType>
#include <QString>

// One share of a company's content with the signed-in user.
class QTOVCOREAPIFRAMEWORK_EXPORT CompanyShare
{
public:
    CompanyShare() = default;
    explicit CompanyShare(const QJsonValue &json);

    // ISO 8601 text as a UTC date-time (the written clock time, labelled UTC).
    static QDateTime formatDate(const QString &isoText);

    QString id;
    QString shareId;
    QString shareType;
    QString shareName;
    QString shareDescription;
    QDateTime createdAt;
    QDateTime updatedAt;
    QDateTime expiration;
    User sharer;
    User me;
    QString companyId;
    QString companySlug;
    QString companyName;
    QString companyImage;
    bool userNameOverlay = false;
    QString userPicOverlay;
    bool textChatEnabled = false;
    bool voiceChatEnabled = false;
    bool onlyListenAllowed = false;
    bool talkAndListenAllowed = false;
    bool onlyReadAllowed = false;
    bool readAndWriteAllowed = false;
};

Q_DECLARE_METATYPE(CompanyShare)

#endif // COMPANYSHARE_H
