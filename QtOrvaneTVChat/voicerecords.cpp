#include "voicerecords.h"

#include <QRegularExpression>

namespace VoiceNames {

QString displayName(const SharedUser &user)
{
    if (!user.firstName.isEmpty() && !user.lastName.isEmpty())
        return user.firstName + QLatin1Char(' ') + user.lastName;
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    if (!user.firstName.isEmpty() && QString(user.firstName).remove(blanks) != QLatin1String("user"))
        return user.firstName;
    return user.email;
}

QString initials(const QString &name)
{
    QString result;
    for (const QString &word : name.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        result += word.at(0).isLetter() ? word.left(1) : word.left(2);
    return result.toUpper();
}

} // namespace VoiceNames
