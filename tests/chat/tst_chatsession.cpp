// The chat program against the local deployment: its back-end client, and whole
// sessions - a chat window of this process (Ann) and the real chat program as a
// second process (Chloé) talking through the deployment's hub.
#include "chatmanager.h"
#include "chattestsupport.h"
#include "coreapimanager.h"
#include "globalmanager.h"
#include "localmessage.h"
#include "localsockets.h"
#include "mainwindow.h"
#include "otherschatcell.h"
#include "mychatcell.h"
#include "rtmtypes.h"
#include "sandboxinspector.h"
#include "screenshots.h"
#include "textchatwidget.h"

#include <QDir>
#include <QGuiApplication>
#include <QJsonArray>
#include <QLabel>
#include <QListWidget>
#include <QLocalSocket>
#include <QMutex>
#include <QPlainTextEdit>
#include <QProcess>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

QStringList capturedLines;
QMutex capturedMutex;
QtMessageHandler previousHandler = nullptr;

void capture(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    {
        QMutexLocker lock(&capturedMutex);
        capturedLines << message;
    }
    if (previousHandler)
        previousHandler(type, context, message);
}

QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(15000);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

} // namespace

class TestChatSession : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void userInfoAndSharedUsers();
    void voiceStreamIdAsTextAndAsNumber_data();
    void voiceStreamIdAsTextAndAsNumber();
    void workspaceNoticeAndEmptyUsers();
    void withoutATokenNoTokenItemIsSent();
    void statisticsReachTheDeployment();
    void requestLinesMaskTheToken();
    void twoProgramsTalk();
    void panesFollowWhatTheShareAllows_data();
    void panesFollowWhatTheShareAllows();
    void aUserWithoutAProperNameNeverRegisters();

private:
    struct Window
    {
        std::unique_ptr<GlobalManager> manager;
        std::unique_ptr<MainWindow> window;
    };
    Window openAnnsWindow(bool text, bool voice);
    QJsonObject hubClient(const QString &userPrefix);
    QString chloesLog() const;
    TextChatWidget *pane(MainWindow *window) const
    {
        return window->findChild<TextChatWidget *>(QStringLiteral("textChatWidget"));
    }
    QString machineUserId(const QString &userId) const
    {
        return userId + QLatin1Char('|') + QString::fromLatin1(QSysInfo::machineUniqueId());
    }
    void typeInto(qint64 pid, const QString &text);

    SandboxInspector m_inspector;
    QTemporaryDir m_runtime;
    QTemporaryDir m_chloeHome;
    QString m_annToken;
    QString m_chloeToken;
    QString m_benToken;
};

