#include "account/loginwidget.h"
#include "ui_loginwidget.h"

#include "account/loginresponse.h"
#include "deploymenthosts.h"
#include "deploymentoverride.h"
#include "localmessageclient.h"
#include "qtovcoreapiframework.h"
#include "serverenvironment.h"
#include "session/settings.h"
#include "session/tokenstore.h"
#include "ui/helpers.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QInputDialog>
#include <QJsonDocument>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>
#include <QtDebug>

LoginWidget::LoginWidget(QWidget *parent, QtOVCoreAPIFramework *framework, const QString &authToken)
    : QWidget(parent)
    , ui(new Ui::LoginWidget)
    , framework(framework)
    , authToken(authToken)
{
    ui->setupUi(this);
    ui->errorLabel->hide();
    connect(ui->loginButton, &QPushButton::clicked, this, &LoginWidget::loginClicked);
    connect(ui->googleButton, &QToolButton::clicked, this, &LoginWidget::googleSigninClicked);
    connect(ui->facebookButton, &QToolButton::clicked, this, &LoginWidget::facebookSigninClicked);
    connect(ui->appleButton, &QToolButton::clicked, this, &LoginWidget::appleSigninClicked);
    connect(ui->toolButton_4, &QToolButton::clicked, this, &LoginWidget::forgotPasswordClicked);
    connect(&oAuthProcess, &QProcess::errorOccurred, this, [this](QProcess::ProcessError) {
        qDebug() << "Auth app" << oAuthProcessId << "error:" << oAuthProcess.errorString();
    });
    connect(&oAuthProcess, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), this,
            [this] { oAuthProcessId = 0; });
    // Retried while the helper runs: once it has gone nobody will answer.
    socket = new LocalMessageClient(
        QStringLiteral("qtorvanetvoauth"), [this] { return oAuthProcess.state() != QProcess::NotRunning; },
        this);
    connect(socket, &LocalMessageClient::messageReceived, this,
            [this](const QString &message) { readCode(m_platform, message); });
    if (!authToken.isEmpty())
        check(authToken);
}

LoginWidget::~LoginWidget()
{
    socket->abort();
    if (oAuthProcess.state() != QProcess::NotRunning) {
        oAuthProcess.terminate();
        if (!oAuthProcess.waitForFinished(1000))
            oAuthProcess.kill();
    }
    delete ui;
}

// ---- Sign-in -----------------------------------------------------------------------------

void LoginWidget::check(const QString &token)
{
    framework->setAuthToken(token);
    disconnect(m_checkConnection);
    m_checkConnection = connect(framework, &QtOVCoreAPIFramework::authTokenCheckFinished, this,
                                [this](User user, const QString &error) {
                                    if (error.isEmpty()) {
                                        emit loginSucceeded(user);
                                        return;
                                    }
                                    qDebug() << "Auth token check failed with error " << error;
                                });
    framework->checkAuthToken(token);
}

LoginWidget::ValidationResult LoginWidget::validateLogin(const QString &email, const QString &password)
{
    if (email.isEmpty())
        return {LoginWidget::email, tr("Please enter an email")};
    if (!Helpers::isValidEmail(email))
        return {LoginWidget::email, tr("Please enter a valid email")};
    if (password.isEmpty())
        return {LoginWidget::password, tr("Please enter a password or access code")};
    return {none, QString()};
}

void LoginWidget::loginClicked()
{
    login(ui->emailLineEdit->text(), ui->passwordLineEdit->text());
}

void LoginWidget::login(const QString &email, const QString &password)
{
    const ValidationResult result = validateLogin(email, password);
    ui->errorLabel->setVisible(result.error != none);
    ui->errorLabel->setText(result.resultText);
    if (result.error == LoginWidget::email)
        ui->emailLineEdit->setError(true);
    if (result.error == LoginWidget::password)
        ui->passwordLineEdit->setError(true);
    if (result.error != none)
        return;

    disconnect(m_loginConnection);
    disconnect(m_codeLoginConnection);
    m_loginConnection = connect(framework, &QtOVCoreAPIFramework::loginFinished, this,
                                [this, email](const QJsonObject &response, const QString &error) {
                                    loginFinished(email, response, error);
                                });
    m_codeLoginConnection = connect(framework, &QtOVCoreAPIFramework::codeLoginFinished, this,
                                    [this, email](const QJsonObject &response, const QString &error) {
                                        codeLoginFinished(email, response, error);
                                    });
    // Login codes are at most 7 characters long; anything longer is a password.
    if (password.size() > 7)
        framework->login(email, password);
    else
        framework->codeLogin(email, password);
}

