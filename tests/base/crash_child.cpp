// Installs the crash handler and crashes on purpose in the way its first
// argument names: null, divide, abort, illegal or overflow; thread-null and
// thread-overflow on a second thread; two-threads, a null pointer and a division
// by zero on two threads at the same moment.
//   crash_child MODE CRASH_FOLDER REPORTER CALLBACK_FILE
#include "zubcrashreport.h"

#include <QCoreApplication>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <thread>
#include <vector>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

char callbackFile[4096];

// Async-signal-safe: records what the handler reported, then shows the message.
void onLogWritten(const char *path, bool written)
{
    // Appended, so that a second call would show.
    const int file = open(callbackFile, O_WRONLY | O_CREAT | O_APPEND, 0600);
    if (file >= 0) {
        const char *state = written ? "written|" : "not-written|";
        (void)!write(file, state, std::strlen(state));
        (void)!write(file, path, std::strlen(path));
        close(file);
    }
    zubCrashReport::showCrashMessage(path, written);
}

} // namespace

__attribute__((noinline)) void crashByNullPointer(volatile int *target)
{
    *target = 1;
}

__attribute__((noinline)) int crashByDivision(int divisor)
{
    volatile int dividend = 100;
    return dividend / divisor;
}

__attribute__((noinline)) void crashByAbort()
{
    std::abort();
}

__attribute__((noinline)) void crashByIllegalInstruction()
{
    __builtin_trap();
}

__attribute__((noinline)) int crashByRecursion(int depth)
{
    volatile char frame[2048];
    if (depth < 0)
        return 0;
    frame[depth % sizeof(frame)] = char(depth);
    return crashByRecursion(depth + 1) + frame[0];
}

// Starts the threads, lets them go at once, and waits (each one crashes).
void onThreads(std::initializer_list<std::function<void()>> crashes)
{
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (const std::function<void()> &crash : crashes) {
        threads.emplace_back([&ready, crash, count = int(crashes.size())] {
            ready.fetch_add(1);
            while (ready.load() < count) {
            }
            crash();
        });
    }
    for (std::thread &thread : threads)
        thread.join();
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    app.setApplicationName("CrashChild");
    app.setApplicationVersion("2.5.1");
    if (argc < 5)
        return 2;
    std::strncpy(callbackFile, argv[4], sizeof(callbackFile) - 1);
    zubCrashReport::setReporterPath(QString::fromLocal8Bit(argv[3]));
    zubCrashReport::setSignalHandler(QString::fromLocal8Bit(argv[2]), onLogWritten);

    const QString mode = QString::fromLocal8Bit(argv[1]);
    volatile int zero = 0;
    if (mode == "null")
        crashByNullPointer(nullptr);
    else if (mode == "divide")
        return crashByDivision(zero);
    else if (mode == "abort")
        crashByAbort();
    else if (mode == "illegal")
        crashByIllegalInstruction();
    else if (mode == "overflow")
        return crashByRecursion(0);
    else if (mode == "thread-null")
        onThreads({[] { crashByNullPointer(nullptr); }});
    else if (mode == "thread-overflow")
        onThreads({[] { crashByRecursion(0); }});
    else if (mode == "two-threads")
        onThreads({[] { crashByNullPointer(nullptr); }, [&zero] { crashByDivision(zero); }});
    return 3;
}
