// The recordings browser with a large space: the deployment is seeded with
// BENCH_RECORDINGS (default 2,000) more recordings in "North Site", and the full
// list is paged to its end by scrolling, as a person would. Prints one JSON line
// per figure: pages, the GUI thread's CPU time per page, wall time per page,
// the longest the GUI thread was late for a 10 ms timer, and peak memory.
#include "qtovcoreapiframework.h"
#include "recordings/recordingsselectionwidget.h"
#include "sandboxinspector.h"
#include "serverenvironment.h"
#include "session/globalmanager.h"
#include "viewertestsupport.h"

#include "guithreadprobe.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTimer>
#include <QToolButton>

#include <cstdio>
#include <ctime>
#include <sys/resource.h>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    const int extra = qEnvironmentVariableIntValue("BENCH_RECORDINGS") > 0 ? qEnvironmentVariableIntValue("BENCH_RECORDINGS")
                                                                           : 2000;
    SandboxInspector inspector;
    if (!inspector.isValid()) {
        std::fprintf(stderr, "%s\n", qPrintable(inspector.errorText()));
        return 1;
    }
    inspector.post(QStringLiteral("/seed/recordings"), {{"camera", "cam-1"}, {"count", extra}});

    OVTVProduction environment;
    QtOVCoreAPIFramework client([](QString text) { return text; }, &environment);
    if (ViewerTestSupport::signIn(&client, "ann@orvane.test", "orvane-demo-1").isEmpty())
        return 1;
    GlobalManager *manager = GlobalManager::sharedInstance();
    manager->setFramework(&client);
    QSignalSpy shares(manager, &GlobalManager::companySharesLoadedWithError);
    manager->loadCompanyShares();
    shares.wait(30000);
    QSignalSpy loaded(manager, &GlobalManager::sharedSourcesLoadedWithError);
    manager->setCompanySlug("acme");
    manager->loadAllSharedSources();
    loaded.wait(60000);
    SharedWorkspace space;
    for (const SharedWorkspace &workspace : manager->getSharedWorkspaces())
        if (workspace.id == "41")
            space = workspace;

    RecordingsSelectionWidget browser(nullptr, space);
    browser.resize(1280, 800);
    browser.show();
    QElapsedTimer waited;
    waited.start();
    while ((browser.loading() || browser.total() == 0) && waited.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    browser.findChild<QToolButton *>("showAllButton")->click();
    auto *area = browser.findChild<QScrollArea *>("allRecordingsScrollArea");

    LatenessProbe probe;

    const double cpuAtStart = threadCpuMs();
    QElapsedTimer wall;
    wall.start();
    const int firstLoaded = browser.loadedCount();
    while (browser.loadedCount() < browser.total() && wall.elapsed() < 600000) {
        if (!browser.loading())
            area->verticalScrollBar()->setValue(area->verticalScrollBar()->maximum());
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    const double cpu = threadCpuMs() - cpuAtStart;
    const double seconds = wall.elapsed() / 1000.0;
    const int pages = (browser.loadedCount() - firstLoaded + 9) / 10;
    probe.stop();

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    printFigure("recordings_scale", "recordings_total", browser.total(), "recordings");
    printFigure("recordings_scale", "recordings_shown", browser.cells("allRecordingsGrid").size(), "cells");
    printFigure("recordings_scale", "pages_loaded", pages, "pages");
    printFigure("recordings_scale", "gui_thread_cpu_per_page", pages ? cpu / pages : 0, "ms");
    printFigure("recordings_scale", "wall_time_per_page", pages ? seconds * 1000 / pages : 0, "ms");
    printFigure("recordings_scale", "gui_thread_worst_lateness", probe.worstLateness(), "ms");
    printFigure("recordings_scale", "peak_memory", usage.ru_maxrss / 1024.0, "MiB");
    inspector.remove(QStringLiteral("/seed/recordings"));
    return browser.loadedCount() >= browser.total() ? 0 : 1;
}
