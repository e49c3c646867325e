// Our Socket.IO client against the deployment's real Socket.IO server: handshake
// with the query, events on the network thread, refusal, clean close, dropped
// connections and server restarts with reconnection, and many connect/close cycles
// without leaking threads or sockets.
#include "sandboxinspector.h"
#include "deploymentoverride.h"
#include "sioclient.h"

#include <QDir>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QHostAddress>
#include <QTcpServer>
#include <QMutex>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QWebSocket>
#include <QWebSocketServer>
#include <QFileInfo>
#include <QSslKey>
#include <QSslConfiguration>
#include <QFile>
#include <QtTest>

#include <atomic>

using namespace SocketIo;

namespace {

const QUrl realtimeUrl("https://realtime.orvane.tv:443/socket.io");

// Records what the listeners and handlers report, from the network thread.
struct Recorder
{
    QMutex mutex;
    QStringList log;
    std::atomic<int> opens{0};
    std::atomic<int> fails{0};
    std::atomic<int> normalCloses{0};
    std::atomic<int> drops{0};
    std::atomic<bool> offThread{true};

    void attach(Client &client)
    {
        const QThread *network = client.networkThread();
        client.setOpenListener([this, network] {
            offThread = offThread && QThread::currentThread() == network;
            ++opens;
            add("open");
        });
        client.setFailListener([this] {
            ++fails;
            add("fail");
        });
        client.setCloseListener([this](CloseReason reason) {
            ++(reason == CloseReason::Normal ? normalCloses : drops);
            add(reason == CloseReason::Normal ? "close normal" : "close drop");
        });
        client.socket().onError([this](const QJsonValue &message) { add("error " + message.toString()); });
    }
    void add(const QString &entry)
    {
        QMutexLocker lock(&mutex);
        log << entry;
    }
    QStringList entries()
    {
        QMutexLocker lock(&mutex);
        return log;
    }
};

QStringList threadNames()
{
    QStringList names;
    for (const QString &task : QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm("/proc/self/task/" + task + "/comm");
        comm.open(QIODevice::ReadOnly);
        names << QString::fromUtf8(comm.readAll()).trimmed();
    }
    names.sort();
    return names;
}

int countEntries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size();
}

QString signIn()
{
    QNetworkAccessManager network;
    QUrl url("https://id.orvane.tv:443/api/v1.1/auth/login?email=ann@orvane.test&password=orvane-demo-1");
    QNetworkRequest request(url);
    DeploymentOverride::instance().prepare(request);
    QNetworkReply *reply = network.get(request);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    const QString token = QJsonDocument::fromJson(reply->readAll())
                              .object()
                              .value("response")
                              .toObject()
                              .value("auth_token")
                              .toString();
    delete reply;
    return token;
}

} // namespace

class TestSocketIoClient : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void connectsWithTheQuery();
    void eventsRunOnTheNetworkThread();
    void refusedConnectionReachesTheFailListener_data();
    void refusedConnectionReachesTheFailListener();
    void unreachableServerIsRetried();
    void silentServerIsLeftAndRetried();
    void droppedConnectionReconnects();
    void serverRestartReconnects();
    void connectCloseCycles();

private:
    QMap<QString, QString> query(const QString &cid = "acme") const
    {
        return {{"auth_token", m_token}, {"cid", cid}};
    }

    std::unique_ptr<SandboxInspector> m_inspector;
    QString m_token;
};

void TestSocketIoClient::initTestCase()
{
    m_inspector = std::make_unique<SandboxInspector>();
    QVERIFY2(m_inspector->isValid(), qPrintable(m_inspector->errorText()));
    m_token = signIn();
    QVERIFY(!m_token.isEmpty());
}

void TestSocketIoClient::cleanup()
{
    m_inspector->post("/realtime/start", {});
}

void TestSocketIoClient::connectsWithTheQuery()
{
    Recorder recorder; // outlives the client
    Client client;
    recorder.attach(client);
    client.setDebugPrint(qEnvironmentVariableIsSet("ORVANE_SIO_DEBUG"));
    client.connect(realtimeUrl, query());
    QTRY_COMPARE_WITH_TIMEOUT(recorder.opens.load(), 1, 15000);
    QVERIFY(client.isConnected());
    QVERIFY(recorder.offThread);

    const QJsonArray clients = m_inspector->get("/realtime/clients").toArray();
    QCOMPARE(clients.size(), 1);
    const QJsonObject connected = clients.first().toObject();
    QCOMPARE(connected.value("endpoint").toString(), QString("realtime.orvane.tv:443"));
    QCOMPARE(connected.value("cid").toString(), QString("acme"));
    QCOMPARE(connected.value("query").toObject().value("auth_token").toString(), m_token);
    QCOMPARE(connected.value("query").toObject().value("EIO").toString(), QString("4"));

    client.close();
    QTRY_COMPARE_WITH_TIMEOUT(recorder.normalCloses.load(), 1, 15000);
    QVERIFY(!client.isConnected());
    QTRY_COMPARE_WITH_TIMEOUT(m_inspector->get("/realtime/clients").toArray().size(), 0, 15000);
    // A clean close is final.
    QTest::qWait(1500);
    QCOMPARE(recorder.entries(), (QStringList{"open", "close normal"}));
}

