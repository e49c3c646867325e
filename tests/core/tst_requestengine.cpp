// The request engine against a real HTTP server on loopback: one result signal per
// request, the envelope rules, every failure text, and the log lines.
#include "loopbackenvironment.h"
#include "loopbackhttpserver.h"
#include "qtovcoreapiframework.h"
#include "recorddescriptions.h"

#include <QMetaMethod>
#include <QSignalSpy>
#include <QTcpServer>
#include "logcapture.h"
#include "serviceenvelope.h"

#include <QtTest>

#include <memory>
#include <vector>

using Api = QtOVCoreAPIFramework;

namespace {

// For every request type: its result signal and the values it carries on failure
// ("%E" stands for the error text).
struct TypeInfo
{
    const char *signal;
    QStringList failureValues;
};

const QMap<int, TypeInfo> &typeInfos()
{
    static const QMap<int, TypeInfo> infos = {
        {Api::Login, {"loginFinished", {"{}", "%E"}}},
        {Api::CodeRequest, {"codeRequestFinished", {"{}", "%E"}}},
        {Api::CodeLogin, {"codeLoginFinished", {"{}", "%E"}}},
        {Api::OAuthProviders, {"gotOAuthProviders", {"{}", "%E"}}},
        {Api::OAuthLogin, {"oauthLoginFinished", {"{}", "%E"}}},
        {Api::UpdateUser, {"updateUserFinished", {"%E"}}},
        {Api::MyUserInfo, {"myUserInfoGotten", {"user(|||-)", "%E"}}},
        {Api::MyCompanies, {"myCompaniesGotten", {"[]", "%E"}}},
        {Api::MyCompanyDetails, {"myCompanyDetailsGotten", {"company(|||)", "%E"}}},
        {Api::MyCompanyUsers, {"myCompanyUsersGotten", {"[]", "%E"}}},
        {Api::CompanyShares, {"companySharesGotten", {"{}", "%E"}}},
        {Api::GlobalShareSettings, {"gotGlobalShareSettings", {"{}", "%E"}}},
        {Api::SharedWorkspaces, {"gotSharedWorkspaces", {"[]", "%E"}}},
        {Api::SharedStreams, {"gotSharedStreams", {"[]", "%E"}}},
        {Api::SharedArchives, {"gotSharedArchives", {"[]", "{}", "%E"}}},
        {Api::AuthTokenCheck, {"authTokenCheckFinished", {"user(|||-)", "%E"}}},
        {Api::StreamView, {"gotStreamViewResponse", {"%E"}}},
        {Api::Archives, {"gotArchiveResponse", {"[]", "%E", "false", "0"}}},
        {Api::ResetPassword, {"gotResetPasswordResponse", {"%E"}}},
    };
    return infos;
}

QStringList failureValues(int type, const QString &error)
{
    QStringList values = typeInfos().value(type).failureValues;
    values.replaceInStrings("%E", error);
    return values;
}

// Watches every result signal of a client at once.
class SignalRecorder
{
public:
    explicit SignalRecorder(Api *client)
    {
        const QMetaObject *meta = &Api::staticMetaObject;
        for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
            const QMetaMethod method = meta->method(i);
            if (method.methodType() == QMetaMethod::Signal)
                m_spies.push_back(
                    {QString::fromLatin1(method.name()), std::make_unique<QSignalSpy>(client, method)});
        }
    }

    int total() const
    {
        int count = 0;
        for (const auto &entry : m_spies)
            count += entry.spy->count();
        return count;
    }

    // The name and arguments of the one emission so far.
    QPair<QString, QVariantList> only() const
    {
        for (const auto &entry : m_spies)
            if (entry.spy->count() > 0)
                return {entry.name, entry.spy->first()};
        return {};
    }

    int count(const QString &name) const
    {
        for (const auto &entry : m_spies)
            if (entry.name == name)
                return entry.spy->count();
        return 0;
    }

private:
    struct Entry
    {
        QString name;
        std::unique_ptr<QSignalSpy> spy;
    };
    std::vector<Entry> m_spies;
};

LoopbackHttpServer::Reply rawReply(int status, const QByteArray &reason, const QByteArray &body,
                                   const QByteArray &contentType = "application/json")
{
    LoopbackHttpServer::Reply reply;
    reply.status = status;
    reply.reason = reason;
    reply.body = body;
    reply.contentType = contentType;
    return reply;
}

} // namespace

