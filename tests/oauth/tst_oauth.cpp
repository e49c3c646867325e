// Social sign-in end to end: the real viewer starts the real OAuth helper, whose
// browser shows the deployment's provider page; the page is driven with the
// keyboard through the display server, the code reaches the viewer and the
// company list shows. Also the helper's own rules: which requests are the
// callback, what it sends, and which certificates its browser refuses.
#include "account/loginwidget.h"
#include "app/mainwindow.h"
#include "browserrouting.h"
#include "company/companyselectionwidget.h"
#include "deploymentoverride.h"
#include "localmessage.h"
#include "localsockets.h"
#include "logutils.h"
#include "qtovcoreapiframework.h"
#include "requestinterceptor.h"
#include "sandboxinspector.h"
#include "serverenvironment.h"
#include "session/globalmanager.h"
#include "session/settings.h"
#include "session/tokenstore.h"
#include "viewertestsupport.h"

#include <QDir>
#include <QDirIterator>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QToolButton>
#include <QUrlQuery>
#include <QtTest>

#include <memory>
#include <signal.h>

namespace {

QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(15000);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

// Running helpers, by their process name.
QList<qint64> helperProcesses()
{
    QList<qint64> pids;
    for (const QString &pid :
         run(QStringLiteral("pgrep"), {"-x", "qtorvanetvoauth"}).split('\n', Qt::SkipEmptyParts))
        pids << pid.toLongLong();
    return pids;
}

} // namespace

class TestOAuth : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();
    void callbackRequests_data();
    void callbackRequests();
    void deploymentRoutesReachTheBrowser();
    void anEmptyCodeIsSentAsCodeEquals();
    void aForeignCertificateIsRefused();
    void socialSignIn_data();
    void socialSignIn();
    void aProviderErrorSendsNothing();

private:
    void openWindow();
    LoginWidget *loginScreen() const { return m_window ? m_window->findChild<LoginWidget *>() : nullptr; }
    CompanySelectionWidget *waitForCompanies();
    // Waits for the helper's window and its page, then types into the page.
    bool waitForPage(const QString &path);
    void typeIntoHelper(const QStringList &keys);
    QString helperLog() const;
    QProcess *startHelper(const QString &url);

    QTemporaryDir m_home;
    OVTVProduction m_environment;
    std::unique_ptr<QtOVCoreAPIFramework> m_client;
    std::unique_ptr<SandboxInspector> m_inspector;
    std::unique_ptr<MainWindow> m_window;
    QStringList m_codes;
};

