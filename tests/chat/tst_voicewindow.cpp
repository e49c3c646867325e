// The chat window in a call, under a virtual display and a sound server of its
// own: Ann's window joins the voice channel from its bar while Chloé (a session
// without a window) talks; the users list shows Chloé in the call, the badge her
// initials, her row's button mutes her for Ann, the statistics go out on the
// window's timer (shortened through its test switch) and leaving ends them.
#include "chattestsupport.h"
#include "mainwindow.h"
#include "sandboxinspector.h"
#include "screenshots.h"
#include "voicechatuserslist.h"
#include "voicechatuserview.h"
#include "voicechatwidget.h"
#include "voicetestsupport.h"

#include <QAudioOutput>
#include <QJsonArray>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QSignalSpy>
#include <QToolButton>
#include <QtTest>

using namespace VoiceTestSupport;

class TestVoiceWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void aCallFromTheBar();

private:
    SandboxInspector m_inspector;
    ChatTestSupport::VoiceSession m_chloe;
    GlobalManager m_annGlobals;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<TonePlayer> m_tone;
};

void TestVoiceWindow::initTestCase()
{
    qRegisterMetaType<VoiceChatParticipant>();
    qRegisterMetaType<QVector<VoiceChatParticipant>>();
    qRegisterMetaType<AudioRoute>();
    QVERIFY2(m_inspector.isValid(), qPrintable(m_inspector.errorText()));
    QVERIFY2(!device(QAudio::AudioOutput, QStringLiteral("voice_mic_c")).isNull(),
             "needs the suite's sound server: run under tests/support/with-sound-server.sh");
    QVERIFY(m_chloe.open(QStringLiteral("chloe@orvane.test"), QStringLiteral("orvane-demo-3"),
                         QStringLiteral("voice_mic_c.monitor"), QStringLiteral("voice_speakers_c")));
    QVERIFY(m_chloe.joinVoice());
    m_tone = std::make_unique<TonePlayer>(QStringLiteral("voice_mic_c"), 330);
}

void TestVoiceWindow::cleanupTestCase()
{
    m_window.reset();
    m_chloe.chat.reset();
}

