// The recordings browser and the archive player against the local deployment's
// recordings: the overview, paging of the full list, filters, marking, the
// scrub over the extended preview, playback, time labels, the end and the slider.
#include "deploymentoverride.h"
#include "openglwidgetrenderer.h"
#include "qtovcoreapiframework.h"
#include "recordings/archivecell.h"
#include "recordings/archiveplayerwidget.h"
#include "recordings/datepicker.h"
#include "recordings/rangedcalendar.h"
#include "recordings/recordingsselectionwidget.h"
#include "sandboxinspector.h"
#include "viewertestsupport.h"
#include "serverenvironment.h"
#include "session/globalmanager.h"
#include "ui/filterbutton.h"

#include <QDir>
#include <QHoverEvent>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QToolButton>
#include <QJsonArray>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrlQuery>
#include <QtTest>

#include <memory>

using Api = QtOVCoreAPIFramework;

namespace {

QString queryValue(const SandboxInspector::Request &request, const QString &key)
{
    for (const auto &item : request.query)
        if (item.first == key)
            return item.second;
    return QString();
}

} // namespace

class TestRecordings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void overviewAndPaging();
    void repeatedAnswersGiveOneCell();
    void cameraNameFilter();
    void dateFilterAsksTheSameDaysOnEveryPage();
    void calendarRanges();
    void markingFromTheMenu();
    void scrubbingShowsFramesOfTheStrip();
    void timeFormat_data();
    void timeFormat();
    void playbackEndAndSlider();
    void watchedBytesAreReported();

private:
    std::unique_ptr<RecordingsSelectionWidget> openBrowser();
    QList<SandboxInspector::Request> pageRequests();

    QTemporaryDir m_config;
    OVTVProduction m_environment;
    std::unique_ptr<Api> m_client;
    std::unique_ptr<SandboxInspector> m_inspector;
    SharedWorkspace m_space;
};

void TestRecordings::initTestCase()
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
    QSignalSpy loaded(manager, &GlobalManager::sharedSourcesLoadedWithError);
    manager->setCompanySlug("acme");
    manager->loadAllSharedSources();
    QVERIFY(loaded.wait(15000));
    for (const SharedWorkspace &workspace : manager->getSharedWorkspaces())
        if (workspace.id == "41")
            m_space = workspace;
    QVERIFY(!m_space.sharedCameras.isEmpty());
}

void TestRecordings::init()
{
    m_inspector->clearRequests();
}

QList<SandboxInspector::Request> TestRecordings::pageRequests()
{
    return m_inspector->requests("/api/v1.0/acme/shared/workspaces/41/records");
}

std::unique_ptr<RecordingsSelectionWidget> TestRecordings::openBrowser()
{
    auto browser = std::make_unique<RecordingsSelectionWidget>(nullptr, m_space);
    browser->resize(1200, 760);
    browser->show();
    if (!QTest::qWaitForWindowExposed(browser.get()))
        return nullptr;
    if (!QTest::qWaitFor([&] { return !browser->loading() && browser->cells("grid").size() >= 11; }, 15000))
        return nullptr;
    return browser;
}

