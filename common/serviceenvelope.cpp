#include "serviceenvelope.h"

#include <QJsonArray>

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