void LoginWidget::showError(const QString &error)
{
    ui->errorLabel->setVisible(!error.isEmpty());
    ui->errorLabel->setText(error);
    if (!error.isEmpty()) {
        ui->emailLineEdit->setError(true);
        ui->passwordLineEdit->setError(true);
    }
}

void LoginWidget::loginFinished(const QString &email, const QJsonObject &response, const QString &error)
{
    showError(error);
    if (error.isEmpty())
        Settings::sharedInstance()->setEmail(email);
    // The token is stored (or cleared) before the alert waits for the person.
    handle(response);
    if (!error.isEmpty())
        Helpers::showAlert(nullptr, tr("Login failed"), error);
}

void LoginWidget::codeLoginFinished(const QString &email, const QJsonObject &response, const QString &error)
{
    showError(error);
    // Stored before the alert, so that a failed attempt has cleared the token
    // by the time the person reads about it.
    if (error.isEmpty())
        Settings::sharedInstance()->setEmail(email);
    handle(response);
    if (error.toLower().contains(QLatin1String("wrong credentials")))
        showCredentialsAlert(email, error);
}

void LoginWidget::handle(const QJsonObject &response)
{
    const QString token = LoginResponse(response).accessToken;
    // Also when empty: a failed sign-in forgets the token stored before it.
    TokenStore::sharedInstance()->save(token);
    if (!token.isEmpty())
        check(token);
}

void LoginWidget::showCredentialsAlert(const QString &email, const QString &error)
{
    QMessageBox box(this);
    box.setObjectName(QStringLiteral("credentialsAlert"));
    box.setWindowTitle(QStringLiteral("Orvane TV"));
    box.setText(tr("Login failed"));
    box.setInformativeText(error);
    QPushButton *resend = box.addButton(tr("Resend Code"), QMessageBox::ActionRole);
    box.addButton(tr("Dismiss"), QMessageBox::AcceptRole);
    box.exec();
    if (box.clickedButton() == resend)
        resendCode(email);
}

void LoginWidget::resendCode(const QString &email)
{
    disconnect(m_codeRequestConnection);
    m_codeRequestConnection = connect(
        framework, &QtOVCoreAPIFramework::codeRequestFinished, this,
        [this, email](const QJsonObject &, const QString &error) {
            if (!error.isEmpty()) {
                ui->errorLabel->setText(error);
                ui->errorLabel->show();
                return;
            }
            Helpers::showAlert(
                nullptr, tr("Code Sent"),
                tr("Code was sent to %1.\nIf you don\u2019t receive a code, contact your company admin")
                    .arg(email));
        });
    framework->getCode(email, QString(), QStringLiteral("otv"));
}

// ---- Forgot password ---------------------------------------------------------------------

QString LoginWidget::resetPasswordRedirect(const QString &email) const
{
    ServerEnvironment *current = framework->getServerEnvironment();
    const QUrl identity = current ? current->idEndpoint() : QUrl();
    OVTVStaging staging;
    OVTVDev development;
    QString host = DeploymentHosts::productionWeb();
    if (identity == staging.idEndpoint())
        host = DeploymentHosts::stagingWeb();
    else if (identity == development.idEndpoint())
        host = DeploymentHosts::developmentWeb();
    // Percent-encoded, so that an address with "+" or "&" reaches the page intact.
    return QStringLiteral("https://%1/app/update-password?email=%2")
        .arg(host, QString::fromLatin1(QUrl::toPercentEncoding(email)));
}

