// The Socket.IO wire format: Engine.IO 4 frames, Socket.IO 5 packets, the
// handshake, the WebSocket address, the back-off and the preview payload rule.
#include "qtovcoreapiframework.h"
#include "sioconnection.h"
#include "sioprotocol.h"

#include <QJsonDocument>
#include <QUrlQuery>
#include <QtTest>

using namespace SocketIo;

class TestSioProtocol : public QObject
{
    Q_OBJECT

private slots:
    void engineFrames_data();
    void engineFrames();
    void handshake_data();
    void handshake();
    void socketPackets_data();
    void socketPackets();
    void encoding();
    void webSocketUrl();
    void backOff_data();
    void backOff();
    void previewPayloads_data();
    void previewPayloads();
};

void TestSioProtocol::engineFrames_data()
{
    QTest::addColumn<QString>("frame");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("data");
    QTest::newRow("open") << R"(0{"sid":"x"})" << int(EnginePacket::Open) << R"({"sid":"x"})";
    QTest::newRow("close") << "1" << int(EnginePacket::Close) << "";
    QTest::newRow("ping") << "2" << int(EnginePacket::Ping) << "";
    QTest::newRow("ping with probe") << "2probe" << int(EnginePacket::Ping) << "probe";
    QTest::newRow("message") << R"(42["a",1])" << int(EnginePacket::Message) << R"(2["a",1])";
    QTest::newRow("noop") << "6" << int(EnginePacket::Noop) << "";
    QTest::newRow("empty") << "" << int(EnginePacket::Invalid) << "";
    QTest::newRow("type 7") << "7x" << int(EnginePacket::Invalid) << "";
    QTest::newRow("letter") << "a" << int(EnginePacket::Invalid) << "";
    QTest::newRow("Arabic-Indic digit") << QString::fromUtf8("\xd9\xa4x") << int(EnginePacket::Invalid) << "";
}

void TestSioProtocol::engineFrames()
{
    QFETCH(QString, frame);
    QFETCH(int, type);
    QFETCH(QString, data);
    const EnginePacket packet = EnginePacket::decode(frame);
    QCOMPARE(int(packet.type), type);
    if (type != EnginePacket::Invalid)
        QCOMPARE(packet.data, data);
}

void TestSioProtocol::handshake_data()
{
    QTest::addColumn<QString>("data");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("interval");
    QTest::addColumn<int>("timeout");
    QTest::newRow("full")
        << R"({"sid":"abc","upgrades":[],"pingInterval":300,"pingTimeout":200,"maxPayload":1000000})" << true
        << 300 << 200;
    QTest::newRow("defaults") << R"({"sid":"abc"})" << true << 25000 << 20000;
    QTest::newRow("nonsense intervals")
        << R"({"sid":"abc","pingInterval":-5,"pingTimeout":"x"})" << true << 25000 << 20000;
    QTest::newRow("huge interval") << R"({"sid":"abc","pingInterval":1e12})" << true << 25000 << 20000;
    QTest::newRow("no sid") << R"({"pingInterval":300})" << false << 0 << 0;
    QTest::newRow("numeric sid") << R"({"sid":5})" << false << 0 << 0;
    QTest::newRow("not JSON") << "sid=abc" << false << 0 << 0;
}

void TestSioProtocol::handshake()
{
    QFETCH(QString, data);
    QFETCH(bool, valid);
    QFETCH(int, interval);
    QFETCH(int, timeout);
    const EngineHandshake handshake = EngineHandshake::decode(data);
    QCOMPARE(handshake.valid, valid);
    if (valid) {
        QCOMPARE(handshake.sid, QString("abc"));
        QCOMPARE(handshake.pingInterval, interval);
        QCOMPARE(handshake.pingTimeout, timeout);
    }
}

