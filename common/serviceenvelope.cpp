#include "serviceenvelope.h"

#include <QJsonArray>
#include <QJsonParseError>
#include <QRegularExpression>

ServiceEnvelope ServiceEnvelope::parse(const QByteArray &body)
{
    return fromDocument(readDocument(body));
}

QJsonDocument ServiceEnvelope::readDocument(const QByteArray &body)
{
    // The body is read as UTF-8 text that ends at the first NUL byte, if any.
    const int nul = body.indexOf('\0');
    const QString text = QString::fromUtf8(nul < 0 ? body : body.left(nul));
    return QJsonDocument::fromJson(text.toUtf8());
}

ServiceEnvelope ServiceEnvelope::fromDocument(const QJsonDocument &document)
{
    ServiceEnvelope envelope;
    envelope.m_document = document;

    const QJsonObject top = envelope.m_document.object();
    envelope.m_meta = top.value(QStringLiteral("meta")).toObject();
    envelope.m_status = envelope.m_meta.value(QStringLiteral("status")).toString();
    envelope.m_response = top.value(QStringLiteral("response"));

    if (envelope.m_status == QLatin1String("ok")) {
        envelope.m_outcome = Outcome::Success;
        return envelope;
    }

    if (envelope.m_status == QLatin1String("error")) {
        envelope.m_outcome = Outcome::ServiceError;
        const QJsonObject error = envelope.m_meta.value(QStringLiteral("error")).toObject();
        const QJsonValue cause = error.value(QStringLiteral("cause"));
        if (cause.isArray()) {
            // The cause list wins even when it is empty: the service puts its precise
            // reason there and only a generic one in "message".
            const QJsonArray causes = cause.toArray();
            envelope.m_errorText = causes.isEmpty()
                ? QString()
                : causes.first().toObject().value(QStringLiteral("message")).toString();
        } else if (error.contains(QStringLiteral("message"))) {
            envelope.m_errorText = error.value(QStringLiteral("message")).toString();
        }
        // An error must never read as success: when no rule gives a text (an
        // empty cause list, a cause without a message, an empty message), the
        // generic one stands in.
        if (envelope.m_errorText.isEmpty())
            envelope.m_errorText = QStringLiteral("Unknown error message");
        return envelope;
    }

    envelope.m_outcome = Outcome::InvalidStatus;
    envelope.m_errorText = QStringLiteral("Invalid status: %1").arg(envelope.m_status);
    return envelope;
}

QString ServiceEnvelope::describeReply(const QByteArray &body, int httpStatus, const QString &contentType)
{
    QStringList parts;
    parts << (httpStatus > 0 ? QStringLiteral("HTTP %1").arg(httpStatus) : QStringLiteral("no HTTP status"));
    parts << (contentType.isEmpty() ? QStringLiteral("no content type") : contentType);
    parts << QStringLiteral("%1 bytes").arg(body.size());

    QString what;
    const int nul = body.indexOf('\0');
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(nul < 0 ? body : body.left(nul), &parseError);
    if (body.isEmpty()) {
        what = QStringLiteral("an empty body");
    } else if (parseError.error != QJsonParseError::NoError) {
        what = QStringLiteral("not JSON (%1 at %2)").arg(parseError.errorString()).arg(parseError.offset);
    } else if (!document.isObject()) {
        what = QStringLiteral("JSON, but not an object");
    } else {
        const QJsonValue status
            = document.object().value(QStringLiteral("meta")).toObject().value(QStringLiteral("status"));
        if (status.isUndefined())
            what = QStringLiteral("JSON without a status");
        else if (!status.isString())
            what = QStringLiteral("JSON whose status is not a text");
        else
            what = QStringLiteral("JSON with the unknown status \"%1\"").arg(status.toString().left(40));
    }

    // A gateway's or proxy's page usually says in its title what went wrong.
    static const QRegularExpression titleTag(QStringLiteral("<title[^>]*>([^<]*)</title>"),
                                             QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch title = titleTag.match(QString::fromUtf8(body.left(4096)));
    if (title.hasMatch()) {
        const QString text = title.captured(1).simplified().left(80);
        if (!text.isEmpty())
            what += QStringLiteral(", page \"%1\"").arg(text);
    }
    return parts.join(QStringLiteral(", ")) + QStringLiteral(": ") + what;
}