void TestRecordings::overviewAndPaging()
{
    auto browser = openBrowser();
    QVERIFY(browser);
    QVERIFY(browser->total() > 30);
    QCOMPARE(browser->cells("grid").size(), 11);
    // One page while the full list is hidden.
    QTest::qWait(300);
    QCOMPARE(pageRequests().size(), 1);
    QCOMPARE(queryValue(pageRequests().first(), "offset"), QString("0"));
    ViewerTestSupport::saveScreenshot(browser.get(), "recordings-overview");

    // The full list: scrolling near its end asks for the next page until all are in.
    QTest::mouseClick(browser->findChild<QToolButton *>("showAllButton"), Qt::LeftButton);
    QVERIFY(browser->showingAll());
    auto *area = browser->findChild<QScrollArea *>("allRecordingsScrollArea");
    QVERIFY(QTest::qWaitFor(
        [&] {
            if (!browser->loading())
                area->verticalScrollBar()->setValue(area->verticalScrollBar()->maximum());
            return browser->loadedCount() >= browser->total();
        },
        60000));
    QTest::qWait(500);
    const auto pages = pageRequests();
    QCOMPARE(pages.size(), (browser->total() + 9) / 10);
    for (int i = 0; i < pages.size(); ++i)
        QCOMPARE(queryValue(pages.at(i), "offset"), QString::number(10 * i));
    // Every recording once, whatever the answers repeat.
    QCOMPARE(browser->cells("allRecordingsGrid").size(), browser->total());
    area->verticalScrollBar()->setValue(area->verticalScrollBar()->maximum());
    QTest::qWait(300);
    QCOMPARE(pageRequests().size(), pages.size()); // nothing after the last page
}

void TestRecordings::repeatedAnswersGiveOneCell()
{
    // The list moved on between two pages (a recording came in), so the second
    // answer starts with the last recording of the first: it is shown once.
    auto browser = openBrowser();
    QVERIFY(browser);
    const int total = browser->total();
    const SandboxInspector::Request first = pageRequests().first();
    const auto pageJson = [&](int offset) {
        QUrl url(QStringLiteral("https://%1%2").arg(first.host, first.path));
        QUrlQuery query;
        for (const auto &item : first.query)
            query.addQueryItem(item.first, QString::fromUtf8(QUrl::toPercentEncoding(
                item.first == "offset" ? QString::number(offset) : item.second)));
        url.setQuery(query);
        QNetworkRequest request(url);
        DeploymentOverride::instance().prepare(request);
        QNetworkAccessManager network;
        QNetworkReply *reply = network.get(request);
        QSignalSpy done(reply, &QNetworkReply::finished);
        done.wait(15000);
        const QJsonObject envelope = QJsonDocument::fromJson(reply->readAll()).object();
        delete reply;
        return envelope;
    };
    const QJsonObject firstPage = pageJson(0);
    QJsonObject secondPage = pageJson(10);
    const QJsonArray firstRecords = firstPage["response"].toArray().at(0).toObject()["records"].toArray();
    QJsonArray secondRecords = secondPage["response"].toArray().at(0).toObject()["records"].toArray();
    QCOMPARE(firstRecords.size(), 10);
    QCOMPARE(secondRecords.size(), 10);
    secondRecords.replace(0, firstRecords.last());
    secondPage["response"] = QJsonArray{QJsonObject{{"records", secondRecords}}};
    m_inspector->queueFault({{"path", first.path}, {"kind", "envelope"}, {"envelope", secondPage}});
    // From here on only the browser's pages: the first is in, the others follow.
    m_inspector->clearRequests();
    const int laterPages = (total + 9) / 10 - 1;

    QTest::mouseClick(browser->findChild<QToolButton *>("showAllButton"), Qt::LeftButton);
    auto *area = browser->findChild<QScrollArea *>("allRecordingsScrollArea");
    QVERIFY(QTest::qWaitFor(
        [&] {
            if (!browser->loading())
                area->verticalScrollBar()->setValue(area->verticalScrollBar()->maximum());
            return pageRequests().size() >= laterPages && !browser->loading();
        },
        60000));
    QTest::qWait(500);
    // Every page was answered (one recording twice), and it stands once.
    QCOMPARE(browser->loadedCount(), total);
    QCOMPARE(browser->cells("allRecordingsGrid").size(), total - 1);
}