void TestSioProtocol::socketPackets_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("nsp");
    QTest::addColumn<qint64>("ackId");
    QTest::addColumn<int>("attachments");
    QTest::addColumn<QString>("json"); // compact JSON of the data, empty when none
    QTest::addColumn<QString>("event");

    QTest::newRow("connect") << "0" << int(SocketPacket::Connect) << "/" << qint64(-1) << 0 << ""
                             << "";
    QTest::newRow("connect reply") << R"(0{"sid":"s1"})" << int(SocketPacket::Connect) << "/" << qint64(-1)
                                   << 0 << R"({"sid":"s1"})"
                                   << "";
    QTest::newRow("connect, other namespace") << R"(0/admin,{"sid":"s1"})" << int(SocketPacket::Connect)
                                              << "/admin" << qint64(-1) << 0 << R"({"sid":"s1"})"
                                              << "";
    QTest::newRow("namespace without data")
        << "1/admin" << int(SocketPacket::Disconnect) << "/admin" << qint64(-1) << 0 << ""
        << "";
    QTest::newRow("event") << R"(2["device:enc-1:preview",{"img":"data:x"}])" << int(SocketPacket::Event)
                           << "/" << qint64(-1) << 0 << R"(["device:enc-1:preview",{"img":"data:x"}])"
                           << "device:enc-1:preview";
    QTest::newRow("event with ack id")
        << R"(212["hello"])" << int(SocketPacket::Event) << "/" << qint64(12) << 0 << R"(["hello"])"
        << "hello";
    QTest::newRow("event in namespace with ack id")
        << R"(2/chat,7["m",1])" << int(SocketPacket::Event) << "/chat" << qint64(7) << 0 << R"(["m",1])"
        << "m";
    QTest::newRow("ack") << R"(35[true])" << int(SocketPacket::Ack) << "/" << qint64(5) << 0 << "[true]"
                         << "";
    QTest::newRow("connect error") << R"(4{"message":"Not authorized"})" << int(SocketPacket::ConnectError)
                                   << "/" << qint64(-1) << 0 << R"({"message":"Not authorized"})"
                                   << "";
    QTest::newRow("binary event") << R"(51-["file",{"_placeholder":true,"num":0}])"
                                  << int(SocketPacket::BinaryEvent) << "/" << qint64(-1) << 1
                                  << R"(["file",{"_placeholder":true,"num":0}])"
                                  << "file";

    const int invalid = SocketPacket::Invalid;
    QTest::newRow("empty") << "" << invalid << "/" << qint64(-1) << 0 << ""
                           << "";
    QTest::newRow("type 9") << "9" << invalid << "/" << qint64(-1) << 0 << ""
                            << "";
    QTest::newRow("event without data") << "2" << invalid << "/" << qint64(-1) << 0 << ""
                                        << "";
    QTest::newRow("event with an object") << R"(2{"a":1})" << invalid << "/" << qint64(-1) << 0 << ""
                                          << "";
    QTest::newRow("event with an empty array") << "2[]" << invalid << "/" << qint64(-1) << 0 << ""
                                               << "";
    QTest::newRow("event named by a number") << "2[5,1]" << invalid << "/" << qint64(-1) << 0 << ""
                                             << "";
    QTest::newRow("truncated JSON") << R"(2["a",)" << invalid << "/" << qint64(-1) << 0 << ""
                                    << "";
    QTest::newRow("two values") << R"(2["a"]["b"])" << invalid << "/" << qint64(-1) << 0 << ""
                                << "";
    QTest::newRow("binary without count") << R"(5-["a"])" << invalid << "/" << qint64(-1) << 0 << ""
                                          << "";
    QTest::newRow("binary without dash") << R"(51["a"])" << invalid << "/" << qint64(-1) << 0 << ""
                                         << "";
    QTest::newRow("ack with an object") << R"(31{"a":1})" << invalid << "/" << qint64(-1) << 0 << ""
                                        << "";
}

void TestSioProtocol::socketPackets()
{
    QFETCH(QString, text);
    QFETCH(int, type);
    QFETCH(QString, nsp);
    QFETCH(qint64, ackId);
    QFETCH(int, attachments);
    QFETCH(QString, json);
    QFETCH(QString, event);
    const SocketPacket packet = SocketPacket::decode(text);
    QCOMPARE(int(packet.type), type);
    if (type == SocketPacket::Invalid)
        return;
    QCOMPARE(packet.nsp, nsp);
    QCOMPARE(packet.ackId, ackId);
    QCOMPARE(packet.attachments, attachments);
    const QString actual = packet.data.isUndefined()
        ? QString()
        : QString::fromUtf8(QJsonDocument(QJsonArray{packet.data}).toJson(QJsonDocument::Compact))
              .mid(1)
              .chopped(1);
    QCOMPARE(actual, json);
    QCOMPARE(packet.eventName(), event);
}

void TestSioProtocol::encoding()
{
    QCOMPARE(SocketPacket::encode(SocketPacket::Connect), QString("0"));
    QCOMPARE(SocketPacket::encode(SocketPacket::Disconnect), QString("1"));
    QCOMPARE(SocketPacket::encode(SocketPacket::Connect, "/admin", QJsonObject{{"token", "t"}}),
             QString(R"(0/admin,{"token":"t"})"));
    QCOMPARE(SocketPacket::encode(SocketPacket::Event, "/", QJsonArray{"hi", 1}), QString(R"(2["hi",1])"));
    QCOMPARE(EnginePacket::encode(EnginePacket::Pong), QString("3"));
    QCOMPARE(EnginePacket::encode(EnginePacket::Message, "0"), QString("40"));
    // What is encoded decodes to the same packet.
    const SocketPacket again = SocketPacket::decode(
        SocketPacket::encode(SocketPacket::Event, "/", QJsonArray{"e", QJsonObject{{"img", "x"}}}));
    QCOMPARE(again.eventName(), QString("e"));
    QCOMPARE(again.eventArguments().at(0).toObject().value("img").toString(), QString("x"));
}

