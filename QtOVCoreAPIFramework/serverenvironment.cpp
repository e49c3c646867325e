#include "serverenvironment.h"

#include "deploymenthosts.h"

namespace {

const QString identityPath = QStringLiteral("/api/v1.1/");
const QString corePath = QStringLiteral("/api/v1.0/");

// The port is always written out, also where it is the scheme's default.
QUrl endpoint(const QString &host, int port, const QString &path)
{
    QUrl url;
    url.setScheme(QStringLiteral("https"));
    url.setHost(host);
    url.setPort(port);
    url.setPath(path);
    return url;
}

} // namespace

QUrl CoreProduction::idEndpoint()
{
    return endpoint(DeploymentHosts::productionIdentity(), 443, identityPath);
}

QUrl CoreProduction::restEndpoint()
{
    return endpoint(DeploymentHosts::productionCore(), 443, corePath);
}

QUrl CoreStaging::idEndpoint()
{
    return endpoint(DeploymentHosts::stagingIdentity(), 8443, identityPath);
}

QUrl CoreStaging::restEndpoint()
{
    return endpoint(DeploymentHosts::stagingCore(), 8443, corePath);
}

QUrl OVTVProduction::idEndpoint()
{
    return endpoint(DeploymentHosts::productionIdentity(), 443, identityPath);
}

QUrl OVTVProduction::restEndpoint()
{
    return endpoint(DeploymentHosts::productProduction(), 8443, corePath);
}

QUrl OVTVStaging::idEndpoint()
{
    return endpoint(DeploymentHosts::stagingIdentity(), 8443, identityPath);
}

QUrl OVTVStaging::restEndpoint()
{
    return endpoint(DeploymentHosts::productStaging(), 8443, corePath);
}

QUrl OVTVDev::idEndpoint()
{
    return endpoint(DeploymentHosts::developmentIdentity(), 8443, identityPath);
}

QUrl OVTVDev::restEndpoint()
{
    return endpoint(DeploymentHosts::developmentCore(), 8443, corePath);
}
