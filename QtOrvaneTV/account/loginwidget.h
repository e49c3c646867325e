#ifndef LOGINWIDGET_H
#define LOGINWIDGET_H

#include "user.h"

#include <QJsonObject>
#include <QPointer>
#include <QProcess>
#include <QWidget>

class LocalMessageClient;
class QtOVCoreAPIFramework;

namespace Ui {
class LoginWidget;
}

// The sign-in screen: e-mail with a password or a login code, social sign-in
// through the OAuth helper program, and forgot-password. Every way in ends in
// check(token), the only path to loginSucceeded.
class LoginWidget : public QWidget
{
    Q_OBJECT

public:
    enum ValidationError { none = 0, email = 1, password = 2 };
    struct ValidationResult
    {
        ValidationError error = none;
        QString resultText;
    };

    LoginWidget(QWidget *parent, QtOVCoreAPIFramework *framework, const QString &authToken);
    ~LoginWidget() override;

    static ValidationResult validateLogin(const QString &email, const QString &password);
    // The password-reset page of the web application for the client's current
    // environment, with the e-mail as a query item.
    QString resetPasswordRedirect(const QString &email) const;
    // The helper program: "Orvane TV Auth/qtorvanetvoauth" beside the viewer.
    static QString oauthHelperProgram();
    // The authorisation address for a provider of the table (the deployment
    // file's table when it has one, else ":/oauth.json"); empty when unknown.
    static QString oauthUrl(const QString &platform);
    QString currentCode() const { return m_currentCode; }

signals:
    void loginSucceeded(User user);
    void showMenu(QPoint globalPosition);

public slots:
    void forgotPasswordClicked();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private slots:
    void loginClicked();
    void googleSigninClicked();
    void facebookSigninClicked();
    void appleSigninClicked();

private:
    void check(const QString &token);
    void login(const QString &email, const QString &password);
    void loginFinished(const QString &email, const QJsonObject &response, const QString &error);
    void codeLoginFinished(const QString &email, const QJsonObject &response, const QString &error);
    void oAuthLoginFinished(const QJsonObject &response, const QString &error);
    void showError(const QString &error);
    void showCredentialsAlert(const QString &email, const QString &error);
    void resendCode(const QString &email);
    void handle(const QJsonObject &response);
    void oauthLogin(const QString &platform, const QString &code);
    void showOauth(const QString &platform);
    void resetSocket();
    void readCode(const QString &platform, const QString &message);

    Ui::LoginWidget *ui;
    QtOVCoreAPIFramework *framework;
    QString authToken;
    QProcess oAuthProcess;
    qint64 oAuthProcessId = 0;
    // The helper's local socket.
    LocalMessageClient *socket = nullptr;
    QString m_currentCode;
    QString m_platform;
    QMetaObject::Connection m_checkConnection;
    QMetaObject::Connection m_loginConnection;
    QMetaObject::Connection m_codeLoginConnection;
    QMetaObject::Connection m_codeRequestConnection;
    QMetaObject::Connection m_oauthConnection;
    QMetaObject::Connection m_resetConnection;
};

#endif // LOGINWIDGET_H