class TestRequestEngine : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void successCarriesParsedValues_data();
    void successCarriesParsedValues();
    void envelopeFailures_data();
    void envelopeFailures();
    void unreadableRepliesAreDescribed_data();
    void unreadableRepliesAreDescribed();
    void requestTypesAreCounted();
    void httpErrorsUseTheToolkitDescription_data();
    void httpErrorsUseTheToolkitDescription();
    void networkFailures_data();
    void networkFailures();
    void errorMapperRewritesOnlyErrors();
    void requestShapes_data();
    void requestShapes();
    void concurrentRequestsEachGetTheirSignal();
    void requestLogLineIsRedacted();
    void requestLogLineWithReasonPhrase();
    void requestLogWithoutStartTime();
    void responseAndErrorLogLines();
    void failureTextsOfViewsAndArchivesAreLogged_data();
    void failureTextsOfViewsAndArchivesAreLogged();
    void join_data();
    void join();
    void methodNames_data();
    void methodNames();
    void networkLayerErrors_data();
    void networkLayerErrors();

private:
    QUrl idUrl(const QString &relative) const { return m_client->getIDUrl(relative, true); }
    bool waitForSignals(const SignalRecorder &recorder, int expected = 1);

    std::unique_ptr<LoopbackHttpServer> m_server;
    std::unique_ptr<LoopbackEnvironment> m_environment;
    std::unique_ptr<Api> m_client;
};

void TestRequestEngine::init()
{
    m_server = std::make_unique<LoopbackHttpServer>();
    QVERIFY(m_server->listen());
    m_environment = std::make_unique<LoopbackEnvironment>(m_server->baseUrl());
    m_client = std::make_unique<Api>([](QString text) { return text; }, m_environment.get());
    m_client->setAuthToken("token-123");
}

void TestRequestEngine::cleanup()
{
    m_client.reset();
    m_environment.reset();
    m_server.reset();
}

bool TestRequestEngine::waitForSignals(const SignalRecorder &recorder, int expected)
{
    if (!QTest::qWaitFor([&] { return recorder.total() >= expected; }, 10000))
        return false;
    // Give a stray second emission the chance to show itself.
    QTest::qWait(20);
    return recorder.total() == expected;
}