void TestChatSession::initTestCase()
{
    QVERIFY2(m_inspector.isValid(), qPrintable(m_inspector.errorText()));
    QVERIFY(m_runtime.isValid() && m_chloeHome.isValid());
    QFile::setPermissions(m_runtime.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", m_runtime.path().toUtf8());
    previousHandler = qInstallMessageHandler(capture);
    m_annToken = ChatTestSupport::signIn(QStringLiteral("ann@orvane.test"), QStringLiteral("orvane-demo-1"));
    m_chloeToken
        = ChatTestSupport::signIn(QStringLiteral("chloe@orvane.test"), QStringLiteral("orvane-demo-3"));
    m_benToken = ChatTestSupport::signIn(QStringLiteral("ben@orvane.test"), QStringLiteral("orvane-demo-2"));
    QVERIFY(!m_annToken.isEmpty() && !m_chloeToken.isEmpty() && !m_benToken.isEmpty());
}

void TestChatSession::cleanupTestCase()
{
    qInstallMessageHandler(previousHandler);
}

void TestChatSession::userInfoAndSharedUsers()
{
    GlobalManager manager;
    manager.setAuthToken(m_annToken);
    CoreAPIManager client(nullptr, {});
    client.setGlobalManager(&manager);
    QSignalSpy user(&client, &CoreAPIManager::gotUserInfo);
    QSignalSpy shared(&client, &CoreAPIManager::gotSharedUsers);
    client.getUserInfo();
    client.getSharedUsers(QStringLiteral("41"), QStringLiteral("otv"));
    QVERIFY(user.wait(10000));
    QTRY_COMPARE(shared.count(), 1);
    const User ann = user.at(0).at(0).value<User>();
    QCOMPARE(user.at(0).at(1).toString(), QString());
    QCOMPARE(ann.id, QStringLiteral("1001"));
    QCOMPARE(ann.getDisplayName(true), QStringLiteral("Ann Lindqvist (You)"));
    QCOMPARE(ann.phone, QStringLiteral("+15550100"));
    const QVector<SharedUser> users = shared.at(0).at(0).value<QVector<SharedUser>>();
    QCOMPARE(shared.at(0).at(1).toString(), QString());
    QStringList ids;
    for (const SharedUser &one : users)
        ids << one.id;
    QCOMPARE(ids, QStringList({"1001", "1002", "1003", "1004"}));
    // Dana never set a name.
    QCOMPARE(users.at(3).firstName, QStringLiteral("user"));
    QCOMPARE(users.at(3).lastName, QStringLiteral("user"));
    QCOMPARE(users.at(2).firstName, QStringLiteral("Chloé"));
}

void TestChatSession::voiceStreamIdAsTextAndAsNumber_data()
{
    QTest::addColumn<bool>("asText");
    QTest::newRow("number") << false;
    QTest::newRow("text") << true;
}

void TestChatSession::voiceStreamIdAsTextAndAsNumber()
{
    QFETCH(bool, asText);
    if (asText) {
        m_inspector.queueFault({{"path", "/api/v1.0/acme/chats/workspaces/41/agora-tokens"},
                                {"kind", "envelope"},
                                {"envelope",
                                 QJsonObject{{"meta", QJsonObject{{"status", "ok"}}},
                                             {"response",
                                              QJsonObject{{"rtmToken", "r"},
                                                          {"userId", "u-1|x"},
                                                          {"channelId", "workspace-41"},
                                                          {"voiceStreamId", "1234"}}}}}});
    }
    GlobalManager manager;
    manager.setAuthToken(m_annToken);
    CoreAPIManager client(nullptr, {});
    client.setGlobalManager(&manager);
    QSignalSpy spy(&client, &CoreAPIManager::gotAgoraAuth);
    client.getChatAuth(QStringLiteral("acme"), QStringLiteral("41"), QStringLiteral("u-1|stream"), 1234);
    QVERIFY(spy.wait(10000));
    QCOMPARE(spy.at(0).at(1).toString(), QString());
    const ChatAuth auth = spy.at(0).at(0).value<ChatAuth>();
    QCOMPARE(auth.voiceStreamId, quint32(1234));
    QCOMPARE(auth.channelId, QStringLiteral("workspace-41"));
    if (!asText) {
        QCOMPARE(auth.userId, QStringLiteral("u-1|stream"));
        QVERIFY(!auth.rtcToken.isEmpty() && !auth.encryptionSecret.isEmpty());
        QVERIFY(auth.priveledgeExpiresTs > 0);
    }
}

void TestChatSession::workspaceNoticeAndEmptyUsers()
{
    const QString eve
        = ChatTestSupport::signIn(QStringLiteral("eve@orvane.test"), QStringLiteral("orvane-demo-5"));
    QVERIFY(!eve.isEmpty());
    GlobalManager manager;
    manager.setAuthToken(eve);
    manager.setWorkspaceName(QStringLiteral("North Site"));
    CoreAPIManager client(nullptr, [](const QString &error) {
        return MainWindow::mapError(error, QStringLiteral("North Site"));
    });
    client.setGlobalManager(&manager);
    QSignalSpy spy(&client, &CoreAPIManager::gotSharedUsers);
    client.getSharedUsers(QStringLiteral("41"), QStringLiteral("otv"));
    QVERIFY(spy.wait(10000));
    QCOMPARE(
        spy.at(0).at(1).toString(),
        QStringLiteral(
            "The workspace North Site is not shared with you anymore. Please contact your company admin."));
    QVERIFY(spy.at(0).at(0).value<QVector<SharedUser>>().isEmpty());
}

void TestChatSession::withoutATokenNoTokenItemIsSent()
{
    m_inspector.clearRequests();
    GlobalManager manager;
    CoreAPIManager client(nullptr, {});
    client.setGlobalManager(&manager);
    QSignalSpy spy(&client, &CoreAPIManager::gotUserInfo);
    client.getUserInfo();
    QVERIFY(spy.wait(10000));
    QVERIFY(!spy.at(0).at(1).toString().isEmpty());
    const QList<SandboxInspector::Request> requests = m_inspector.requests(QStringLiteral("/api/v1.1/me"));
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests.first().host, QStringLiteral("id.orvane.tv:8443"));
    QVERIFY(requests.first().query.isEmpty());
}

