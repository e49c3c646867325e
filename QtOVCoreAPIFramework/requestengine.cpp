// The request engine: one table from request type to parser and result signal,
// sending a request, and turning its reply (or its failure) into that signal.
#include "qtovcoreapiframework.h"

#include "logredaction.h"
#include "oneshotupload.h"
#include "serviceenvelope.h"
#include "deploymentoverride.h"
#include "jsonconvert.h"

#include <QDebug>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkRequest>
#include <QTimer>
#include <QSslConfiguration>
#include <QSysInfo>
#include <QUrlQuery>

#include <iterator>

namespace {

using Api = QtOVCoreAPIFramework;

// Emits the result signal of one request type. On failure it is called with an
// undefined response and an empty "meta", so every value it carries is the empty
// default that parsing nothing gives.
using ResultEmitter
    = void (*)(Api &api, const QJsonValue &response, const QJsonObject &meta, const QString &error);

template<typename Record>
QVector<Record> recordsOf(const QJsonValue &array)
{
    QVector<Record> records;
    JsonConvert::readArray(array, records);
    return records;
}

// The one table from request type to parser and signal; indexed by the type.
// Its size is checked against the request types, so a new kind cannot be added
// without its row.
const ResultEmitter resultTable[] = {
    /* None */ nullptr,
    /* Login */
    [](Api &api, const QJsonValue &r, const QJsonObject &, const QString &e) {
        emit api.loginFinished(r.toObject(), e);
    },
    /* CodeRequest */
    [](Api &api, const QJsonValue &r, const QJsonObject &, const QString &e) {
        emit api.codeRequestFinished(r.toObject(), e);
    },
    /* CodeLogin */
    [](Api &api, const QJsonValue &r, const QJsonObject &, const QString &e) {
        emit api.codeLoginFinished(r.toObject(), e);
    },
    /* OAuthProviders */
    [](Api &api, const QJsonValue &r, const QJsonObject &, const QString &e) {
        emit api.gotOAuthProviders(r.toObject(), e);
    },
    /* OAuthLogin */
    [](Api &api, const QJsonValue &r, const QJsonObject &, const QString &e) {
        emit api.oauthLoginFinished(r.toObject(), e);
    },
    /* UpdateUser */
    [](Api &api, const QJsonValue &, const QJsonObject &, const QString &e) {
        emit api.updateUserFinished(e);
    },
    /* MyUserInfo */
    [](Api &api, const QJsonValue &r, const QJsonObject &, const QString &e) {
        emit api.myUserInfoGotten(User(r.toObject()), e);
    },
    /* MyCompanies */
    [](Api &api, const QJsonValue &r, const QJsonObject &, const QString &e) {
        emit api.myCompaniesGotten(recordsOf<Company>(r), e);
    },
    /* MyCompanyDetails */
    [](Api &api, const QJsonValue &r, const QJsonObject &, const QString &e) {
        emit api.myCompanyDetailsGotten(Company(r.toObject()), e);
    },
    /* MyCompanyUsers */
    [](Api &api, const QJsonValue &r, const QJsonObject &, const QString &e) {
        emit api.myCompanyUsersGotten(recordsOf<User>(r), e);
    },
    /* CompanyShares */
    [](Api &api, const QJsonValue &r, const QJsonObject &, const QString &e) {
        QMap<QString, QVector<CompanyShare>> shares;
        const QJsonObject byCompany = r.toObject();
        for (auto it = byCompany.begin(); it != byCompany.end(); ++it)
            shares.insert(it.key(), recordsOf<CompanyShare>(it.value()));
        emit api.companySharesGotten(shares, e);
    },
    /* GlobalShareSettings */
    [](Api &api, const QJsonValue &r, const QJsonObject &, const QString &e) {
        emit api.gotGlobalShareSettings(r.toObject(), e);
    },
    /* SharedWorkspaces */
    [](Api &api, const QJsonValue &r, const QJsonObject &, const QString &e) {
        emit api.gotSharedWorkspaces(recordsOf<SharedWorkspace>(r), e);
    },
    /* SharedStreams */
    [](Api &api, const QJsonValue &r, const QJsonObject &, const QString &e) {
        emit api.gotSharedStreams(recordsOf<SharedStream>(r), e);
    },
    /* SharedArchives: records in the first element of the array, paging in "meta" */
    [](Api &api, const QJsonValue &r, const QJsonObject &meta, const QString &e) {
        const QJsonArray pages = r.toArray();
        const QVector<Archive> records = pages.isEmpty()
            ? QVector<Archive>()
            : recordsOf<Archive>(pages.first().toObject().value(QStringLiteral("records")));
        const QVariantMap paging = meta.value(QStringLiteral("paging")).toObject().toVariantMap();
        emit api.gotSharedArchives(records, paging, e);
    },
    /* AuthTokenCheck */
    [](Api &api, const QJsonValue &r, const QJsonObject &, const QString &e) {
        emit api.authTokenCheckFinished(User(r.toObject()), e);
    },
    /* StreamView */
    [](Api &api, const QJsonValue &, const QJsonObject &, const QString &e) {
        emit api.gotStreamViewResponse(e);
    },
    /* Archives: the next page starts where this one ends */
    [](Api &api, const QJsonValue &r, const QJsonObject &meta, const QString &e) {
        bool hasNextPage = false;
        int nextPageOffset = 0;
        if (meta.contains(QStringLiteral("paging"))) {
            const QJsonValue paging = meta.value(QStringLiteral("paging"));
            const qint64 next
                = qint64(JsonConvert::integer(JsonConvert::member(paging, QStringLiteral("count"))))
                + JsonConvert::integer(JsonConvert::member(paging, QStringLiteral("offset")));
            const qint64 total = JsonConvert::integer(JsonConvert::member(paging, QStringLiteral("total")));
            hasNextPage = next < total;
            nextPageOffset = int(qBound<qint64>(INT_MIN, next, INT_MAX));
        }
        emit api.gotArchiveResponse(recordsOf<Archive>(r), e, hasNextPage, nextPageOffset);
    },
    /* ResetPassword */
    [](Api &api, const QJsonValue &, const QJsonObject &, const QString &e) {
        emit api.gotResetPasswordResponse(e);
    },
};
static_assert(std::size(resultTable) == std::size_t(Api::requestTypeCount),
              "every request type needs its row in the result table");

ResultEmitter emitterFor(Api::RequestType type)
{
    const int index = int(type);
    if (index < 0 || index >= int(std::size(resultTable)))
        return nullptr;
    return resultTable[std::size_t(index)];
}

} // namespace

