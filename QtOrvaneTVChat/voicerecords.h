#ifndef VOICERECORDS_H
#define VOICERECORDS_H

#include "chatrecords.h"

#include <QMetaType>
#include <QString>
#include <QVector>

// An audio device as offered to the user; "Follow System" ("-1") stands for the
// system's default device.
struct AudioRoute
{
    QString name;
    QString id;

    static AudioRoute followSystem() { return {QStringLiteral("Follow System"), QStringLiteral("-1")}; }
    bool isFollowSystem() const { return name == QLatin1String("Follow System"); }
    bool operator==(const AudioRoute &other) const { return name == other.name && id == other.id; }
};

namespace VoiceNames {

// A shared user's name in the voice views: "First Last" when both are given;
// else a first name that is not the placeholder "user" (blanks ignored); else
// the e-mail; else empty.
QString displayName(const SharedUser &user);

// The initials of the voice views: the first character of each word, or its
// first two when the word starts with something other than a letter, in upper
// case ("anna maria" gives "AM", "#1 fan" gives "#1F").
QString initials(const QString &name);

} // namespace VoiceNames

Q_DECLARE_METATYPE(AudioRoute)

#endif // VOICERECORDS_H
