#include "zubcrashreport.h"

#include <QCoreApplication>
#include <QDir>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <execinfo.h>
#include <fcntl.h>
#include <new>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <ucontext.h>
#include <unistd.h>

extern char **environ;

namespace zubCrashReport {

namespace {

// Everything the handler needs, prepared at installation: no allocation later.
constexpr int maxFrames = 64;
constexpr int textSize = 4096;
constexpr std::size_t alternateStackSize = 256 * 1024;

char sReporter[textSize];
char sCrashFolder[textSize];
char sProgram[textSize];
char sApplication[512];
char sVersion[128];
logWrittenCallback sCallback = nullptr;
// The thread writing the report, 0 while none is: one report per process, and
// the buffers below belong to that thread alone.
std::atomic<pid_t> sReportingThread{0};
static_assert(std::atomic<pid_t>::is_always_lock_free, "the handler's guard must be lock-free");
// The local time's distance from UTC when the handler was installed, for the
// log's name (the time functions of the C library are not async-signal-safe).
long sUtcOffset = 0;

const int fatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGABRT};

void copyText(char *target, std::size_t size, const QString &text)
{
    const QByteArray bytes = QFile::encodeName(text);
    std::strncpy(target, bytes.constData(), size - 1);
    target[size - 1] = '\0';
}

// Async-signal-safe formatting of unsigned numbers.
char *formatNumber(char *out, unsigned long long value, int base, int width)
{
    char digits[32];
    int count = 0;
    do {
        digits[count++] = "0123456789abcdef"[value % base];
        value /= base;
    } while (value && count < 32);
    while (count < width && count < 32)
        digits[count++] = '0';
    while (count)
        *out++ = digits[--count];
    *out = '\0';
    return out;
}

// Appends text to a buffer, always leaving it terminated. Async-signal-safe.
char *appendText(char *cursor, char *end, const char *text)
{
    while (*text && cursor < end - 1)
        *cursor++ = *text++;
    *cursor = '\0';
    return cursor;
}

// "<folder>/<yyyyMMdd-HHmmss> <application> Crash.log" for now, local time.
// The reporter writes the log there; the callback gets the same path when the
// reporter cannot run. Async-signal-safe.
void formatLogPath(char *out, std::size_t size)
{
    const long long seconds = static_cast<long long>(time(nullptr)) + sUtcOffset;
    long long days = seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
    const long long secondOfDay = seconds - days * 86400;
    // Civil date from days since 1970-01-01 (proleptic Gregorian calendar).
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const long long dayOfEra = days - era * 146097;
    const long long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long long monthIndex = (5 * dayOfYear + 2) / 153;
    const long long day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    const long long month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    const long long year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);

    char stamp[32];
    char *c = formatNumber(stamp, static_cast<unsigned long long>(year), 10, 4);
    c = formatNumber(c, static_cast<unsigned long long>(month), 10, 2);
    c = formatNumber(c, static_cast<unsigned long long>(day), 10, 2);
    *c++ = '-';
    c = formatNumber(c, static_cast<unsigned long long>(secondOfDay / 3600), 10, 2);
    c = formatNumber(c, static_cast<unsigned long long>(secondOfDay / 60 % 60), 10, 2);
    formatNumber(c, static_cast<unsigned long long>(secondOfDay % 60), 10, 2);

    char *end = out + size;
    char *cursor = appendText(out, end, sCrashFolder);
    cursor = appendText(cursor, end, "/");
    cursor = appendText(cursor, end, stamp);
    cursor = appendText(cursor, end, " ");
    cursor = appendText(cursor, end, sApplication);
    appendText(cursor, end, " Crash.log");
}

// A signal stack for the calling thread, unless it has one already (the
// sanitizers give every thread theirs). Mapped, not allocated: the pages cost
// nothing until a handler runs on them.
struct AlternateStack
{
    void *memory = nullptr;

    AlternateStack()
    {
        stack_t current{};
        if (sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE))
            return;
        void *mapped = mmap(nullptr, alternateStackSize, PROT_READ | PROT_WRITE,
                            MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
        if (mapped == MAP_FAILED)
            return;
        stack_t stack{};
        stack.ss_sp = mapped;
        stack.ss_size = alternateStackSize;
        if (sigaltstack(&stack, nullptr) != 0) {
            munmap(mapped, alternateStackSize);
            return;
        }
        memory = mapped;
    }

    ~AlternateStack()
    {
        if (!memory)
            return;
        stack_t off{};
        off.ss_flags = SS_DISABLE;
        sigaltstack(&off, nullptr);
        munmap(memory, alternateStackSize);
    }

    AlternateStack(const AlternateStack &) = delete;
    AlternateStack &operator=(const AlternateStack &) = delete;
};

