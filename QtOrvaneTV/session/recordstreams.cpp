#include "session/recordstreams.h"

QDataStream &operator<<(QDataStream &stream, const User &user)
{
    return stream << user.email << user.firstName << user.lastName;
}

QDataStream &operator>>(QDataStream &stream, User &user)
{
    user = User();
    return stream >> user.email >> user.firstName >> user.lastName;
}

QDataStream &operator<<(QDataStream &stream, const Company &company)
{
    return stream << company.id << company.name << company.slug << company.imageId;
}

QDataStream &operator>>(QDataStream &stream, Company &company)
{
    return stream >> company.id >> company.name >> company.slug >> company.imageId;
}

// The file size is stored with 64 bits, so recordings of 2 GiB and more keep
// their size across a restart.
QDataStream &operator<<(QDataStream &stream, const ArchiveInfo &info)
{
    return stream << qint32(info.extendedPreviewHeight) << qint32(info.extendedPreviewWidth)
                  << qint32(info.extendedPreviewFrameCount) << qint64(info.fileSize) << info.fps
                  << info.resolution << info.audioQuality;
}

QDataStream &operator>>(QDataStream &stream, ArchiveInfo &info)
{
    qint32 height = 0;
    qint32 width = 0;
    qint32 frames = 0;
    qint64 size = 0;
    stream >> height >> width >> frames >> size >> info.fps >> info.resolution >> info.audioQuality;
    info.extendedPreviewHeight = height;
    info.extendedPreviewWidth = width;
    info.extendedPreviewFrameCount = frames;
    info.fileSize = size;
    return stream;
}

QDataStream &operator<<(QDataStream &stream, const Archive &archive)
{
    return stream << archive.id << archive.name << archive.externalId << archive.userEmail << archive.status
                  << archive.createdAt << archive.type << archive.encoderSid << archive.encoderName
                  << archive.previewUrl << archive.extendedPreviewUrl << archive.audioThumbnailPreviewUrl
                  << archive.url << archive.webVideoUrl << archive.info;
}

QDataStream &operator>>(QDataStream &stream, Archive &archive)
{
    archive = Archive();
    return stream >> archive.id >> archive.name >> archive.externalId >> archive.userEmail >> archive.status
        >> archive.createdAt >> archive.type >> archive.encoderSid >> archive.encoderName
        >> archive.previewUrl >> archive.extendedPreviewUrl >> archive.audioThumbnailPreviewUrl >> archive.url
        >> archive.webVideoUrl >> archive.info;
}
