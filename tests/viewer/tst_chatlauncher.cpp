// The viewer's chat launcher against a stand-in chat program: the command line,
// the token handed over on standard input, restarts, crash retries, ending it,
// and the recording links read from the chat socket.
#include "app/chatlauncher.h"
#include "app/recordinglinks.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

namespace {

const QString token = QStringLiteral("tok-5f1c9a27d3e84b60");

ChatLauncher::Session session(bool text = true, bool voice = false, bool staging = false)
{
    ChatLauncher::Session s;
    s.token = token;
    s.companySlug = "acme";
    s.companyId = "101";
    s.workspaceId = "41";
    s.spaceId = "41";
    s.workspaceName = "North Site";
    s.textEnabled = text;
    s.voiceEnabled = voice;
    s.staging = staging;
    return s;
}

QStringList logged;

void captureLog(QtMsgType, const QMessageLogContext &, const QString &message)
{
    logged << message;
}

// Whether the process is alive (a zombie waiting for its parent is not).
bool processExists(qint64 pid)
{
    QFile status(QString("/proc/%1/status").arg(pid));
    return pid > 0 && status.open(QIODevice::ReadOnly) && !status.readAll().contains("State:\tZ");
}

} // namespace

class TestChatLauncher : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void commandLine_data();
    void commandLine();
    void tokenOnlyOnStandardInput();
    void restartsOnChangedFlagsOnly();
    void crashIsRetriedAfterASecond();
    void crashingProgramIsNotRetriedForEver();
    void closeEndsTheProgram();
    void recordingLinks();
    void linksFromALaterStart_data();
    void linksFromALaterStart();

private:
    QList<QJsonObject> starts() const;

    QTemporaryDir m_dir;
    QString m_record;
    QString m_program;
};

void TestChatLauncher::initTestCase()
{
    QVERIFY(m_dir.isValid());
    qputenv("XDG_RUNTIME_DIR", m_dir.path().toUtf8());
    QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    m_program = QStringLiteral(ORVANE_CHAT_STANDIN);
}

void TestChatLauncher::init()
{
    static int run = 0;
    m_record = m_dir.path() + QString("/starts-%1.jsonl").arg(++run);
    qputenv("ORVANE_STANDIN_RECORD", m_record.toUtf8());
    qputenv("ORVANE_STANDIN_MODE", "run");
    qunsetenv("ORVANE_STANDIN_LINKS");
}

void TestChatLauncher::cleanup()
{
    qInstallMessageHandler(nullptr);
}

QList<QJsonObject> TestChatLauncher::starts() const
{
    QList<QJsonObject> lines;
    QFile file(m_record);
    if (!file.open(QIODevice::ReadOnly))
        return lines;
    for (const QByteArray &line : file.readAll().split('\n'))
        if (!line.isEmpty())
            lines << QJsonDocument::fromJson(line).object();
    return lines;
}

void TestChatLauncher::commandLine_data()
{
    QTest::addColumn<bool>("staging");
    QTest::addColumn<QString>("environment");
    QTest::newRow("staging") << true << "staging";
    QTest::newRow("any other environment") << false << "production";
}

void TestChatLauncher::commandLine()
{
    QFETCH(bool, staging);
    QFETCH(QString, environment);
    ChatLauncher launcher;
    ChatLauncher::Session s = session(true, false, staging);
    s.workspaceId = "43"; // asked for; the selected space is sent second
    launcher.open(m_program, s, true);
    QTRY_COMPARE_WITH_TIMEOUT(starts().size(), 1, 10000);
    const QStringList args = starts().first().value("args").toVariant().toStringList();
    QCOMPARE(args,
             (QStringList{"--token", "-", "--company", "acme", "--companyId", "101", "--workspaceId", "43",
                          "--textEnabled", "true", "--voiceEnabled", "false", "--workspaceName", "North Site",
                          "--workspaceId", "41", "--environment", environment}));
}

void TestChatLauncher::tokenOnlyOnStandardInput()
{
    logged.clear();
    qInstallMessageHandler(captureLog);
    {
        ChatLauncher launcher;
        launcher.open(m_program, session(), true);
        QTRY_COMPARE_WITH_TIMEOUT(starts().size(), 1, 10000);
        const QJsonObject start = starts().first();
        QCOMPARE(start.value("stdin").toString(), token);
        QVERIFY(!start.value("args").toVariant().toStringList().contains(token));
        // Nor can any other user read it from the process's command line.
        QFile cmdline(QString("/proc/%1/cmdline").arg(start.value("pid").toInt()));
        QVERIFY(cmdline.open(QIODevice::ReadOnly));
        QVERIFY(!cmdline.readAll().contains(token.toUtf8()));
    }
    qInstallMessageHandler(nullptr);
    QVERIFY(logged.join('\n').contains("Opening with arguments"));
    for (const QString &line : qAsConst(logged))
        QVERIFY2(!line.contains(token), qPrintable(line));
    // Callers that still pass the token on the command line get it masked.
    QCOMPARE(ChatLauncher::loggable({"--auth-token", token, "--company", "acme"}),
             QString("--auth-token *** --company acme"));
}

