// The service's JSON forms turned into records: every conversion rule, its edge
// cases, and the record methods.
#include "archive.h"
#include "camera.h"
#include "company.h"
#include "companyshare.h"
#include "sharedstream.h"
#include "sharedworkspace.h"
#include "user.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <time.h>

namespace {

// Builds {"<key>": <valueJson>} or {} when valueJson is empty (absent key).
QJsonObject objectWith(const QString &key, const QByteArray &valueJson)
{
    if (valueJson.isEmpty())
        return QJsonObject();
    const QByteArray document = "{\"" + key.toUtf8() + "\":" + valueJson + "}";
    QJsonParseError error;
    const QJsonObject object = QJsonDocument::fromJson(document, &error).object();
    if (error.error != QJsonParseError::NoError)
        qFatal("bad fixture %s", document.constData());
    return object;
}

QJsonObject parse(const QByteArray &json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        qFatal("bad fixture %s", json.constData());
    return document.object();
}

} // namespace

class TestRecords : public QObject
{
    Q_OBJECT

private slots:
    void textRule_data();
    void textRule();
    void flagRule_data();
    void flagRule();
    void integerRule_data();
    void integerRule();
    void portRule_data();
    void portRule();
    void dateTimeRule_data();
    void dateTimeRule();
    void clockTimeInADaylightSavingGap();
    void companyShareFields();
    void companyShareWithoutCompany_data();
    void companyShareWithoutCompany();
    void arrayOfRecords_data();
    void arrayOfRecords();
    void workspaceSettingsPresence_data();
    void workspaceSettingsPresence();
    void streamIdFallback_data();
    void streamIdFallback();
    void cameraStream_data();
    void cameraStream();
    void operatorFromJson();
    void archiveFields();
    void archiveInfo_data();
    void archiveInfo();
    void archiveFileSize_data();
    void archiveFileSize();
    void fullName_data();
    void fullName();
    void nonObjectJsonGivesEmptyRecords();
    void metaTypesDeclared();
};

void TestRecords::textRule_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("expected");
    QTest::newRow("string") << QByteArray("\"ann@example.com\"") << "ann@example.com";
    QTest::newRow("empty string") << QByteArray("\"\"") << "";
    QTest::newRow("unicode") << QByteArray("\"Zo\\u00eb\"") << QString::fromUtf8("Zo\xc3\xab");
    QTest::newRow("number") << QByteArray("42") << "";
    QTest::newRow("boolean") << QByteArray("true") << "";
    QTest::newRow("null") << QByteArray("null") << "";
    QTest::newRow("object") << QByteArray("{\"a\":\"b\"}") << "";
    QTest::newRow("array") << QByteArray("[\"a\"]") << "";
    QTest::newRow("absent") << QByteArray() << "";
}

void TestRecords::textRule()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, expected);
    QCOMPARE(User(objectWith("email", json)).email, expected);
    QCOMPARE(Company(objectWith("image", json)).imageId, expected);
    QCOMPARE(Archive(objectWith("cameraName", json)).cameraName, expected);
}

void TestRecords::flagRule_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("expected");
    QTest::newRow("true") << QByteArray("true") << true;
    QTest::newRow("false") << QByteArray("false") << false;
    QTest::newRow("string true") << QByteArray("\"true\"") << false;
    QTest::newRow("number 1") << QByteArray("1") << false;
    QTest::newRow("null") << QByteArray("null") << false;
    QTest::newRow("absent") << QByteArray() << false;
}

void TestRecords::flagRule()
{
    QFETCH(QByteArray, json);
    QFETCH(bool, expected);
    QCOMPARE(User(objectWith("isAdmin", json)).isAdmin, expected);
    QCOMPARE(SharedStream(objectWith("secured", json)).secured, expected);
    QCOMPARE(Camera(objectWith("muted", json)).muted, expected);
}

