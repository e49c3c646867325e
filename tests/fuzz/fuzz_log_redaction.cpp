// Arbitrary text around an address with a secret: after redaction no secret
// value may survive, whatever characters it holds.
#include "logredaction.h"

#include <QRegularExpression>
#include <QStringList>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString input = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
    // Three parts split at the first two NUL-free "|": text before, the secret,
    // text after.
    const QStringList parts = input.split(QLatin1Char('|'));
    if (parts.size() < 3)
        return 0;
    const QString secret = parts.at(1);
    // A value ends at "&", a quote or a line break; shorter ones can match by chance.
    if (secret.size() < 6 || secret.contains(QRegularExpression(QStringLiteral("[&\"'\\n\\r]"))))
        return 0;
    const QString before = parts.at(0);
    const QString after = parts.mid(2).join(QLatin1Char('|'));
    if (before.contains(secret) || after.contains(secret))
        return 0;
    for (const QString &key : {QStringLiteral("?passphrase="), QStringLiteral("&auth_token="),
                               QStringLiteral(",password="), QStringLiteral("?pass%70hrase=")}) {
        const QString prefix = before + QStringLiteral(" srt://h:1/") + key;
        // Where the text around the value spells the secret by itself (across the
        // address put in), no redaction could hide it.
        if ((prefix + QStringLiteral("***") + after).contains(secret))
            continue;
        if (LogRedaction::redactedAddressText(prefix + secret + after).contains(secret))
            __builtin_trap();
    }
    return 0;
}
