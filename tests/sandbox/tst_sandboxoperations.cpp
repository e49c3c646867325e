// Every account, company, sharing and catalogue operation through the real client
// library against the local deployment: real TLS through the deployment's CA, the
// designed host names routed by the deployment file, and the deployment's own
// record of what it received.
#include "deploymentoverride.h"
#include "qtovcoreapiframework.h"
#include "recorddescriptions.h"
#include "sandboxinspector.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkReply>
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

const QString ann = "ann@orvane.test";
const QString annPassword = "orvane-demo-1";
const QString identityHost = "id.orvane.tv:443";
const QString coreHost = "api.orvane.tv:8443";
const QString badToken = "Invalid or expired auth token";

// Every argument of one emission, described; "*" in the expectation skips one.
QStringList emitted(QSignalSpy &spy)
{
    if (spy.isEmpty() && !spy.wait(15000))
        return {"<no signal>"};
    return describeArguments(spy.takeFirst());
}

bool matches(const QStringList &actual, const QStringList &expected)
{
    if (actual.size() != expected.size())
        return false;
    for (int i = 0; i < actual.size(); ++i)
        if (expected.at(i) != "*" && expected.at(i) != actual.at(i))
            return false;
    return true;
}

} // namespace

class TestSandboxOperations : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void passwordSignIn();
    void signInFailures_data();
    void signInFailures();
    void emailCodeSignIn();
    void phoneCodeSignIn();
    void oauthSignIn();
    void resetPasswordWithDefaultRedirect();
    void tokenCheckAndProfile();
    void operations_data();
    void operations();
    void wrongToken_data();
    void wrongToken();
    void recordingPages();
    void recordingFilters_data();
    void recordingFilters();
    void streamViewsAreReported();
    void injectedFaults_data();
    void injectedFaults();
    void aTricklingReplyIsBounded();
    void aDroppedReportIsNotSentTwice();
    void tlsIsVerified();

private:
    QString signIn(const QString &email, const QString &password);
    QVector<Archive> archivesPage(const QString &workspace, int count, int offset,
                                  const QVector<QString> &sids, const QVector<QDate> &dates,
                                  const QVector<QString> &cameraIds, QVariantMap *paging);

    OVTVProduction m_environment;
    std::unique_ptr<Api> m_client;
    std::unique_ptr<SandboxInspector> m_inspector;
    QString m_token;
};

void TestSandboxOperations::initTestCase()
{
    m_inspector = std::make_unique<SandboxInspector>();
    QVERIFY2(m_inspector->isValid(), qPrintable(m_inspector->errorText()));
    m_client = std::make_unique<Api>([](QString text) { return text; }, &m_environment);
    QVERIFY2(DeploymentOverride::instance().isActive(),
             qPrintable(DeploymentOverride::instance().errorText()));
    m_token = signIn(ann, annPassword);
    QVERIFY(!m_token.isEmpty());
}

void TestSandboxOperations::init()
{
    m_client->setAuthToken(m_token);
    m_client->setRequestTimeout(30000);
    m_inspector->clearRequests();
}

QString TestSandboxOperations::signIn(const QString &email, const QString &password)
{
    QSignalSpy spy(m_client.get(), &Api::loginFinished);
    m_client->login(email, password);
    if (!spy.wait(15000))
        return QString();
    return spy.first().at(0).toJsonObject().value("auth_token").toString();
}

void TestSandboxOperations::passwordSignIn()
{
    QSignalSpy spy(m_client.get(), &Api::loginFinished);
    m_client->login(ann, annPassword);
    QVERIFY(spy.wait(15000));
    const QJsonObject response = spy.first().at(0).toJsonObject();
    QCOMPARE(spy.first().at(1).toString(), QString());
    QVERIFY(response.value("auth_token").toString().size() >= 32);
    QCOMPARE(response.value("user").toObject().value("email").toString(), ann);

    const auto requests = m_inspector->requests("/api/v1.1/auth/login");
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests.first().host, identityHost);
    QCOMPARE(requests.first().method, QString("GET"));
    QCOMPARE(requests.first().query, (Query{{"email", ann}, {"password", annPassword}}));
}