void TestRecords::integerRule_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<int>("expected");
    QTest::newRow("whole") << QByteArray("128") << 128;
    QTest::newRow("negative") << QByteArray("-7") << -7;
    QTest::newRow("zero") << QByteArray("0") << 0;
    QTest::newRow("int max") << QByteArray("2147483647") << 2147483647;
    QTest::newRow("int min") << QByteArray("-2147483648") << int(-2147483648LL);
    QTest::newRow("too large") << QByteArray("2147483648") << 0;
    QTest::newRow("huge") << QByteArray("1e300") << 0;
    QTest::newRow("fraction") << QByteArray("12.5") << 0;
    QTest::newRow("decimal string") << QByteArray("\"16\"") << 0;
    QTest::newRow("boolean") << QByteArray("true") << 0;
    QTest::newRow("absent") << QByteArray() << 0;
}

void TestRecords::integerRule()
{
    QFETCH(QByteArray, json);
    QFETCH(int, expected);
    QCOMPARE(SharedStreamSource(objectWith("keylen", json)).keyLen, expected);
    const QJsonObject info = objectWith(
        "extendedPreview", "{\"framesCount\":" + (json.isEmpty() ? QByteArray("null") : json) + "}");
    QCOMPARE(ArchiveInfo(info).extendedPreviewFrameCount, json.isEmpty() ? 0 : expected);
}

void TestRecords::portRule_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<int>("expected");
    QTest::newRow("number") << QByteArray("9000") << 9000;
    QTest::newRow("decimal string") << QByteArray("\"9000\"") << 9000;
    QTest::newRow("zero") << QByteArray("0") << 0;
    QTest::newRow("string zero") << QByteArray("\"0\"") << 0;
    QTest::newRow("word") << QByteArray("\"srt\"") << 0;
    QTest::newRow("fraction string") << QByteArray("\"90.5\"") << 0;
    QTest::newRow("fraction") << QByteArray("90.5") << 0;
    QTest::newRow("absent") << QByteArray() << 0;
}

void TestRecords::portRule()
{
    QFETCH(QByteArray, json);
    QFETCH(int, expected);
    QCOMPARE(SharedStreamSource(objectWith("port", json)).port, expected);
}

void TestRecords::dateTimeRule_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QDateTime>("expected");
    const QDateTime clock(QDate(2026, 3, 1), QTime(10, 20, 30), Qt::UTC);
    QTest::newRow("utc") << QByteArray("\"2026-03-01T10:20:30Z\"") << clock;
    QTest::newRow("milliseconds") << QByteArray("\"2026-03-01T10:20:30.250Z\"") << clock.addMSecs(250);
    // The written clock time is kept and labelled UTC, whatever the offset said.
    QTest::newRow("plus two hours") << QByteArray("\"2026-03-01T10:20:30+02:00\"") << clock;
    QTest::newRow("minus five hours") << QByteArray("\"2026-03-01T10:20:30-05:00\"") << clock;
    QTest::newRow("no offset") << QByteArray("\"2026-03-01T10:20:30\"") << clock;
    QTest::newRow("empty") << QByteArray("\"\"") << QDateTime();
    QTest::newRow("malformed") << QByteArray("\"yesterday\"") << QDateTime();
    QTest::newRow("number") << QByteArray("1700000000") << QDateTime();
    QTest::newRow("absent") << QByteArray() << QDateTime();
}

void TestRecords::clockTimeInADaylightSavingGap()
{
    // In Berlin, 02:30 on 29 March 2026 does not exist: the clocks jump from 2 to 3.
    const QByteArray previous = qgetenv("TZ");
    qputenv("TZ", "Europe/Berlin");
    tzset();
    const QDateTime read = Camera::formatDate("2026-03-29T02:30:00");
    const QDateTime beside = Camera::formatDate("2026-03-29T04:30:00");
    if (previous.isEmpty())
        qunsetenv("TZ");
    else
        qputenv("TZ", previous);
    tzset();
    QCOMPARE(read, QDateTime(QDate(2026, 3, 29), QTime(2, 30), Qt::UTC));
    QCOMPARE(beside, QDateTime(QDate(2026, 3, 29), QTime(4, 30), Qt::UTC));
}

