// The file log: line format, drop rules per program, rotation, pruning, many
// threads at once, and fatal messages.
#include "logcategories.h"
#include "logutils.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <sys/stat.h>

#include <fcntl.h>
#include <unistd.h>

using LogUtils::Configuration;

namespace {

Configuration configurationNamed(const QString &name, const QString &base)
{
    Configuration configuration = name == "chat" ? Configuration::chat()
        : name == "oauth"                        ? Configuration::oauth()
                                                 : Configuration::viewer();
    configuration.baseFolder = base;
    return configuration;
}

void log(QtMsgType type, const QString &message, const char *file = "main.cpp")
{
    const QMessageLogContext context(file, 1, "function", "default");
    LogUtils::messageHandler(type, context, message);
}

QStringList logLines(const QString &folder)
{
    QStringList lines;
    const QStringList files = QDir(folder).entryList({"Log_*.log"}, QDir::Files, QDir::Name);
    for (const QString &name : files) {
        QFile file(folder + "/" + name);
        file.open(QIODevice::ReadOnly);
        const QString text = QString::fromUtf8(file.readAll());
        lines << text.split('\n', Qt::SkipEmptyParts);
    }
    return lines;
}

void makeFiles(const QString &folder, const QString &prefix, int count)
{
    QDir().mkpath(folder);
    const QDateTime oldest = QDateTime::currentDateTime().addDays(-30);
    for (int i = 0; i < count; ++i) {
        QFile file(QStringLiteral("%1/%2%3.log").arg(folder, prefix).arg(i));
        file.open(QIODevice::WriteOnly);
        file.write("x\n");
        file.flush();
        file.setFileTime(oldest.addSecs(i * 60), QFileDevice::FileModificationTime);
    }
}

// Silences stderr (the default handler's output) while it lives.
class QuietStderr
{
public:
    QuietStderr()
        : m_saved(dup(2))
    {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 2);
        close(null);
    }
    ~QuietStderr()
    {
        dup2(m_saved, 2);
        close(m_saved);
    }

private:
    int m_saved;
};

} // namespace

class TestLogUtils : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void lineFormat_data();
    void lineFormat();
    void fileName();
    void logsAreReadableByTheirUserAlone();
    void dropRules_data();
    void dropRules();
    void ourCategoriesKeepTheirPrefixes_data();
    void ourCategoriesKeepTheirPrefixes();
    void rotationAtExactly20480Bytes();
    void pruning_data();
    void pruning();
    void startWithSixFiles();
    void unwritableFolder();
    void manyThreadsWithRotation();
    void fatalMessageIsWrittenBeforeAbort();

private:
    QScopedPointer<QTemporaryDir> m_dir;
};

void TestLogUtils::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
}

void TestLogUtils::lineFormat_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("expected");
    QTest::newRow("debug") << int(QtDebugMsg) << "[ D ] - 09:05:07 - hello";
    QTest::newRow("info") << int(QtInfoMsg) << "[ I ] - 09:05:07 - hello";
    QTest::newRow("warning") << int(QtWarningMsg) << "[ W ] - 09:05:07 - hello";
    QTest::newRow("critical") << int(QtCriticalMsg) << "[ C ] - 09:05:07 - hello";
    QTest::newRow("fatal") << int(QtFatalMsg) << "[ F ] - 09:05:07 - hello";
}

void TestLogUtils::lineFormat()
{
    QFETCH(int, type);
    QFETCH(QString, expected);
    QCOMPARE(LogUtils::formatLine(QtMsgType(type), "hello", QTime(9, 5, 7)), expected);
}

void TestLogUtils::fileName()
{
    LogUtils::configure(configurationNamed("viewer", m_dir->path()));
    QCOMPARE(LogUtils::logFolderName(), m_dir->path() + "/Orvane TV");
    QCOMPARE(LogUtils::crashFolderName(), m_dir->path() + "/Orvane TV/crashes");
    LogUtils::initLogFileName();
    QVERIFY2(QRegularExpression("/Orvane TV/Log_\\d{4}_\\d{2}_\\d{2}__\\d{2}_\\d{2}_\\d{2}_\\d{3}\\.log$")
                 .match(LogUtils::logFileName())
                 .hasMatch(),
             qPrintable(LogUtils::logFileName()));
    LogUtils::configure(configurationNamed("chat", m_dir->path()));
    QCOMPARE(LogUtils::logFolderName(), m_dir->path() + "/Orvane TV Chat");
    LogUtils::configure(configurationNamed("oauth", m_dir->path()));
    QCOMPARE(LogUtils::logFolderName(), m_dir->path() + "/Orvane TV Auth");
}

