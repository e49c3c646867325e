// A second process for the settings suite: opens the viewer's store (in the
// XDG_CONFIG_HOME it inherits) and dumps it, or writes known maps into it.
#include "session/settings.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

namespace {

QJsonArray playerSettingsJson(const PlayerSettings &s)
{
    return {s.colorProfile, s.colorRange, s.autoDelay, s.delay, s.muted};
}

Archive archive(const QString &id, const QString &camera, qint64 size)
{
    Archive a;
    a.id = id;
    a.name = "Recording " + id;
    a.externalId = "ext-" + id;
    a.userEmail = "ann@orvane.test";
    a.status = "ready";
    a.createdAt = QDateTime(QDate(2026, 12, 1), QTime(10, 20, 30), Qt::UTC);
    a.type = "video";
    a.encoderSid = "enc-" + camera;
    a.encoderName = "Encoder " + camera;
    a.cameraId = "cam-" + camera;
    a.cameraName = "Camera " + camera;
    a.previewUrl = "https://m/" + id + "/p.jpg";
    a.extendedPreviewUrl = "https://m/" + id + "/e.jpg";
    a.audioThumbnailPreviewUrl = "https://m/" + id + "/a.png";
    a.url = "https://m/" + id + "/v.ts";
    a.webVideoUrl = "https://m/" + id + "/v.mp4";
    a.info.extendedPreviewHeight = 90;
    a.info.extendedPreviewWidth = 160;
    a.info.extendedPreviewFrameCount = 16;
    a.info.fileSize = size;
    a.info.fps = "25";
    a.info.resolution = "320x180";
    a.info.audioQuality = "64k";
    return a;
}

QJsonObject archiveJson(const Archive &a)
{
    return {{"id", a.id},
            {"name", a.name},
            {"externalId", a.externalId},
            {"userEmail", a.userEmail},
            {"status", a.status},
            {"createdAt", a.createdAt.toString(Qt::ISODate)},
            {"type", a.type},
            {"encoderSid", a.encoderSid},
            {"encoderName", a.encoderName},
            {"cameraId", a.cameraId},
            {"cameraName", a.cameraName},
            {"previewUrl", a.previewUrl},
            {"extendedPreviewUrl", a.extendedPreviewUrl},
            {"audioThumbnailPreviewUrl", a.audioThumbnailPreviewUrl},
            {"url", a.url},
            {"webVideoUrl", a.webVideoUrl},
            {"info",
             QJsonArray{a.info.extendedPreviewHeight, a.info.extendedPreviewWidth,
                        a.info.extendedPreviewFrameCount, QString::number(a.info.fileSize), a.info.fps,
                        a.info.resolution, a.info.audioQuality}}};
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString command = app.arguments().value(1);
    Settings *settings = Settings::sharedInstance();
    SharedWorkspace w1;
    w1.id = "w1";
    SharedWorkspace w2;
    w2.id = "w2";

    QJsonObject out;
    if (command == "dump") {
        out = {{"companySlug", settings->getCompanySlug()},
               {"currentCompanyID", settings->getCurrentCompanyID()},
               {"email", settings->getEmail()},
               {"authToken", settings->getAuthToken()},
               {"sharedWorkspaceID", settings->getSharedWorkspaceID()},
               {"device", settings->getDevice()},
               {"selectedStreamUrl", settings->getSelectedStreamUrl()},
               {"selectedStream", settings->getSelectedStream()},
               {"sharedStreamID", settings->getSharedStreamID()},
               {"chatFilePath", settings->getChatFilePath()},
               {"streamDelay", settings->getStreamDelay()},
               {"streamDelayAuto", settings->getStreamDelayAuto()},
               {"volume", settings->getVolume()},
               {"audioMuted", settings->getAudioMuted()},
               {"playingArchive", settings->getPlayingArchive()},
               {"showCamera", settings->getShowCamera()},
               {"showSound", settings->getShowSound()},
               {"layoutPref", int(settings->getLayoutPreference())},
               {"playerSettings w1/r1", playerSettingsJson(settings->getPlayerSettings(w1, "r1"))},
               {"marked", settings->loadArchivesMarkedInWorkspaces().size()},
               {"viewed", settings->loadArchiveInWorkspaceViewDate().size()}};
        QSettings raw(QSettings::NativeFormat, QSettings::UserScope, "orvane", "Orvane TV");
        out.insert("keys", QJsonArray::fromStringList(raw.allKeys()));
    } else if (command == "write-maps") {
        settings->setPlayerSettings(w1, "r1", PlayerSettings(nullptr, 5, 2, true, 800, false));
        settings->setPlayerSettings(w1, "r2", PlayerSettings(nullptr, 1, 1, false, 300, true));
        settings->setPlayerSettings(w2, "r1", PlayerSettings(nullptr, 2, 0, true, 0, false));
        settings->saveMarkedRecordings({{"w1", {"rec-1", "rec-2"}}, {"w2", {}}});
        settings->saveRecentlyViewed(
            {{"w1",
              {archive("rec-3", "2", 3221225472LL), archive("rec-1", "1", 1000), archive("rec-2", "1", 0)}},
             {"w2", {archive("rec-9", "5", 42)}}});
    } else if (command == "read-maps") {
        QJsonObject player;
        for (const QString &workspace : {QString("w1"), QString("w2")}) {
            SharedWorkspace w;
            w.id = workspace;
            for (const QString &resource : {QString("r1"), QString("r2")})
                player.insert(workspace + "/" + resource,
                              playerSettingsJson(settings->getPlayerSettings(w, resource)));
        }
        QJsonObject marked;
        const MarkedArchives markedMap = settings->loadArchivesMarkedInWorkspaces();
        for (auto it = markedMap.begin(); it != markedMap.end(); ++it) {
            QStringList ids = it.value().values();
            ids.sort();
            marked.insert(it.key(), QJsonArray::fromStringList(ids));
        }
        QJsonObject viewed;
        const ViewedArchives viewedMap = settings->loadArchiveInWorkspaceViewDate();
        for (auto it = viewedMap.begin(); it != viewedMap.end(); ++it) {
            QJsonArray list;
            for (const Archive &a : it.value())
                list.append(archiveJson(a));
            viewed.insert(it.key(), list);
        }
        out = {{"player", player}, {"marked", marked}, {"viewed", viewed}};
    } else if (command == "expected-viewed") {
        // What the recently-viewed map must look like after the round trip.
        QJsonObject viewed;
        QJsonArray w1List;
        for (Archive a :
             {archive("rec-3", "2", 3221225472LL), archive("rec-1", "1", 1000), archive("rec-2", "1", 0)}) {
            a.cameraId.clear();
            a.cameraName.clear();
            w1List.append(archiveJson(a));
        }
        Archive nine = archive("rec-9", "5", 42);
        nine.cameraId.clear();
        nine.cameraName.clear();
        viewed.insert("w1", w1List);
        viewed.insert("w2", QJsonArray{archiveJson(nine)});
        out = {{"viewed", viewed}};
    } else {
        return 2;
    }
    QTextStream(stdout) << QJsonDocument(out).toJson(QJsonDocument::Compact);
    return 0;
}
