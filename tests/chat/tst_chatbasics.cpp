// The chat program's pieces that need no deployment: the command line, the
// command server's framing, the records, names and colours, and the back-end
// client's transport errors against addresses that refuse or do not exist.
#include "chatcommandline.h"
#include "chatmanager.h"
#include "chatrecords.h"
#include "chattheme.h"
#include "localmessageserver.h"
#include "coreapimanager.h"
#include "globalmanager.h"
#include "localmessage.h"
#include "localsockets.h"
#include "mainwindow.h"
#include "textmessage.h"

#include <QBuffer>
#include <QCommandLineParser>
#include <QJsonDocument>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

class TestChatBasics : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void commandLine_data();
    void commandLine();
    void tokenFromStandardInput();
    void environmentChoice_data();
    void environmentChoice();
    void urlsCarryTheTokenOnlyWhenThereIsOne();
    void framingOfAFiveCharacterText();
    void onlyTheLatestViewerReceives();
    void voiceStreamId_data();
    void voiceStreamId();
    void sharedUserWithoutNames();
    void displayNames_data();
    void displayNames();
    void receivedMessages_data();
    void receivedMessages();
    void nameColoursAndInitials_data();
    void nameColoursAndInitials();
    void voiceUidCarriesTheRandomPartAboveBit20();
    void versionText_data();
    void versionText();
    void workspaceNotice();
    void transportErrors_data();
    void transportErrors();

private:
    QTemporaryDir m_runtime;
    quint16 m_closedPort = 0;
};

void TestChatBasics::initTestCase()
{
    QVERIFY(m_runtime.isValid());
    qputenv("XDG_RUNTIME_DIR", m_runtime.path().toUtf8());
    QFile::setPermissions(m_runtime.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    // A port that nobody listens on: opened, noted and closed again.
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        m_closedPort = server.serverPort();
    }
    // Production's identity host refuses; its core host does not exist.
    const QString file = m_runtime.filePath(QStringLiteral("deployment.json"));
    QFile deployment(file);
    QVERIFY(deployment.open(QIODevice::WriteOnly));
    deployment.write(
        QJsonDocument(QJsonObject{{QStringLiteral("version"), 1},
                                  {QStringLiteral("routes"),
                                   QJsonObject{{QStringLiteral("id.orvane.tv:8443"),
                                                QStringLiteral("127.0.0.1:%1").arg(m_closedPort)},
                                               {QStringLiteral("api.orvane.tv:8443"),
                                                QStringLiteral("no-such-host.invalid:8443")}}},
                                  {QStringLiteral("caCertificates"), QJsonArray()}})
            .toJson());
    deployment.close();
    qputenv("ORVANE_DEPLOYMENT", file.toUtf8());
}

void TestChatBasics::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("text");
    QTest::addColumn<bool>("voice");
    QTest::addColumn<QString>("token");
    QTest::addColumn<QString>("theme");
    QTest::addColumn<int>("themeFlag");

    QTest::newRow("nothing given") << QStringList() << false << false << QString() << "otv" << 0;
    QTest::newRow("1 and true") << QStringList{"--textEnabled", "1", "--voiceEnabled", "true"} << true << true
                                << QString() << "otv" << 0;
    QTest::newRow("TRUE and yes") << QStringList{"--textEnabled", "TRUE", "--voiceEnabled", "yes"} << false
                                  << false << QString() << "otv" << 0;
    QTest::newRow("0") << QStringList{"--textEnabled", "0"} << false << false << QString() << "otv" << 0;
    QTest::newRow("token") << QStringList{"--token", "t-1"} << false << false << "t-1"
                           << "otv" << 0;
    QTest::newRow("auth-token") << QStringList{"--auth-token", "t-2"} << false << false << "t-2"
                                << "otv" << 0;
    QTest::newRow("theme otv") << QStringList{"--theme", "otv"} << false << false << QString() << "otv" << 0;
    QTest::newRow("theme other") << QStringList{"--theme", "dark"} << false << false << QString() << "otv"
                                 << 0;
    QTest::newRow("theme core_share")
        << QStringList{"--theme", "core_share"} << false << false << QString() << "core_share" << 1;
}