void TestOAuth::initTestCase()
{
    QVERIFY(m_home.isValid());
    qputenv("XDG_CONFIG_HOME", m_home.filePath("config").toUtf8());
    qputenv("XDG_DATA_HOME", m_home.filePath("data").toUtf8());
    qputenv("XDG_RUNTIME_DIR", m_home.path().toUtf8());
    QFile::setPermissions(m_home.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    m_inspector = std::make_unique<SandboxInspector>();
    QVERIFY2(m_inspector->isValid(), qPrintable(m_inspector->errorText()));
    m_client = std::make_unique<QtOVCoreAPIFramework>([](QString text) { return text; }, &m_environment);
    // The real helper where the sign-in screen looks for it.
    const QString helperFolder = QCoreApplication::applicationDirPath() + "/Orvane TV Auth";
    QDir().mkpath(helperFolder);
    QFile::remove(helperFolder + "/qtorvanetvoauth");
    QVERIFY(QFile::link(ORVANE_OAUTH_HELPER, helperFolder + "/qtorvanetvoauth"));
}

void TestOAuth::cleanupTestCase()
{
    // No code reached the helper's log (once a sign-in has run).
    if (m_codes.isEmpty())
        return;
    const QString log = helperLog();
    QVERIFY(log.contains("code=***"));
    for (const QString &code : qAsConst(m_codes))
        QVERIFY2(!log.contains(code), qPrintable("in the helper's log: " + code));
}

void TestOAuth::cleanup()
{
    m_window.reset();
    GlobalManager::sharedInstance()->clearAll();
    for (qint64 pid : helperProcesses())
        ::kill(pid_t(pid), SIGTERM);
    QTRY_VERIFY_WITH_TIMEOUT(helperProcesses().isEmpty(), 10000);
}

void TestOAuth::callbackRequests_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("callback");
    QTest::addColumn<QString>("code");
    // Pretty-decoded: an escaped "/" stays escaped; the viewer decodes the code.
    QTest::newRow("the callback") << "https://oauth.orvane.tv/auth?code=4%2F0Ab_x" << true << "4%2F0Ab_x";
    QTest::newRow("escaped space") << "https://oauth.orvane.tv/auth?code=a%20b" << true << "a b";
    QTest::newRow("other path and items")
        << "https://oauth.orvane.tv/elsewhere?state=s&code=abc&x=1" << true << "abc";
    QTest::newRow("empty code") << "https://oauth.orvane.tv/auth?code=" << true << "";
    QTest::newRow("no code") << "https://oauth.orvane.tv/auth?error=access_denied" << false << "";
    QTest::newRow("ends with the host") << "https://evil-oauth.orvane.tv/auth?code=abc" << false << "";
    QTest::newRow("sub-domain") << "https://x.oauth.orvane.tv/auth?code=abc" << false << "";
    QTest::newRow("host as a path") << "https://app.orvane.tv/oauth.orvane.tv?code=abc" << false << "";
    QTest::newRow("upper case host") << "https://OAUTH.orvane.tv/auth?code=abc" << true << "abc";
}

void TestOAuth::callbackRequests()
{
    QFETCH(QString, url);
    bool callback = false;
    const QString code = RequestInterceptor::codeOf(QUrl(url), &callback);
    QTEST(callback, "callback");
    QTEST(code, "code");
    QCOMPARE(RequestInterceptor::redirectTarget(), QUrl("https://app.orvane.tv"));
}

void TestOAuth::deploymentRoutesReachTheBrowser()
{
    const DeploymentOverride &deployment = DeploymentOverride::instance();
    QVERIFY(deployment.isActive());
    const QByteArray argument = BrowserRouting::switchArgument(deployment);
    QVERIFY(argument.startsWith("--host-resolver-rules=MAP "));
    const QString google = deployment.routes().value("accounts.google.com:443");
    QVERIFY(!google.isEmpty());
    QVERIFY2(argument.contains(("MAP accounts.google.com:443 " + google).toUtf8()), argument.constData());
    QCOMPARE(BrowserRouting::switchArgument(DeploymentOverride()), QByteArray());
}

QProcess *TestOAuth::startHelper(const QString &url)
{
    auto *helper = new QProcess(this);
    helper->setProcessChannelMode(QProcess::ForwardedChannels);
    helper->start(QCoreApplication::applicationDirPath() + "/Orvane TV Auth/qtorvanetvoauth", {url});
    return helper;
}

void TestOAuth::anEmptyCodeIsSentAsCodeEquals()
{
    // The page moves on to the callback after a while, as a provider does.
    const QString target = "https://oauth.orvane.tv/auth?code=";
    QProcess *helper
        = startHelper("https://app.orvane.tv/redirect?after=4&to=" + QUrl::toPercentEncoding(target));
    QVERIFY(helper->waitForStarted(10000));
    QLocalSocket viewer;
    QTRY_VERIFY_WITH_TIMEOUT((viewer.abort(),
                              viewer.connectToServer(LocalSockets::serverPath("qtorvanetvoauth")),
                              viewer.waitForConnected(200)),
                             10000);
    QTRY_VERIFY_WITH_TIMEOUT(viewer.bytesAvailable() > 0, 20000);
    LocalMessageReader reader;
    reader.feed(viewer.readAll());
    QString message;
    QVERIFY(reader.next(&message));
    QCOMPARE(message, QStringLiteral("code="));
    // One message per run: the server is gone afterwards.
    QTRY_VERIFY_WITH_TIMEOUT(viewer.state() == QLocalSocket::UnconnectedState, 5000);
    QLocalSocket late;
    late.connectToServer(LocalSockets::serverPath("qtorvanetvoauth"));
    QVERIFY(!late.waitForConnected(500));
    helper->terminate();
    QVERIFY(helper->waitForFinished(10000));
}

