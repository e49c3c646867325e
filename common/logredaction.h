#ifndef LOGREDACTION_H
#define LOGREDACTION_H

#include <QJsonDocument>
#include <QJsonValue>
#include <QString>
#include <QUrl>

// Secrets never reach a log file. Request URLs carry the auth token, and sign-in
// URLs the password or login code, as query items; replies carry new tokens and
// stream passphrases. These helpers produce the text written to the log, with
// every such value replaced by "***". The request itself is never altered.
namespace LogRedaction {

// The mask written in place of a secret value.
QString mask();

// True for the query item and JSON member names whose values are secret.
bool isSecretKey(const QString &name);

// The URL as full text with every secret query value masked.
QString redactedUrl(const QUrl &url);

// Replaces every occurrence of the URL's full text inside a message (for example a
// transport error description) by its redacted form.
QString redactedText(const QString &text, const QUrl &url);

// Free text (a player's log line, say) with the value of every secret query item
// masked wherever an address appears in it: "name=value" after "?", "&" or ";".
// Stream addresses are written without percent-encoding, so a value runs to the
// next "&", white space or quote.
QString redactedAddressText(const QString &text);

// A JSON value with every secret member masked, at any depth.
QJsonValue redactedJson(const QJsonValue &value);

// Compact JSON text of a document with every secret member masked; in a
// service envelope, those of what it carries ("meta" is kept as it is).
QString redactedCompactJson(const QJsonDocument &document);

} // namespace LogRedaction

#endif // LOGREDACTION_H
