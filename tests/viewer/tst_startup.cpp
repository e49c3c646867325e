// The viewer's start-up: its environment, identity, error mapping and client,
// and the real program started under the virtual display (its log, its window
// and its crash handling).
#include "loopbackenvironment.h"
#include "loopbackhttpserver.h"
#include "app/mainwindow.h"
#include "qtovcoreapiframework.h"
#include "serverenvironment.h"
#include "app/startup.h"
#include "session/settings.h"

#include <QApplication>
#include <QDirIterator>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <signal.h>

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void environment_data();
    void environment();
    void identity();
    void mapError_data();
    void mapError();
    void frameworkMapsErrorsAndTalksToProduction();
    void mainWindowTitle();
    void programStartsLogsAndReportsCrashes();

private:
    static QString findFile(const QString &folder, const QString &pattern);
};

void TestStartup::environment_data()
{
    QTest::addColumn<QByteArray>("fontDpi"); // "-" for unset
    QTest::addColumn<QByteArray>("autoScale"); // "-" for unset
    QTest::addColumn<QByteArray>("expectedDpi");
    QTest::newRow("nothing set") << QByteArray("-") << QByteArray("-") << QByteArray("96");
    QTest::newRow("empty dpi") << QByteArray("") << QByteArray("1") << QByteArray("96");
    QTest::newRow("dpi kept") << QByteArray("120") << QByteArray("1") << QByteArray("120");
}

void TestStartup::environment()
{
    QFETCH(QByteArray, fontDpi);
    QFETCH(QByteArray, autoScale);
    QFETCH(QByteArray, expectedDpi);
    const auto set = [](const char *name, const QByteArray &value) {
        if (value == "-")
            qunsetenv(name);
        else
            qputenv(name, value);
    };
    set("QT_FONT_DPI", fontDpi);
    set("QT_AUTO_SCREEN_SCALE_FACTOR", autoScale);
    Startup::prepareEnvironment();
    QCOMPARE(qgetenv("QT_FONT_DPI"), expectedDpi);
    QCOMPARE(qgetenv("QT_AUTO_SCREEN_SCALE_FACTOR"), QByteArray("0"));
}

void TestStartup::identity()
{
    Startup::setIdentity();
    QCOMPARE(QCoreApplication::organizationName(), QStringLiteral("Orvane"));
    QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Orvane TV"));
    QCOMPARE(QCoreApplication::applicationVersion(), QStringLiteral("1.0.1.42"));
}

void TestStartup::mapError_data()
{
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("expected");
    QTest::newRow("the known text") << "Cannot read property 'attempt' of undefined"
                                    << "Something went wrong, please try again.";
    QTest::newRow("other case unchanged") << "cannot read property 'attempt' of undefined"
                                          << "cannot read property 'attempt' of undefined";
    QTest::newRow("longer text unchanged") << "Cannot read property 'attempt' of undefined "
                                           << "Cannot read property 'attempt' of undefined ";
    QTest::newRow("other text") << "Wrong password"
                                << "Wrong password";
    QTest::newRow("empty") << ""
                           << "";
}

void TestStartup::mapError()
{
    QFETCH(QString, error);
    QFETCH(QString, expected);
    QCOMPARE(Startup::mapError(error), expected);
}

void TestStartup::frameworkMapsErrorsAndTalksToProduction()
{
    QtOVCoreAPIFramework *framework = Startup::setupFramework();
    QVERIFY(dynamic_cast<OVTVProduction *>(framework->getServerEnvironment()));

    // The mapper reaches the result signals: the server's text arrives rewritten.
    LoopbackHttpServer server;
    QVERIFY(server.listen());
    LoopbackHttpServer::Reply reply;
    reply.body
        = R"({"meta":{"status":"error","error":{"message":"Cannot read property 'attempt' of undefined"}}})";
    server.setDefaultReply(reply);
    framework->setServerEnvironment(new LoopbackEnvironment(server.baseUrl()));
    QSignalSpy finished(framework, &QtOVCoreAPIFramework::loginFinished);
    framework->login(QStringLiteral("ann@orvane.test"), QStringLiteral("orvane-demo-1"));
    QVERIFY(finished.wait(10000));
    QCOMPARE(finished.first().at(1).toString(), QStringLiteral("Something went wrong, please try again."));
}

void TestStartup::mainWindowTitle()
{
    // The window needs a client and the store: it opens on the sign-in screen.
    MainWindow window(nullptr, Startup::setupFramework(), Settings::sharedInstance());
    QCOMPARE(window.windowTitle(), QStringLiteral("Orvane TV v1.0.1 (42)"));
    QCOMPARE(window.centralWidget()->objectName(), QStringLiteral("centralwidget"));
}

QString TestStartup::findFile(const QString &folder, const QString &pattern)
{
    QDirIterator it(folder, {pattern}, QDir::Files, QDirIterator::Subdirectories);
    return it.hasNext() ? it.next() : QString();
}

void TestStartup::programStartsLogsAndReportsCrashes()
{
    QTemporaryDir home;
    QVERIFY(home.isValid());
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("ORVANE_CRASH_MESSAGE_FILE"),
               home.filePath(QStringLiteral("crash-message.txt")));
    env.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0:handle_segv=0"));
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(QStringLiteral(ORVANE_VIEWER_PROGRAM), QStringList());
    QVERIFY(program.waitForStarted());

    // The log file appears in the data folder with the version line.
    const QString dataFolder = home.filePath(QStringLiteral("data/Orvane TV"));
    QString log;
    QTRY_VERIFY_WITH_TIMEOUT(!(log = findFile(dataFolder, QStringLiteral("Log_*.log"))).isEmpty(), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            QFile file(log);
            return file.open(QIODevice::ReadOnly) && file.readAll().contains("Version 1.0.1b42");
        }(),
        10000);
    QCOMPARE(program.state(), QProcess::Running);

    // A crash leaves a crash log and tells the person where it is.
    ::kill(pid_t(program.processId()), SIGSEGV);
    QVERIFY(program.waitForFinished(30000));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(home.filePath(QStringLiteral("crash-message.txt"))), 20000);
    QFile message(home.filePath(QStringLiteral("crash-message.txt")));
    QVERIFY(message.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(message.readAll());
    QVERIFY2(text.startsWith(QStringLiteral(
                 "Orvane TV Crashed\nSorry, Orvane TV has crashed. A log file was written to:")),
             qPrintable(text));
    const QString crashLog = findFile(dataFolder + QStringLiteral("/crashes"), QStringLiteral("*"));
    QVERIFY(!crashLog.isEmpty());
    QVERIFY(text.contains(crashLog));
}

int main(int argc, char *argv[])
{
    Startup::prepareProcess();
    QApplication app(argc, argv);
    TestStartup test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_startup.moc"