void TestSocketIoClient::eventsRunOnTheNetworkThread()
{
    Recorder recorder; // outlives the client
    Client client;
    recorder.attach(client);
    std::atomic<bool> onNetworkThread{true};
    QMutex mutex;
    QVector<QJsonValue> received;
    const QThread *network = client.networkThread();
    client.socket().on("custom:event", [&](const QString &event, const QJsonValue &message) {
        onNetworkThread = onNetworkThread && QThread::currentThread() == network && event == "custom:event";
        QMutexLocker lock(&mutex);
        received << message;
    });
    client.connect(realtimeUrl, query());
    QTRY_COMPARE_WITH_TIMEOUT(recorder.opens.load(), 1, 15000);

    const QJsonArray payloads = {QJsonObject{{"n", 1}}, QJsonArray{1, 2}, "text", 7, QJsonValue()};
    for (const QJsonValue &payload : payloads)
        m_inspector->post("/realtime/emit", {{"event", "custom:event"}, {"payload", payload}});
    QTRY_COMPARE_WITH_TIMEOUT(
        [&] {
            QMutexLocker lock(&mutex);
            return received.size();
        }(),
        payloads.size(), 15000);
    QVERIFY(onNetworkThread);
    QMutexLocker lock(&mutex);
    for (int i = 0; i < payloads.size(); ++i)
        QCOMPARE(received.at(i), payloads.at(i));
    lock.unlock();

    // Once off() returns, the handler is gone.
    client.socket().off("custom:event");
    QCOMPARE(client.socket().handlerCount(), 0);
    m_inspector->post("/realtime/emit", {{"event", "custom:event"}, {"payload", 8}});
    QTest::qWait(500);
    lock.relock();
    QCOMPARE(received.size(), payloads.size());
}

void TestSocketIoClient::refusedConnectionReachesTheFailListener_data()
{
    QTest::addColumn<QString>("token");
    QTest::addColumn<QString>("cid");
    QTest::newRow("wrong token") << "not-a-token"
                                 << "acme";
    QTest::newRow("empty token") << ""
                                 << "acme";
    QTest::newRow("company the token may not see") << "%TOKEN%"
                                                   << "nobody";
}

void TestSocketIoClient::refusedConnectionReachesTheFailListener()
{
    QFETCH(QString, token);
    QFETCH(QString, cid);
    token.replace("%TOKEN%", m_token);
    Recorder recorder; // outlives the client
    Client client;
    recorder.attach(client);
    client.connect(realtimeUrl, {{"auth_token", token}, {"cid", cid}});
    QTRY_COMPARE_WITH_TIMEOUT(recorder.fails.load(), 1, 15000);
    QCOMPARE(recorder.entries(), (QStringList{"error Not authorized", "fail"}));
    // Refused credentials are not offered again.
    QTest::qWait(2500);
    QCOMPARE(recorder.fails.load(), 1);
    QCOMPARE(recorder.opens.load(), 0);
}

void TestSocketIoClient::unreachableServerIsRetried()
{
    Client client;
    ReconnectPolicy quick;
    quick.delayMs = 100;
    quick.delayMaxMs = 200;
    client.setReconnectPolicy(quick);
    Recorder recorder;
    recorder.attach(client);
    // A designed host the deployment does not serve: nothing listens there.
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 port = probe.serverPort();
    probe.close();
    client.connect(QUrl(QStringLiteral("https://127.0.0.1:%1/").arg(port)), query());
    QTRY_VERIFY_WITH_TIMEOUT(recorder.fails.load() >= 3, 15000);
    QCOMPARE(recorder.opens.load(), 0);
    client.close();
}

void TestSocketIoClient::silentServerIsLeftAndRetried()
{
    // Accepts the WebSocket and never sends the Engine.IO handshake. It serves
    // the deployment's certificate (issued for 127.0.0.1 too), which the client trusts.
    SandboxInspector inspector;
    const QString tls = QFileInfo(inspector.deployment().value("caCertificates").toArray().at(0).toString()).absolutePath();
    QFile keyFile(tls + "/server.key");
    QVERIFY(keyFile.open(QIODevice::ReadOnly));
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setLocalCertificateChain(QSslCertificate::fromPath(tls + "/server.pem"));
    configuration.setPrivateKey(QSslKey(&keyFile, QSsl::Rsa));
    configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
    QWebSocketServer silent(QStringLiteral("silent"), QWebSocketServer::SecureMode);
    silent.setSslConfiguration(configuration);
    QVERIFY(silent.listen(QHostAddress::LocalHost, 0));
    std::atomic<int> accepted{0};
    QList<QWebSocket *> sockets;
    QObject::connect(&silent, &QWebSocketServer::newConnection, [&] {
        while (QWebSocket *socket = silent.nextPendingConnection()) {
            sockets << socket;
            ++accepted;
        }
    });
    Client client;
    ReconnectPolicy quick;
    quick.delayMs = 100;
    quick.delayMaxMs = 200;
    quick.openingLimitMs = 500;
    client.setReconnectPolicy(quick);
    Recorder recorder;
    recorder.attach(client);
    client.connect(QUrl(QStringLiteral("https://127.0.0.1:%1/").arg(silent.serverPort())), query());
    QTRY_VERIFY_WITH_TIMEOUT(accepted.load() >= 3, 15000);
    QTRY_VERIFY_WITH_TIMEOUT(recorder.fails.load() >= 2, 5000);
    QCOMPARE(recorder.opens.load(), 0);
    client.close();
    qDeleteAll(sockets);
}

