#include "user.h"

#include "jsonconvert.h"

#include <QRegularExpression>

using namespace JsonConvert;

User::User(const QJsonValue &json)
    : email(text(member(json, QStringLiteral("email"))))
    , phone(text(member(json, QStringLiteral("phone"))))
    , firstName(text(member(json, QStringLiteral("firstName"))))
    , lastName(text(member(json, QStringLiteral("lastName"))))
    , isAdmin(flag(member(json, QStringLiteral("isAdmin"))))
{ }

QString User::getFullName()
{
    if (!firstName.isEmpty() && !lastName.isEmpty())
        return firstName + QLatin1Char(' ') + lastName;

    if (!firstName.isEmpty()) {
        static const QRegularExpression whiteSpace(QStringLiteral("[\\s\\n]+"));
        firstName.remove(whiteSpace);
        // A first name of only white space leaves nothing worth showing; the
        // e-mail address names the person better than an empty text.
        if (!firstName.isEmpty() && firstName != QLatin1String("user"))
            return firstName;
    }
    return email;
}