void TestChatBasics::commandLine()
{
    QFETCH(QStringList, arguments);
    ChatTheme::setThemeFlag(0);
    QCommandLineParser parser;
    ChatCommandLine::addOptions(parser);
    QVERIFY2(parser.parse(QStringList{"QtOrvaneTVChat"} + arguments
                          + QStringList{"--company", "acme", "--workspaceName", "North Site"}),
             qPrintable(parser.errorText()));
    GlobalManager manager;
    ChatCommandLine::apply(parser, manager, nullptr);
    QTEST(manager.getTextEnabled(), "text");
    QTEST(manager.getVoiceEnabled(), "voice");
    QTEST(manager.getAuthToken(), "token");
    QTEST(manager.getTheme(), "theme");
    QTEST(ChatTheme::themeFlag(), "themeFlag");
    QCOMPARE(manager.getCompany(), QStringLiteral("acme"));
    QCOMPARE(manager.getWorkspaceName(), QStringLiteral("North Site"));
    ChatTheme::setThemeFlag(0);
}

void TestChatBasics::tokenFromStandardInput()
{
    QCommandLineParser parser;
    ChatCommandLine::addOptions(parser);
    QVERIFY(parser.parse({"QtOrvaneTVChat", "--token", "-"}));
    QBuffer input;
    input.setData("secret-token-7\nleft over\n");
    GlobalManager manager;
    ChatCommandLine::apply(parser, manager, &input);
    QCOMPARE(manager.getAuthToken(), QStringLiteral("secret-token-7"));

    // Nothing on the input: no token, not the dash itself.
    QBuffer empty;
    GlobalManager second;
    ChatCommandLine::apply(parser, second, &empty);
    QCOMPARE(second.getAuthToken(), QString());
}

void TestChatBasics::environmentChoice_data()
{
    QTest::addColumn<QString>("environment");
    QTest::addColumn<QString>("theme");
    QTest::addColumn<int>("expected");
    QTest::addColumn<QString>("identityHost");
    QTest::addColumn<QString>("coreHost");
    QTest::newRow("none") << QString() << "otv" << 0 << "id.orvane.tv"
                          << "api.orvane.tv";
    QTest::newRow("staging") << "staging"
                             << "otv" << 1 << "id-staging.orvane.tv"
                             << "api-staging.orvane.tv";
    QTest::newRow("Staging is production") << "Staging"
                                           << "otv" << 0 << "id.orvane.tv"
                                           << "api.orvane.tv";
    QTest::newRow("core share") << "production"
                                << "core_share" << 2 << "id.orvane.tv"
                                << "core.orvane.tv";
    QTest::newRow("staging wins over the theme") << "staging"
                                                 << "core_share" << 1 << "id-staging.orvane.tv"
                                                 << "api-staging.orvane.tv";
}

void TestChatBasics::environmentChoice()
{
    QFETCH(QString, environment);
    QFETCH(QString, theme);
    GlobalManager manager;
    if (!environment.isEmpty())
        manager.setServerEnvironment(environment);
    manager.setTheme(theme);
    CoreAPIManager client(nullptr, {});
    client.setGlobalManager(&manager);
    QTEST(client.environment(), "expected");
    const QUrl identity = client.identityUrl(QStringLiteral("me"), false);
    const QUrl core = client.coreUrl(QStringLiteral("acme/chats/workspaces/41"), false);
    QTEST(identity.host(), "identityHost");
    QTEST(core.host(), "coreHost");
    QCOMPARE(identity.port(), 8443);
    QCOMPARE(core.port(), 8443);
    QCOMPARE(identity.path(), QStringLiteral("/api/v1.1/me"));
    QCOMPARE(core.path(), QStringLiteral("/api/v1.0/acme/chats/workspaces/41"));
}