void TestRecords::dateTimeRule()
{
    QFETCH(QByteArray, json);
    QFETCH(QDateTime, expected);

    const QList<QDateTime> parsed = {
        CompanyShare(objectWith("createdAt", json)).createdAt,
        CompanyShare(objectWith("expirationDate", json)).expiration,
        Camera(objectWith("createdAt", json)).createdAt,
        Archive(objectWith("createdAt", json)).createdAt,
    };
    for (const QDateTime &value : parsed) {
        QCOMPARE(value.isNull(), expected.isNull());
        if (!expected.isNull()) {
            QCOMPARE(value.timeSpec(), Qt::UTC);
            QCOMPARE(value, expected);
        }
    }
    if (json.startsWith('"')) {
        const QString text = QJsonDocument::fromJson("[" + json + "]").array().first().toString();
        QCOMPARE(Archive::formatDate(text), CompanyShare::formatDate(text));
        QCOMPARE(Camera::formatDate(text).isNull(), expected.isNull());
        if (!expected.isNull())
            QCOMPARE(Camera::formatDate(text), expected);
    }
}

void TestRecords::companyShareFields()
{
    const CompanyShare share(parse(R"({
        "id": "41", "shareId": "sh-41", "shareType": "company", "shareName": "Field crew",
        "shareDescription": "not read",
        "createdAt": "2026-01-02T03:04:05Z", "updatedAt": "2026-01-03T03:04:05Z",
        "expirationDate": "2027-01-01T00:00:00Z",
        "sharer": {"email": "boss@example.com", "firstName": "Bo", "lastName": "Ss"},
        "user": {"email": "me@example.com", "isAdmin": true},
        "company": {"id": "c1", "slug": "acme", "name": "Acme", "image": "img-1"},
        "options": {"userNameOverlay": true, "userPicOverlay": "pic.png",
                    "textChatEnabled": true, "voiceChatEnabled": false,
                    "onlyListenAllowed": true, "talkAndListenAllowed": false,
                    "onlyReadAllowed": false, "readAndWriteAllowed": true}
    })"));
    QCOMPARE(share.id, QString("41"));
    QCOMPARE(share.shareId, QString("sh-41"));
    QCOMPARE(share.shareType, QString("company"));
    QCOMPARE(share.shareName, QString("Field crew"));
    QVERIFY(share.shareDescription.isEmpty());
    QCOMPARE(share.createdAt, QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5), Qt::UTC));
    QCOMPARE(share.updatedAt, QDateTime(QDate(2026, 1, 3), QTime(3, 4, 5), Qt::UTC));
    QCOMPARE(share.expiration, QDateTime(QDate(2027, 1, 1), QTime(0, 0), Qt::UTC));
    QCOMPARE(share.sharer.email, QString("boss@example.com"));
    QCOMPARE(share.sharer.lastName, QString("Ss"));
    QCOMPARE(share.me.email, QString("me@example.com"));
    QVERIFY(share.me.isAdmin);
    QCOMPARE(share.companyId, QString("c1"));
    QCOMPARE(share.companySlug, QString("acme"));
    QCOMPARE(share.companyName, QString("Acme"));
    QCOMPARE(share.companyImage, QString("img-1"));
    QVERIFY(share.userNameOverlay);
    QCOMPARE(share.userPicOverlay, QString("pic.png"));
    QVERIFY(share.textChatEnabled);
    QVERIFY(!share.voiceChatEnabled);
    QVERIFY(share.onlyListenAllowed);
    QVERIFY(!share.talkAndListenAllowed);
    QVERIFY(!share.onlyReadAllowed);
    QVERIFY(share.readAndWriteAllowed);
}

void TestRecords::companyShareWithoutCompany_data()
{
    QTest::addColumn<QByteArray>("company");
    QTest::newRow("absent") << QByteArray();
    QTest::newRow("null") << QByteArray(",\"company\":null");
    QTest::newRow("string") << QByteArray(",\"company\":\"acme\"");
    QTest::newRow("array") << QByteArray(",\"company\":[{\"id\":\"c1\"}]");
}

