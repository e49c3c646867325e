// The messaging layer against the deployment's real-time hub: logins checked
// against the issued tokens, channels with members, counts and attributes,
// channel and peer messages, and a connection that is lost and comes back.
#include "chattestsupport.h"
#include "rtmtypes.h"
#include "sandboxinspector.h"

#include <QJsonArray>
#include <QMutex>
#include <QThread>
#include <QtTest>

#include <memory>

using namespace orvane::rtm;

namespace {

// Records every notification with the thread it arrived on.
class Listener
    : public IRtmServiceEventHandler
    , public IChannelEventHandler
{
public:
    struct Event
    {
        Event() = default;
        Event(const char *n, const QString &x = {}, const QString &y = {}, qint64 value = 0, int result = 0)
            : name(QLatin1String(n))
            , a(x)
            , b(y)
            , number(value)
            , code(result)
        { }
        QString name;
        QString a;
        QString b;
        qint64 number = 0;
        int code = 0;
        QThread *thread = nullptr;
    };

    QList<Event> events() const
    {
        QMutexLocker lock(&m_mutex);
        return m_events;
    }
    int count(const QString &name) const
    {
        int n = 0;
        for (const Event &event : events())
            n += event.name == name;
        return n;
    }
    Event last(const QString &name) const
    {
        const QList<Event> all = events();
        for (int i = all.size() - 1; i >= 0; --i) {
            if (all.at(i).name == name)
                return all.at(i);
        }
        return Event();
    }

    void onLoginSuccess() override { add({"loginSuccess"}); }
    void onLoginFailure(int code) override { add({"loginFailure", QString(), QString(), 0, code}); }
    void onConnectionStateChanged(int state, int reason) override
    {
        add({"state", QString::number(state), QString(), 0, reason});
    }
    void onSendMessageResult(qint64 id, int code) override
    {
        add({"sendResult", QString(), QString(), id, code});
    }
    void onMessageReceivedFromPeer(const QString &peer, const IMessage *message) override
    {
        add({"peerMessage", peer, message->getText(), message->getServerReceivedTs()});
    }
    void onSetLocalUserAttributesResult(qint64 request, int code) override
    {
        add({"attributesSet", QString(), QString(), request, code});
    }
    void onGetUserAttributesResult(qint64 request, const QString &userId,
                                   const QVector<RtmAttribute> &attributes, int code) override
    {
        QStringList pairs;
        for (const RtmAttribute &attribute : attributes)
            pairs << attribute.key + QLatin1Char('=') + attribute.value;
        pairs.sort();
        add({"attributes", userId, pairs.join(QLatin1Char(';')), request, code});
    }
    void onGetChannelMemberCountResult(qint64 request, const QVector<ChannelMemberCount> &counts,
                                       int code) override
    {
        add({"countResult", counts.value(0).channelId, QString::number(counts.value(0).count), request,
             code});
    }
    void onJoinSuccess() override { add({"joined"}); }
    void onJoinFailure(int code) override { add({"joinFailure", QString(), QString(), 0, code}); }
    void onMessageReceived(const QString &userId, const IMessage *message) override
    {
        add({"channelMessage", userId, message->getText(), message->getServerReceivedTs()});
    }
    void onMemberJoined(IChannelMember *member) override
    {
        add({"memberJoined", member->getUserId(), member->getChannelId()});
    }
    void onMemberLeft(IChannelMember *member) override
    {
        add({"memberLeft", member->getUserId(), member->getChannelId()});
    }
    void onGetMembers(const QVector<IChannelMember *> &members, int code) override
    {
        QStringList ids;
        for (IChannelMember *member : members)
            ids << member->getUserId();
        ids.sort();
        add({"members", ids.join(QLatin1Char(',')), QString(), 0, code});
    }
    void onMemberCountUpdated(int count) override { add({"memberCount", QString::number(count)}); }

private:
    void add(Event event)
    {
        event.thread = QThread::currentThread();
        QMutexLocker lock(&m_mutex);
        m_events.append(event);
    }

    mutable QMutex m_mutex;
    QList<Event> m_events;
};

const QString appId = QStringLiteral("4f1c9a2e7b3d4c5e8a6f0b1d2c3e4f5a");

// One logged-in messaging user with a channel.
struct Client
{
    Listener listener;
    std::unique_ptr<IRtmService> service{createRtmService()};
    IChannel *channel = nullptr;
    ChatAuth auth;

    ~Client()
    {
        if (channel)
            channel->release();
        service->release();
    }
};

} // namespace