void TestChatSession::statisticsReachTheDeployment()
{
    m_inspector.clearRequests();
    GlobalManager manager;
    manager.setAuthToken(m_annToken);
    CoreAPIManager client(nullptr, {});
    client.setGlobalManager(&manager);
    QSignalSpy spy(&client, &CoreAPIManager::sentChatStats);
    client.sendChatStats(QStringLiteral("acme"), QStringLiteral("41"), QStringLiteral("u-1|session"));
    QVERIFY(spy.wait(10000));
    QCOMPARE(spy.at(0).at(0).toString(), QString());
    const QJsonArray stats = m_inspector.get(QStringLiteral("/chat-stats")).toArray();
    QVERIFY(!stats.isEmpty());
    QCOMPARE(stats.last().toObject().value(QStringLiteral("sessionId")).toString(),
             QStringLiteral("u-1|session"));
    const QList<SandboxInspector::Request> requests
        = m_inspector.requests(QStringLiteral("/api/v1.0/acme/chats/workspaces/41"));
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests.first().method, QStringLiteral("POST"));
    QCOMPARE(requests.first().host, QStringLiteral("api.orvane.tv:8443"));
    QCOMPARE(requests.first().contentType, QStringLiteral("application/json"));
    QVERIFY(requests.first().body.contains(QLatin1String("\n")));
}

void TestChatSession::requestLinesMaskTheToken()
{
    {
        QMutexLocker lock(&capturedMutex);
        capturedLines.clear();
    }
    GlobalManager manager;
    manager.setAuthToken(m_annToken);
    CoreAPIManager client(nullptr, {});
    client.setGlobalManager(&manager);
    QSignalSpy spy(&client, &CoreAPIManager::gotUserInfo);
    client.getUserInfo();
    QVERIFY(spy.wait(10000));
    QMutexLocker lock(&capturedMutex);
    const QString all = capturedLines.join(QLatin1Char('\n'));
    QVERIFY2(all.contains(QLatin1String("Request: https://id.orvane.tv:8443/api/v1.1/me?auth_token=***")),
             qPrintable(all));
    QVERIFY(!all.contains(m_annToken));
}

TestChatSession::Window TestChatSession::openAnnsWindow(bool text, bool voice)
{
    Window opened;
    opened.manager = std::make_unique<GlobalManager>();
    opened.manager->setAuthToken(m_annToken);
    opened.manager->setCompany(QStringLiteral("acme"));
    opened.manager->setWorkspaceId(QStringLiteral("41"));
    opened.manager->setWorkspaceName(QStringLiteral("North Site"));
    opened.manager->setServerEnvironment(QStringLiteral("production"));
    opened.manager->setTextEnabled(text);
    opened.manager->setVoiceEnabled(voice);
    opened.window = std::make_unique<MainWindow>();
    opened.window->setGlobalManager(opened.manager.get());
    opened.window->move(0, 0);
    opened.window->show();
    return opened;
}

