// Arbitrary text as the deployment file: it is used whole or not at all (with a
// reason), its routes are lower-case "host:port" keys, and every routed address
// is a valid one with a port in range, whose request remembers the designed URL.
#include "deploymentoverride.h"

#include <QNetworkRequest>

#include <sanitizer/lsan_interface.h>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray json(reinterpret_cast<const char *>(data), int(size));
    DeploymentOverride deployment;
    {
        // Qt 5.15's JSON parser leaks on some objects with repeated keys; that is
        // the toolkit's, so it is kept out of the leak check.
        __lsan::ScopedDisabler toolkitParser;
        deployment = DeploymentOverride::fromJson(json, QStringLiteral("/nonexistent"));
    }
    if (!deployment.isActive()) {
        if (deployment.errorText().isEmpty() || !deployment.routes().isEmpty())
            __builtin_trap();
        return 0;
    }
    const QHash<QString, QString> routes = deployment.routes();
    for (auto it = routes.constBegin(); it != routes.constEnd(); ++it) {
        if (it.key() != it.key().toLower())
            __builtin_trap();
        const int colon = it.key().lastIndexOf(QLatin1Char(':'));
        QUrl designed;
        designed.setScheme(QStringLiteral("https"));
        designed.setHost(it.key().left(colon));
        designed.setPort(it.key().mid(colon + 1).toInt());
        designed.setPath(QStringLiteral("/api/v1"));
        if (!designed.isValid())
            continue; // a key the toolkit spells differently (an IPv6 address) is never asked for
        const QUrl routed = deployment.route(designed);
        if (!routed.isValid() || routed.port() < 1 || routed.port() > 65535 || routed.host().isEmpty())
            __builtin_trap();
        QNetworkRequest request(designed);
        deployment.prepare(request);
        if (DeploymentOverride::designedUrl(request) != designed)
            __builtin_trap();
    }
    return 0;
}
