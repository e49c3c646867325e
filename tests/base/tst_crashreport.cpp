// Crash reporting: child processes crash on purpose in each way and must leave a
// crash log in the designed format, tell their callback, and show the message.
#include "zubcrashreport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

namespace {

QString buildDir()
{
    return QCoreApplication::applicationDirPath();
}

struct CrashRun
{
    QProcess::ExitStatus status = QProcess::NormalExit;
    QStringList logFiles;
    QStringList lines;
    QString callback;
    QString message;
};

CrashRun crash(const QString &program, const QString &mode, const QString &folder, const QString &scratch,
               const QString &reporter = buildDir() + "/../common/orvane-crashreport",
               const QString &path = QString())
{
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // Under the sanitizer build, leave the fatal signals to the handler under test.
    environment.insert("ASAN_OPTIONS",
                       "handle_segv=0:handle_sigbus=0:handle_sigfpe=0:handle_sigill=0:"
                       "handle_abort=0:allow_user_segv_handler=1:detect_leaks=0:"
                       // and give threads no signal stacks, as outside that build
                       "use_sigaltstack=0");
    environment.insert("ORVANE_CRASH_MESSAGE_FILE", scratch + "/message.txt");
    if (!path.isEmpty())
        environment.insert("PATH", path);
    child.setProcessEnvironment(environment);
    child.start(program, {mode, folder, reporter, scratch + "/callback.txt"});
    CrashRun run;
    if (!child.waitForFinished(120000))
        return run;
    run.status = child.exitStatus();
    run.logFiles = QDir(folder).entryList({"*.log"}, QDir::Files);
    if (!run.logFiles.isEmpty()) {
        QFile log(folder + "/" + run.logFiles.first());
        log.open(QIODevice::ReadOnly | QIODevice::Text);
        run.lines = QString::fromUtf8(log.readAll()).split('\n');
        if (!run.lines.isEmpty() && run.lines.last().isEmpty())
            run.lines.removeLast();
    }
    QFile callback(scratch + "/callback.txt");
    if (callback.open(QIODevice::ReadOnly))
        run.callback = QString::fromUtf8(callback.readAll());
    // The message comes from a process of its own, which may still be starting.
    (void)QTest::qWaitFor([&] { return QFile::exists(scratch + "/message.txt"); }, 10000);
    QTest::qWait(100);
    QFile message(scratch + "/message.txt");
    if (message.open(QIODevice::ReadOnly))
        run.message = QString::fromUtf8(message.readAll());
    return run;
}

} // namespace

class TestCrashReport : public QObject
{
    Q_OBJECT

private slots:
    void crashes_data();
    void crashes();
    void twoThreadsAtOnce();
    void aLogOfTheSameSecondIsKept();
    void missingAddr2line();
    void unwritableFolder();
    void missingReporter();
    void exceptionNames_data();
    void exceptionNames();
};

void TestCrashReport::crashes_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("exception");
    QTest::addColumn<QString>("function");
    QTest::newRow("null pointer") << "null"
                                  << "EXCEPTION_ACCESS_VIOLATION"
                                  << "crashByNullPointer(int volatile*)";
    QTest::newRow("integer divide by zero") << "divide"
                                            << "EXCEPTION_INT_DIVIDE_BY_ZERO"
                                            << "crashByDivision(int)";
    QTest::newRow("abort") << "abort"
                           << "Unrecognized Exception"
                           << "crashByAbort()";
    QTest::newRow("illegal instruction") << "illegal"
                                         << "EXCEPTION_ILLEGAL_INSTRUCTION"
                                         << "crashByIllegalInstruction()";
    QTest::newRow("deep recursion") << "overflow"
                                    << "EXCEPTION_STACK_OVERFLOW"
                                    << "crashByRecursion(int)";
    QTest::newRow("null pointer on a second thread") << "thread-null"
                                                     << "EXCEPTION_ACCESS_VIOLATION"
                                                     << "crashByNullPointer(int volatile*)";
    QTest::newRow("deep recursion on a second thread") << "thread-overflow"
                                                       << "EXCEPTION_STACK_OVERFLOW"
                                                       << "crashByRecursion(int)";
}

