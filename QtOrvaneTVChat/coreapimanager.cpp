#include "coreapimanager.h"

#include "deploymenthosts.h"
#include "deploymentoverride.h"
#include "globalmanager.h"
#include "logredaction.h"
#include "oneshotupload.h"
#include "serviceenvelope.h"

#include <QDebug>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrlQuery>

namespace {

const QString connectivityText()
{
    return QStringLiteral("Request failed. Try checking your network connectivity");
}

struct Endpoints
{
    QString identityHost;
    QString coreHost;
};

// Production, staging and the core deployment. The chat program reaches every
// host on port 8443.
Endpoints endpointsOf(int environment)
{
    switch (environment) {
    case 1: return {DeploymentHosts::stagingIdentity(), DeploymentHosts::productStaging()};
    case 2: return {DeploymentHosts::productionIdentity(), DeploymentHosts::productionCore()};
    default: return {DeploymentHosts::productionIdentity(), DeploymentHosts::productProduction()};
    }
}

} // namespace

CoreAPIManager::CoreAPIManager(QObject *parent, std::function<QString(QString)> errorMapper)
    : QObject(parent)
    , m_errorMapper(std::move(errorMapper))
    , m_network(new QNetworkAccessManager)
{
    // The deployment's authorities are trusted before the first request.
    DeploymentOverride::instance();
}

CoreAPIManager::~CoreAPIManager()
{
    delete m_network;
}

void CoreAPIManager::setGlobalManager(GlobalManager *manager)
{
    m_globalManager = manager;
    if (!manager)
        m_environment = 0;
    else if (manager->getServerEnvironment() == QLatin1String("staging"))
        m_environment = 1;
    else if (manager->getTheme() == QLatin1String("core_share"))
        m_environment = 2;
    else
        m_environment = 0;
}

QUrl CoreAPIManager::url(bool identity, const QString &relativePath, bool withToken) const
{
    const Endpoints endpoints = endpointsOf(m_environment);
    QUrl url;
    url.setScheme(QStringLiteral("https"));
    url.setHost(identity ? endpoints.identityHost : endpoints.coreHost);
    url.setPort(8443);
    url.setPath((identity ? QStringLiteral("/api/v1.1/") : QStringLiteral("/api/v1.0/")) + relativePath);
    if (withToken && m_globalManager && !m_globalManager->getAuthToken().isEmpty()) {
        QUrlQuery query;
        query.addQueryItem(QStringLiteral("auth_token"), m_globalManager->getAuthToken());
        url.setQuery(query);
    }
    return url;
}

QUrl CoreAPIManager::identityUrl(const QString &relativePath, bool withToken) const
{
    return url(true, relativePath, withToken);
}

QUrl CoreAPIManager::coreUrl(const QString &relativePath, bool withToken) const
{
    return url(false, relativePath, withToken);
}

void CoreAPIManager::getUserInfo()
{
    get(UserInfo, identityUrl(QStringLiteral("me"), true));
}

void CoreAPIManager::getChatAuth(const QString &company, const QString &workspaceId, const QString &userId,
                                 quint32 voiceStreamId)
{
    QUrl target
        = coreUrl(QStringLiteral("%1/chats/workspaces/%2/agora-tokens").arg(company, workspaceId), true);
    QUrlQuery query(target);
    query.addQueryItem(QStringLiteral("userId"), QString::fromUtf8(QUrl::toPercentEncoding(userId)));
    query.addQueryItem(QStringLiteral("voiceStreamId"), QString::number(voiceStreamId));
    target.setQuery(query);
    get(ChatCredentials, target);
}

void CoreAPIManager::sendChatStats(const QString &company, const QString &workspaceId,
                                   const QString &sessionId)
{
    const QJsonObject body{{QStringLiteral("sessionId"), sessionId}};
    post(ChatStatistics, coreUrl(QStringLiteral("%1/chats/workspaces/%2").arg(company, workspaceId), true),
         QJsonDocument(body).toJson(QJsonDocument::Indented));
}

void CoreAPIManager::getSharedUsers(const QString &shareId, const QString &serviceSlug)
{
    QUrl target = identityUrl(QStringLiteral("me/shares/get-users"), true);
    QUrlQuery query(target);
    query.addQueryItem(QStringLiteral("service_slug"),
                       QString::fromUtf8(QUrl::toPercentEncoding(serviceSlug)));
    query.addQueryItem(QStringLiteral("share_id"), QString::fromUtf8(QUrl::toPercentEncoding(shareId)));
    target.setQuery(query);
    get(SharedUsers, target);
}

