// The viewer's session model against the local deployment: shares, workspaces,
// catalogue views, pages of recordings, marked and viewed recordings, images and
// their cache, share permissions and live snapshots.
#include "session/globalmanager.h"
#include "qtovcoreapiframework.h"
#include "loopbackhttpserver.h"
#include "sandboxinspector.h"
#include "viewertestsupport.h"
#include "session/settings.h"
#include "session/tokenstore.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using Api = QtOVCoreAPIFramework;

namespace {

SharedWorkspace workspaceNamed(const QString &id)
{
    for (const SharedWorkspace &workspace : GlobalManager::sharedInstance()->getSharedWorkspaces())
        if (workspace.id == id)
            return workspace;
    return SharedWorkspace();
}

Archive archiveWithId(const QString &id)
{
    Archive archive;
    archive.id = id;
    archive.name = "Recording " + id;
    return archive;
}

QStringList ids(const QVector<Archive> &archives)
{
    QStringList list;
    for (const Archive &archive : archives)
        list << archive.id;
    return list;
}

} // namespace

class TestGlobalManager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void noCompanySelected();
    void sharesAndWorkspaces();
    void catalogueViews();
    void pageOfRecordings();
    void markedRecordings();
    void recentlyViewedRecordings();
    void imageCache();
    void oversizedPicturesAreCutOff();
    void companyImage();
    void sharePermissions_data();
    void sharePermissions();
    void socketIoUrl_data();
    void socketIoUrl();
    void colourTables();
    void liveSnapshots();
    void clearAllKeepsWhatItMust();

private:
    QJsonObject storedMaps();

    QTemporaryDir m_config;
    OVTVProduction m_environment;
    std::unique_ptr<Api> m_client;
    std::unique_ptr<SandboxInspector> m_inspector;
    GlobalManager *m_manager = nullptr;
};

void TestGlobalManager::initTestCase()
{
    QVERIFY(m_config.isValid());
    qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
    m_inspector = std::make_unique<SandboxInspector>();
    QVERIFY2(m_inspector->isValid(), qPrintable(m_inspector->errorText()));
    m_client = std::make_unique<Api>([](QString text) { return text; }, &m_environment);
    QVERIFY(!ViewerTestSupport::signIn(m_client.get(), "ann@orvane.test", "orvane-demo-1").isEmpty());
    m_manager = GlobalManager::sharedInstance();
    m_manager->setFramework(m_client.get());
}

QJsonObject TestGlobalManager::storedMaps()
{
    // A second process reads the store as the next start of the viewer would.
    QProcess probe;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", m_config.path());
    probe.setProcessEnvironment(environment);
    probe.start(QCoreApplication::applicationDirPath() + "/settings_probe", {"read-maps"});
    probe.waitForFinished(30000);
    return QJsonDocument::fromJson(probe.readAllStandardOutput()).object();
}

void TestGlobalManager::noCompanySelected()
{
    m_manager->setCompanySlug(QString());
    m_inspector->clearRequests();
    QSignalSpy loaded(m_manager, &GlobalManager::sharedSourcesLoadedWithError);
    m_manager->loadAllSharedSources();
    QCOMPARE(loaded.count(), 1);
    QCOMPARE(loaded.first().first().toString(), QString("No company selected"));
    QTest::qWait(200);
    QVERIFY(m_inspector->requests("/api/v1.0/").isEmpty());
}

void TestGlobalManager::sharesAndWorkspaces()
{
    QSignalSpy shares(m_manager, &GlobalManager::companySharesLoadedWithError);
    m_manager->loadCompanyShares();
    QVERIFY(shares.wait(15000));
    QCOMPARE(shares.first().first().toString(), QString());
    QCOMPARE(m_manager->getCompanyShares().keys(), (QStringList{"acme", "beacon", "edition-nord", "zephyr"}));

    m_manager->setCompanySlug("acme");
    QCOMPARE(Settings::sharedInstance()->getCompanySlug(), QString("acme"));
    QCOMPARE(m_manager->currentCompanyName(), QString("acme Field Ops"));

    QSignalSpy previews(m_manager, &GlobalManager::archivePreviewLoadedForId);
    QSignalSpy sources(m_manager, &GlobalManager::sharedSourcesLoadedWithError);
    m_manager->loadAllSharedSources();
    QVERIFY(sources.wait(15000));
    QCOMPARE(sources.first().first().toString(), QString());
    QCOMPARE(m_manager->getSharedWorkspaces().size(), 2);
    // The previews of the workspaces' recordings are fetched as they load.
    QTRY_VERIFY_WITH_TIMEOUT(previews.count() >= 6, 15000);
    QVERIFY(!previews.first().at(1).value<QImage>().isNull());

    // A failed load still reports, and keeps the earlier shares.
    m_inspector->queueFault({{"path", "/api/v1.1/me/companyShares"}, {"kind", "html"}});
    shares.clear();
    m_manager->loadCompanyShares();
    QVERIFY(shares.wait(15000));
    QCOMPARE(shares.first().first().toString(), QString("Invalid status: "));
    QCOMPARE(m_manager->getCompanyShares().size(), 4);
}

