// The client library's realtime preview channel against the deployment: previews
// of subscribed encoders arrive as encoderPreviewUpdated on a receiver in the main
// thread, the payload rules hold, and connection changes reach the handler.
#include "qtovcoreapiframework.h"
#include "sandboxinspector.h"

#include <QJsonArray>
#include <QMutex>
#include <QSignalSpy>
#include <QtTest>

#include <atomic>
#include <memory>

using Api = QtOVCoreAPIFramework;

namespace {

const QString realtimeUrl = "https://realtime.orvane.tv:443/socket.io";

// Lives in the main thread and records the previews it receives, and where.
class PreviewReceiver : public QObject
{
    Q_OBJECT

public:
    struct Preview
    {
        QString sid;
        QByteArray data;
    };
    QVector<Preview> previews;
    bool allOnMainThread = true;

    int count(const QString &sid) const
    {
        return int(
            std::count_if(previews.begin(), previews.end(), [&](const Preview &p) { return p.sid == sid; }));
    }

public slots:
    void onPreview(const QString &sid, const QByteArray &data)
    {
        allOnMainThread
            = allOnMainThread && QThread::currentThread() == QCoreApplication::instance()->thread();
        previews.append({sid, data});
    }
};

// Connection reports, from the network thread.
struct StatusLog
{
    QMutex mutex;
    QVector<bool> reports;
    std::atomic<bool> offMainThread{true};

    std::function<void(bool)> handler()
    {
        return [this](bool connected) {
            offMainThread
                = offMainThread && QThread::currentThread() != QCoreApplication::instance()->thread();
            QMutexLocker lock(&mutex);
            reports.append(connected);
        };
    }
    QVector<bool> all()
    {
        QMutexLocker lock(&mutex);
        return reports;
    }
};

} // namespace

class TestRealtimeChannel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void previewsOfSubscribedEncodersOnly();
    void stopEncoderPreviewEndsEvents();
    void payloadRules_data();
    void payloadRules();
    void refusedConnectionReportsFalse();
    void serverRestartBringsPreviewsBack();
    void replacingTheHandlerWhileReporting();
    void logLines();

private:
    void connectChannel(StatusLog &status);

    OVTVProduction m_environment;
    std::unique_ptr<Api> m_client;
    std::unique_ptr<SandboxInspector> m_inspector;
    std::unique_ptr<PreviewReceiver> m_receiver;
    QString m_token;
};

void TestRealtimeChannel::initTestCase()
{
    m_inspector = std::make_unique<SandboxInspector>();
    QVERIFY2(m_inspector->isValid(), qPrintable(m_inspector->errorText()));
    Api signer([](QString text) { return text; }, &m_environment);
    QSignalSpy spy(&signer, &Api::loginFinished);
    signer.login("ann@orvane.test", "orvane-demo-1");
    QVERIFY(spy.wait(15000));
    m_token = spy.first().at(0).toJsonObject().value("auth_token").toString();
    QVERIFY(!m_token.isEmpty());
}

void TestRealtimeChannel::init()
{
    m_client = std::make_unique<Api>([](QString text) { return text; }, &m_environment);
    m_client->setAuthToken(m_token);
    m_receiver = std::make_unique<PreviewReceiver>();
    connect(m_client.get(), &Api::encoderPreviewUpdated, m_receiver.get(), &PreviewReceiver::onPreview);
}

void TestRealtimeChannel::cleanup()
{
    m_client.reset();
    m_receiver.reset();
    m_inspector->post("/realtime/start", {});
}

void TestRealtimeChannel::connectChannel(StatusLog &status)
{
    m_client->enableSIODebug();
    m_client->connectSIO(realtimeUrl, "acme");
    m_client->addPrintSIOHandler();
    m_client->setConnectionStatusHandler(status.handler());
    QTRY_COMPARE_WITH_TIMEOUT(status.all(), QVector<bool>{true}, 15000);
    QVERIFY(status.offMainThread);
}

void TestRealtimeChannel::logLines()
{
    // The lines a support person reads, word for word (each must appear).
    QTest::ignoreMessage(QtDebugMsg, "Adding default handlers...");
    QTest::ignoreMessage(QtDebugMsg, ("Connecting to " + realtimeUrl).toUtf8().constData());
    QTest::ignoreMessage(QtDebugMsg, "Adding preview handler for enc-1(device:enc-1:preview)");
    StatusLog status;
    connectChannel(status);
    m_client->updateEncoderPreview("enc-1");
}

