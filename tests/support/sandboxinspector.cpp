#include "sandboxinspector.h"

#include "deploymentoverride.h"

#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrlQuery>

SandboxInspector::SandboxInspector()
{
    QFile file(qEnvironmentVariable(DeploymentOverride::environmentVariable()));
    if (!file.open(QIODevice::ReadOnly)) {
        m_error = QStringLiteral("no deployment file: set %1").arg(DeploymentOverride::environmentVariable());
        return;
    }
    m_deployment = QJsonDocument::fromJson(file.readAll()).object();
    const QJsonObject inspection = m_deployment.value(QStringLiteral("inspection")).toObject();
    m_url = QUrl(inspection.value(QStringLiteral("url")).toString());
    m_key = inspection.value(QStringLiteral("key")).toString().toUtf8();
    if (!isValid())
        m_error = QStringLiteral("the deployment file names no inspection interface");
}

QJsonValue SandboxInspector::send(const QByteArray &method, const QString &path, const QByteArray &body)
{
    QNetworkRequest request(m_url.resolved(QUrl(path)));
    request.setRawHeader("X-Inspection-Key", m_key);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/json"));
    QNetworkReply *reply = m_network.sendCustomRequest(request, method, body);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(15000, &loop, &QEventLoop::quit);
    loop.exec();
    const QByteArray answer = reply->isFinished() ? reply->readAll() : QByteArray();
    if (!reply->isFinished() || reply->error() != QNetworkReply::NoError)
        qWarning("inspection %s %s failed: %s %s", method.constData(), qPrintable(path),
                 qPrintable(reply->errorString()), answer.constData());
    reply->deleteLater();
    const QJsonDocument document = QJsonDocument::fromJson(answer);
    return document.isArray() ? QJsonValue(document.array()) : QJsonValue(document.object());
}

QJsonValue SandboxInspector::get(const QString &path)
{
    return send("GET", path, QByteArray());
}

QJsonValue SandboxInspector::post(const QString &path, const QJsonObject &body)
{
    return send("POST", path, QJsonDocument(body).toJson(QJsonDocument::Compact));
}

QJsonValue SandboxInspector::remove(const QString &path)
{
    return send("DELETE", path, QByteArray());
}

QList<SandboxInspector::Request> SandboxInspector::requests(const QString &pathPrefix)
{
    QUrl url(QStringLiteral("/requests"));
    if (!pathPrefix.isEmpty())
        url.setQuery(QStringLiteral("path=") + QString::fromUtf8(QUrl::toPercentEncoding(pathPrefix)));
    QList<Request> result;
    const QJsonArray list = get(url.toString()).toArray();
    for (const QJsonValue &value : list) {
        const QJsonObject object = value.toObject();
        Request request;
        request.host = object.value(QStringLiteral("host")).toString();
        request.method = object.value(QStringLiteral("method")).toString();
        request.path = object.value(QStringLiteral("path")).toString();
        request.body = object.value(QStringLiteral("body")).toString();
        request.contentType = object.value(QStringLiteral("contentType")).toString();
        for (const QJsonValue &item : object.value(QStringLiteral("query")).toArray())
            request.query.append({item.toArray().at(0).toString(), item.toArray().at(1).toString()});
        result.append(request);
    }
    return result;
}

QString SandboxInspector::emailCode(const QString &email)
{
    return get(QStringLiteral("/codes?email=") + QString::fromUtf8(QUrl::toPercentEncoding(email)))
        .toObject()
        .value(QStringLiteral("code"))
        .toString();
}

QString SandboxInspector::phoneCode(const QString &phone)
{
    return get(QStringLiteral("/codes?phone=") + QString::fromUtf8(QUrl::toPercentEncoding(phone)))
        .toObject()
        .value(QStringLiteral("code"))
        .toString();
}

QString SandboxInspector::oauthCode(const QString &email, const QString &provider)
{
    return post(QStringLiteral("/oauth-codes"),
                QJsonObject{{QStringLiteral("email"), email}, {QStringLiteral("provider"), provider}})
        .toObject()
        .value(QStringLiteral("code"))
        .toString();
}

void SandboxInspector::queueFault(const QJsonObject &fault)
{
    post(QStringLiteral("/faults"), fault);
}