void TestGlobalManager::catalogueViews()
{
    const SharedWorkspace north = workspaceNamed("41");
    QStringList all;
    for (const Camera &camera : m_manager->getAllSharedCameras())
        all << camera.id;
    // cam-1 is shared into both workspaces: listed once per workspace.
    QCOMPARE(all, (QStringList{"cam-1", "cam-2", "cam-3", "cam-4", "cam-1", "cam-5"}));
    QCOMPARE(m_manager->getSharedCamerasForSpace(north, false).size(), 4);
    QStringList withStreams;
    for (const Camera &camera : m_manager->getSharedCamerasForSpace(north, true))
        withStreams << camera.id;
    QCOMPARE(withStreams, (QStringList{"cam-1", "cam-2", "cam-3"}));

    QStringList streams;
    for (const SharedStream &stream : m_manager->getAllSharedSources())
        streams << stream.id;
    QCOMPARE(streams, (QStringList{"str-1", "str-2", "str-3", "str-5"}));
    const QStringList archives = ids(m_manager->getAllSharedArchives());
    QCOMPARE(QSet<QString>(archives.begin(), archives.end()).size(), archives.size());
}

void TestGlobalManager::pageOfRecordings()
{
    m_inspector->clearRequests();
    QSignalSpy page(m_manager, &GlobalManager::gotSharedArchives);
    m_manager->loadAllSharedArchives(workspaceNamed("41"), {"cam-2"}, 0, QDate(2026, 12, 1),
                                     QDate(2026, 12, 3));
    QVERIFY(page.wait(15000));
    const QVector<Archive> archives = page.first().at(0).value<QVector<Archive>>();
    QVERIFY(!archives.isEmpty() && archives.size() <= 10);
    for (const Archive &archive : archives) {
        QCOMPARE(archive.cameraId, QString("cam-2"));
        QVERIFY(archive.createdAt.date() >= QDate(2026, 12, 1)
                && archive.createdAt.date() <= QDate(2026, 12, 3));
    }
    QCOMPARE(page.first().at(2).toString(), QString());
    const auto request = m_inspector->requests("/api/v1.0/acme/shared/workspaces/41/records").first();
    QCOMPARE(request.query.mid(1),
             (QList<QPair<QString, QString>>{{"count", "10"},
                                             {"offset", "0"},
                                             {"cameraIds", "cam-2"},
                                             {"dateFrom", "2026-12-01"},
                                             {"dateTo", "2026-12-03"}}));

    // Only one date: no date filter at all. The page still arrives only once.
    page.clear();
    m_manager->loadAllSharedArchives(workspaceNamed("41"), {}, 10, QDate(2026, 12, 1), QDate());
    QVERIFY(page.wait(15000));
    QTest::qWait(200);
    QCOMPARE(page.count(), 1);
    QCOMPARE(page.first().at(1).toMap().value("offset").toInt(), 10);
    QCOMPARE(page.first().at(1).toMap().value("total").toInt(), 44);
}

void TestGlobalManager::markedRecordings()
{
    const SharedWorkspace north = workspaceNamed("41");
    QVERIFY(north.sharedRecords.size() >= 2);
    const Archive first = north.sharedRecords.at(0);
    const Archive second = north.sharedRecords.at(1);
    m_manager->markArchiveInWorkspace(first, north);
    m_manager->markArchiveInWorkspace(second, north);
    m_manager->markArchiveInWorkspace(archiveWithId("not-loaded"), north);
    QVERIFY(m_manager->isArchiveMarkedInWorkspace(first, north));
    // Ids not among the workspace's recordings are left out, order is the workspace's.
    QCOMPARE(ids(m_manager->getAllMarkedArchives(north)), (QStringList{first.id, second.id}));

    for (const Archive &archive : {first, second, archiveWithId("not-loaded")})
        m_manager->unmarkArchiveInWorkspace(archive, north);
    QVERIFY(!m_manager->isArchiveMarkedInWorkspace(first, north));
    QVERIFY(m_manager->getAllMarkedArchives(north).isEmpty());
    // The workspace keeps an empty set, also after a restart.
    QCOMPARE(storedMaps().value("marked").toObject(), (QJsonObject{{"41", QJsonArray()}}));
}