void TestRealtimeChannel::previewsOfSubscribedEncodersOnly()
{
    StatusLog status;
    connectChannel(status);

    m_client->updateEncoderPreview("enc-1");
    // The empty picture comes at once, on the caller's thread.
    QCOMPARE(m_receiver->previews.size(), 1);
    QCOMPARE(m_receiver->previews.first().sid, QString("enc-1"));
    QVERIFY(m_receiver->previews.first().data.isEmpty());
    m_client->updateEncoderPreview("enc-2");
    QCOMPARE(m_receiver->count("enc-2"), 1);

    QTRY_VERIFY_WITH_TIMEOUT(m_receiver->count("enc-1") >= 3 && m_receiver->count("enc-2") >= 3, 15000);
    QVERIFY(m_receiver->allOnMainThread);
    // enc-5 belongs to the same company but nobody subscribed it.
    QCOMPARE(m_receiver->count("enc-5"), 0);
    for (const auto &preview : m_receiver->previews) {
        if (preview.data.isEmpty())
            continue;
        const QByteArray jpeg = QByteArray::fromBase64(preview.data);
        QVERIFY(jpeg.startsWith("\xff\xd8\xff"));
        QVERIFY(jpeg.size() > 1000);
    }

    m_client->disconnectSIO();
    QTRY_COMPARE_WITH_TIMEOUT(status.all(), (QVector<bool>{true, false}), 15000);
}

void TestRealtimeChannel::stopEncoderPreviewEndsEvents()
{
    StatusLog status;
    connectChannel(status);
    m_client->updateEncoderPreview("enc-1");
    m_client->updateEncoderPreview("enc-2");
    QTRY_VERIFY_WITH_TIMEOUT(m_receiver->count("enc-1") >= 2, 15000);

    m_client->stopEncoderPreview("enc-1");
    // Previews already on their way may still arrive; none after that.
    QTest::qWait(300);
    const int enc1 = m_receiver->count("enc-1");
    const int enc2 = m_receiver->count("enc-2");
    QTRY_VERIFY_WITH_TIMEOUT(m_receiver->count("enc-2") >= enc2 + 3, 15000);
    QCOMPARE(m_receiver->count("enc-1"), enc1);

    // Subscribing the same encoder twice keeps one handler: one preview per push.
    m_client->updateEncoderPreview("enc-2");
    m_client->updateEncoderPreview("enc-2");
    m_receiver->previews.clear();
    m_inspector->post("/realtime/emit",
                      {{"event", "device:enc-2:preview"},
                       {"payload", QJsonObject{{"img", "data:image/jpeg;base64,QUFB"}}}});
    QTRY_VERIFY_WITH_TIMEOUT(std::any_of(m_receiver->previews.begin(), m_receiver->previews.end(),
                                         [](const PreviewReceiver::Preview &p) { return p.data == "QUFB"; }),
                             15000);
    QTest::qWait(200);
    QCOMPARE(int(std::count_if(m_receiver->previews.begin(), m_receiver->previews.end(),
                               [](const PreviewReceiver::Preview &p) { return p.data == "QUFB"; })),
             1);
}

void TestRealtimeChannel::payloadRules_data()
{
    QTest::addColumn<QJsonValue>("payload");
    QTest::addColumn<bool>("signalled");
    QTest::addColumn<QByteArray>("data");
    QTest::newRow("jpeg loses 23") << QJsonValue(QJsonObject{{"img", "data:image/jpeg;base64,SlBFRw=="}})
                                   << true << QByteArray("SlBFRw==");
    QTest::newRow("png loses 22") << QJsonValue(QJsonObject{{"img", "data:image/png;base64,UE5H"}}) << true
                                  << QByteArray("UE5H");
    QTest::newRow("array") << QJsonValue(QJsonArray{QJsonObject{{"img", "data:image/jpeg;base64,QQ=="}}})
                           << false << QByteArray();
    QTest::newRow("number") << QJsonValue(12) << false << QByteArray();
    QTest::newRow("text") << QJsonValue("data:image/jpeg;base64,QQ==") << false << QByteArray();
    QTest::newRow("img a number") << QJsonValue(QJsonObject{{"img", 5}}) << false << QByteArray();
    QTest::newRow("short img") << QJsonValue(QJsonObject{{"img", "abc"}}) << false << QByteArray();
    QTest::newRow("null") << QJsonValue() << false << QByteArray();
}

