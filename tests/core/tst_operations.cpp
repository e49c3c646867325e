// Account, company, sharing and catalogue operations: what each one puts on the
// wire (method, path, query items in order, body) and which signal answers it.
#include "deploymenthosts.h"
#include "loopbackenvironment.h"
#include "loopbackhttpserver.h"
#include "qtovcoreapiframework.h"

#include <QJsonDocument>
#include <QSignalSpy>
#include <QSysInfo>
#include <QtTest>

#include <functional>
#include <memory>

using Api = QtOVCoreAPIFramework;
using Query = QList<QPair<QString, QString>>;
using Call = std::function<void(Api &)>;
Q_DECLARE_METATYPE(Call)

namespace {

QString machineId()
{
    QByteArray id = QSysInfo::machineUniqueId();
    const int nul = id.indexOf('\0');
    if (nul >= 0)
        id.truncate(nul);
    return QString::fromUtf8(id);
}

} // namespace

class TestOperations : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void wire_data();
    void wire();
    void checkAuthTokenKeepsTheStoredToken();
    void valuesArriveExactlyAsGiven_data();
    void valuesArriveExactlyAsGiven();

private:
    std::unique_ptr<LoopbackHttpServer> m_server;
    std::unique_ptr<LoopbackEnvironment> m_environment;
    std::unique_ptr<Api> m_client;
};

void TestOperations::init()
{
    m_server = std::make_unique<LoopbackHttpServer>();
    QVERIFY(m_server->listen());
    m_server->setDefaultReply(LoopbackHttpServer::okEnvelope("{}"));
    m_environment = std::make_unique<LoopbackEnvironment>(m_server->baseUrl());
    m_client = std::make_unique<Api>([](QString text) { return text; }, m_environment.get());
    m_client->setAuthToken("tok");
}

void TestOperations::cleanup()
{
    m_client.reset();
    m_environment.reset();
    m_server.reset();
}

