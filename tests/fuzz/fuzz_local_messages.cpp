// Arbitrary bytes from a local-socket peer, delivered in reads of varying size:
// the reader must take only whole messages, and the messages it takes must be
// exactly the bytes it consumed, written again by the encoder.
#include "localmessage.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    // The first byte sets the size of each read (1 to 256 bytes).
    const int chunk = int(data[0]) + 1;
    const QByteArray bytes(reinterpret_cast<const char *>(data + 1), int(size - 1));
    LocalMessageReader reader;
    QByteArray rewritten;
    QString text;
    for (int offset = 0; offset < bytes.size(); offset += chunk) {
        reader.feed(bytes.mid(offset, chunk));
        while (reader.next(&text)) {
            if (text.size() > LocalMessage::maximumLength)
                __builtin_trap();
            rewritten += LocalMessage::encode(text);
        }
    }
    // Everything taken is written back byte for byte.
    const int consumed = bytes.size() - reader.pending();
    if (!reader.failed() && rewritten != bytes.left(consumed))
        __builtin_trap();
    return 0;
}