class TestRtmService : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void loginIsCheckedAgainstTheIssuedToken();
    void notificationsArriveOnTheServicesThread();
    void membersMessagesAndAttributes();
    void aForeignChannelIsRefused();
    void aLostConnectionComesBackAndKeepsWhatWasSent();
    void refusedLoginsAreTriedAgain();
    void noNotificationAfterRelease();

private:
    std::unique_ptr<Client> connect(const QString &who, const QString &token, bool join = true);

    SandboxInspector m_inspector;
    QString m_annToken;
    QString m_chloeToken;
};

void TestRtmService::initTestCase()
{
    QVERIFY2(m_inspector.isValid(), qPrintable(m_inspector.errorText()));
    m_annToken = ChatTestSupport::signIn(QStringLiteral("ann@orvane.test"), QStringLiteral("orvane-demo-1"));
    m_chloeToken
        = ChatTestSupport::signIn(QStringLiteral("chloe@orvane.test"), QStringLiteral("orvane-demo-3"));
    QVERIFY(!m_annToken.isEmpty() && !m_chloeToken.isEmpty());
}

std::unique_ptr<Client> TestRtmService::connect(const QString &who, const QString &token, bool join)
{
    auto client = std::make_unique<Client>();
    client->auth = ChatTestSupport::credentials(token, QStringLiteral("acme"), QStringLiteral("41"), who);
    if (client->auth.rtmToken.isEmpty())
        return nullptr;
    if (client->service->initialize(appId, &client->listener) != 0)
        return nullptr;
    if (client->service->login(client->auth.rtmToken, client->auth.userId) != 0)
        return nullptr;
    if (join) {
        client->channel = client->service->createChannel(client->auth.channelId, &client->listener);
        client->channel->join();
    }
    return client;
}

void TestRtmService::loginIsCheckedAgainstTheIssuedToken()
{
    Listener listener;
    std::unique_ptr<IRtmService> service(createRtmService());
    QCOMPARE(service->initialize(QStringLiteral("not-an-app-id"), &listener), int(CALL_ERR_INVALID_ARGUMENT));
    QCOMPARE(service->initialize(appId, &listener), 0);
    const ChatAuth auth = ChatTestSupport::credentials(
        m_annToken, QStringLiteral("acme"), QStringLiteral("41"), QStringLiteral("u-1|wrong-token"));
    QVERIFY(!auth.rtmToken.isEmpty());
    // Accepted for sending; the hub's answer arrives by notification.
    QCOMPARE(service->login(auth.rtmToken + QStringLiteral("x"), auth.userId), 0);
    QTRY_COMPARE_WITH_TIMEOUT(listener.count(QStringLiteral("loginFailure")), 1, 10000);
    QCOMPARE(listener.last(QStringLiteral("loginFailure")).code, int(LOGIN_ERR_INVALID_TOKEN));
    QCOMPARE(listener.count(QStringLiteral("loginSuccess")), 0);
    QCOMPARE(listener.last(QStringLiteral("state")).a, QString::number(CONNECTION_STATE_DISCONNECTED));
    QCOMPARE(listener.last(QStringLiteral("state")).code, int(CONNECTION_CHANGE_REASON_LOGIN_FAILURE));
    // Another user's id with this token is refused too.
    Listener second;
    std::unique_ptr<IRtmService> other(createRtmService());
    QCOMPARE(other->initialize(appId, &second), 0);
    QCOMPARE(other->login(auth.rtmToken, QStringLiteral("u-3|wrong-token")), 0);
    QTRY_COMPARE_WITH_TIMEOUT(second.count(QStringLiteral("loginFailure")), 1, 10000);
    service->release();
    other->release();
}

void TestRtmService::notificationsArriveOnTheServicesThread()
{
    auto ann = connect(QStringLiteral("u-1|threads"), m_annToken);
    QVERIFY(ann);
    QTRY_COMPARE_WITH_TIMEOUT(ann->listener.count(QStringLiteral("joined")), 1, 10000);
    const QList<Listener::Event> events = ann->listener.events();
    QVERIFY(!events.isEmpty());
    for (const Listener::Event &event : events) {
        QVERIFY2(event.thread != QThread::currentThread(), qPrintable(event.name));
        QCOMPARE(event.thread, events.first().thread);
    }
}

