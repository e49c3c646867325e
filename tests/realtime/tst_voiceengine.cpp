// The voice engine against the deployment's hub and a sound server of its own
// (tests/support/with-sound-server.sh): three engines in one voice channel, each
// with its own microphone and speakers. A 440 Hz tone played into A's microphone
// must come out of B's speakers at 440 Hz, and the mutes, the volume reports, the
// secret and the device choice must do what they say.
#include "chattestsupport.h"
#include "rtcengine.h"
#include "sandboxinspector.h"
#include "voicetestsupport.h"

#include <QAudioDeviceInfo>
#include <QAudioInput>
#include <QAudioOutput>
#include <QDir>
#include <QElapsedTimer>
#include <QMutex>
#include <QtTest>

#include <cmath>
#include <cstring>
#include <memory>
#include <unistd.h>

using namespace orvane::rtc;
using namespace VoiceTestSupport;

namespace {

const QString appId = QStringLiteral("4f1c9a2e7b3d4c5e8a6f0b1d2c3e4f5a");

// What one engine reports, from its thread.
class Events : public IRtcEngineEventHandler
{
public:
    void onJoinChannelSuccess(const QString &, quint32, int) override { note(QStringLiteral("joined")); }
    void onLeaveChannel() override { note(QStringLiteral("left")); }
    void onError(int code, const QString &) override { note(QStringLiteral("error %1").arg(code)); }
    void onUserJoined(quint32 uid, int) override { note(QStringLiteral("userJoined %1").arg(uid)); }
    void onUserOffline(quint32 uid, int) override { note(QStringLiteral("userOffline %1").arg(uid)); }
    void onFirstRemoteAudioDecoded(quint32 uid, int) override
    {
        note(QStringLiteral("firstAudio %1").arg(uid));
    }
    void onAudioVolumeIndication(const AudioVolumeInfo *speakers, unsigned int count, int) override
    {
        QMutexLocker lock(&m_mutex);
        for (unsigned int i = 0; i < count; ++i) {
            if (speakers[i].volume > m_loudest.value(speakers[i].uid).volume)
                m_loudest.insert(speakers[i].uid, speakers[i]);
        }
        ++m_reports;
    }

    bool seen(const QString &event) const
    {
        QMutexLocker lock(&m_mutex);
        return m_events.contains(event);
    }
    int count(const QString &event) const
    {
        QMutexLocker lock(&m_mutex);
        return m_events.count(event);
    }
    AudioVolumeInfo loudest(quint32 uid) const
    {
        QMutexLocker lock(&m_mutex);
        return m_loudest.value(uid);
    }
    int reports() const
    {
        QMutexLocker lock(&m_mutex);
        return m_reports;
    }
    void clear()
    {
        QMutexLocker lock(&m_mutex);
        m_events.clear();
        m_loudest.clear();
        m_reports = 0;
    }

private:
    void note(const QString &event)
    {
        QMutexLocker lock(&m_mutex);
        m_events << event;
    }

    mutable QMutex m_mutex;
    QStringList m_events;
    QMap<quint32, AudioVolumeInfo> m_loudest;
    int m_reports = 0;
};

struct Member
{
    quint32 uid = 0;
    ChatAuth auth;
    Events events;
    std::unique_ptr<RtcEngine> engine;
};

} // namespace

class TestVoiceEngine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void toneArrivesAt440Hz();
    void micMuteStopsTheTone();
    void perUserMuteIsForTheListenerOnly();
    void speakersMute();
    void volumeReportsNameTheSpeaker();
    void aMutedUserStaysMutedAfterRejoining();
    void wrongSecretGivesSilence();
    void chosenDevicesCarryTheSound();
    void lossAndJitterAreConcealed();
    void latencyAndCpuFigures();
    void refusedJoins_data();
    void refusedJoins();

