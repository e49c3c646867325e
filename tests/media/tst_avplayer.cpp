// The player layer against real media: the local deployment's recordings (over
// its routed, verified TLS), its live encoders over TCP and SRT, and a colour
// pattern made here with ffmpeg. Pictures are read back from the renderers of a
// real window.
#include "avplayer.h"
#include "openglwidgetrenderer.h"
#include "logcapture.h"
#include "sandboxinspector.h"
#include "srtdiagnostics.h"

#include <QApplication>
#include <QRegularExpression>
#include <QHBoxLayout>
#include <QOpenGLContext>
#include <QPainter>
#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

using namespace OrvaneAV;

namespace {

const QString recording = QStringLiteral("https://media.orvane.tv:443/media/records/rec-001/video.ts");
const qint64 recordingMs = 15000; // the seeded clip behind rec-001

struct Rgb
{
    double r = 0, g = 0, b = 0;
    double luma() const { return 0.2126 * r + 0.7152 * g + 0.0722 * b; }
};

// The mean colour of a rectangle given in fractions of the image.
Rgb meanColour(const QImage &image, const QRectF &fraction)
{
    const QRect area(int(fraction.x() * image.width()), int(fraction.y() * image.height()),
                     qMax(1, int(fraction.width() * image.width())),
                     qMax(1, int(fraction.height() * image.height())));
    Rgb sum;
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            sum.r += qRed(pixel);
            sum.g += qGreen(pixel);
            sum.b += qBlue(pixel);
            ++count;
        }
    }
    sum.r /= count;
    sum.g /= count;
    sum.b /= count;
    return sum;
}

int brightPixels(const QImage &image, const QRect &area)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (qGray(image.pixel(x, y)) > 100)
                ++count;
    return count;
}

// Names of the signals a player emitted, in order.
class SignalLog : public QObject
{
public:
    explicit SignalLog(AVPlayer *player)
    {
        connect(player, &AVPlayer::started, this, [this] { names << QStringLiteral("started"); });
        connect(player, &AVPlayer::stopped, this, [this] { names << QStringLiteral("stopped"); });
        connect(player, &AVPlayer::stateChanged, this, [this](AVPlayer::State state) {
            static const char *const texts[] = {"stopped-state", "playing-state", "paused-state"};
            names << QString::fromLatin1(texts[state]);
        });
        connect(player, &AVPlayer::error, this, [this](const AVError &e) {
            names << QStringLiteral("error");
            errors << e;
        });
    }
    QStringList names;
    QList<AVError> errors;
};

} // namespace

class TestAVPlayer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();

    void engineAddress_data();
    void engineAddress();
    void classifyFailure_data();
    void classifyFailure();
    void colorFilterIgnoresValuesOutsideItsTables();

    void recordingPlaysSeeksPausesAndEnds();
    void stopEmitsStateThenStoppedOnce();
    void openFailures_data();
    void openFailures();
    void refusedSrtPassphraseIsLogged();
    void srtRefusalReasons_data();
    void srtRefusalReasons();
    void onlyTheProductsAddressesOpen_data();
    void onlyTheProductsAddressesOpen();
    void liveStreamShowsFrames_data();
    void liveStreamShowsFrames();
    void stoppedEncoderGivesNetworkError();
    void playerMovesBetweenRenderersWhilePlaying();
    void rendererOrPlayerDestroyedWhilePlaying();
    void colourRangeChangesLevels();
    void colourSpaceChangesPicture();
    void overlayTextAppearsAndEmptyDrawsNothing();
    void statisticsArePlausible();
    void soundPlaysWhereVideoCannotBeDrawn();
    void bufferValueDelaysLivePlayback_data();
    void bufferValueDelaysLivePlayback();

private:
    QString liveUrl(const QString &stream, const QString &protocol, int latencyMs = 200) const;
    bool waitForFrames(OpenGLWidgetRenderer *renderer, qint64 frames, int timeoutMs = 15000);
    QImage stillOfPattern(AVPlayer &player, OpenGLWidgetRenderer *renderer);

    SandboxInspector m_inspector;
    QTemporaryDir m_dir;
    QString m_pattern;
    QProcess m_untrusted; // an HTTPS server whose certificate nobody trusts
    int m_untrustedPort = 0;
    QWidget m_window;
    OpenGLWidgetRenderer *m_left = nullptr;
    OpenGLWidgetRenderer *m_right = nullptr;
    QString m_stoppedStream;
};

