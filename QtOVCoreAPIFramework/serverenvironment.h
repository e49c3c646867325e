#ifndef SERVERENVIRONMENT_H
#define SERVERENVIRONMENT_H

#include "qtovcoreapiframework_global.h"

#include <QUrl>

// One deployment of the service, named by its identity and core base URLs.
// Environment objects are stateless; the client never takes ownership of one.
class QTOVCOREAPIFRAMEWORK_EXPORT ServerEnvironment
{
public:
    // Identity base URL (accounts, sign-in, companies, shares), ending in "/".
    virtual QUrl idEndpoint() = 0;
    // Core base URL (workspaces, streams, recordings, views), ending in "/".
    virtual QUrl restEndpoint() = 0;

protected:
    ~ServerEnvironment() = default;
};

class QTOVCOREAPIFRAMEWORK_EXPORT CoreProduction final : public ServerEnvironment
{
public:
    QUrl idEndpoint() override;
    QUrl restEndpoint() override;
};

class QTOVCOREAPIFRAMEWORK_EXPORT CoreStaging final : public ServerEnvironment
{
public:
    QUrl idEndpoint() override;
    QUrl restEndpoint() override;
};

class QTOVCOREAPIFRAMEWORK_EXPORT OVTVProduction final : public ServerEnvironment
{
public:
    QUrl idEndpoint() override;
    QUrl restEndpoint() override;
};

class QTOVCOREAPIFRAMEWORK_EXPORT OVTVStaging final : public ServerEnvironment
{
public:
    QUrl idEndpoint() override;
    QUrl restEndpoint() override;
};

class QTOVCOREAPIFRAMEWORK_EXPORT OVTVDev final : public ServerEnvironment
{
public:
    QUrl idEndpoint() override;
    QUrl restEndpoint() override;
};

#endif // SERVERENVIRONMENT_H