void TestChatBasics::urlsCarryTheTokenOnlyWhenThereIsOne()
{
    GlobalManager manager;
    CoreAPIManager client(nullptr, {});
    client.setGlobalManager(&manager);
    QVERIFY(!client.identityUrl(QStringLiteral("me"), true).hasQuery());
    manager.setAuthToken(QStringLiteral("tok"));
    QCOMPARE(client.identityUrl(QStringLiteral("me"), true).query(), QStringLiteral("auth_token=tok"));
    QVERIFY(!client.identityUrl(QStringLiteral("me"), false).hasQuery());
}

void TestChatBasics::framingOfAFiveCharacterText()
{
    LocalMessageServer server;
    QString error;
    QVERIFY2(server.listen(QStringLiteral("framing-test"), &error), qPrintable(error));
    QLocalSocket viewer;
    viewer.connectToServer(LocalSockets::serverPath(QStringLiteral("framing-test")));
    QVERIFY(viewer.waitForConnected(2000));
    QTRY_VERIFY(server.hasConnection());
    server.send(QStringLiteral("hello"));
    QTRY_COMPARE(viewer.bytesAvailable(), qint64(18));
    QCOMPARE(viewer.readAll().toHex(' '),
             QByteArray("00 00 00 05 00 00 00 0a 00 68 00 65 00 6c 00 6c 00 6f"));
}

void TestChatBasics::onlyTheLatestViewerReceives()
{
    LocalMessageServer server;
    QString error;
    QVERIFY2(server.listen(QStringLiteral("latest-test"), &error), qPrintable(error));
    // A second server under the same name is refused while the first runs.
    LocalMessageServer second;
    QVERIFY(!second.listen(QStringLiteral("latest-test"), &error));

    QLocalSocket first;
    first.connectToServer(LocalSockets::serverPath(QStringLiteral("latest-test")));
    QVERIFY(first.waitForConnected(2000));
    QTRY_VERIFY(server.hasConnection());
    QLocalSocket later;
    later.connectToServer(LocalSockets::serverPath(QStringLiteral("latest-test")));
    QVERIFY(later.waitForConnected(2000));
    QTest::qWait(200);
    const QString link = QStringLiteral("orvanetv://recording?recordingId=r-7");
    server.send(link);
    LocalMessageReader reader;
    QTRY_VERIFY(later.bytesAvailable() > 0);
    reader.feed(later.readAll());
    QString text;
    QVERIFY(reader.next(&text));
    QCOMPARE(text, link);
    QTest::qWait(100);
    QCOMPARE(first.bytesAvailable(), qint64(0));
}

void TestChatBasics::voiceStreamId_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<uint>("expected");
    QTest::newRow("number") << QByteArray(R"({"voiceStreamId":1234})") << 1234u;
    QTest::newRow("text") << QByteArray(R"({"voiceStreamId":"1234"})") << 1234u;
    QTest::newRow("not a number") << QByteArray(R"({"voiceStreamId":"abc"})") << 0u;
    QTest::newRow("negative") << QByteArray(R"({"voiceStreamId":-5})") << 0u;
    QTest::newRow("fraction") << QByteArray(R"({"voiceStreamId":1.5})") << 0u;
    QTest::newRow("absent") << QByteArray(R"({})") << 0u;
}

void TestChatBasics::voiceStreamId()
{
    QFETCH(QByteArray, json);
    QTEST(uint(ChatAuth::fromJson(QJsonDocument::fromJson(json).object()).voiceStreamId), "expected");
}

void TestChatBasics::sharedUserWithoutNames()
{
    const SharedUser user = SharedUser::fromJson(
        QJsonDocument::fromJson(R"({"id":"u-4","email":"d@x","firstName":7})").object());
    QCOMPARE(user.firstName, QStringLiteral("user"));
    QCOMPARE(user.lastName, QStringLiteral("user"));
    QCOMPARE(user.image, QString());
}