void TestVoiceWindow::aCallFromTheBar()
{
    // The statistics every 1.5 s instead of every 30 s.
    qputenv("ORVANE_VOICE_STATS_INTERVAL_MS", "1500");
    m_annGlobals.setAuthToken(
        ChatTestSupport::signIn(QStringLiteral("ann@orvane.test"), QStringLiteral("orvane-demo-1")));
    m_annGlobals.setCompany(QStringLiteral("acme"));
    m_annGlobals.setWorkspaceId(QStringLiteral("41"));
    m_annGlobals.setWorkspaceName(QStringLiteral("North Site"));
    m_annGlobals.setServerEnvironment(QStringLiteral("production"));
    m_annGlobals.setTextEnabled(true);
    m_annGlobals.setVoiceEnabled(true);
    m_window = std::make_unique<MainWindow>();
    m_window->setGlobalManager(&m_annGlobals);
    m_window->resize(800, 600);
    m_window->move(0, 0);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    // The bar is wired once the session has logged in.
    QTRY_VERIFY_WITH_TIMEOUT(m_window->usersList(), 20000);
    ChatManager *ann = m_window->chatManager();
    QVERIFY(ann->setInputRoute({"voice_mic_a.monitor", "voice_mic_a.monitor"}));
    QVERIFY(ann->setOutputRoute({"voice_speakers_a", "voice_speakers_a"}));

    auto *bar = m_window->findChild<VoiceChatWidget *>(QStringLiteral("voiceChatWidget"));
    QVERIFY(bar && bar->isVisible());
    const int statsBefore = m_inspector.get(QStringLiteral("/chat-stats")).toArray().size();
    QTest::mouseClick(bar->findChild<QToolButton *>(QStringLiteral("joinButton")), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(bar->isJoined(), 10000);
    QCOMPARE(bar->findChild<QToolButton *>(QStringLiteral("joinButton"))->text(), QStringLiteral("Leave"));
    // No statistics at the join itself: the first come one interval later.
    QCOMPARE(m_inspector.get(QStringLiteral("/chat-stats")).toArray().size(), statsBefore);

    // Chloé talks: her initials in the badge.
    auto *initials = bar->findChild<QLabel *>(QStringLiteral("initialsLabel"));
    QTRY_COMPARE_WITH_TIMEOUT(initials->text(), QStringLiteral("CM"), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(bar->findChild<QWidget *>(QStringLiteral("outerWave"))->isVisible(), 3000);
    TestScreenshots::save(m_window.get(), "chat-voice-bar");
    QTRY_VERIFY_WITH_TIMEOUT(m_inspector.get(QStringLiteral("/chat-stats")).toArray().size() > statsBefore,
                             10000);

    // The users list, with Chloé in the call.
    QTest::mouseClick(bar->findChild<QToolButton *>(QStringLiteral("usersButton")), Qt::LeftButton);
    VoiceChatUsersList *users = m_window->usersList();
    QTRY_VERIFY(users->isVisible());
    auto *rows = users->findChild<QListWidget *>(QStringLiteral("listWidget"));
    VoiceChatUserView *chloe = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            for (int i = 0; i < rows->count(); ++i) {
                auto *view = qobject_cast<VoiceChatUserView *>(rows->itemWidget(rows->item(i)));
                if (view && view->userId() == QLatin1String("1003")
                    && !view->user().participant.name.isEmpty())
                    chloe = view;
            }
            return chloe != nullptr;
        }(),
        10000);
    QCOMPARE(bar->findChild<QLabel *>(QStringLiteral("usersLabel"))->text(), QStringLiteral("1/3"));
    auto *mute = chloe->findChild<QToolButton *>(QStringLiteral("muteButton"));
    QVERIFY(mute->isVisible());
    TestScreenshots::save(m_window.get(), "chat-voice-call");

    // Speakers chosen from the bar's menu carry the sound.
    Recorder spare(QStringLiteral("voice_spare_speakers"));
    QVERIFY(spare.isRecording());
    QTest::mouseClick(bar->findChild<QToolButton *>(QStringLiteral("speakerOptionsButton")), Qt::LeftButton);
    QMenu *menu = nullptr;
    const auto openMenu = [&] {
        for (QMenu *candidate : bar->findChildren<QMenu *>()) {
            if (candidate->isVisible())
                menu = candidate;
        }
        return menu != nullptr;
    };
    QTRY_VERIFY_WITH_TIMEOUT(openMenu(), 3000);
    QAction *spareRoute = menu->findChild<QAction *>(QStringLiteral("voice_spare_speakers"));
    QVERIFY(spareRoute);
    spareRoute->trigger();
    QVector<qint16> heard;
    QVERIFY(QTest::qWaitFor(
        [&] {
            heard = spare.record(800);
            return rms(heard) > 1000;
        },
        8000));
    QVERIFY2(std::abs(frequency(heard) - 330) < 5, qPrintable(QString::number(frequency(heard))));
    QCOMPARE(ann->currentOutputRoute().id, QStringLiteral("voice_spare_speakers"));

    // Muting Chloé for Ann: the session's participant follows.
    QTest::mouseClick(mute, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(ann->participants().value(0).muted, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(chloe->user().participant.muted, 5000);

    // Leaving: the bar goes back, the list goes away, the statistics stop.
    QTest::mouseClick(bar->findChild<QToolButton *>(QStringLiteral("joinButton")), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!bar->isJoined(), 10000);
    QVERIFY(!users->isVisible());
    QVERIFY(!m_window->voiceTimer()->isActive());
}

QTEST_MAIN(TestVoiceWindow)
#include "tst_voicewindow.moc"
