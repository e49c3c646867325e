// Account operations on the identity endpoint: the sign-in paths, the token
// check, the user's own record and the password reset.
#include "qtovcoreapiframework.h"

#include "deploymenthosts.h"

#include <QJsonObject>

// ---- Account operations -------------------------------------------------------------

void QtOVCoreAPIFramework::login(const QString &email, const QString &password)
{
    QUrl url = getIDUrl(QStringLiteral("auth/login"), false);
    addQueryItems(url, {QStringLiteral("email"), QStringLiteral("password")}, {email, password});
    get(Login, url);
}

void QtOVCoreAPIFramework::getCode(const QString &email, const QString &principal, const QString &serviceSlug)
{
    QUrl url = getIDUrl(QStringLiteral("auth/login/code/get"), false);
    QVector<QString> keys = {QStringLiteral("email")};
    QVector<QString> values = {email};
    if (!principal.isEmpty()) {
        keys.append(QStringLiteral("principal"));
        values.append(principal);
    }
    if (!serviceSlug.isEmpty()) {
        keys.append(QStringLiteral("service_slug"));
        values.append(serviceSlug);
    }
    addQueryItems(url, keys, values);
    get(CodeRequest, url);
}

void QtOVCoreAPIFramework::codeLogin(const QString &email, const QString &code)
{
    QUrl url = getIDUrl(QStringLiteral("auth/login/code"), false);
    addQueryItems(url, {QStringLiteral("email"), QStringLiteral("code")}, {email, code});
    get(CodeLogin, url);
}

void QtOVCoreAPIFramework::getCodeByPhone(const QString &phone)
{
    post(CodeRequest, getIDUrl(QStringLiteral("auth/send-sms-code"), false),
         QJsonObject{{QStringLiteral("phone"), phone}});
}

void QtOVCoreAPIFramework::codeLoginWithPhone(const QString &phone, const QString &code)
{
    post(CodeLogin, getIDUrl(QStringLiteral("auth/login-by-phone"), false),
         QJsonObject{{QStringLiteral("phone"), phone}, {QStringLiteral("code"), code}});
}

void QtOVCoreAPIFramework::oauthLogin(const QString &provider, const QString &code, const QString &app)
{
    QUrl url = getIDUrl(QStringLiteral("auth/oauth-login"), false);
    addQueryItems(url, {QStringLiteral("provider"), QStringLiteral("code"), QStringLiteral("app")},
                  {provider, code, app});
    get(OAuthLogin, url);
}

void QtOVCoreAPIFramework::resetPassword(const QString &email, const QString &redirectUrl)
{
    // Without a redirect the e-mail leads to the production web application's
    // reset page; the address is written as given and encoded once, as a query value.
    const QString redirect = !redirectUrl.isEmpty()
        ? redirectUrl
        : QStringLiteral("https://%1/app/update-password?email=%2")
              .arg(DeploymentHosts::productionWeb(), email);
    QUrl url = getIDUrl(QStringLiteral("auth/reset-password"), false);
    addQueryItems(url, {QStringLiteral("email"), QStringLiteral("redirect_url")}, {email, redirect});
    get(ResetPassword, url);
}

void QtOVCoreAPIFramework::checkAuthToken(const QString &token)
{
    // The token to test travels in place of the stored one, which stays as it is.
    QUrl url = getIDUrl(QStringLiteral("auth/me"), false);
    addQueryItems(url, {QStringLiteral("auth_token"), QStringLiteral("service_slug")},
                  {token, QStringLiteral("cloud")});
    get(AuthTokenCheck, url);
}

void QtOVCoreAPIFramework::getMe()
{
    get(MyUserInfo, getIDUrl(QStringLiteral("me"), true));
}

void QtOVCoreAPIFramework::updateUserProfile(const QString &firstName, const QString &lastName)
{
    put(UpdateUser, getIDUrl(QStringLiteral("me"), true),
        QJsonObject{{QStringLiteral("firstName"), firstName}, {QStringLiteral("lastName"), lastName}});
}
