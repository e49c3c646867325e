// The player settings dialog on a live player of the local deployment: its
// pages, the delay slider, colour profiles and ranges reaching the player, the
// automatic delay, and the stored values.
#include "live/dashboardplayerwidget.h"
#include "navigation/navigationwidget.h"
#include "openglwidgetrenderer.h"
#include "playersettings/colorcellwidget.h"
#include "playersettings/colorprofilewidget.h"
#include "playersettings/playersettingscellwidget.h"
#include "playersettings/playersettingsdialog.h"
#include "playersettings/playersettingsrootwidget.h"
#include "qtovcoreapiframework.h"
#include "sandboxinspector.h"
#include "viewertestsupport.h"
#include "serverenvironment.h"
#include "session/globalmanager.h"
#include "session/settings.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QSignalSpy>
#include <QSlider>
#include <QStyleOptionSlider>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using Api = QtOVCoreAPIFramework;

namespace {

// The mean difference of two pictures of the same size, per channel.
double difference(const QImage &a, const QImage &b)
{
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32).scaled(x.size());
    qint64 sum = 0;
    for (int row = 0; row < x.height(); row += 4)
        for (int column = 0; column < x.width(); column += 4) {
            const QRgb p = x.pixel(column, row);
            const QRgb q = y.pixel(column, row);
            sum += qAbs(qRed(p) - qRed(q)) + qAbs(qGreen(p) - qGreen(q)) + qAbs(qBlue(p) - qBlue(q));
        }
    return double(sum) / (3.0 * (x.width() / 4) * (x.height() / 4));
}

} // namespace

class TestPlayerSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void pagesForStreamsAndRecordings();
    void delaySliderStoresWhereReleased();
    void colourProfileReachesThePlayer();
    void colourRange();
    void automaticDelay();

private:
    Camera camera(const QString &id) const;
    PlayerSettingsDialog *openDialog(const SharedStream &stream);
    PlayerSettings stored(const QString &resourceId) const;

    QTemporaryDir m_config;
    OVTVProduction m_environment;
    std::unique_ptr<Api> m_client;
    SharedWorkspace m_space;
    std::unique_ptr<DashboardPlayerWidget> m_tile;
    std::unique_ptr<OrvaneAV::AVPlayer> m_player;
    std::unique_ptr<PlayerSettingsDialog> m_dialog;
};

void TestPlayerSettings::initTestCase()
{
    QVERIFY(m_config.isValid());
    qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
    SandboxInspector inspector;
    QVERIFY2(inspector.isValid(), qPrintable(inspector.errorText()));
    m_client = std::make_unique<Api>([](QString text) { return text; }, &m_environment);
    QVERIFY(!ViewerTestSupport::signIn(m_client.get(), "ann@orvane.test", "orvane-demo-1").isEmpty());
    GlobalManager *manager = GlobalManager::sharedInstance();
    manager->setFramework(m_client.get());
    QSignalSpy loaded(manager, &GlobalManager::sharedSourcesLoadedWithError);
    manager->setCompanySlug("acme");
    manager->loadAllSharedSources();
    QVERIFY(loaded.wait(15000));
    for (const SharedWorkspace &workspace : manager->getSharedWorkspaces())
        if (workspace.id == "41")
            m_space = workspace;
    QVERIFY(!m_space.id.isEmpty());

    // The crane cab's live feed, over TCP, in a tile of its own.
    m_player = std::make_unique<OrvaneAV::AVPlayer>();
    m_player->setBufferMode(OrvaneAV::BufferTime);
    m_tile = std::make_unique<DashboardPlayerWidget>();
    m_tile->resize(640, 360);
    m_tile->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_tile.get()));
    m_tile->playSourceUsingPlayer(camera("cam-2"), m_player.get(),
                                  manager->getPlayerSettings(m_space, "str-2"));
    QTRY_VERIFY_WITH_TIMEOUT(m_tile->videoRenderer()->shownFrames() > 10, 30000);
    // The player follows stored changes as the dashboard's players do.
    connect(manager, &GlobalManager::playerSettingsChanged, this,
            [this](const SharedWorkspace &, const QString &id, const PlayerSettings &settings) {
                if (id != "str-2")
                    return;
                m_player->setColorSpace(
                    OrvaneAV::ColorSpace(GlobalManager::colorSpaceForProfile(settings.colorProfile)));
                m_player->setColorRange(
                    OrvaneAV::ColorRange(GlobalManager::colorRangeForIndex(settings.colorRange)));
            });
}