void TestRecords::companyShareWithoutCompany()
{
    QFETCH(QByteArray, company);
    const CompanyShare share(
        parse("{\"id\":\"7\",\"shareName\":\"Crew\",\"options\":{\"textChatEnabled\":true}" + company + "}"));
    QCOMPARE(share.id, QString("7"));
    QCOMPARE(share.shareName, QString("Crew"));
    QVERIFY(share.textChatEnabled);
    QVERIFY(share.companyId.isEmpty());
    QVERIFY(share.companySlug.isEmpty());
    QVERIFY(share.companyName.isEmpty());
    QVERIFY(share.companyImage.isEmpty());
    QVERIFY(share.sharer.email.isEmpty());
}

void TestRecords::arrayOfRecords_data()
{
    QTest::addColumn<QByteArray>("cameras");
    QTest::addColumn<QStringList>("expectedIds");
    QTest::newRow("array keeps order")
        << QByteArray(R"([{"id":"b"},{"id":"a"},{"id":"c"}])") << QStringList{"b", "a", "c"};
    QTest::newRow("empty array") << QByteArray("[]") << QStringList();
    QTest::newRow("non-object element") << QByteArray(R"([3,{"id":"x"}])") << QStringList{"", "x"};
    QTest::newRow("object") << QByteArray(R"({"id":"a"})") << QStringList();
    QTest::newRow("null") << QByteArray("null") << QStringList();
    QTest::newRow("absent") << QByteArray() << QStringList();
}

void TestRecords::arrayOfRecords()
{
    QFETCH(QByteArray, cameras);
    QFETCH(QStringList, expectedIds);
    const SharedWorkspace workspace(objectWith("cameras", cameras));
    QStringList ids;
    for (const Camera &camera : workspace.sharedCameras)
        ids << camera.id;
    QCOMPARE(ids, expectedIds);

    // The same rule fills the workspace's streams and records, and a stream's sources.
    QCOMPARE(SharedWorkspace(objectWith("streams", cameras)).sharedStreams.size(), expectedIds.size());
    QCOMPARE(SharedWorkspace(objectWith("records", cameras)).sharedRecords.size(), expectedIds.size());
    QCOMPARE(SharedStream(objectWith("streamSources", cameras)).sharedStreamSources.size(),
             expectedIds.size());
}

void TestRecords::workspaceSettingsPresence_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<bool>("chatEnabled");
    QTest::addColumn<bool>("hideOverlays");
    QTest::newRow("flags") << QByteArray(R"({"chatEnabled":true,"hideOverlays":true})") << true << true;
    QTest::newRow("mistyped flags") << QByteArray(R"({"chatEnabled":"yes","hideOverlays":1})") << false
                                    << false;
    QTest::newRow("null") << QByteArray("null") << false << false;
    QTest::newRow("absent") << QByteArray() << false << false;
}

void TestRecords::workspaceSettingsPresence()
{
    QFETCH(QByteArray, settings);
    QFETCH(bool, chatEnabled);
    QFETCH(bool, hideOverlays);
    QJsonObject json = objectWith("settings", settings);
    json.insert("id", "w1");
    json.insert("name", "North site");
    json.insert("isDefault", true);
    json.insert("createdAt", "2026-01-01");
    const SharedWorkspace workspace(json);
    QCOMPARE(workspace.id, QString("w1"));
    QCOMPARE(workspace.name, QString("North site"));
    QVERIFY(workspace.isDefault);
    QVERIFY(workspace.createdAt.isNull());
    QCOMPARE(workspace.settings.chatEnabled, chatEnabled);
    QCOMPARE(workspace.settings.hideOverlays, hideOverlays);
    QVERIFY(!workspace.settings.voiceChatEnabled);
}

void TestRecords::streamIdFallback_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("expectedId");
    QTest::newRow("id") << QByteArray(R"({"id":"s1","sid":"x"})") << "s1";
    QTest::newRow("empty id takes sid") << QByteArray(R"({"id":"","sid":"enc-9"})") << "enc-9";
    QTest::newRow("no id takes sid") << QByteArray(R"({"sid":"enc-9"})") << "enc-9";
    QTest::newRow("numeric id, no sid") << QByteArray(R"({"id":17})") << "";
    QTest::newRow("numeric sid") << QByteArray(R"({"sid":17})") << "";
}

