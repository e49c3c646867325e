#ifndef SANDBOXINSPECTOR_H
#define SANDBOXINSPECTOR_H

#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QNetworkAccessManager>
#include <QPair>
#include <QString>
#include <QUrl>

// The test side of the local deployment's inspection interface: what it received,
// the one-time codes it sent, and faults to inject. Calls wait for their answer.
class SandboxInspector
{
public:
    struct Request
    {
        QString host; // the designed host:port that was contacted
        QString method;
        QString path;
        QList<QPair<QString, QString>> query;
        QString body;
        QString contentType;
    };

    // Reads the deployment file named by ORVANE_DEPLOYMENT.
    SandboxInspector();

    bool isValid() const { return m_url.isValid() && !m_key.isEmpty(); }
    QString errorText() const { return m_error; }
    QJsonObject deployment() const { return m_deployment; }

    QJsonValue get(const QString &path);
    QJsonValue post(const QString &path, const QJsonObject &body);
    QJsonValue remove(const QString &path);

    QList<Request> requests(const QString &pathPrefix = QString());
    void clearRequests() { remove(QStringLiteral("/requests")); }
    QString emailCode(const QString &email);
    QString phoneCode(const QString &phone);
    QString oauthCode(const QString &email, const QString &provider);
    // Makes the next reply to the path (decoded) be the given fault.
    void queueFault(const QJsonObject &fault);

private:
    QJsonValue send(const QByteArray &method, const QString &path, const QByteArray &body);

    QNetworkAccessManager m_network;
    QJsonObject m_deployment;
    QUrl m_url;
    QByteArray m_key;
    QString m_error;
};

#endif // SANDBOXINSPECTOR_H