void TestLogUtils::logsAreReadableByTheirUserAlone()
{
    LogUtils::configure(configurationNamed("viewer", m_dir->path()));
    const mode_t previous = ::umask(0);
    const bool started = LogUtils::initLogging();
    qInfo("private line");
    qInstallMessageHandler(nullptr);
    ::umask(previous);
    QVERIFY(started);
    const auto owner = QFile::ReadOwner | QFile::WriteOwner;
    const auto user = QFile::ReadUser | QFile::WriteUser | QFile::ExeUser;
    QCOMPARE(QFile::permissions(LogUtils::logFileName()) & ~user, owner);
    QCOMPARE(QFile::permissions(LogUtils::logFolderName()) & ~user, owner | QFile::ExeOwner);
    QCOMPARE(QFile::permissions(LogUtils::crashFolderName()) & ~user, owner | QFile::ExeOwner);
}

void TestLogUtils::dropRules_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("written");
    QTest::newRow("viewer, plain") << "viewer" << QByteArray("main.cpp") << "Started" << true;
    QTest::newRow("viewer, Formatting")
        << "viewer" << QByteArray("main.cpp") << "Formatting the date" << false;
    QTest::newRow("viewer, formatting in lower case")
        << "viewer" << QByteArray("main.cpp") << "formatting" << true;
    QTest::newRow("viewer, Formatting later in the text")
        << "viewer" << QByteArray("main.cpp") << "Now Formatting" << true;
    QTest::newRow("chat, Formatting") << "chat" << QByteArray("main.cpp") << "Formatting the date" << true;
    QTest::newRow("oauth, Formatting") << "oauth" << QByteArray("main.cpp") << "Formatting the date" << false;
    QTest::newRow("client data dump")
        << "viewer" << QByteArray("/src/QtOVCoreAPIFramework/x.cpp") << "Data type: 3" << false;
    QTest::newRow("client data dump in the chat program")
        << "chat" << QByteArray("/src/QtOVCoreAPIFramework/x.cpp") << "Data type: 3" << false;
    QTest::newRow("data type elsewhere")
        << "viewer" << QByteArray("/src/viewer/x.cpp") << "Data type: 3" << true;
    QTest::newRow("client, other text")
        << "viewer" << QByteArray("/src/QtOVCoreAPIFramework/x.cpp") << "Request: GET" << true;
    QTest::newRow("no source file") << "viewer" << QByteArray() << "Data type: 3" << true;
}

void TestLogUtils::dropRules()
{
    QFETCH(QString, program);
    QFETCH(QByteArray, file);
    QFETCH(QString, message);
    QFETCH(bool, written);
    LogUtils::configure(configurationNamed(program, m_dir->path()));
    QDir().mkpath(LogUtils::logFolderName());
    LogUtils::initLogFileName();
    QuietStderr quiet;
    log(QtInfoMsg, message, file.isNull() ? nullptr : file.constData());
    log(QtInfoMsg, "marker");
    const QStringList lines = logLines(LogUtils::logFolderName());
    QCOMPARE(lines.size(), written ? 2 : 1);
    QVERIFY(lines.last().endsWith(" - marker"));
    if (written)
        QVERIFY(lines.first().endsWith(" - " + message));
}

void TestLogUtils::ourCategoriesKeepTheirPrefixes_data()
{
    QTest::addColumn<QByteArray>("category");
    QTest::addColumn<QString>("line");
    QTest::newRow("player") << QByteArray("orvane.player") << "Player: mpv opened";
    QTest::newRow("video") << QByteArray("orvane.video") << "Video: mpv opened";
    QTest::newRow("socket.io") << QByteArray("orvane.socketio") << "SIO mpv opened";
    QTest::newRow("realtime") << QByteArray("orvane.realtime") << "Realtime: mpv opened";
    QTest::newRow("default") << QByteArray("default") << "mpv opened";
    QTest::newRow("another library's") << QByteArray("qt.network.ssl") << "mpv opened";
}