void TestChatBasics::displayNames_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("last");
    QTest::addColumn<QString>("email");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("own");
    QTest::addColumn<bool>("proper");
    QTest::newRow("both") << "Ann"
                          << "Lindqvist"
                          << "a@x"
                          << "Ann Lindqvist"
                          << "Ann Lindqvist (You)" << true;
    QTest::newRow("first only") << "Ann"
                                << ""
                                << "a@x"
                                << "Ann"
                                << "Ann (You)" << false;
    QTest::newRow("placeholder first") << "  user "
                                       << ""
                                       << "b@x"
                                       << "b@x"
                                       << "b@x (You)" << false;
    QTest::newRow("placeholder last") << "Ben"
                                      << "user"
                                      << "b@x"
                                      << "Ben user"
                                      << "Ben user (You)" << false;
    QTest::newRow("nothing") << ""
                             << ""
                             << ""
                             << ""
                             << "" << false;
}

void TestChatBasics::displayNames()
{
    User user;
    QFETCH(QString, first);
    QFETCH(QString, last);
    QFETCH(QString, email);
    user.firstName = first;
    user.lastName = last;
    user.email = email;
    QTEST(user.getDisplayName(false), "name");
    QTEST(user.getDisplayName(true), "own");
    QTEST(user.hasProperName(), "proper");
}

void TestChatBasics::receivedMessages_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("display");
    QTest::addColumn<bool>("sharedRecording");
    QTest::newRow("normal") << R"({"id":"u|1","message":"Hi there","type":"normal"})"
                            << "normal"
                            << "Hi there" << false;
    QTest::newRow("not JSON") << "plain words {"
                              << "normal"
                              << "plain words {" << false;
    QTest::newRow("JSON without message") << R"({"foo":1})"
                                          << "normal"
                                          << R"({"foo":1})" << false;
    QTest::newRow("shared recording")
        << R"({"message":"orvanetv://open?recordingId=r-3&recordingName=Crane%20lift&type=shareRecording","type":"customURL"})"
        << "customURL"
        << "Crane lift" << true;
    QTest::newRow("custom URL of another kind")
        << R"({"message":"orvanetv://open?type=other","type":"customURL"})"
        << "customURL"
        << "" << false;
    QTest::newRow("custom URL without query") << R"({"message":"orvanetv://open","type":"customURL"})"
                                              << "customURL"
                                              << "" << false;
}

void TestChatBasics::receivedMessages()
{
    QFETCH(QString, text);
    const TextMessage message = TextMessage::fromReceived(QStringLiteral("Ann"), text, 1765450000000.0);
    QTEST(message.type, "type");
    QTEST(message.displayText(), "display");
    QTEST(message.isSharedRecording(), "sharedRecording");
    QCOMPARE(message.sender, QStringLiteral("Ann"));
    QCOMPARE(message.timestamp, 1765450000000.0);
}

void TestChatBasics::nameColoursAndInitials_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("initials");
    QTest::addColumn<QColor>("colour");
    // "Ann" adds up to 65+110+110 = 285, remainder 3.
    QTest::newRow("Ann") << "Ann"
                         << "A" << QColor(149, 191, 59);
    QTest::newRow("three words") << "Alpha Beta Gamma"
                                 << "ABG" << ChatTheme::nameColor(QStringLiteral("Alpha Beta Gamma"));
    QTest::newRow("lower case") << "alpha beta gamma"
                                << "ABG" << ChatTheme::nameColor(QStringLiteral("alpha beta gamma"));
    QTest::newRow("double spaces") << "Ann  Lindqvist "
                                   << "AL" << ChatTheme::nameColor(QStringLiteral("Ann  Lindqvist "));
    // Accented letters count negative: "\xe9\xe9" is -23 -23 = -46, remainder 2.
    QTest::newRow("negative sum") << QString::fromUtf8("\xc3\xa9\xc3\xa9") << QString::fromUtf8("\xc3\x89")
                                  << QColor(205, 90, 159);
}