void TestSandboxOperations::signInFailures_data()
{
    QTest::addColumn<Call>("call");
    QTest::addColumn<QByteArray>("signal");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("wrong password") << Call([](Api &a) { a.login(ann, "not-the-password"); })
                                    << QByteArray(SIGNAL(loginFinished(QJsonObject, QString)))
                                    << QStringList{"{}", "Wrong email or password"};
    QTest::newRow("unknown account") << Call([](Api &a) { a.login("nobody@orvane.test", "x"); })
                                     << QByteArray(SIGNAL(loginFinished(QJsonObject, QString)))
                                     << QStringList{"{}", "Wrong email or password"};
    QTest::newRow("code for unknown account")
        << Call([](Api &a) { a.getCode("nobody@orvane.test", "", "otv"); })
        << QByteArray(SIGNAL(codeRequestFinished(QJsonObject, QString)))
        << QStringList{"{}", "No account for nobody@orvane.test"};
    QTest::newRow("wrong e-mail code")
        << Call([](Api &a) { a.codeLogin(ann, "000000x"); })
        << QByteArray(SIGNAL(codeLoginFinished(QJsonObject, QString)))
        << QStringList{"{}", "Wrong credentials: invalid or expired login code"};
    QTest::newRow("wrong phone code") << Call([](Api &a) { a.codeLoginWithPhone("+15550100", "99999"); })
                                      << QByteArray(SIGNAL(codeLoginFinished(QJsonObject, QString)))
                                      << QStringList{"{}", "Invalid or expired login code"};
    QTest::newRow("unknown OAuth code") << Call([](Api &a) { a.oauthLogin("google", "made-up", "otv"); })
                                        << QByteArray(SIGNAL(oauthLoginFinished(QJsonObject, QString)))
                                        << QStringList{"{}", "Invalid authorization code"};
    QTest::newRow("token check of a wrong token")
        << Call([](Api &a) { a.checkAuthToken("wrong"); })
        << QByteArray(SIGNAL(authTokenCheckFinished(User, QString))) << QStringList{"user(|||-)", badToken};
    QTest::newRow("reset without e-mail")
        << Call([](Api &a) { a.resetPassword("", "https://x.example/"); })
        << QByteArray(SIGNAL(gotResetPasswordResponse(QString))) << QStringList{"\"email\" is required"};
}

void TestSandboxOperations::signInFailures()
{
    QFETCH(Call, call);
    QFETCH(QByteArray, signal);
    QFETCH(QStringList, expected);
    QSignalSpy spy(m_client.get(), signal.constData());
    call(*m_client);
    QCOMPARE(emitted(spy), expected);
}

void TestSandboxOperations::emailCodeSignIn()
{
    QSignalSpy requested(m_client.get(), &Api::codeRequestFinished);
    m_client->getCode(ann, "", "otv");
    QCOMPARE(emitted(requested).last(), QString());
    const QString code = m_inspector->emailCode(ann);
    QCOMPARE(code.size(), 6);

    QSignalSpy signedIn(m_client.get(), &Api::codeLoginFinished);
    m_client->codeLogin(ann, code);
    QVERIFY(signedIn.wait(15000));
    QCOMPARE(signedIn.first().at(1).toString(), QString());
    const QString token = signedIn.first().at(0).toJsonObject().value("auth_token").toString();
    QVERIFY(!token.isEmpty());

    // The code is used up.
    m_client->codeLogin(ann, code);
    QVERIFY(signedIn.wait(15000));
    QCOMPARE(signedIn.last().at(1).toString(), QString("Wrong credentials: invalid or expired login code"));

    const auto requests = m_inspector->requests("/api/v1.1/auth/login/code");
    QCOMPARE(requests.first().query, (Query{{"email", ann}, {"service_slug", "otv"}}));
    QCOMPARE(requests.at(1).query, (Query{{"email", ann}, {"code", code}}));
}

void TestSandboxOperations::phoneCodeSignIn()
{
    QSignalSpy requested(m_client.get(), &Api::codeRequestFinished);
    m_client->getCodeByPhone("+15550100");
    QCOMPARE(emitted(requested).last(), QString());
    const QString code = m_inspector->phoneCode("+15550100");
    QCOMPARE(code.size(), 4);

    QSignalSpy signedIn(m_client.get(), &Api::codeLoginFinished);
    m_client->codeLoginWithPhone("+15550100", code);
    QVERIFY(signedIn.wait(15000));
    QCOMPARE(signedIn.first().at(1).toString(), QString());
    QVERIFY(!signedIn.first().at(0).toJsonObject().value("auth_token").toString().isEmpty());

    const auto requests = m_inspector->requests("/api/v1.1/auth/");
    QCOMPARE(requests.size(), 2);
    QCOMPARE(requests.at(0).method, QString("POST"));
    QCOMPARE(requests.at(0).path, QString("/api/v1.1/auth/send-sms-code"));
    QCOMPARE(requests.at(0).contentType, QString("application/json"));
    QCOMPARE(QJsonDocument::fromJson(requests.at(0).body.toUtf8()).object(),
             (QJsonObject{{"phone", "+15550100"}}));
    QCOMPARE(QJsonDocument::fromJson(requests.at(1).body.toUtf8()).object(),
             (QJsonObject{{"phone", "+15550100"}, {"code", code}}));
}

