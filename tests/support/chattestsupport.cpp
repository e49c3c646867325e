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

bool VoiceSession::open(const QString &email, const QString &password, const QString &mic,
                        const QString &speakers)
{
    globals.setAuthToken(signIn(email, password));
    globals.setCompany(QStringLiteral("acme"));
    globals.setWorkspaceId(QStringLiteral("41"));
    client = std::make_unique<CoreAPIManager>(nullptr, std::function<QString(QString)>());
    client->setGlobalManager(&globals);
    QSignalSpy user(client.get(), &CoreAPIManager::gotUserInfo);
    client->getUserInfo();
    if (!user.wait(10000))
        return false;
    const User me = user.at(0).at(0).value<User>();
    globals.setUser(me);
    chat = std::make_unique<ChatManager>();
    chat->setGlobalManager(&globals);
    chat->setCoreAPIManager(client.get());
    chat->setCompany(QStringLiteral("acme"));
    chat->setUser(me);
    QSignalSpy shared(client.get(), &CoreAPIManager::gotSharedUsers);
    client->getSharedUsers(QStringLiteral("41"), QStringLiteral("otv"));
    if (!shared.wait(10000))
        return false;
    chat->setSharedUsers(shared.at(0).at(0).value<QVector<SharedUser>>());
    chat->initialize();
    chat->registerLocalUser(me.getDisplayName());
    QSignalSpy tokens(chat.get(), &ChatManager::gotAgoraTokens);
    chat->loadChats(QStringLiteral("41"), me.id);
    if (!tokens.wait(10000) || !tokens.at(0).at(0).toString().isEmpty())
        return false;
    return chat->setInputRoute({mic, mic}) && chat->setOutputRoute({speakers, speakers});
}

bool VoiceSession::joinVoice()
{
    QSignalSpy joined(chat.get(), &ChatManager::joinedAgoraVoiceChannel);
    if (!chat->joinVoiceChannel())
        return false;
    chat->enableVolumeIndication();
    return joined.wait(10000) && chat->isInVoiceChannel();
}

} // namespace ChatTestSupport