void CoreAPIManager::get(int kind, const QUrl &url)
{
    QNetworkRequest request(url);
    DeploymentOverride::instance().prepare(request);
    watch(m_network->get(request), kind);
}

void CoreAPIManager::post(int kind, const QUrl &url, const QByteArray &body)
{
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    DeploymentOverride::instance().prepare(request);
    // The statistics reach the service at most once, even when a connection
    // drops after sending (the toolkit would send them again).
    watch(OneShotUpload::send(m_network, request, "POST", body), kind);
}

void CoreAPIManager::watch(QNetworkReply *reply, int kind)
{
    if (!reply) {
        handleError(kind, connectivityText());
        return;
    }
    connect(
        reply, &QNetworkReply::finished, reply, [this, reply, kind] { onFinished(reply, kind); },
        Qt::DirectConnection);
}

void CoreAPIManager::onFinished(QNetworkReply *reply, int kind)
{
    reply->deleteLater();
    if (!reply->isFinished()) {
        handleError(kind, connectivityText());
        return;
    }
    const QUrl designed = DeploymentOverride::designedUrl(reply->request());
    if (m_printRequest) {
        // The token in the query never reaches the log.
        qInfo().noquote() << "Request:"
                          << LogRedaction::redactedUrl(designed).replace(QLatin1String("\\"),
                                                                         QLatin1String("\\\\"));
    }
    if (reply->error() != QNetworkReply::NoError) {
        handleError(kind,
                    reply->error() == QNetworkReply::ConnectionRefusedError
                        ? connectivityText()
                        : LogRedaction::redactedText(reply->errorString(), reply->request().url()));
        return;
    }
    const QByteArray body = reply->readAll();
    const ServiceEnvelope envelope = ServiceEnvelope::parse(body);
    if (m_printResponse) {
        qInfo().noquote() << QStringLiteral("Response: ")
                + LogRedaction::redactedCompactJson(envelope.document())
                      .replace(QLatin1String("\\"), QLatin1String("\\\\"));
    }
    if (envelope.isSuccess()) {
        handleSuccess(kind, envelope.response());
        return;
    }
    qWarning().noquote() << designed.path(QUrl::FullyDecoded) << "Error:" << envelope.errorText();
    if (envelope.outcome() == ServiceEnvelope::Outcome::InvalidStatus) {
        qWarning().noquote() << designed.path(QUrl::FullyDecoded) << "Reply:"
                             << ServiceEnvelope::describeReply(
                                    body, reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
                                    reply->header(QNetworkRequest::ContentTypeHeader).toString());
    }
    handleError(kind, envelope.errorText());
}

void CoreAPIManager::handleSuccess(int kind, const QJsonValue &response)
{
    switch (kind) {
    case ChatCredentials: {
        const ChatAuth auth = ChatAuth::fromJson(response.toObject());
        emit gotAgoraAuth(auth, QString());
        break;
    }
    case UserInfo: {
        const User user = User::fromJson(response.toObject());
        qDebug() << "User:" << user.id << user.getDisplayName();
        emit gotUserInfo(user, QString());
        break;
    }
    case ChatStatistics: emit sentChatStats(QString()); break;
    case SharedUsers: {
        QVector<SharedUser> users;
        for (const QJsonValue &value : response.toArray()) {
            const SharedUser user = SharedUser::fromJson(value.toObject());
            qDebug() << "Shared user:" << user.id << user.firstName << user.lastName;
            users.append(user);
        }
        emit gotSharedUsers(users, QString());
        break;
    }
    default: break;
    }
}

void CoreAPIManager::handleError(int kind, const QString &error)
{
    const QString mapped = m_errorMapper ? m_errorMapper(error) : error;
    switch (kind) {
    case ChatCredentials: emit gotAgoraAuth(ChatAuth(), mapped); break;
    case UserInfo: emit gotUserInfo(User(), mapped); break;
    case ChatStatistics: emit sentChatStats(mapped); break;
    case SharedUsers: emit gotSharedUsers(QVector<SharedUser>(), mapped); break;
    default: break;
    }
}
