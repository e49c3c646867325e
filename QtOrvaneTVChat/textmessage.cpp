#include "textmessage.h"

#include <QDebug>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>
#include <QUrlQuery>

TextMessage TextMessage::fromReceived(const QString &sender, const QString &text, double serverTimestamp)
{
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8());
    qDebug() << "Received:" << document;
    const QJsonObject json = document.object();
    TextMessage message;
    message.sender = sender;
    message.message = json.value(QLatin1String("message")).toString();
    if (message.message.isEmpty())
        message.message = text;
    message.type = json.contains(QLatin1String("type")) ? json.value(QLatin1String("type")).toString()
                                                        : QStringLiteral("normal");
    message.timestamp = serverTimestamp;
    if (message.type == QLatin1String("customURL"))
        message.customType = message.queryItem(QStringLiteral("type"));
    return message;
}

QString TextMessage::queryItem(const QString &name) const
{
    const QUrl url(message);
    if (!url.hasQuery())
        return QString();
    return QUrlQuery(url).queryItemValue(name, QUrl::FullyDecoded);
}

QString TextMessage::displayText() const
{
    if (type == QLatin1String("normal"))
        return message;
    if (type == QLatin1String("customURL") && customType == QLatin1String("shareRecording"))
        return queryItem(QStringLiteral("recordingName"));
    return QString();
}
