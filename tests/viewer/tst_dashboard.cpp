// The live multiview under a virtual display against the local deployment's
// live encoders: stream addresses, the live feed list and its snapshots, the
// dashboard's layouts, strips, swaps and enlargement, its players, and the
// stream-view report walk.
#include "live/dashboardplayerwidget.h"
#include "live/dashboardsourcewidget.h"
#include "live/dashboardwidget.h"
#include "live/livefeedselectionwidget.h"
#include "openglwidgetrenderer.h"
#include "qtovcoreapiframework.h"
#include "sandboxinspector.h"
#include "viewertestsupport.h"
#include "serverenvironment.h"
#include "session/globalmanager.h"
#include "session/settings.h"

#include <QDir>
#include <QJsonArray>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>
#include <QUrlQuery>
#include <QtTest>

#include <memory>

using Api = QtOVCoreAPIFramework;

namespace {

SharedStreamSource source(const QString &protocol, const QString &host, int port,
                          const QString &passphrase = {})
{
    SharedStreamSource s;
    s.streamProtocol = protocol;
    s.host = host;
    s.port = port;
    s.passphrase = passphrase;
    return s;
}

} // namespace

Q_DECLARE_METATYPE(QVector<SharedStreamSource>)

class TestDashboard : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void streamAddress_data();
    void streamAddress();
    void streamStatus();
    void liveFeedListFollowsSnapshots();
    void fourUpShowsFourMovingPictures();
    void layoutsOffered_data();
    void layoutsOffered();
    void swapFromTheStrip();
    void doubleClickEnlargesAndReturns();
    void reportWalk();
    void lostStreamReturnsByItself();

private:
    Camera camera(const QString &id) const;
    SharedWorkspace spaceOf(const QStringList &cameraIds) const;
    std::unique_ptr<DashboardWidget> openDashboard(const SharedWorkspace &space, LayoutPreference layout);
    bool tilesPlay(DashboardWidget *dashboard, int count, int timeoutMs = 30000);

    QTemporaryDir m_config;
    OVTVProduction m_environment;
    std::unique_ptr<Api> m_client;
    std::unique_ptr<SandboxInspector> m_inspector;
    QVector<SharedWorkspace> m_workspaces;
};

void TestDashboard::initTestCase()
{
    QVERIFY(m_config.isValid());
    qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
    m_inspector = std::make_unique<SandboxInspector>();
    QVERIFY2(m_inspector->isValid(), qPrintable(m_inspector->errorText()));
    m_client = std::make_unique<Api>([](QString text) { return text; }, &m_environment);
    QVERIFY(!ViewerTestSupport::signIn(m_client.get(), "ann@orvane.test", "orvane-demo-1").isEmpty());

    GlobalManager *manager = GlobalManager::sharedInstance();
    manager->setFramework(m_client.get());
    QSignalSpy shares(manager, &GlobalManager::companySharesLoadedWithError);
    manager->loadCompanyShares();
    QVERIFY(shares.wait(15000));
    // Live sources of two companies: acme's (two secured over SRT, one over TCP)
    // and zephyr's roof camera (TCP).
    for (const QString slug : {"zephyr", "acme"}) {
        QSignalSpy loaded(manager, &GlobalManager::sharedSourcesLoadedWithError);
        manager->setCompanySlug(slug);
        manager->loadAllSharedSources();
        QVERIFY(loaded.wait(15000));
        QCOMPARE(loaded.first().first().toString(), QString());
        m_workspaces += manager->getSharedWorkspaces();
    }
    manager->setSharedWorkspaces(m_workspaces);
}

void TestDashboard::init()
{
    Settings::sharedInstance()->setLayoutPref(FourUp);
}

void TestDashboard::cleanup()
{
    GlobalManager::sharedInstance()->stopUpdatingSnapshots();
}

Camera TestDashboard::camera(const QString &id) const
{
    for (const SharedWorkspace &workspace : m_workspaces)
        for (const Camera &candidate : workspace.sharedCameras)
            if (candidate.id == id)
                return candidate;
    return Camera();
}

SharedWorkspace TestDashboard::spaceOf(const QStringList &cameraIds) const
{
    SharedWorkspace space;
    space.id = "41";
    space.name = "North Site";
    for (const QString &id : cameraIds)
        space.sharedCameras << camera(id);
    return space;
}

