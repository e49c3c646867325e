// Deployments and the URLs the client builds on them.
#include "deploymenthosts.h"
#include "qtovcoreapiframework.h"
#include "serverenvironment.h"

#include <QSet>
#include <QUrlQuery>
#include <QtTest>

#include <memory>

namespace {

ServerEnvironment *environmentNamed(const QString &name)
{
    static CoreProduction coreProduction;
    static CoreStaging coreStaging;
    static OVTVProduction ovtvProduction;
    static OVTVStaging ovtvStaging;
    static OVTVDev ovtvDev;
    if (name == "CoreProduction")
        return &coreProduction;
    if (name == "CoreStaging")
        return &coreStaging;
    if (name == "OVTVProduction")
        return &ovtvProduction;
    if (name == "OVTVStaging")
        return &ovtvStaging;
    if (name == "OVTVDev")
        return &ovtvDev;
    return nullptr; // the client's built-in defaults
}

QString url(const QString &host, int port, const QString &path)
{
    return QStringLiteral("https://%1:%2%3").arg(host).arg(port).arg(path);
}

std::unique_ptr<QtOVCoreAPIFramework> makeClient(ServerEnvironment *environment)
{
    return std::make_unique<QtOVCoreAPIFramework>([](QString text) { return text; }, environment);
}

} // namespace

class TestServerEnvironment : public QObject
{
    Q_OBJECT

private slots:
    void endpoints_data();
    void endpoints();
    void sharedAndDistinctHosts();
    void endpointUrls_data();
    void endpointUrls();
    void slugIsPercentEncoded_data();
    void slugIsPercentEncoded();
    void tokenComesBeforeLaterItems();
    void switchingEnvironments();
};

void TestServerEnvironment::endpoints_data()
{
    using namespace DeploymentHosts;
    QTest::addColumn<QString>("environment");
    QTest::addColumn<QString>("identity");
    QTest::addColumn<QString>("core");
    QTest::newRow("CoreProduction") << "CoreProduction" << url(productionIdentity(), 443, "/api/v1.1/")
                                    << url(productionCore(), 443, "/api/v1.0/");
    QTest::newRow("CoreStaging") << "CoreStaging" << url(stagingIdentity(), 8443, "/api/v1.1/")
                                 << url(stagingCore(), 8443, "/api/v1.0/");
    QTest::newRow("OVTVProduction") << "OVTVProduction" << url(productionIdentity(), 443, "/api/v1.1/")
                                    << url(productProduction(), 8443, "/api/v1.0/");
    QTest::newRow("OVTVStaging") << "OVTVStaging" << url(stagingIdentity(), 8443, "/api/v1.1/")
                                 << url(productStaging(), 8443, "/api/v1.0/");
    QTest::newRow("OVTVDev") << "OVTVDev" << url(developmentIdentity(), 8443, "/api/v1.1/")
                             << url(developmentCore(), 8443, "/api/v1.0/");
    QTest::newRow("no environment") << "none" << url(productionIdentity(), 443, "/api/v1.1/")
                                    << url(productionCore(), 443, "/api/v1.0/");
}

void TestServerEnvironment::endpoints()
{
    QFETCH(QString, environment);
    QFETCH(QString, identity);
    QFETCH(QString, core);
    ServerEnvironment *env = environmentNamed(environment);
    if (env) {
        // The port is written out even where it is the scheme's default.
        QCOMPARE(env->idEndpoint().toString(), identity);
        QCOMPARE(env->restEndpoint().toString(), core);
    }
    const auto client = makeClient(env);
    QCOMPARE(client->getServerEnvironment(), env);
    QCOMPARE(client->getIDBaseURL().toString(), identity);
    QCOMPARE(client->getCoreBaseURL().toString(), core);
}

void TestServerEnvironment::sharedAndDistinctHosts()
{
    const QStringList names = {"CoreProduction", "CoreStaging", "OVTVProduction", "OVTVStaging", "OVTVDev"};
    QSet<QString> cores;
    for (const QString &name : names)
        cores.insert(environmentNamed(name)->restEndpoint().toString());
    QCOMPARE(cores.size(), 5);
    QCOMPARE(environmentNamed("CoreProduction")->idEndpoint(),
             environmentNamed("OVTVProduction")->idEndpoint());
    QCOMPARE(environmentNamed("CoreStaging")->idEndpoint(), environmentNamed("OVTVStaging")->idEndpoint());
    QVERIFY(environmentNamed("OVTVDev")->idEndpoint() != environmentNamed("OVTVStaging")->idEndpoint());
}

void TestServerEnvironment::endpointUrls_data()
{
    QTest::addColumn<QString>("environment");
    QTest::addColumn<bool>("core");
    QTest::addColumn<bool>("withToken");
    QTest::addColumn<QString>("token");
    QTest::addColumn<QString>("expectedQuery");

    const QStringList names
        = {"CoreProduction", "CoreStaging", "OVTVProduction", "OVTVStaging", "OVTVDev", "none"};
    for (const QString &name : names) {
        for (bool core : {false, true}) {
            const char *side = core ? "core" : "identity";
            QTest::addRow("%s %s without token", qPrintable(name), side)
                << name << core << false << "secret-token"
                << "";
            QTest::addRow("%s %s with token", qPrintable(name), side)
                << name << core << true << "secret-token"
                << "auth_token=secret-token";
            QTest::addRow("%s %s with empty token", qPrintable(name), side) << name << core << true << ""
                                                                            << "auth_token=";
        }
    }
}