void TestRealtimeChannel::payloadRules()
{
    QFETCH(QJsonValue, payload);
    QFETCH(bool, signalled);
    QFETCH(QByteArray, data);
    StatusLog status;
    // An encoder the server never pushes by itself, so only our payloads arrive.
    m_client->connectSIO(realtimeUrl, "acme");
    m_client->setConnectionStatusHandler(status.handler());
    QTRY_COMPARE_WITH_TIMEOUT(status.all(), QVector<bool>{true}, 15000);
    m_client->updateEncoderPreview("test-encoder");
    m_receiver->previews.clear();

    const QString event = "device:test-encoder:preview";
    m_inspector->post("/realtime/emit", {{"event", event}, {"payload", payload}});
    // A sentinel after it: events keep their order, so whatever the payload gave
    // has arrived once the sentinel has.
    m_inspector->post("/realtime/emit",
                      {{"event", event}, {"payload", QJsonObject{{"img", "data:image/jpeg;base64,END"}}}});
    QTRY_VERIFY_WITH_TIMEOUT(!m_receiver->previews.isEmpty() && m_receiver->previews.last().data == "END",
                             15000);

    QCOMPARE(m_receiver->previews.size(), signalled ? 2 : 1);
    if (signalled) {
        QCOMPARE(m_receiver->previews.first().sid, QString("test-encoder"));
        QCOMPARE(m_receiver->previews.first().data, data);
    }
}

void TestRealtimeChannel::refusedConnectionReportsFalse()
{
    StatusLog status;
    m_client->setAuthToken(QString());
    m_client->setConnectionStatusHandler(status.handler());
    m_inspector->get("/realtime/handshakes");
    m_client->connectSIO(realtimeUrl, "acme");
    QTRY_COMPARE_WITH_TIMEOUT(status.all(), QVector<bool>{false}, 15000);
    // The empty token was still sent.
    const QJsonObject query
        = m_inspector->get("/realtime/handshakes").toArray().last().toObject().value("query").toObject();
    QVERIFY(query.contains("auth_token"));
    QCOMPARE(query.value("auth_token").toString(), QString());
    QCOMPARE(query.value("cid").toString(), QString("acme"));
}

void TestRealtimeChannel::serverRestartBringsPreviewsBack()
{
    StatusLog status;
    connectChannel(status);
    m_client->updateEncoderPreview("enc-1");
    QTRY_VERIFY_WITH_TIMEOUT(m_receiver->count("enc-1") >= 2, 15000);

    m_inspector->post("/realtime/stop", {});
    QTRY_VERIFY_WITH_TIMEOUT(status.all().size() >= 2 && !status.all().last(), 15000);
    QTest::qWait(500);
    const int during = m_receiver->count("enc-1");
    m_inspector->post("/realtime/start", {});
    QTRY_VERIFY_WITH_TIMEOUT(status.all().last(), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(m_receiver->count("enc-1") >= during + 2, 15000);
}

void TestRealtimeChannel::replacingTheHandlerWhileReporting()
{
    // The handler is replaced over and over while the connection keeps dropping;
    // each report reaches a whole handler (the sanitizer build checks for races).
    std::atomic<int> calls{0};
    m_client->connectSIO(realtimeUrl, "acme");
    for (int round = 0; round < 6; ++round) {
        m_inspector->post("/realtime/drop", {});
        for (int i = 0; i < 200; ++i) {
            m_client->setConnectionStatusHandler([&calls](bool) { ++calls; });
            QCoreApplication::processEvents();
        }
        QTest::qWait(300);
    }
    QTRY_VERIFY_WITH_TIMEOUT(calls.load() >= 2, 20000);
    m_client->setConnectionStatusHandler(nullptr);
    m_client->disconnectSIO();
}

QTEST_GUILESS_MAIN(TestRealtimeChannel)
#include "tst_realtimechannel.moc"
