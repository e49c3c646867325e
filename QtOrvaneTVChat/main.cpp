// The chat program: process settings, log and crash dumps, the command line,
// then the window, whose first show starts the session.
#include "chatcommandline.h"
#include "globalmanager.h"
#include "logutils.h"
#include "mainwindow.h"
#include "textmessage.h"
#include "voicerecords.h"
#include "zubcrashreport.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstring>
#include <unistd.h>

namespace {

// Runs inside the crash handler: only async-signal-safe calls.
void dumpWritten(const char *path, bool written)
{
    const char *outcome = written ? "Succeed to write minidump" : "Failed to write minidump";
    const char *middle = ", dump path: ";
    ssize_t ignored = write(STDERR_FILENO, outcome, std::strlen(outcome));
    ignored = write(STDERR_FILENO, middle, std::strlen(middle));
    ignored = write(STDERR_FILENO, path, std::strlen(path));
    ignored = write(STDERR_FILENO, "\n", 1);
    (void)ignored;
}

void setDumpPath(QString folder)
{
    if (QFileInfo(folder).isRelative())
        folder = QCoreApplication::applicationDirPath() + QLatin1Char('/') + folder;
    folder = QDir::cleanPath(folder);
    QDir().mkpath(folder);
    if (!QFileInfo(folder).isDir()) {
        qDebug("Failed to set dump path which not exists: %s", qPrintable(folder));
        return;
    }
    // Installed beside the viewer, the reporter sits in the viewer's "tools" folder.
    const QString beside = QCoreApplication::applicationDirPath();
    if (!QFileInfo::exists(beside + QStringLiteral("/tools/orvane-crashreport"))
        && QFileInfo::exists(beside + QStringLiteral("/../tools/orvane-crashreport")))
        zubCrashReport::setReporterPath(
            QDir::cleanPath(beside + QStringLiteral("/../tools/orvane-crashreport")));
    zubCrashReport::setSignalHandler(folder, &dumpWritten);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_DisableHighDpiScaling, true);
    if (qEnvironmentVariableIsEmpty("QT_FONT_DPI"))
        qputenv("QT_FONT_DPI", "96");
    qputenv("QT_AUTO_SCREEN_SCALE_FACTOR", "0");

    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Orvane"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("orvane.tv"));
    QCoreApplication::setApplicationName(QStringLiteral("Orvane TV Chat"));

    qRegisterMetaType<TextMessage>();
    qRegisterMetaType<ChatAuth>();
    qRegisterMetaType<User>();
    qRegisterMetaType<QVector<SharedUser>>();
    qRegisterMetaType<VoiceChatParticipant>();
    qRegisterMetaType<QVector<VoiceChatParticipant>>();
    qRegisterMetaType<AudioRoute>();

    LogUtils::configure(LogUtils::Configuration::chat());
    LogUtils::initLogging(); // without a log file the chat still runs
    setDumpPath(LogUtils::logFolderName() + QStringLiteral("/crashes"));

    QCommandLineParser parser;
    ChatCommandLine::addOptions(parser);
    parser.process(app);

    auto *globalManager = new GlobalManager; // lives until the process ends
    QFile standardInput;
    standardInput.open(stdin, QIODevice::ReadOnly);
    ChatCommandLine::apply(parser, *globalManager, &standardInput);

    MainWindow window;
    window.setGlobalManager(globalManager);
    window.show();
    return app.exec();
}