void TestGlobalManager::recentlyViewedRecordings()
{
    SharedWorkspace north;
    north.id = "41";
    for (int i = 1; i <= 11; ++i)
        m_manager->setArchiveViewedInWorkspace(archiveWithId(QStringLiteral("v%1").arg(i)), north);
    QStringList expected;
    for (int i = 11; i >= 2; --i)
        expected << QStringLiteral("v%1").arg(i);
    // The eleventh view drops the oldest.
    QCOMPARE(ids(m_manager->getAllRecentlyViewedArchives(north)), expected);

    // Viewing one again moves it to the front without a duplicate.
    m_manager->setArchiveViewedInWorkspace(archiveWithId("v5"), north);
    expected.removeAll("v5");
    expected.prepend("v5");
    QCOMPARE(ids(m_manager->getAllRecentlyViewedArchives(north)), expected);

    QStringList stored;
    for (const QJsonValue &value : storedMaps().value("viewed").toObject().value("41").toArray())
        stored << value.toObject().value("id").toString();
    QCOMPARE(stored, expected);
}

void TestGlobalManager::oversizedPicturesAreCutOff()
{
    // 40 MiB announced and sent: the download is cut off, nothing is cached or
    // shown, and the next picture still loads.
    LoopbackHttpServer server;
    QVERIFY(server.listen());
    LoopbackHttpServer::Reply huge;
    huge.contentType = "image/jpeg";
    huge.body = QByteArray(40 * 1024 * 1024, 'x');
    server.setReply("/huge.jpg", huge);
    QSignalSpy loaded(m_manager, &GlobalManager::loadedImageForUrl);
    const QUrl hugeUrl = server.baseUrl().resolved(QUrl("/huge.jpg"));
    m_manager->loadImage(hugeUrl);
    QTRY_COMPARE_WITH_TIMEOUT(server.requests().size(), 1, 10000);
    QTest::qWait(1000);
    QCOMPARE(loaded.count(), 0);

    const QUrl strip("https://media.orvane.tv:443/media/records/rec-012/extended.jpg");
    m_manager->loadImage(strip);
    QVERIFY(loaded.wait(15000));
    QCOMPARE(loaded.last().at(0).toUrl(), strip);
}

void TestGlobalManager::imageCache()
{
    const QUrl url("https://media.orvane.tv:443/media/records/rec-011/extended.jpg");
    QSignalSpy loaded(m_manager, &GlobalManager::loadedImageForUrl);

    // A failed download is not cached: the next request tries again.
    m_inspector->queueFault({{"path", url.path()}, {"kind", "status"}, {"status", 503}});
    m_inspector->clearRequests();
    m_manager->loadImage(url);
    QTRY_COMPARE_WITH_TIMEOUT(m_inspector->requests(url.path()).size(), 1, 15000);
    QTest::qWait(300);
    QCOMPARE(loaded.count(), 0);

    m_manager->loadImage(url);
    QVERIFY(loaded.wait(15000));
    QCOMPARE(m_inspector->requests(url.path()).size(), 2);
    const QImage strip = loaded.first().at(1).value<QImage>();
    QCOMPARE(strip.size(), QSize(2560, 90));

    // A cached address answers before loadImage returns, without a request.
    m_manager->loadImage(url);
    QCOMPARE(loaded.count(), 2);
    QCOMPARE(loaded.last().at(1).value<QImage>(), strip);
    QCOMPARE(m_inspector->requests(url.path()).size(), 2);
}