void TestRtmService::membersMessagesAndAttributes()
{
    auto ann = connect(QStringLiteral("u-1|members"), m_annToken);
    QVERIFY(ann);
    QTRY_COMPARE_WITH_TIMEOUT(ann->listener.count(QStringLiteral("joined")), 1, 10000);
    auto chloe = connect(QStringLiteral("u-3|members"), m_chloeToken);
    QVERIFY(chloe);
    QTRY_COMPARE_WITH_TIMEOUT(chloe->listener.count(QStringLiteral("joined")), 1, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(ann->listener.last(QStringLiteral("memberJoined")).a,
                              QStringLiteral("u-3|members"), 5000);
    QCOMPARE(ann->listener.last(QStringLiteral("memberJoined")).b, ann->auth.channelId);
    QTRY_COMPARE(ann->listener.last(QStringLiteral("memberCount")).a, QStringLiteral("2"));

    chloe->channel->getMembers();
    QTRY_COMPARE(chloe->listener.last(QStringLiteral("members")).a,
                 QStringLiteral("u-1|members,u-3|members"));
    chloe->service->getChannelMemberCount({chloe->auth.channelId}, 17);
    QTRY_COMPARE(chloe->listener.last(QStringLiteral("countResult")).number, qint64(17));
    QCOMPARE(chloe->listener.last(QStringLiteral("countResult")).b, QStringLiteral("2"));

    // Attributes: cleared, then set; the other side reads them.
    QCOMPARE(ann->service->clearLocalUserAttributes(1), 0);
    QCOMPARE(ann->service->addOrUpdateLocalUserAttributes(
                 {{QStringLiteral("firstName"), QStringLiteral("Ann")},
                  {QStringLiteral("lastName"), QStringLiteral("Lindqvist")}},
                 2),
             0);
    QTRY_COMPARE(ann->listener.count(QStringLiteral("attributesSet")), 1);
    QCOMPARE(ann->listener.last(QStringLiteral("attributesSet")).number, qint64(2));
    chloe->service->getUserAttributes(QStringLiteral("u-1|members"), 99);
    QTRY_COMPARE(chloe->listener.last(QStringLiteral("attributes")).b,
                 QStringLiteral("firstName=Ann;lastName=Lindqvist"));
    QCOMPARE(chloe->listener.last(QStringLiteral("attributes")).number, qint64(99));

    // A channel message reaches the others with the hub's reception time.
    const qint64 before = QDateTime::currentMSecsSinceEpoch();
    IMessage *message = ann->service->createMessage();
    message->setText(QStringLiteral("héllo – channel"));
    const qint64 messageId = message->getMessageId();
    QCOMPARE(ann->channel->sendMessage(message, SendMessageOptions()), 0);
    message->release();
    QTRY_COMPARE(chloe->listener.count(QStringLiteral("channelMessage")), 1);
    const Listener::Event received = chloe->listener.last(QStringLiteral("channelMessage"));
    QCOMPARE(received.a, QStringLiteral("u-1|members"));
    QCOMPARE(received.b, QStringLiteral("héllo – channel"));
    QVERIFY(received.number >= before - 1000
            && received.number <= QDateTime::currentMSecsSinceEpoch() + 1000);
    QTRY_COMPARE(ann->listener.last(QStringLiteral("sendResult")).number, messageId);
    QCOMPARE(ann->listener.count(QStringLiteral("channelMessage")), 0);

    // A peer message reaches only its peer.
    IMessage *peer = chloe->service->createMessage();
    peer->setText(QStringLiteral("just you"));
    QCOMPARE(chloe->service->sendMessageToPeer(QStringLiteral("u-1|members"), peer, SendMessageOptions()), 0);
    peer->release();
    QTRY_COMPARE(ann->listener.last(QStringLiteral("peerMessage")).b, QStringLiteral("just you"));
    QCOMPARE(ann->listener.last(QStringLiteral("peerMessage")).a, QStringLiteral("u-3|members"));

    // Leaving tells the others.
    chloe->channel->leave();
    QTRY_COMPARE(ann->listener.last(QStringLiteral("memberLeft")).a, QStringLiteral("u-3|members"));
    QTRY_COMPARE(ann->listener.last(QStringLiteral("memberCount")).a, QStringLiteral("1"));
}

void TestRtmService::aForeignChannelIsRefused()
{
    auto ann = connect(QStringLiteral("u-1|foreign"), m_annToken, false);
    QVERIFY(ann);
    ann->channel = ann->service->createChannel(QStringLiteral("workspace-43"), &ann->listener);
    ann->channel->join();
    QTRY_COMPARE_WITH_TIMEOUT(ann->listener.count(QStringLiteral("joinFailure")), 1, 10000);
    QCOMPARE(ann->listener.count(QStringLiteral("joined")), 0);
}

void TestRtmService::aLostConnectionComesBackAndKeepsWhatWasSent()
{
    auto ann = connect(QStringLiteral("u-1|drop"), m_annToken);
    auto chloe = connect(QStringLiteral("u-3|drop"), m_chloeToken);
    QVERIFY(ann && chloe);
    QTRY_COMPARE_WITH_TIMEOUT(ann->listener.count(QStringLiteral("joined")), 1, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(chloe->listener.count(QStringLiteral("joined")), 1, 10000);

    QCOMPARE(m_inspector
                 .post(QStringLiteral("/hub/drop"), {{QStringLiteral("userId"), QStringLiteral("u-1|drop")}})
                 .toObject()
                 .value(QStringLiteral("dropped"))
                 .toInt(),
             1);
    QTRY_COMPARE_WITH_TIMEOUT(ann->listener.last(QStringLiteral("state")).a,
                              QString::number(CONNECTION_STATE_RECONNECTING), 5000);
    // Sent while the connection is down: it waits and goes out after the rejoin.
    IMessage *message = ann->service->createMessage();
    message->setText(QStringLiteral("sent while away"));
    ann->channel->sendMessage(message, SendMessageOptions());
    message->release();

    QTRY_COMPARE_WITH_TIMEOUT(ann->listener.count(QStringLiteral("joined")), 2, 15000);
    const Listener::Event state = ann->listener.last(QStringLiteral("state"));
    QCOMPARE(state.a, QString::number(CONNECTION_STATE_CONNECTED));
    QCOMPARE(state.code, int(CONNECTION_CHANGE_REASON_LOGIN_SUCCESS));
    QCOMPARE(ann->listener.count(QStringLiteral("loginSuccess")), 1);
    QTRY_COMPARE_WITH_TIMEOUT(chloe->listener.last(QStringLiteral("channelMessage")).b,
                              QStringLiteral("sent while away"), 5000);
    QCOMPARE(chloe->listener.count(QStringLiteral("channelMessage")), 1);
}

void TestRtmService::refusedLoginsAreTriedAgain()
{
    auto ann = connect(QStringLiteral("u-1|refused"), m_annToken);
    QVERIFY(ann);
    QTRY_COMPARE_WITH_TIMEOUT(ann->listener.count(QStringLiteral("joined")), 1, 10000);
    m_inspector.post(QStringLiteral("/hub/refuse-logins"), {{QStringLiteral("times"), 2}});
    m_inspector.post(QStringLiteral("/hub/drop"),
                     {{QStringLiteral("userId"), QStringLiteral("u-1|refused")}});
    QTRY_COMPARE_WITH_TIMEOUT(ann->listener.count(QStringLiteral("joined")), 2, 30000);
    int refused = 0;
    for (const QJsonValue &login :
         m_inspector.get(QStringLiteral("/hub")).toObject().value(QStringLiteral("logins")).toArray()) {
        const QJsonObject entry = login.toObject();
        if (entry.value(QStringLiteral("userId")).toString() == QLatin1String("u-1|refused"))
            refused += entry.value(QStringLiteral("code")).toInt() == LOGIN_ERR_REJECTED;
    }
    QCOMPARE(refused, 2);
    QCOMPARE(ann->listener.count(QStringLiteral("loginFailure")), 0);
}

void TestRtmService::noNotificationAfterRelease()
{
    auto chloe = connect(QStringLiteral("u-3|release"), m_chloeToken);
    QVERIFY(chloe);
    QTRY_COMPARE_WITH_TIMEOUT(chloe->listener.count(QStringLiteral("joined")), 1, 10000);
    {
        // Freed right after release: any later call into it would be a use after free.
        auto *listener = new Listener;
        std::unique_ptr<IRtmService> service(createRtmService());
        QCOMPARE(service->initialize(appId, listener), 0);
        const ChatAuth auth = ChatTestSupport::credentials(
            m_annToken, QStringLiteral("acme"), QStringLiteral("41"), QStringLiteral("u-1|release"));
        service->login(auth.rtmToken, auth.userId);
        IChannel *channel = service->createChannel(auth.channelId, listener);
        channel->join();
        QTRY_COMPARE_WITH_TIMEOUT(listener->count(QStringLiteral("joined")), 1, 10000);
        channel->release();
        service->release();
        delete listener;
    }
    IMessage *message = chloe->service->createMessage();
    message->setText(QStringLiteral("anyone?"));
    chloe->channel->sendMessage(message, SendMessageOptions());
    message->release();
    QTRY_COMPARE(chloe->listener.count(QStringLiteral("sendResult")), 1);
    QTRY_COMPARE(chloe->listener.last(QStringLiteral("memberCount")).a, QStringLiteral("1"));
}

QTEST_GUILESS_MAIN(TestRtmService)
#include "tst_rtmservice.moc"
