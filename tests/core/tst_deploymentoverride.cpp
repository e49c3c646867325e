// Reading a deployment file and routing designed addresses to the ones serving them.
#include "deploymentoverride.h"

#include <QNetworkRequest>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// A certificate authority for the fixture files only.
const char testCa[] = R"(-----BEGIN CERTIFICATE-----
MIIBkDCCATegAwIBAgIUIWBgSpWdCV+h4ojO8w1MdMchVgwwCgYIKoZIzj0EAwIw
HTEbMBkGA1UEAwwSRGVwbG95bWVudCBUZXN0IENBMCAXDTI2MTIxMDEzNDEyMVoY
DzIxMjYxMTE2MTM0MTIxWjAdMRswGQYDVQQDDBJEZXBsb3ltZW50IFRlc3QgQ0Ew
WTATBgcqhkjOPQIBBggqhkjOPQMBBwNCAAQvb/I2k9zJsqKZunfoDUpyUCH1AlqV
P9w7on6pUFJnSjzpPS40YdDFBKoAx6QlbmV0ztrrtknKPnLuw5W69jH1o1MwUTAd
BgNVHQ4EFgQU/llUx6e7n5LAdxcog3TslZcJP+IwHwYDVR0jBBgwFoAU/llUx6e7
n5LAdxcog3TslZcJP+IwDwYDVR0TAQH/BAUwAwEB/zAKBggqhkjOPQQDAgNHADBE
AiBrvJHF2HXwp7CSgoCzZyClMNJ9pAINU5Oa1JkIE9bT/wIgXmELnypbYfJ8fqqU
PD4apuFTS3KchUIlijybASl1TmQ=
-----END CERTIFICATE-----
)";

} // namespace

class TestDeploymentOverride : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void unusableFiles_data();
    void unusableFiles();
    void routes_data();
    void routes();
    void prepareKeepsTheDesignedHost();
    void unroutedRequestsStayAsDesigned();

private:
    QString write(const QString &name, const QByteArray &content);
    QTemporaryDir m_dir;
};

QString TestDeploymentOverride::write(const QString &name, const QByteArray &content)
{
    QFile file(m_dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("cannot write the fixture");
    return file.fileName();
}

void TestDeploymentOverride::initTestCase()
{
    QVERIFY(m_dir.isValid());
    write("ca.pem", testCa);
    write("deployment.json", R"({
        "version": 1,
        "routes": {"id.orvane.tv:443": "127.0.0.1:40001", "api.orvane.tv:8443": "127.0.0.1:40002",
                   "plain.example:80": "127.0.0.1:40003"},
        "caCertificates": ["ca.pem"],
        "oauthProviders": {"google": "https://app.orvane.tv/oauth/google"}
    })");
}

void TestDeploymentOverride::unusableFiles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("error");
    QTest::newRow("missing") << "missing.json" << QByteArray() << "cannot read it";
    QTest::newRow("not JSON") << "bad.json" << QByteArray("{routes:") << "not JSON";
    QTest::newRow("array") << "array.json" << QByteArray("[]") << "not a JSON object";
    QTest::newRow("route without port")
        << "noport.json" << QByteArray(R"({"routes":{"id.orvane.tv":"127.0.0.1:1"}})") << "is not host:port";
    QTest::newRow("route to a word") << "word.json" << QByteArray(R"({"routes":{"id.orvane.tv:443":"here"}})")
                                     << "is not host:port";
    QTest::newRow("port out of range")
        << "range.json" << QByteArray(R"({"routes":{"id.orvane.tv:443":"127.0.0.1:70000"}})")
        << "is not host:port";
    // A host no address can carry would send every routed request nowhere.
    QTest::newRow("route to a host with a blank")
        << "blank.json" << QByteArray(R"({"routes":{"id.orvane.tv:443":"local host:8443"}})")
        << "is not host:port";
    QTest::newRow("route to an address with a scheme")
        << "scheme.json" << QByteArray(R"({"routes":{"id.orvane.tv:443":"http://127.0.0.1:8443"}})")
        << "is not host:port";
    QTest::newRow("CA file missing") << "noca.json"
                                     << QByteArray(R"({"routes":{},"caCertificates":["nowhere.pem"]})")
                                     << "no certificate in";
}