std::unique_ptr<DashboardWidget> TestDashboard::openDashboard(const SharedWorkspace &space,
                                                              LayoutPreference layout)
{
    Settings::sharedInstance()->setLayoutPref(layout);
    auto dashboard
        = std::make_unique<DashboardWidget>(nullptr, space, "ann@orvane.test", User(), m_client.get());
    dashboard->resize(1280, 760);
    dashboard->show();
    if (!QTest::qWaitForWindowExposed(dashboard.get()))
        return nullptr;
    dashboard->start();
    return dashboard;
}

bool TestDashboard::tilesPlay(DashboardWidget *dashboard, int count, int timeoutMs)
{
    return QTest::qWaitFor(
        [&] {
            int playing = 0;
            for (int slot = 0; slot < 4; ++slot) {
                DashboardPlayerWidget *tile = dashboard->slotTile(slot);
                if (tile && !tile->isHidden() && tile->videoRenderer()->shownFrames() > 5)
                    ++playing;
            }
            return playing >= count;
        },
        timeoutMs);
}

void TestDashboard::streamAddress_data()
{
    QTest::addColumn<bool>("secured");
    QTest::addColumn<QVector<SharedStreamSource>>("sources");
    QTest::addColumn<int>("delay");
    QTest::addColumn<QString>("address");
    const auto srt = source("srt", "10.0.0.5", 9000, "pass-42");
    const auto ts = source("mpeg-ts", "10.0.0.6", 8000);
    QTest::newRow("secured takes srt") << true << QVector<SharedStreamSource>{ts, srt} << 500
                                       << "srt://10.0.0.5:9000/?passphrase=pass-42&latency=500";
    QTest::newRow("unsecured takes mpeg-ts")
        << false << QVector<SharedStreamSource>{srt, ts} << 500 << "tcp://10.0.0.6:8000";
    QTest::newRow("port 0: host alone")
        << false << QVector<SharedStreamSource>{source("mpeg-ts", "cam.example", 0)} << 500
        << "tcp://cam.example";
    QTest::newRow("last match wins") << true
                                     << QVector<SharedStreamSource>{source("srt", "a", 1, "x"), ts,
                                                                    source("srt", "b", 2, "y")}
                                     << 500 << "srt://b:2/?passphrase=y&latency=500";
    QTest::newRow("no match: the first")
        << true << QVector<SharedStreamSource>{ts} << 500 << "srt://10.0.0.6:8000/?passphrase=&latency=500";
    QTest::newRow("latency is the stored delay") << true << QVector<SharedStreamSource>{srt} << 1200
                                                 << "srt://10.0.0.5:9000/?passphrase=pass-42&latency=1200";
    QTest::newRow("passphrase with blanks and &")
        << true << QVector<SharedStreamSource>{source("srt", "h", 5, "Secret Pass & 42%")} << 500
        << "srt://h:5/?passphrase=Secret%20Pass%20%26%2042%25&latency=500";
    QTest::newRow("no sources") << true << QVector<SharedStreamSource>{} << 500 << "";
}

void TestDashboard::streamAddress()
{
    QFETCH(bool, secured);
    QFETCH(QVector<SharedStreamSource>, sources);
    QFETCH(int, delay);
    QFETCH(QString, address);
    SharedStream stream;
    stream.secured = secured;
    stream.sharedStreamSources = sources;
    PlayerSettings settings;
    settings.delay = delay;
    QCOMPARE(DashboardPlayerWidget::streamAddress(stream, settings), address);
    if (address.startsWith("srt://")) {
        // Exactly one latency, and the player gets the passphrase back intact.
        QCOMPARE(address.count("latency="), 1);
        const QString passphrase = QUrlQuery(QUrl(address)).queryItemValue("passphrase", QUrl::FullyDecoded);
        QString chosen;
        for (const SharedStreamSource &candidate : sources)
            if (candidate.streamProtocol == "srt")
                chosen = candidate.passphrase;
        QCOMPARE(passphrase, chosen);
    }
}