void TestAVPlayer::initTestCase()
{
    QVERIFY2(m_inspector.isValid(), qPrintable(m_inspector.errorText()));
    QVERIFY(m_dir.isValid());
    // This suite plays files it makes with ffmpeg; the product plays none.
    AVPlayer::setLocalFilesAllowed(true);

    // Bars of known levels (BT.709, limited range): black, 50 % grey, white,
    // then saturated red, over a black floor where the watermark goes.
    m_pattern = m_dir.filePath(QStringLiteral("pattern.mkv"));
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {QStringLiteral("-hide_banner"),
                  QStringLiteral("-loglevel"),
                  QStringLiteral("error"),
                  QStringLiteral("-y"),
                  QStringLiteral("-f"),
                  QStringLiteral("lavfi"),
                  QStringLiteral("-i"),
                  QStringLiteral("color=c=black:s=160x180:r=25:d=30"),
                  QStringLiteral("-f"),
                  QStringLiteral("lavfi"),
                  QStringLiteral("-i"),
                  QStringLiteral("color=c=0x808080:s=160x180:r=25:d=30"),
                  QStringLiteral("-f"),
                  QStringLiteral("lavfi"),
                  QStringLiteral("-i"),
                  QStringLiteral("color=c=white:s=160x180:r=25:d=30"),
                  QStringLiteral("-f"),
                  QStringLiteral("lavfi"),
                  QStringLiteral("-i"),
                  QStringLiteral("color=c=red:s=160x180:r=25:d=30"),
                  QStringLiteral("-filter_complex"),
                  QStringLiteral("[0][1][2][3]hstack=inputs=4,pad=640:360:0:0:black,"
                                 "scale=out_color_matrix=bt709:out_range=tv,format=yuv420p"),
                  QStringLiteral("-c:v"),
                  QStringLiteral("libx264"),
                  QStringLiteral("-preset"),
                  QStringLiteral("ultrafast"),
                  QStringLiteral("-colorspace"),
                  QStringLiteral("bt709"),
                  QStringLiteral("-color_primaries"),
                  QStringLiteral("bt709"),
                  QStringLiteral("-color_trc"),
                  QStringLiteral("bt709"),
                  QStringLiteral("-color_range"),
                  QStringLiteral("tv"),
                  m_pattern});
    QVERIFY(ffmpeg.waitForFinished(60000));
    QVERIFY2(ffmpeg.exitCode() == 0, ffmpeg.readAllStandardError().constData());

    // The pattern, served over HTTPS with a self-signed certificate for 127.0.0.1.
    QProcess openssl;
    openssl.setWorkingDirectory(m_dir.path());
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                   QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-days"),
                   QStringLiteral("1"), QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1"),
                   QStringLiteral("-addext"), QStringLiteral("subjectAltName=IP:127.0.0.1"),
                   QStringLiteral("-keyout"), QStringLiteral("key.pem"), QStringLiteral("-out"),
                   QStringLiteral("cert.pem")});
    QVERIFY(openssl.waitForFinished(30000) && openssl.exitCode() == 0);
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    m_untrustedPort = probe.serverPort();
    probe.close();
    m_untrusted.setWorkingDirectory(m_dir.path());
    m_untrusted.start(QStringLiteral("openssl"),
                      {QStringLiteral("s_server"), QStringLiteral("-quiet"), QStringLiteral("-accept"),
                       QStringLiteral("127.0.0.1:%1").arg(m_untrustedPort), QStringLiteral("-cert"),
                       QStringLiteral("cert.pem"), QStringLiteral("-key"), QStringLiteral("key.pem"),
                       QStringLiteral("-WWW")});
    QVERIFY(m_untrusted.waitForStarted());

    m_window.resize(660, 200);
    auto *layout = new QHBoxLayout(&m_window);
    m_left = new OpenGLWidgetRenderer(&m_window);
    m_right = new OpenGLWidgetRenderer(&m_window);
    m_left->setFixedSize(320, 180);
    m_right->setFixedSize(320, 180);
    layout->addWidget(m_left);
    layout->addWidget(m_right);
    m_window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&m_window));
}

void TestAVPlayer::cleanupTestCase()
{
    m_untrusted.kill();
    m_untrusted.waitForFinished();
}

void TestAVPlayer::cleanup()
{
    if (!m_stoppedStream.isEmpty()) {
        m_inspector.post(QStringLiteral("/live/start"), {{QStringLiteral("stream"), m_stoppedStream}});
        m_stoppedStream.clear();
    }
}

QString TestAVPlayer::liveUrl(const QString &stream, const QString &protocol, int latencyMs) const
{
    const QJsonObject source
        = m_inspector.deployment().value(QStringLiteral("liveSources")).toObject().value(stream).toObject();
    const QString host = source.value(QStringLiteral("host")).toString();
    if (protocol == QLatin1String("srt")) {
        // The form the live tiles build for a secured stream.
        return QStringLiteral("srt://%1:%2/?passphrase=%3&latency=%4")
            .arg(host)
            .arg(source.value(QStringLiteral("srtPort")).toInt())
            .arg(source.value(QStringLiteral("passphrase")).toString())
            .arg(latencyMs);
    }
    return QStringLiteral("tcp://%1:%2").arg(host).arg(source.value(QStringLiteral("tcpPort")).toInt());
}

