#pragma once
// Small measuring aids shared by the benchmarks.

#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <ctime>
#include <vector>

// Resident memory now and at its peak, in MB, from /proc/self/status.
inline double ResidentMb(const char* key = "VmRSS:")
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(int(qstrlen(key))).trimmed().split(' ').first().toDouble() / 1024.0;
    return -1;
}

inline double Median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The CPU time of the whole process so far, in ms.
inline double ProcessCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// The time F takes, in ms: wall-clock, or with TRESMOL_BENCH_CLOCK=cpu the CPU time of
// the process, every thread counted (a large table is read on two), which a machine
// shared with other work disturbs far less.
template <typename F> double TimeMs(F&& f)
{
    static const bool cpu = qgetenv("TRESMOL_BENCH_CLOCK") == "cpu";
    if (cpu) {
        timespec a{}, b{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &a);
        f();
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &b);
        return double(b.tv_sec - a.tv_sec) * 1e3 + double(b.tv_nsec - a.tv_nsec) / 1e6;
    }
    QElapsedTimer t;
    t.start();
    f();
    return t.nsecsElapsed() / 1e6;
}