void TestRecords::streamIdFallback()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, expectedId);
    QCOMPARE(SharedStream(parse(json)).id, expectedId);
}

void TestRecords::cameraStream_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<bool>("hasStream");
    QTest::addColumn<QString>("name");
    QTest::newRow("stream with id") << QByteArray(R"({"id":"s1","name":"Live 1"})") << true << "Live 1";
    QTest::newRow("stream with sid") << QByteArray(R"({"sid":"e1"})") << true << "";
    QTest::newRow("stream without id") << QByteArray(R"({"name":"Idle"})") << false << "Idle";
    QTest::newRow("null") << QByteArray("null") << false << "";
    QTest::newRow("absent") << QByteArray() << false << "";
}

void TestRecords::cameraStream()
{
    QFETCH(QByteArray, stream);
    QFETCH(bool, hasStream);
    QFETCH(QString, name);
    const Camera camera(objectWith("stream", stream));
    QCOMPARE(camera.hasStream(), hasStream);
    QCOMPARE(camera.sharedStream.name, name);
    QVERIFY(camera.cameraOperator.name.isEmpty());
}

void TestRecords::operatorFromJson()
{
    // Made from JSON like every record; the service's members are not read yet,
    // not even from a camera's "operator".
    const Operator fromObject(parse(R"({"name":"Olle","email":"olle@example.com"})"));
    QVERIFY(fromObject.name.isEmpty() && fromObject.email.isEmpty());
    const Camera camera(parse(R"({"id":"c","operator":{"name":"Olle","email":"olle@example.com"}})"));
    QVERIFY(camera.cameraOperator.name.isEmpty() && camera.cameraOperator.email.isEmpty());
}

void TestRecords::archiveFields()
{
    const Archive archive(parse(R"({
        "id": "r1", "name": "Morning", "externalId": "ext-1", "userEmail": "u@example.com",
        "status": "ready", "createdAt": "2026-02-03T04:05:06Z", "type": "video",
        "encoderSid": "enc-1", "encoderName": "Encoder 1", "cameraId": "cam-1",
        "cameraName": "Gate", "previewUrl": "https://x/p.jpg",
        "extendedPreviewUrl": "https://x/e.jpg", "audioThumbnailPreviewUrl": "https://x/a.png",
        "video": {"ts": "https://x/r1.ts", "mp4": 5},
        "info": {"filesize": 3221225472, "video": {"fps": "25", "resolution": "1280x720"},
                 "audio": {"quality": 128}, "extendedPreview": {"resolution": "160:90", "framesCount": 12}}
    })"));
    QCOMPARE(archive.id, QString("r1"));
    QCOMPARE(archive.name, QString("Morning"));
    QCOMPARE(archive.externalId, QString("ext-1"));
    QCOMPARE(archive.userEmail, QString("u@example.com"));
    QVERIFY(archive.status.isEmpty());
    QCOMPARE(archive.createdAt, QDateTime(QDate(2026, 2, 3), QTime(4, 5, 6), Qt::UTC));
    QCOMPARE(archive.type, QString("video"));
    QCOMPARE(archive.encoderSid, QString("enc-1"));
    QCOMPARE(archive.encoderName, QString("Encoder 1"));
    QCOMPARE(archive.cameraId, QString("cam-1"));
    QCOMPARE(archive.cameraName, QString("Gate"));
    QCOMPARE(archive.previewUrl, QString("https://x/p.jpg"));
    QCOMPARE(archive.extendedPreviewUrl, QString("https://x/e.jpg"));
    QCOMPARE(archive.audioThumbnailPreviewUrl, QString("https://x/a.png"));
    QVERIFY(archive.previewImage.isNull());
    QCOMPARE(archive.url, QString("https://x/r1.ts"));
    QVERIFY(archive.webVideoUrl.isEmpty());
    QCOMPARE(archive.info.fileSize, Q_INT64_C(3221225472));
    QCOMPARE(archive.fileSize(), QString("3.00 GB"));
    QCOMPARE(archive.info.fps, QString("25"));
    QCOMPARE(archive.info.resolution, QString("1280x720"));
    QVERIFY(archive.info.audioQuality.isEmpty());
    QCOMPARE(archive.info.extendedPreviewWidth, 160);
    QCOMPARE(archive.info.extendedPreviewHeight, 90);
    QCOMPARE(archive.info.extendedPreviewFrameCount, 12);
}

