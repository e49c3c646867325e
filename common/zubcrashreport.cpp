#include "zubcrashreport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <execinfo.h>
#include <fcntl.h>
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
volatile sig_atomic_t sHandling = 0;

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
    if (sHandling) {
        // A fault while reporting: give up at once with the default action.
        std::signal(signal, SIG_DFL);
        raise(signal);
        return;
    }
    sHandling = 1;

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
    case SIGSEGV:
        return nearStackPointer ? "EXCEPTION_STACK_OVERFLOW" : "EXCEPTION_ACCESS_VIOLATION";
    case SIGBUS:
        return code == BUS_ADRALN ? "EXCEPTION_DATATYPE_MISALIGNMENT" : "EXCEPTION_IN_PAGE_ERROR";
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
    case SIGTRAP:
        return code == TRAP_TRACE ? "EXCEPTION_SINGLE_STEP" : "EXCEPTION_BREAKPOINT";
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
    copyText(sCrashFolder, sizeof(sCrashFolder), crashFolder.isEmpty()
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

    // Load the unwinder now: its first use may allocate.
    void *warmUp[2];
    backtrace(warmUp, 2);

    // The alternate stack, so the handler still runs when the stack is exhausted.
    static void *alternate = std::malloc(alternateStackSize);
    stack_t stack{};
    stack.ss_sp = alternate;
    stack.ss_size = alternateStackSize;
    sigaltstack(&stack, nullptr);

    struct sigaction action{};
    action.sa_sigaction = onFatalSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (int signal : fatalSignals)
        sigaction(signal, &action, nullptr);
}

void showCrashMessage(const char *logPath, bool written)
{
    // Not waited for: the message stays up after this process has ended, and the
    // system reaps it then.
    char *arguments[] = {sReporter, const_cast<char *>("--show-message"),
                         const_cast<char *>(written ? "written" : "not-written"),
                         const_cast<char *>(logPath), sApplication, nullptr};
    if (spawnProcess() == 0) {
        execve(sReporter, arguments, environ);
        _exit(127);
    }
}

} // namespace zubCrashReport