void TestOAuth::aForeignCertificateIsRefused()
{
    m_inspector->clearRequests();
    QProcess *helper = startHelper("https://untrusted.orvane.tv/");
    QVERIFY(helper->waitForStarted(10000));
    QTRY_VERIFY_WITH_TIMEOUT(helperLog().contains("Refused the certificate of untrusted.orvane.tv"), 30000);
    QVERIFY(!helperLog().contains("Trusting the deployment's certificate of untrusted.orvane.tv"));
    // The handshake never completed: the server saw no request.
    for (const SandboxInspector::Request &request : m_inspector->requests())
        QVERIFY(request.host != "untrusted.orvane.tv:443");
    helper->terminate();
    QVERIFY(helper->waitForFinished(10000));
}

void TestOAuth::openWindow()
{
    // The sign-in screen follows once the stored token has been read.
    QSignalSpy tokenRead(TokenStore::sharedInstance(), &TokenStore::loaded);
    m_window = std::make_unique<MainWindow>(nullptr, m_client.get(), Settings::sharedInstance());
    m_window->resize(1280, 800);
    m_window->move(0, 0);
    m_window->show();
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QTRY_VERIFY_WITH_TIMEOUT(!tokenRead.isEmpty(), 10000);
}

CompanySelectionWidget *TestOAuth::waitForCompanies()
{
    CompanySelectionWidget *list = nullptr;
    const bool shown = QTest::qWaitFor(
        [&] {
            list = m_window->findChild<CompanySelectionWidget *>();
            return list != nullptr && list->isVisible();
        },
        30000);
    return shown ? list : nullptr;
}

bool TestOAuth::waitForPage(const QString &path)
{
    // The page has arrived once the deployment has answered it; give the browser
    // a moment to draw it and put the focus where the page asks.
    const bool served = QTest::qWaitFor([&] { return !m_inspector->requests(path).isEmpty(); }, 30000);
    QTest::qWait(2000);
    return served;
}

void TestOAuth::typeIntoHelper(const QStringList &keys)
{
    const QList<qint64> helpers = helperProcesses();
    QVERIFY(!helpers.isEmpty());
    const QStringList windows
        = run("xdotool", {"search", "--onlyvisible", "--pid", QString::number(helpers.first())})
              .split('\n', Qt::SkipEmptyParts);
    QVERIFY2(!windows.isEmpty(), "the helper shows no window");
    run("xdotool", {"windowfocus", "--sync", windows.last()});
    for (const QString &key : keys) {
        if (key.startsWith("key:"))
            run("xdotool", {"key", key.mid(4)});
        else
            run("xdotool", {"type", "--delay", "30", key});
    }
}

QString TestOAuth::helperLog() const
{
    QString text;
    QDirIterator files(m_home.filePath("data/Orvane TV Auth"), {"*.log"}, QDir::Files);
    while (files.hasNext()) {
        QFile file(files.next());
        if (file.open(QIODevice::ReadOnly))
            text += QString::fromUtf8(file.readAll());
    }
    return text;
}

void TestOAuth::socialSignIn_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("provider");
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("app");
    QTest::newRow("google") << "googleButton"
                            << "google"
                            << "/o/oauth2/v2/auth"
                            << "otv";
    QTest::newRow("facebook") << "facebookButton"
                              << "facebookForCore"
                              << "/v9.0/dialog/oauth"
                              << "otv";
    QTest::newRow("apple") << "appleButton"
                           << "apple"
                           << "/auth/authorize"
                           << "";
}

