#include "qtovcoreapiframework.h"

#include "logredaction.h"
#include "serviceenvelope.h"
#include "sioclient.h"
#include "deploymenthosts.h"
#include "deploymentoverride.h"
#include "jsonconvert.h"

#include <QDebug>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkRequest>
#include <QSslConfiguration>
#include <QSysInfo>
#include <QUrlQuery>

#include <array>

namespace {

using Api = QtOVCoreAPIFramework;

// Emits the result signal of one request type. On failure it is called with an
// undefined response and an empty "meta", so every value it carries is the empty
// default that parsing nothing gives.
using ResultEmitter = void (*)(Api &api, const QJsonValue &response, const QJsonObject &meta,
                               const QString &error);

template <typename Record>
QVector<Record> recordsOf(const QJsonValue &array)
{
    QVector<Record> records;
    JsonConvert::readArray(array, records);
    return records;
}

// The one table from request type to parser and signal; indexed by the type.
const std::array<ResultEmitter, 20> &resultEmitters()
{
    static const std::array<ResultEmitter, 20> table = {{
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
            QMap<QString, QVector<CompanyShare> > shares;
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
                const qint64 next =
                    qint64(JsonConvert::integer(JsonConvert::member(paging, QStringLiteral("count"))))
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
    }};
    return table;
}

ResultEmitter emitterFor(Api::RequestType type)
{
    const int index = int(type);
    if (index < 0 || index >= int(resultEmitters().size()))
        return nullptr;
    return resultEmitters()[std::size_t(index)];
}

void registerMetaTypes()
{
    static const bool registered = [] {
        qRegisterMetaType<User>();
        qRegisterMetaType<Company>();
        qRegisterMetaType<CompanyShare>();
        qRegisterMetaType<SharedWorkspace>();
        qRegisterMetaType<SharedStream>();
        qRegisterMetaType<Archive>();
        qRegisterMetaType<ArchiveInfo>();
        qRegisterMetaType<QVector<User> >();
        qRegisterMetaType<QVector<Company> >();
        qRegisterMetaType<QVector<SharedWorkspace> >();
        qRegisterMetaType<QVector<SharedStream> >();
        qRegisterMetaType<QVector<Archive> >();
        qRegisterMetaType<QMap<QString, QVector<CompanyShare> > >();
        return true;
    }();
    Q_UNUSED(registered)
}

} // namespace

QString QtOVCoreAPIFramework::networkFailureText()
{
    return QStringLiteral("Request failed. Try checking your network connectivity");
}

QtOVCoreAPIFramework::QtOVCoreAPIFramework(std::function<QString(QString)> errorMapper,
                                           ServerEnvironment *environment)
    : QObject(nullptr)
    , errorMapper(std::move(errorMapper))
    , serverEnvironment(environment)
    , networkManager(new QNetworkAccessManager(this))
    , sioClient(std::make_unique<SocketIo::Client>())
{
    registerMetaTypes();
    // Read the deployment file, if any, before the first request picks up the
    // default TLS configuration.
    DeploymentOverride::instance();
}

QtOVCoreAPIFramework::~QtOVCoreAPIFramework()
{
    // The channel's thread calls back into this object; it ends first.
    sioClient.reset();
}

// ---- Environments and URLs ----------------------------------------------------

void QtOVCoreAPIFramework::setServerEnvironment(ServerEnvironment *environment)
{
    serverEnvironment = environment;
}

ServerEnvironment *QtOVCoreAPIFramework::getServerEnvironment() const
{
    return serverEnvironment;
}

QUrl QtOVCoreAPIFramework::getIDBaseURL() const
{
    if (serverEnvironment)
        return serverEnvironment->idEndpoint();
    // Built-in defaults: the production deployment.
    return CoreProduction().idEndpoint();
}

QUrl QtOVCoreAPIFramework::getCoreBaseURL() const
{
    if (serverEnvironment)
        return serverEnvironment->restEndpoint();
    return CoreProduction().restEndpoint();
}

QUrl QtOVCoreAPIFramework::getIDUrl(const QString &relativePath, bool withToken) const
{
    return endpointUrl(getIDBaseURL(), relativePath, withToken);
}

QUrl QtOVCoreAPIFramework::getCoreUrl(const QString &relativePath, bool withToken) const
{
    return endpointUrl(getCoreBaseURL(), relativePath, withToken);
}

QUrl QtOVCoreAPIFramework::endpointUrl(const QUrl &base, const QString &relativePath,
                                       bool withToken) const
{
    QUrl url(base);
    // Decoded mode, so that a slug inside the relative path is percent-encoded.
    url.setPath(base.path(QUrl::FullyDecoded) + relativePath, QUrl::DecodedMode);
    if (withToken)
        addQueryItems(url, {QStringLiteral("auth_token")}, {authToken});
    return url;
}