void TestPlayerSettings::cleanupTestCase()
{
    m_dialog.reset();
    m_tile->stop();
    m_tile.reset();
    m_player.reset();
}

Camera TestPlayerSettings::camera(const QString &id) const
{
    for (const Camera &candidate : m_space.sharedCameras)
        if (candidate.id == id)
            return candidate;
    return Camera();
}

PlayerSettings TestPlayerSettings::stored(const QString &resourceId) const
{
    // Read back as a restarted viewer reads it: from the file.
    QSettings file(QSettings::NativeFormat, QSettings::UserScope, "orvane", "Orvane TV");
    const auto all = file.value("playerSettingsByWorkspaceAndResourceId").value<PlayerSettingsByWorkspace>();
    return all.value(m_space.id).value(resourceId);
}

PlayerSettingsDialog *TestPlayerSettings::openDialog(const SharedStream &stream)
{
    m_dialog = std::make_unique<PlayerSettingsDialog>(
        nullptr, m_space, m_player.get(),
        GlobalManager::sharedInstance()->getPlayerSettings(m_space, stream.id));
    m_dialog->setStream(stream);
    m_dialog->show();
    if (!QTest::qWaitForWindowExposed(m_dialog.get()))
        return nullptr;
    return m_dialog.get();
}

void TestPlayerSettings::pagesForStreamsAndRecordings()
{
    PlayerSettingsDialog *dialog = openDialog(camera("cam-1").sharedStream); // secured, over SRT
    QVERIFY(dialog);
    QCOMPARE(dialog->windowTitle(), QString("Player settings for North Gate live"));
    QVERIFY(!dialog->rootPage()->findChild<QWidget *>("autoWidget")->isVisible());
    QVERIFY(dialog->rootPage()->findChild<QWidget *>("delaySettings")->isVisible());

    dialog = openDialog(camera("cam-2").sharedStream);
    QVERIFY(dialog->rootPage()->findChild<QWidget *>("autoWidget")->isVisible());
    QCOMPARE(dialog->rootPage()->row("Color Profile")->subtitle(), QString("Auto"));
    QCOMPARE(dialog->rootPage()->findChild<QLabel *>("delayMsLabel")->text(), QString("500ms"));
    ViewerTestSupport::saveScreenshot(dialog, "player-settings-root");

    Archive recording;
    recording.id = "rec-001";
    recording.encoderName = "Unit 7";
    PlayerSettingsDialog forRecording(nullptr, m_space, m_player.get(), PlayerSettings());
    forRecording.setArchive(recording);
    forRecording.show();
    QVERIFY(QTest::qWaitForWindowExposed(&forRecording));
    QCOMPARE(forRecording.windowTitle(), QString("Player Settings"));
    QVERIFY(!forRecording.rootPage()->findChild<QWidget *>("delaySettings")->isVisible());
    QCOMPARE(forRecording.rootPage()->windowTitle(), QString("Unit 7"));
}

void TestPlayerSettings::delaySliderStoresWhereReleased()
{
    PlayerSettingsDialog *dialog = openDialog(camera("cam-2").sharedStream);
    auto *slider = dialog->rootPage()->findChild<QSlider *>("delaySlider");
    auto *label = dialog->rootPage()->findChild<QLabel *>("delayMsLabel");
    QStyleOptionSlider option;
    option.initFrom(slider);
    option.orientation = Qt::Horizontal;
    option.minimum = slider->minimum();
    option.maximum = slider->maximum();
    option.sliderPosition = slider->value();
    option.sliderValue = slider->value();
    const QRect handle
        = slider->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, slider);
    QTest::mousePress(slider, Qt::LeftButton, {}, handle.center());
    QMouseEvent move(QEvent::MouseMove, QPointF(handle.center() + QPoint(slider->width() / 4, 0)),
                     Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(slider, &move);
    const int moved = slider->value();
    QVERIFY(moved > 500);
    QCOMPARE(label->text(), QString("%1 ms").arg(moved));
    QCOMPARE(stored("str-2").delay, 500); // nothing stored while dragging
    QTest::mouseRelease(slider, Qt::LeftButton, {}, handle.center() + QPoint(slider->width() / 4, 0));
    QCOMPARE(stored("str-2").delay, moved);
    QCOMPARE(m_player->bufferValue(), qint64(moved));
}