bool TestAVPlayer::waitForFrames(OpenGLWidgetRenderer *renderer, qint64 frames, int timeoutMs)
{
    return QTest::qWaitFor([&] { return renderer->shownFrames() >= frames; }, timeoutMs);
}

// What the renderer shows of the paused pattern once the player has drawn it
// again (a colour change redraws the paused frame).
QImage TestAVPlayer::stillOfPattern(AVPlayer &player, OpenGLWidgetRenderer *renderer)
{
    const qint64 before = player.statistics().video_only.displayedFrames;
    if (!QTest::qWaitFor([&] { return renderer->shownFrames() > 0; }, 10000))
        return QImage();
    // A frame that does not come means nothing was redrawn; the grab tells.
    (void)QTest::qWaitFor([&] { return player.statistics().video_only.displayedFrames > before; }, 1500);
    QTest::qWait(200);
    return renderer->grabFrame();
}

void TestAVPlayer::engineAddress_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("expected");
    QTest::newRow("srt latency in ms becomes us") << "srt://10.0.0.5:9000/?passphrase=abc&latency=500"
                                                  << "srt://10.0.0.5:9000/?passphrase=abc&latency=500000";
    QTest::newRow("latency first") << "srt://h:1?latency=120&passphrase=x"
                                   << "srt://h:1?latency=120000&passphrase=x";
    QTest::newRow("passphrase with reserved characters is kept") << "srt://h:1/?passphrase=a#b%zz&latency=0"
                                                                 << "srt://h:1/?passphrase=a#b%zz&latency=0";
    QTest::newRow("passphrase that mentions latency") << "srt://h:1/?passphrase=latency=9&latency=2"
                                                      << "srt://h:1/?passphrase=latency=9&latency=2000";
    QTest::newRow("no latency") << "srt://h:1/?passphrase=p"
                                << "srt://h:1/?passphrase=p";
    QTest::newRow("not a number is left alone") << "srt://h:1/?latency=abc"
                                                << "srt://h:1/?latency=abc";
    QTest::newRow("beyond SRT's range is held at it") << "srt://h:1/?latency=9223372036854775807"
                                                      << "srt://h:1/?latency=2147483000";
    QTest::newRow("negative is left alone") << "srt://h:1/?latency=-5"
                                            << "srt://h:1/?latency=-5";
    QTest::newRow("upper-case scheme") << "SRT://h:1?latency=3"
                                       << "SRT://h:1?latency=3000";
    QTest::newRow("tcp untouched") << "tcp://h:1?latency=3"
                                   << "tcp://h:1?latency=3";
}

void TestAVPlayer::engineAddress()
{
    QFETCH(QString, url);
    QFETCH(QString, expected);
    QCOMPARE(AVPlayer::engineAddress(url), expected);
}

void TestAVPlayer::classifyFailure_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("opened");
    QTest::addColumn<bool>("endOfStream");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<int>("code");
    QTest::newRow("refused")
        << "tcp://127.0.0.1:1" << false << false
        << QStringList{"ffmpeg: tcp: Connection to tcp://127.0.0.1:1 failed: Connection refused"}
        << int(AVError::NetworkError);
    QTest::newRow("unknown host")
        << "https://nowhere.invalid/x.ts" << false << false
        << QStringList{"ffmpeg: tcp: Failed to resolve hostname nowhere.invalid: Name or service not known"}
        << int(AVError::NetworkError);
    QTest::newRow("open timed out")
        << "tcp://10.1.1.1:5" << false << false
        << QStringList{"ffmpeg: tcp: Connection to tcp://10.1.1.1:5 failed: Connection timed out"}
        << int(AVError::OpenTimedout);
    QTest::newRow("live stream lost")
        << "srt://h:1" << true << true << QStringList() << int(AVError::NetworkError);
    QTest::newRow("missing file")
        << "/no/such.ts" << false << false
        << QStringList{"file: Cannot open file '/no/such.ts': No such file or directory"}
        << int(AVError::OpenError);
    QTest::newRow("page not found") << "https://h/x.ts" << false << false
                                    << QStringList{"ffmpeg: https: HTTP error 404 Not Found"}
                                    << int(AVError::OpenError);
    QTest::newRow("not media") << "/tmp/x.txt" << false << false
                               << QStringList{"cplayer: Failed to recognize file format."}
                               << int(AVError::FormatError);
}