void TestRecordings::cameraNameFilter()
{
    auto browser = openBrowser();
    QVERIFY(browser);
    FilterButton *north = nullptr;
    for (FilterButton *button : browser->nameButtons())
        if (button->text() == "North Gate")
            north = button;
    QVERIFY(north);
    m_inspector->clearRequests();
    QTest::mouseClick(north, Qt::LeftButton);
    QVERIFY(north->isHighlighted());
    QVERIFY(browser->showingAll());
    QTRY_VERIFY_WITH_TIMEOUT(!pageRequests().isEmpty() && !browser->loading(), 15000);
    QCOMPARE(queryValue(pageRequests().first(), "cameraIds"), QString("cam-1"));
    const auto cells = browser->cells("allRecordingsGrid");
    QVERIFY(!cells.isEmpty());
    for (ArchiveCell *cell : cells)
        QCOMPARE(cell->getArchive().cameraId, QString("cam-1"));
    // The window keeps its size whatever the list holds.
    QCOMPARE(browser->size(), QSize(1200, 760));
    ViewerTestSupport::saveScreenshot(browser.get(), "recordings-filtered");
}

void TestRecordings::dateFilterAsksTheSameDaysOnEveryPage()
{
    auto browser = openBrowser();
    QVERIFY(browser);
    QTest::mouseClick(browser->dateFilterButton(), Qt::LeftButton);
    DatePicker *picker = browser->datePicker();
    QVERIFY(picker && picker->isVisible());
    m_inspector->clearRequests();
    const QDateTime first(QDate(2026, 11, 30), QTime(0, 0));
    const QDateTime last(QDate(2026, 12, 5), QTime(23, 59, 59));
    emit picker->datesSelected(first, last);
    QCOMPARE(browser->dateFilterButton()->text(), QString("Nov 30 - Dec 05"));
    auto *area = browser->findChild<QScrollArea *>("allRecordingsScrollArea");
    QVERIFY(QTest::qWaitFor(
        [&] {
            if (!browser->loading())
                area->verticalScrollBar()->setValue(area->verticalScrollBar()->maximum());
            return !browser->loading() && browser->loadedCount() >= browser->total() && browser->total() > 0;
        },
        60000));
    const auto pages = pageRequests();
    QVERIFY(!pages.isEmpty());
    // Every page asks up to the day after the last day.
    for (const auto &page : pages) {
        QCOMPARE(queryValue(page, "dateFrom"), QString("2026-11-30"));
        QCOMPARE(queryValue(page, "dateTo"), QString("2026-12-06"));
    }
    for (ArchiveCell *cell : browser->cells("allRecordingsGrid")) {
        QVERIFY(cell->getArchive().createdAt >= first);
        QVERIFY(cell->getArchive().createdAt <= last);
    }
}

void TestRecordings::calendarRanges()
{
    DatePicker picker;
    picker.show();
    QVERIFY(QTest::qWaitForWindowExposed(&picker));
    RangedCalendar *calendar = picker.calendar();
    QSignalSpy range(calendar, &RangedCalendar::dateRangeSelectionChanged);
    const QDate day(2026, 12, 3);
    calendar->setCurrentPage(2026, 12);
    emit calendar->clicked(day);
    emit calendar->clicked(day);
    QCOMPARE(range.last().at(0).toDateTime(), day.startOfDay());
    QCOMPARE(range.last().at(1).toDateTime(), day.endOfDay());
    emit calendar->clicked(day); // a third click clears
    QVERIFY(!range.last().at(0).toDateTime().isValid());
    QVERIFY(!calendar->range().first.isValid());

    // "Apply" without a day says so and keeps the picker open.
    QSignalSpy chosen(&picker, &DatePicker::datesSelected);
    QTimer::singleShot(300, [] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            QCOMPARE(box->text(), QString("Please select a date or a range of dates"));
            box->accept();
        }
    });
    QTest::mouseClick(picker.findChild<QPushButton *>("applyButton"), Qt::LeftButton);
    QCOMPARE(chosen.count(), 0);
    QVERIFY(picker.isVisible());

    emit calendar->clicked(QDate(2026, 12, 7));
    emit calendar->clicked(QDate(2026, 12, 2));
    QTest::mouseClick(picker.findChild<QPushButton *>("applyButton"), Qt::LeftButton);
    QCOMPARE(chosen.count(), 1);
    QCOMPARE(chosen.first().at(0).toDateTime().date(), QDate(2026, 12, 2));
    QCOMPARE(chosen.first().at(1).toDateTime().date(), QDate(2026, 12, 7));
}