void TestSandboxOperations::oauthSignIn()
{
    const QString code = m_inspector->oauthCode("chloe@orvane.test", "apple");
    QVERIFY(!code.isEmpty());
    QSignalSpy spy(m_client.get(), &Api::oauthLoginFinished);
    m_client->oauthLogin("google", code, "otv"); // issued for another provider
    QCOMPARE(emitted(spy), (QStringList{"{}", "Invalid authorization code"}));
    m_client->oauthLogin("apple", code, "");
    QVERIFY(spy.wait(15000));
    QCOMPARE(spy.first().at(1).toString(), QString());
    QCOMPARE(spy.first().at(0).toJsonObject().value("user").toObject().value("email").toString(),
             QString("chloe@orvane.test"));
    QCOMPARE(m_inspector->requests("/api/v1.1/auth/oauth-login").last().query,
             (Query{{"provider", "apple"}, {"code", code}, {"app", ""}}));
}

void TestSandboxOperations::resetPasswordWithDefaultRedirect()
{
    QSignalSpy spy(m_client.get(), &Api::gotResetPasswordResponse);
    m_client->resetPassword("ben@orvane.test", "");
    QCOMPARE(emitted(spy), QStringList{""});
    const QJsonArray mails = m_inspector->get("/mails").toArray();
    QVERIFY(!mails.isEmpty());
    QCOMPARE(mails.last().toObject().value("to").toString(), QString("ben@orvane.test"));
    QCOMPARE(mails.last().toObject().value("link").toString(),
             QString("https://app.orvane.tv/app/update-password?email=ben@orvane.test"));
}

void TestSandboxOperations::tokenCheckAndProfile()
{
    QSignalSpy checked(m_client.get(), &Api::authTokenCheckFinished);
    m_client->setAuthToken(QString());
    m_client->checkAuthToken(m_token);
    QCOMPARE(emitted(checked), (QStringList{"user(ann@orvane.test|Ann|Lindqvist|-)", ""}));
    QVERIFY(m_client->getAuthToken().isEmpty());
    QCOMPARE(m_inspector->requests("/api/v1.1/auth/me").first().query,
             (Query{{"auth_token", m_token}, {"service_slug", "cloud"}}));

    m_client->setAuthToken(m_token);
    QSignalSpy updated(m_client.get(), &Api::updateUserFinished);
    QSignalSpy me(m_client.get(), &Api::myUserInfoGotten);
    m_client->updateUserProfile("Annie", "Lind");
    QCOMPARE(emitted(updated), QStringList{""});
    m_client->getMe();
    QCOMPARE(emitted(me), (QStringList{"user(ann@orvane.test|Annie|Lind|-)", ""}));
    m_client->updateUserProfile("Ann", "Lindqvist");
    QCOMPARE(emitted(updated), QStringList{""});

    const auto put = m_inspector->requests("/api/v1.1/me").first();
    QCOMPARE(put.method, QString("PUT"));
    QCOMPARE(put.query, (Query{{"auth_token", m_token}}));
    QCOMPARE(QJsonDocument::fromJson(put.body.toUtf8()).object(),
             (QJsonObject{{"firstName", "Annie"}, {"lastName", "Lind"}}));
}