void TestAVPlayer::classifyFailure()
{
    QFETCH(QString, url);
    QFETCH(bool, opened);
    QFETCH(bool, endOfStream);
    QFETCH(QStringList, messages);
    QFETCH(int, code);
    const AVError e = AVPlayer::classifyFailure(url, opened, endOfStream, messages);
    QCOMPARE(int(e.error()), code);
    QVERIFY(!e.string().isEmpty());
}

void TestAVPlayer::colorFilterIgnoresValuesOutsideItsTables()
{
    // Settings read from disk may hold any number; none may reach mpv as garbage.
    QCOMPARE(AVPlayer::colorFilter(ColorSpace(42), ColorRange(-1)), QString());
    QCOMPARE(AVPlayer::colorFilter(ColorSpace(-3), ColorRange_Full),
             QStringLiteral("format=colorlevels=full"));
    QCOMPARE(AVPlayer::colorFilter(ColorSpace_Unknown, ColorRange_Unknown), QString());
}

void TestAVPlayer::recordingPlaysSeeksPausesAndEnds()
{
    AVPlayer player;
    player.setRenderer(m_left);
    SignalLog log(&player);
    QSignalSpy positions(&player, &AVPlayer::positionChanged);
    // Callers set up their slider as playing begins: length and seekability are known then.
    qint64 durationAtStart = -1;
    bool seekableAtStart = false;
    connect(&player, &AVPlayer::stateChanged, this, [&](AVPlayer::State state) {
        if (state == AVPlayer::PlayingState && durationAtStart < 0) {
            durationAtStart = player.duration();
            seekableAtStart = player.isSeekable();
        }
    });
    player.play(recording);
    QTRY_VERIFY_WITH_TIMEOUT(log.names.contains(QStringLiteral("started")), 15000);
    QCOMPARE(log.names, (QStringList{"playing-state", "started"}));
    QVERIFY(player.isPlaying());
    QVERIFY(seekableAtStart);
    QVERIFY2(qAbs(durationAtStart - recordingMs) < 500, qPrintable(QString::number(durationAtStart)));
    QCOMPARE(player.mediaStartPosition(), 0);
    QCOMPARE(player.mediaStopPosition(), player.duration());
    QTRY_VERIFY_WITH_TIMEOUT(player.position() > 300, 5000);
    QVERIFY(waitForFrames(m_left, 5));

    player.pause(true);
    QVERIFY(player.isPaused());
    QCOMPARE(player.state(), AVPlayer::PausedState);
    QTest::qWait(300);
    const qint64 pausedAt = player.position();
    QTest::qWait(700);
    QCOMPARE(player.position(), pausedAt);

    player.pause(false);
    QCOMPARE(player.state(), AVPlayer::PlayingState);
    QTRY_VERIFY_WITH_TIMEOUT(player.position() > pausedAt + 200, 5000);

    positions.clear();
    player.seek(recordingMs - 1500);
    QTRY_VERIFY_WITH_TIMEOUT(
        !positions.isEmpty() && positions.last().at(0).toLongLong() >= recordingMs - 1600, 5000);

    // The end of a recording is a plain stop, without an error.
    QTRY_VERIFY_WITH_TIMEOUT(log.names.contains(QStringLiteral("stopped")), 10000);
    QCOMPARE(log.names,
             (QStringList{"playing-state", "started", "paused-state", "playing-state", "stopped-state",
                          "stopped"}));
    QVERIFY(!player.isPlaying());
}

void TestAVPlayer::stopEmitsStateThenStoppedOnce()
{
    AVPlayer player;
    player.setRenderer(m_left);
    SignalLog log(&player);
    player.play(liveUrl(QStringLiteral("str-2"), QStringLiteral("tcp")));
    QTRY_VERIFY_WITH_TIMEOUT(log.names.contains(QStringLiteral("started")), 15000);
    QVERIFY(waitForFrames(m_left, 3));
    player.stop();
    QCOMPARE(log.names, (QStringList{"playing-state", "started", "stopped-state", "stopped"}));
    // mpv's own end of the file, arriving later, adds nothing; neither does a second stop.
    QTest::qWait(500);
    player.stop();
    QCOMPARE(log.names.size(), 4);

    // Playing again after a stop starts cleanly; replacing what plays stops it first.
    player.play(liveUrl(QStringLiteral("str-2"), QStringLiteral("tcp")));
    QTRY_COMPARE_WITH_TIMEOUT(log.names.size(), 6, 15000);
    player.play(liveUrl(QStringLiteral("str-6"), QStringLiteral("tcp")));
    QTRY_COMPARE_WITH_TIMEOUT(log.names.size(), 10, 15000);
    QCOMPARE(
        log.names.mid(4),
        (QStringList{"playing-state", "started", "stopped-state", "stopped", "playing-state", "started"}));
    QVERIFY(log.errors.isEmpty());
}

