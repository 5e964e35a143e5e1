#pragma once
// Timing for the benchmarks: operations and the floors they are compared with
// run in interleaved rounds, so that both see the same machine load, and every
// timed piece starts from a settled event queue. Whatever an operation leaves
// pending (repaints, deferred deletes) is drained after its clock stops, so it
// never lands in the next clock.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QList>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <utility>

inline void Settle()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
}

// CPU time of the whole process (every thread), which other programs on a
// busy machine inflate far less than the wall clock.
inline double CpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// CPU time of the calling thread alone: what it spends, not what other
// threads or the machine's other load take meanwhile.
inline double ThreadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

inline double Median(QList<double> times)
{
    if (times.isEmpty())
        return 0;
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Named pieces of work timed round by round; the first warmUp rounds are not
// counted. A piece may have a preparation (tearing down what the previous
// round left) that runs before the events are drained, outside the clock.
class Rounds
{
public:
    void add(const QString &name, std::function<void()> work, std::function<void()> prepare = {})
    {
        m_work.append({name, std::move(work)});
        m_prepare.append(std::move(prepare));
    }

    void run(int rounds, int warmUp = 1)
    {
        m_times = QList<QList<double>>(m_work.size());
        m_cpu = QList<QList<double>>(m_work.size());
        for (int r = 0; r < rounds + warmUp; ++r) {
            for (int i = 0; i < m_work.size(); ++i) {
                if (m_prepare[i])
                    m_prepare[i]();
                Settle();
                QElapsedTimer t;
                const double cpu = CpuMs();
                t.start();
                m_work[i].second();
                const double ms = t.nsecsElapsed() / 1e6;
                if (r >= warmUp) {
                    m_times[i] << ms;
                    m_cpu[i] << CpuMs() - cpu;
                }
            }
        }
        Settle();
    }

    // Median wall-clock milliseconds.
    double median(const QString &name) const { return Median(m_times.value(indexOf(name))); }
    // Median CPU milliseconds.
    double cpu(const QString &name) const { return Median(m_cpu.value(indexOf(name))); }

    // Median over the rounds of the pieces' sum (an operation's floor made of
    // several pieces timed one by one).
    double medianOfSum(const QStringList &names, bool cpuTime = false) const
    {
        QList<double> sums;
        for (const QString &name : names) {
            const QList<double> &times = (cpuTime ? m_cpu : m_times)[indexOf(name)];
            if (sums.isEmpty())
                sums = QList<double>(times.size(), 0.0);
            for (int r = 0; r < times.size(); ++r)
                sums[r] += times[r];
        }
        return Median(sums);
    }

    // The operation, its floor, both ratios (wall clock and CPU time).
    void print(const char *what, const QString &op, const char *floorWhat, const QString &floor,
               const char *target) const
    {
        PrintComparison(what, median(op), cpu(op), floorWhat, median(floor), cpu(floor), target);
    }

    static void PrintComparison(const char *what, double w, double c, const char *floorWhat, double wf, double cf,
                                const char *target)
    {
        std::printf("  %s: %.2f ms (cpu %.2f)\n    vs %s: %.2f ms (cpu %.2f)\n"
                    "    ratio %.2f (cpu %.2f) to the floor: %s   %s\n",
                    what, w, c, floorWhat, wf, cf, wf > 0 ? w / wf : 0.0, cf > 0 ? c / cf : 0.0, floorWhat, target);
    }

private:
    int indexOf(const QString &name) const
    {
        for (int i = 0; i < m_work.size(); ++i)
            if (m_work[i].first == name)
                return i;
        return -1;
    }

    QList<std::pair<QString, std::function<void()>>> m_work;
    QList<std::function<void()>> m_prepare;
    QList<QList<double>> m_times;
    QList<QList<double>> m_cpu;
};
