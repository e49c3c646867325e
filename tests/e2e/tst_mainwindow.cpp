// The viewer's main window driven as a person would, with mouse and key events,
// against the local deployment: the sign-in paths, the company list, a space's
// page, the settings screen, sign-out and the environment menu.
#include "account/loginwidget.h"
#include "account/settingswidget.h"
#include "app/chatlauncher.h"
#include "app/mainwindow.h"
#include "company/companyselectionitemwidget.h"
#include "company/companyselectionwidget.h"
#include "company/projectfeedselectionwidget.h"
#include "live/dashboardplayerwidget.h"
#include "live/dashboardwidget.h"
#include "live/livefeedselectionwidget.h"
#include "openglwidgetrenderer.h"
#include "playersettings/playersettingsdialog.h"
#include "recordings/archivecell.h"
#include "recordings/archiveplayerwidget.h"
#include "recordings/recordingsselectionwidget.h"
#include "navigation/navigationwidget.h"
#include "qtovcoreapiframework.h"
#include "logutils.h"
#include "sandboxinspector.h"
#include "viewertestsupport.h"
#include "serverenvironment.h"
#include "session/globalmanager.h"
#include "session/settings.h"
#include "session/tokenstore.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QInputDialog>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QUrlQuery>
#include <QtTest>

#include <functional>
#include <memory>

using Api = QtOVCoreAPIFramework;