// ---- Session and diagnostics ----------------------------------------------------

void QtOVCoreAPIFramework::setAuthToken(const QString &token)
{
    authToken = token;
}

QString QtOVCoreAPIFramework::getAuthToken() const
{
    return authToken;
}

void QtOVCoreAPIFramework::setPrintRequest(bool on)
{
    printRequest = on;
}

void QtOVCoreAPIFramework::setPrintResponse(bool on)
{
    printResponse = on;
}

void QtOVCoreAPIFramework::setRequestTimeout(int milliseconds)
{
    m_requestTimeout = qMax(0, milliseconds);
}

int QtOVCoreAPIFramework::requestTimeout() const
{
    return m_requestTimeout;
}

// ---- Account operations -------------------------------------------------------------

void QtOVCoreAPIFramework::login(const QString &email, const QString &password)
{
    QUrl url = getIDUrl(QStringLiteral("auth/login"), false);
    addQueryItems(url, {QStringLiteral("email"), QStringLiteral("password")}, {email, password});
    get(Login, url);
}

void QtOVCoreAPIFramework::getCode(const QString &email, const QString &principal,
                                   const QString &serviceSlug)
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

void QtOVCoreAPIFramework::oauthLogin(const QString &provider, const QString &code,
                                      const QString &app)
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
        QJsonObject{{QStringLiteral("firstName"), firstName},
                    {QStringLiteral("lastName"), lastName}});
}

// ---- Company, sharing and catalogue queries -------------------------------------------

namespace {

void addServiceSlug(QUrl &url, const QString &serviceSlug)
{
    if (!serviceSlug.isEmpty())
        QtOVCoreAPIFramework::addQueryItems(url, {QStringLiteral("service_slug")}, {serviceSlug});
}

} // namespace

void QtOVCoreAPIFramework::getMyCompanies(bool detailed)
{
    QUrl url = getIDUrl(QStringLiteral("me/companies"), true);
    addQueryItems(url, {QStringLiteral("detailed")},
                  {detailed ? QStringLiteral("true") : QStringLiteral("false")});
    get(MyCompanies, url);
}

void QtOVCoreAPIFramework::getCompanyDetails(const QString &companyId)
{
    get(MyCompanyDetails, getIDUrl(QStringLiteral("me/companies/%1").arg(companyId), true));
}

void QtOVCoreAPIFramework::getCompanyUsers(const QString &companyId)
{
    get(MyCompanyUsers, getIDUrl(QStringLiteral("me/companies/%1/users").arg(companyId), true));
}

void QtOVCoreAPIFramework::getCompanyShares(const QString &serviceSlug)
{
    QUrl url = getIDUrl(QStringLiteral("me/companyShares"), true);
    addServiceSlug(url, serviceSlug);
    get(CompanyShares, url);
}

void QtOVCoreAPIFramework::getGlobalShareSettings(const QString &companyId,
                                                  const QString &serviceSlug)
{
    QUrl url = getIDUrl(QStringLiteral("me/companies/%1/shares/global_options").arg(companyId), true);
    addServiceSlug(url, serviceSlug);
    get(GlobalShareSettings, url);
}

void QtOVCoreAPIFramework::getSharedWorkspaces(const QString &companySlug,
                                               const QString &serviceSlug)
{
    QUrl url = getCoreUrl(QStringLiteral("%1/shared/workspaces").arg(companySlug), true);
    addServiceSlug(url, serviceSlug);
    get(SharedWorkspaces, url);
}

void QtOVCoreAPIFramework::getSharedStreams(const QString &companySlug)
{
    get(SharedStreams, getCoreUrl(QStringLiteral("%1/shared/streams").arg(companySlug), true));
}

void QtOVCoreAPIFramework::getSharedArchives(const QString &companySlug,
                                             const QString &workspaceId, int count, int offset,
                                             const QVector<QString> &sids,
                                             const QVector<QDate> &dates,
                                             const QVector<QString> &cameraIds)
{
    QUrl url = getCoreUrl(
        QStringLiteral("%1/shared/workspaces/%2/records").arg(companySlug, workspaceId), true);
    QVector<QString> keys = {QStringLiteral("count"), QStringLiteral("offset")};
    QVector<QString> values = {QString::number(count), QString::number(offset)};

    // Encoder ids take precedence over camera ids; the service takes one filter.
    if (!sids.isEmpty()) {
        keys.append(QStringLiteral("sids"));
        values.append(join(sids, QStringLiteral(",")));
    } else if (!cameraIds.isEmpty()) {
        keys.append(QStringLiteral("cameraIds"));
        values.append(join(cameraIds, QStringLiteral(",")));
    }

    if (!dates.isEmpty() && dates.first().isValid() && dates.last().isValid()) {
        keys.append(QStringLiteral("dateFrom"));
        values.append(dates.first().toString(QStringLiteral("yyyy-MM-dd")));
        keys.append(QStringLiteral("dateTo"));
        values.append(dates.last().toString(QStringLiteral("yyyy-MM-dd")));
    }

    addQueryItems(url, keys, values);
    get(SharedArchives, url);
}

