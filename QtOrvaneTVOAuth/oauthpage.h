#ifndef OAUTHPAGE_H
#define OAUTHPAGE_H

#include <QWebEnginePage>

// The sign-in browser's page. Certificates are verified as the browser does;
// an authority that the browser does not know is accepted only for a host that
// the deployment file routes, and only when the chain verifies against the
// deployment's authorities for that host name. Every other certificate error
// stops the request.
class OAuthPage : public QWebEnginePage
{
    Q_OBJECT
public:
    OAuthPage(QWebEngineProfile *profile, QObject *parent = nullptr);

    // Whether a certificate chain for the host is one the deployment vouches for.
    static bool deploymentTrusts(const QString &host, int port, const QList<QSslCertificate> &chain,
                                 QString *why);

protected:
    bool certificateError(const QWebEngineCertificateError &error) override;
};

#endif // OAUTHPAGE_H