struct ThreadStart
{
    void *(*routine)(void *);
    void *argument;
};

// Each thread's first code: its signal stack, kept until the thread ends (also
// through pthread_exit, which runs thread-local destructors), then its routine.
void *startWithAlternateStack(void *argument)
{
    const ThreadStart start = *static_cast<ThreadStart *>(argument);
    delete static_cast<ThreadStart *>(argument);
    thread_local AlternateStack stack;
    (void)stack;
    return start.routine(start.argument);
}

void programCounter(void *context, unsigned long long *pc, unsigned long long *sp)
{
    const auto *uc = static_cast<const ucontext_t *>(context);
#if defined(__x86_64__)
    *pc = uc->uc_mcontext.gregs[REG_RIP];
    *sp = uc->uc_mcontext.gregs[REG_RSP];
#elif defined(__aarch64__)
    *pc = uc->uc_mcontext.pc;
    *sp = uc->uc_mcontext.sp;
#else
    (void)uc;
    *pc = 0;
    *sp = 0;
#endif
}

// A copy of this process that will only exec: the bare system call, because the
// C library's fork() first takes the allocator's locks, which the crash may hold,
// and vfork() shares the stack the handler is running on.
pid_t spawnProcess()
{
    return static_cast<pid_t>(syscall(SYS_clone, SIGCHLD, nullptr, nullptr, nullptr, nullptr));
}

void onFatalSignal(int signal, siginfo_t *info, void *context)
{
    const auto self = static_cast<pid_t>(syscall(SYS_gettid));
    pid_t reporting = 0;
    if (!sReportingThread.compare_exchange_strong(reporting, self)) {
        if (reporting == self) {
            // A fault while reporting: give up at once with the default action.
            std::signal(signal, SIG_DFL);
            raise(signal);
            return;
        }
        // Another thread crashed first and is writing its report; it ends the
        // process when done. This thread waits rather than ending it now.
        for (;;)
            pause();
    }

    unsigned long long pc = 0;
    unsigned long long sp = 0;
    programCounter(context, &pc, &sp);
    const unsigned long long fault = reinterpret_cast<unsigned long long>(info->si_addr);
    const unsigned long long distance = fault > sp ? fault - sp : sp - fault;
    const bool nearStack = signal == SIGSEGV && fault != 0 && distance < 64 * 1024;
    const char *name = exceptionName(signal, info->si_code, nearStack);
    const bool overflow = nearStack;

    // The frames, from the faulting one on. The stack is exhausted after an
    // overflow, so only the faulting address is reported then.
    void *frames[maxFrames];
    int count = 0;
    int first = 0;
    if (overflow) {
        frames[0] = reinterpret_cast<void *>(pc);
        count = 1;
    } else {
        count = backtrace(frames, maxFrames);
        first = count;
        for (int i = 0; i < count; ++i) {
            if (reinterpret_cast<unsigned long long>(frames[i]) == pc) {
                first = i;
                break;
            }
        }
        if (first == count) {
            // The unwinder did not pass the faulting frame: start with its address.
            frames[0] = reinterpret_cast<void *>(pc);
            first = 0;
            count = 1;
        }
    }

    static char numbers[maxFrames + 2][24];
    static char *arguments[maxFrames + 24];
    int n = 0;
    arguments[n++] = sReporter;
    arguments[n++] = const_cast<char *>("--write-log");
    arguments[n++] = const_cast<char *>("--folder");
    arguments[n++] = sCrashFolder;
    arguments[n++] = const_cast<char *>("--application");
    arguments[n++] = sApplication;
    arguments[n++] = const_cast<char *>("--version");
    arguments[n++] = sVersion;
    arguments[n++] = const_cast<char *>("--program");
    arguments[n++] = sProgram;
    arguments[n++] = const_cast<char *>("--exception");
    arguments[n++] = const_cast<char *>(name);
    static char intended[textSize];
    formatLogPath(intended, sizeof(intended));
    arguments[n++] = const_cast<char *>("--path");
    arguments[n++] = intended;
    arguments[n++] = const_cast<char *>("--pid");
    formatNumber(numbers[0], static_cast<unsigned long long>(getpid()), 10, 1);
    arguments[n++] = numbers[0];
    if (overflow)
        arguments[n++] = const_cast<char *>("--single-frame");
    arguments[n++] = const_cast<char *>("--");
    for (int i = first; i < count && i - first < maxFrames; ++i) {
        char *out = numbers[1 + i - first];
        out[0] = '0';
        out[1] = 'x';
        formatNumber(out + 2, reinterpret_cast<unsigned long long>(frames[i]), 16, 16);
        arguments[n++] = out;
    }
    arguments[n] = nullptr;

    // The reporter writes the log and answers with its path on a pipe.
    static char path[textSize];
    path[0] = '\0';
    bool written = false;
    int channel[2];
    if (pipe(channel) == 0) {
        const pid_t child = spawnProcess();
        if (child == 0) {
            close(channel[0]);
            dup2(channel[1], STDOUT_FILENO);
            close(channel[1]);
            execve(sReporter, arguments, environ);
            _exit(127);
        }
        close(channel[1]);
        if (child > 0) {
            std::size_t length = 0;
            ssize_t got = 0;
            while (length < sizeof(path) - 1
                   && (got = read(channel[0], path + length, sizeof(path) - 1 - length)) > 0)
                length += std::size_t(got);
            path[length] = '\0';
            if (length > 0 && path[length - 1] == '\n')
                path[length - 1] = '\0';
            int status = 0;
            while (waitpid(child, &status, 0) < 0) {
            }
            written = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        }
        close(channel[0]);
    }
    // Without an answer from the reporter the log was not written, and the
    // person is still told where it would have been.
    if (path[0] == '\0')
        appendText(path, path + sizeof(path), intended);

    if (sCallback)
        sCallback(path, written);

    // End with the signal, as if there had been no handler.
    std::signal(signal, SIG_DFL);
    raise(signal);
}

} // namespace

