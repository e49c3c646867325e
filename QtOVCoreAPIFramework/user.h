#ifndef USER_H
#define USER_H

#include "qtovcoreapiframework_global.h"

#include <QJsonValue>
#include <QMetaType>
#include <QString>

// A user account.
class QTOVCOREAPIFRAMEWORK_EXPORT User
{
public:
    User() = default;
    explicit User(const QJsonValue &json);

    // "First Last" when both are known; otherwise the first name with its white
    // space removed (which also tidies the stored first name), unless that is the
    // placeholder "user" or nothing is left; otherwise the e-mail address.
    QString getFullName();

    QString email;
    QString phone;
    QString firstName;
    QString lastName;
    bool isAdmin = false;
};

Q_DECLARE_METATYPE(User)

#endif // USER_H