void TestSandboxOperations::operations_data()
{
    QTest::addColumn<Call>("call");
    QTest::addColumn<QByteArray>("signal");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("path");
    QTest::addColumn<Query>("query"); // after the token
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("getMyCompanies")
        << Call([](Api &a) { a.getMyCompanies(false); })
        << QByteArray(SIGNAL(myCompaniesGotten(QVector<Company>, QString))) << identityHost
        << "/api/v1.1/me/companies" << Query{{"detailed", "false"}}
        << QStringList{QString::fromUtf8("[company(101|acme Field Ops|acme|img-acme),company(102|Beacon "
                                         "Broadcast|beacon|img-beacon),"
                                         "company(103|Zephyr Media|zephyr|),company(104|\xc3\x89"
                                         "dition Nord|edition-nord|img-nord)]"),
                       ""};
    QTest::newRow("getCompanyDetails") << Call([](Api &a) { a.getCompanyDetails("102"); })
                                       << QByteArray(SIGNAL(myCompanyDetailsGotten(Company, QString)))
                                       << identityHost << "/api/v1.1/me/companies/102" << Query{}
                                       << QStringList{"company(102|Beacon Broadcast|beacon|img-beacon)", ""};
    QTest::newRow("getCompanyUsers") << Call([](Api &a) { a.getCompanyUsers("102"); })
                                     << QByteArray(SIGNAL(myCompanyUsersGotten(QVector<User>, QString)))
                                     << identityHost << "/api/v1.1/me/companies/102/users" << Query{}
                                     << QStringList{QString::fromUtf8(
                                                        "[user(ann@orvane.test|Ann|Lindqvist|-),user(chloe@"
                                                        "orvane.test|Chlo\xc3\xa9|Martin|admin)]"),
                                                    ""};
    QTest::newRow("getCompanyShares")
        << Call([](Api &a) { a.getCompanyShares("otv"); })
        << QByteArray(SIGNAL(companySharesGotten(QMap<QString, QVector<CompanyShare>>, QString)))
        << identityHost << "/api/v1.1/me/companyShares" << Query{{"service_slug", "otv"}}
        << QStringList{"{acme=[share(41|acme),share(42|acme)],beacon=[share(43|beacon)],edition-nord=[share("
                       "45|edition-nord)],zephyr=[share(44|zephyr)]}",
                       ""};
    QTest::newRow("getGlobalShareSettings with watermarks")
        << Call([](Api &a) { a.getGlobalShareSettings("101", "otv"); })
        << QByteArray(SIGNAL(gotGlobalShareSettings(QJsonObject, QString))) << identityHost
        << "/api/v1.1/me/companies/101/shares/global_options" << Query{{"service_slug", "otv"}}
        << QStringList{R"({"allowDownloads":false,"watermarks":{"enabled":true,"text":"ACME FIELD OPS"}})",
                       ""};
    QTest::newRow("getGlobalShareSettings without watermarks")
        << Call([](Api &a) { a.getGlobalShareSettings("103", ""); })
        << QByteArray(SIGNAL(gotGlobalShareSettings(QJsonObject, QString))) << identityHost
        << "/api/v1.1/me/companies/103/shares/global_options" << Query{}
        << QStringList{R"({"allowDownloads":true})", ""};
    QTest::newRow("getSharedWorkspaces")
        << Call([](Api &a) { a.getSharedWorkspaces("acme", "otv"); })
        << QByteArray(SIGNAL(gotSharedWorkspaces(QVector<SharedWorkspace>, QString))) << coreHost
        << "/api/v1.0/acme/shared/workspaces" << Query{{"service_slug", "otv"}}
        << QStringList{"[workspace(41|North Site|cameras=4|streams=3|records=44),workspace(42|Harbour "
                       "Crane|cameras=2|streams=2|records=22)]",
                       ""};
    QTest::newRow("getSharedStreams") << Call([](Api &a) { a.getSharedStreams("beacon"); })
                                      << QByteArray(SIGNAL(gotSharedStreams(QVector<SharedStream>, QString)))
                                      << coreHost << "/api/v1.0/beacon/shared/streams" << Query{}
                                      << QStringList{"[stream(str-6|sources=2),stream(str-7|sources=2)]", ""};
    QTest::newRow("getSharedArchives")
        << Call([](Api &a) { a.getSharedArchives("acme", "41", 5, 40, {}, {}, {}); })
        << QByteArray(SIGNAL(gotSharedArchives(QVector<Archive>, QVariantMap, QString))) << coreHost
        << "/api/v1.0/acme/shared/workspaces/41/records" << Query{{"count", "5"}, {"offset", "40"}}
        << QStringList{"*", R"({"count":5,"offset":40,"total":44})", ""};
    QTest::newRow("getArchives, more pages")
        << Call([](Api &a) { a.getArchives("acme", 20, 20); })
        << QByteArray(SIGNAL(gotArchiveResponse(QVector<Archive>, QString, bool, int))) << coreHost
        << "/api/v1.0/acme/archive" << Query{{"count", "20"}, {"offset", "20"}}
        << QStringList{"*", "", "true", "40"};
    QTest::newRow("getArchives, last page")
        << Call([](Api &a) { a.getArchives("acme", 20, 40); })
        << QByteArray(SIGNAL(gotArchiveResponse(QVector<Archive>, QString, bool, int))) << coreHost
        << "/api/v1.0/acme/archive" << Query{{"count", "20"}, {"offset", "40"}}
        << QStringList{"*", "", "false", "60"};
    QTest::newRow("sendStreamView") << Call([](Api &a) {
        a.sendStreamView("acme", false, "str-1", 41, 1000);
    }) << QByteArray(SIGNAL(gotStreamViewResponse(QString)))
                                    << coreHost << "/api/v1.0/acme/views/str-1" << Query{} << QStringList{""};
    QTest::newRow("sendStreamView of an unknown recording")
        << Call([](Api &a) { a.sendStreamView("acme", true, "rec-999", 41, 1); })
        << QByteArray(SIGNAL(gotStreamViewResponse(QString))) << coreHost << "/api/v1.0/acme/views/rec-999"
        << Query{} << QStringList{"No record \"rec-999\""};
    QTest::newRow("a workspace that is not shared")
        << Call([](Api &a) { a.getSharedArchives("zephyr", "41", 5, 0, {}, {}, {}); })
        << QByteArray(SIGNAL(gotSharedArchives(QVector<Archive>, QVariantMap, QString))) << coreHost
        << "/api/v1.0/zephyr/shared/workspaces/41/records" << Query{{"count", "5"}, {"offset", "0"}}
        << QStringList{"[]", "{}", "Workspace is not shared with you"};
}

