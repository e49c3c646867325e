#include "srtdiagnostics.h"

#include "logcategories.h"

#include <QMutex>
#include <QMutexLocker>

#include <atomic>
#include <cstring>
#include <dlfcn.h>
#include <link.h>
#include <mutex>

namespace SrtDiagnostics {

namespace {

// The library's log interface, as every 1.4 and 1.5 release has it.
using LogHandler
    = void (*)(void *opaque, int level, const char *file, int line, const char *area, const char *message);
using SetLogHandler = void (*)(void *opaque, LogHandler handler);
using SetLogFlags = void (*)(int flags);
// Without the time, thread name, severity and line end: the log adds its own.
constexpr int plainLines = 0x1 | 0x2 | 0x4 | 0x8;

std::atomic<bool> sInstalled{false};
std::atomic<quint64> sRefusals{0};

QMutex &refusalMutex()
{
    static QMutex mutex;
    return mutex;
}

QString &lastReason()
{
    static QString reason;
    return reason;
}

// Runs on the library's own threads.
void onLibraryLine(void *, int level, const char *, int, const char *, const char *message)
{
    // Without its header the message still starts with the header's colon.
    QString line = QString::fromUtf8(message).trimmed();
    while (line.startsWith(QLatin1Char(':')))
        line = line.mid(1).trimmed();
    const QString refusal = refusalIn(line);
    if (!refusal.isEmpty()) {
        QMutexLocker lock(&refusalMutex());
        lastReason() = refusal;
        sRefusals.fetch_add(1);
    }
    // Syslog levels: 3 and below are errors, 4 warnings, 5 notices, then debug.
    if (level <= 4)
        qCWarning(lcPlayer, "SRT: %s", qPrintable(line));
    else if (level == 5)
        qCInfo(lcPlayer, "SRT: %s", qPrintable(line));
    else
        qCDebug(lcPlayer, "SRT: %s", qPrintable(line));
}

// The file name of the SRT library already in the process, if any.
QByteArray loadedLibrary()
{
    QByteArray found;
    dl_iterate_phdr(
        [](dl_phdr_info *info, size_t, void *data) {
            const char *name = info->dlpi_name;
            const char *base = name ? std::strrchr(name, '/') : nullptr;
            base = base ? base + 1 : name;
            if (base && std::strncmp(base, "libsrt", 6) == 0) {
                *static_cast<QByteArray *>(data) = name;
                return 1;
            }
            return 0;
        },
        &found);
    return found;
}

} // namespace

void install()
{
    static std::once_flag once;
    std::call_once(once, [] {
        const QByteArray library = loadedLibrary();
        if (library.isEmpty())
            return;
        // Only a library that is loaded already: the one FFmpeg uses.
        void *handle = dlopen(library.constData(), RTLD_LAZY | RTLD_NOLOAD);
        if (!handle)
            return;
        const auto setHandler = reinterpret_cast<SetLogHandler>(dlsym(handle, "srt_setloghandler"));
        const auto setFlags = reinterpret_cast<SetLogFlags>(dlsym(handle, "srt_setlogflags"));
        if (!setHandler) {
            dlclose(handle);
            return;
        }
        if (setFlags)
            setFlags(plainLines);
        setHandler(nullptr, onLibraryLine);
        sInstalled = true;
        // The handle stays open: the library must not go while it calls us.
    });
}

bool installed()
{
    return sInstalled;
}

quint64 refusalCount()
{
    return sRefusals.load();
}

QString lastRefusal()
{
    QMutexLocker lock(&refusalMutex());
    return lastReason();
}

QString refusalIn(const QString &line)
{
    const int reject = line.indexOf(QLatin1String("REJECT"));
    if (reject < 0)
        return QString();
    // The reason is the last part after a colon, before any " - " comment.
    QString reason = line.mid(reject);
    const int colon = reason.lastIndexOf(QLatin1String(": "));
    reason = colon >= 0 ? reason.mid(colon + 2) : QString();
    const int comment = reason.indexOf(QLatin1String(" - "));
    if (comment >= 0)
        reason = reason.left(comment);
    reason = reason.trimmed();
    return reason.isEmpty() ? QStringLiteral("refused") : reason;
}

} // namespace SrtDiagnostics