void TestDashboard::streamStatus()
{
    // Without stored settings the delay is 500 ms.
    const Camera north = camera("cam-1");
    const QString address = DashboardPlayerWidget::streamAddress(
        north.sharedStream,
        GlobalManager::sharedInstance()->getPlayerSettings(spaceOf({"cam-1"}), north.sharedStream.id));
    QVERIFY2(address.startsWith("srt://") && address.endsWith("&latency=500"), qPrintable(address));

    SharedStream offline = camera("cam-3").sharedStream;
    offline.previewImage = "\xff\xd8\xff";
    QCOMPARE(DashboardPlayerWidget::statusForStream(offline), DashboardPlayerWidget::Offline);
    SharedStream waiting = camera("cam-2").sharedStream;
    waiting.previewImage.clear();
    QCOMPARE(DashboardPlayerWidget::statusForStream(waiting), DashboardPlayerWidget::Online);

    // An online stream without a picture shows the loading animation until it plays.
    DashboardPlayerWidget tile;
    tile.resize(640, 360);
    tile.show();
    QVERIFY(QTest::qWaitForWindowExposed(&tile));
    OrvaneAV::AVPlayer player;
    Camera crane = camera("cam-2");
    crane.sharedStream.previewImage.clear();
    tile.playSourceUsingPlayer(crane, &player, PlayerSettings());
    QVERIFY(tile.isShowingLoadingAnimation());
    QVERIFY(tile.stillImage().startsWith(":/LoadingAnimation"));
    QTRY_VERIFY_WITH_TIMEOUT(tile.isPlaying() && tile.stillImage().isEmpty(), 20000);
    QVERIFY(!tile.isShowingLoadingAnimation());
    // A player that already plays is shown at once by another tile.
    DashboardPlayerWidget second;
    second.playSourceUsingPlayer(crane, &player, PlayerSettings());
    QVERIFY(second.stillImage().isEmpty());
    tile.stop();
}

void TestDashboard::liveFeedListFollowsSnapshots()
{
    LiveFeedSelectionWidget list(nullptr, spaceOf({"cam-1", "cam-2", "cam-3", "cam-4"}));
    list.resize(1100, 600);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    QCOMPARE(list.sourceTiles().size(), 4);
    QVERIFY(list.findChild<QWidget *>("multiViewWidget")->isVisible());
    QVERIFY(list.findChild<QWidget *>("fourUpButton")->isVisible());
    DashboardSourceWidget *north = list.sourceTiles().first();
    QCOMPARE(north->cameraId(), QString("cam-1"));
    const QImage before = north->picture().toImage();

    QSignalSpy chosen(&list, &LiveFeedSelectionWidget::cameraSelected);
    QTest::mouseClick(north, Qt::LeftButton);
    QCOMPARE(chosen.count(), 1);
    QCOMPARE(chosen.first().first().value<Camera>().id, QString("cam-1"));

    // Snapshots pushed over Socket.IO change the tile's picture.
    GlobalManager::sharedInstance()->startUpdatingSnapshots();
    QTRY_VERIFY_WITH_TIMEOUT(!north->currentCamera().sharedStream.previewImage.isEmpty(), 20000);
    QTRY_VERIFY(north->picture().toImage() != before);
    QTest::qWait(300);
    ViewerTestSupport::saveScreenshot(&list, "live-feed-list");

    LiveFeedSelectionWidget single(nullptr, spaceOf({"cam-8"}));
    QVERIFY(single.findChild<QWidget *>("multiViewWidget")->isHidden());
}

void TestDashboard::fourUpShowsFourMovingPictures()
{
    auto dashboard = openDashboard(spaceOf({"cam-1", "cam-2", "cam-5", "cam-8"}), FourUp);
    QVERIFY(dashboard);
    QCOMPARE(dashboard->layout(), FourUp);
    QVERIFY(dashboard->toolbarShown());
    QVERIFY(tilesPlay(dashboard.get(), 4));
    QVector<QImage> first;
    for (int slot = 0; slot < 4; ++slot)
        first << dashboard->slotTile(slot)->videoRenderer()->grabFrame();
    QTest::qWait(1500);
    for (int slot = 0; slot < 4; ++slot) {
        const QImage later = dashboard->slotTile(slot)->videoRenderer()->grabFrame();
        QVERIFY(!later.isNull());
        QVERIFY2(later != first.at(slot), qPrintable(QString("slot %1 did not move").arg(slot)));
    }
    // One player per stream.
    QVERIFY(dashboard->playerForStream("str-1") != dashboard->playerForStream("str-2"));
    ViewerTestSupport::saveScreenshot(dashboard.get(), "dashboard-four-up");

    QSignalSpy rate(dashboard.get(), &DashboardWidget::playerFPSChanged);
    dashboard->stop();
    QCOMPARE(rate.count(), 1);
    QCOMPARE(rate.first(), (QVariantList{-1, -1}));
}