void TestLogUtils::ourCategoriesKeepTheirPrefixes()
{
    QFETCH(QByteArray, category);
    QFETCH(QString, line);
    LogUtils::configure(configurationNamed("viewer", m_dir->path()));
    QDir().mkpath(LogUtils::logFolderName());
    LogUtils::initLogFileName();
    QuietStderr quiet;
    const QMessageLogContext context("avplayer.cpp", 1, "function", category.constData());
    LogUtils::messageHandler(QtDebugMsg, context, "mpv opened");
    const QStringList lines = logLines(LogUtils::logFolderName());
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines.first().endsWith(" - " + line), qPrintable(lines.first()));
    // The categories are the ones the layers log through.
    QCOMPARE(QByteArray(lcPlayer().categoryName()), QByteArray("orvane.player"));
    QVERIFY(!lcRealtime().isDebugEnabled() && lcRealtime().isInfoEnabled());
}

void TestLogUtils::rotationAtExactly20480Bytes()
{
    LogUtils::configure(configurationNamed("viewer", m_dir->path()));
    QDir().mkpath(LogUtils::logFolderName());
    LogUtils::initLogFileName();
    const QString first = LogUtils::logFileName();
    QFile file(first);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(LogUtils::rotationBytes, 'x'));
    file.close();

    QuietStderr quiet;
    log(QtInfoMsg, "still here"); // exactly 20480 bytes: appended
    QCOMPARE(LogUtils::logFileName(), first);
    QVERIFY(QFileInfo(first).size() > LogUtils::rotationBytes);
    QThread::msleep(2); // a new file name needs a new millisecond
    log(QtInfoMsg, "next file");
    QVERIFY(LogUtils::logFileName() != first);
    QFile next(LogUtils::logFileName());
    QVERIFY(next.open(QIODevice::ReadOnly));
    QVERIFY(next.readAll().endsWith(" - next file\n"));
}

void TestLogUtils::pruning_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<int>("logs");
    QTest::addColumn<int>("crashes");
    QTest::addColumn<int>("logsLeft");
    QTest::addColumn<int>("crashesLeft");
    QTest::newRow("viewer, four logs, seven crashes: nothing") << "viewer" << 4 << 7 << 4 << 7;
    QTest::newRow("viewer, five logs") << "viewer" << 5 << 7 << 5 << 7;
    QTest::newRow("viewer, six logs, seven crashes") << "viewer" << 6 << 7 << 5 << 5;
    QTest::newRow("viewer, nine logs, three crashes") << "viewer" << 9 << 3 << 5 << 3;
    QTest::newRow("chat keeps its crash folder") << "chat" << 6 << 7 << 5 << 7;
    QTest::newRow("oauth prunes its crash folder") << "oauth" << 8 << 6 << 5 << 5;
}

void TestLogUtils::pruning()
{
    QFETCH(QString, program);
    QFETCH(int, logs);
    QFETCH(int, crashes);
    QFETCH(int, logsLeft);
    QFETCH(int, crashesLeft);
    LogUtils::configure(configurationNamed(program, m_dir->path()));
    const QString folder = LogUtils::logFolderName();
    makeFiles(folder, "Log_", logs);
    makeFiles(LogUtils::crashFolderName(), "crash-", crashes);
    // A hidden file counts; a symbolic link and a folder do not.
    if (logs > 5)
        QFile::link(folder + "/Log_0.log", folder + "/link.log");

    LogUtils::deleteOldLogs();
    const QStringList remaining
        = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDir::Name);
    QCOMPARE(remaining.size(), logsLeft);
    // The oldest went first.
    for (int i = 0; i < logs - logsLeft; ++i)
        QVERIFY(!remaining.contains(QStringLiteral("Log_%1.log").arg(i)));
    QCOMPARE(QDir(LogUtils::crashFolderName()).entryList(QDir::Files).size(), crashesLeft);
}