void TestSandboxOperations::operations()
{
    QFETCH(Call, call);
    QFETCH(QByteArray, signal);
    QFETCH(QString, host);
    QFETCH(QString, path);
    QFETCH(Query, query);
    QFETCH(QStringList, expected);

    QSignalSpy spy(m_client.get(), signal.constData());
    call(*m_client);
    const QStringList actual = emitted(spy);
    QVERIFY2(matches(actual, expected), qPrintable(actual.join(" | ")));

    const auto requests = m_inspector->requests(path);
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests.first().host, host);
    QCOMPARE(requests.first().path, path);
    query.prepend({"auth_token", m_token});
    QCOMPARE(requests.first().query, query);
}

void TestSandboxOperations::wrongToken_data()
{
    QTest::addColumn<Call>("call");
    QTest::addColumn<QByteArray>("signal");
    QTest::addColumn<QStringList>("expected");
    const QString e = badToken;
    QTest::newRow("getMe") << Call([](Api &a) { a.getMe(); })
                           << QByteArray(SIGNAL(myUserInfoGotten(User, QString)))
                           << QStringList{"user(|||-)", e};
    QTest::newRow("updateUserProfile") << Call([](Api &a) { a.updateUserProfile("A", "B"); })
                                       << QByteArray(SIGNAL(updateUserFinished(QString))) << QStringList{e};
    QTest::newRow("getMyCompanies") << Call([](Api &a) { a.getMyCompanies(true); })
                                    << QByteArray(SIGNAL(myCompaniesGotten(QVector<Company>, QString)))
                                    << QStringList{"[]", e};
    QTest::newRow("getCompanyDetails")
        << Call([](Api &a) { a.getCompanyDetails("101"); })
        << QByteArray(SIGNAL(myCompanyDetailsGotten(Company, QString))) << QStringList{"company(|||)", e};
    QTest::newRow("getCompanyUsers") << Call([](Api &a) { a.getCompanyUsers("101"); })
                                     << QByteArray(SIGNAL(myCompanyUsersGotten(QVector<User>, QString)))
                                     << QStringList{"[]", e};
    QTest::newRow("getCompanyShares")
        << Call([](Api &a) { a.getCompanyShares("otv"); })
        << QByteArray(SIGNAL(companySharesGotten(QMap<QString, QVector<CompanyShare>>, QString)))
        << QStringList{"{}", e};
    QTest::newRow("getGlobalShareSettings")
        << Call([](Api &a) { a.getGlobalShareSettings("101", "otv"); })
        << QByteArray(SIGNAL(gotGlobalShareSettings(QJsonObject, QString))) << QStringList{"{}", e};
    QTest::newRow("getSharedWorkspaces")
        << Call([](Api &a) { a.getSharedWorkspaces("acme", "otv"); })
        << QByteArray(SIGNAL(gotSharedWorkspaces(QVector<SharedWorkspace>, QString))) << QStringList{"[]", e};
    QTest::newRow("getSharedStreams")
        << Call([](Api &a) { a.getSharedStreams("acme"); })
        << QByteArray(SIGNAL(gotSharedStreams(QVector<SharedStream>, QString))) << QStringList{"[]", e};
    QTest::newRow("getSharedArchives")
        << Call([](Api &a) { a.getSharedArchives("acme", "41", 10, 0, {}, {}, {}); })
        << QByteArray(SIGNAL(gotSharedArchives(QVector<Archive>, QVariantMap, QString)))
        << QStringList{"[]", "{}", e};
    QTest::newRow("getArchives") << Call([](Api &a) {
        a.getArchives("acme", 10, 0);
    }) << QByteArray(SIGNAL(gotArchiveResponse(QVector<Archive>, QString, bool, int)))
                                 << QStringList{"[]", e, "false", "0"};
    QTest::newRow("sendStreamView") << Call([](Api &a) { a.sendStreamView("acme", false, "str-1", 41, 1); })
                                    << QByteArray(SIGNAL(gotStreamViewResponse(QString))) << QStringList{e};
}