void TestRecords::archiveInfo_data()
{
    QTest::addColumn<QByteArray>("info");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<qint64>("fileSize");
    QTest::addColumn<QString>("fps");
    QTest::newRow("width:height") << QByteArray(R"({"extendedPreview":{"resolution":"320:180"}})") << 320
                                  << 180 << qint64(0) << "";
    QTest::newRow("single number") << QByteArray(R"({"extendedPreview":{"resolution":"240"}})") << 240 << 240
                                   << qint64(0) << "";
    QTest::newRow("empty") << QByteArray(R"({"extendedPreview":{"resolution":""}})") << 0 << 0 << qint64(0)
                           << "";
    QTest::newRow("height only") << QByteArray(R"({"extendedPreview":{"resolution":":180"}})") << 0 << 180
                                 << qint64(0) << "";
    QTest::newRow("width only") << QByteArray(R"({"extendedPreview":{"resolution":"320:"}})") << 320 << 0
                                << qint64(0) << "";
    QTest::newRow("words") << QByteArray(R"({"extendedPreview":{"resolution":"wide:tall"}})") << 0 << 0
                           << qint64(0) << "";
    QTest::newRow("three parts") << QByteArray(R"({"extendedPreview":{"resolution":"1:2:3"}})") << 1 << 3
                                 << qint64(0) << "";
    QTest::newRow("numeric resolution")
        << QByteArray(R"({"extendedPreview":{"resolution":320}})") << 0 << 0 << qint64(0) << "";
    QTest::newRow("fps as text") << QByteArray(R"({"video":{"fps":"29.97"}})") << 0 << 0 << qint64(0)
                                 << "29.97";
    QTest::newRow("fps as number") << QByteArray(R"({"video":{"fps":25}})") << 0 << 0 << qint64(0) << "";
    QTest::newRow("small file") << QByteArray(R"({"filesize":1048576})") << 0 << 0 << qint64(1048576) << "";
    QTest::newRow("2 GiB file") << QByteArray(R"({"filesize":2147483648})") << 0 << 0 << qint64(2147483648LL)
                                << "";
    QTest::newRow("fractional size") << QByteArray(R"({"filesize":10.5})") << 0 << 0 << qint64(0) << "";
    QTest::newRow("size as text") << QByteArray(R"({"filesize":"2048"})") << 0 << 0 << qint64(0) << "";
    QTest::newRow("null info") << QByteArray("null") << 0 << 0 << qint64(0) << "";
}

void TestRecords::archiveInfo()
{
    QFETCH(QByteArray, info);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(qint64, fileSize);
    QFETCH(QString, fps);
    const Archive archive(objectWith("info", info));
    QCOMPARE(archive.info.extendedPreviewWidth, width);
    QCOMPARE(archive.info.extendedPreviewHeight, height);
    QCOMPARE(archive.info.fileSize, fileSize);
    QCOMPARE(archive.info.fps, fps);
}

void TestRecords::archiveFileSize_data()
{
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<QString>("expected");
    QTest::newRow("zero") << qint64(0) << "0.00 B";
    QTest::newRow("one byte") << qint64(1) << "1.00 B";
    QTest::newRow("exactly 1024 stays in bytes") << qint64(1024) << "1024.00 B";
    QTest::newRow("1025") << qint64(1025) << "1.00 KB";
    QTest::newRow("1.5 KB") << qint64(1536) << "1.50 KB";
    QTest::newRow("1.46 MB") << qint64(1536000) << "1.46 MB";
    QTest::newRow("just under 2 GiB") << qint64(2147483647) << "2.00 GB";
    QTest::newRow("2 GiB") << qint64(2147483648LL) << "2.00 GB";
    QTest::newRow("5 GiB") << qint64(5368709120LL) << "5.00 GB";
    QTest::newRow("1.5 TiB") << qint64(1649267441664LL) << "1.50 TB";
    QTest::newRow("1024 TiB stays in TB") << qint64(1125899906842624LL) << "1024.00 TB";
    QTest::newRow("beyond TB has no unit") << qint64(2251799813685248LL) << "2.00";
}