void TestSioProtocol::webSocketUrl()
{
    const QUrl url = Connection::webSocketUrl(QUrl("https://realtime.orvane.tv:443/socket.io?ignored=1#frag"),
                                              {{"auth_token", "a+b&c"}, {"cid", "acme tv"}});
    QCOMPARE(url.scheme(), QString("wss"));
    QCOMPARE(url.host(), QString("realtime.orvane.tv"));
    QCOMPARE(url.port(), 443);
    QCOMPARE(url.path(), QString("/socket.io/"));
    QCOMPARE(url.query(QUrl::FullyEncoded),
             QString("EIO=4&transport=websocket&auth_token=a%2Bb%26c&cid=acme%20tv"));
    const auto items = QUrlQuery(url).queryItems(QUrl::FullyDecoded);
    QCOMPARE(items.value(2), qMakePair(QString("auth_token"), QString("a+b&c")));
    QCOMPARE(items.value(3), qMakePair(QString("cid"), QString("acme tv")));
    // An empty token is still sent.
    QVERIFY(Connection::webSocketUrl(QUrl("https://h:9443"), {{"auth_token", ""}, {"cid", "x"}})
                .query()
                .contains("auth_token=&cid=x"));
    QCOMPARE(Connection::webSocketUrl(QUrl("https://h"), {}).port(), 443);
}

void TestSioProtocol::backOff_data()
{
    QTest::addColumn<int>("attempt");
    QTest::addColumn<int>("low");
    QTest::addColumn<int>("high");
    QTest::newRow("first") << 0 << 500 << 1500;
    QTest::newRow("second") << 1 << 1000 << 3000;
    QTest::newRow("third") << 2 << 2000 << 5000;
    QTest::newRow("capped") << 10 << 5000 << 5000;
    QTest::newRow("far beyond") << 1000 << 5000 << 5000;
}

void TestSioProtocol::backOff()
{
    QFETCH(int, attempt);
    QFETCH(int, low);
    QFETCH(int, high);
    const ReconnectPolicy policy;
    std::mt19937 random(42);
    QSet<int> seen;
    for (int i = 0; i < 200; ++i) {
        const int delay = policy.delayFor(attempt, random);
        QVERIFY2(delay >= low && delay <= high, qPrintable(QString::number(delay)));
        seen.insert(delay);
    }
    // Spread out, so that many clients do not come back at once.
    QVERIFY(low == high || seen.size() > 20);
}

void TestSioProtocol::previewPayloads_data()
{
    QTest::addColumn<QString>("event");
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("sid");
    QTest::addColumn<QByteArray>("data");
    QTest::newRow("jpeg") << "device:enc-1:preview"
                          << QByteArray(R"({"img":"data:image/jpeg;base64,/9j/4AAQ"})") << true << "enc-1"
                          << QByteArray("/9j/4AAQ");
    QTest::newRow("png") << "device:enc-2:preview"
                         << QByteArray(R"({"img":"data:image/png;base64,iVBORw0K"})") << true << "enc-2"
                         << QByteArray("iVBORw0K");
    QTest::newRow("other members ignored")
        << "device:e:preview" << QByteArray(R"({"img":"data:image/jpeg;base64,QQ==","ts":5})") << true << "e"
        << QByteArray("QQ==");
    QTest::newRow("exactly the prefix")
        << "device:e:preview" << QByteArray(R"({"img":"data:image/jpeg;base64,"})") << true << "e"
        << QByteArray("");
    QTest::newRow("shorter than the prefix")
        << "device:e:preview" << QByteArray(R"({"img":"data:image/jpeg"})") << false << "" << QByteArray();
    QTest::newRow("short text") << "device:e:preview" << QByteArray(R"({"img":"abc"})") << false << ""
                                << QByteArray();
    QTest::newRow("img a number") << "device:e:preview" << QByteArray(R"({"img":5})") << false << ""
                                  << QByteArray();
    QTest::newRow("no img") << "device:e:preview" << QByteArray(R"({"image":"data:image/jpeg;base64,QQ=="})")
                            << false << "" << QByteArray();
    QTest::newRow("array") << "device:e:preview" << QByteArray(R"([{"img":"data:image/jpeg;base64,QQ=="}])")
                           << false << "" << QByteArray();
    QTest::newRow("number") << "device:e:preview" << QByteArray("42") << false << "" << QByteArray();
    QTest::newRow("text") << "device:e:preview" << QByteArray(R"("data:image/jpeg;base64,QQ==")") << false
                          << "" << QByteArray();
    QTest::newRow("null") << "device:e:preview" << QByteArray("null") << false << "" << QByteArray();
}

void TestSioProtocol::previewPayloads()
{
    QFETCH(QString, event);
    QFETCH(QByteArray, message);
    QFETCH(bool, accepted);
    QFETCH(QString, sid);
    QFETCH(QByteArray, data);
    const QJsonValue value = QJsonDocument::fromJson("[" + message + "]").array().at(0);
    QString actualSid;
    QByteArray actualData;
    QCOMPARE(QtOVCoreAPIFramework::previewFromEvent(event, value, &actualSid, &actualData), accepted);
    if (accepted) {
        QCOMPARE(actualSid, sid);
        QCOMPARE(actualData, data);
    }
}

QTEST_GUILESS_MAIN(TestSioProtocol)
#include "tst_sioprotocol.moc"