void LoginWidget::forgotPasswordClicked()
{
    bool accepted = false;
    const QString email = QInputDialog::getText(nullptr, tr("Enter email"), tr("Email:"), QLineEdit::Normal,
                                                ui->emailLineEdit->text(), &accepted);
    if (!accepted || email.isEmpty())
        return;
    if (!Helpers::isValidEmail(email)) {
        Helpers::showAlert(nullptr, tr("Please enter a valid email"), QString());
        return;
    }
    disconnect(m_resetConnection);
    m_resetConnection
        = connect(framework, &QtOVCoreAPIFramework::gotResetPasswordResponse, this, [](const QString &error) {
              if (error.isEmpty())
                  Helpers::showAlert(nullptr, tr("Request received"), tr("Please check your email"));
              else
                  Helpers::showAlert(nullptr, tr("Error resetting password"), error);
          });
    framework->resetPassword(email, resetPasswordRedirect(email));
}

// ---- Social sign-in through the helper ---------------------------------------------------

void LoginWidget::googleSigninClicked()
{
    showOauth(QStringLiteral("google"));
}

void LoginWidget::facebookSigninClicked()
{
    showOauth(QStringLiteral("facebookForCore"));
}

void LoginWidget::appleSigninClicked()
{
    showOauth(QStringLiteral("apple"));
}

QString LoginWidget::oauthHelperProgram()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/Orvane TV Auth/qtorvanetvoauth");
}

QString LoginWidget::oauthUrl(const QString &platform)
{
    QJsonObject table = DeploymentOverride::instance().oauthProviders();
    if (table.isEmpty()) {
        QFile file(QStringLiteral(":/oauth.json"));
        if (!file.open(QIODevice::ReadOnly)) {
            Helpers::showAlert(nullptr, tr("Error reading file"), file.errorString());
            return QString();
        }
        table = QJsonDocument::fromJson(file.readAll()).object();
    }
    return table.value(platform).toString();
}

void LoginWidget::showOauth(const QString &platform)
{
    const QString url = oauthUrl(platform);
    const QString program = oauthHelperProgram();
    if (oAuthProcess.state() != QProcess::NotRunning) {
        oAuthProcess.terminate();
        oAuthProcess.waitForFinished(1000);
    }
    m_platform = platform;
    m_currentCode.clear();
    disconnect(&oAuthProcess, &QProcess::started, this, nullptr);
    connect(&oAuthProcess, &QProcess::started, this,
            [this] { QTimer::singleShot(1000, this, &LoginWidget::resetSocket); });
    oAuthProcess.setProgram(program);
    oAuthProcess.setArguments({url});
    oAuthProcess.setWorkingDirectory(QFileInfo(program).absolutePath());
    oAuthProcess.start(QIODevice::ReadWrite);
    oAuthProcessId = oAuthProcess.processId();
}

void LoginWidget::resetSocket()
{
    socket->connectToServer();
}

void LoginWidget::readCode(const QString &platform, const QString &message)
{
    m_currentCode = QUrlQuery(message).queryItemValue(QStringLiteral("code"), QUrl::FullyDecoded);
    if (oAuthProcessId > 0)
        oAuthProcess.terminate();
    if (!m_currentCode.isEmpty())
        oauthLogin(platform, m_currentCode);
}

void LoginWidget::oauthLogin(const QString &platform, const QString &code)
{
    disconnect(m_oauthConnection);
    m_oauthConnection = connect(framework, &QtOVCoreAPIFramework::oauthLoginFinished, this,
                                &LoginWidget::oAuthLoginFinished);
    framework->oauthLogin(platform, code,
                          platform == QLatin1String("apple") ? QString() : QStringLiteral("otv"));
}

void LoginWidget::oAuthLoginFinished(const QJsonObject &response, const QString &error)
{
    handle(response);
    if (!error.isEmpty())
        Helpers::showAlert(nullptr, tr("Login failed"), error);
}

// ---- Input -------------------------------------------------------------------------------

void LoginWidget::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        loginClicked();
    QWidget::keyPressEvent(event);
}

void LoginWidget::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton)
        emit showMenu(event->globalPos());
    QWidget::mousePressEvent(event);
}

void LoginWidget::mouseReleaseEvent(QMouseEvent *event)
{
    ui->emailLineEdit->clearFocus();
    ui->passwordLineEdit->clearFocus();
    QWidget::mouseReleaseEvent(event);
}
