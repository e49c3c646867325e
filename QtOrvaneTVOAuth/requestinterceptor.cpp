#include "requestinterceptor.h"

#include "deploymenthosts.h"

#include <QUrlQuery>

RequestInterceptor::RequestInterceptor(QObject *parent)
    : QWebEngineUrlRequestInterceptor(parent)
{ }

QString RequestInterceptor::callbackHost()
{
    return DeploymentHosts::oauthCallback();
}

QUrl RequestInterceptor::redirectTarget()
{
    QUrl url;
    url.setScheme(QStringLiteral("https"));
    url.setHost(DeploymentHosts::productionWeb());
    return url;
}

QString RequestInterceptor::codeOf(const QUrl &url, bool *isCallback)
{
    const QUrlQuery query(url);
    // Only this host: another sub-domain that merely ends with it is not ours.
    *isCallback = url.adjusted(QUrl::RemoveQuery).host(QUrl::FullyDecoded) == callbackHost()
        && query.hasQueryItem(QStringLiteral("code"));
    return *isCallback ? query.queryItemValue(QStringLiteral("code"), QUrl::PrettyDecoded) : QString();
}

void RequestInterceptor::interceptRequest(QWebEngineUrlRequestInfo &info)
{
    bool isCallback = false;
    const QString code = codeOf(info.requestUrl(), &isCallback);
    if (!isCallback)
        return;
    emit gotCode(code);
    // The browser never shows the callback page.
    info.redirect(redirectTarget());
}