void TestOperations::wire_data()
{
    QTest::addColumn<Call>("call");
    QTest::addColumn<QByteArray>("signal");
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QString>("path");
    QTest::addColumn<Query>("query");
    QTest::addColumn<QByteArray>("body");

    const QString id = "/api/v1.1/";
    const QString core = "/api/v1.0/";

    QTest::newRow("login") << Call([](Api &a) { a.login("ann@example.com", "pa ss"); })
                           << QByteArray(SIGNAL(loginFinished(QJsonObject, QString))) << QByteArray("GET")
                           << id + "auth/login" << Query{{"email", "ann@example.com"}, {"password", "pa ss"}}
                           << QByteArray();
    QTest::newRow("getCode, all items")
        << Call([](Api &a) { a.getCode("ann@example.com", "p1", "otv"); })
        << QByteArray(SIGNAL(codeRequestFinished(QJsonObject, QString))) << QByteArray("GET")
        << id + "auth/login/code/get"
        << Query{{"email", "ann@example.com"}, {"principal", "p1"}, {"service_slug", "otv"}} << QByteArray();
    QTest::newRow("getCode, only e-mail")
        << Call([](Api &a) { a.getCode("ann@example.com", "", ""); })
        << QByteArray(SIGNAL(codeRequestFinished(QJsonObject, QString))) << QByteArray("GET")
        << id + "auth/login/code/get" << Query{{"email", "ann@example.com"}} << QByteArray();
    QTest::newRow("getCode, slug without principal")
        << Call([](Api &a) { a.getCode("ann@example.com", "", "otv"); })
        << QByteArray(SIGNAL(codeRequestFinished(QJsonObject, QString))) << QByteArray("GET")
        << id + "auth/login/code/get" << Query{{"email", "ann@example.com"}, {"service_slug", "otv"}}
        << QByteArray();
    QTest::newRow("codeLogin") << Call([](Api &a) { a.codeLogin("ann@example.com", "123456"); })
                               << QByteArray(SIGNAL(codeLoginFinished(QJsonObject, QString)))
                               << QByteArray("GET") << id + "auth/login/code"
                               << Query{{"email", "ann@example.com"}, {"code", "123456"}} << QByteArray();
    QTest::newRow("getCodeByPhone") << Call([](Api &a) { a.getCodeByPhone("+15550100"); })
                                    << QByteArray(SIGNAL(codeRequestFinished(QJsonObject, QString)))
                                    << QByteArray("POST") << id + "auth/send-sms-code" << Query{}
                                    << QJsonDocument(QJsonObject{{"phone", "+15550100"}}).toJson();
    QTest::newRow("codeLoginWithPhone")
        << Call([](Api &a) { a.codeLoginWithPhone("+15550100", "4321"); })
        << QByteArray(SIGNAL(codeLoginFinished(QJsonObject, QString))) << QByteArray("POST")
        << id + "auth/login-by-phone" << Query{}
        << QJsonDocument(QJsonObject{{"phone", "+15550100"}, {"code", "4321"}}).toJson();
    QTest::newRow("oauthLogin") << Call([](Api &a) { a.oauthLogin("google", "auth-code", "otv"); })
                                << QByteArray(SIGNAL(oauthLoginFinished(QJsonObject, QString)))
                                << QByteArray("GET") << id + "auth/oauth-login"
                                << Query{{"provider", "google"}, {"code", "auth-code"}, {"app", "otv"}}
                                << QByteArray();
    QTest::newRow("oauthLogin, empty app still sent")
        << Call([](Api &a) { a.oauthLogin("apple", "c", ""); })
        << QByteArray(SIGNAL(oauthLoginFinished(QJsonObject, QString))) << QByteArray("GET")
        << id + "auth/oauth-login" << Query{{"provider", "apple"}, {"code", "c"}, {"app", ""}}
        << QByteArray();
    QTest::newRow("resetPassword, given redirect")
        << Call([](Api &a) { a.resetPassword("ann@example.com", "https://web/reset?x=1&y=2"); })
        << QByteArray(SIGNAL(gotResetPasswordResponse(QString))) << QByteArray("GET")
        << id + "auth/reset-password"
        << Query{{"email", "ann@example.com"}, {"redirect_url", "https://web/reset?x=1&y=2"}} << QByteArray();
    QTest::newRow("resetPassword, default redirect")
        << Call([](Api &a) { a.resetPassword("ann@example.com", ""); })
        << QByteArray(SIGNAL(gotResetPasswordResponse(QString))) << QByteArray("GET")
        << id + "auth/reset-password"
        << Query{{"email", "ann@example.com"},
                 {"redirect_url",
                  "https://" + DeploymentHosts::productionWeb()
                      + "/app/update-password?email=ann@example.com"}}
        << QByteArray();
    QTest::newRow("checkAuthToken") << Call([](Api &a) { a.checkAuthToken("other-token"); })
                                    << QByteArray(SIGNAL(authTokenCheckFinished(User, QString)))
                                    << QByteArray("GET") << id + "auth/me"
                                    << Query{{"auth_token", "other-token"}, {"service_slug", "cloud"}}
                                    << QByteArray();
    QTest::newRow("getMe") << Call([](Api &a) { a.getMe(); })
                           << QByteArray(SIGNAL(myUserInfoGotten(User, QString))) << QByteArray("GET")
                           << id + "me" << Query{{"auth_token", "tok"}} << QByteArray();
    QTest::newRow("updateUserProfile")
        << Call([](Api &a) { a.updateUserProfile("Ann", ""); })
        << QByteArray(SIGNAL(updateUserFinished(QString))) << QByteArray("PUT") << id + "me"
        << Query{{"auth_token", "tok"}}
        << QJsonDocument(QJsonObject{{"firstName", "Ann"}, {"lastName", ""}}).toJson();

    QTest::newRow("getMyCompanies(false)")
        << Call([](Api &a) { a.getMyCompanies(false); })
        << QByteArray(SIGNAL(myCompaniesGotten(QVector<Company>, QString))) << QByteArray("GET")
        << id + "me/companies" << Query{{"auth_token", "tok"}, {"detailed", "false"}} << QByteArray();
    QTest::newRow("getMyCompanies(true)")
        << Call([](Api &a) { a.getMyCompanies(true); })
        << QByteArray(SIGNAL(myCompaniesGotten(QVector<Company>, QString))) << QByteArray("GET")
        << id + "me/companies" << Query{{"auth_token", "tok"}, {"detailed", "true"}} << QByteArray();
    QTest::newRow("getCompanyDetails")
        << Call([](Api &a) { a.getCompanyDetails("c 1"); })
        << QByteArray(SIGNAL(myCompanyDetailsGotten(Company, QString))) << QByteArray("GET")
        << id + "me/companies/c 1" << Query{{"auth_token", "tok"}} << QByteArray();
    QTest::newRow("getCompanyUsers") << Call([](Api &a) { a.getCompanyUsers("c1"); })
                                     << QByteArray(SIGNAL(myCompanyUsersGotten(QVector<User>, QString)))
                                     << QByteArray("GET") << id + "me/companies/c1/users"
                                     << Query{{"auth_token", "tok"}} << QByteArray();
    QTest::newRow("getCompanyShares")
        << Call([](Api &a) { a.getCompanyShares("otv"); })
        << QByteArray(SIGNAL(companySharesGotten(QMap<QString, QVector<CompanyShare>>, QString)))
        << QByteArray("GET") << id + "me/companyShares"
        << Query{{"auth_token", "tok"}, {"service_slug", "otv"}} << QByteArray();
    QTest::newRow("getCompanyShares, no slug")
        << Call([](Api &a) { a.getCompanyShares(""); })
        << QByteArray(SIGNAL(companySharesGotten(QMap<QString, QVector<CompanyShare>>, QString)))
        << QByteArray("GET") << id + "me/companyShares" << Query{{"auth_token", "tok"}} << QByteArray();
    QTest::newRow("getGlobalShareSettings")
        << Call([](Api &a) { a.getGlobalShareSettings("c1", "otv"); })
        << QByteArray(SIGNAL(gotGlobalShareSettings(QJsonObject, QString))) << QByteArray("GET")
        << id + "me/companies/c1/shares/global_options"
        << Query{{"auth_token", "tok"}, {"service_slug", "otv"}} << QByteArray();
    QTest::newRow("getSharedWorkspaces")
        << Call([](Api &a) { a.getSharedWorkspaces("acme", "otv"); })
        << QByteArray(SIGNAL(gotSharedWorkspaces(QVector<SharedWorkspace>, QString))) << QByteArray("GET")
        << core + "acme/shared/workspaces" << Query{{"auth_token", "tok"}, {"service_slug", "otv"}}
        << QByteArray();
    QTest::newRow("getSharedStreams, slug needing encoding")
        << Call([](Api &a) { a.getSharedStreams("acme tv?"); })
        << QByteArray(SIGNAL(gotSharedStreams(QVector<SharedStream>, QString))) << QByteArray("GET")
        << core + "acme tv?/shared/streams" << Query{{"auth_token", "tok"}} << QByteArray();

    const QByteArray archivesSignal = SIGNAL(gotSharedArchives(QVector<Archive>, QVariantMap, QString));
    const QString records = core + "acme/shared/workspaces/w1/records";
    QTest::newRow("getSharedArchives, no filters")
        << Call([](Api &a) { a.getSharedArchives("acme", "w1", 20, 40, {}, {}, {}); }) << archivesSignal
        << QByteArray("GET") << records << Query{{"auth_token", "tok"}, {"count", "20"}, {"offset", "40"}}
        << QByteArray();
    QTest::newRow("getSharedArchives, sids win over cameras")
        << Call([](Api &a) {
               a.getSharedArchives("acme", "w1", 10, 0, {"e1", "e2"}, {}, {"c1"});
           })
        << archivesSignal << QByteArray("GET") << records
        << Query{{"auth_token", "tok"}, {"count", "10"}, {"offset", "0"}, {"sids", "e1,e2"}} << QByteArray();
    QTest::newRow("getSharedArchives, cameras and dates") << Call([](Api &a) {
        a.getSharedArchives("acme", "w1", 10, 0, {}, {QDate(2026, 1, 5), QDate(2026, 1, 9)},
                            {"c1", "c2", "c3"});
    }) << archivesSignal << QByteArray("GET") << records << Query{{"auth_token", "tok"},
                                                                  {"count", "10"},
                                                                  {"offset", "0"},
                                                                  {"cameraIds", "c1,c2,c3"},
                                                                  {"dateFrom", "2026-01-05"},
                                                                  {"dateTo", "2026-01-09"}}
                                                          << QByteArray();
    QTest::newRow("getSharedArchives, one date is both ends")
        << Call([](Api &a) { a.getSharedArchives("acme", "w1", 10, 0, {}, {QDate(2026, 2, 1)}, {}); })
        << archivesSignal << QByteArray("GET") << records
        << Query{{"auth_token", "tok"},
                 {"count", "10"},
                 {"offset", "0"},
                 {"dateFrom", "2026-02-01"},
                 {"dateTo", "2026-02-01"}}
        << QByteArray();
    QTest::newRow("getSharedArchives, null last date sends no dates")
        << Call([](Api &a) {
               a.getSharedArchives("acme", "w1", 10, 0, {}, {QDate(2026, 2, 1), QDate()}, {});
           })
        << archivesSignal << QByteArray("GET") << records
        << Query{{"auth_token", "tok"}, {"count", "10"}, {"offset", "0"}} << QByteArray();
    QTest::newRow("getArchives") << Call([](Api &a) {
        a.getArchives("owner-1", 25, 50);
    }) << QByteArray(SIGNAL(gotArchiveResponse(QVector<Archive>, QString, bool, int)))
                                 << QByteArray("GET") << core + "owner-1/archive"
                                 << Query{{"auth_token", "tok"}, {"count", "25"}, {"offset", "50"}}
                                 << QByteArray();
    QTest::newRow("sendStreamView, live stream")
        << Call([](Api &a) { a.sendStreamView("acme", false, "s1", 41, 123456); })
        << QByteArray(SIGNAL(gotStreamViewResponse(QString))) << QByteArray("POST") << core + "acme/views/s1"
        << Query{{"auth_token", "tok"}}
        << QJsonDocument(
               QJsonObject{
                   {"viewId", machineId()}, {"type", "stream"}, {"shareId", 41}, {"totalBytes", 123456}})
               .toJson();
    QTest::newRow("sendStreamView, recording")
        << Call([](Api &a) { a.sendStreamView("acme", true, "r9", 7, 0); })
        << QByteArray(SIGNAL(gotStreamViewResponse(QString))) << QByteArray("POST") << core + "acme/views/r9"
        << Query{{"auth_token", "tok"}}
        << QJsonDocument(
               QJsonObject{{"viewId", machineId()}, {"type", "record"}, {"shareId", 7}, {"totalBytes", 0}})
               .toJson();
}