void QtOVCoreAPIFramework::getArchives(const QString &owner, int count, int offset)
{
    QUrl url = getCoreUrl(QStringLiteral("%1/archive").arg(owner), true);
    addQueryItems(url, {QStringLiteral("count"), QStringLiteral("offset")},
                  {QString::number(count), QString::number(offset)});
    qDebug().noquote() << LogRedaction::redactedUrl(url);
    get(Archives, url);
}

void QtOVCoreAPIFramework::sendStreamView(const QString &companySlug, bool isRecord,
                                          const QString &id, int shareId, int totalBytes)
{
    QByteArray machineId = QSysInfo::machineUniqueId();
    const int nul = machineId.indexOf('\0');
    if (nul >= 0)
        machineId.truncate(nul);

    const QJsonObject body{
        {QStringLiteral("viewId"), QString::fromUtf8(machineId)},
        {QStringLiteral("type"), isRecord ? QStringLiteral("record") : QStringLiteral("stream")},
        {QStringLiteral("shareId"), shareId},
        {QStringLiteral("totalBytes"), totalBytes},
    };
    post(StreamView, getCoreUrl(QStringLiteral("%1/views/%2").arg(companySlug, id), true), body);
}

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
        reply = operation == QNetworkAccessManager::PostOperation
            ? networkManager->post(networkRequest, body)
            : networkManager->put(networkRequest, body);
        break;
    case QNetworkAccessManager::DeleteOperation:
        reply = networkManager->deleteResource(networkRequest);
        break;
    default:
        reply = networkManager->get(networkRequest);
        break;
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
    connect(reply, &QNetworkReply::finished, reply,
            [this, reply, type] { onReplyFinished(reply, type); }, Qt::DirectConnection);
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
            const std::chrono::duration<double, std::milli> elapsed =
                std::chrono::steady_clock::now() - start.value();
            line << "-" << elapsed.count() << "ms";
        }
        if (!reason.isEmpty())
            line << "-" << statusCode << "-" << reason;
    }

    if (reply->error() != QNetworkReply::NoError) {
        // The transport's description names the request URL; the secrets in it stay out.
        handleError(type, isNetworkLayerError(reply->error())
                              ? networkFailureText()
                              : LogRedaction::redactedText(reply->errorString(), contacted));
        return;
    }

    const ServiceEnvelope envelope = ServiceEnvelope::parse(reply->readAll());

    if (printResponse)
        qInfo().noquote() << "Response: " + LogRedaction::redactedCompactJson(envelope.document());

    if (envelope.isSuccess()) {
        handleSuccess(type, envelope.response(), envelope.meta());
        return;
    }
    qWarning().noquote() << url.path(QUrl::FullyDecoded) << "Error:" << envelope.errorText();
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

// ---- Realtime preview channel ----------------------------------------------------------

void QtOVCoreAPIFramework::connectSIO(const QString &url, const QString &cid)
{
    QMap<QString, QString> query;
    query.insert(QStringLiteral("auth_token"), authToken);
    query.insert(QStringLiteral("cid"), cid);
    addDefaultSIOHandlers();
    qDebug().noquote() << "Connecting to " + url;
    sioClient->connect(QUrl(url), query);
}

void QtOVCoreAPIFramework::disconnectSIO()
{
    sioClient->close();
}

void QtOVCoreAPIFramework::setConnectionStatusHandler(std::function<void(bool)> handler)
{
    QMutexLocker lock(&connectionStatusMutex);
    connectionStatusHandler = std::move(handler);
}

void QtOVCoreAPIFramework::reportConnectionStatus(bool connected)
{
    QMutexLocker lock(&connectionStatusMutex);
    if (connectionStatusHandler)
        connectionStatusHandler(connected);
}

