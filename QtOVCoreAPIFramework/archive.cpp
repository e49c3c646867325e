#include "archive.h"

#include "jsonconvert.h"

#include <QStringList>

using namespace JsonConvert;

ArchiveInfo::ArchiveInfo(const QJsonValue &json)
    : extendedPreviewFrameCount(
        integer(path(json, QStringLiteral("extendedPreview"), QStringLiteral("framesCount"))))
    , fileSize(integer64(member(json, QStringLiteral("filesize"))))
    , fps(text(path(json, QStringLiteral("video"), QStringLiteral("fps"))))
    , resolution(text(path(json, QStringLiteral("video"), QStringLiteral("resolution"))))
    , audioQuality(text(path(json, QStringLiteral("audio"), QStringLiteral("quality"))))
{
    // "width:height"; a single number stands for both.
    const QStringList parts
        = text(path(json, QStringLiteral("extendedPreview"), QStringLiteral("resolution")))
              .split(QLatin1Char(':'), Qt::KeepEmptyParts);
    extendedPreviewWidth = parts.first().toInt();
    extendedPreviewHeight = parts.last().toInt();
}

Archive::Archive(const QJsonValue &json)
    : id(text(member(json, QStringLiteral("id"))))
    , name(text(member(json, QStringLiteral("name"))))
    , externalId(text(member(json, QStringLiteral("externalId"))))
    , userEmail(text(member(json, QStringLiteral("userEmail"))))
    , createdAt(dateTime(member(json, QStringLiteral("createdAt"))))
    , type(text(member(json, QStringLiteral("type"))))
    , encoderSid(text(member(json, QStringLiteral("encoderSid"))))
    , encoderName(text(member(json, QStringLiteral("encoderName"))))
    , cameraId(text(member(json, QStringLiteral("cameraId"))))
    , cameraName(text(member(json, QStringLiteral("cameraName"))))
    , previewUrl(text(member(json, QStringLiteral("previewUrl"))))
    , extendedPreviewUrl(text(member(json, QStringLiteral("extendedPreviewUrl"))))
    , audioThumbnailPreviewUrl(text(member(json, QStringLiteral("audioThumbnailPreviewUrl"))))
    , url(text(path(json, QStringLiteral("video"), QStringLiteral("ts"))))
    , webVideoUrl(text(path(json, QStringLiteral("video"), QStringLiteral("mp4"))))
    , info(member(json, QStringLiteral("info")))
{ }

QString Archive::fileSize() const
{
    static const char *const units[] = {" B", " KB", " MB", " GB", " TB"};
    double size = static_cast<double>(info.fileSize);
    int unit = 0;
    while (size > 1024) {
        size /= 1024;
        ++unit;
    }
    const QString unitText = unit < 5 ? QString::fromLatin1(units[unit]) : QString();
    return QString::number(size, 'f', 2) + unitText;
}

QDateTime Archive::formatDate(const QString &isoText)
{
    return dateTime(isoText);
}