void TestOperations::wire()
{
    QFETCH(Call, call);
    QFETCH(QByteArray, signal);
    QFETCH(QByteArray, method);
    QFETCH(QString, path);
    QFETCH(Query, query);
    QFETCH(QByteArray, body);

    QSignalSpy spy(m_client.get(), signal.constData());
    QVERIFY(spy.isValid());
    call(*m_client);
    QVERIFY(spy.wait(10000));
    QCOMPARE(spy.count(), 1);

    QCOMPARE(m_server->requests().size(), 1);
    const auto request = m_server->requests().first();
    QCOMPARE(request.method, method);
    QCOMPARE(request.path, path);
    QCOMPARE(request.query, query);
    QCOMPARE(request.body, body);
}

void TestOperations::checkAuthTokenKeepsTheStoredToken()
{
    Api fresh([](QString text) { return text; }, m_environment.get());
    QSignalSpy spy(&fresh, &Api::authTokenCheckFinished);
    m_server->setDefaultReply(LoopbackHttpServer::okEnvelope(R"({"email":"me@x.io"})"));
    fresh.checkAuthToken("saved-token");
    QVERIFY(spy.wait(10000));
    QCOMPARE(spy.first().at(0).value<User>().email, QString("me@x.io"));
    QVERIFY(fresh.getAuthToken().isEmpty());
}