void QtOVCoreAPIFramework::addDefaultSIOHandlers()
{
    qDebug().noquote() << "Adding default handlers...";
    sioClient->socket().onError([](const QJsonValue &message) {
        if (message.isString())
            qDebug().noquote() << "SIO Error: " + message.toString();
    });
    sioClient->setOpenListener([this] { reportConnectionStatus(true); });
    sioClient->setFailListener([this] {
        qDebug().noquote() << "SIO Fail!";
        reportConnectionStatus(false);
    });
    sioClient->setCloseListener([this](SocketIo::CloseReason reason) {
        qDebug().noquote() << "SIO Close: " + QString::number(int(reason));
        reportConnectionStatus(false);
    });
}

void QtOVCoreAPIFramework::addPrintSIOHandler()
{
}

void QtOVCoreAPIFramework::enableSIODebug()
{
    sioClient->setDebugPrint(true);
}

void QtOVCoreAPIFramework::disableSIODebug()
{
    sioClient->setDebugPrint(false);
}

void QtOVCoreAPIFramework::updateEncoderPreview(const QString &sid)
{
    const QString event = QStringLiteral("device:%1:preview").arg(sid);
    qDebug().noquote() << "Adding preview handler for" << sid << "(" << event << ")";
    sioClient->socket().on(event, [this](const QString &name, const QJsonValue &message) {
        QString encoder;
        QByteArray data;
        if (previewFromEvent(name, message, &encoder, &data))
            emit encoderPreviewUpdated(encoder, data);
    });
    // The receiver starts from an empty picture.
    emit encoderPreviewUpdated(sid, QByteArray());
}

void QtOVCoreAPIFramework::stopEncoderPreview(const QString &sid)
{
    removeSIOHandlerForEvent(QStringLiteral("device:%1:preview").arg(sid));
}

void QtOVCoreAPIFramework::removeSIOHandlerForEvent(const QString &event)
{
    sioClient->socket().off(event);
}

bool QtOVCoreAPIFramework::previewFromEvent(const QString &event, const QJsonValue &message,
                                            QString *sid, QByteArray *data)
{
    const QJsonValue image = message.isObject() ? message.toObject().value(QStringLiteral("img"))
                                                : QJsonValue(QJsonValue::Undefined);
    if (!image.isString())
        return false;
    const QString text = image.toString();
    // "data:image/jpeg;base64," is 23 characters; other image types' prefixes 22.
    const int skip = text.left(20).contains(QLatin1String("jpeg")) ? 23 : 22;
    if (text.size() < skip)
        return false;  // not even a whole prefix: nothing to show
    *sid = event.split(QLatin1Char(':')).value(1);
    *data = text.mid(skip).toUtf8();
    return true;
}

// ---- Helpers ------------------------------------------------------------------------

void QtOVCoreAPIFramework::addQueryItems(QUrl &url, const QVector<QString> &keys,
                                         const QVector<QString> &values)
{
    // QUrlQuery protects the query's own delimiters but takes "%XX" as already
    // encoded and leaves "+" as it is, which services decode as a space: a password
    // such as "a+b%41" would arrive as "a bA". Those two are encoded here, so every
    // value arrives exactly as given.
    const auto literal = [](QString text) {
        return text.replace(QLatin1Char('%'), QLatin1String("%25"))
            .replace(QLatin1Char('+'), QLatin1String("%2B"));
    };
    QUrlQuery query(url);
    const int count = qMin(keys.size(), values.size());
    for (int i = 0; i < count; ++i)
        query.addQueryItem(literal(keys.at(i)), literal(values.at(i)));
    url.setQuery(query);
}

QString QtOVCoreAPIFramework::join(const QVector<QString> &items, const QString &separator)
{
    QString result;
    for (int i = 0; i < items.size(); ++i) {
        if (i > 0)
            result += separator;
        result += items.at(i);
    }
    return result;
}

QString QtOVCoreAPIFramework::getMethodName(QNetworkAccessManager::Operation operation)
{
    switch (operation) {
    case QNetworkAccessManager::UnknownOperation: return QStringLiteral("UNKNOWN");
    case QNetworkAccessManager::HeadOperation: return QStringLiteral("HEAD");
    case QNetworkAccessManager::GetOperation: return QStringLiteral("GET");
    case QNetworkAccessManager::PutOperation: return QStringLiteral("PUT");
    case QNetworkAccessManager::PostOperation: return QStringLiteral("POST");
    case QNetworkAccessManager::DeleteOperation: return QStringLiteral("DELETE");
    case QNetworkAccessManager::CustomOperation: return QStringLiteral("CUSTOM");
    }
    return QStringLiteral("GET");
}

bool QtOVCoreAPIFramework::isNetworkLayerError(QNetworkReply::NetworkError error)
{
    return error >= 1 && error <= 99;
}