void TestOAuth::socialSignIn()
{
    QFETCH(QString, button);
    QFETCH(QString, provider);
    QFETCH(QString, page);
    m_inspector->clearRequests();
    openWindow();
    QTest::mouseClick(loginScreen()->findChild<QToolButton *>(button), Qt::LeftButton);
    QVERIFY(waitForPage(page));
    if (provider == "google") {
        const QString folder = QCoreApplication::applicationDirPath() + "/artifacts";
        QDir().mkpath(folder);
        QGuiApplication::primaryScreen()
            ->grabWindow(0, 0, 0, 900, 800)
            .save(folder + "/oauth-provider-page.png");
    }
    typeIntoHelper({"ann@orvane.test", "key:Tab", "orvane-demo-1", "key:Return"});
    // The consent page's "Allow" has the focus.
    QTRY_VERIFY_WITH_TIMEOUT(m_inspector->requests(page).size() >= 2, 20000);
    QTest::qWait(2000);
    typeIntoHelper({"key:Return"});

    QVERIFY(waitForCompanies());
    QCOMPARE(loginScreen(), static_cast<LoginWidget *>(nullptr));
    if (provider == "google")
        ViewerTestSupport::saveScreenshot(m_window.get(), "oauth-signed-in");
    // The viewer ends the helper once it has the code.
    QTRY_VERIFY_WITH_TIMEOUT(helperProcesses().isEmpty(), 10000);

    const QJsonArray grants = m_inspector->get("/provider-grants").toArray();
    QVERIFY(!grants.isEmpty());
    QString code;
    for (const QJsonValue &grant : grants) {
        if (grant.toObject().value("provider").toString() == provider)
            code = grant.toObject().value("code").toString();
    }
    QVERIFY(!code.isEmpty());
    m_codes << code;
    const auto requests = m_inspector->requests("/api/v1.1/auth/oauth-login");
    QCOMPARE(requests.size(), 1);
    QMap<QString, QString> query;
    for (const auto &item : requests.first().query)
        query.insert(item.first, item.second);
    QCOMPARE(query.value("provider"), provider);
    QCOMPARE(query.value("code"), code);
    QTEST(query.value("app"), "app");
    if (provider == "apple") {
        // Apple answered with a form posted to the identity endpoint's webhook.
        const auto posts = m_inspector->requests("/api/v1.1/webhooks/apple");
        QCOMPARE(posts.size(), 1);
        QCOMPARE(posts.first().method, QStringLiteral("POST"));
        QVERIFY(posts.first().body.contains("code=" + code));
    }
}

void TestOAuth::aProviderErrorSendsNothing()
{
    m_inspector->clearRequests();
    openWindow();
    QTest::mouseClick(loginScreen()->findChild<QToolButton *>("googleButton"), Qt::LeftButton);
    QVERIFY(waitForPage("/o/oauth2/v2/auth"));
    // "Cancel": the provider sends the browser back without a code.
    typeIntoHelper({"key:Tab", "key:Tab", "key:Tab", "key:Return"});
    QTRY_VERIFY_WITH_TIMEOUT(m_inspector->requests("/o/oauth2/v2/auth").size() >= 2, 20000);
    QTest::qWait(3000);
    QVERIFY(m_inspector->requests("/api/v1.1/auth/oauth-login").isEmpty());
    QVERIFY(loginScreen() && loginScreen()->isVisible());
    QCOMPARE(loginScreen()->currentCode(), QString());
    QCOMPARE(helperProcesses().size(), 1);
    // Leaving the sign-in screen ends the helper.
    m_window.reset();
    QTRY_VERIFY_WITH_TIMEOUT(helperProcesses().isEmpty(), 10000);
}

QTEST_MAIN(TestOAuth)
#include "tst_oauth.moc"
