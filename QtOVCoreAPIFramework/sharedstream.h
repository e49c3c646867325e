#ifndef SHAREDSTREAM_H
#define SHAREDSTREAM_H

#include "qtovcoreapiframework_global.h"

#include <QByteArray>
#include <QJsonValue>
#include <QMetaType>
#include <QString>
#include <QVector>

// One way to pull a live stream (SRT or TCP MPEG-TS).
class QTOVCOREAPIFRAMEWORK_EXPORT SharedStreamSource
{
public:
    SharedStreamSource() = default;
    explicit SharedStreamSource(const QJsonValue &json);

    QString streamProtocol;
    QString host;
    int port = 0;
    int keyLen = 0;
    QString passphrase;
    QString token;
};

// A live stream of an encoder.
class QTOVCOREAPIFRAMEWORK_EXPORT SharedStream
{
public:
    SharedStream() = default;
    explicit SharedStream(const QJsonValue &json);

    QString id;
    QString name;
    QString slug;
    QString status;
    bool secured = false;
    QString type;
    QVector<SharedStreamSource> sharedStreamSources;
    // The decoded JPEG of the latest preview snapshot; filled by the viewer.
    QByteArray previewImage;
};

Q_DECLARE_METATYPE(SharedStreamSource)
Q_DECLARE_METATYPE(SharedStream)

#endif // SHAREDSTREAM_H