void TestGlobalManager::companyImage()
{
    QImage received;
    bool called = false;
    m_manager->loadCompanyImage("acme", 64, [&](QImage image) {
        received = image;
        called = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(called, 15000);
    QCOMPARE(received.size(), QSize(128, 128));
    QCOMPARE(qAlpha(received.pixel(0, 0)), 0); // outside the circle
    QCOMPARE(qAlpha(received.pixel(64, 64)), 255); // inside it
    QCOMPARE(m_inspector->requests("/api/v1.1/images/img-acme").last().host, QString("id.orvane.tv:443"));

    // No shares for the slug, or no image: a null image at once.
    called = false;
    m_manager->loadCompanyImage("nobody", 64, [&](QImage image) {
        received = image;
        called = true;
    });
    QVERIFY(called);
    QVERIFY(received.isNull());
    called = false;
    m_manager->loadCompanyImage("zephyr", 64, [&](QImage image) {
        received = image;
        called = true;
    });
    QVERIFY(called && received.isNull());
}

void TestGlobalManager::sharePermissions_data()
{
    QTest::addColumn<QString>("slug");
    QTest::addColumn<QString>("shareId");
    QTest::addColumn<QVector<bool>>("flags"); // overlay, text, voice, listen only, read only
    QTest::newRow("all options") << "acme"
                                 << "41" << QVector<bool>{true, true, true, false, false};
    QTest::newRow("read and listen only") << "acme"
                                          << "42" << QVector<bool>{false, true, false, true, true};
    QTest::newRow("share of another company") << "acme"
                                              << "43" << QVector<bool>{false, false, false, false, false};
    QTest::newRow("no share selected") << "acme"
                                       << "" << QVector<bool>{false, false, false, false, false};
    QTest::newRow("no company") << ""
                                << "41" << QVector<bool>{false, false, false, false, false};
    QTest::newRow("company without shares") << "unknown"
                                            << "41" << QVector<bool>{false, false, false, false, false};
}

void TestGlobalManager::sharePermissions()
{
    QFETCH(QString, slug);
    QFETCH(QString, shareId);
    QFETCH(QVector<bool>, flags);
    const QString previous = m_manager->getCompanySlug();
    m_manager->setCompanySlug(slug);
    Settings::sharedInstance()->setSharedWorkspaceID(shareId);
    const QVector<bool> actual{m_manager->shouldShowEmailOverlay(), m_manager->shouldShowTextChat(),
                               m_manager->shouldShowVoiceChat(), m_manager->voiceChatOnlyListenAllowed(),
                               m_manager->textChatOnlyReadAllowed()};
    m_manager->setCompanySlug(previous);
    QCOMPARE(actual, flags);
}

void TestGlobalManager::socketIoUrl_data()
{
    QTest::addColumn<QString>("environment");
    QTest::addColumn<QString>("url");
    QTest::newRow("CoreProduction") << "CoreProduction"
                                    << "https://realtime.orvane.tv:443/socket.io";
    QTest::newRow("OVTVProduction") << "OVTVProduction"
                                    << "https://realtime.orvane.tv:443/socket.io";
    QTest::newRow("CoreStaging") << "CoreStaging"
                                 << "https://core-staging.orvane.tv:443/socket.io";
    QTest::newRow("OVTVStaging") << "OVTVStaging"
                                 << "https://api-staging.orvane.tv:9443/socket.io";
    QTest::newRow("OVTVDev") << "OVTVDev"
                             << "https://core-dev.orvane.tv:9443/socket.io";
}

void TestGlobalManager::socketIoUrl()
{
    QFETCH(QString, environment);
    QFETCH(QString, url);
    CoreProduction coreProduction;
    CoreStaging coreStaging;
    OVTVStaging ovtvStaging;
    OVTVDev ovtvDev;
    ServerEnvironment *chosen = environment == "CoreProduction"
        ? static_cast<ServerEnvironment *>(&coreProduction)
        : environment == "CoreStaging" ? static_cast<ServerEnvironment *>(&coreStaging)
        : environment == "OVTVStaging" ? static_cast<ServerEnvironment *>(&ovtvStaging)
        : environment == "OVTVDev"     ? static_cast<ServerEnvironment *>(&ovtvDev)
                                       : static_cast<ServerEnvironment *>(&m_environment);
    m_client->setServerEnvironment(chosen);
    const QString actual = m_manager->getSocketIoBaseUrl().toString();
    m_client->setServerEnvironment(&m_environment);
    QCOMPARE(actual, url);
}

void TestGlobalManager::colourTables()
{
    QCOMPARE(GlobalManager::numColorSpaces(), 6);
    QCOMPARE(GlobalManager::numColorRanges(), 3);
    QCOMPARE(GlobalManager::colorSpaceText(3), QString("HDR P3-D65 PQ"));
    QCOMPARE(GlobalManager::colorSpaceText(-1), QString("Auto"));
    QCOMPARE(GlobalManager::colorSpaceText(6), QString("Auto"));
    QCOMPARE(GlobalManager::colorRangeText(-1), QString("Auto"));
    QCOMPARE(GlobalManager::colorRangeText(2), QString("Full"));
    QCOMPARE(GlobalManager::colorRangeText(3), QString("Auto"));
    QCOMPARE(GlobalManager::colorSpaceForProfile(5), 9);
    QCOMPARE(GlobalManager::colorSpaceForProfile(6), 0);
    QCOMPARE(GlobalManager::colorRangeForIndex(1), 1);
    QCOMPARE(GlobalManager::colorRangeForIndex(7), 2);

    SharedWorkspace north;
    north.id = "41";
    QSignalSpy changed(m_manager, &GlobalManager::playerSettingsChanged);
    m_manager->setPlayerSettings(north, "str-1", PlayerSettings(nullptr, 4, 1, true, 250, false));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.first().at(1).toString(), QString("str-1"));
    QCOMPARE(m_manager->getPlayerSettings(north, "str-1"), PlayerSettings(nullptr, 4, 1, true, 250, false));
}

void TestGlobalManager::liveSnapshots()
{
    QSignalSpy snapshots(m_manager, &GlobalManager::updatedSnapshot);
    // A receiver attached earlier is dropped when the snapshots start.
    int earlier = 0;
    connect(m_client.get(), &Api::encoderPreviewUpdated, this, [&earlier] { ++earlier; });
    m_manager->startUpdatingSnapshots();
    const auto pushedForCam1 = [&snapshots] {
        return std::count_if(snapshots.begin(), snapshots.end(), [](const QVariantList &arguments) {
            const Camera camera = arguments.first().value<Camera>();
            return camera.id == "cam-1" && !camera.sharedStream.previewImage.isEmpty();
        });
    };
    // cam-1 is in both workspaces: each copy is updated and signalled.
    QTRY_VERIFY_WITH_TIMEOUT(pushedForCam1() >= 2, 20000);
    // The first, empty picture of each subscription comes before the pushed ones.
    QVERIFY(snapshots.first().first().value<Camera>().sharedStream.previewImage.isEmpty());
    Camera camera;
    for (const QVariantList &arguments : snapshots)
        if (!arguments.first().value<Camera>().sharedStream.previewImage.isEmpty())
            camera = arguments.first().value<Camera>();
    QVERIFY(camera.sharedStream.previewImage.startsWith("\xff\xd8\xff"));
    QVERIFY(!QImage::fromData(camera.sharedStream.previewImage).isNull());
    QVERIFY(!workspaceNamed("41").sharedCameras.first().sharedStream.previewImage.isEmpty());
    QVERIFY(!workspaceNamed("42").sharedCameras.first().sharedStream.previewImage.isEmpty());
    QCOMPARE(earlier, 0);

    m_manager->stopUpdatingSnapshots();
    QTest::qWait(800);
    const int after = snapshots.count();
    QTest::qWait(1500);
    QCOMPARE(snapshots.count(), after);
}

void TestGlobalManager::clearAllKeepsWhatItMust()
{
    SharedWorkspace north;
    north.id = "41";
    Settings *settings = Settings::sharedInstance();
    TokenStore::sharedInstance()->save("token");
    settings->setEmail("ann@orvane.test");
    settings->setLayoutPref(TwoUp);
    settings->setSharedWorkspaceID("41");
    m_manager->setArchive(archiveWithId("rec-001"));
    QVERIFY(m_manager->isPlayingArchive());
    m_manager->markArchiveInWorkspace(archiveWithId("kept"), north);

    m_manager->clearAll();
    QCOMPARE(TokenStore::sharedInstance()->token(), QString());
    QCOMPARE(settings->getSharedWorkspaceID(), QString());
    QVERIFY(!m_manager->isPlayingArchive());
    QVERIFY(m_manager->getCompanyShares().isEmpty());
    QVERIFY(m_manager->getSharedWorkspaces().isEmpty());
    QCOMPARE(m_manager->getCompanySlug(), QString());
    QVERIFY(m_manager->getArchive().id.isEmpty());
    // What stays.
    QVERIFY(m_manager->isArchiveMarkedInWorkspace(archiveWithId("kept"), north));
    QCOMPARE(m_manager->getAllRecentlyViewedArchives(north).size(), 10);
    QCOMPARE(m_manager->getPlayerSettings(north, "str-1").colorProfile, 4);
    QCOMPARE(settings->getEmail(), QString("ann@orvane.test"));
    QCOMPARE(settings->getLayoutPreference(), TwoUp);
}

QTEST_MAIN(TestGlobalManager)
#include "tst_globalmanager.moc"
