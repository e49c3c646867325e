#ifndef SERVICEENVELOPE_H
#define SERVICEENVELOPE_H

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

// The service wraps every REST reply in one envelope:
//   { "meta": { "status": "ok" | "error", "error": {...}, "paging": {...} },
//     "response": <payload> }
// This is the one reader of that envelope, shared by the client library and the
// chat program's own small client.
class ServiceEnvelope
{
public:
    enum class Outcome {
        Success, // "meta"."status" is exactly "ok"
        ServiceError, // "meta"."status" is exactly "error"
        InvalidStatus // anything else, including a body that is not an envelope
    };

    static ServiceEnvelope parse(const QByteArray &body);
    // The two steps of parse(): the body as a JSON document (UTF-8 text up to the
    // first NUL byte), and the envelope read from a document.
    static QJsonDocument readDocument(const QByteArray &body);
    static ServiceEnvelope fromDocument(const QJsonDocument &document);

    Outcome outcome() const { return m_outcome; }
    bool isSuccess() const { return m_outcome == Outcome::Success; }
    QString status() const { return m_status; }
    QJsonObject meta() const { return m_meta; }
    QJsonValue response() const { return m_response; }
    // The parsed body as a whole (an empty document when the body was not JSON).
    QJsonDocument document() const { return m_document; }
    // Empty on success; the service's message, "Unknown error message" or
    // "Invalid status: <status>" otherwise.
    QString errorText() const { return m_errorText; }

    // For the log, when a reply is not a service answer ("Invalid status: ..."
    // tells a person nothing): what came instead, without its content. Its HTTP
    // status and type, its size, why it is no envelope, and a page's title, as
    // "HTTP 502, text/html, 154 bytes: not JSON (illegal value at 0), page "Bad Gateway"".
    static QString describeReply(const QByteArray &body, int httpStatus, const QString &contentType);

private:
    Outcome m_outcome = Outcome::InvalidStatus;
    QString m_status;
    QJsonObject m_meta;
    QJsonValue m_response;
    QJsonDocument m_document;
    QString m_errorText;
};

#endif // SERVICEENVELOPE_H