void TestCrashReport::crashes()
{
    QFETCH(QString, mode);
    QFETCH(QString, exception);
    QFETCH(QString, function);
    QTemporaryDir scratch;
    const QString folder = scratch.path() + "/Orvane TV/crashes";
    const CrashRun run = crash(buildDir() + "/crash_child", mode, folder, scratch.path());

    QCOMPARE(run.status, QProcess::CrashExit);
    QCOMPARE(run.logFiles.size(), 1);
    QVERIFY2(
        QRegularExpression("^\\d{8}-\\d{6} CrashChild Crash\\.log$").match(run.logFiles.first()).hasMatch(),
        qPrintable(run.logFiles.first()));
    QVERIFY2(run.lines.size() >= 6, qPrintable(run.lines.join('\n')));
    QCOMPARE(run.lines.at(0), QString("CrashChild v2.5.1"));
    QVERIFY2(
        QRegularExpression("^\\d{2} \\w{3} \\d{4} @ \\d{2}:\\d{2}:\\d{2}$").match(run.lines.at(1)).hasMatch(),
        qPrintable(run.lines.at(1)));
    QCOMPARE(run.lines.at(2), QString());
    QCOMPARE(run.lines.at(3), exception);
    QCOMPARE(run.lines.at(4), QString());

    const QStringList frames = run.lines.mid(5);
    if (mode.endsWith("overflow")) {
        // The stack is gone: one location, without number and address.
        QCOMPARE(frames.size(), 1);
        QVERIFY2(frames.first().startsWith(function) && frames.first().contains("crash_child.cpp:"),
                 qPrintable(frames.first()));
    } else {
        const QRegularExpression frameLine("^\\[(\\d+)\\] 0x[0-9a-f]{16} ");
        for (int i = 0; i < frames.size(); ++i) {
            const QRegularExpressionMatch match = frameLine.match(frames.at(i));
            QVERIFY2(match.hasMatch(), qPrintable(frames.at(i)));
            QCOMPARE(match.captured(1).toInt(), i);
        }
        // The crashing function, readable, with its source line; main further down.
        const int at = frames.indexOf(
            QRegularExpression(".* " + QRegularExpression::escape(function) + " at crash_child\\.cpp:\\d+$"));
        QVERIFY2(at >= 0, qPrintable(frames.join('\n')));
        if (!mode.startsWith("thread"))
            QVERIFY2(frames.indexOf(QRegularExpression(".* main at crash_child\\.cpp:\\d+$")) > at,
                     qPrintable(frames.join('\n')));
        if (mode != "abort")
            QCOMPARE(at, 0);
    }

    const QString path = folder + "/" + run.logFiles.first();
    QCOMPARE(run.callback, "written|" + path);
    QCOMPARE(run.message,
             "CrashChild Crashed\nSorry, CrashChild has crashed. A log file was written to:\n\n" + path
                 + "\n\nPlease email this to support@orvane.tv.");
}

void TestCrashReport::twoThreadsAtOnce()
{
    // A null pointer on one thread and a division by zero on another, at the
    // same moment: whichever comes first is reported, once, with its own frames.
    for (int run = 0; run < 10; ++run) {
        QTemporaryDir scratch;
        const QString folder = scratch.path() + "/crashes";
        const CrashRun crashed = crash(buildDir() + "/crash_child", "two-threads", folder, scratch.path());
        QCOMPARE(crashed.status, QProcess::CrashExit);
        QCOMPARE(crashed.logFiles.size(), 1);
        QCOMPARE(crashed.callback, "written|" + folder + "/" + crashed.logFiles.first());
        QVERIFY2(crashed.lines.size() >= 6, qPrintable(crashed.lines.join('\n')));
        const QString exception = crashed.lines.at(3);
        const QString function = exception == "EXCEPTION_ACCESS_VIOLATION"     ? "crashByNullPointer"
                                 : exception == "EXCEPTION_INT_DIVIDE_BY_ZERO" ? "crashByDivision"
                                                                               : QString();
        QVERIFY2(!function.isEmpty(), qPrintable(exception));
        QVERIFY2(crashed.lines.at(5).contains(" " + function + "("), qPrintable(crashed.lines.join('\n')));
    }
}