void TestSandboxOperations::wrongToken()
{
    QFETCH(Call, call);
    QFETCH(QByteArray, signal);
    QFETCH(QStringList, expected);
    // A token the deployment never issued, and an empty one.
    for (const QString &token : {QString("0123456789abcdef"), QString()}) {
        m_client->setAuthToken(token);
        QSignalSpy spy(m_client.get(), signal.constData());
        call(*m_client);
        QCOMPARE(emitted(spy), expected);
    }
}

QVector<Archive> TestSandboxOperations::archivesPage(const QString &workspace, int count, int offset,
                                                     const QVector<QString> &sids,
                                                     const QVector<QDate> &dates,
                                                     const QVector<QString> &cameraIds, QVariantMap *paging)
{
    QSignalSpy spy(m_client.get(), &Api::gotSharedArchives);
    m_client->getSharedArchives("acme", workspace, count, offset, sids, dates, cameraIds);
    if (!spy.wait(15000))
        return {};
    if (paging)
        *paging = spy.first().at(1).toMap();
    if (!spy.first().at(2).toString().isEmpty())
        qWarning("%s", qPrintable(spy.first().at(2).toString()));
    return spy.first().at(0).value<QVector<Archive>>();
}

void TestSandboxOperations::recordingPages()
{
    QStringList ids;
    QDateTime previous;
    for (int offset = 0; offset < 60; offset += 20) {
        QVariantMap paging;
        const QVector<Archive> page = archivesPage("41", 20, offset, {}, {}, {}, &paging);
        QCOMPARE(paging.value("total").toInt(), 44);
        QCOMPARE(paging.value("offset").toInt(), offset);
        QCOMPARE(page.size(), qMin(20, 44 - offset));
        for (const Archive &archive : page) {
            ids << archive.id;
            // Newest first, across pages.
            if (previous.isValid())
                QVERIFY(archive.createdAt <= previous);
            previous = archive.createdAt;
            QVERIFY(archive.url.startsWith("https://media.orvane.tv:443/media/records/" + archive.id));
            QVERIFY(archive.webVideoUrl.endsWith("/video.mp4"));
            QVERIFY(archive.info.fileSize > 0);
            QCOMPARE(archive.info.extendedPreviewFrameCount, 16);
            QCOMPARE(archive.info.extendedPreviewWidth, 160);
            QCOMPARE(archive.info.extendedPreviewHeight, 90);
        }
    }
    QCOMPARE(ids.size(), 44);
    QCOMPARE(QSet<QString>(ids.begin(), ids.end()).size(), 44);
}

void TestSandboxOperations::recordingFilters_data()
{
    QTest::addColumn<QVector<QString>>("sids");
    QTest::addColumn<QVector<QDate>>("dates");
    QTest::addColumn<QVector<QString>>("cameraIds");
    QTest::addColumn<QStringList>("expectedCameras");
    QTest::addColumn<QDate>("from");
    QTest::addColumn<QDate>("to");
    QTest::newRow("one camera") << QVector<QString>{} << QVector<QDate>{} << QVector<QString>{"cam-2"}
                                << QStringList{"cam-2"} << QDate() << QDate();
    QTest::newRow("two cameras and two days")
        << QVector<QString>{} << QVector<QDate>{QDate(2026, 12, 1), QDate(2026, 12, 2)}
        << QVector<QString>{"cam-1", "cam-3"} << QStringList{"cam-1", "cam-3"} << QDate(2026, 12, 1)
        << QDate(2026, 12, 2);
    QTest::newRow("one day") << QVector<QString>{} << QVector<QDate>{QDate(2026, 12, 3)} << QVector<QString>{}
                             << QStringList{"cam-1", "cam-2", "cam-3"} << QDate(2026, 12, 3)
                             << QDate(2026, 12, 3);
    QTest::newRow("encoder ids win over cameras")
        << QVector<QString>{"enc-3"} << QVector<QDate>{} << QVector<QString>{"cam-1"} << QStringList{"cam-3"}
        << QDate() << QDate();
}