void TestRequestEngine::successCarriesParsedValues_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QByteArray>("response");
    QTest::addColumn<QByteArray>("metaExtra");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("Login") << int(Api::Login) << QByteArray(R"({"auth_token":"new-token"})") << QByteArray()
                           << QStringList{R"({"auth_token":"new-token"})", ""};
    QTest::newRow("CodeRequest") << int(Api::CodeRequest) << QByteArray(R"({"sent":true})") << QByteArray()
                                 << QStringList{R"({"sent":true})", ""};
    QTest::newRow("CodeLogin") << int(Api::CodeLogin) << QByteArray(R"({"auth_token":"c"})") << QByteArray()
                               << QStringList{R"({"auth_token":"c"})", ""};
    QTest::newRow("OAuthProviders") << int(Api::OAuthProviders) << QByteArray(R"({"google":{}})")
                                    << QByteArray() << QStringList{R"({"google":{}})", ""};
    QTest::newRow("OAuthLogin") << int(Api::OAuthLogin) << QByteArray(R"({"auth_token":"o"})") << QByteArray()
                                << QStringList{R"({"auth_token":"o"})", ""};
    QTest::newRow("UpdateUser ignores the payload")
        << int(Api::UpdateUser) << QByteArray(R"({"firstName":"A"})") << QByteArray() << QStringList{""};
    QTest::newRow("MyUserInfo")
        << int(Api::MyUserInfo)
        << QByteArray(R"({"email":"a@x.io","firstName":"Ann","lastName":"Lee","isAdmin":true})")
        << QByteArray() << QStringList{"user(a@x.io|Ann|Lee|admin)", ""};
    QTest::newRow("MyCompanies")
        << int(Api::MyCompanies)
        << QByteArray(
               R"([{"id":"2","name":"Beta","slug":"beta","image":"i2"},{"id":"1","name":"acme","slug":"acme"}])")
        << QByteArray() << QStringList{"[company(2|Beta|beta|i2),company(1|acme|acme|)]", ""};
    QTest::newRow("MyCompanies, not an array")
        << int(Api::MyCompanies) << QByteArray(R"({"id":"2"})") << QByteArray() << QStringList{"[]", ""};
    QTest::newRow("MyCompanyDetails")
        << int(Api::MyCompanyDetails) << QByteArray(R"({"id":"9","name":"Nine","slug":"nine","image":"img"})")
        << QByteArray() << QStringList{"company(9|Nine|nine|img)", ""};
    QTest::newRow("MyCompanyUsers") << int(Api::MyCompanyUsers)
                                    << QByteArray(R"([{"email":"b@x.io"},{"email":"a@x.io"}])")
                                    << QByteArray() << QStringList{"[user(b@x.io|||-),user(a@x.io|||-)]", ""};
    QTest::newRow("CompanyShares")
        << int(Api::CompanyShares)
        << QByteArray(
               R"({"zeta":[{"id":"3","company":{"slug":"zeta"}}],"acme":[{"id":"1","company":{"slug":"acme"}},{"id":"2"}],"empty":[]})")
        << QByteArray() << QStringList{"{acme=[share(1|acme),share(2|)],empty=[],zeta=[share(3|zeta)]}", ""};
    QTest::newRow("GlobalShareSettings")
        << int(Api::GlobalShareSettings) << QByteArray(R"({"watermarks":{"enabled":true}})") << QByteArray()
        << QStringList{R"({"watermarks":{"enabled":true}})", ""};
    QTest::newRow("SharedWorkspaces")
        << int(Api::SharedWorkspaces)
        << QByteArray(
               R"([{"id":"w1","name":"North","cameras":[{"id":"c1"},{"id":"c2"}],"streams":[{"id":"s"}],"records":[]}])")
        << QByteArray() << QStringList{"[workspace(w1|North|cameras=2|streams=1|records=0)]", ""};
    QTest::newRow("SharedStreams")
        << int(Api::SharedStreams)
        << QByteArray(R"([{"id":"s1","streamSources":[{"protocol":"srt"},{"protocol":"tcp"}]},{"sid":"e2"}])")
        << QByteArray() << QStringList{"[stream(s1|sources=2),stream(e2|sources=0)]", ""};
    QTest::newRow("SharedArchives: first element's records and the paging")
        << int(Api::SharedArchives)
        << QByteArray(R"([{"records":[{"id":"r1"},{"id":"r2"}]},{"records":[{"id":"ignored"}]}])")
        << QByteArray(R"("paging":{"count":2,"offset":0,"total":41})")
        << QStringList{"[archive(r1),archive(r2)]", R"({"count":2,"offset":0,"total":41})", ""};
    QTest::newRow("SharedArchives: empty array, no paging")
        << int(Api::SharedArchives) << QByteArray("[]") << QByteArray() << QStringList{"[]", "{}", ""};
    QTest::newRow("AuthTokenCheck") << int(Api::AuthTokenCheck)
                                    << QByteArray(R"({"email":"me@x.io","firstName":"Me"})") << QByteArray()
                                    << QStringList{"user(me@x.io|Me||-)", ""};
    QTest::newRow("StreamView") << int(Api::StreamView) << QByteArray("null") << QByteArray()
                                << QStringList{""};
    QTest::newRow("Archives: next page") << int(Api::Archives) << QByteArray(R"([{"id":"a1"},{"id":"a2"}])")
                                         << QByteArray(R"("paging":{"count":10,"offset":20,"total":31})")
                                         << QStringList{"[archive(a1),archive(a2)]", "", "true", "30"};
    QTest::newRow("Archives: last page") << int(Api::Archives) << QByteArray(R"([{"id":"a1"}])")
                                         << QByteArray(R"("paging":{"count":10,"offset":20,"total":30})")
                                         << QStringList{"[archive(a1)]", "", "false", "30"};
    QTest::newRow("Archives: no paging") << int(Api::Archives) << QByteArray(R"([{"id":"a1"}])")
                                         << QByteArray() << QStringList{"[archive(a1)]", "", "false", "0"};
    QTest::newRow("Archives: mistyped paging")
        << int(Api::Archives) << QByteArray("[]")
        << QByteArray(R"("paging":{"count":"10","offset":2.5,"total":1})")
        << QStringList{"[]", "", "true", "0"};
    QTest::newRow("Archives: paging at the integer limit")
        << int(Api::Archives) << QByteArray("[]")
        << QByteArray(R"("paging":{"count":2147483647,"offset":2147483647,"total":2147483647})")
        << QStringList{"[]", "", "false", "2147483647"};
    QTest::newRow("ResetPassword") << int(Api::ResetPassword) << QByteArray(R"({"sent":true})")
                                   << QByteArray() << QStringList{""};
}

void TestRequestEngine::successCarriesParsedValues()
{
    QFETCH(int, type);
    QFETCH(QByteArray, response);
    QFETCH(QByteArray, metaExtra);
    QFETCH(QStringList, expected);

    m_server->setDefaultReply(LoopbackHttpServer::okEnvelope(response, metaExtra));
    SignalRecorder recorder(m_client.get());
    m_client->get(Api::RequestType(type), idUrl("some/path"));
    QVERIFY(waitForSignals(recorder));

    const auto emission = recorder.only();
    QCOMPARE(emission.first, QString(typeInfos().value(type).signal));
    QCOMPARE(describeArguments(emission.second), expected);
}

