#include "oauthpage.h"

#include "deploymentoverride.h"

#include <QDebug>
#include <QSslCertificate>
#include <QSslError>
#include <QWebEngineCertificateError>

OAuthPage::OAuthPage(QWebEngineProfile *profile, QObject *parent)
    : QWebEnginePage(profile, parent)
{ }

bool OAuthPage::deploymentTrusts(const QString &host, int port, const QList<QSslCertificate> &chain,
                                 QString *why)
{
    const DeploymentOverride &deployment = DeploymentOverride::instance();
    const QString key = QStringLiteral("%1:%2").arg(host.toLower()).arg(port);
    if (!deployment.isActive() || !deployment.routes().contains(key)) {
        *why = QStringLiteral("not a host of the deployment");
        return false;
    }
    if (chain.isEmpty()) {
        *why = QStringLiteral("no certificate");
        return false;
    }
    // Verified against the system's authorities and the deployment's, for the host name.
    const QList<QSslError> errors = QSslCertificate::verify(chain, host);
    if (!errors.isEmpty()) {
        *why = errors.first().errorString();
        return false;
    }
    return true;
}

bool OAuthPage::certificateError(const QWebEngineCertificateError &error)
{
    const QUrl url = error.url();
    QString why;
    if (error.error() == QWebEngineCertificateError::CertificateAuthorityInvalid && error.isOverridable()
        && deploymentTrusts(url.host(), url.port(443), error.certificateChain(), &why)) {
        qDebug().noquote() << "Trusting the deployment's certificate of" << url.host();
        return true;
    }
    if (why.isEmpty())
        why = error.errorDescription();
    qWarning().noquote() << "Refused the certificate of" << url.host() << "-" << why;
    return false;
}
