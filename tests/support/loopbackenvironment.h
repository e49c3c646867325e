#ifndef LOOPBACKENVIRONMENT_H
#define LOOPBACKENVIRONMENT_H

#include "serverenvironment.h"

#include <QUrl>

// A deployment whose identity and core endpoints are a plain-HTTP test server on
// loopback, so the client's requests can be read as they arrive.
class LoopbackEnvironment final : public ServerEnvironment
{
public:
    explicit LoopbackEnvironment(const QUrl &serverBase)
        : m_base(serverBase)
    { }

    QUrl idEndpoint() override { return m_base.resolved(QUrl(QStringLiteral("/api/v1.1/"))); }
    QUrl restEndpoint() override { return m_base.resolved(QUrl(QStringLiteral("/api/v1.0/"))); }

private:
    QUrl m_base;
};

#endif // LOOPBACKENVIRONMENT_H