void TestOperations::valuesArriveExactlyAsGiven_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<QByteArray>("encoded");
    QTest::newRow("plus") << "a+b" << QByteArray("password=a%2Bb");
    QTest::newRow("percent before hex digits") << "100%41" << QByteArray("password=100%2541");
    QTest::newRow("lone percent") << "50%" << QByteArray("password=50%25");
    QTest::newRow("ampersand and equals") << "x&y=z" << QByteArray("password=x%26y%3Dz");
    QTest::newRow("hash") << "no#1" << QByteArray("password=no%231");
    QTest::newRow("space") << "two words" << QByteArray("password=two%20words");
    QTest::newRow("non-ASCII") << QString::fromUtf8("p\xc3\xa4ss") << QByteArray("password=p%C3%A4ss");
}

void TestOperations::valuesArriveExactlyAsGiven()
{
    QFETCH(QString, password);
    QFETCH(QByteArray, encoded);
    QSignalSpy spy(m_client.get(), &Api::loginFinished);
    m_client->login("ann+tv@example.com", password);
    QVERIFY(spy.wait(10000));
    const auto request = m_server->requests().first();
    // A server that reads "+" as a space still gets the plus signs.
    QVERIFY2(request.target.contains("email=ann%2Btv@example.com&"), request.target.constData());
    QVERIFY2(request.target.endsWith(encoded), request.target.constData());
    QCOMPARE(request.query, (Query{{"email", "ann+tv@example.com"}, {"password", password}}));
}

QTEST_GUILESS_MAIN(TestOperations)
#include "tst_operations.moc"
