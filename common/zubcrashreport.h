#ifndef ZUBCRASHREPORT_H
#define ZUBCRASHREPORT_H

#include <QString>

// Crash reporting: turns a fatal signal (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP,
// SIGABRT) into a plain-text crash log with a symbolised stack trace, then tells
// the program through its callback and lets the process end with the signal.
//
// What runs in the crashed process is async-signal-safe: the handler runs on an
// alternate stack (so a stack overflow is caught too), takes the frame addresses,
// and hands them to the reporter program (orvane-crashreport), which resolves them
// with GNU addr2line, demangles them and writes the log while the crashed process
// waits.
namespace zubCrashReport {

// Called inside the crash handler with the log's path and whether it was written.
// It must itself be async-signal-safe; showCrashMessage() is.
using logWrittenCallback = void (*)(const char *logPath, bool written);

// Installs the handler. An empty folder means "<desktop>/<application> Crash Logs".
// Call on the main thread after the application's name and version are set.
void setSignalHandler(const QString &crashFolder, logWrittenCallback callback);

// Where the reporter program is; by default "tools/orvane-crashreport" beside the
// program, else "orvane-crashreport" beside it.
void setReporterPath(const QString &path);

// Shows the crash message (in a separate process, so the user still sees it after
// this one has ended). Async-signal-safe.
void showCrashMessage(const char *logPath, bool written);

// The name of a fatal signal in the crash log, after the closest processor
// exception; a fault address near the stack pointer is a stack overflow.
const char *exceptionName(int signal, int code, bool nearStackPointer);

} // namespace zubCrashReport

#endif // ZUBCRASHREPORT_H