void TestSocketIoClient::droppedConnectionReconnects()
{
    Recorder recorder; // outlives the client
    Client client;
    recorder.attach(client);
    client.connect(realtimeUrl, query());
    QTRY_COMPARE_WITH_TIMEOUT(recorder.opens.load(), 1, 15000);
    m_inspector->post("/realtime/drop", {});
    QTRY_COMPARE_WITH_TIMEOUT(recorder.drops.load(), 1, 15000);
    // Back within the back-off (at most 5 s).
    QTRY_COMPARE_WITH_TIMEOUT(recorder.opens.load(), 2, 15000);
    QCOMPARE(m_inspector->get("/realtime/clients").toArray().size(), 1);
    client.close();
    QTRY_COMPARE_WITH_TIMEOUT(recorder.normalCloses.load(), 1, 15000);
}

void TestSocketIoClient::serverRestartReconnects()
{
    Recorder recorder; // outlives the client
    Client client;
    recorder.attach(client);
    QMutex mutex;
    int previews = 0;
    client.socket().on("device:enc-1:preview", [&](const QString &, const QJsonValue &) {
        QMutexLocker lock(&mutex);
        ++previews;
    });
    client.connect(realtimeUrl, query());
    QTRY_COMPARE_WITH_TIMEOUT(recorder.opens.load(), 1, 15000);

    m_inspector->post("/realtime/stop", {});
    QTRY_COMPARE_WITH_TIMEOUT(recorder.drops.load(), 1, 15000);
    // While the server is down, attempts fail and are retried.
    QTRY_VERIFY_WITH_TIMEOUT(recorder.fails.load() >= 1, 15000);
    QCOMPARE(recorder.opens.load(), 1);

    m_inspector->post("/realtime/start", {});
    QTRY_COMPARE_WITH_TIMEOUT(recorder.opens.load(), 2, 20000);
    const int before = [&] {
        QMutexLocker lock(&mutex);
        return previews;
    }();
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            QMutexLocker lock(&mutex);
            return previews;
        }() > before,
        15000);
    client.close();
}

void TestSocketIoClient::connectCloseCycles()
{
    const int cycles = qEnvironmentVariableIntValue("ORVANE_SIO_CYCLES") > 0
        ? qEnvironmentVariableIntValue("ORVANE_SIO_CYCLES")
        : 1000;
    // One round first, so the toolkit's own lazily started helpers are counted.
    {
        Recorder recorder;
        Client client;
        recorder.attach(client);
        client.connect(realtimeUrl, query());
        QTRY_COMPARE_WITH_TIMEOUT(recorder.opens.load(), 1, 15000);
        client.close();
        QTRY_COMPARE_WITH_TIMEOUT(recorder.normalCloses.load(), 1, 15000);
        m_inspector->get("/realtime/clients");
    }
    QTRY_VERIFY_WITH_TIMEOUT(!threadNames().contains("socket.io"), 15000);
    const int threadsBefore = countEntries("/proc/self/task");
    const int filesBefore = countEntries("/proc/self/fd");
    {
        Recorder recorder;
        Client client;
        recorder.attach(client);
        client.socket().on("device:enc-1:preview", [](const QString &, const QJsonValue &) {});
        for (int i = 1; i <= cycles; ++i) {
            client.connect(realtimeUrl, query());
            QVERIFY(QTest::qWaitFor([&] { return recorder.opens.load() == i; }, 15000));
            client.close();
            QVERIFY(QTest::qWaitFor([&] { return recorder.normalCloses.load() == i; }, 15000));
        }
        QCOMPARE(recorder.fails.load(), 0);
        QCOMPARE(recorder.drops.load(), 0);
        QCOMPARE(client.socket().handlerCount(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(m_inspector->get("/realtime/clients").toArray().size(), 0, 15000);
    }
    // The client's thread and every socket it opened are gone with it.
    QTRY_VERIFY_WITH_TIMEOUT(!threadNames().contains("socket.io"), 15000);
    QCOMPARE(countEntries("/proc/self/task"), threadsBefore);
    QTRY_VERIFY_WITH_TIMEOUT(countEntries("/proc/self/fd") <= filesBefore + 2, 15000);
}

QTEST_GUILESS_MAIN(TestSocketIoClient)
#include "tst_socketioclient.moc"
