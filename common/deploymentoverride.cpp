#include "deploymentoverride.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkRequest>
#include <QSslConfiguration>

namespace {

// Where a prepared request keeps the URL it was made for.
const QNetworkRequest::Attribute designedUrlAttribute
    = QNetworkRequest::Attribute(QNetworkRequest::User + 17);

int defaultPort(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("https") || scheme == QLatin1String("wss"))
        return 443;
    if (scheme == QLatin1String("http") || scheme == QLatin1String("ws"))
        return 80;
    return -1;
}

// "host:port" with a host name or address an URL can carry (an IPv6 address in
// brackets) and a port from 1 to 65535.
bool splitHostPort(const QString &text, QString *host, int *port)
{
    const int colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0)
        return false;
    bool ok = false;
    const int value = text.mid(colon + 1).toInt(&ok);
    if (!ok || value <= 0 || value > 65535)
        return false;
    QString name = text.left(colon);
    if (name.startsWith(QLatin1Char('[')) && name.endsWith(QLatin1Char(']')))
        name = name.mid(1, name.size() - 2);
    // Names and addresses only: no blanks, control characters or URL syntax,
    // which the toolkit would drop or take as something else.
    for (const QChar c : qAsConst(name)) {
        if (!c.isLetterOrNumber() && c != QLatin1Char('.') && c != QLatin1Char('-') && c != QLatin1Char(':')
            && c != QLatin1Char('_'))
            return false;
    }
    QUrl check;
    check.setScheme(QStringLiteral("https"));
    check.setHost(name);
    if (!check.isValid() || check.host().isEmpty())
        return false;
    *host = name;
    *port = value;
    return true;
}

} // namespace

const DeploymentOverride &DeploymentOverride::instance()
{
    static const DeploymentOverride deployment = [] {
        const QString path = qEnvironmentVariable(environmentVariable());
        if (path.isEmpty())
            return DeploymentOverride();
        DeploymentOverride loaded = fromFile(path);
        if (!loaded.isActive()) {
            qWarning().noquote() << "Deployment file" << path << "not used:" << loaded.errorText();
            return loaded;
        }
        // Each module that links this one reads the file; a CA is added once.
        QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
        QList<QSslCertificate> authorities = configuration.caCertificates();
        for (const QSslCertificate &certificate : loaded.caCertificates()) {
            if (!authorities.contains(certificate))
                authorities.append(certificate);
        }
        configuration.setCaCertificates(authorities);
        QSslConfiguration::setDefaultConfiguration(configuration);
        qInfo().noquote() << "Using the deployment of" << path;
        return loaded;
    }();
    return deployment;
}

DeploymentOverride DeploymentOverride::fromFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        DeploymentOverride result;
        result.m_errorText = QStringLiteral("cannot read it: %1").arg(file.errorString());
        return result;
    }
    return fromJson(file.read(4 * 1024 * 1024), QFileInfo(path).absolutePath());
}

DeploymentOverride DeploymentOverride::fromJson(const QByteArray &json, const QString &folder)
{
    // A file that cannot be used is not used at all: nothing read before the
    // fault is kept.
    const auto unusable = [](const QString &why) {
        DeploymentOverride refused;
        refused.m_errorText = why;
        return refused;
    };
    DeploymentOverride result;
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (!document.isObject()) {
        return unusable(parseError.error != QJsonParseError::NoError
                            ? QStringLiteral("not JSON: %1").arg(parseError.errorString())
                            : QStringLiteral("not a JSON object"));
    }
    const QJsonObject root = document.object();

    const QJsonObject routes = root.value(QStringLiteral("routes")).toObject();
    for (auto it = routes.begin(); it != routes.end(); ++it) {
        QString host;
        int port = 0;
        if (!splitHostPort(it.key(), &host, &port) || !it.value().isString()
            || !splitHostPort(it.value().toString(), &host, &port)) {
            return unusable(QStringLiteral("route \"%1\" is not host:port to host:port").arg(it.key()));
        }
        result.m_routes.insert(it.key().toLower(), it.value().toString());
    }

    const QJsonArray caFiles = root.value(QStringLiteral("caCertificates")).toArray();
    for (const QJsonValue &value : caFiles) {
        QString caPath = value.toString();
        if (QFileInfo(caPath).isRelative())
            caPath = folder + QLatin1Char('/') + caPath;
        const QList<QSslCertificate> certificates = QSslCertificate::fromPath(caPath, QSsl::Pem);
        if (certificates.isEmpty()) {
            return unusable(QStringLiteral("no certificate in \"%1\"").arg(caPath));
        }
        result.m_caCertificates += certificates;
        result.m_caFiles << caPath;
    }

    result.m_oauthProviders = root.value(QStringLiteral("oauthProviders")).toObject();
    result.m_active = true;
    return result;
}

QUrl DeploymentOverride::route(const QUrl &url) const
{
    if (!m_active || url.host().isEmpty())
        return url;
    const QString key = QStringLiteral("%1:%2").arg(url.host().toLower()).arg(url.port(defaultPort(url)));
    const auto target = m_routes.constFind(key);
    if (target == m_routes.constEnd())
        return url;
    QString host;
    int port = 0;
    splitHostPort(target.value(), &host, &port);
    QUrl routed(url);
    routed.setHost(host);
    routed.setPort(port);
    return routed;
}

void DeploymentOverride::prepare(QNetworkRequest &request) const
{
    const QUrl designed = request.url();
    request.setAttribute(designedUrlAttribute, designed);
    const QUrl routed = route(designed);
    if (routed != designed) {
        request.setUrl(routed);
        request.setPeerVerifyName(designed.host());
    }
}

QUrl DeploymentOverride::designedUrl(const QNetworkRequest &request)
{
    const QVariant designed = request.attribute(designedUrlAttribute);
    return designed.isValid() ? designed.toUrl() : request.url();
}