void TestCrashReport::aLogOfTheSameSecondIsKept()
{
    // Logs already named after every second the crash may happen in.
    QTemporaryDir scratch;
    const QString folder = scratch.path() + "/crashes";
    QVERIFY(QDir().mkpath(folder));
    const QDateTime now = QDateTime::currentDateTime();
    for (int second = -2; second <= 60; ++second) {
        QFile earlier(folder + now.addSecs(second).toString("/yyyyMMdd-HHmmss") + " CrashChild Crash.log");
        QVERIFY(earlier.open(QIODevice::WriteOnly));
        earlier.write("an earlier crash\n");
    }
    const CrashRun crashed = crash(buildDir() + "/crash_child", "null", folder, scratch.path());
    QCOMPARE(crashed.status, QProcess::CrashExit);
    const QStringList second = QDir(folder).entryList({"* CrashChild Crash 2.log"}, QDir::Files);
    QCOMPARE(second.size(), 1);
    const QString path = folder + "/" + second.first();
    QCOMPARE(crashed.callback, "written|" + path);
    QFile log(path);
    QVERIFY(log.open(QIODevice::ReadOnly));
    QVERIFY(log.readAll().startsWith("CrashChild v2.5.1\n"));
    QCOMPARE(log.permissions() & 0x0777, QFile::ReadUser | QFile::WriteUser);
    for (const QString &name : QDir(folder).entryList({"* CrashChild Crash.log"}, QDir::Files)) {
        QFile earlier(folder + "/" + name);
        QVERIFY(earlier.open(QIODevice::ReadOnly));
        QCOMPARE(earlier.readAll(), QByteArray("an earlier crash\n"));
    }
}

void TestCrashReport::missingAddr2line()
{
    // A copy of the program whose tools folder holds an addr2line that cannot run.
    QTemporaryDir scratch;
    QDir().mkpath(scratch.path() + "/bin/tools");
    QVERIFY(QFile::copy(buildDir() + "/crash_child", scratch.path() + "/bin/crash_child"));
    QFile broken(scratch.path() + "/bin/tools/addr2line");
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("not a program");
    broken.close();
    broken.setPermissions(QFileDevice::ReadOwner);

    const QString folder = scratch.path() + "/crashes";
    const CrashRun run = crash(scratch.path() + "/bin/crash_child", "null", folder, scratch.path());
    QCOMPARE(run.status, QProcess::CrashExit);
    QCOMPARE(run.logFiles.size(), 1);
    QCOMPARE(run.lines.at(3), QString("EXCEPTION_ACCESS_VIOLATION"));
    const QStringList frames = run.lines.mid(5);
    QVERIFY2(frames.size() >= 3 && frames.at(0).startsWith("[0] 0x"), qPrintable(frames.join('\n')));
    QVERIFY2(frames.at(0).endsWith("* Error running command"), qPrintable(frames.at(0)));
    QVERIFY2(frames.at(1).startsWith("   " + scratch.path() + "/bin/tools/addr2line -f -p -s -e "),
             qPrintable(frames.at(1)));
    QVERIFY(run.callback.startsWith("written|"));
}

void TestCrashReport::unwritableFolder()
{
    QTemporaryDir scratch;
    // Below a file: the folder cannot be made.
    QFile blocker(scratch.path() + "/blocker");
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString folder = scratch.path() + "/blocker/crashes";
    const CrashRun run = crash(buildDir() + "/crash_child", "null", folder, scratch.path());
    QCOMPARE(run.status, QProcess::CrashExit);
    QVERIFY2(QRegularExpression("^not-written\\|" + QRegularExpression::escape(folder)
                                + "/\\d{8}-\\d{6} CrashChild Crash\\.log$")
                 .match(run.callback)
                 .hasMatch(),
             qPrintable(run.callback));
    const QString path = run.callback.mid(QString("not-written|").size());
    QCOMPARE(run.message,
             "CrashChild Crashed\nSorry, CrashChild has crashed and we could not write a log file to:\n\n"
                 + path + "\n\nPlease contact support@orvane.tv.");
}