void TestPlayerSettings::colourProfileReachesThePlayer()
{
    PlayerSettingsDialog *dialog = openDialog(camera("cam-2").sharedStream);
    auto *rows = dialog->rootPage()->findChild<QListWidget *>("listWidget");
    QTest::mouseClick(rows->viewport(), Qt::LeftButton, {}, rows->visualItemRect(rows->item(0)).center());
    auto *list = qobject_cast<ColorProfileWidget *>(dialog->navigation()->currentWidget());
    QVERIFY(list);
    QCOMPARE(list->windowTitle(), QString("Select Color Profile"));
    QCOMPARE(list->count(), 6);
    QVERIFY(list->cell(0)->isSelected());
    ViewerTestSupport::saveScreenshot(dialog, "player-settings-profiles");

    const QImage before = m_tile->videoRenderer()->grabFrame();
    ColorCellWidget *pq = list->cell(4);
    QCOMPARE(pq->text(), QString("HDR Rec.2020 PQ"));
    QTRY_VERIFY(pq->checkBox()->isVisible() && pq->checkBox()->width() > 20);
    QTest::mouseClick(pq->checkBox(), Qt::LeftButton, {}, QPoint(8, pq->checkBox()->height() / 2));
    QCOMPARE(stored("str-2").colorProfile, 4);
    QCOMPARE(m_player->colorSpace(), OrvaneAV::ColorSpace_PQ);
    QTRY_COMPARE(dialog->navigation()->currentWidget(), static_cast<QWidget *>(dialog->rootPage()));
    QCOMPARE(dialog->rootPage()->row("Color Profile")->subtitle(), QString("HDR Rec.2020 PQ"));
    // The picture itself changes: PQ maps the same signal to other levels.
    QTRY_VERIFY_WITH_TIMEOUT(difference(before, m_tile->videoRenderer()->grabFrame()) > 8.0, 10000);
}

void TestPlayerSettings::colourRange()
{
    PlayerSettingsDialog *dialog = openDialog(camera("cam-2").sharedStream);
    auto *rows = dialog->rootPage()->findChild<QListWidget *>("listWidget");
    QTest::mouseClick(rows->viewport(), Qt::LeftButton, {}, rows->visualItemRect(rows->item(1)).center());
    auto *list = qobject_cast<ColorProfileWidget *>(dialog->navigation()->currentWidget());
    QVERIFY(list);
    QCOMPARE(list->windowTitle(), QString("Select Color Range"));
    ViewerTestSupport::saveScreenshot(dialog, "player-settings-ranges");
    QCheckBox *legal = list->cell(1)->checkBox();
    QTRY_VERIFY(legal->isVisible() && legal->width() > 20);
    QTest::mouseClick(legal, Qt::LeftButton, {}, QPoint(8, legal->height() / 2));
    QCOMPARE(stored("str-2").colorRange, 1);
    QCOMPARE(m_player->colorRange(), OrvaneAV::ColorRange_Limited);
    QCOMPARE(dialog->rootPage()->row("Color Range")->subtitle(), QString("Legal"));
}

void TestPlayerSettings::automaticDelay()
{
    PlayerSettingsDialog *dialog = openDialog(camera("cam-2").sharedStream);
    // A long delay first, so that the automatic one is clearly shorter.
    m_player->setBufferValue(1000);
    QTRY_VERIFY_WITH_TIMEOUT(m_player->statistics().video_only.bufferedMs > 600, 20000);
    const qint64 delayed = m_player->statistics().video_only.bufferedMs;
    auto *box = dialog->rootPage()->findChild<QCheckBox *>("autoCheckBox");
    QTest::mouseClick(box, Qt::LeftButton);
    QCOMPARE(m_player->bufferValue(), qint64(-1));
    QVERIFY(stored("str-2").autoDelay);
    QVERIFY(!dialog->rootPage()->findChild<QWidget *>("delayWidget")->isVisible());
    // The stream opens again without the delay: far less is held back.
    QTRY_VERIFY_WITH_TIMEOUT(m_player->statistics().video_only.bufferedMs < delayed / 2, 20000);
    QVERIFY(m_player->isPlaying());
    // Unchecked again, the stored delay is back in force.
    QTest::mouseClick(box, Qt::LeftButton);
    QCOMPARE(m_player->bufferValue(), qint64(stored("str-2").delay));
    QVERIFY(!stored("str-2").autoDelay);
}

QTEST_MAIN(TestPlayerSettings)
#include "tst_playersettings.moc"