void TestRequestEngine::envelopeFailures_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("error");

    const QVector<QPair<const char *, QPair<QByteArray, QString>>> cases = {
        {"html page", {"<!DOCTYPE html><html><body>Gateway</body></html>", "Invalid status: "}},
        {"upper-case OK", {R"({"meta":{"status":"OK"},"response":{"email":"x"}})", "Invalid status: OK"}},
        {"unknown status", {R"({"meta":{"status":"pending"}})", "Invalid status: pending"}},
        {"status not a string", {R"({"meta":{"status":1}})", "Invalid status: "}},
        {"no meta", {R"({"response":{}})", "Invalid status: "}},
        {"JSON array body", {R"([{"meta":{"status":"ok"}}])", "Invalid status: "}},
        {"empty body", {"", "Invalid status: "}},
        {"truncated JSON", {R"({"meta":{"status":"ok")", "Invalid status: "}},
        {"NUL ends the body",
         {QByteArray(R"({"meta":{"status":"error","error":{"message":"Before NUL"}}})") + '\0' + "trailing",
          "Before NUL"}},
        {"cause wins over message",
         {R"({"meta":{"status":"error","error":{"cause":[{"message":"Wrong password"},{"message":"second"}],"message":"Generic"}}})",
          "Wrong password"}},
        {"empty cause with message",
         {R"({"meta":{"status":"error","error":{"cause":[],"message":"Generic"}}})",
          "Unknown error message"}},
        {"cause element without message",
         {R"({"meta":{"status":"error","error":{"cause":[{"code":4}],"message":"Generic"}}})",
          "Unknown error message"}},
        {"empty message", {R"({"meta":{"status":"error","error":{"message":""}}})", "Unknown error message"}},
        {"cause not an array",
         {R"({"meta":{"status":"error","error":{"cause":"db","message":"Generic"}}})", "Generic"}},
        {"message only",
         {R"({"meta":{"status":"error","error":{"message":"Token expired"}}})", "Token expired"}},
        {"neither cause nor message",
         {R"({"meta":{"status":"error","error":{"code":500}}})", "Unknown error message"}},
        {"error without error object", {R"({"meta":{"status":"error"}})", "Unknown error message"}},
    };
    // Every envelope failure on one type...
    for (const auto &failure : cases)
        QTest::addRow("Login: %s", failure.first)
            << int(Api::Login) << failure.second.first << failure.second.second;
    // ...and every type's empty defaults with a failure, walking the enum itself
    // so that a new request type is driven here too.
    const QMetaEnum types = QMetaEnum::fromType<Api::RequestType>();
    for (int i = 0; i < types.keyCount(); ++i) {
        const int type = types.value(i);
        if (type == Api::None || type == Api::Login)
            continue;
        QTest::addRow("%s: service error", types.key(i))
            << type
            << QByteArray(
                   R"({"meta":{"status":"error","error":{"message":"Token expired"}},"response":{"email":"x"}})")
            << QString("Token expired");
        QTest::addRow("%s: upper-case OK", types.key(i))
            << type << QByteArray(R"({"meta":{"status":"OK"},"response":[{"id":"1"}]})")
            << QString("Invalid status: OK");
    }
}

void TestRequestEngine::envelopeFailures()
{
    QFETCH(int, type);
    QFETCH(QByteArray, body);
    QFETCH(QString, error);

    m_server->setDefaultReply(
        rawReply(200, "OK", body, body.startsWith('<') ? "text/html" : "application/json"));
    LogCapture capture;
    SignalRecorder recorder(m_client.get());
    m_client->get(Api::RequestType(type), idUrl("failing"));
    QVERIFY(waitForSignals(recorder));
    // Every failed envelope leaves a warning naming the path; a reply that is no
    // envelope at all a second one, saying what came instead.
    const QStringList warnings = LogCapture::lines(QtWarningMsg);
    QVERIFY(!warnings.isEmpty());
    QCOMPARE(warnings.first(), "/api/v1.1/failing Error: " + error);
    if (error.startsWith("Invalid status")) {
        QCOMPARE(warnings.size(), 2);
        QVERIFY2(warnings.at(1).startsWith("/api/v1.1/failing Reply: HTTP 200, "),
                 qPrintable(warnings.at(1)));
    } else {
        QCOMPARE(warnings.size(), 1);
    }

    const auto emission = recorder.only();
    QVERIFY2(typeInfos().contains(type), "a request type without its expected signal in this suite");
    QCOMPARE(emission.first, QString(typeInfos().value(type).signal));
    QCOMPARE(describeArguments(emission.second), failureValues(type, error));
}