QJsonObject TestChatSession::hubClient(const QString &userPrefix)
{
    for (const QJsonValue &client :
         m_inspector.get(QStringLiteral("/hub")).toObject().value(QStringLiteral("clients")).toArray()) {
        if (client.toObject().value(QStringLiteral("userId")).toString().startsWith(userPrefix))
            return client.toObject();
    }
    return QJsonObject();
}

QString TestChatSession::chloesLog() const
{
    QString text;
    QDir folder(m_chloeHome.filePath(QStringLiteral(".local/share/Orvane TV Chat")));
    for (const QString &name : folder.entryList({QStringLiteral("*.log")}, QDir::Files, QDir::Name)) {
        QFile file(folder.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            text += QString::fromUtf8(file.readAll());
    }
    return text;
}

void TestChatSession::typeInto(qint64 pid, const QString &text)
{
    // The other program is driven as a person would: its window gets the focus and
    // the keys are typed through the display server.
    const QStringList windows
        = run(QStringLiteral("xdotool"), {"search", "--onlyvisible", "--pid", QString::number(pid)})
              .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY2(!windows.isEmpty(), "the chat program shows no window");
    const QString window = windows.last();
    run(QStringLiteral("xdotool"), {"windowfocus", "--sync", window});
    run(QStringLiteral("xdotool"), {"type", "--delay", "20", text});
    run(QStringLiteral("xdotool"), {"key", "Return"});
}

void TestChatSession::twoProgramsTalk()
{
    const QString annId = machineUserId(QStringLiteral("1001"));
    const QString chloeId = machineUserId(QStringLiteral("1003"));

    // Chloé: the real program, with a home and runtime folder of its own.
    QDir(m_chloeHome.path()).mkpath(QStringLiteral("runtime"));
    QFile::setPermissions(m_chloeHome.filePath(QStringLiteral("runtime")),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QProcess chloe;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), m_chloeHome.path());
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_chloeHome.filePath(QStringLiteral("runtime")));
    environment.remove(QStringLiteral("XDG_DATA_HOME"));
    chloe.setProcessEnvironment(environment);
    chloe.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    chloe.start(QStringLiteral(ORVANE_CHAT_PROGRAM),
                {"--token", "-", "--company", "acme", "--companyId", "101", "--workspaceId", "41",
                 "--workspaceName", "North Site", "--textEnabled", "true", "--voiceEnabled", "0",
                 "--environment", "production"});
    QVERIFY(chloe.waitForStarted(10000));
    chloe.write(m_chloeToken.toUtf8() + '\n');

    Window ann = openAnnsWindow(true, false);
    QVERIFY(QTest::qWaitForWindowExposed(ann.window.get()));
    QCOMPARE(ann.window->windowTitle(), QStringLiteral("North Site - v1.0.1 (10)"));

    // Both are in the workspace's channel with their names published.
    QTRY_VERIFY_WITH_TIMEOUT(
        hubClient(annId).value(QStringLiteral("channels")).toArray().contains(QStringLiteral("workspace-41")),
        20000);
    QTRY_VERIFY_WITH_TIMEOUT(hubClient(chloeId)
                                 .value(QStringLiteral("channels"))
                                 .toArray()
                                 .contains(QStringLiteral("workspace-41")),
                             20000);
    const QJsonObject annAttributes = hubClient(annId).value(QStringLiteral("attributes")).toObject();
    QCOMPARE(annAttributes.value(QStringLiteral("firstName")).toString(), QStringLiteral("Ann"));
    QCOMPARE(annAttributes.value(QStringLiteral("email")).toString(), QStringLiteral("+15550100"));
    QCOMPARE(annAttributes.value(QStringLiteral("isAdmin")).toString(), QStringLiteral("0"));
    QTRY_COMPARE_WITH_TIMEOUT(ann.window->chatManager()->userNames().value(chloeId),
                              QStringLiteral("Chloé Martin"), 10000);

    TextChatWidget *annPane = pane(ann.window.get());
    auto *input = annPane->findChild<QPlainTextEdit *>(QStringLiteral("plainTextEdit"));
    auto *list = annPane->findChild<QListWidget *>(QStringLiteral("listWidget"));

    // Ann writes twice: the second is a follow-up of the first.
    QTest::keyClicks(input, QStringLiteral("Hello Chloe, the crane is up"));
    QTest::keyClick(input, Qt::Key_Return);
    QTest::keyClicks(input, QStringLiteral("Are you watching?"));
    QTest::keyClick(input, Qt::Key_Return);
    QCOMPARE(annPane->cellCount(), 2);
    QVERIFY(qobject_cast<MyChatCell *>(annPane->cellAt(0)) && !annPane->cellAt(0)->isFollowUp());
    QVERIFY(qobject_cast<MyChatCell *>(annPane->cellAt(1)) && annPane->cellAt(1)->isFollowUp());
    QTRY_VERIFY_WITH_TIMEOUT(chloesLog().contains(QLatin1String("Are you watching?")), 10000);
    QVERIFY(chloesLog().contains(QStringLiteral("Hello Chloe, the crane is up")));

    // Chloé answers from her own program, twice.
    typeInto(chloe.processId(), QStringLiteral("Yes, I see it"));
    typeInto(chloe.processId(), QStringLiteral("Looks steady"));
    QTRY_COMPARE_WITH_TIMEOUT(annPane->cellCount(), 4, 15000);
    auto *first = qobject_cast<OthersChatCell *>(annPane->cellAt(2));
    auto *second = qobject_cast<OthersChatCell *>(annPane->cellAt(3));
    QVERIFY(first && second);
    QCOMPARE(first->message(), QStringLiteral("Yes, I see it"));
    QCOMPARE(first->name(), QStringLiteral("Chloé Martin"));
    QCOMPARE(first->initials(), QStringLiteral("CM"));
    QVERIFY(first->isNameShown() && !first->isFollowUp());
    QCOMPARE(second->message(), QStringLiteral("Looks steady"));
    QVERIFY(!second->isNameShown() && second->isFollowUp());
    // Own bubbles on the right, the others' on the left.
    const int middle = list->viewport()->width() / 2;
    QVERIFY(annPane->cellAt(0)
                ->findChild<QWidget *>(QStringLiteral("background"))
                ->mapTo(list->viewport(), QPoint())
                .x()
            > middle);
    QVERIFY(first->findChild<QWidget *>(QStringLiteral("background"))->mapTo(list->viewport(), QPoint()).x()
            < middle);

    // The conversation, both windows side by side.
    const QStringList windows = run(QStringLiteral("xdotool"),
                                    {"search", "--onlyvisible", "--pid", QString::number(chloe.processId())})
                                    .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (!windows.isEmpty())
        run(QStringLiteral("xdotool"), {"windowmove", "--sync", windows.last(), "820", "0"});
    QTest::qWait(500);
    const QString folder = QCoreApplication::applicationDirPath() + QStringLiteral("/artifacts");
    QDir().mkpath(folder);
    QGuiApplication::primaryScreen()
        ->grabWindow(0, 0, 0, 1640, 640)
        .save(folder + QStringLiteral("/chat-conversation.png"));

    // Ben never published a name, and writes plain text rather than the message JSON.
    const ChatAuth benAuth = ChatTestSupport::credentials(m_benToken, QStringLiteral("acme"),
                                                          QStringLiteral("41"), QStringLiteral("u-2|bare"));
    QVERIFY(!benAuth.rtmToken.isEmpty());
    {
        struct Quiet
            : orvane::rtm::IRtmServiceEventHandler
            , orvane::rtm::IChannelEventHandler
        {
            QAtomicInt joined;
            void onJoinSuccess() override { joined = 1; }
        } quiet;
        std::unique_ptr<orvane::rtm::IRtmService> ben(createRtmService());
        QCOMPARE(ben->initialize(ChatManager::applicationId(), &quiet), 0);
        ben->login(benAuth.rtmToken, benAuth.userId);
        orvane::rtm::IChannel *channel = ben->createChannel(benAuth.channelId, &quiet);
        channel->join();
        QTRY_VERIFY_WITH_TIMEOUT(quiet.joined == 1, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(ann.window->chatManager()->userNames().value(benAuth.userId),
                                  QStringLiteral("User "), 10000);
        orvane::rtm::IMessage *message = ben->createMessage();
        message->setText(QStringLiteral("plain words, {not json"));
        channel->sendMessage(message, orvane::rtm::SendMessageOptions());
        message->release();
        QTRY_COMPARE_WITH_TIMEOUT(annPane->cellCount(), 5, 10000);
        channel->release();
        ben->release();
    }
    auto *bare = qobject_cast<OthersChatCell *>(annPane->cellAt(4));
    QVERIFY(bare);
    QCOMPARE(bare->name(), QStringLiteral("User "));
    QCOMPARE(bare->initials(), QStringLiteral("U"));
    QCOMPARE(bare->message(), QStringLiteral("plain words, {not json"));

    // A recording shared into the channel shows its name as a link; a click hands
    // the link to the viewer connected to Ann's program.
    QLocalSocket viewer;
    viewer.connectToServer(LocalSockets::serverPath(QStringLiteral("qtorvanetvchat")));
    QVERIFY(viewer.waitForConnected(3000));
    QTest::qWait(200);
    const QString link = QStringLiteral(
        "orvanetv://recording?recordingId=rec-41-1&recordingName=Crane%20lift&type=shareRecording");
    m_inspector.post(
        QStringLiteral("/hub/message"),
        {{"channel", "workspace-41"},
         {"from", chloeId},
         {"text",
          QString::fromUtf8(QJsonDocument(QJsonObject{{"id", "x"}, {"message", link}, {"type", "customURL"}})
                                .toJson(QJsonDocument::Compact))}});
    QTRY_COMPARE_WITH_TIMEOUT(annPane->cellCount(), 6, 10000);
    auto *shared = qobject_cast<OthersChatCell *>(annPane->cellAt(5));
    QVERIFY(shared);
    QCOMPARE(shared->message(), QStringLiteral("Crane lift"));
    QVERIFY(shared->findChild<QLabel *>(QStringLiteral("label"))
                ->styleSheet()
                .contains(QLatin1String("underline")));
    QTest::qWait(100);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(5)).center());
    QTRY_VERIFY_WITH_TIMEOUT(viewer.bytesAvailable() > 0, 5000);
    LocalMessageReader reader;
    reader.feed(viewer.readAll());
    QString received;
    QVERIFY(reader.next(&received));
    QCOMPARE(received, link);

    // Minimised and restored: the same session, no second login.
    const auto loginsOf = [this](const QString &userId) {
        int count = 0;
        for (const QJsonValue &login :
             m_inspector.get(QStringLiteral("/hub")).toObject().value(QStringLiteral("logins")).toArray())
            count += login.toObject().value(QStringLiteral("userId")).toString() == userId;
        return count;
    };
    const int loginsBefore = loginsOf(annId);
    ChatManager *session = ann.window->chatManager();
    ann.window->showMinimized();
    QTest::qWait(300);
    ann.window->showNormal();
    QTest::qWait(500);
    QCOMPARE(ann.window->chatManager(), session);
    QCOMPARE(loginsOf(annId), loginsBefore);

    // The hub drops Ann: she is back in the channel by herself and hears Chloé again.
    m_inspector.post(QStringLiteral("/hub/drop"), {{"userId", annId}});
    QTRY_VERIFY_WITH_TIMEOUT(loginsOf(annId) == loginsBefore + 1, 15000);
    QTRY_VERIFY_WITH_TIMEOUT(
        hubClient(annId).value(QStringLiteral("channels")).toArray().contains(QStringLiteral("workspace-41")),
        15000);
    QTRY_VERIFY_WITH_TIMEOUT(
        hubClient(annId).value(QStringLiteral("attributes")).toObject().contains(QStringLiteral("firstName")),
        10000);
    typeInto(chloe.processId(), QStringLiteral("Still there?"));
    QTRY_COMPARE_WITH_TIMEOUT(annPane->cellCount(), 7, 15000);
    QCOMPARE(annPane->cellAt(6)->message(), QStringLiteral("Still there?"));
    QCOMPARE(ann.window->chatManager(), session);

    // Nothing secret reached Chloé's log.
    const QString log = chloesLog();
    QVERIFY(!log.isEmpty());
    QVERIFY(!log.contains(m_chloeToken));
    QVERIFY(log.contains(QLatin1String("auth_token=***")));

    chloe.terminate();
    QVERIFY(chloe.waitForFinished(10000));
}

