// The viewer's own multiview: the real dashboard in four-up, its tiles playing
// the live TCP addresses given on the command line (each as one camera of a
// space, at the live edge), in a 1920x1080 window.
// Prints one JSON object with what it measured over the measured span:
//   orvane-bench-multiview --warmup S --seconds S URL...
#include "avplayer.h"
#include "live/dashboardplayerwidget.h"
#include "live/dashboardwidget.h"
#include "openglwidgetrenderer.h"
#include "session/globalmanager.h"
#include "session/settings.h"
#include "ui/helpers.h"
#include "ui/theme.h"

#include <QTemporaryDir>
#include <QUrl>

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <QWidget>

#include <sys/resource.h>

#include <cstdio>

using namespace OrvaneAV;

namespace {

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long peakKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char *argv[])
{
    OrvaneAV::prepareApplication();
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("warmup"), QStringLiteral("seconds before measuring"),
                      QStringLiteral("s"), QStringLiteral("5")});
    parser.addOption({QStringLiteral("seconds"), QStringLiteral("seconds measured"), QStringLiteral("s"),
                      QStringLiteral("20")});
    parser.addPositionalArgument(QStringLiteral("url"), QStringLiteral("live addresses, up to four"));
    parser.process(app);
    const QStringList urls = parser.positionalArguments().mid(0, 4);
    const double warmup = parser.value(QStringLiteral("warmup")).toDouble();
    const double seconds = parser.value(QStringLiteral("seconds")).toDouble();
    if (urls.isEmpty())
        parser.showHelp(2);

    // The viewer's settings of this run stay in a folder of its own.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    Helpers::initResources();
    Theme::installFonts();

    SharedWorkspace space;
    space.id = QStringLiteral("bench");
    space.name = QStringLiteral("Benchmark");
    for (int i = 0; i < urls.size(); ++i) {
        const QUrl url(urls[i]);
        Camera camera;
        camera.id = QStringLiteral("cam-%1").arg(i + 1);
        camera.name = QStringLiteral("Camera %1").arg(i + 1);
        camera.sharedStream.id = QStringLiteral("str-%1").arg(i + 1);
        camera.sharedStream.status = QStringLiteral("online");
        SharedStreamSource source;
        source.streamProtocol = QStringLiteral("mpeg-ts");
        source.host = url.host();
        source.port = url.port();
        camera.sharedStream.sharedStreamSources = {source};
        space.sharedCameras << camera;
        // At the live edge, as the peers play.
        PlayerSettings settings;
        settings.autoDelay = true;
        GlobalManager::sharedInstance()->setPlayerSettings(space, camera.sharedStream.id, settings);
    }
    Settings::sharedInstance()->setLayoutPref(FourUp);

    DashboardWidget window(nullptr, space, QString(), User(), nullptr);
    window.setWindowTitle(QStringLiteral("Orvane multiview benchmark"));
    window.resize(1920, 1080);
    QList<AVPlayer *> players;
    QList<OpenGLWidgetRenderer *> renderers;
    QVector<qint64> firstFrameMs(urls.size(), -1);
    QElapsedTimer clock;
    if (!qEnvironmentVariableIsSet("BENCH_HIDDEN"))
        window.show();

    QVector<qint64> shownAtStart(urls.size()), droppedAtStart(urls.size()), drawnAtStart(urls.size());
    double cpuAtStart = 0;
    qint64 drainAtStart = 0;
    clock.start();
    window.start();
    for (int i = 0; i < urls.size(); ++i) {
        DashboardPlayerWidget *tile = window.slotTile(i);
        AVPlayer *player = tile->currentPlayer();
        QObject::connect(player, &AVPlayer::firstFrameRendered,
                         [&, i] { firstFrameMs[i] = clock.elapsed(); });
        QObject::connect(player, &AVPlayer::error, [url = urls[i]](const AVError &e) {
            std::fprintf(stderr, "error on %s: %s\n", qPrintable(url), qPrintable(e.string()));
        });
        players << player;
        renderers << tile->videoRenderer();
    }

    QTimer::singleShot(int(warmup * 1000), [&] {
        cpuAtStart = cpuSeconds();
        drainAtStart = AVPlayer::eventDrainNanoseconds();
        for (int i = 0; i < urls.size(); ++i) {
            shownAtStart[i] = renderers[i]->shownFrames();
            droppedAtStart[i] = players[i]->statistics().video_only.droppedFrames;
            drawnAtStart[i] = players[i]->statistics().video_only.displayedFrames;
        }
    });
    QTimer::singleShot(int((warmup + seconds) * 1000), [&] {
        const double cpu = cpuSeconds() - cpuAtStart;
        qint64 shown = 0, dropped = 0, drawn = 0;
        QJsonArray firsts;
        for (int i = 0; i < urls.size(); ++i) {
            shown += renderers[i]->shownFrames() - shownAtStart[i];
            dropped += players[i]->statistics().video_only.droppedFrames - droppedAtStart[i];
            drawn += players[i]->statistics().video_only.displayedFrames - drawnAtStart[i];
            firsts.append(firstFrameMs[i]);
        }
        const QJsonObject result{
            {QStringLiteral("cpu_seconds"), cpu},
            // What reading mpv's events cost the GUI thread, all four players together.
            {QStringLiteral("event_drain_seconds"),
             double(AVPlayer::eventDrainNanoseconds() - drainAtStart) / 1e9},
            {QStringLiteral("displayed_frames"), shown},
            {QStringLiteral("dropped_frames"), dropped},
            {QStringLiteral("drawn_frames"), drawn},
            {QStringLiteral("peak_rss_kib"), double(peakKiB())},
            {QStringLiteral("first_frame_ms"), firsts},
            {QStringLiteral("seconds"), seconds},
        };
        std::printf("%s\n", QJsonDocument(result).toJson(QJsonDocument::Compact).constData());
        std::fflush(stdout);
        window.stop();
        app.quit();
    });
    return app.exec();
}