void TestAVPlayer::openFailures_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<int>("code");
    QTest::newRow("missing file") << m_dir.filePath(QStringLiteral("missing.ts")) << int(AVError::OpenError);
    QTest::newRow("refused") << QStringLiteral("tcp://127.0.0.1:1") << int(AVError::NetworkError);
    QTest::newRow("recording not there")
        << QStringLiteral("https://media.orvane.tv:443/media/records/rec-999/video.ts")
        << int(AVError::OpenError);
    // TLS is verified: a server the system and the deployment do not vouch for
    // is refused, even though the file is there.
    QTest::newRow("untrusted certificate")
        << QStringLiteral("https://127.0.0.1:%1/pattern.mkv").arg(m_untrustedPort) << int(AVError::OpenError);
}

void TestAVPlayer::openFailures()
{
    QFETCH(QString, url);
    QFETCH(int, code);
    AVPlayer player;
    SignalLog log(&player);
    player.play(url);
    QTRY_VERIFY_WITH_TIMEOUT(!log.errors.isEmpty(), 15000);
    QCOMPARE(int(log.errors.first().error()), code);
    QVERIFY(!log.errors.first().string().isEmpty());
    // It never started, so there is nothing to stop.
    QCOMPARE(log.names, QStringList{"error"});
    QCOMPARE(player.state(), AVPlayer::StoppedState);
}

void TestAVPlayer::refusedSrtPassphraseIsLogged()
{
    // FFmpeg says "Input/output error" for any refused handshake; the log must
    // say what SRT said.
    const QString url
        = liveUrl(QStringLiteral("str-1"), QStringLiteral("srt"))
              .replace(QStringLiteral("orvane-str-1-passphrase"), QStringLiteral("not-the-passphrase"));
    QVERIFY(url.contains(QStringLiteral("not-the-passphrase")));
    QString all;
    {
        LogCapture capture;
        AVPlayer player;
        QVERIFY(SrtDiagnostics::installed());
        SignalLog log(&player);
        player.play(url);
        QTRY_VERIFY_WITH_TIMEOUT(!log.errors.isEmpty(), 15000);
        QCOMPARE(log.errors.first().error(), AVError::NetworkError);
        all = LogCapture::all();
    }
    QVERIFY2(all.contains(QStringLiteral("The SRT listener refused the connection: Incorrect passphrase")),
             qPrintable(all));
    QVERIFY2(all.contains(QRegularExpression(QStringLiteral("SRT: .*REJECT.*Incorrect passphrase"))),
             qPrintable(all));
    QVERIFY2(!all.contains(QStringLiteral("not-the-passphrase")), qPrintable(all));
}

void TestAVPlayer::srtRefusalReasons_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("reason");
    QTest::newRow("wrong passphrase") << "SRT.cn: processAsyncConnectRequest: REJECT reported from HS "
                                         "processing: Incorrect passphrase - not "
                                         "processing further"
                                      << "Incorrect passphrase";
    QTest::newRow("missing passphrase")
        << "SRT.cn: processAsyncConnectRequest: REJECT reported from HS processing: Password required or "
           "unexpected - not processing further"
        << "Password required or unexpected";
    QTest::newRow("no reason") << "SRT.cn: REJECT"
                               << "refused";
    QTest::newRow("other line") << "SRT.cn: connection timed out"
                                << "";
}

void TestAVPlayer::srtRefusalReasons()
{
    QFETCH(QString, line);
    QFETCH(QString, reason);
    QCOMPARE(SrtDiagnostics::refusalIn(line), reason);
}

void TestAVPlayer::onlyTheProductsAddressesOpen_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("playable");
    QTest::newRow("srt") << "srt://127.0.0.1:9000?passphrase=x" << true;
    QTest::newRow("tcp") << "tcp://127.0.0.1:9000" << true;
    QTest::newRow("https recording") << "https://media.orvane.tv/media/records/rec-001/video.ts" << true;
    QTest::newRow("plain http") << "http://media.orvane.tv/media/records/rec-001/video.ts" << false;
    QTest::newRow("lavfi graph") << "av://lavfi:testsrc" << false;
    QTest::newRow("edl list") << "edl://%10%/etc/passwd" << false;
    QTest::newRow("file url") << "file:///etc/passwd" << false;
    QTest::newRow("local path") << "/etc/passwd" << false;
    QTest::newRow("scheme without address") << "srt:" << false;
}