private:
    bool join(Member &member);
    bool allJoined();
    // Whether the tone comes to (or is gone from) those speakers within a few
    // seconds: a change takes its way through the engines' threads, the relay
    // and the jitter buffers.
    bool hears(const QString &speakers);
    bool silent(const QString &speakers);

    SandboxInspector m_inspector;
    Member m_members[3];
    std::unique_ptr<TonePlayer> m_tone;
    std::unique_ptr<Recorder> m_recorderB;
    std::unique_ptr<Recorder> m_recorderC;
};

void TestVoiceEngine::initTestCase()
{
    QVERIFY2(m_inspector.isValid(), qPrintable(m_inspector.errorText()));
    QVERIFY2(!device(QAudio::AudioOutput, QStringLiteral("voice_mic_a")).isNull(),
             "needs the suite's sound server: run under tests/support/with-sound-server.sh");
    const struct
    {
        const char *email;
        const char *password;
        const char *chatUser;
        quint32 uid;
    } people[] = {
        {"ann@orvane.test", "orvane-demo-1", "u-1|voice", 1001},
        {"ben@orvane.test", "orvane-demo-2", "u-2|voice", 1002},
        {"chloe@orvane.test", "orvane-demo-3", "u-3|voice", 1003},
    };
    const char *const devices[][2] = {{"voice_mic_a.monitor", "voice_speakers_a"},
                                      {"voice_mic_b.monitor", "voice_speakers_b"},
                                      {"voice_mic_c.monitor", "voice_speakers_c"}};
    for (int i = 0; i < 3; ++i) {
        Member &member = m_members[i];
        const QString token = ChatTestSupport::signIn(people[i].email, people[i].password);
        QVERIFY(!token.isEmpty());
        member.auth = ChatTestSupport::credentials(token, QStringLiteral("acme"), QStringLiteral("41"),
                                                   people[i].chatUser);
        QVERIFY(!member.auth.rtcToken.isEmpty());
        member.uid = people[i].uid;
        member.engine = std::make_unique<RtcEngine>();
        RtcEngineContext context;
        context.eventHandler = &member.events;
        context.appId = appId;
        QCOMPARE(member.engine->initialize(context), 0);
        QCOMPARE(member.engine->setRecordingDevice(devices[i][0]), 0);
        QCOMPARE(member.engine->setPlaybackDevice(devices[i][1]), 0);
        QCOMPARE(member.engine->enableAudioVolumeIndication(200, 3, true), 0);
    }
    // One channel, one secret: the deployment gives everybody in it the same.
    QCOMPARE(m_members[1].auth.encryptionSecret, m_members[0].auth.encryptionSecret);
    QCOMPARE(m_members[0].auth.encryptionMode, QStringLiteral("aes-128-xts"));

    m_tone = std::make_unique<TonePlayer>(QStringLiteral("voice_mic_a"), 440);
    m_recorderB = std::make_unique<Recorder>(QStringLiteral("voice_speakers_b"));
    m_recorderC = std::make_unique<Recorder>(QStringLiteral("voice_speakers_c"));
    QVERIFY(m_recorderB->isRecording() && m_recorderC->isRecording());
}

void TestVoiceEngine::cleanupTestCase()
{
    for (Member &member : m_members) {
        if (member.engine)
            member.engine->release();
    }
    m_inspector.post(QStringLiteral("/voice/network"),
                     {{QStringLiteral("loss"), 0}, {QStringLiteral("jitterMs"), 0}});
}

void TestVoiceEngine::init()
{
    m_tone->setOn(true);
    // Each with its own devices, whatever a failed test left.
    const char *const devices[][2] = {{"voice_mic_a.monitor", "voice_speakers_a"},
                                      {"voice_mic_b.monitor", "voice_speakers_b"},
                                      {"voice_mic_c.monitor", "voice_speakers_c"}};
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(m_members[i].engine->setRecordingDevice(devices[i][0]), 0);
        QCOMPARE(m_members[i].engine->setPlaybackDevice(devices[i][1]), 0);
    }
    for (Member &member : m_members) {
        member.engine->muteLocalAudioStream(false);
        member.engine->muteAllRemoteAudioStreams(false);
        for (const Member &other : m_members)
            member.engine->muteRemoteAudioStream(other.uid, false);
        EncryptionConfig config;
        config.encryptionMode = AES_128_XTS;
        config.encryptionKey = member.auth.encryptionSecret.toUtf8();
        QCOMPARE(member.engine->enableEncryption(true, config), 0);
    }
    QVERIFY(allJoined());
}