void TestRequestEngine::unreadableRepliesAreDescribed_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("description");
    QTest::newRow("gateway page")
        << QByteArray("<html><head><title>502 Bad\n Gateway</title></head></html>") << 502 << "text/html"
        << "HTTP 502, text/html, 57 bytes: not JSON (illegal value at 1), page \"502 Bad "
           "Gateway\"";
    QTest::newRow("empty") << QByteArray() << 200 << ""
                           << "HTTP 200, no content type, 0 bytes: an empty body";
    QTest::newRow("array") << QByteArray("[1]") << 200 << "application/json"
                           << "HTTP 200, application/json, 3 bytes: JSON, but not an object";
    QTest::newRow("no status") << QByteArray(R"({"meta":{}})") << 200 << "application/json"
                               << "HTTP 200, application/json, 11 bytes: JSON without a status";
    QTest::newRow("unknown status")
        << QByteArray(R"({"meta":{"status":"OK"}})") << 200 << "application/json"
        << "HTTP 200, application/json, 24 bytes: JSON with the unknown status \"OK\"";
    QTest::newRow("truncated") << QByteArray(R"({"meta":)") << 200 << "application/json"
                               << "HTTP 200, application/json, 8 bytes: not JSON (unterminated object at 8)";
}

void TestRequestEngine::unreadableRepliesAreDescribed()
{
    QFETCH(QByteArray, body);
    QFETCH(int, status);
    QFETCH(QString, type);
    QFETCH(QString, description);
    QCOMPARE(ServiceEnvelope::describeReply(body, status, type), description);
}

void TestRequestEngine::requestTypesAreCounted()
{
    // The library's result table is checked against this count when it builds.
    const QMetaEnum types = QMetaEnum::fromType<Api::RequestType>();
    QCOMPARE(types.keyCount(), int(Api::requestTypeCount));
    for (int i = 0; i < types.keyCount(); ++i)
        QCOMPARE(types.value(i), i);
}

void TestRequestEngine::httpErrorsUseTheToolkitDescription_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("reason");
    QTest::addColumn<QString>("error");
    // The server's own JSON message never reaches the caller for an HTTP error.
    QTest::newRow("401") << 401 << QByteArray("Unauthorized") << "Host requires authentication";
    QTest::newRow("403") << 403 << QByteArray("Forbidden")
                         << "Error transferring %URL - server replied: Forbidden";
    QTest::newRow("404") << 404 << QByteArray("Not Found")
                         << "Error transferring %URL - server replied: Not Found";
    QTest::newRow("500") << 500 << QByteArray("Internal Server Error")
                         << "Error transferring %URL - server replied: Internal Server Error";
}

void TestRequestEngine::httpErrorsUseTheToolkitDescription()
{
    QFETCH(int, status);
    QFETCH(QByteArray, reason);
    QFETCH(QString, error);

    m_server->setDefaultReply(
        rawReply(status, reason, R"({"meta":{"status":"error","error":{"message":"Server says no"}}})"));
    SignalRecorder recorder(m_client.get());
    const QUrl url = idUrl("me");
    m_client->get(Api::MyUserInfo, url);
    QVERIFY(waitForSignals(recorder));

    // The description names the URL; its token is masked.
    QString redactedUrl = url.toString();
    redactedUrl.replace("auth_token=token-123", "auth_token=***");
    error.replace("%URL", redactedUrl);
    const auto emission = recorder.only();
    QCOMPARE(emission.first, QString("myUserInfoGotten"));
    QCOMPARE(describeArguments(emission.second), failureValues(Api::MyUserInfo, error));
    QVERIFY(!emission.second.last().toString().contains("token-123"));
}

void TestRequestEngine::networkFailures_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("failure");
    for (int type : {int(Api::Login), int(Api::CompanyShares), int(Api::SharedArchives), int(Api::Archives),
                     int(Api::StreamView)}) {
        const char *name = Api::staticMetaObject.enumerator(0).valueToKey(type);
        for (const char *failure : {"refused", "never answered", "closed without reply", "no reply object"})
            QTest::addRow("%s: %s", name, failure) << type << QString(failure);
    }
}

