// Our player as the viewer's multiview uses it: four players, each in its own
// renderer of a 2x2 grid, playing live addresses given on the command line.
// Prints one JSON object with what it measured over the measured span:
//   orvane-bench-multiview --warmup S --seconds S URL...
#include "avplayer.h"
#include "openglwidgetrenderer.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QGridLayout>
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
    parser.addOption({QStringLiteral("warmup"), QStringLiteral("seconds before measuring"), QStringLiteral("s"), QStringLiteral("5")});
    parser.addOption({QStringLiteral("seconds"), QStringLiteral("seconds measured"), QStringLiteral("s"), QStringLiteral("20")});
    parser.addPositionalArgument(QStringLiteral("url"), QStringLiteral("live addresses, up to four"));
    parser.process(app);
    const QStringList urls = parser.positionalArguments().mid(0, 4);
    const double warmup = parser.value(QStringLiteral("warmup")).toDouble();
    const double seconds = parser.value(QStringLiteral("seconds")).toDouble();
    if (urls.isEmpty())
        parser.showHelp(2);

    QWidget window;
    window.setWindowTitle(QStringLiteral("Orvane multiview benchmark"));
    auto *grid = new QGridLayout(&window);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(0);
    QList<AVPlayer *> players;
    QList<OpenGLWidgetRenderer *> renderers;
    QVector<qint64> firstFrameMs(urls.size(), -1);
    QElapsedTimer clock;
    for (int i = 0; i < urls.size(); ++i) {
        auto *renderer = new OpenGLWidgetRenderer(&window);
        renderer->setFixedSize(960, 540);
        grid->addWidget(renderer, i / 2, i % 2);
        auto *player = new AVPlayer(&app);
        player->setVideoDecoderPriority({QStringLiteral("VAAPI"), QStringLiteral("FFmpeg")});
        player->setBufferMode(BufferTime);
        player->setBufferValue(-1);
        player->audio()->setVolume(60.0);
        player->setRenderer(renderer);
        QObject::connect(player, &AVPlayer::firstFrameRendered, [&, i] { firstFrameMs[i] = clock.elapsed(); });
        QObject::connect(player, &AVPlayer::error, [url = urls[i]](const AVError &e) {
            std::fprintf(stderr, "error on %s: %s\n", qPrintable(url), qPrintable(e.string()));
        });
        players << player;
        renderers << renderer;
    }
    if (!qEnvironmentVariableIsSet("BENCH_HIDDEN"))
        window.show();

    QVector<qint64> shownAtStart(urls.size()), droppedAtStart(urls.size()), drawnAtStart(urls.size());
    double cpuAtStart = 0;
    clock.start();
    for (int i = 0; i < urls.size(); ++i)
        players[i]->play(urls[i]);

    QTimer::singleShot(int(warmup * 1000), [&] {
        cpuAtStart = cpuSeconds();
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
            {QStringLiteral("displayed_frames"), shown},
            {QStringLiteral("dropped_frames"), dropped},
            {QStringLiteral("drawn_frames"), drawn},
            {QStringLiteral("peak_rss_kib"), double(peakKiB())},
            {QStringLiteral("first_frame_ms"), firsts},
            {QStringLiteral("seconds"), seconds},
        };
        std::printf("%s\n", QJsonDocument(result).toJson(QJsonDocument::Compact).constData());
        std::fflush(stdout);
        for (AVPlayer *player : qAsConst(players))
            player->stop();
        app.quit();
    });
    const int code = app.exec();
    qDeleteAll(players);
    return code;
}