void TestDashboard::layoutsOffered_data()
{
    QTest::addColumn<QStringList>("cameras");
    QTest::addColumn<int>("opened");
    QTest::addColumn<QStringList>("offered");
    QTest::newRow("stored four-up, three sources") << QStringList{"cam-1", "cam-2", "cam-8"} << int(ThreeUp)
                                                   << QStringList{"LayoutOne", "LayoutTwo", "LayoutThree"};
    QTest::newRow("two sources") << QStringList{"cam-2", "cam-8"} << int(ThreeUp)
                                 << QStringList{"LayoutOne", "LayoutTwo"};
}

void TestDashboard::layoutsOffered()
{
    QFETCH(QStringList, cameras);
    QFETCH(int, opened);
    QFETCH(QStringList, offered);
    auto dashboard = openDashboard(spaceOf(cameras), FourUp);
    QVERIFY(dashboard);
    QCOMPARE(int(dashboard->layout()), opened);
    dashboard->layoutButtonClicked();
    QCOMPARE(dashboard->state(), DashboardWidget::showingLayouts);
    QCOMPARE(dashboard->stripLayouts(), offered);
    // Choosing a layout keeps the strip open and marks the new layout.
    QTest::mouseClick(dashboard->findChild<QToolButton *>("LayoutTwo"), Qt::LeftButton);
    QCOMPARE(dashboard->layout(), TwoUp);
    QCOMPARE(dashboard->state(), DashboardWidget::showingLayouts);
    QVERIFY(dashboard->preview(2)->isVisible());
    QVERIFY(!dashboard->preview(3)->isVisible());
    dashboard->stop();

    // One source: no toolbar.
    auto single = openDashboard(spaceOf({"cam-8"}), TwoUp);
    QVERIFY(!single->toolbarShown());
    single->stop();
}

void TestDashboard::swapFromTheStrip()
{
    auto dashboard = openDashboard(spaceOf({"cam-2", "cam-8"}), TwoUp);
    QVERIFY(dashboard);
    QVERIFY(tilesPlay(dashboard.get(), 2));
    QCOMPARE(dashboard->slotTile(0)->currentSource().id, QString("cam-2"));
    QCOMPARE(dashboard->slotTile(1)->currentSource().id, QString("cam-8"));
    dashboard->sourcesButtonClicked();
    QCOMPARE(dashboard->state(), DashboardWidget::showingSources);
    QVERIFY(dashboard->slotTile(0)->isHighlighted());
    QCOMPARE(dashboard->stripSources().size(), 2);
    QVERIFY(dashboard->stripSources().at(0)->isHighlighted());

    // The first tile takes the roof camera that the second showed: they swap.
    QTest::mouseClick(dashboard->stripSources().at(1), Qt::LeftButton);
    QCOMPARE(dashboard->slotTile(0)->currentSource().id, QString("cam-8"));
    QCOMPARE(dashboard->slotTile(1)->currentSource().id, QString("cam-2"));
    QVERIFY(dashboard->stripSources().at(1)->isHighlighted());
    QVERIFY(!dashboard->stripSources().at(0)->isHighlighted());
    // Both keep their players, so the pictures come at once.
    QCOMPARE(dashboard->slotTile(0)->currentPlayer(), dashboard->playerForStream("str-8"));
    QVERIFY(dashboard->slotTile(0)->isPlaying());
    QVERIFY(dashboard->slotTile(1)->isPlaying());
    dashboard->stop();
}

void TestDashboard::doubleClickEnlargesAndReturns()
{
    auto dashboard = openDashboard(spaceOf({"cam-1", "cam-2", "cam-5", "cam-8"}), FourUp);
    QVERIFY(dashboard);
    DashboardPlayerWidget *third = dashboard->slotTile(2);
    const QString shown = third->currentSource().id;
    QTest::mouseDClick(third, Qt::LeftButton, {}, third->rect().center());
    QCOMPARE(dashboard->layout(), OneUp);
    QVERIFY(!dashboard->preview(2)->isVisible());
    QCOMPARE(dashboard->preview(1)->currentSource().id, shown);
    // Esc (or a second double click) brings the four tiles back.
    QTest::keyClick(dashboard.get(), Qt::Key_Escape);
    QCOMPARE(dashboard->layout(), FourUp);
    QVERIFY(dashboard->preview(4)->isVisible());
    QCOMPARE(dashboard->slotTile(3)->currentSource().id, QString("cam-8"));
    dashboard->stop();
}