void TestRequestEngine::networkFailures()
{
    QFETCH(int, type);
    QFETCH(QString, failure);

    QUrl url = idUrl("unreachable");
    if (failure == "refused") {
        // A port that was just free and that nobody listens on.
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        url.setPort(probe.serverPort());
        probe.close();
    } else if (failure == "never answered") {
        m_client->setRequestTimeout(300);
        LoopbackHttpServer::Reply silent;
        silent.neverAnswer = true;
        m_server->setDefaultReply(silent);
    } else if (failure == "closed without reply") {
        // Qt sends the GET again on a new connection; by then another program
        // (the local deployment starting beside this suite) may listen on the
        // freed port and never answer plain HTTP, so the wait is bounded too.
        m_client->setRequestTimeout(3000);
        LoopbackHttpServer::Reply silent;
        silent.neverAnswer = true;
        m_server->setDefaultReply(silent);
        connect(m_server.get(), &LoopbackHttpServer::requestReceived, this, [this] {
            // The server goes away with the request unanswered.
            QTimer::singleShot(0, this, [this] { m_server.reset(); });
        });
    }

    SignalRecorder recorder(m_client.get());
    if (failure == "no reply object")
        m_client->handleReply(nullptr, Api::RequestType(type));
    else
        m_client->get(Api::RequestType(type), url);
    QVERIFY(waitForSignals(recorder));

    const auto emission = recorder.only();
    QCOMPARE(emission.first, QString(typeInfos().value(type).signal));
    QCOMPARE(describeArguments(emission.second), failureValues(type, Api::networkFailureText()));
}

void TestRequestEngine::errorMapperRewritesOnlyErrors()
{
    QStringList seen;
    Api client(
        [&seen](QString text) {
            seen << text;
            return text == "Wrong password" ? QString("The e-mail or password is not right") : text;
        },
        m_environment.get());

    m_server->setReply(
        "/api/v1.1/bad",
        rawReply(200, "OK",
                 R"({"meta":{"status":"error","error":{"cause":[{"message":"Wrong password"}]}}})"));
    m_server->setReply("/api/v1.1/good", LoopbackHttpServer::okEnvelope(R"({"auth_token":"t"})"));

    SignalRecorder recorder(&client);
    client.get(Api::Login, client.getIDUrl("bad", false));
    QVERIFY(waitForSignals(recorder));
    QCOMPARE(describeArguments(recorder.only().second),
             (QStringList{"{}", "The e-mail or password is not right"}));

    client.get(Api::Login, client.getIDUrl("good", false));
    QVERIFY(waitForSignals(recorder, 2));
    QCOMPARE(seen, QStringList{"Wrong password"});
}

void TestRequestEngine::requestShapes_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QByteArray>("method");
    QTest::newRow("get") << "get" << QByteArray("GET");
    QTest::newRow("post") << "post" << QByteArray("POST");
    QTest::newRow("put") << "put" << QByteArray("PUT");
    QTest::newRow("delete") << "delete" << QByteArray("DELETE");
}

void TestRequestEngine::requestShapes()
{
    QFETCH(QString, operation);
    QFETCH(QByteArray, method);

    m_server->setDefaultReply(LoopbackHttpServer::okEnvelope("{}"));
    SignalRecorder recorder(m_client.get());
    const QUrl url = idUrl("shape");
    const QJsonObject body{{"firstName", "Ann"}, {"count", 2}};
    if (operation == "get")
        m_client->get(Api::UpdateUser, url);
    else if (operation == "post")
        m_client->post(Api::UpdateUser, url, body);
    else if (operation == "put")
        m_client->put(Api::UpdateUser, url, body);
    else
        m_client->removeResource(Api::UpdateUser, url);
    QVERIFY(waitForSignals(recorder));

    QCOMPARE(m_server->requests().size(), 1);
    const auto request = m_server->requests().first();
    QCOMPARE(request.method, method);
    QCOMPARE(request.path, QString("/api/v1.1/shape"));
    QCOMPARE(request.query, (QList<QPair<QString, QString>>{{"auth_token", "token-123"}}));
    // The token travels only in the query.
    QVERIFY(!request.headers.contains("authorization"));
    for (const QByteArray &value : request.headers)
        QVERIFY(!value.contains("token-123"));

    const bool hasBody = operation == "post" || operation == "put";
    QCOMPARE(request.headers.value("content-type"), hasBody ? QByteArray("application/json") : QByteArray());
    QCOMPARE(request.body, hasBody ? QJsonDocument(body).toJson() : QByteArray());
}

void TestRequestEngine::concurrentRequestsEachGetTheirSignal()
{
    m_server->setReply("/api/v1.1/slow", [] {
        auto reply = LoopbackHttpServer::okEnvelope(R"({"n":1})");
        return reply;
    }());
    m_server->setReply("/api/v1.1/fast", LoopbackHttpServer::okEnvelope(R"({"n":2})"));

    SignalRecorder recorder(m_client.get());
    m_client->get(Api::CodeRequest, idUrl("slow"));
    m_client->get(Api::CodeRequest, idUrl("fast"));
    m_client->get(Api::GlobalShareSettings, idUrl("fast"));
    QVERIFY(waitForSignals(recorder, 3));
    QCOMPARE(recorder.count("codeRequestFinished"), 2);
    QCOMPARE(recorder.count("gotGlobalShareSettings"), 1);
}