bool TestVoiceEngine::join(Member &member)
{
    member.events.clear();
    if (member.engine->joinChannel(member.auth.rtcToken, member.auth.channelId, member.uid) != 0)
        return false;
    return QTest::qWaitFor([&] { return member.events.seen(QStringLiteral("joined")); }, 10000);
}

bool TestVoiceEngine::allJoined()
{
    for (Member &member : m_members) {
        if (!member.events.seen(QStringLiteral("joined")) || member.events.seen(QStringLiteral("left"))) {
            if (!join(member))
                return false;
        }
    }
    // Everybody's audio is flowing once each has heard the others.
    return QTest::qWaitFor(
        [&] {
            return m_inspector.get(QStringLiteral("/voice"))
                       .toObject()
                       .value("channels")
                       .toObject()
                       .value(m_members[0].auth.channelId)
                       .toArray()
                       .size()
                == 3;
        },
        10000);
}

bool TestVoiceEngine::hears(const QString &speakers)
{
    Recorder &recorder = speakers == QLatin1String("b") ? *m_recorderB : *m_recorderC;
    return QTest::qWaitFor([&] { return rms(recorder.record(400)) > 1000; }, 8000);
}

bool TestVoiceEngine::silent(const QString &speakers)
{
    Recorder &recorder = speakers == QLatin1String("b") ? *m_recorderB : *m_recorderC;
    return QTest::qWaitFor([&] { return rms(recorder.record(400)) < 100; }, 8000);
}

void TestVoiceEngine::toneArrivesAt440Hz()
{
    QTest::qWait(500);
    const QVector<qint16> heard = m_recorderB->record(1000);
    QVERIFY2(rms(heard) > 1000, qPrintable(QString::number(rms(heard))));
    const double measured = frequency(heard);
    QVERIFY2(std::abs(measured - 440) < 5, qPrintable(QString::number(measured)));
    QVERIFY(m_members[1].events.seen(QStringLiteral("firstAudio %1").arg(m_members[0].uid)));
}

void TestVoiceEngine::micMuteStopsTheTone()
{
    QVERIFY(hears("b"));
    m_members[0].engine->muteLocalAudioStream(true);
    QVERIFY2(silent("b"), "still heard while A's microphone is muted");
    m_members[0].engine->muteLocalAudioStream(false);
    QVERIFY2(hears("b"), "not heard again after unmuting");
}

void TestVoiceEngine::perUserMuteIsForTheListenerOnly()
{
    m_members[1].engine->muteRemoteAudioStream(m_members[0].uid, true);
    QVERIFY2(silent("b"), "B still hears A");
    QVERIFY2(hears("c"), "C no longer hears A");
    m_members[1].engine->muteRemoteAudioStream(m_members[0].uid, false);
    QVERIFY(hears("b"));
}

void TestVoiceEngine::speakersMute()
{
    m_members[1].engine->muteAllRemoteAudioStreams(true);
    QVERIFY(silent("b"));
    QVERIFY(hears("c"));
    m_members[1].engine->muteAllRemoteAudioStreams(false);
    QVERIFY(hears("b"));
}

void TestVoiceEngine::volumeReportsNameTheSpeaker()
{
    m_members[1].events.clear();
    QTest::qWait(1200);
    QVERIFY(m_members[1].events.reports() >= 4);
    const AudioVolumeInfo a = m_members[1].events.loudest(m_members[0].uid);
    QVERIFY2(a.volume >= 30, qPrintable(QString::number(a.volume)));
    QCOMPARE(a.vad, 1u);
    // C says nothing.
    QVERIFY(m_members[1].events.loudest(m_members[2].uid).volume < 30);
}