void TestDashboard::reportWalk()
{
    auto dashboard = openDashboard(spaceOf({"cam-2", "cam-8"}), TwoUp);
    QVERIFY(dashboard);
    QVERIFY(tilesPlay(dashboard.get(), 2));
    // The test drives the ticks itself.
    auto *timer = dashboard->findChild<QTimer *>();
    QVERIFY(timer);
    timer->stop();
    QTRY_VERIFY_WITH_TIMEOUT(dashboard->playerForStream("str-2")->statistics().video.bit_rate > 0, 15000);
    Settings::sharedInstance()->setCompanySlug("acme");
    GlobalManager::sharedInstance()->setCompanySlug("acme");

    m_inspector->clearRequests();
    // The first report of str-2 fails; str-8's goes through.
    m_inspector->queueFault({{"path", "/api/v1.0/acme/views/str-2"}, {"kind", "status"}, {"status", 500}});
    QSignalSpy responses(m_client.get(), &Api::gotStreamViewResponse);
    // Up to the tick before a report; the report's tick counts and then sends.
    while ((dashboard->ticksSinceReport() + 1) % 15 != 0)
        dashboard->streamTimerTick();
    QCOMPARE(m_inspector->requests("/api/v1.0/acme/views/").size(), 0);
    dashboard->streamTimerTick();
    QCOMPARE(dashboard->ticksSinceReport(), 0);
    const QMap<QString, qint64> counted = dashboard->watchedBytes();
    QVERIFY(counted.value("str-2") > 0 && counted.value("str-8") > 0);
    QVERIFY(responses.wait(10000));
    // Counted while the second report is on its way: kept for the next one.
    dashboard->streamTimerTick();
    const qint64 later = dashboard->watchedBytes().value("str-8") - counted.value("str-8");
    QVERIFY(later > 0);
    QTRY_COMPARE_WITH_TIMEOUT(responses.count(), 2, 10000);

    const auto views = m_inspector->requests("/api/v1.0/acme/views/");
    QCOMPARE(views.size(), 2);
    QCOMPARE(views.at(0).path, QString("/api/v1.0/acme/views/str-2"));
    QCOMPARE(views.at(1).path, QString("/api/v1.0/acme/views/str-8"));
    const QJsonObject body = QJsonDocument::fromJson(views.at(1).body.toUtf8()).object();
    QCOMPARE(body.value("totalBytes").toVariant().toLongLong(), counted.value("str-8"));
    QCOMPARE(body.value("shareId").toInt(), 41);
    // The failed stream keeps all it counted; the other only what came after.
    QVERIFY(dashboard->watchedBytes().value("str-2") >= counted.value("str-2"));
    QCOMPARE(dashboard->watchedBytes().value("str-8"), later);
    dashboard->stop();
}

void TestDashboard::lostStreamReturnsByItself()
{
    auto dashboard = openDashboard(spaceOf({"cam-8"}), OneUp);
    QVERIFY(dashboard);
    DashboardPlayerWidget *tile = dashboard->slotTile(0);
    QVERIFY(tilesPlay(dashboard.get(), 1));
    m_inspector->post("/live/stop", {{"stream", "str-8"}});
    // Offline at once (no picture from the player) ...
    QTRY_VERIFY_WITH_TIMEOUT(!tile->isPlaying(), 20000);
    QCOMPARE(tile->stillImage(), QString(":/CameraOffline.png"));
    const qint64 shownBefore = tile->videoRenderer()->shownFrames();
    m_inspector->post("/live/start", {{"stream", "str-8"}});
    // ... and playing again by itself once the encoder is back.
    QTRY_VERIFY_WITH_TIMEOUT(tile->isPlaying() && tile->stillImage().isEmpty(), 40000);
    QTRY_VERIFY_WITH_TIMEOUT(tile->videoRenderer()->shownFrames() > shownBefore + 5, 20000);
    dashboard->stop();
}

QTEST_MAIN(TestDashboard)
#include "tst_dashboard.moc"
