#ifndef DEPLOYMENTOVERRIDE_H
#define DEPLOYMENTOVERRIDE_H

#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QSslCertificate>
#include <QString>
#include <QUrl>

class QNetworkRequest;

// Lets every program run against a local deployment of the service. When the
// environment variable ORVANE_DEPLOYMENT names a deployment file, each designed
// "host:port" listed in it is sent to the "host:port" that serves it, and the
// certificate authorities it names are trusted in addition to the system's. TLS
// verification stays on: a routed request is still verified against the designed
// host name. Without the variable every address is used exactly as designed.
class DeploymentOverride
{
public:
    static const char *environmentVariable() { return "ORVANE_DEPLOYMENT"; }

    // The override of this process, read once from ORVANE_DEPLOYMENT on first use;
    // its certificate authorities are added to the default TLS configuration then.
    static const DeploymentOverride &instance();

    // Reads a deployment file; a file that cannot be used gives an inactive
    // override with errorText() saying why.
    static DeploymentOverride fromFile(const QString &path);
    // The same from the file's text; relative certificate paths are in folder.
    static DeploymentOverride fromJson(const QByteArray &json, const QString &folder);

    bool isActive() const { return m_active; }
    QString errorText() const { return m_errorText; }

    // The address that serves the URL (the URL itself when it is not routed).
    QUrl route(const QUrl &url) const;
    QList<QSslCertificate> caCertificates() const { return m_caCertificates; }
    // Every designed "host:port" (lower case) and the "host:port" that serves it.
    QHash<QString, QString> routes() const { return m_routes; }
    QStringList caFiles() const { return m_caFiles; }
    // Optional replacement of the OAuth provider table (empty when not given).
    QJsonObject oauthProviders() const { return m_oauthProviders; }

    // Points the request at the serving address, verifies TLS against the designed
    // host name, and remembers the designed URL (designedUrl()).
    void prepare(QNetworkRequest &request) const;
    // The URL a prepared request was made for.
    static QUrl designedUrl(const QNetworkRequest &request);

private:
    bool m_active = false;
    QString m_errorText;
    QHash<QString, QString> m_routes; // "host:port" -> "host:port"
    QList<QSslCertificate> m_caCertificates;
    QStringList m_caFiles;
    QJsonObject m_oauthProviders;
};

#endif // DEPLOYMENTOVERRIDE_H