void TestRequestEngine::requestLogLineIsRedacted()
{
    LogCapture capture;
    m_client->setPrintRequest(true);
    m_server->setDefaultReply(LoopbackHttpServer::okEnvelope("{}"));
    SignalRecorder recorder(m_client.get());

    QUrl url = m_client->getIDUrl("auth/login", false);
    Api::addQueryItems(url, {"email", "password"}, {"ann@example.com", "hunter2-secret"});
    m_client->get(Api::Login, url);
    QUrl code = m_client->getIDUrl("auth/login/code", true);
    Api::addQueryItems(code, {"email", "code"}, {"ann@example.com", "987654"});
    m_client->get(Api::CodeLogin, code);
    QVERIFY(waitForSignals(recorder, 2));

    const QStringList lines = LogCapture::lines(QtInfoMsg);
    QCOMPARE(lines.size(), 2);
    const QString base = m_server->baseUrl().toString();
    const QRegularExpression login(
        "^Request: GET " + QRegularExpression::escape(base)
        + "/api/v1\\.1/auth/login\\?email=ann@example\\.com&password=\\*\\*\\* - [0-9.e+-]+ ms$");
    const QRegularExpression codeLogin(
        "^Request: GET " + QRegularExpression::escape(base)
        + "/api/v1\\.1/auth/login/code\\?auth_token=\\*\\*\\*&email=ann@example\\.com&code=\\*\\*\\* - "
          "[0-9.e+-]+ ms$");
    QVERIFY2(lines.filter(login).size() == 1, qPrintable(lines.join('\n')));
    QVERIFY2(lines.filter(codeLogin).size() == 1, qPrintable(lines.join('\n')));

    // The request itself carried the real values.
    const auto first = m_server->requests().first();
    QVERIFY(first.query.contains({"password", "hunter2-secret"})
            || m_server->requests().last().query.contains({"password", "hunter2-secret"}));

    const QString everything = LogCapture::all();
    for (const char *secret : {"hunter2-secret", "987654", "token-123"})
        QVERIFY2(!everything.contains(secret), secret);
}

void TestRequestEngine::requestLogLineWithReasonPhrase()
{
    LogCapture capture;
    m_client->setPrintRequest(true);
    m_server->setDefaultReply(rawReply(404, "Not Found", "{}"));
    SignalRecorder recorder(m_client.get());
    m_client->get(Api::MyCompanies, idUrl("me/companies"));
    QVERIFY(waitForSignals(recorder));

    const QStringList lines = LogCapture::lines(QtInfoMsg);
    QCOMPARE(lines.size(), 1);
    QVERIFY2(QRegularExpression(" - [0-9.e+-]+ ms - 404 - Not Found$").match(lines.first()).hasMatch(),
             qPrintable(lines.first()));
    QVERIFY(lines.first().contains("auth_token=***"));
    QVERIFY(!LogCapture::all().contains("token-123"));
}

void TestRequestEngine::requestLogWithoutStartTime()
{
    LogCapture capture;
    m_server->setDefaultReply(LoopbackHttpServer::okEnvelope("{}"));
    SignalRecorder recorder(m_client.get());
    m_client->get(Api::MyCompanies, idUrl("me/companies"));
    // Logging switched on while the request is in flight: no start time is known.
    m_client->setPrintRequest(true);
    QVERIFY(waitForSignals(recorder));

    const QStringList lines = LogCapture::lines(QtInfoMsg);
    QCOMPARE(lines.size(), 1);
    QCOMPARE(lines.first(),
             "Request: GET " + m_server->baseUrl().toString() + "/api/v1.1/me/companies?auth_token=***");
}

