// The viewer's entry point: process attributes, crash handler, log, settings
// store and client, then the main window.
#include "platform/displaykeeper.h"
#include "app/mainwindow.h"
#include "app/recordinglinks.h"
#include "logutils.h"
#include "session/settings.h"
#include "app/startup.h"
#include "ui/theme.h"
#include "zubcrashreport.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    Startup::prepareProcess();
    QApplication app(argc, argv);
    // A recording link opened from the desktop goes to the viewer that already runs.
    const QString link = RecordingLinks::linkArgument(app.arguments());
    if (!link.isEmpty() && RecordingLinks::forwardToRunningViewer(link))
        return 0;
    // The display stays on for as long as the viewer runs (released at exit).
    DisplayKeeper::keepDisplayOn(QStringLiteral("Orvane TV"), QStringLiteral("Watching live video"));
    Startup::setIdentity();
    Startup::installTranslations(QLocale::system());
    LogUtils::configure(LogUtils::Configuration::viewer());
    // A crash shows where its log went (or that it could not be written).
    zubCrashReport::setSignalHandler(LogUtils::crashFolderName(), &zubCrashReport::showCrashMessage);
    QCoreApplication::addLibraryPath(QCoreApplication::applicationDirPath() + QStringLiteral("/plugins"));
    LogUtils::initLogging(); // without a log file the viewer still runs
    Theme::installFonts();
    Settings *settings = Settings::sharedInstance();
    QtOVCoreAPIFramework *framework = Startup::setupFramework();

    MainWindow window(nullptr, framework, settings);
    QPalette palette = window.palette();
    palette.setColor(QPalette::Window, Theme::mainBackground);
    window.setPalette(palette);
    RecordingLinks links;
    links.listen();
    QObject::connect(&links, &RecordingLinks::recordingRequested, &window, &MainWindow::openRecording);
    window.show();
    return app.exec();
}
