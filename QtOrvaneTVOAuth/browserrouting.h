#ifndef BROWSERROUTING_H
#define BROWSERROUTING_H

#include <QByteArray>

class DeploymentOverride;

// The sign-in browser resolves host names itself, so the deployment's routes
// reach it as Chromium's host resolver rules ("MAP host:port 127.0.0.1:port").
namespace BrowserRouting {

// The rules of the deployment; empty without one.
QByteArray hostResolverRules(const DeploymentOverride &deployment);
// The command-line switch that carries them to Chromium, which reads its
// switches from the program's arguments (an environment variable would be split
// at the rules' spaces); empty without a deployment.
QByteArray switchArgument(const DeploymentOverride &deployment);

} // namespace BrowserRouting

#endif // BROWSERROUTING_H
