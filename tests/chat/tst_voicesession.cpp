// The chat session's voice side: two sessions (Ann and Ben) in the workspace's
// voice channel through the deployment's hub, on a sound server of their own
// (tests/support/with-sound-server.sh). Participants, per-user mute and its
// memory across a rejoin, the speakers' report, devices, the statistics, and
// the bounded rejoin on the engine's errors 17 and 120.
#include "chatmanager.h"
#include "chattestsupport.h"
#include "coreapimanager.h"
#include "globalmanager.h"
#include "sandboxinspector.h"
#include "voicetestsupport.h"

#include <QAudioOutput>
#include <QJsonArray>
#include <QProcess>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

using namespace VoiceTestSupport;

using ChatTestSupport::VoiceSession;

class TestVoiceSession : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void encryptionModes_data();
    void encryptionModes();
    void joinShowsTheOtherAsParticipant();
    void perUserMuteAndItsMemory();
    void micMuteFromTheSession();
    void activeSpeakerIsTheOneTalking();
    void routesIncludeTheSystemsDevices();
    void statisticsReachTheDeployment();
    void anotherProcessInTheCall();
    void rejoinsOnErrorsButNotForEver();

private:
    // Whether Ben hears the tone (or silence) within a few seconds.
    bool benHears();
    bool benHearsNothing();

    SandboxInspector m_inspector;
    VoiceSession m_ann;
    VoiceSession m_ben;
    std::unique_ptr<TonePlayer> m_tone;
    std::unique_ptr<Recorder> m_benSpeakers;
};

void TestVoiceSession::initTestCase()
{
    qRegisterMetaType<VoiceChatParticipant>();
    qRegisterMetaType<QVector<VoiceChatParticipant>>();
    QVERIFY2(m_inspector.isValid(), qPrintable(m_inspector.errorText()));
    QVERIFY2(!device(QAudio::AudioOutput, QStringLiteral("voice_mic_a")).isNull(),
             "needs the suite's sound server: run under tests/support/with-sound-server.sh");
    QVERIFY(m_ann.open(QStringLiteral("ann@orvane.test"), QStringLiteral("orvane-demo-1"),
                       QStringLiteral("voice_mic_a.monitor"), QStringLiteral("voice_speakers_a")));
    QVERIFY(m_ben.open(QStringLiteral("ben@orvane.test"), QStringLiteral("orvane-demo-2"),
                       QStringLiteral("voice_mic_b.monitor"), QStringLiteral("voice_speakers_b")));
    m_tone = std::make_unique<TonePlayer>(QStringLiteral("voice_mic_a"), 440);
    m_benSpeakers = std::make_unique<Recorder>(QStringLiteral("voice_speakers_b"));
    QVERIFY(m_ann.joinVoice());
    QVERIFY(m_ben.joinVoice());
}

void TestVoiceSession::cleanupTestCase()
{
    m_ann.chat.reset();
    m_ben.chat.reset();
    m_inspector.post(QStringLiteral("/voice/network"),
                     {{QStringLiteral("loss"), 0}, {QStringLiteral("jitterMs"), 0}});
}

bool TestVoiceSession::benHears()
{
    return QTest::qWaitFor([this] { return rms(m_benSpeakers->record(400)) > 1000; }, 8000);
}

bool TestVoiceSession::benHearsNothing()
{
    return QTest::qWaitFor([this] { return rms(m_benSpeakers->record(400)) < 100; }, 8000);
}

void TestVoiceSession::encryptionModes_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<int>("number");
    QTest::newRow("aes-128-xts") << "aes-128-xts" << 1;
    QTest::newRow("aes-128-ecb") << "aes-128-ecb" << 2;
    QTest::newRow("aes-256-xts") << "aes-256-xts" << 3;
    QTest::newRow("sm4-128-ecb") << "sm4-128-ecb" << 4;
    QTest::newRow("capitals") << "AES-128-XTS" << 9;
    QTest::newRow("another mode") << "aes-128-gcm2" << 9;
}

void TestVoiceSession::encryptionModes()
{
    QFETCH(QString, mode);
    QFETCH(int, number);
    QCOMPARE(ChatManager::encryptionModeFor(mode), number);
}