void TestAVPlayer::onlyTheProductsAddressesOpen()
{
    QFETCH(QString, url);
    QFETCH(bool, playable);
    AVPlayer::setLocalFilesAllowed(false);
    const bool taken = AVPlayer::isPlayableAddress(url);
    AVPlayer::setLocalFilesAllowed(true);
    QCOMPARE(taken, playable);
    if (playable)
        return;
    AVPlayer::setLocalFilesAllowed(false);
    AVPlayer player;
    SignalLog log(&player);
    player.play(url);
    AVPlayer::setLocalFilesAllowed(true);
    // Refused at once, before mpv sees the address.
    QCOMPARE(log.names, QStringList{"error"});
    QCOMPARE(int(log.errors.first().error()), int(AVError::OpenError));
    QVERIFY2(log.errors.first().string().endsWith(QStringLiteral("This address cannot be played")),
             qPrintable(log.errors.first().string()));
    QCOMPARE(player.state(), AVPlayer::StoppedState);
}

void TestAVPlayer::liveStreamShowsFrames_data()
{
    QTest::addColumn<QString>("stream");
    QTest::addColumn<QString>("protocol");
    QTest::newRow("tcp") << "str-8"
                         << "tcp";
    QTest::newRow("srt with passphrase") << "str-1"
                                         << "srt";
}

void TestAVPlayer::liveStreamShowsFrames()
{
    QFETCH(QString, stream);
    QFETCH(QString, protocol);
    AVPlayer player;
    player.setRenderer(m_left);
    QSignalSpy errors(&player, &AVPlayer::error);
    QSignalSpy first(&player, &AVPlayer::firstFrameRendered);
    player.play(liveUrl(stream, protocol));
    QVERIFY2(waitForFrames(m_left, 10, 10000), "no frames within 10 s");
    QCOMPARE(first.count(), 1);
    QVERIFY(errors.isEmpty());
    // The test pattern, not black: its colour bars are bright somewhere.
    const QImage frame = m_left->grabFrame();
    QVERIFY(brightPixels(frame, frame.rect()) > frame.width() * frame.height() / 10);
    QCOMPARE(player.statistics().video_only.width, 1920);
    player.stop();
}

void TestAVPlayer::stoppedEncoderGivesNetworkError()
{
    AVPlayer player;
    player.setRenderer(m_left);
    SignalLog log(&player);
    player.play(liveUrl(QStringLiteral("str-5"), QStringLiteral("tcp")));
    QVERIFY(waitForFrames(m_left, 5));
    m_stoppedStream = QStringLiteral("str-5");
    m_inspector.post(QStringLiteral("/live/stop"), {{QStringLiteral("stream"), m_stoppedStream}});
    QTRY_VERIFY_WITH_TIMEOUT(log.names.contains(QStringLiteral("stopped")), 15000);
    QCOMPARE(log.errors.size(), 1);
    QCOMPARE(log.errors.first().error(), AVError::NetworkError);
    QCOMPARE(log.names, (QStringList{"playing-state", "started", "error", "stopped-state", "stopped"}));

    // Back on air, the same player plays it again.
    m_inspector.post(QStringLiteral("/live/start"), {{QStringLiteral("stream"), m_stoppedStream}});
    m_stoppedStream.clear();
    player.play();
    QTRY_VERIFY_WITH_TIMEOUT(log.names.count(QStringLiteral("started")) == 2, 15000);
}

void TestAVPlayer::playerMovesBetweenRenderersWhilePlaying()
{
    AVPlayer player;
    player.setRenderer(m_left);
    SignalLog log(&player);
    player.play(liveUrl(QStringLiteral("str-6"), QStringLiteral("tcp")));
    QVERIFY(waitForFrames(m_left, 5));

    player.setRenderer(m_right);
    QCOMPARE(player.videoOutputs(), QList<OpenGLWidgetRenderer *>{m_right});
    QVERIFY(m_left->player() == nullptr);
    QVERIFY(waitForFrames(m_right, 10));
    const qint64 leftAfterMove = m_left->shownFrames();
    QTest::qWait(300);
    QCOMPARE(m_left->shownFrames(), leftAfterMove);

    // Both at once, then back; playback never restarted.
    player.addVideoRenderer(m_left);
    QCOMPARE(player.videoOutputs().size(), 2);
    QVERIFY(waitForFrames(m_left, 5));
    // A picture to look at: one live feed in two renderers, with its watermark.
    player.setOverlayText(QStringLiteral("ann@orvane.test"));
    QTest::qWait(200);
    const QString folder = QCoreApplication::applicationDirPath() + QStringLiteral("/artifacts");
    QDir().mkpath(folder);
    QImage picture(m_left->width() * 2, m_left->height(), QImage::Format_RGB32);
    QPainter painter(&picture);
    painter.drawImage(0, 0, m_left->grabFrame());
    painter.drawImage(m_left->width(), 0, m_right->grabFrame());
    painter.end();
    QVERIFY(picture.save(folder
                         + QStringLiteral("/media-two-renderers-%1.png")
                               .arg(qEnvironmentVariable("ORVANE_VIDEO_DRAWING", QStringLiteral("auto")))));
    player.removeVideoRenderer(m_right);
    QCOMPARE(player.videoOutputs(), QList<OpenGLWidgetRenderer *>{m_left});
    QCOMPARE(log.names, (QStringList{"playing-state", "started"}));
    QVERIFY(player.isPlaying());
}