void TestLogUtils::startWithSixFiles()
{
    LogUtils::configure(configurationNamed("viewer", m_dir->path()));
    makeFiles(LogUtils::logFolderName(), "Log_", 6);
    const QtMessageHandler testHandler = qInstallMessageHandler(nullptr);
    qInstallMessageHandler(testHandler);
    bool started = false;
    {
        QuietStderr quiet;
        started = LogUtils::initLogging();
        qInfo("first message");
        qInstallMessageHandler(testHandler);
    }
    QVERIFY(started);
    const QStringList files = QDir(LogUtils::logFolderName()).entryList(QDir::Files, QDir::Name);
    QCOMPARE(files.size(), 6);
    QVERIFY(!files.contains("Log_0.log"));
    QFile current(LogUtils::logFileName());
    QVERIFY(current.open(QIODevice::ReadOnly));
    QVERIFY(current.readAll().endsWith(" - first message\n"));
}

void TestLogUtils::unwritableFolder()
{
    // The data location is a file, so the folder cannot be made.
    QFile blocker(m_dir->path() + "/blocked");
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    Configuration configuration = configurationNamed("viewer", m_dir->path() + "/blocked");
    LogUtils::configure(configuration);
    const QtMessageHandler before = qInstallMessageHandler(nullptr);
    qInstallMessageHandler(before);
    QVERIFY(!LogUtils::initLogging());
    // No handler was installed.
    QVERIFY(qInstallMessageHandler(before) == before);
}

void TestLogUtils::manyThreadsWithRotation()
{
    Configuration configuration = configurationNamed("viewer", m_dir->path());
    configuration.keepFiles = 1000000; // keep every file so every line can be counted
    LogUtils::configure(configuration);
    QDir().mkpath(LogUtils::logFolderName());
    LogUtils::initLogFileName();

    const int threads = 8;
    const int messages = 10000;
    {
        QuietStderr quiet;
        QVector<QThread *> workers;
        for (int t = 0; t < threads; ++t) {
            workers << QThread::create([t] {
                for (int i = 0; i < messages; ++i)
                    log(QtDebugMsg, QStringLiteral("thread %1 message %2 end").arg(t).arg(i));
            });
            workers.last()->start();
        }
        for (QThread *worker : workers) {
            worker->wait();
            delete worker;
        }
    }

    const QStringList lines = logLines(LogUtils::logFolderName());
    QCOMPARE(lines.size(), threads * messages);
    const QRegularExpression whole("^\\[ D \\] - \\d{2}:\\d{2}:\\d{2} - thread (\\d) message (\\d+) end$");
    QVector<QVector<int>> seen(threads, QVector<int>(messages, 0));
    for (const QString &line : lines) {
        const QRegularExpressionMatch match = whole.match(line);
        QVERIFY2(match.hasMatch(), qPrintable(line));
        ++seen[match.captured(1).toInt()][match.captured(2).toInt()];
    }
    for (int t = 0; t < threads; ++t)
        for (int i = 0; i < messages; ++i)
            QCOMPARE(seen[t][i], 1);
    // Every file but the newest stopped just past the limit.
    const QFileInfoList files
        = QDir(LogUtils::logFolderName()).entryInfoList({"Log_*.log"}, QDir::Files, QDir::Name);
    QVERIFY(files.size() > 100);
    for (int i = 0; i < files.size() - 1; ++i)
        QVERIFY(files.at(i).size() > LogUtils::rotationBytes
                && files.at(i).size() < LogUtils::rotationBytes + 200);
}

void TestLogUtils::fatalMessageIsWrittenBeforeAbort()
{
    QProcess child;
    child.setProgram(QFINDTESTDATA("logging_child").isEmpty()
                         ? QCoreApplication::applicationDirPath() + "/logging_child"
                         : QFINDTESTDATA("logging_child"));
    child.setArguments({m_dir->path()});
    child.start();
    QVERIFY(child.waitForFinished(30000));
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);
    const QStringList lines = logLines(m_dir->path() + "/Orvane TV");
    QVERIFY2(!lines.isEmpty()
                 && QRegularExpression("^\\[ F \\] - \\d{2}:\\d{2}:\\d{2} - the end$")
                        .match(lines.last())
                        .hasMatch(),
             qPrintable(lines.join('\n')));
}

QTEST_GUILESS_MAIN(TestLogUtils)
#include "tst_logutils.moc"