void TestChatBasics::nameColoursAndInitials()
{
    QFETCH(QString, name);
    QTEST(ChatTheme::initials(name), "initials");
    QTEST(ChatTheme::nameColor(name), "colour");
}

void TestChatBasics::voiceUidCarriesTheRandomPartAboveBit20()
{
    // k = (r * 4095) >> 32 is 7 for r just above 7/4095 of the range.
    const quint32 random = quint32((quint64(7) << 32) / 4095 + 1);
    QCOMPARE(ChatManager::voiceUidFor(12345, random), quint32(7352377));
    QCOMPARE(ChatManager::voiceUidFor(12345, 0), quint32(12345));
    QCOMPARE(ChatManager::voiceUidFor(1, 0xffffffffu) >> 20, quint32(4094));
}

void TestChatBasics::versionText_data()
{
    QTest::addColumn<QString>("resource");
    QTest::addColumn<QString>("expected");
    QTest::newRow("release") << "1.0.1.10\n"
                             << "v1.0.1 (10)";
    QTest::newRow("three parts") << "2.3.4"
                                 << "v2.3.4";
    QTest::newRow("spaces and breaks") << " 1. 0.1 .10 \r\n"
                                       << "v1.0.1 (10)";
    QTest::newRow("empty") << ""
                           << "";
}

void TestChatBasics::versionText()
{
    QFETCH(QString, resource);
    QTEST(MainWindow::versionText(resource), "expected");
}

void TestChatBasics::workspaceNotice()
{
    QCOMPARE(
        MainWindow::mapError(QStringLiteral("Workspace is not shared with you"),
                             QStringLiteral("North Site")),
        QStringLiteral(
            "The workspace North Site is not shared with you anymore. Please contact your company admin."));
    QCOMPARE(MainWindow::mapError(QStringLiteral("workspace is not shared"), QStringLiteral("North Site")),
             QStringLiteral("workspace is not shared"));
}

void TestChatBasics::transportErrors_data()
{
    QTest::addColumn<bool>("refused");
    QTest::newRow("connection refused") << true;
    QTest::newRow("host not found") << false;
}

void TestChatBasics::transportErrors()
{
    QFETCH(bool, refused);
    GlobalManager manager;
    manager.setAuthToken(QStringLiteral("tok"));
    CoreAPIManager client(nullptr, [](const QString &error) { return QStringLiteral("mapped: ") + error; });
    client.setGlobalManager(&manager);
    if (refused) {
        QSignalSpy spy(&client, &CoreAPIManager::gotUserInfo);
        client.getUserInfo();
        QVERIFY(spy.wait(10000));
        QCOMPARE(spy.at(0).at(1).toString(),
                 QStringLiteral("mapped: Request failed. Try checking your network connectivity"));
        QCOMPARE(spy.at(0).at(0).value<User>().id, QString());
    } else {
        QSignalSpy spy(&client, &CoreAPIManager::gotAgoraAuth);
        client.getChatAuth(QStringLiteral("acme"), QStringLiteral("41"), QStringLiteral("u-1|m"), 0);
        QVERIFY(spy.wait(20000));
        const QString error = spy.at(0).at(1).toString();
        QVERIFY2(error.contains(QLatin1String("not found"), Qt::CaseInsensitive), qPrintable(error));
        QVERIFY(!error.contains(QLatin1String("connectivity")));
        QVERIFY2(!error.contains(QLatin1String("tok")), qPrintable(error));
        QCOMPARE(spy.at(0).at(0).value<ChatAuth>().channelId, QString());
    }
}

QTEST_MAIN(TestChatBasics)
#include "tst_chatbasics.moc"
