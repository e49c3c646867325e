#ifndef ARCHIVE_H
#define ARCHIVE_H

#include "qtovcoreapiframework_global.h"

#include <QDateTime>
#include <QImage>
#include <QJsonValue>
#include <QMetaType>
#include <QString>

// Technical data of a recording.
class QTOVCOREAPIFRAMEWORK_EXPORT ArchiveInfo
{
public:
    ArchiveInfo() = default;
    explicit ArchiveInfo(const QJsonValue &json);

    int extendedPreviewHeight = 0;
    int extendedPreviewWidth = 0;
    int extendedPreviewFrameCount = 0;
    // Bytes; 64-bit so recordings of 2 GiB and more keep their size.
    qint64 fileSize = 0;
    QString fps;
    QString resolution;
    QString audioQuality;
};

// A recording.
class QTOVCOREAPIFRAMEWORK_EXPORT Archive
{
public:
    Archive() = default;
    explicit Archive(const QJsonValue &json);

    // The size as text with two decimals and a unit, for example "1.50 MB".
    QString fileSize() const;

    // ISO 8601 text as a UTC date-time (the written clock time, labelled UTC).
    static QDateTime formatDate(const QString &isoText);

    QString id;
    QString name;
    QString externalId;
    QString userEmail;
    QString status;
    QDateTime createdAt;
    QString type;
    QString encoderSid;
    QString encoderName;
    QString cameraId;
    QString cameraName;
    QString previewUrl;
    QString extendedPreviewUrl;
    QString audioThumbnailPreviewUrl;
    // Loaded by the viewer from the URLs above.
    QImage previewImage;
    QImage extendedPreviewImage;
    QImage audioPreviewImage;
    // The MPEG-TS address of the recording.
    QString url;
    // The MP4 address of the recording.
    QString webVideoUrl;
    ArchiveInfo info;
};

Q_DECLARE_METATYPE(ArchiveInfo)
Q_DECLARE_METATYPE(Archive)

#endif // ARCHIVE_H