void TestVoiceEngine::aMutedUserStaysMutedAfterRejoining()
{
    m_members[1].engine->muteRemoteAudioStream(m_members[0].uid, true);
    m_members[0].engine->leaveChannel();
    QTRY_VERIFY_WITH_TIMEOUT(m_members[1].events.seen(QStringLiteral("userOffline %1").arg(m_members[0].uid)),
                             5000);
    QVERIFY(join(m_members[0]));
    QTRY_VERIFY_WITH_TIMEOUT(
        m_members[1].events.count(QStringLiteral("userJoined %1").arg(m_members[0].uid)) >= 1, 5000);
    // A's audio flows again (C hears it), and B still has A muted.
    QVERIFY(hears("c"));
    QVERIFY2(silent("b"), "A is heard again after rejoining");
}

void TestVoiceEngine::wrongSecretGivesSilence()
{
    EncryptionConfig wrong;
    wrong.encryptionMode = AES_128_XTS;
    wrong.encryptionKey = "not-the-channel-secret";
    QCOMPARE(m_members[1].engine->enableEncryption(true, wrong), 0);
    QVERIFY2(silent("b"), "B hears noise or the tone with the wrong secret");
    QVERIFY(hears("c"));
}

void TestVoiceEngine::chosenDevicesCarryTheSound()
{
    // B listens on the spare speakers now: the sound moves there.
    Recorder spare(QStringLiteral("voice_spare_speakers"));
    QVERIFY(spare.isRecording());
    QCOMPARE(m_members[1].engine->setPlaybackDevice(QStringLiteral("voice_spare_speakers")), 0);
    QVERIFY(QTest::qWaitFor([&] { return rms(spare.record(400)) > 1000; }, 8000));
    QVERIFY(silent("b"));
    QCOMPARE(m_members[1].engine->setPlaybackDevice(QStringLiteral("voice_speakers_b")), 0);
    QVERIFY(hears("b"));

    // A speaks into the spare microphone: the tone (played into A's own) is gone.
    QCOMPARE(m_members[0].engine->setRecordingDevice(QStringLiteral("voice_spare_mic.monitor")), 0);
    QVERIFY(silent("b"));
    QCOMPARE(m_members[0].engine->setRecordingDevice(QStringLiteral("voice_mic_a.monitor")), 0);
    QVERIFY(hears("b"));
    QCOMPARE(m_members[0].engine->setRecordingDevice(QStringLiteral("no such device")),
             -int(ERR_INVALID_ARGUMENT));
}

void TestVoiceEngine::lossAndJitterAreConcealed()
{
    m_inspector.post(QStringLiteral("/voice/network"),
                     {{QStringLiteral("loss"), 0.1}, {QStringLiteral("jitterMs"), 30}});
    qint64 playedBefore = 0;
    qint64 concealedBefore = 0;
    m_members[1].engine->playoutStatistics(&playedBefore, &concealedBefore);
    QTest::qWait(500);
    const QVector<qint16> heard = m_recorderB->record(3000);
    qint64 played = 0;
    qint64 concealed = 0;
    m_members[1].engine->playoutStatistics(&played, &concealed);
    m_inspector.post(QStringLiteral("/voice/network"),
                     {{QStringLiteral("loss"), 0}, {QStringLiteral("jitterMs"), 0}});
    const double measured = frequency(heard);
    const double share = double(concealed - concealedBefore) / double(qMax<qint64>(1, played - playedBefore));
    qInfo("With 10 %% loss and 30 ms jitter: %.1f %% of the frames played were concealed, tone at %.1f Hz",
          share * 100, measured);
    QVERIFY2(std::abs(measured - 440) < 5, qPrintable(QString::number(measured)));
    QVERIFY(rms(heard) > 1000);
    QVERIFY(concealed > concealedBefore);
}

namespace {

// CPU seconds the engines' threads have used so far.
double engineThreadSeconds()
{
    double seconds = 0;
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile name(tasks.filePath(task + QStringLiteral("/comm")));
        if (!name.open(QIODevice::ReadOnly) || name.readAll().trimmed() != "rtc engine")
            continue;
        QFile stat(tasks.filePath(task + QStringLiteral("/stat")));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QList<QByteArray> fields = stat.readAll().split(')').value(1).trimmed().split(' ');
        // utime and stime, the 14th and 15th fields of the whole line.
        seconds += (fields.value(11).toDouble() + fields.value(12).toDouble()) / double(sysconf(_SC_CLK_TCK));
    }
    return seconds;
}