void TestChatLauncher::restartsOnChangedFlagsOnly()
{
    ChatLauncher launcher;
    launcher.open(m_program, session(true, false), true);
    QTRY_COMPARE_WITH_TIMEOUT(starts().size(), 1, 10000);
    const qint64 first = launcher.processId();

    launcher.open(m_program, session(true, false), false); // same flags: left running
    QTest::qWait(500);
    QCOMPARE(starts().size(), 1);
    QCOMPARE(launcher.processId(), first);

    launcher.open(m_program, session(true, true), false); // voice turned on: restarted
    QTRY_COMPARE_WITH_TIMEOUT(starts().size(), 2, 10000);
    QTRY_VERIFY(!processExists(first));
    QVERIFY(launcher.isRunning());
    QVERIFY(launcher.processId() != first);
}

void TestChatLauncher::crashIsRetriedAfterASecond()
{
    qputenv("ORVANE_STANDIN_MODE", "crash-once");
    ChatLauncher launcher;
    launcher.open(m_program, session(), true);
    QTRY_COMPARE_WITH_TIMEOUT(starts().size(), 2, 15000);
    QTRY_VERIFY(launcher.isRunning());
}

void TestChatLauncher::crashingProgramIsNotRetriedForEver()
{
    qputenv("ORVANE_STANDIN_MODE", "crash-always");
    ChatLauncher launcher;
    launcher.open(m_program, session(), true);
    // The first start and three retries, then no more.
    QTRY_COMPARE_WITH_TIMEOUT(starts().size(), 4, 20000);
    QTest::qWait(2500);
    QCOMPARE(starts().size(), 4);
    QVERIFY(!launcher.isRunning());
}

void TestChatLauncher::closeEndsTheProgram()
{
    ChatLauncher launcher;
    launcher.open(m_program, session(), true);
    QTRY_COMPARE_WITH_TIMEOUT(starts().size(), 1, 10000);
    const qint64 pid = starts().first().value("pid").toInt();
    QVERIFY(processExists(pid));
    launcher.close();
    QCOMPARE(launcher.processId(), qint64(-1));
    QTRY_VERIFY_WITH_TIMEOUT(!processExists(pid), 5000);
}

void TestChatLauncher::recordingLinks()
{
    qputenv("ORVANE_STANDIN_LINKS",
            "orvanetv://open?recordingId=rec-1\n"
            "orvanetv://open?recordingId=rec-1\n"
            "https://app.orvane.tv/open?recordingId=rec-2\n"
            "orvanetv://open\n"
            "orvanetv://open?recordingId=rec%2B3\n");
    ChatLauncher launcher;
    QSignalSpy links(&launcher, &ChatLauncher::recordingLinkReceived);
    launcher.open(m_program, session(), true);
    QTRY_COMPARE_WITH_TIMEOUT(links.count(), 2, 10000);
    QTest::qWait(300);
    QCOMPARE(links.count(), 2);
    QCOMPARE(links.at(0).at(0).toString(), QString("rec-1")); // the repeat is ignored
    QCOMPARE(links.at(1).at(0).toString(), QString("rec+3"));
}

void TestChatLauncher::linksFromALaterStart_data()
{
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("recordingId");
    QTest::newRow("a link") << "orvanetv://recording?recordingId=rec-41-1"
                            << "rec-41-1";
    QTest::newRow("escaped id") << "orvanetv://recording?recordingId=a%20b&recordingName=x"
                                << "a b";
    QTest::newRow("no id") << "orvanetv://recording?recordingName=x"
                           << "";
    QTest::newRow("another scheme") << "https://app.orvane.tv/?recordingId=r"
                                    << "";
}

void TestChatLauncher::linksFromALaterStart()
{
    QFETCH(QString, link);
    QFETCH(QString, recordingId);
    QCOMPARE(RecordingLinks::recordingIdOf(link), recordingId);
    QCOMPARE(RecordingLinks::linkArgument({"QtOrvaneTV", "--flag", link}),
             link.startsWith("orvanetv:") ? link : QString());

    // Nobody listens yet: the link stays with this start.
    QVERIFY(!RecordingLinks::forwardToRunningViewer(link));
    RecordingLinks running;
    QVERIFY(running.listen());
    QSignalSpy requested(&running, &RecordingLinks::recordingRequested);
    QVERIFY(RecordingLinks::forwardToRunningViewer(link));
    if (recordingId.isEmpty()) {
        QVERIFY(!requested.wait(500));
    } else {
        QVERIFY(requested.wait(3000));
        QCOMPARE(requested.first().first().toString(), recordingId);
    }
}

QTEST_GUILESS_MAIN(TestChatLauncher)
#include "tst_chatlauncher.moc"