void TestSandboxOperations::recordingFilters()
{
    QFETCH(QVector<QString>, sids);
    QFETCH(QVector<QDate>, dates);
    QFETCH(QVector<QString>, cameraIds);
    QFETCH(QStringList, expectedCameras);
    QFETCH(QDate, from);
    QFETCH(QDate, to);

    // Every recording of the workspace, filtered here, is what the service must return.
    const QVector<Archive> all = archivesPage("41", 100, 0, {}, {}, {}, nullptr);
    QCOMPARE(all.size(), 44);
    QStringList expectedIds;
    for (const Archive &archive : all) {
        const QDate day = archive.createdAt.date();
        if (expectedCameras.contains(archive.cameraId) && (!from.isValid() || (day >= from && day <= to)))
            expectedIds << archive.id;
    }
    QVERIFY(!expectedIds.isEmpty());

    QVariantMap paging;
    const QVector<Archive> filtered = archivesPage("41", 100, 0, sids, dates, cameraIds, &paging);
    QStringList ids;
    for (const Archive &archive : filtered)
        ids << archive.id;
    QCOMPARE(ids, expectedIds);
    QCOMPARE(paging.value("total").toInt(), expectedIds.size());
}

void TestSandboxOperations::streamViewsAreReported()
{
    QSignalSpy spy(m_client.get(), &Api::gotStreamViewResponse);
    m_client->sendStreamView("acme", true, "rec-005", 41, 123456);
    QCOMPARE(emitted(spy), QStringList{""});
    const QJsonObject view = m_inspector->get("/views").toArray().last().toObject();
    QCOMPARE(view.value("id").toString(), QString("rec-005"));
    QCOMPARE(view.value("type").toString(), QString("record"));
    QCOMPARE(view.value("shareId").toInt(), 41);
    QCOMPARE(view.value("totalBytes").toInt(), 123456);
    QCOMPARE(view.value("user").toString(), ann);
    QByteArray machine = QSysInfo::machineUniqueId();
    if (machine.indexOf('\0') >= 0)
        machine.truncate(machine.indexOf('\0'));
    QCOMPARE(view.value("viewId").toString(), QString::fromUtf8(machine));
}

void TestSandboxOperations::injectedFaults_data()
{
    QTest::addColumn<QJsonObject>("fault");
    QTest::addColumn<QString>("error");
    const QString path = "/api/v1.1/me/companies";
    QTest::newRow("HTML page") << QJsonObject{{"path", path}, {"kind", "html"}} << "Invalid status: ";
    QTest::newRow("given envelope")
        << QJsonObject{{"path", path},
                       {"kind", "envelope"},
                       {"envelope",
                        QJsonObject{
                            {"meta",
                             QJsonObject{
                                 {"status", "error"},
                                 {"error", QJsonObject{{"cause", QJsonArray()}, {"message", "Generic"}}}}}}}}
        << "Unknown error message";
    QTest::newRow("HTTP 503") << QJsonObject{{"path", path}, {"kind", "status"}, {"status", 503}}
                              << "server replied: Service Unavailable";
    QTest::newRow("HTTP 401") << QJsonObject{{"path", path}, {"kind", "status"}, {"status", 401}}
                              << "Host requires authentication";
    QTest::newRow("stalled reply") << QJsonObject{{"path", path}, {"kind", "delay"}, {"delayMs", 3000}}
                                   << Api::networkFailureText();
    // The toolkit sends an idempotent request once more when its connection drops.
    QTest::newRow("connection dropped")
        << QJsonObject{{"path", path}, {"kind", "drop"}, {"times", 5}} << Api::networkFailureText();
}

