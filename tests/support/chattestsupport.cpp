#include "chattestsupport.h"

#include "coreapimanager.h"
#include "deploymentoverride.h"
#include "globalmanager.h"
#include "serviceenvelope.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QTimer>
#include <QUrlQuery>

namespace ChatTestSupport {

QString signIn(const QString &email, const QString &password)
{
    QUrl url(QStringLiteral("https://id.orvane.tv/api/v1.1/auth/login"));
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("email"), QString::fromUtf8(QUrl::toPercentEncoding(email)));
    query.addQueryItem(QStringLiteral("password"), QString::fromUtf8(QUrl::toPercentEncoding(password)));
    url.setQuery(query);
    QNetworkRequest request(url);
    DeploymentOverride::instance().prepare(request);
    QNetworkAccessManager network;
    QNetworkReply *reply = network.get(request);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(15000, &loop, &QEventLoop::quit);
    loop.exec();
    const ServiceEnvelope envelope
        = ServiceEnvelope::parse(reply->isFinished() ? reply->readAll() : QByteArray());
    delete reply;
    return envelope.isSuccess()
        ? envelope.response().toObject().value(QStringLiteral("auth_token")).toString()
        : QString();
}

ChatAuth credentials(const QString &authToken, const QString &company, const QString &workspaceId,
                     const QString &chatUserId)
{
    GlobalManager manager;
    manager.setAuthToken(authToken);
    CoreAPIManager client(nullptr, {});
    client.setGlobalManager(&manager);
    QSignalSpy spy(&client, &CoreAPIManager::gotAgoraAuth);
    client.getChatAuth(company, workspaceId, chatUserId, 0);
    if (!spy.wait(15000) || !spy.at(0).at(1).toString().isEmpty())
        return ChatAuth();
    return spy.at(0).at(0).value<ChatAuth>();
}

} // namespace ChatTestSupport