void TestAVPlayer::rendererOrPlayerDestroyedWhilePlaying()
{
    // A tile closed while its feed plays: the player goes on without it.
    auto *player = new AVPlayer;
    auto *tile = new OpenGLWidgetRenderer(&m_window);
    tile->setFixedSize(160, 90);
    tile->show();
    player->setRenderer(tile);
    player->play(liveUrl(QStringLiteral("str-7"), QStringLiteral("tcp")));
    QVERIFY(waitForFrames(tile, 5));
    delete tile;
    QVERIFY(player->videoOutputs().isEmpty());
    const qint64 drawn = player->statistics().video_only.displayedFrames;
    QTRY_VERIFY_WITH_TIMEOUT(player->statistics().video_only.displayedFrames > drawn + 5, 5000);
    QVERIFY(player->isPlaying());

    // A player deleted while shown: its renderer lets go of it and shows black.
    player->setRenderer(m_left);
    QVERIFY(waitForFrames(m_left, 3));
    delete player;
    QVERIFY(m_left->player() == nullptr);
    const QImage black = m_left->grabFrame();
    QCOMPARE(brightPixels(black, black.rect()), 0);
}

void TestAVPlayer::colourRangeChangesLevels()
{
    AVPlayer player;
    player.setRenderer(m_left);
    player.play(m_pattern);
    QTRY_VERIFY_WITH_TIMEOUT(player.isPlaying(), 10000);
    player.pause(true);
    const QImage signalled = stillOfPattern(player, m_left);
    QVERIFY(!signalled.isNull());
    const QRectF black(0.02, 0.1, 0.2, 0.3), white(0.52, 0.1, 0.2, 0.3);
    QVERIFY2(meanColour(signalled, black).luma() < 6, "limited-range black shows as black");
    QVERIFY2(meanColour(signalled, white).luma() > 248, "limited-range white shows as white");

    // Read as full range, the same bytes lose contrast: black lifts, white dims.
    player.setColorRange(ColorRange_Full);
    const QImage full = stillOfPattern(player, m_left);
    QVERIFY(meanColour(full, black).luma() > meanColour(signalled, black).luma() + 8);
    QVERIFY(meanColour(full, white).luma() < meanColour(signalled, white).luma() - 8);

    player.setColorRange(ColorRange_Limited);
    const QImage limited = stillOfPattern(player, m_left);
    QVERIFY(qAbs(meanColour(limited, black).luma() - meanColour(signalled, black).luma()) < 3);
}

void TestAVPlayer::colourSpaceChangesPicture()
{
    AVPlayer player;
    player.setRenderer(m_left);
    player.play(m_pattern);
    QTRY_VERIFY_WITH_TIMEOUT(player.isPlaying(), 10000);
    player.pause(true);
    player.setColorSpace(ColorSpace_BT709);
    const QImage bt709 = stillOfPattern(player, m_left);
    QVERIFY(!bt709.isNull());
    const QRectF grey(0.27, 0.1, 0.2, 0.3), red(0.77, 0.1, 0.2, 0.3);

    // Decoding BT.709 red with the BT.601 matrix dims its red and leaves no green.
    player.setColorSpace(ColorSpace_BT601);
    const QImage bt601 = stillOfPattern(player, m_left);
    QVERIFY(meanColour(bt601, red).r < meanColour(bt709, red).r - 8);

    // The same grey read as PQ (about 90 nits, against SDR white of about 200)
    // is tone-mapped brighter than the SDR grey; HLG differs from SDR too.
    player.setColorSpace(ColorSpace_PQ);
    const QImage pq = stillOfPattern(player, m_left);
    QVERIFY2(meanColour(pq, grey).luma() > meanColour(bt709, grey).luma() + 10,
             qPrintable(QStringLiteral("PQ grey %1, SDR grey %2")
                            .arg(meanColour(pq, grey).luma())
                            .arg(meanColour(bt709, grey).luma())));
    player.setColorSpace(ColorSpace_HLG);
    const QImage hlg = stillOfPattern(player, m_left);
    QVERIFY(qAbs(meanColour(hlg, grey).luma() - meanColour(bt709, grey).luma()) > 5);
}