void TestRequestEngine::responseAndErrorLogLines()
{
    LogCapture capture;
    m_client->setPrintResponse(true);
    m_server->setReply(
        "/api/v1.1/auth/login",
        LoopbackHttpServer::okEnvelope(
            R"({"auth_token":"fresh-secret","user":{"email":"a@x.io"},"sources":[{"passphrase":"pp-secret"}]})"));
    m_server->setReply(
        "/api/v1.1/me",
        rawReply(200, "OK", R"({"meta":{"status":"error","error":{"message":"Token expired"}}})"));
    SignalRecorder recorder(m_client.get());
    m_client->get(Api::Login, m_client->getIDUrl("auth/login", false));
    m_client->get(Api::MyUserInfo, idUrl("me"));
    QVERIFY(waitForSignals(recorder, 2));

    // The signal carries the real token; the log does not.
    QCOMPARE(recorder.count("loginFinished"), 1);
    const QStringList info = LogCapture::lines(QtInfoMsg);
    QVERIFY2(
        info.contains(
            R"(Response: {"meta":{"status":"ok"},"response":{"auth_token":"***","sources":[{"passphrase":"***"}],"user":{"email":"a@x.io"}}})"),
        qPrintable(info.join('\n')));
    QVERIFY2(info.contains(R"(Response: {"meta":{"error":{"message":"Token expired"},"status":"error"}})"),
             qPrintable(info.join('\n')));
    QCOMPARE(LogCapture::lines(QtWarningMsg), QStringList{"/api/v1.1/me Error: Token expired"});
    QVERIFY(!LogCapture::all().contains("fresh-secret"));
    QVERIFY(!LogCapture::all().contains("pp-secret"));
}

void TestRequestEngine::failureTextsOfViewsAndArchivesAreLogged_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("logged");
    QTest::newRow("StreamView") << int(Api::StreamView) << true;
    QTest::newRow("Archives") << int(Api::Archives) << true;
    QTest::newRow("Login") << int(Api::Login) << false;
}

void TestRequestEngine::failureTextsOfViewsAndArchivesAreLogged()
{
    QFETCH(int, type);
    QFETCH(bool, logged);
    LogCapture capture;
    m_server->setDefaultReply(
        rawReply(200, "OK", R"({"meta":{"status":"error","error":{"message":"No such view"}}})"));
    SignalRecorder recorder(m_client.get());
    m_client->get(Api::RequestType(type), idUrl("views/x"));
    QVERIFY(waitForSignals(recorder));
    QCOMPARE(LogCapture::lines(QtDebugMsg).contains("No such view"), logged);
}

void TestRequestEngine::join_data()
{
    QTest::addColumn<QVector<QString>>("items");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty") << QVector<QString>{} << ","
                           << "";
    QTest::newRow("one item") << QVector<QString>{"a"} << ","
                              << "a";
    QTest::newRow("three items") << QVector<QString>{"a", "b", "c"} << ","
                                 << "a,b,c";
    QTest::newRow("empty items kept") << QVector<QString>{"", "b", ""} << ","
                                      << ",b,";
    QTest::newRow("long separator") << QVector<QString>{"x", "y"} << " - "
                                    << "x - y";
}

void TestRequestEngine::join()
{
    QFETCH(QVector<QString>, items);
    QFETCH(QString, separator);
    QFETCH(QString, expected);
    QCOMPARE(Api::join(items, separator), expected);
}

void TestRequestEngine::methodNames_data()
{
    QTest::addColumn<int>("operation");
    QTest::addColumn<QString>("name");
    QTest::newRow("0") << 0 << "UNKNOWN";
    QTest::newRow("1") << 1 << "HEAD";
    QTest::newRow("2") << 2 << "GET";
    QTest::newRow("3") << 3 << "PUT";
    QTest::newRow("4") << 4 << "POST";
    QTest::newRow("5") << 5 << "DELETE";
    QTest::newRow("6") << 6 << "CUSTOM";
    QTest::newRow("out of range") << 42 << "GET";
}

void TestRequestEngine::methodNames()
{
    QFETCH(int, operation);
    QFETCH(QString, name);
    QCOMPARE(Api::getMethodName(QNetworkAccessManager::Operation(operation)), name);
}

void TestRequestEngine::networkLayerErrors_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("networkLayer");
    QTest::newRow("no error") << 0 << false;
    QTest::newRow("refused") << int(QNetworkReply::ConnectionRefusedError) << true;
    QTest::newRow("timeout") << int(QNetworkReply::TimeoutError) << true;
    QTest::newRow("TLS") << int(QNetworkReply::SslHandshakeFailedError) << true;
    QTest::newRow("99") << 99 << true;
    QTest::newRow("proxy") << int(QNetworkReply::ProxyConnectionRefusedError) << false;
    QTest::newRow("401") << int(QNetworkReply::AuthenticationRequiredError) << false;
    QTest::newRow("unknown server") << int(QNetworkReply::UnknownServerError) << false;
}

void TestRequestEngine::networkLayerErrors()
{
    QFETCH(int, code);
    QFETCH(bool, networkLayer);
    QCOMPARE(Api::isNetworkLayerError(QNetworkReply::NetworkError(code)), networkLayer);
}

QTEST_GUILESS_MAIN(TestRequestEngine)
#include "tst_requestengine.moc"