void TestChatSession::panesFollowWhatTheShareAllows_data()
{
    QTest::addColumn<bool>("text");
    QTest::addColumn<bool>("voice");
    QTest::addColumn<bool>("filler");
    QTest::newRow("both") << true << true << false;
    QTest::newRow("text only") << true << false << false;
    QTest::newRow("voice only") << false << true << true;
    QTest::newRow("neither") << false << false << false;
}

void TestChatSession::panesFollowWhatTheShareAllows()
{
    QFETCH(bool, text);
    QFETCH(bool, voice);
    const QString annId = machineUserId(QStringLiteral("1001"));
    Window ann = openAnnsWindow(text, voice);
    QVERIFY(QTest::qWaitForWindowExposed(ann.window.get()));
    QCOMPARE(pane(ann.window.get())->isVisible(), text);
    QCOMPARE(ann.window->findChild<QWidget *>(QStringLiteral("voiceChatWidget"))->isVisible(), voice);
    QTEST(ann.window->findChild<QWidget *>(QStringLiteral("spacerWidget"))->isVisible(), "filler");
    QCOMPARE(ann.window->disabledNotice() != nullptr, !text && !voice);
    if (!text && !voice) {
        QVERIFY(ann.window->disabledNotice()->isVisible());
        QCOMPARE(ann.window->disabledNotice()->text(),
                 QStringLiteral("Contact your company admin to enable\neither text or voice chat"));
        TestScreenshots::save(ann.window.get(), QStringLiteral("chat-disabled"));
    }
    // The session still logs in and publishes the attributes; a channel only with text.
    QTRY_VERIFY_WITH_TIMEOUT(
        hubClient(annId).value(QStringLiteral("attributes")).toObject().contains(QStringLiteral("firstName")),
        15000);
    if (text)
        QTRY_VERIFY_WITH_TIMEOUT(hubClient(annId)
                                     .value(QStringLiteral("channels"))
                                     .toArray()
                                     .contains(QStringLiteral("workspace-41")),
                                 10000);
    else {
        QTest::qWait(500);
        QVERIFY(hubClient(annId).value(QStringLiteral("channels")).toArray().isEmpty());
    }
    ann.window.reset();
    QTRY_VERIFY_WITH_TIMEOUT(hubClient(annId).isEmpty(), 10000);
}

void TestChatSession::aUserWithoutAProperNameNeverRegisters()
{
    GlobalManager manager;
    manager.setAuthToken(m_benToken);
    manager.setCompany(QStringLiteral("acme"));
    manager.setWorkspaceId(QStringLiteral("41"));
    manager.setWorkspaceName(QStringLiteral("North Site"));
    manager.setTextEnabled(true);
    MainWindow window;
    window.setGlobalManager(&manager);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QSignalSpy registered(window.chatManager(), &ChatManager::agoraLocalUserRegistrationComplete);
    QVERIFY(!registered.wait(3000));
    QVERIFY(hubClient(machineUserId(QStringLiteral("1002"))).isEmpty());
    QVERIFY(pane(&window)->isEmptyNoticeShown());
}

QTEST_MAIN(TestChatSession)
#include "tst_chatsession.moc"
