#include "qtovcoreapiframework.h"

#include "deploymentoverride.h"
#include "sioclient.h"

#include <QDebug>
#include <QUrlQuery>

// The client's construction, its environments and URLs, its session settings
// and the small helpers its operations share. The request engine, the account
// and catalogue operations and the preview channel have files of their own.

namespace {

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
        qRegisterMetaType<QVector<User>>();
        qRegisterMetaType<QVector<Company>>();
        qRegisterMetaType<QVector<SharedWorkspace>>();
        qRegisterMetaType<QVector<SharedStream>>();
        qRegisterMetaType<QVector<Archive>>();
        qRegisterMetaType<QMap<QString, QVector<CompanyShare>>>();
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

QUrl QtOVCoreAPIFramework::endpointUrl(const QUrl &base, const QString &relativePath, bool withToken) const
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

void QtOVCoreAPIFramework::setRequestTimeLimit(int milliseconds)
{
    m_requestTimeLimit = qMax(1, milliseconds);
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