void TestServerEnvironment::endpointUrls()
{
    QFETCH(QString, environment);
    QFETCH(bool, core);
    QFETCH(bool, withToken);
    QFETCH(QString, token);
    QFETCH(QString, expectedQuery);

    const auto client = makeClient(environmentNamed(environment));
    client->setAuthToken(token);
    const QString relative = core ? "acme/shared/streams" : "me/companies";
    const QUrl base = core ? client->getCoreBaseURL() : client->getIDBaseURL();
    const QUrl built = core ? client->getCoreUrl(relative, withToken) : client->getIDUrl(relative, withToken);

    QCOMPARE(built.scheme(), QString("https"));
    QCOMPARE(built.host(), base.host());
    QCOMPARE(built.port(), base.port());
    QCOMPARE(built.path(), base.path() + relative);
    QCOMPARE(built.query(), expectedQuery);
    QCOMPARE(built.hasQuery(), withToken);
    QCOMPARE(QUrlQuery(built).hasQueryItem("auth_token"), withToken);
}

void TestServerEnvironment::slugIsPercentEncoded_data()
{
    QTest::addColumn<QString>("slug");
    QTest::addColumn<QString>("encodedPath");
    QTest::newRow("plain") << "acme"
                           << "/api/v1.0/acme/shared/streams";
    QTest::newRow("space") << "acme tv"
                           << "/api/v1.0/acme%20tv/shared/streams";
    QTest::newRow("question mark") << "what?"
                                   << "/api/v1.0/what%3F/shared/streams";
    QTest::newRow("hash") << "no#1"
                          << "/api/v1.0/no%231/shared/streams";
    QTest::newRow("percent") << "100%"
                             << "/api/v1.0/100%25/shared/streams";
    QTest::newRow("non-ASCII") << QString::fromUtf8("caf\xc3\xa9") << "/api/v1.0/caf%C3%A9/shared/streams";
    QTest::newRow("empty slug") << ""
                                << "/api/v1.0//shared/streams";
}

void TestServerEnvironment::slugIsPercentEncoded()
{
    QFETCH(QString, slug);
    QFETCH(QString, encodedPath);
    const auto client = makeClient(environmentNamed("OVTVProduction"));
    client->setAuthToken("t");
    const QUrl built = client->getCoreUrl(slug + "/shared/streams", true);
    QVERIFY(built.isValid());
    QCOMPARE(built.path(QUrl::FullyEncoded), encodedPath);
    QCOMPARE(built.path(QUrl::FullyDecoded), "/api/v1.0/" + slug + "/shared/streams");
    // The slug never leaks into the query.
    QCOMPARE(built.query(QUrl::FullyDecoded), QString("auth_token=t"));
}

void TestServerEnvironment::tokenComesBeforeLaterItems()
{
    const auto client = makeClient(nullptr);
    client->setAuthToken("abc");
    QUrl built = client->getIDUrl("me/companies", true);
    QtOVCoreAPIFramework::addQueryItems(built, {"detailed", "x"}, {"true", "a+b c"});
    const auto items = QUrlQuery(built).queryItems(QUrl::FullyDecoded);
    QCOMPARE(items.size(), 3);
    QCOMPARE(items.at(0), qMakePair(QString("auth_token"), QString("abc")));
    QCOMPARE(items.at(1), qMakePair(QString("detailed"), QString("true")));
    QCOMPARE(items.at(2).first, QString("x"));
    QCOMPARE(items.at(2).second, QString("a+b c"));
    QVERIFY(built.toString(QUrl::FullyEncoded).contains("x=a%2Bb%20c"));
}

void TestServerEnvironment::switchingEnvironments()
{
    CoreProduction coreProduction;
    OVTVProduction ovtvProduction;
    const auto client = makeClient(&coreProduction);
    const QUrl identity = client->getIDBaseURL();
    const QUrl core = client->getCoreBaseURL();

    client->setServerEnvironment(&ovtvProduction);
    QCOMPARE(client->getServerEnvironment(), static_cast<ServerEnvironment *>(&ovtvProduction));
    QCOMPARE(client->getIDBaseURL(), identity);
    QVERIFY(client->getCoreBaseURL() != core);

    // A null environment brings back the built-in defaults; the token survives.
    client->setAuthToken("kept");
    client->setServerEnvironment(nullptr);
    QCOMPARE(client->getIDBaseURL(), identity);
    QCOMPARE(client->getCoreBaseURL(), core);
    QCOMPARE(client->getAuthToken(), QString("kept"));
}

QTEST_GUILESS_MAIN(TestServerEnvironment)
#include "tst_serverenvironment.moc"