void TestRecords::archiveFileSize()
{
    QFETCH(qint64, bytes);
    QFETCH(QString, expected);
    Archive archive;
    archive.info.fileSize = bytes;
    QCOMPARE(archive.fileSize(), expected);

    // The same size read from the service's JSON.
    QJsonObject json;
    json.insert("info", QJsonObject{{"filesize", double(bytes)}});
    QCOMPARE(Archive(json).fileSize(), expected);
}

void TestRecords::fullName_data()
{
    QTest::addColumn<QString>("firstName");
    QTest::addColumn<QString>("lastName");
    QTest::addColumn<QString>("email");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("firstNameAfter");
    QTest::newRow("both names") << "Ann"
                                << "Lee"
                                << "a@example.com"
                                << "Ann Lee"
                                << "Ann";
    QTest::newRow("both names keep spaces") << " Ann "
                                            << "Lee"
                                            << "a@example.com"
                                            << " Ann  Lee"
                                            << " Ann ";
    QTest::newRow("first name only") << "Ann"
                                     << ""
                                     << "a@example.com"
                                     << "Ann"
                                     << "Ann";
    QTest::newRow("first name loses white space") << "Mary Ann\n"
                                                  << ""
                                                  << "m@example.com"
                                                  << "MaryAnn"
                                                  << "MaryAnn";
    QTest::newRow("padded placeholder") << "  user "
                                        << ""
                                        << "u@example.com"
                                        << "u@example.com"
                                        << "user";
    QTest::newRow("placeholder in capitals is a name") << "User"
                                                       << ""
                                                       << "u@example.com"
                                                       << "User"
                                                       << "User";
    QTest::newRow("white space only") << " \t "
                                      << ""
                                      << "w@example.com"
                                      << "w@example.com"
                                      << "";
    QTest::newRow("last name only") << ""
                                    << "Lee"
                                    << "l@example.com"
                                    << "l@example.com"
                                    << "";
    QTest::newRow("nothing") << ""
                             << ""
                             << ""
                             << ""
                             << "";
}

void TestRecords::fullName()
{
    QFETCH(QString, firstName);
    QFETCH(QString, lastName);
    QFETCH(QString, email);
    QFETCH(QString, expected);
    QFETCH(QString, firstNameAfter);
    User user;
    user.firstName = firstName;
    user.lastName = lastName;
    user.email = email;
    QCOMPARE(user.getFullName(), expected);
    QCOMPARE(user.firstName, firstNameAfter);
}

void TestRecords::nonObjectJsonGivesEmptyRecords()
{
    const QList<QJsonValue> values
        = {QJsonValue(), QJsonValue(3), QJsonValue("text"), QJsonValue(QJsonArray{1, 2})};
    for (const QJsonValue &value : values) {
        QVERIFY(User(value).email.isEmpty());
        QVERIFY(Company(value).id.isEmpty());
        QVERIFY(CompanyShare(value).companySlug.isEmpty());
        QVERIFY(SharedWorkspace(value).sharedCameras.isEmpty());
        QCOMPARE(SharedStreamSource(value).port, 0);
        QVERIFY(!Camera(value).hasStream());
        QCOMPARE(Archive(value).fileSize(), QString("0.00 B"));
    }
}

void TestRecords::metaTypesDeclared()
{
    QVERIFY(QMetaTypeId2<User>::Defined);
    QVERIFY(QMetaTypeId2<Company>::Defined);
    QVERIFY(QMetaTypeId2<CompanyShare>::Defined);
    QVERIFY(QMetaTypeId2<Archive>::Defined);
    QVERIFY(QMetaTypeId2<ArchiveInfo>::Defined);

    // Records travel inside QVariant by value.
    User user;
    user.email = "v@example.com";
    const QVariant variant = QVariant::fromValue(user);
    QCOMPARE(variant.value<User>().email, QString("v@example.com"));
}

QTEST_GUILESS_MAIN(TestRecords)
#include "tst_records.moc"