namespace {

const QString ann = QStringLiteral("ann@orvane.test");
const QString annPassword = QStringLiteral("orvane-demo-1");

// A modal exec() gives no signal to wait on, so the next dialog is looked for on
// a short timer and handed to the answer once it is up.
void onNextDialog(std::function<void(QWidget *)> answer)
{
    auto *timer = new QTimer;
    timer->setInterval(50);
    // Given up after a while, so that it never answers a later test's dialog.
    QDeadlineTimer deadline(20000);
    QObject::connect(timer, &QTimer::timeout, [timer, answer, deadline] {
        if (deadline.hasExpired()) {
            timer->stop();
            timer->deleteLater();
            return;
        }
        QWidget *dialog = QApplication::activeModalWidget();
        if (!dialog || !dialog->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        answer(dialog);
    });
    timer->start();
}

struct SeenBox
{
    QString text;
    QString informativeText;
    bool seen = false;
};

// Records the next message box and presses its button with the given text;
// then() runs right after, so that a box the answer leads to is answered too
// (however soon it opens).
void answerMessageBox(SeenBox *seen, const QString &button = QString(), std::function<void()> then = {})
{
    onNextDialog([seen, button, then](QWidget *dialog) {
        auto *box = qobject_cast<QMessageBox *>(dialog);
        if (!box) {
            dialog->close();
            return;
        }
        seen->text = box->text();
        seen->informativeText = box->informativeText();
        seen->seen = true;
        for (QAbstractButton *candidate : box->buttons()) {
            if (button.isEmpty() || candidate->text() == button) {
                QTest::mouseClick(candidate, Qt::LeftButton);
                break;
            }
        }
        if (then)
            then();
    });
}

// Whether the process runs (a zombie waiting for its parent does not).
bool processAlive(qint64 pid)
{
    QFile status(QString("/proc/%1/status").arg(pid));
    return status.open(QIODevice::ReadOnly) && !status.readAll().contains("State:\tZ");
}

void saveScreenshot(QWidget *window, const QString &name)
{
    ViewerTestSupport::saveScreenshot(window, "e2e-" + name);
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void passwordOrCode_data();
    void passwordOrCode();
    void passwordSignInShowsCompaniesSorted();
    void codeSignInWithResend();
    void failedSignInClearsStoredToken();
    void restartResumesWithSavedToken();
    void forgotPasswordKeepsTheAddress();
    void accountWithoutShares();
    void spacePageSettingsAndSignOut();
    void environmentMenu();
    void fourUpFromTheSpacePage();
    void recordingsAndLinksFromTheChat();
    void watermarkRule_data();
    void watermarkRule();
    void socialSignIn_data();
    void socialSignIn();
    void providerErrorSendsNothing();

private:
    void openWindow();
    LoginWidget *loginScreen() const { return m_window->findChild<LoginWidget *>(); }
    void typeCredentials(const QString &email, const QString &secret);
    CompanySelectionWidget *waitForCompanies();
    // Opens the window and signs in with Ann's password; her company list, or null.
    CompanySelectionWidget *signInAsAnn();
    // Clicks the first space of the named company's card.
    bool openFirstSpaceOf(CompanySelectionWidget *list, const QString &company);

    QTemporaryDir m_config;
    OVTVProduction m_environment;
    std::unique_ptr<Api> m_client;
    std::unique_ptr<SandboxInspector> m_inspector;
    std::unique_ptr<MainWindow> m_window;
    // Passwords, codes and tokens used in the run: none may reach the log.
    QStringList m_secrets;
};

void TestMainWindow::initTestCase()
{
    QVERIFY(m_config.isValid());
    qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
    m_inspector = std::make_unique<SandboxInspector>();
    QVERIFY2(m_inspector->isValid(), qPrintable(m_inspector->errorText()));
    m_client = std::make_unique<Api>([](QString text) { return text; }, &m_environment);
    // The viewer's own file log, with the client's request and reply printing on.
    LogUtils::Configuration log = LogUtils::Configuration::viewer();
    log.baseFolder = m_config.path() + "/data";
    log.keepFiles = 1000;
    LogUtils::configure(log);
    QVERIFY(LogUtils::initLogging());
    m_client->setPrintRequest(true);
    m_client->setPrintResponse(true);
    m_secrets << annPassword << "orvane-demo-5"
              << "not-the-password"
              << "abcdefgh";

    // The stand-in chat program where the viewer looks for the chat program.
    const QString chatFolder = QCoreApplication::applicationDirPath() + "/OrvaneTV Chat";
    QDir().mkpath(chatFolder);
    QFile::remove(chatFolder + "/QtOrvaneTVChat");
    QVERIFY(QFile::link(ORVANE_CHAT_STANDIN, chatFolder + "/QtOrvaneTVChat"));
    qputenv("ORVANE_STANDIN_RECORD", (m_config.path() + "/chat-starts.jsonl").toUtf8());
    // And the stand-in OAuth helper where the sign-in screen looks for the helper.
    const QString helperFolder = QCoreApplication::applicationDirPath() + "/Orvane TV Auth";
    QDir().mkpath(helperFolder);
    QFile::remove(helperFolder + "/qtorvanetvoauth");
    QVERIFY(QFile::link(ORVANE_OAUTH_STANDIN, helperFolder + "/qtorvanetvoauth"));
    qputenv("XDG_RUNTIME_DIR", m_config.path().toUtf8());
    QFile::setPermissions(m_config.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void TestMainWindow::cleanupTestCase()
{
    qInstallMessageHandler(nullptr);
    QStringList texts;
    QDirIterator files(m_config.path() + "/data", QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QFile file(files.next());
        QVERIFY(file.open(QIODevice::ReadOnly));
        texts << QString::fromUtf8(file.readAll());
    }
    const QString all = texts.join('\n');
    QVERIFY(all.contains("Version 1.0.1b42"));
    // Requests with secrets were written, masked.
    QVERIFY(all.contains("auth_token=***"));
    QVERIFY(m_secrets.size() >= 4);
    for (const QString &secret : qAsConst(m_secrets))
        QVERIFY2(!secret.isEmpty() && !all.contains(secret), qPrintable("in the log: " + secret));
    // Nor in the settings file: the token lives in the secret store.
    QFile settingsFile(Settings::sharedInstance()->fileName());
    QVERIFY(settingsFile.open(QIODevice::ReadOnly));
    const QString stored = QString::fromUtf8(settingsFile.readAll());
    for (const QString &secret : qAsConst(m_secrets))
        QVERIFY2(!stored.contains(secret), qPrintable("in the settings file: " + secret));
}

void TestMainWindow::init()
{
    TokenStore::sharedInstance()->save(QString());
    m_client->setServerEnvironment(&m_environment);
}

void TestMainWindow::cleanup()
{
    m_window.reset();
    GlobalManager::sharedInstance()->clearAll();
}

CompanySelectionWidget *TestMainWindow::signInAsAnn()
{
    openWindow();
    typeCredentials(ann, annPassword);
    if (!loginScreen())
        return nullptr;
    QTest::mouseClick(loginScreen()->findChild<QPushButton *>("loginButton"), Qt::LeftButton);
    return waitForCompanies();
}

bool TestMainWindow::openFirstSpaceOf(CompanySelectionWidget *list, const QString &company)
{
    auto *listWidget = list->findChild<QListWidget *>("listWidget");
    for (int row = 0; row < listWidget->count(); ++row) {
        auto *card
            = qobject_cast<CompanySelectionItemWidget *>(listWidget->itemWidget(listWidget->item(row)));
        if (card->findChild<QLabel *>("companyLabel")->text() != company)
            continue;
        listWidget->scrollToItem(listWidget->item(row));
        auto *spaces = card->findChild<QListWidget *>("spacesWidget");
        QTest::mouseClick(spaces->viewport(), Qt::LeftButton, {},
                          spaces->visualItemRect(spaces->item(0)).center());
        return true;
    }
    return false;
}

void TestMainWindow::openWindow()
{
    // The sign-in screen follows once the stored token has been read.
    QSignalSpy tokenRead(TokenStore::sharedInstance(), &TokenStore::loaded);
    m_window = std::make_unique<MainWindow>(nullptr, m_client.get(), Settings::sharedInstance());
    m_window->resize(1280, 800);
    m_window->show();
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    QTRY_VERIFY_WITH_TIMEOUT(!tokenRead.isEmpty(), 10000);
}

void TestMainWindow::typeCredentials(const QString &email, const QString &secret)
{
    LoginWidget *login = loginScreen();
    QVERIFY(login);
    // A closed dialog may leave no window active where no window manager runs.
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    auto *emailField = login->findChild<QLineEdit *>("emailLineEdit");
    auto *secretField = login->findChild<QLineEdit *>("passwordLineEdit");
    emailField->clear();
    secretField->clear();
    QTest::mouseClick(emailField, Qt::LeftButton);
    QTest::keyClicks(emailField, email);
    // Tab moves from the e-mail to the password field.
    QTest::keyClick(emailField, Qt::Key_Tab);
    QTRY_VERIFY(secretField->hasFocus());
    QTest::keyClicks(secretField, secret);
}

CompanySelectionWidget *TestMainWindow::waitForCompanies()
{
    CompanySelectionWidget *list = nullptr;
    const bool shown = QTest::qWaitFor(
        [&] {
            list = m_window->findChild<CompanySelectionWidget *>();
            return list != nullptr && list->isVisible();
        },
        20000);
    return shown ? list : nullptr;
}

void TestMainWindow::passwordOrCode_data()
{
    QTest::addColumn<QString>("secret");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("dismiss");
    QTest::newRow("8 characters: a password") << "abcdefgh"
                                              << "/api/v1.1/auth/login"
                                              << "";
    QTest::newRow("7 characters: a login code") << "abcdefg"
                                                << "/api/v1.1/auth/login/code"
                                                << "Dismiss";
}

void TestMainWindow::passwordOrCode()
{
    QFETCH(QString, secret);
    QFETCH(QString, path);
    QFETCH(QString, dismiss);
    openWindow();
    m_inspector->clearRequests();
    SeenBox alert;
    answerMessageBox(&alert, dismiss);
    typeCredentials(ann, secret);
    QTest::keyClick(loginScreen()->findChild<QLineEdit *>("passwordLineEdit"), Qt::Key_Return);
    QTRY_VERIFY_WITH_TIMEOUT(!m_inspector->requests("/api/v1.1/auth/login").isEmpty(), 15000);
    const auto requests = m_inspector->requests("/api/v1.1/auth/login");
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests.first().path, path);
    auto *errorLabel = loginScreen()->findChild<QLabel *>("errorLabel");
    QTRY_VERIFY_WITH_TIMEOUT(errorLabel->isVisible(), 15000);
    QVERIFY(!errorLabel->text().isEmpty());
    // The code path's "wrong credentials" opens the resend alert; dismiss it.
    QTRY_VERIFY_WITH_TIMEOUT(alert.seen, 15000);
    QCOMPARE(alert.text, QString("Login failed"));
}

void TestMainWindow::passwordSignInShowsCompaniesSorted()
{
    openWindow();
    saveScreenshot(m_window.get(), "sign-in");
    typeCredentials(ann, annPassword);
    QTest::mouseClick(loginScreen()->findChild<QPushButton *>("loginButton"), Qt::LeftButton);
    CompanySelectionWidget *list = waitForCompanies();
    QVERIFY(list);
    QCOMPARE(Settings::sharedInstance()->getEmail(), ann);
    QVERIFY(!TokenStore::sharedInstance()->token().isEmpty());
    m_secrets << TokenStore::sharedInstance()->token();

    // Code-point order: upper case before lower case, accented letters last.
    auto *listWidget = list->findChild<QListWidget *>("listWidget");
    QStringList names;
    for (int row = 0; row < listWidget->count(); ++row) {
        auto *card
            = qobject_cast<CompanySelectionItemWidget *>(listWidget->itemWidget(listWidget->item(row)));
        QVERIFY(card);
        names << card->findChild<QLabel *>("companyLabel")->text();
    }
    QCOMPARE(names,
             (QStringList{"Beacon Broadcast", "Zephyr Media", "acme Field Ops",
                          QString::fromUtf8("\u00c9dition Nord")}));
    QVERIFY(!list->findChild<QWidget *>("emptyView")->isVisible());
    QCOMPARE(m_window->navigationStack()->count(), 1);
    saveScreenshot(m_window.get(), "companies");
}

void TestMainWindow::codeSignInWithResend()
{
    openWindow();
    SeenBox credentials;
    SeenBox sent;
    // A wrong code: "Resend Code" asks for a new one, and "Code Sent" says so.
    answerMessageBox(&credentials, "Resend Code", [&sent] { answerMessageBox(&sent); });
    typeCredentials(ann, "000000");
    QTest::keyClick(loginScreen()->findChild<QLineEdit *>("passwordLineEdit"), Qt::Key_Enter);
    QTRY_VERIFY_WITH_TIMEOUT(credentials.seen, 15000);
    QCOMPARE(credentials.text, QString("Login failed"));
    QVERIFY(credentials.informativeText.contains("wrong credentials", Qt::CaseInsensitive));
    QTRY_VERIFY_WITH_TIMEOUT(sent.seen, 15000);
    QCOMPARE(sent.text, QString("Code Sent"));
    QCOMPARE(sent.informativeText,
             QString::fromUtf8("Code was sent to ann@orvane.test.\nIf you don\u2019t receive a code, contact "
                               "your company admin"));

    const QString code = m_inspector->emailCode(ann);
    QVERIFY(!code.isEmpty());
    m_secrets << code;
    QVERIFY(code.size() <= 7);
    typeCredentials(ann, code);
    QTest::keyClick(loginScreen()->findChild<QLineEdit *>("passwordLineEdit"), Qt::Key_Return);
    QVERIFY(waitForCompanies());
}

void TestMainWindow::failedSignInClearsStoredToken()
{
    TokenStore::sharedInstance()->save("token-of-an-earlier-session");
    openWindow();
    SeenBox alert;
    answerMessageBox(&alert);
    typeCredentials(ann, "not-the-password");
    QTest::mouseClick(loginScreen()->findChild<QPushButton *>("loginButton"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(alert.seen, 15000);
    QCOMPARE(alert.text, QString("Login failed"));
    QCOMPARE(alert.informativeText, QString("Wrong email or password"));
    QCOMPARE(TokenStore::sharedInstance()->token(), QString());
    QVERIFY(loginScreen()->isVisible());
    // Forgotten in the secret store too, as a new start sees it.
    QTRY_VERIFY(!TokenStore::sharedInstance()->isSaving());
    TokenStore restarted(Settings::sharedInstance());
    QSignalSpy loaded(&restarted, &TokenStore::loaded);
    restarted.load();
    QTRY_COMPARE(loaded.size(), 1);
    QCOMPARE(loaded.first().first().toString(), QString());
}

void TestMainWindow::restartResumesWithSavedToken()
{
    QVERIFY(signInAsAnn());
    const QString token = TokenStore::sharedInstance()->token();
    QVERIFY(!token.isEmpty());
    QTRY_VERIFY(!TokenStore::sharedInstance()->isSaving());
    // Kept in the suite's Secret Service, not in the settings file.
    QCOMPARE(TokenStore::sharedInstance()->place(), TokenStore::Place::SecretStore);
    QVERIFY(!Settings::sharedInstance()->holdsAuthToken());

    // A new window, as after a restart: nothing typed, straight to the companies.
    m_window.reset();
    m_client->setAuthToken(QString());
    openWindow();
    QVERIFY(waitForCompanies());
    QCOMPARE(TokenStore::sharedInstance()->token(), token);
}

void TestMainWindow::forgotPasswordKeepsTheAddress()
{
    openWindow();
    m_inspector->clearRequests();
    const QString address = "ann+tv&news@orvane.test";
    SeenBox received;
    QString inputTitle;
    onNextDialog([address, &received, &inputTitle](QWidget *dialog) {
        if (auto *input = qobject_cast<QInputDialog *>(dialog)) {
            inputTitle = input->windowTitle();
            input->setTextValue(address);
            input->accept();
        } else {
            dialog->close();
        }
        answerMessageBox(&received);
    });
    QTest::mouseClick(loginScreen()->findChild<QToolButton *>("toolButton_4"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(received.seen, 15000);
    QCOMPARE(inputTitle, QString("Enter email"));
    QCOMPARE(received.text, QString("Request received"));
    const auto requests = m_inspector->requests("/api/v1.1/auth/reset-password");
    QCOMPARE(requests.size(), 1);
    QString redirect;
    for (const auto &item : requests.first().query)
        if (item.first == "redirect_url")
            redirect = item.second;
    const QUrl page(redirect);
    QCOMPARE(page.path(), QString("/app/update-password"));
    QCOMPARE(QUrlQuery(page).queryItemValue("email", QUrl::FullyDecoded), address);
}

void TestMainWindow::accountWithoutShares()
{
    openWindow();
    typeCredentials("eve@orvane.test", "orvane-demo-5");
    QTest::mouseClick(loginScreen()->findChild<QPushButton *>("loginButton"), Qt::LeftButton);
    CompanySelectionWidget *list = waitForCompanies();
    QVERIFY(list);
    QVERIFY(list->findChild<QWidget *>("emptyView")->isVisible());
    QVERIFY(!list->findChild<QWidget *>("listWidget")->isVisible());
    QVERIFY(list->findChild<QLabel *>("welcomeLabel")->text() == "Welcome to Orvane TV!");
    saveScreenshot(m_window.get(), "no-companies");
}

void TestMainWindow::spacePageSettingsAndSignOut()
{
    CompanySelectionWidget *list = signInAsAnn();
    QVERIFY(list);

    // The first space of the first card.
    auto *listWidget = list->findChild<QListWidget *>("listWidget");
    auto *card = qobject_cast<CompanySelectionItemWidget *>(listWidget->itemWidget(listWidget->item(0)));
    auto *spaces = card->findChild<QListWidget *>("spacesWidget");
    QVERIFY(spaces->count() > 0);
    const CompanyShare space = GlobalManager::sharedInstance()->getCompanyShares().value("beacon").first();
    QTest::mouseClick(spaces->viewport(), Qt::LeftButton, {},
                      spaces->visualItemRect(spaces->item(0)).center());

    NavigationWidget *stack = m_window->navigationStack();
    ProjectFeedSelectionWidget *page = nullptr;
    QVERIFY(QTest::qWaitFor(
        [&] {
            page = qobject_cast<ProjectFeedSelectionWidget *>(stack->currentWidget());
            return page && page->isVisible();
        },
        20000));
    QVERIFY(!page->windowTitle().isEmpty());
    QCOMPARE(GlobalManager::sharedInstance()->getCompanySlug(), space.companySlug);
    auto *tabs = page->findChild<QTabWidget *>("tabWidget");
    QCOMPARE(tabs->tabText(0), QString("Live Feeds"));
    QCOMPARE(tabs->tabText(1), QString("Recordings"));
    saveScreenshot(m_window.get(), "space");

    // The chat button starts the chat program for this space.
    auto *right = stack->findChild<QAbstractButton *>("rightButton");
    QVERIFY(right && right->isVisible());
    QTest::mouseClick(right, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(m_window->chatLauncher()->isRunning(), 10000);
    const qint64 chatPid = m_window->chatLauncher()->processId();
    QVERIFY(chatPid > 0);
    QFile starts(m_config.path() + "/chat-starts.jsonl");
    QTRY_VERIFY_WITH_TIMEOUT(starts.size() > 0, 10000);
    QVERIFY(starts.open(QIODevice::ReadOnly));
    const QJsonObject started = QJsonDocument::fromJson(starts.readAll().split('\n').first()).object();
    QCOMPARE(started.value("stdin").toString(), TokenStore::sharedInstance()->token());
    const QStringList args = started.value("args").toVariant().toStringList();
    QCOMPARE(args.mid(2, 4), (QStringList{"--company", space.companySlug, "--companyId", space.companyId}));
    QCOMPARE(args.count("--workspaceId"), 2);

    // Back to the companies, then the settings screen from its right button.
    QSignalSpy stopped(page, &ProjectFeedSelectionWidget::stopped);
    QTest::mouseClick(stack->findChild<QToolButton *>("backButton"), Qt::LeftButton);
    QTRY_COMPARE(stack->currentWidget(), static_cast<QWidget *>(list));
    QCOMPARE(stopped.count(), 1);
    // Leaving the space ended its chat.
    QVERIFY(!m_window->chatLauncher()->isRunning());
    QTRY_VERIFY_WITH_TIMEOUT(!processAlive(chatPid), 5000);
    QVERIFY(right->isVisible() && right->isEnabled());
    QTest::mouseClick(right, Qt::LeftButton);
    SettingsWidget *account = nullptr;
    QVERIFY(QTest::qWaitFor(
        [&] {
            account = qobject_cast<SettingsWidget *>(stack->currentWidget());
            return account && account->isVisible();
        },
        5000));
    QCOMPARE(account->findChild<QLabel *>("userInitialLabel")->text(), QString("AL"));
    QCOMPARE(account->findChild<QLabel *>("userNameLabel")->text(), QString("Ann Lindqvist"));
    QCOMPARE(account->findChild<QLabel *>("userEmailLabel")->text(), ann);
    saveScreenshot(m_window.get(), "settings");

    QTest::mouseClick(account->findChild<QPushButton *>("logoutButton"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(loginScreen() && loginScreen()->isVisible(), 5000);
    QCOMPARE(m_window->navigationStack(), static_cast<NavigationWidget *>(nullptr));
    QCOMPARE(TokenStore::sharedInstance()->token(), QString());
}

void TestMainWindow::environmentMenu()
{
    openWindow();
    QStringList entries;
    // A pop-up menu is not modal: look for it among the visible top-level widgets.
    QTimer::singleShot(300, [&] {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            auto *menu = qobject_cast<QMenu *>(widget);
            if (!menu || !menu->isVisible())
                continue;
            for (QAction *action : menu->actions())
                entries << action->text();
            QAction *staging = menu->actions().value(3);
            menu->setActiveAction(staging);
            QTest::keyClick(menu, Qt::Key_Return);
        }
    });
    LoginWidget *login = loginScreen();
    QTest::mouseClick(login, Qt::RightButton, {}, QPoint(20, 20));
    QCOMPARE(entries,
             (QStringList{"Core Production", "Core Staging", "OTV Production", "OTV Staging", "OTV Dev"}));
    OVTVStaging staging;
    QCOMPARE(m_client->getServerEnvironment()->idEndpoint(), staging.idEndpoint());
}

void TestMainWindow::socialSignIn_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("provider");
    QTest::addColumn<QString>("app");
    QTest::addColumn<QString>("urlStart");
    QTest::newRow("google") << "googleButton"
                            << "google"
                            << "otv"
                            << "https://accounts.google.com/o/oauth2/v2/auth?";
    QTest::newRow("facebook") << "facebookButton"
                              << "facebookForCore"
                              << "otv"
                              << "https://www.facebook.com/v9.0/dialog/oauth?";
    QTest::newRow("apple") << "appleButton"
                           << "apple"
                           << ""
                           << "https://appleid.apple.com/auth/authorize?";
}

void TestMainWindow::socialSignIn()
{
    QFETCH(QString, button);
    QFETCH(QString, provider);
    QFETCH(QString, app);
    QFETCH(QString, urlStart);
    const QString record = m_config.path() + "/oauth-" + provider + ".txt";
    qputenv("ORVANE_STANDIN_RECORD", record.toUtf8());
    const QString code = m_inspector->oauthCode(ann, provider);
    QVERIFY(!code.isEmpty());
    m_secrets << code;
    qputenv("ORVANE_STANDIN_MESSAGE", ("code=" + QUrl::toPercentEncoding(code)));
    m_inspector->clearRequests();
    openWindow();
    QTest::mouseClick(loginScreen()->findChild<QToolButton *>(button), Qt::LeftButton);
    QVERIFY(waitForCompanies());
    QCOMPARE(loginScreen(), static_cast<LoginWidget *>(nullptr));
    m_secrets << TokenStore::sharedInstance()->token();

    QFile started(record);
    QVERIFY(started.open(QIODevice::ReadOnly));
    QVERIFY(QString::fromUtf8(started.readAll()).section(' ', 1).startsWith(urlStart));
    const auto requests = m_inspector->requests("/api/v1.1/auth/oauth-login");
    QCOMPARE(requests.size(), 1);
    QMap<QString, QString> query;
    for (const auto &item : requests.first().query)
        query.insert(item.first, item.second);
    QCOMPARE(query.value("provider"), provider);
    QCOMPARE(query.value("code"), code);
    QCOMPARE(query.value("app"), app);
}

void TestMainWindow::providerErrorSendsNothing()
{
    const QString record = m_config.path() + "/oauth-error.txt";
    qputenv("ORVANE_STANDIN_RECORD", record.toUtf8());
    qputenv("ORVANE_STANDIN_MESSAGE", "error=access_denied");
    m_inspector->clearRequests();
    openWindow();
    QTest::mouseClick(loginScreen()->findChild<QToolButton *>("googleButton"), Qt::LeftButton);
    QFile started(record);
    QTRY_VERIFY_WITH_TIMEOUT(started.size() > 0, 10000);
    QVERIFY(started.open(QIODevice::ReadOnly));
    const qint64 pid = QString::fromUtf8(started.readAll()).section(' ', 0, 0).toLongLong();
    // The helper is ended once its message is read, and nothing is sent.
    QTRY_VERIFY_WITH_TIMEOUT(!processAlive(pid), 10000);
    QVERIFY(m_inspector->requests("/api/v1.1/auth/oauth-login").isEmpty());
    QVERIFY(loginScreen()->isVisible());
    QCOMPARE(loginScreen()->currentCode(), QString());
}

void TestMainWindow::fourUpFromTheSpacePage()
{
    CompanySelectionWidget *list = signInAsAnn();
    QVERIFY(list);
    // acme Field Ops, its first space: North Site, with four cameras.
    QVERIFY(openFirstSpaceOf(list, "acme Field Ops"));
    NavigationWidget *stack = m_window->navigationStack();
    QTRY_VERIFY_WITH_TIMEOUT(qobject_cast<ProjectFeedSelectionWidget *>(stack->currentWidget()), 20000);
    auto *page = qobject_cast<ProjectFeedSelectionWidget *>(stack->currentWidget());
    QCOMPARE(page->windowTitle(), QString("North Site"));
    auto *feeds = page->findChild<LiveFeedSelectionWidget *>();
    QVERIFY(feeds);
    QCOMPARE(feeds->sourceTiles().size(), 4);
    QTest::qWait(300);
    saveScreenshot(m_window.get(), "live-feeds");

    QTest::mouseClick(feeds->findChild<QToolButton *>("fourUpButton"), Qt::LeftButton);
    auto *dashboard = qobject_cast<DashboardWidget *>(stack->currentWidget());
    QVERIFY(dashboard);
    QCOMPARE(Settings::sharedInstance()->getLayoutPreference(), FourUp);
    QCOMPARE(dashboard->layout(), FourUp);
    // Two of the four cameras are live: their tiles play.
    QTRY_VERIFY_WITH_TIMEOUT(dashboard->slotTile(0)->isPlaying() && dashboard->slotTile(1)->isPlaying(),
                             30000);
    QTRY_VERIFY_WITH_TIMEOUT(dashboard->slotTile(0)->videoRenderer()->shownFrames() > 5
                                 && dashboard->slotTile(1)->videoRenderer()->shownFrames() > 5,
                             30000);
    QVERIFY(!dashboard->slotTile(2)->isPlaying());
    saveScreenshot(m_window.get(), "dashboard");

    // "Display Settings" from a tile's menu opens the player settings, centred.
    DashboardPlayerWidget *tile = dashboard->slotTile(1);
    QTest::mouseClick(tile->findChild<QToolButton *>("toolButton"), Qt::LeftButton);
    auto *menu = tile->findChild<QMenu *>("tileMenu");
    QTRY_VERIFY(menu && menu->isVisible());
    QCOMPARE(menu->actions().value(1)->text(), QString("Display Settings"));
    menu->actions().value(1)->trigger();
    menu->close();
    PlayerSettingsDialog *settingsDialog = nullptr;
    QVERIFY(QTest::qWaitFor(
        [&] {
            settingsDialog = m_window->playerSettingsDialog();
            return settingsDialog && settingsDialog->isVisible();
        },
        5000));
    QCOMPARE(settingsDialog->windowTitle(), QString("Player settings for Crane Cab live"));
    QTRY_COMPARE(settingsDialog->pos(),
                 QPoint(m_window->x() + (m_window->width() - settingsDialog->width()) / 2,
                        m_window->y() + (m_window->height() - settingsDialog->height()) / 2));
    QVERIFY(settingsDialog->isModal());
    settingsDialog->close();
    QTRY_VERIFY(!m_window->playerSettingsDialog());

    // Back to the space's page: the dashboard's players stop.
    QPointer<OrvaneAV::AVPlayer> player = dashboard->slotTile(0)->currentPlayer();
    QTest::mouseClick(stack->findChild<QToolButton *>("backButton"), Qt::LeftButton);
    QTRY_COMPARE(stack->currentWidget(), static_cast<QWidget *>(page));
    QTRY_VERIFY_WITH_TIMEOUT(!player || !player->isPlaying(), 10000);
}

void TestMainWindow::recordingsAndLinksFromTheChat()
{
    CompanySelectionWidget *list = signInAsAnn();
    QVERIFY(list);
    QVERIFY(openFirstSpaceOf(list, "acme Field Ops"));
    NavigationWidget *stack = m_window->navigationStack();
    QTRY_VERIFY_WITH_TIMEOUT(qobject_cast<ProjectFeedSelectionWidget *>(stack->currentWidget()), 20000);
    auto *page = qobject_cast<ProjectFeedSelectionWidget *>(stack->currentWidget());
    page->findChild<QTabWidget *>("tabWidget")->setCurrentIndex(1);
    auto *browser = page->findChild<RecordingsSelectionWidget *>();
    QVERIFY(browser);
    QTRY_VERIFY_WITH_TIMEOUT(browser->cells("grid").size() == 11, 15000);
    saveScreenshot(m_window.get(), "recordings");

    // A cell opens the archive player.
    ArchiveCell *cell = browser->cells("grid").first();
    const QString firstId = cell->getArchive().id;
    QTest::mouseClick(cell, Qt::LeftButton, {}, QPoint(40, 40));
    QTRY_VERIFY(qobject_cast<ArchivePlayerWidget *>(stack->currentWidget()));
    QCOMPARE(m_window->archivePlayer()->currentArchive().id, firstId);
    const int depth = stack->count();

    // Recording links from the chat program: a repeat is ignored, an unknown id
    // does nothing, and a second recording replaces the player on top.
    const QVector<Archive> records
        = GlobalManager::sharedInstance()->getSharedWorkspaces().first().sharedRecords;
    QString secondId;
    for (const Archive &record : records)
        if (record.id != firstId)
            secondId = record.id;
    QVERIFY(!secondId.isEmpty());
    qputenv("ORVANE_STANDIN_LINKS",
            QString("orvanetv://open?recordingId=%1\norvanetv://open?recordingId=%1\n"
                    "orvanetv://open?recordingId=no-such-recording\n")
                .arg(secondId)
                .toUtf8());
    // The chat button is on the space's page; the link arrives while the player is on top.
    QTest::mouseClick(stack->findChild<QToolButton *>("backButton"), Qt::LeftButton);
    QTRY_COMPARE(stack->currentWidget(), static_cast<QWidget *>(page));
    QTest::mouseClick(cell, Qt::LeftButton, {}, QPoint(40, 40));
    QTRY_VERIFY(qobject_cast<ArchivePlayerWidget *>(stack->currentWidget()));
    m_window->chatLauncher()->open(ChatLauncher::installedProgram(), ChatLauncher::Session(), true);
    QTRY_VERIFY_WITH_TIMEOUT(
        m_window->archivePlayer() && m_window->archivePlayer()->currentArchive().id == secondId, 15000);
    QTest::qWait(500);
    QCOMPARE(stack->count(), depth);
    QCOMPARE(m_window->archivePlayer()->currentArchive().id, secondId);
    QTRY_VERIFY_WITH_TIMEOUT(m_window->archivePlayer()->getPlayer()->isPlaying(), 20000);
    saveScreenshot(m_window.get(), "archive-player");
    qunsetenv("ORVANE_STANDIN_LINKS");
    m_window->chatLauncher()->close();
}

void TestMainWindow::watermarkRule_data()
{
    QTest::addColumn<QByteArray>("envelope");
    QTest::addColumn<bool>("watermark");
    const auto ok = [](const char *response) {
        return QByteArray(R"({"meta":{"status":"ok"},"response":)") + response + "}";
    };
    QTest::newRow("no watermarks member") << ok(R"({"allowDownloads":true})") << true;
    QTest::newRow("watermarks without enabled") << ok(R"({"watermarks":{"text":"X"}})") << false;
    QTest::newRow("enabled false") << ok(R"({"watermarks":{"enabled":false}})") << false;
    QTest::newRow("enabled true") << ok(R"({"watermarks":{"enabled":true}})") << true;
    QTest::newRow("enabled not a boolean") << ok(R"({"watermarks":{"enabled":"yes"}})") << true;
    // A failed load leaves the flag as it was (set to false below).
    QTest::newRow("error reply") << QByteArray(R"({"meta":{"status":"error","error":{"message":"No"}}})")
                                 << false;
}

void TestMainWindow::watermarkRule()
{
    QFETCH(QByteArray, envelope);
    QFETCH(bool, watermark);
    CompanySelectionWidget *list = signInAsAnn();
    QVERIFY(list);
    GlobalManager::sharedInstance()->setWatermarkEnabledForCurrentCompany(false);
    // Beacon Broadcast (company 102) is the first card.
    m_inspector->queueFault({{"path", "/api/v1.1/me/companies/102/shares/global_options"},
                             {"kind", "envelope"},
                             {"envelope", QJsonDocument::fromJson(envelope).object()}});
    QSignalSpy loaded(m_client.get(), &Api::gotGlobalShareSettings);
    auto *listWidget = list->findChild<QListWidget *>("listWidget");
    auto *card = qobject_cast<CompanySelectionItemWidget *>(listWidget->itemWidget(listWidget->item(0)));
    auto *spaces = card->findChild<QListWidget *>("spacesWidget");
    QTest::mouseClick(spaces->viewport(), Qt::LeftButton, {},
                      spaces->visualItemRect(spaces->item(0)).center());
    // The window's own handler has run once the emission the spy saw is over.
    QVERIFY(loaded.count() == 1 || loaded.wait(20000));
    QCOMPARE(GlobalManager::sharedInstance()->isWatermarkEnabledForCurrentCompany(), watermark);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