void TestRecordings::markingFromTheMenu()
{
    auto browser = openBrowser();
    QVERIFY(browser);
    ArchiveCell *cell = browser->cells("grid").value(2);
    QVERIFY(cell);
    const QString id = cell->getArchive().id;
    QVERIFY(!cell->isStarShown());
    QTest::mouseClick(cell->findChild<QToolButton *>("toolButton"), Qt::LeftButton);
    auto *menu = cell->findChild<QMenu *>("cellMenu");
    QTRY_VERIFY(menu && menu->isVisible());
    QAction *mark = menu->actions().first();
    QCOMPARE(mark->text(), QString("Mark for later"));
    QVERIFY(!mark->isChecked());
    mark->trigger();
    QTRY_VERIFY(browser->findChild<QWidget *>("markedGrid")->isVisible());
    QStringList marked;
    for (ArchiveCell *shown : browser->cells("markedGrid"))
        marked << shown->getArchive().id;
    QCOMPARE(marked, QStringList{id});
    QVERIFY(browser->cells("grid").value(2)->isStarShown());
    GlobalManager::sharedInstance()->unmarkArchiveInWorkspace(cell->getArchive(), m_space);
}

void TestRecordings::scrubbingShowsFramesOfTheStrip()
{
    auto browser = openBrowser();
    QVERIFY(browser);
    ArchiveCell *cell = browser->cells("grid").first();
    QTRY_VERIFY_WITH_TIMEOUT(!cell->getArchive().extendedPreviewImage.isNull(), 20000);
    const int frames = cell->getArchive().info.extendedPreviewFrameCount;
    QVERIFY(frames > 1);
    QCOMPARE(cell->shownFrame(), 0);
    const QImage strip = cell->getArchive().extendedPreviewImage;
    const int x = cell->width() * 3 / 4;
    QHoverEvent enter(QEvent::HoverEnter, QPointF(x, 20), QPointF(-1, -1));
    QCoreApplication::sendEvent(cell, &enter);
    QHoverEvent move(QEvent::HoverMove, QPointF(x, 20), QPointF(x - 1, 20));
    QCoreApplication::sendEvent(cell, &move);
    const int expected = (frames * x / cell->width()) % frames;
    QCOMPARE(cell->shownFrame(), expected);
    // The picture is that frame of the strip (the hover line aside).
    const QImage shown = cell->shownPicture().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage frame = strip.copy(cell->frameRect(expected)).convertToFormat(QImage::Format_RGB32);
    QCOMPARE(shown.pixel(2, 2), frame.pixel(2, 2));
    QHoverEvent leave(QEvent::HoverLeave, QPointF(-1, -1), QPointF(x, 20));
    QCoreApplication::sendEvent(cell, &leave);
    QCOMPARE(cell->shownFrame(), 0);
    // Beyond the strip: frame 0.
    QCOMPARE(cell->frameRect(frames + 5).x(), 0);
}

void TestRecordings::timeFormat_data()
{
    QTest::addColumn<qint64>("duration");
    QTest::addColumn<QString>("format");
    QTest::newRow("59 minutes") << qint64(59 * 60000) << "mm:ss";
    QTest::newRow("just over the limit") << qint64(3632401) << "HH:mm:ss";
    QTest::newRow("2 hours") << qint64(2 * 3600000) << "HH:mm:ss";
}

void TestRecordings::timeFormat()
{
    QFETCH(qint64, duration);
    QFETCH(QString, format);
    QCOMPARE(ArchivePlayerWidget::timeFormat(duration), format);
}