int onset(const QVector<qint16> &samples)
{
    for (int i = 0; i < samples.size(); ++i) {
        if (std::abs(samples[i]) > 2000)
            return i;
    }
    return -1;
}

} // namespace

void TestVoiceEngine::latencyAndCpuFigures()
{
    // Mouth to ear: the tone's start in A's microphone and in B's speakers,
    // recorded side by side from the moment it is switched on.
    Recorder mouth(QStringLiteral("voice_mic_a"));
    QVERIFY(mouth.isRecording());
    QVector<int> delays;
    for (int attempt = 0; attempt < 3; ++attempt) {
        m_tone->setOn(false);
        QTest::qWait(700);
        QByteArray atMouth;
        QByteArray atEar;
        QIODevice *mouthStream = nullptr;
        QIODevice *earStream = nullptr;
        mouth.drain(&mouthStream);
        m_recorderB->drain(&earStream);
        m_tone->setOn(true);
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 1000) {
            QTest::qWait(5);
            atMouth += mouthStream->readAll();
            atEar += earStream->readAll();
        }
        const auto samples = [](const QByteArray &bytes) {
            QVector<qint16> values(bytes.size() / 2);
            std::memcpy(values.data(), bytes.constData(), size_t(values.size()) * 2);
            return values;
        };
        const int spoken = onset(samples(atMouth));
        const int heard = onset(samples(atEar));
        QVERIFY2(spoken >= 0 && heard > spoken, qPrintable(QStringLiteral("%1 %2").arg(spoken).arg(heard)));
        delays << (heard - spoken) * 1000 / rate;
    }
    std::sort(delays.begin(), delays.end());
    qInfo("Mouth to ear on loopback: %d ms (median of %d: %d to %d ms)", delays.at(1), int(delays.size()),
          delays.first(), delays.last());

    // CPU of the engines in a three-way call while A talks.
    const double before = engineThreadSeconds();
    QElapsedTimer wall;
    wall.start();
    QTest::qWait(5000);
    const double used = engineThreadSeconds() - before;
    qInfo("CPU of one engine in a three-way call: %.1f %% of a core (engine threads, this build)",
          used / 3 / (double(wall.elapsed()) / 1000) * 100);
    QVERIFY(used > 0);
}

void TestVoiceEngine::refusedJoins_data()
{
    QTest::addColumn<QString>("token");
    QTest::addColumn<int>("code");
    QTest::newRow("token of no channel") << "0123456789abcdef" << int(ERR_INVALID_TOKEN);
}

void TestVoiceEngine::refusedJoins()
{
    QFETCH(QString, token);
    QFETCH(int, code);
    Events events;
    RtcEngine engine;
    RtcEngineContext context;
    context.eventHandler = &events;
    context.appId = appId;
    QCOMPARE(engine.initialize(context), 0);
    QCOMPARE(engine.joinChannel(token, m_members[0].auth.channelId, 2001), 0);
    QTRY_VERIFY_WITH_TIMEOUT(events.seen(QStringLiteral("error %1").arg(code)), 10000);
    QVERIFY(!events.seen(QStringLiteral("joined")));
    // A uid somebody in the channel uses already.
    Events second;
    RtcEngine clash;
    context.eventHandler = &second;
    QCOMPARE(clash.initialize(context), 0);
    QCOMPARE(clash.joinChannel(m_members[2].auth.rtcToken, m_members[2].auth.channelId, m_members[0].uid), 0);
    QTRY_VERIFY_WITH_TIMEOUT(second.seen(QStringLiteral("error %1").arg(int(ERR_JOIN_CHANNEL_REJECTED))),
                             10000);
}

QTEST_GUILESS_MAIN(TestVoiceEngine)
#include "tst_voiceengine.moc"