void TestAVPlayer::overlayTextAppearsAndEmptyDrawsNothing()
{
    AVPlayer player;
    player.setRenderer(m_left);
    player.play(m_pattern);
    QTRY_VERIFY_WITH_TIMEOUT(player.isPlaying(), 10000);
    player.pause(true);
    const QImage plain = stillOfPattern(player, m_left);
    QVERIFY(!plain.isNull());
    // The pattern is black below its bars, where the watermark goes.
    const QRect corner(plain.width() / 2, plain.height() * 3 / 4, plain.width() / 2 - 1,
                       plain.height() / 4 - 1);
    QCOMPARE(brightPixels(plain, corner), 0);

    player.setOverlayText(QStringLiteral("ann@orvane.test"));
    const QImage marked = m_left->grabFrame();
    QVERIFY(brightPixels(marked, corner) > 30);

    player.setOverlayText(QString());
    const QImage cleared = m_left->grabFrame();
    QCOMPARE(brightPixels(cleared, corner), 0);
}

void TestAVPlayer::statisticsArePlausible()
{
    AVPlayer player;
    player.setRenderer(m_left);
    player.play(liveUrl(QStringLiteral("str-7"), QStringLiteral("tcp")));
    QVERIFY(waitForFrames(m_left, 10));
    QTest::qWait(2500);
    const Statistics stats = player.statistics();
    // The encoder sends 30 frames a second; a loaded test machine may show fewer.
    QVERIFY2(stats.video_only.currentDisplayFPS() > 5 && stats.video_only.currentDisplayFPS() <= 40,
             qPrintable(QString::number(stats.video_only.currentDisplayFPS())));
    QVERIFY2(qAbs(stats.video_only.frameRate - 30) < 1,
             qPrintable(QString::number(stats.video_only.frameRate)));
    QVERIFY2(stats.video.bit_rate > 50000, qPrintable(QString::number(stats.video.bit_rate)));
    QVERIFY2(stats.audio.bit_rate > 20000 && stats.audio.bit_rate < 400000,
             qPrintable(QString::number(stats.audio.bit_rate)));
    QVERIFY(stats.video_only.displayedFrames >= 10);
    QCOMPARE(stats.video.codec, QStringLiteral("h264"));

    player.audio()->setVolume(60.0);
    player.audio()->setMute(true);
    QVERIFY(player.audio()->isMute());
    QCOMPARE(player.audio()->volume(), 60.0);
    player.stop();
    QCOMPARE(player.statistics().video_only.currentDisplayFPS(), 0.0);
}

void TestAVPlayer::soundPlaysWhereVideoCannotBeDrawn()
{
    // Run by CTest on a display without OpenGL with OpenGL drawing forced.
    if (OrvaneAV::VideoFrameSource::machineDrawing() != VideoFrameSource::Drawing::OpenGL
        || QOpenGLContext().create())
        QSKIP("needs a display without OpenGL and ORVANE_VIDEO_DRAWING=opengl");
    AVPlayer player;
    player.setRenderer(m_left);
    SignalLog log(&player);
    player.play(liveUrl(QStringLiteral("str-2"), QStringLiteral("tcp")));
    QTRY_VERIFY_WITH_TIMEOUT(log.names.contains(QStringLiteral("started")), 15000);
    QTRY_VERIFY_WITH_TIMEOUT(player.statistics().audio.bit_rate > 0, 10000);
    QCOMPARE(m_left->shownFrames(), 0);
    QVERIFY(log.errors.isEmpty());
}

void TestAVPlayer::bufferValueDelaysLivePlayback_data()
{
    QTest::addColumn<qint64>("delayMs");
    QTest::addColumn<qint64>("atLeastMs");
    QTest::addColumn<qint64>("belowMs");
    // The buffer is what separates the picture from live.
    QTest::newRow("fixed delay of 2 s") << qint64(2000) << qint64(1200) << qint64(4000);
    QTest::newRow("automatic: as little as the stream allows") << qint64(-1) << qint64(0) << qint64(1000);
}

void TestAVPlayer::bufferValueDelaysLivePlayback()
{
    QFETCH(qint64, delayMs);
    QFETCH(qint64, atLeastMs);
    QFETCH(qint64, belowMs);
    AVPlayer player;
    player.setRenderer(m_left);
    player.setBufferMode(BufferTime);
    player.setBufferValue(delayMs);
    player.play(liveUrl(QStringLiteral("str-2"), QStringLiteral("tcp")));
    QVERIFY(waitForFrames(m_left, 10, 20000));
    QTest::qWait(1500);
    const qint64 buffered = player.statistics().video_only.bufferedMs;
    qInfo("buffered: %lld ms", buffered);
    QVERIFY2(buffered >= atLeastMs && buffered < belowMs, qPrintable(QString::number(buffered)));
}

int main(int argc, char *argv[])
{
    OrvaneAV::prepareApplication();
    QApplication app(argc, argv);
    TestAVPlayer test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_avplayer.moc"