const char *exceptionName(int signal, int code, bool nearStackPointer)
{
    switch (signal) {
    case SIGSEGV: return nearStackPointer ? "EXCEPTION_STACK_OVERFLOW" : "EXCEPTION_ACCESS_VIOLATION";
    case SIGBUS: return code == BUS_ADRALN ? "EXCEPTION_DATATYPE_MISALIGNMENT" : "EXCEPTION_IN_PAGE_ERROR";
    case SIGFPE:
        switch (code) {
        case FPE_INTDIV: return "EXCEPTION_INT_DIVIDE_BY_ZERO";
        case FPE_INTOVF: return "EXCEPTION_INT_OVERFLOW";
        case FPE_FLTDIV: return "EXCEPTION_FLT_DIVIDE_BY_ZERO";
        case FPE_FLTOVF: return "EXCEPTION_FLT_OVERFLOW";
        case FPE_FLTUND: return "EXCEPTION_FLT_UNDERFLOW";
        case FPE_FLTRES: return "EXCEPTION_FLT_INEXACT_RESULT";
        case FPE_FLTINV: return "EXCEPTION_FLT_INVALID_OPERATION";
        case FPE_FLTSUB: return "EXCEPTION_ARRAY_BOUNDS_EXCEEDED";
        default: return "Unrecognized Exception";
        }
    case SIGILL:
        return code == ILL_PRVOPC || code == ILL_PRVREG ? "EXCEPTION_PRIV_INSTRUCTION"
                                                        : "EXCEPTION_ILLEGAL_INSTRUCTION";
    case SIGTRAP: return code == TRAP_TRACE ? "EXCEPTION_SINGLE_STEP" : "EXCEPTION_BREAKPOINT";
    default:
        // abort() and the like have no processor exception behind them.
        return "Unrecognized Exception";
    }
}

void setReporterPath(const QString &path)
{
    copyText(sReporter, sizeof(sReporter), path);
}

void setSignalHandler(const QString &crashFolder, logWrittenCallback callback)
{
    const QString application = QCoreApplication::applicationName();
    copyText(sApplication, sizeof(sApplication), application);
    copyText(sVersion, sizeof(sVersion), QCoreApplication::applicationVersion());
    copyText(sProgram, sizeof(sProgram), QCoreApplication::applicationFilePath());
    copyText(sCrashFolder, sizeof(sCrashFolder),
             crashFolder.isEmpty()
                 ? QStringLiteral("%1/%2 Crash Logs")
                       .arg(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation), application)
                 : crashFolder);
    if (sReporter[0] == '\0') {
        const QString beside = QCoreApplication::applicationDirPath();
        setReporterPath(QFileInfo::exists(beside + "/tools/orvane-crashreport")
                            ? beside + "/tools/orvane-crashreport"
                            : beside + "/orvane-crashreport");
    }
    sCallback = callback;
    sUtcOffset = QDateTime::currentDateTime().offsetFromUtc();

    // Load the unwinder now: its first use may allocate.
    void *warmUp[2];
    backtrace(warmUp, 2);

    // The alternate stack, so the handler still runs when the stack is exhausted.
    // Threads started from now on (and those started before, through the same
    // pthread_create below) have their own.
    static AlternateStack mainThreadStack;
    (void)mainThreadStack;

    struct sigaction action
    { };
    action.sa_sigaction = onFatalSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (int signal : fatalSignals)
        sigaction(signal, &action, nullptr);
}

