#ifndef DEPLOYMENTHOSTS_H
#define DEPLOYMENTHOSTS_H

#include <QString>

// The host names of every deployment of the service, kept in this one place.
// Ports and paths belong to the environments that use them (serverenvironment.cpp).
namespace DeploymentHosts {

// Identity (accounts, sign-in, companies, shares)
inline QString productionIdentity() { return QStringLiteral("id.orvane.tv"); }
inline QString stagingIdentity() { return QStringLiteral("id-staging.orvane.tv"); }
inline QString developmentIdentity() { return QStringLiteral("id-dev.orvane.tv"); }

// Core cloud (workspaces, streams, recordings, views)
inline QString productionCore() { return QStringLiteral("core.orvane.tv"); }
inline QString stagingCore() { return QStringLiteral("core-staging.orvane.tv"); }
inline QString developmentCore() { return QStringLiteral("core-dev.orvane.tv"); }

// The product's own back end
inline QString productProduction() { return QStringLiteral("api.orvane.tv"); }
inline QString productStaging() { return QStringLiteral("api-staging.orvane.tv"); }

// Realtime preview channel of production
inline QString productionRealtime() { return QStringLiteral("realtime.orvane.tv"); }

// Web application (password-reset pages)
inline QString productionWeb() { return QStringLiteral("app.orvane.tv"); }
inline QString stagingWeb() { return QStringLiteral("app-staging.orvane.tv"); }
inline QString developmentWeb() { return QStringLiteral("app-dev.orvane.tv"); }

} // namespace DeploymentHosts

#endif // DEPLOYMENTHOSTS_H
