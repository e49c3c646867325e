#include "browserrouting.h"

#include "deploymentoverride.h"

#include <QStringList>

#include <algorithm>

namespace BrowserRouting {

QByteArray hostResolverRules(const DeploymentOverride &deployment)
{
    if (!deployment.isActive())
        return QByteArray();
    const QHash<QString, QString> routes = deployment.routes();
    QStringList keys = routes.keys();
    std::sort(keys.begin(), keys.end());
    QStringList rules;
    for (const QString &designed : keys)
        rules << QStringLiteral("MAP %1 %2").arg(designed, routes.value(designed));
    return rules.join(QStringLiteral(", ")).toUtf8();
}

QByteArray switchArgument(const DeploymentOverride &deployment)
{
    const QByteArray rules = hostResolverRules(deployment);
    return rules.isEmpty() ? QByteArray() : QByteArray("--host-resolver-rules=") + rules;
}

} // namespace BrowserRouting
