// Arbitrary text as the player layer's inputs: stream addresses (built from
// service records), player messages to classify and redact, and colour settings
// read from disk.
#include "avplayer.h"
#include "logredaction.h"

#include <cstddef>
#include <cstdint>

using namespace OrvaneAV;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    // Integers become enums only inside their ranges, as the viewer's colour
    // tables give them (an out-of-range enum value is itself undefined).
    const int space = int(data[0]) % (int(ColorSpace_HLG) + 1);
    const int range = int(data[1]) % (int(ColorRange_Full) + 1);
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data + 2), int(size - 2));

    const QString address = AVPlayer::engineAddress(text);
    // Only an SRT query's latency values change; everything else stays as given.
    if (!text.startsWith(QLatin1String("srt://"), Qt::CaseInsensitive) && address != text)
        __builtin_trap();
    if (address.count(QLatin1Char('&')) != text.count(QLatin1Char('&')))
        __builtin_trap();
    const int query = text.indexOf(QLatin1Char('?'));
    if (query >= 0 && address.left(query + 1) != text.left(query + 1))
        __builtin_trap();

    const QString filter = AVPlayer::colorFilter(ColorSpace(space), ColorRange(range));
    if (!filter.isEmpty() && !filter.startsWith(QLatin1String("format=")))
        __builtin_trap();

    const QStringList lines = text.split(QLatin1Char('\n'));
    const AVError failure = AVPlayer::classifyFailure(lines.first(), data[0] & 1, data[1] & 1, lines.mid(1));
    if (failure.error() == AVError::NoError || failure.string().isEmpty())
        __builtin_trap();
    LogRedaction::redactedAddressText(text);
    return 0;
}