void TestDeploymentOverride::unusableFiles()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, error);
    const QString path = content.isNull() ? m_dir.filePath(name) : write(name, content);
    const DeploymentOverride deployment = DeploymentOverride::fromFile(path);
    QVERIFY(!deployment.isActive());
    QVERIFY2(deployment.errorText().contains(error), qPrintable(deployment.errorText()));
    // An unusable file routes nothing.
    const QUrl url("https://id.orvane.tv:443/api/v1.1/me");
    QCOMPARE(deployment.route(url), url);
}

void TestDeploymentOverride::routes_data()
{
    QTest::addColumn<QString>("designed");
    QTest::addColumn<QString>("served");
    QTest::newRow("explicit port") << "https://id.orvane.tv:443/api/v1.1/me?auth_token=t"
                                   << "https://127.0.0.1:40001/api/v1.1/me?auth_token=t";
    QTest::newRow("default https port") << "https://id.orvane.tv/api/v1.1/images/img-1"
                                        << "https://127.0.0.1:40001/api/v1.1/images/img-1";
    QTest::newRow("host in capitals") << "https://API.Orvane.TV:8443/api/v1.0/acme/shared/streams"
                                      << "https://127.0.0.1:40002/api/v1.0/acme/shared/streams";
    QTest::newRow("websocket scheme") << "wss://api.orvane.tv:8443/socket.io/"
                                      << "wss://127.0.0.1:40002/socket.io/";
    QTest::newRow("default http port") << "http://plain.example/x"
                                       << "http://127.0.0.1:40003/x";
    QTest::newRow("other port of a known host") << "https://id.orvane.tv:8443/api/v1.1/me"
                                                << "https://id.orvane.tv:8443/api/v1.1/me";
    QTest::newRow("unknown host") << "https://elsewhere.example:443/x"
                                  << "https://elsewhere.example:443/x";
    QTest::newRow("relative URL") << "/api/v1.1/me"
                                  << "/api/v1.1/me";
}

void TestDeploymentOverride::routes()
{
    QFETCH(QString, designed);
    QFETCH(QString, served);
    const DeploymentOverride deployment = DeploymentOverride::fromFile(m_dir.filePath("deployment.json"));
    QVERIFY2(deployment.isActive(), qPrintable(deployment.errorText()));
    QCOMPARE(deployment.route(QUrl(designed)).toString(), served);
}

void TestDeploymentOverride::prepareKeepsTheDesignedHost()
{
    const DeploymentOverride deployment = DeploymentOverride::fromFile(m_dir.filePath("deployment.json"));
    QVERIFY(deployment.isActive());
    QCOMPARE(deployment.caCertificates().size(), 1);
    QCOMPARE(deployment.caCertificates().first().subjectInfo(QSslCertificate::CommonName),
             QStringList{"Deployment Test CA"});
    QCOMPARE(deployment.caFiles(), QStringList{m_dir.filePath("ca.pem")});
    QCOMPARE(deployment.oauthProviders().value("google").toString(),
             QString("https://app.orvane.tv/oauth/google"));

    const QUrl designed("https://id.orvane.tv:443/api/v1.1/auth/login?email=a");
    QNetworkRequest request(designed);
    deployment.prepare(request);
    QCOMPARE(request.url().toString(), QString("https://127.0.0.1:40001/api/v1.1/auth/login?email=a"));
    // Certificates are still checked against the designed name.
    QCOMPARE(request.peerVerifyName(), QString("id.orvane.tv"));
    QCOMPARE(DeploymentOverride::designedUrl(request), designed);
}

void TestDeploymentOverride::unroutedRequestsStayAsDesigned()
{
    const DeploymentOverride none; // no file: nothing changes
    QVERIFY(!none.isActive());
    const QUrl designed("https://id.orvane.tv:443/api/v1.1/me");
    QNetworkRequest request(designed);
    none.prepare(request);
    QCOMPARE(request.url(), designed);
    QVERIFY(request.peerVerifyName().isEmpty());
    QCOMPARE(DeploymentOverride::designedUrl(request), designed);
    QCOMPARE(DeploymentOverride::designedUrl(QNetworkRequest(designed)), designed);
}

QTEST_GUILESS_MAIN(TestDeploymentOverride)
#include "tst_deploymentoverride.moc"
