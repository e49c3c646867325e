#include "logredaction.h"

#include <QRegularExpression>

#include <QJsonArray>
#include <QJsonObject>
#include <QSet>
#include <QUrlQuery>

namespace LogRedaction {

QString mask()
{
    return QStringLiteral("***");
}

bool isSecretKey(const QString &name)
{
    static const QSet<QString> secrets = {
        QStringLiteral("auth_token"),    QStringLiteral("token"),      QStringLiteral("password"),
        QStringLiteral("code"),          QStringLiteral("passphrase"), QStringLiteral("access_token"),
        QStringLiteral("refresh_token"),
    };
    return secrets.contains(name.toLower());
}

QString redactedUrl(const QUrl &url)
{
    if (!url.hasQuery())
        return url.toString();

    const QUrlQuery query(url);
    QUrlQuery masked;
    const auto items = query.queryItems(QUrl::FullyEncoded);
    for (const auto &item : items) {
        const QString key = QUrl::fromPercentEncoding(item.first.toUtf8());
        masked.addQueryItem(item.first, isSecretKey(key) ? mask() : item.second);
    }
    QUrl copy(url);
    copy.setQuery(masked.query(QUrl::FullyEncoded), QUrl::StrictMode);
    return copy.toString();
}

QString redactedAddressText(const QString &text)
{
    // A key after any separator an address or option list uses, percent-encoded
    // or not. A secret's value is masked whole, blanks and all: it ends only at
    // the next "&", at a quote around the address, or at the end of the line.
    static const QRegularExpression item(QStringLiteral("([?&;,])([A-Za-z0-9_%]+)="));
    static const QRegularExpression valueEnd(QStringLiteral("[&\\n\\r\"']"));
    QString result;
    int last = 0;
    auto it = item.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        if (match.capturedStart() < last)
            continue; // inside a value already masked
        if (!isSecretKey(QUrl::fromPercentEncoding(match.captured(2).toUtf8())))
            continue;
        const int valueStart = match.capturedEnd();
        int valueStop = text.indexOf(valueEnd, valueStart);
        if (valueStop < 0)
            valueStop = text.size();
        result += text.midRef(last, valueStart - last);
        result += mask();
        last = valueStop;
    }
    result += text.midRef(last);
    return result;
}

QString redactedText(const QString &text, const QUrl &url)
{
    QString result = text;
    if (!url.hasQuery())
        return result;
    const QString redacted = redactedUrl(url);
    for (const QString &form : {url.toString(), url.toString(QUrl::FullyEncoded), url.toDisplayString()}) {
        if (!form.isEmpty())
            result.replace(form, redacted);
    }
    return result;
}

QJsonValue redactedJson(const QJsonValue &value)
{
    if (value.isObject()) {
        QJsonObject object = value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it) {
            if (isSecretKey(it.key()) && !it.value().isNull())
                it.value() = mask();
            else if (it.value().isObject() || it.value().isArray())
                it.value() = redactedJson(it.value());
        }
        return object;
    }
    if (value.isArray()) {
        QJsonArray array = value.toArray();
        for (int i = 0; i < array.size(); ++i)
            array[i] = redactedJson(array.at(i));
        return array;
    }
    return value;
}

QString redactedCompactJson(const QJsonDocument &document)
{
    if (document.isObject() && document.object().value(QStringLiteral("meta")).isObject()) {
        // A service envelope: secrets travel in what it carries, while "meta"
        // holds the status, paging and error codes, kept for diagnosis (an
        // error's "code": 500 is no secret).
        QJsonObject object = document.object();
        for (auto it = object.begin(); it != object.end(); ++it) {
            if (it.key() == QLatin1String("meta"))
                continue;
            if (isSecretKey(it.key()) && !it.value().isNull())
                it.value() = mask();
            else
                it.value() = redactedJson(it.value());
        }
        return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
    }
    if (document.isObject())
        return QString::fromUtf8(
            QJsonDocument(redactedJson(document.object()).toObject()).toJson(QJsonDocument::Compact));
    if (document.isArray())
        return QString::fromUtf8(
            QJsonDocument(redactedJson(document.array()).toArray()).toJson(QJsonDocument::Compact));
    return QString::fromUtf8(document.toJson(QJsonDocument::Compact));
}

} // namespace LogRedaction
