#pragma once
// Small measuring aids shared by the benchmarks.

#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
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

template <typename F> double TimeMs(F&& f)
{
    QElapsedTimer t;
    t.start();
    f();
    return t.nsecsElapsed() / 1e6;
}
