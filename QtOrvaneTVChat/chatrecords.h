#ifndef CHATRECORDS_H
#define CHATRECORDS_H

#include "rtctypes.h"

#include <QJsonObject>
#include <QMetaType>
#include <QString>
#include <QVector>

// The records the chat program reads from the service, by value.

// The chat credentials of one user in one workspace.
struct ChatAuth
{
    QString rtcToken;
    QString rtmToken;
    QString userId;
    QString channelId;
    quint32 voiceStreamId = 0;
    qint32 priveledgeExpiresTs = 0;
    QString encryptionMode;
    QString encryptionSecret;

    static ChatAuth fromJson(const QJsonObject &json);
};

// The signed-in user, in the chat program's form.
struct User
{
    QString id;
    QString email;
    QString phone;
    QString firstName;
    QString lastName;
    bool isAdmin = false;

    static User fromJson(const QJsonObject &json);
    // "First Last", else a first name that is not a placeholder, else the e-mail;
    // with isOwnUser, " (You)" follows a non-empty name.
    QString getDisplayName(bool isOwnUser = false) const;
    // Both names given and neither is the placeholder "user".
    bool hasProperName() const;
};

// One member of the voice channel as the chat session keeps them.
struct VoiceChatParticipant
{
    // The participant number: the low 20 bits of the engine's uid.
    quint32 uid = 0;
    QString name;
    orvane::rtc::AudioVolumeInfo volumeInfo;
    bool hasAudio = false;
    // Muted locally by this user.
    bool muted = false;

    static constexpr quint32 numberMask = 0xfffff;
};

// A user the workspace is shared with.
struct SharedUser
{
    QString id;
    QString email;
    QString firstName;
    QString lastName;
    QString image;
    // Their voice participant while they are in the call (uid 0 and no name
    // otherwise); the voice users list keeps it.
    VoiceChatParticipant participant;

    static SharedUser fromJson(const QJsonObject &json);
};

// Placeholder names the service gives accounts that never set one.
bool isPlaceholderName(QString name);

// Stands in for the company shares the chat program never asks for.
struct CompanyShare
{
    QString id;
};

Q_DECLARE_METATYPE(ChatAuth)
Q_DECLARE_METATYPE(User)
Q_DECLARE_METATYPE(SharedUser)
Q_DECLARE_METATYPE(VoiceChatParticipant)
Q_DECLARE_METATYPE(QVector<VoiceChatParticipant>)
Q_DECLARE_METATYPE(QVector<CompanyShare>)

#endif // CHATRECORDS_H