// ---- Request engine ---------------------------------------------------------------

void QtOVCoreAPIFramework::request(QNetworkAccessManager::Operation operation, RequestType type,
                                   const QUrl &url, const QByteArray &body)
{
    QNetworkRequest networkRequest(url);
    DeploymentOverride::instance().prepare(networkRequest);
    networkRequest.setSslConfiguration(QSslConfiguration::defaultConfiguration());
    networkRequest.setTransferTimeout(m_requestTimeout);

    if (printRequest)
        requestStartTimes.insert(url.path(QUrl::FullyDecoded), std::chrono::steady_clock::now());

    QNetworkReply *reply = nullptr;
    switch (operation) {
    case QNetworkAccessManager::PostOperation:
    case QNetworkAccessManager::PutOperation:
        networkRequest.setRawHeader("Content-Type", "application/json");
        // Reports and changes reach the service at most once, even when a
        // connection drops after sending (the toolkit would send them again).
        reply = OneShotUpload::send(networkManager, networkRequest,
                                    operation == QNetworkAccessManager::PostOperation ? "POST" : "PUT", body);
        break;
    case QNetworkAccessManager::DeleteOperation:
        reply = networkManager->deleteResource(networkRequest);
        break;
    default: reply = networkManager->get(networkRequest); break;
    }
    // The transfer time-out counts only silence; this bounds the whole request.
    if (reply) {
        QTimer::singleShot(m_requestTimeLimit, reply, [reply] {
            if (!reply->isFinished())
                reply->abort();
        });
    }
    handleReply(reply, type);
}