namespace {

// Runs a program found on PATH; returns only when none could be run. For the
// exec'ing copy of the crashed process: async-signal-safe.
void runFromPath(const char *name, char *const arguments[])
{
    const char *paths = nullptr;
    for (char **variable = environ; variable && *variable; ++variable) {
        if (std::strncmp(*variable, "PATH=", 5) == 0)
            paths = *variable + 5;
    }
    if (!paths)
        paths = "/usr/local/bin:/usr/bin:/bin";
    static char candidate[textSize];
    while (*paths) {
        char *end = candidate + sizeof(candidate);
        char *cursor = candidate;
        while (*paths && *paths != ':' && cursor < end - 1)
            *cursor++ = *paths++;
        *cursor = '\0';
        if (*paths == ':')
            ++paths;
        if (candidate[0] == '\0')
            continue;
        cursor = appendText(cursor, end, "/");
        appendText(cursor, end, name);
        execve(candidate, arguments, environ);
    }
}

// The message without the reporter program: through a dialog tool of the
// desktop, the first of zenity, kdialog and xmessage that runs.
void showMessageWithoutReporter(const char *logPath, bool written)
{
    static char title[textSize];
    static char body[3 * textSize];
    static char zenityTitle[textSize];
    static char zenityText[3 * textSize];
    static char plain[4 * textSize];
    char *end = title + sizeof(title);
    appendText(appendText(title, end, sApplication), end, " Crashed");
    end = body + sizeof(body);
    char *cursor = appendText(body, end, "Sorry, ");
    cursor = appendText(cursor, end, sApplication);
    cursor = appendText(cursor, end,
                        written ? " has crashed. A log file was written to:\n\n"
                                : " has crashed and we could not write a log file to:\n\n");
    cursor = appendText(cursor, end, logPath);
    appendText(cursor, end,
               written ? "\n\nPlease email this to support@orvane.tv."
                       : "\n\nPlease contact support@orvane.tv.");
    appendText(appendText(zenityTitle, zenityTitle + sizeof(zenityTitle), "--title="),
               zenityTitle + sizeof(zenityTitle), title);
    appendText(appendText(zenityText, zenityText + sizeof(zenityText), "--text="),
               zenityText + sizeof(zenityText), body);
    end = plain + sizeof(plain);
    appendText(appendText(appendText(plain, end, title), end, "\n"), end, body);

    char *zenity[] = {const_cast<char *>("zenity"),
                      const_cast<char *>("--error"),
                      const_cast<char *>("--no-markup"),
                      zenityTitle,
                      zenityText,
                      nullptr};
    runFromPath("zenity", zenity);
    char *kdialog[] = {const_cast<char *>("kdialog"),
                       const_cast<char *>("--title"),
                       title,
                       const_cast<char *>("--error"),
                       body,
                       nullptr};
    runFromPath("kdialog", kdialog);
    char *xmessage[] = {const_cast<char *>("xmessage"), const_cast<char *>("-center"), plain, nullptr};
    runFromPath("xmessage", xmessage);
}

} // namespace

void showCrashMessage(const char *logPath, bool written)
{
    // Not waited for: the message stays up after this process has ended, and the
    // system reaps it then.
    char *arguments[] = {sReporter,
                         const_cast<char *>("--show-message"),
                         const_cast<char *>(written ? "written" : "not-written"),
                         const_cast<char *>(logPath),
                         sApplication,
                         nullptr};
    if (spawnProcess() == 0) {
        execve(sReporter, arguments, environ);
        // The reporter is missing or cannot run: the message must still be seen.
        showMessageWithoutReporter(logPath, written);
        _exit(127);
    }
}

} // namespace zubCrashReport

// Every thread of a program that links the crash handler starts through here,
// whoever creates it (the toolkit, the player, GLib): a stack overflow on any
// thread is only reported when that thread has a signal stack of its own. The
// definition in the program takes the place of the C library's for every
// library it loads; the next definition (the C library's, or a sanitizer's in
// front of it) does the work.
extern "C" int pthread_create(pthread_t *thread, const pthread_attr_t *attributes, void *(*routine)(void *),
                              void *argument)
{
    using Create = int (*)(pthread_t *, const pthread_attr_t *, void *(*)(void *), void *);
    static const auto next = reinterpret_cast<Create>(dlsym(RTLD_NEXT, "pthread_create"));
    if (!next)
        return EAGAIN;
    auto *start = new (std::nothrow) zubCrashReport::ThreadStart{routine, argument};
    if (!start)
        return next(thread, attributes, routine, argument);
    const int result = next(thread, attributes, zubCrashReport::startWithAlternateStack, start);
    if (result != 0)
        delete start;
    return result;
}