void TestRecordings::playbackEndAndSlider()
{
    const QVector<Archive> all = GlobalManager::sharedInstance()->getAllSharedArchives();
    QVERIFY(!all.isEmpty());
    Archive recording = all.first();
    for (const Archive &candidate : all)
        if (!candidate.webVideoUrl.isEmpty() && candidate.encoderName.isEmpty() == false)
            recording = candidate;
    ArchivePlayerWidget player(nullptr, recording, m_space, "ann@orvane.test", m_client.get(),
                               PlayerSettings());
    player.resize(1280, 720);
    player.show();
    QVERIFY(QTest::qWaitForWindowExposed(&player));
    QCOMPARE(player.findChild<QLabel *>("archiveName")->text(), recording.encoderName);
    player.start();
    QTRY_VERIFY_WITH_TIMEOUT(player.getPlayer()->isPlaying() && player.getPlayer()->duration() > 0, 30000);
    QTRY_VERIFY_WITH_TIMEOUT(player.videoRenderer()->shownFrames() > 5, 20000);
    QVERIFY(player.findChild<QLabel *>("totalTimeLabel")->text().startsWith("/ "));
    ViewerTestSupport::saveScreenshot(&player, "archive-player");
    // Recorded as viewed.
    QCOMPARE(GlobalManager::sharedInstance()->getAllRecentlyViewedArchives(m_space).first().id, recording.id);

    // Holding the slider: it stays where it is held while playback goes on.
    auto *slider = player.findChild<QSlider *>("timeSlider");
    slider->setSliderDown(true);
    emit slider->sliderPressed();
    slider->setValue(0);
    QTest::qWait(1500);
    QCOMPARE(slider->value(), 0);
    slider->setValue(int(player.getPlayer()->duration() - 1000));
    slider->setSliderDown(false);
    emit slider->sliderReleased();
    // Near the end it rewinds and waits, showing the play icon.
    QTRY_VERIFY_WITH_TIMEOUT(player.getPlayer()->isPaused(), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(player.getPlayer()->position() < 2000, 5000);
    QCOMPARE(player.findChild<QToolButton *>("playButton")->toolTip(), QString("Play"));
    player.stop();
}

void TestRecordings::watchedBytesAreReported()
{
    const Archive recording = GlobalManager::sharedInstance()->getAllSharedArchives().first();
    ArchivePlayerWidget player(nullptr, recording, m_space, QString(), m_client.get(), PlayerSettings());
    player.resize(960, 540);
    player.show();
    QVERIFY(QTest::qWaitForWindowExposed(&player));
    m_inspector->clearRequests();
    QSignalSpy answered(m_client.get(), &Api::gotStreamViewResponse);
    player.start();
    QTRY_VERIFY_WITH_TIMEOUT(player.getPlayer()->isPlaying(), 30000);
    // The first tick reports what was counted; the bytes leave the counter once
    // the service has them.
    QTRY_VERIFY_WITH_TIMEOUT(!m_inspector->requests("/api/v1.0/acme/views/" + recording.id).isEmpty(), 20000);
    const auto view = m_inspector->requests("/api/v1.0/acme/views/" + recording.id).first();
    const QJsonObject body = QJsonDocument::fromJson(view.body.toUtf8()).object();
    QCOMPARE(body.value("type").toString(), QString("record"));
    QCOMPARE(body.value("shareId").toInt(), 41);
    const qint64 sent = body.value("totalBytes").toVariant().toLongLong();
    QVERIFY(sent > 0);
    QTRY_VERIFY_WITH_TIMEOUT(answered.count() >= 1, 10000);
    QCOMPARE(answered.first().first().toString(), QString());
    // Only what came after the report is left to send.
    QVERIFY(player.unreportedBytes() < sent * 3);
    player.stop();
}

QTEST_MAIN(TestRecordings)
#include "tst_recordings.moc"