void TestCrashReport::missingReporter()
{
    // No reporter program: no log, but the callback still gets the path the log
    // would have had, and the message is shown with a dialog tool of the desktop
    // (here a stand-in "xmessage" on the PATH that records what it was asked).
    QTemporaryDir scratch;
    QDir().mkpath(scratch.path() + "/tools");
    QFile tool(scratch.path() + "/tools/xmessage");
    QVERIFY(tool.open(QIODevice::WriteOnly));
    tool.write("#!/bin/sh\nprintf '%s|%s' \"$1\" \"$2\" > \"$ORVANE_CRASH_MESSAGE_FILE\"\n");
    tool.close();
    tool.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);

    const QString folder = scratch.path() + "/crashes";
    const CrashRun run = crash(buildDir() + "/crash_child", "null", folder, scratch.path(),
                               scratch.path() + "/no-such-reporter", scratch.path() + "/tools");
    QCOMPARE(run.status, QProcess::CrashExit);
    QVERIFY(run.logFiles.isEmpty());
    QVERIFY2(QRegularExpression("^not-written\\|" + QRegularExpression::escape(folder)
                                + "/\\d{8}-\\d{6} CrashChild Crash\\.log$")
                 .match(run.callback)
                 .hasMatch(),
             qPrintable(run.callback));
    const QString path = run.callback.mid(QString("not-written|").size());
    // Named after the local time of the crash.
    const QDateTime named = QDateTime::fromString(QFileInfo(path).fileName().left(15), "yyyyMMdd-HHmmss");
    QVERIFY2(qAbs(named.secsTo(QDateTime::currentDateTime())) < 120, qPrintable(path));
    QCOMPARE(
        run.message,
        "-center|CrashChild Crashed\nSorry, CrashChild has crashed and we could not write a log file to:\n\n"
            + path + "\n\nPlease contact support@orvane.tv.");
}

void TestCrashReport::exceptionNames_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("nearStack");
    QTest::addColumn<QString>("name");
    QTest::newRow("segv") << SIGSEGV << int(SEGV_MAPERR) << false << "EXCEPTION_ACCESS_VIOLATION";
    QTest::newRow("segv at the stack") << SIGSEGV << int(SEGV_ACCERR) << true << "EXCEPTION_STACK_OVERFLOW";
    QTest::newRow("misaligned") << SIGBUS << int(BUS_ADRALN) << false << "EXCEPTION_DATATYPE_MISALIGNMENT";
    QTest::newRow("bus error") << SIGBUS << int(BUS_ADRERR) << false << "EXCEPTION_IN_PAGE_ERROR";
    QTest::newRow("int divide") << SIGFPE << int(FPE_INTDIV) << false << "EXCEPTION_INT_DIVIDE_BY_ZERO";
    QTest::newRow("int overflow") << SIGFPE << int(FPE_INTOVF) << false << "EXCEPTION_INT_OVERFLOW";
    QTest::newRow("float divide") << SIGFPE << int(FPE_FLTDIV) << false << "EXCEPTION_FLT_DIVIDE_BY_ZERO";
    QTest::newRow("float overflow") << SIGFPE << int(FPE_FLTOVF) << false << "EXCEPTION_FLT_OVERFLOW";
    QTest::newRow("float underflow") << SIGFPE << int(FPE_FLTUND) << false << "EXCEPTION_FLT_UNDERFLOW";
    QTest::newRow("float inexact") << SIGFPE << int(FPE_FLTRES) << false << "EXCEPTION_FLT_INEXACT_RESULT";
    QTest::newRow("float invalid") << SIGFPE << int(FPE_FLTINV) << false << "EXCEPTION_FLT_INVALID_OPERATION";
    QTest::newRow("subscript") << SIGFPE << int(FPE_FLTSUB) << false << "EXCEPTION_ARRAY_BOUNDS_EXCEEDED";
    QTest::newRow("illegal opcode") << SIGILL << int(ILL_ILLOPC) << false << "EXCEPTION_ILLEGAL_INSTRUCTION";
    QTest::newRow("privileged opcode") << SIGILL << int(ILL_PRVOPC) << false << "EXCEPTION_PRIV_INSTRUCTION";
    QTest::newRow("breakpoint") << SIGTRAP << int(TRAP_BRKPT) << false << "EXCEPTION_BREAKPOINT";
    QTest::newRow("single step") << SIGTRAP << int(TRAP_TRACE) << false << "EXCEPTION_SINGLE_STEP";
    QTest::newRow("abort") << SIGABRT << 0 << false << "Unrecognized Exception";
}

void TestCrashReport::exceptionNames()
{
    QFETCH(int, signal);
    QFETCH(int, code);
    QFETCH(bool, nearStack);
    QFETCH(QString, name);
    QCOMPARE(QString::fromLatin1(zubCrashReport::exceptionName(signal, code, nearStack)), name);
}

QTEST_GUILESS_MAIN(TestCrashReport)
#include "tst_crashreport.moc"
