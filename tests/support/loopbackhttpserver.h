#ifndef LOOPBACKHTTPSERVER_H
#define LOOPBACKHTTPSERVER_H

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>
#include <QVector>

// A small HTTP/1.1 server on 127.0.0.1 for tests: answers each path with a canned
// reply and records every request it received, so a test sees exactly what went
// over the wire.
class LoopbackHttpServer : public QObject
{
    Q_OBJECT

public:
    struct Request
    {
        QByteArray method;
        QString path; // decoded
        QByteArray target; // as sent, path and query
        QList<QPair<QString, QString>> query; // decoded, in order
        QMap<QByteArray, QByteArray> headers; // lower-case names
        QByteArray body;
    };

    struct Reply
    {
        int status = 200;
        QByteArray reason = "OK";
        QByteArray body;
        QByteArray contentType = "application/json";
        bool neverAnswer = false; // keep the connection open and say nothing
    };

    explicit LoopbackHttpServer(QObject *parent = nullptr);
    ~LoopbackHttpServer() override;

    bool listen();
    quint16 port() const;
    // "http://127.0.0.1:<port>"
    QUrl baseUrl() const;

    // The reply for one decoded path; the default reply answers every other path.
    void setReply(const QString &path, const Reply &reply);
    void setDefaultReply(const Reply &reply);
    void clearReplies();

    QVector<Request> requests() const { return m_requests; }
    void clearRequests() { m_requests.clear(); }

    // An envelope with status "ok" and the given response value (JSON text).
    static Reply okEnvelope(const QByteArray &responseJson, const QByteArray &metaExtraJson = {});

signals:
    void requestReceived();

private:
    void onNewConnection();
    void onReadyRead(QTcpSocket *socket);

    QTcpServer m_server;
    QHash<QTcpSocket *, QByteArray> m_buffers;
    QHash<QString, Reply> m_replies;
    Reply m_defaultReply;
    QVector<Request> m_requests;
};

#endif // LOOPBACKHTTPSERVER_H