void TestVoiceSession::joinShowsTheOtherAsParticipant()
{
    // Each sees the other under the shared user's name: the participant number
    // is the user id, the uid's upper bits are random.
    QTRY_COMPARE_WITH_TIMEOUT(m_ben.chat->participants().size(), 1, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(m_ann.chat->participants().size(), 1, 5000);
    const VoiceChatParticipant ann = m_ben.chat->participants().first();
    QCOMPARE(ann.uid, 1001u);
    QCOMPARE(ann.name, QStringLiteral("Ann Lindqvist"));
    QCOMPARE(m_ann.chat->participants().first().name, QStringLiteral("ben@orvane.test"));
    QCOMPARE(m_ann.chat->voiceUid() & VoiceChatParticipant::numberMask, 1001u);
    QVERIFY(benHears());
}

void TestVoiceSession::perUserMuteAndItsMemory()
{
    QTRY_COMPARE_WITH_TIMEOUT(m_ben.chat->participants().size(), 1, 5000);
    const quint32 ann = m_ben.chat->participants().first().uid;
    QSignalSpy updated(m_ben.chat.get(), &ChatManager::voiceMembersUpdated);
    m_ben.chat->muteUser(ann, true);
    QVERIFY(m_ben.chat->participants().first().muted);
    QVERIFY(!updated.isEmpty());
    QVERIFY2(benHearsNothing(), "Ben still hears Ann after muting her");

    // Ann leaves and comes back: Ben still has her muted.
    QSignalSpy left(m_ben.chat.get(), &ChatManager::voiceMemberLeft);
    m_ann.chat->leaveVoiceChannel();
    QVERIFY(left.wait(5000));
    QVERIFY(m_ben.chat->participants().isEmpty());
    QVERIFY(m_ann.joinVoice());
    QTRY_COMPARE_WITH_TIMEOUT(m_ben.chat->participants().size(), 1, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(m_ben.chat->participants().first().muted, 5000);
    QVERIFY2(benHearsNothing(), "Ann is heard again after rejoining");

    m_ben.chat->muteUser(ann, false);
    QVERIFY(!m_ben.chat->participants().first().muted);
    QVERIFY(benHears());
}

void TestVoiceSession::micMuteFromTheSession()
{
    QSignalSpy changed(m_ann.chat.get(), &ChatManager::micMuteChanged);
    m_ann.chat->toggleMic();
    QCOMPARE(changed.size(), 1);
    QCOMPARE(changed.first().first().toBool(), true);
    QVERIFY2(benHearsNothing(), "Ben still hears Ann with her microphone muted");
    m_ann.chat->toggleMic();
    QCOMPARE(changed.last().first().toBool(), false);
    QVERIFY(benHears());
}

void TestVoiceSession::activeSpeakerIsTheOneTalking()
{
    QTest::qWait(1000);
    const QVector<VoiceChatParticipant> speakers = m_ben.chat->activeSpeakers();
    QVERIFY(!speakers.isEmpty());
    QVERIFY2(speakers.first().volumeInfo.volume >= 30,
             qPrintable(QString::number(speakers.first().volumeInfo.volume)));
    QCOMPARE(speakers.first().uid, m_ben.chat->participants().first().uid);
}

void TestVoiceSession::routesIncludeTheSystemsDevices()
{
    const QVector<AudioRoute> inputs = m_ben.chat->inputRoutes();
    const QVector<AudioRoute> outputs = m_ben.chat->outputRoutes();
    const auto named = [](const QVector<AudioRoute> &routes, const QString &id) {
        return std::any_of(routes.begin(), routes.end(),
                           [&id](const AudioRoute &route) { return route.id == id; });
    };
    QVERIFY(named(inputs, QStringLiteral("voice_spare_mic.monitor")));
    QVERIFY(named(outputs, QStringLiteral("voice_spare_speakers")));
    QCOMPARE(m_ben.chat->currentOutputRoute().id, QStringLiteral("voice_speakers_b"));
    QVERIFY(m_ben.chat->setOutputRoute(AudioRoute::followSystem()));
    // The suite's server plays to Ann's speakers by default.
    QCOMPARE(m_ben.chat->currentOutputRoute().id, QStringLiteral("voice_speakers_a"));
    QVERIFY(!m_ben.chat->setOutputRoute({QStringLiteral("gone"), QStringLiteral("gone")}));
    QVERIFY(
        m_ben.chat->setOutputRoute({QStringLiteral("voice_speakers_b"), QStringLiteral("voice_speakers_b")}));
    QVERIFY(benHears());
}

void TestVoiceSession::statisticsReachTheDeployment()
{
    const int before = m_inspector.get(QStringLiteral("/chat-stats")).toArray().size();
    QSignalSpy sent(m_ann.client.get(), &CoreAPIManager::sentChatStats);
    m_ann.chat->sendVoiceChatStats();
    QVERIFY(sent.wait(10000));
    const QJsonArray stats = m_inspector.get(QStringLiteral("/chat-stats")).toArray();
    QCOMPARE(stats.size(), before + 1);
    QCOMPARE(stats.last().toObject().value(QStringLiteral("sessionId")).toString(),
             m_ann.chat->chatAuth().userId);
}

void TestVoiceSession::anotherProcessInTheCall()
{
    // Chloé's session runs in a process of its own, with its own connection to
    // the sound server.
    QProcess chloe;
    chloe.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    chloe.start(QStringLiteral(ORVANE_VOICE_PEER),
                {QStringLiteral("chloe@orvane.test"), QStringLiteral("orvane-demo-3"),
                 QStringLiteral("voice_mic_c.monitor"), QStringLiteral("voice_speakers_c")});
    QVERIFY(chloe.waitForStarted(10000));
    QByteArray said;
    QTRY_VERIFY_WITH_TIMEOUT((said += chloe.readAllStandardOutput()).contains("joined")
                                 || chloe.state() != QProcess::Running,
                             20000);
    QCOMPARE(chloe.state(), QProcess::Running);
    QTRY_COMPARE_WITH_TIMEOUT(m_ben.chat->participants().size(), 2, 10000);

    // Ann's tone reaches the other process's speakers at its pitch...
    Recorder chloeSpeakers(QStringLiteral("voice_speakers_c"));
    QVERIFY(chloeSpeakers.isRecording());
    QVector<qint16> heard;
    QVERIFY(QTest::qWaitFor(
        [&] {
            heard = chloeSpeakers.record(1000);
            return rms(heard) > 1000;
        },
        8000));
    QVERIFY2(std::abs(frequency(heard) - 440) < 5, qPrintable(QString::number(frequency(heard))));

    // ...and Ben muting Ann silences her for Ben only.
    m_ben.chat->muteUser(1001, true);
    QVERIFY2(benHearsNothing(), "Ben still hears Ann");
    QVERIFY(QTest::qWaitFor([&] { return rms(chloeSpeakers.record(400)) > 1000; }, 8000));
    m_ben.chat->muteUser(1001, false);
    QVERIFY(benHears());

    // Chloé's program ends: she leaves the others' participants.
    QSignalSpy left(m_ben.chat.get(), &ChatManager::voiceMemberLeft);
    chloe.closeWriteChannel();
    QVERIFY(chloe.waitForFinished(10000));
    QVERIFY(left.wait(10000));
    QCOMPARE(left.first().first().toString(), QStringLiteral("Chloé Martin"));
}

void TestVoiceSession::rejoinsOnErrorsButNotForEver()
{
    // The engine's error 17 makes the session leave and join again...
    QSignalSpy joined(m_ann.chat.get(), &ChatManager::joinedAgoraVoiceChannel);
    QSignalSpy failed(m_ann.chat.get(), &ChatManager::errorOccurred);
    const auto raise = [this](int code) {
        const QJsonObject voice = m_inspector.get(QStringLiteral("/voice")).toObject();
        const QJsonArray members = voice.value(QStringLiteral("channels"))
                                       .toObject()
                                       .value(m_ann.chat->chatAuth().channelId)
                                       .toArray();
        for (const QJsonValue &member : members) {
            const quint32 uid = quint32(member.toObject().value(QStringLiteral("uid")).toDouble());
            if ((uid & VoiceChatParticipant::numberMask) != m_ben.chat->participants().value(0).uid)
                continue;
            m_inspector.post(QStringLiteral("/voice/error"),
                             {{QStringLiteral("uid"), double(uid)}, {QStringLiteral("code"), code}});
        }
    };
    raise(17);
    QVERIFY(joined.wait(10000));
    QTRY_COMPARE_WITH_TIMEOUT(m_ben.chat->participants().size(), 1, 5000);
    raise(120);
    QVERIFY(joined.wait(10000));
    QVERIFY(failed.isEmpty());
    // ...but a join refused again and again is not asked for for ever: after
    // the limit in a row it stops and says so.
    m_inspector.post(QStringLiteral("/voice/refuse-joins"), {{QStringLiteral("times"), 100}});
    QTRY_COMPARE_WITH_TIMEOUT(m_ben.chat->participants().size(), 1, 5000);
    joined.clear();
    raise(17);
    QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 1, 10000);
    QCOMPARE(failed.first().at(0).toString(), QStringLiteral("Error joining voice channel"));
    QTest::qWait(1000);
    QCOMPARE(failed.size(), 1);
    QVERIFY(joined.isEmpty());
    const int refusedLeft
        = m_inspector.post(QStringLiteral("/voice/refuse-joins"), {{QStringLiteral("times"), 0}})
              .toObject()
              .value(QStringLiteral("refusals"))
              .toInt(-1);
    QCOMPARE(refusedLeft, 0);
    QVERIFY(m_ann.joinVoice());
}

QTEST_GUILESS_MAIN(TestVoiceSession)
#include "tst_voicesession.moc"