void TestSandboxOperations::injectedFaults()
{
    QFETCH(QJsonObject, fault);
    QFETCH(QString, error);
    m_inspector->queueFault(fault);
    m_client->setRequestTimeout(500);
    QSignalSpy spy(m_client.get(), &Api::myCompaniesGotten);
    m_client->getMyCompanies(false);
    const QStringList actual = emitted(spy);
    QCOMPARE(actual.size(), 2);
    QCOMPARE(actual.first(), QString("[]"));
    if (error.isEmpty() || !error.contains("server replied"))
        QCOMPARE(actual.last(), error);
    else
        QVERIFY2(actual.last().endsWith(error), qPrintable(actual.last()));
    QVERIFY(!actual.last().contains(m_token));

    // Once the faults are gone the next request succeeds.
    m_inspector->remove("/faults");
    m_client->setRequestTimeout(30000);
    m_client->getMyCompanies(false);
    QCOMPARE(emitted(spy).last(), QString());
}

void TestSandboxOperations::aTricklingReplyIsBounded()
{
    // A blank every 200 ms: never silent long enough for the transfer time-out,
    // so only the bound on the whole request ends it.
    m_inspector->queueFault({{"path", "/api/v1.1/me/companies"}, {"kind", "trickle"}, {"intervalMs", 200}});
    m_client->setRequestTimeout(5000);
    m_client->setRequestTimeLimit(3000);
    QSignalSpy spy(m_client.get(), &Api::myCompaniesGotten);
    m_client->getMyCompanies(false);
    const QStringList actual = emitted(spy);
    m_client->setRequestTimeLimit(Api::defaultRequestTimeLimit);
    m_client->setRequestTimeout(30000);
    QCOMPARE(actual.size(), 2);
    QCOMPARE(actual.last(), Api::networkFailureText());
    m_inspector->remove("/faults");
}

void TestSandboxOperations::aDroppedReportIsNotSentTwice()
{
    // The connection drops after the report was received: the toolkit would send
    // it again and the service would count the view twice.
    const QString path = "/api/v1.0/acme/views/rec-006";
    const int viewsBefore = m_inspector->get("/views").toArray().size();
    m_inspector->clearRequests();
    m_inspector->queueFault({{"path", path}, {"kind", "drop"}, {"times", 1}});
    QSignalSpy spy(m_client.get(), &Api::gotStreamViewResponse);
    m_client->sendStreamView("acme", true, "rec-006", 41, 1000);
    QCOMPARE(emitted(spy), QStringList{Api::networkFailureText()});
    QTest::qWait(1000);
    QCOMPARE(m_inspector->requests(path).size(), 1);
    QCOMPARE(m_inspector->get("/views").toArray().size(), viewsBefore);
    m_inspector->remove("/faults");
    // The next report goes through once.
    m_client->sendStreamView("acme", true, "rec-006", 41, 1000);
    QCOMPARE(emitted(spy), QStringList{""});
    QCOMPARE(m_inspector->requests(path).size(), 2);
    QCOMPARE(m_inspector->get("/views").toArray().size(), viewsBefore + 1);
}

void TestSandboxOperations::tlsIsVerified()
{
    const QUrl designed("https://id.orvane.tv:443/api/v1.1/auth/me");
    const auto attempt = [&](const QSslConfiguration &configuration, const QString &verifyName) {
        // A manager of its own each time, so no connection is reused.
        QNetworkAccessManager network;
        QNetworkRequest request(designed);
        DeploymentOverride::instance().prepare(request);
        request.setSslConfiguration(configuration);
        if (!verifyName.isEmpty())
            request.setPeerVerifyName(verifyName);
        QNetworkReply *reply = network.get(request);
        QSignalSpy finished(reply, &QNetworkReply::finished);
        finished.wait(15000);
        const QNetworkReply::NetworkError error = reply->error();
        delete reply;
        return error;
    };

    // Without the deployment's CA the certificate is refused...
    QSslConfiguration systemOnly = QSslConfiguration::defaultConfiguration();
    systemOnly.setCaCertificates(QSslConfiguration::systemCaCertificates());
    QCOMPARE(attempt(systemOnly, QString()), QNetworkReply::SslHandshakeFailedError);
    // ...and so is a name the certificate does not carry.
    QCOMPARE(attempt(QSslConfiguration::defaultConfiguration(), "evil.example"),
             QNetworkReply::SslHandshakeFailedError);
    // Trusted through the deployment's CA, checked against the designed name.
    QCOMPARE(attempt(QSslConfiguration::defaultConfiguration(), QString()), QNetworkReply::NoError);
}

QTEST_GUILESS_MAIN(TestSandboxOperations)
#include "tst_sandboxoperations.moc"
