#ifndef GUITHREADPROBE_H
#define GUITHREADPROBE_H

// What the GUI-thread benchmarks measure, in one place: the thread's own CPU
// time, how late a 10 ms timer runs (how responsive the thread stays), and one
// JSON line per figure.
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>
#include <ctime>

inline double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
}

inline void printFigure(const char *bench, const char *name, double value, const char *unit)
{
    std::printf("{\"bench\": \"%s\", \"figure\": \"%s\", \"value\": %.2f, \"unit\": \"%s\"}\n", bench, name, value,
                unit);
    std::fflush(stdout);
}

// A 10 ms timer on the thread it is made on; worstLateness() is the longest it
// fired after its time.
class LatenessProbe
{
public:
    LatenessProbe()
    {
        m_tick.start();
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout,
                         [this] { m_worst = qMax(m_worst, double(m_tick.restart()) - 10.0); });
        m_timer.start(10);
    }
    void stop() { m_timer.stop(); }
    double worstLateness() const { return m_worst; }

private:
    QElapsedTimer m_tick;
    QTimer m_timer;
    double m_worst = 0;
};

#endif // GUITHREADPROBE_H