void QtOVCoreAPIFramework::get(RequestType type, const QUrl &url)
{
    request(QNetworkAccessManager::GetOperation, type, url, QByteArray());
}

void QtOVCoreAPIFramework::post(RequestType type, const QUrl &url, const QJsonObject &body)
{
    request(QNetworkAccessManager::PostOperation, type, url, QJsonDocument(body).toJson());
}

void QtOVCoreAPIFramework::put(RequestType type, const QUrl &url, const QJsonObject &body)
{
    request(QNetworkAccessManager::PutOperation, type, url, QJsonDocument(body).toJson());
}

void QtOVCoreAPIFramework::removeResource(RequestType type, const QUrl &url)
{
    request(QNetworkAccessManager::DeleteOperation, type, url, QByteArray());
}

void QtOVCoreAPIFramework::handleReply(QNetworkReply *reply, RequestType type)
{
    if (!reply) {
        handleError(type, networkFailureText());
        return;
    }
    connect(
        reply, &QNetworkReply::finished, reply, [this, reply, type] { onReplyFinished(reply, type); },
        Qt::DirectConnection);
}

void QtOVCoreAPIFramework::onReplyFinished(QNetworkReply *reply, RequestType type)
{
    if (!reply || !reply->isFinished()) {
        handleError(type, networkFailureText());
        return;
    }
    reply->deleteLater();

    // Logs name the designed address; the transport's texts the one it contacted.
    const QUrl url = DeploymentOverride::designedUrl(reply->request());
    const QUrl contacted = reply->request().url();
    const int statusCode = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    QString reason;
    if (statusCode != 200)
        reason = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();

    if (printRequest) {
        QDebug line = qInfo().noquote();
        line << "Request:"
             << QStringLiteral("%1 %2").arg(getMethodName(reply->operation()),
                                            LogRedaction::redactedUrl(url));
        const auto start = requestStartTimes.constFind(url.path(QUrl::FullyDecoded));
        if (start != requestStartTimes.constEnd()) {
            const std::chrono::duration<double, std::milli> elapsed
                = std::chrono::steady_clock::now() - start.value();
            line << "-" << elapsed.count() << "ms";
        }
        if (!reason.isEmpty())
            line << "-" << statusCode << "-" << reason;
    }

    if (reply->error() != QNetworkReply::NoError) {
        // The transport's description names the request URL; the secrets in it stay out.
        handleError(type,
                    isNetworkLayerError(reply->error()) || reply->error() == QNetworkReply::ContentReSendError
                        ? networkFailureText()
                        : LogRedaction::redactedText(reply->errorString(), contacted));
        return;
    }

    const QByteArray body = reply->readAll();
    const ServiceEnvelope envelope = ServiceEnvelope::parse(body);

    if (printResponse)
        qInfo().noquote() << "Response: " + LogRedaction::redactedCompactJson(envelope.document());

    if (envelope.isSuccess()) {
        handleSuccess(type, envelope.response(), envelope.meta());
        return;
    }
    qWarning().noquote() << url.path(QUrl::FullyDecoded) << "Error:" << envelope.errorText();
    if (envelope.outcome() == ServiceEnvelope::Outcome::InvalidStatus) {
        qWarning().noquote() << url.path(QUrl::FullyDecoded) << "Reply:"
                             << ServiceEnvelope::describeReply(
                                    body, statusCode, reply->header(QNetworkRequest::ContentTypeHeader).toString());
    }
    handleError(type, envelope.errorText());
}

void QtOVCoreAPIFramework::handleSuccess(RequestType type, const QJsonValue &response,
                                         const QJsonObject &meta)
{
    if (const ResultEmitter emitResult = emitterFor(type))
        emitResult(*this, response, meta, QString());
}

void QtOVCoreAPIFramework::handleError(RequestType type, const QString &error)
{
    const QString mapped = errorMapper ? errorMapper(error) : error;
    if (type == StreamView || type == Archives)
        qDebug().noquote() << mapped;
    if (const ResultEmitter emitResult = emitterFor(type))
        emitResult(*this, QJsonValue(QJsonValue::Undefined), QJsonObject(), mapped);
}
