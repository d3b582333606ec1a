#pragma once

#include "platform/serverdirectory.h"
#include "platform/workstationinfo.h"

#include <QtCore/QCommandLineParser>
#include <QtCore/QDir>
#include <QtCore/QElapsedTimer>
#include <QtCore/QFile>
#include <QtCore/QSettings>
#include <QtCore/QStandardPaths>
#include <QtCore/QTemporaryDir>
#include <QtCore/QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <vector>

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>
#include <sys/resource.h>

namespace korva::bench {

// A memory figure of this process from /proc, in bytes ("VmHWM:" peak, "VmRSS:" now).
inline qint64 statusBytes(const char *key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(qsizetype(qstrlen(key))).trimmed().split(' ').value(0).toLongLong() * 1024;
    return 0;
}
inline qint64 peakRss() { return statusBytes("VmHWM:"); }
inline qint64 currentRss() { return statusBytes("VmRSS:"); }

// The benchmark's command line: --root (a demo installation to reuse, else a
// temporary one) and one size option. Returns the root folder.
inline QString parseDemoRoot(QCoreApplication &app, const QTemporaryDir &temp, const QCommandLineOption &size,
                             QString *sizeValue)
{
    QCommandLineParser p;
    p.addOption({QStringLiteral("root"), QStringLiteral("demo installation folder (reused when present)"),
                 QStringLiteral("dir")});
    p.addOption(size);
    p.addHelpOption();
    p.process(app);
    *sizeValue = p.value(size);
    return p.isSet(QStringLiteral("root")) ? p.value(QStringLiteral("root")) : temp.path() + QStringLiteral("/demo");
}

// Keeps settings and the registry file of a benchmark run in its own folder.
inline void isolate(const QString &folder)
{
    QStandardPaths::setTestModeEnabled(true);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder + QStringLiteral("/settings"));
    qputenv("KORVA_HKLM", (folder + QStringLiteral("/HKLM.reg")).toLocal8Bit());
}

// The machine's load over the last minute (/proc/loadavg), printed beside
// the figures of a shared machine; -1 when it cannot be read.
inline double oneMinuteLoad()
{
    QFile f(QStringLiteral("/proc/loadavg"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    bool ok = false;
    const double load = f.readAll().split(' ').value(0).toDouble(&ok);
    return ok ? load : -1;
}
inline QString loadAverage() { return QString::number(oneMinuteLoad(), 'f', 2); }

inline double ms(qint64 ns) { return double(ns) / 1e6; }

// Page faults of this process so far that needed no disk (each a first touch
// of a page of memory).
inline long minorFaults()
{
    struct rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

// Figures in the order they were taken, "12.3 45.6 ...", in milliseconds
// (or as they are, for counts).
inline QString inOrder(const std::vector<qint64> &v, bool nanoseconds = true)
{
    QString s;
    for (qint64 x : v)
        s += (nanoseconds ? QString::number(ms(x), 'f', 1) : QString::number(x)) + u' ';
    return s.trimmed();
}

// The middle of a run of figures (0 for none).
inline qint64 median(std::vector<qint64> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// The processors this process may use, as the benchmark started.
inline const std::vector<int> &allowedProcessors()
{
    static const std::vector<int> cpus = [] {
        std::vector<int> all;
        cpu_set_t allowed;
        if (sched_getaffinity(0, sizeof allowed, &allowed) == 0)
            for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
                if (CPU_ISSET(cpu, &allowed))
                    all.push_back(cpu);
        return all;
    }();
    return cpus;
}

// Lets thread `tid` (0: the calling one) run on processor `cpu` only, or on
// every allowed one again when cpu < 0.
inline bool pinThread(pid_t tid, int cpu)
{
    cpu_set_t set;
    CPU_ZERO(&set);
    if (cpu >= 0)
        CPU_SET(cpu, &set);
    else
        for (int each : allowedProcessors())
            CPU_SET(each, &set);
    return sched_setaffinity(tid, sizeof set, &set) == 0;
}

// The processors of a machine need not be equally fast (those of a virtual
// machine are often not, and which one is the slower changes by the minute).
// A baseline is the least time its work takes here: it is run pinned to each
// processor this process may use in turn, and the shortest time counts.
// `run` returns its time in nanoseconds.
template<class Run>
std::vector<qint64> onEachProcessor(Run &&run)
{
    std::vector<qint64> times;
    for (int cpu : allowedProcessors())
        if (pinThread(0, cpu))
            times.push_back(run());
    pinThread(0, -1);
    if (times.empty())
        times.push_back(run());
    return times;
}

template<class Run>
qint64 onFastestProcessor(Run &&run)
{
    const std::vector<qint64> times = onEachProcessor(run);
    return *std::min_element(times.begin(), times.end());
}

// Processor time each of this process's threads named `name` (as /proc shows
// it, "rowThreads" for the row loader's) has had so far, by thread id, in ns.
inline std::map<pid_t, qint64> threadTimes(const QByteArray &name)
{
    std::map<pid_t, qint64> times;
    const QString tasks = QStringLiteral("/proc/self/task/");
    for (const QString &tid : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks + tid + QStringLiteral("/comm"));
        QFile stat(tasks + tid + QStringLiteral("/schedstat"));
        if (comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == name && stat.open(QIODevice::ReadOnly))
            times[pid_t(tid.toInt())] = stat.readAll().split(' ').value(0).toLongLong();
    }
    return times;
}

// The same for work on threads of the program's own (the row loader's):
// run() once with every thread named `name` pinned to each processor in
// turn, the calling thread left free as the program leaves its windows'
// thread. Answers each run's time in processor order, or -1 for a run whose
// work went to a thread that was not pinned (one started during it).
template<class Run>
std::vector<qint64> withThreadsOnEachProcessor(const QByteArray &name, Run &&run)
{
    std::vector<qint64> times;
    for (int cpu : allowedProcessors()) {
        std::map<pid_t, qint64> before = threadTimes(name);
        for (const auto &[tid, ns] : before)
            pinThread(tid, cpu);
        const qint64 ns = run();
        qint64 elsewhere = 0;
        for (const auto &[tid, now] : threadTimes(name)) {
            if (before.count(tid) == 0)
                elsewhere += now;
            else
                pinThread(tid, -1);
        }
        times.push_back(before.empty() || elsewhere > ns / 10 ? -1 : ns);
    }
    return times;
}

// Rounds of figures taken on each processor: a baseline's and a run's.
struct PerProcessor
{
    std::vector<std::vector<qint64>> baseline{allowedProcessors().size()}, run{allowedProcessors().size()};
    bool allPinned = true;

    // Keeps one round's figures, in processor order; answers the run's time
    // on the fastest processor, or `otherwise` when no run could be pinned.
    qint64 add(const std::vector<qint64> &baselineEach, const std::vector<qint64> &runEach, qint64 otherwise)
    {
        qint64 best = -1;
        for (std::size_t i = 0; i < run.size() && i < runEach.size() && i < baselineEach.size(); ++i) {
            baseline[i].push_back(baselineEach[i]);
            run[i].push_back(runEach[i]);
            allPinned = allPinned && runEach[i] >= 0;
            if (runEach[i] >= 0 && (best < 0 || runEach[i] < best))
                best = runEach[i];
        }
        return best < 0 ? otherwise : best;
    }
    // A line per processor: its runs (`what`), its baselines, the ratio of their medians.
    void print(const char *what) const
    {
        for (std::size_t i = 0; i < run.size(); ++i)
            std::printf("  on processor %-3d            %s %s ms; baseline %s ms; ratio of medians %.2f\n",
                        allowedProcessors()[i], what, qPrintable(inOrder(run[i])), qPrintable(inOrder(baseline[i])),
                        double(median(run[i])) / double(median(baseline[i])));
    }
};

// Time the calling thread has so far spent waiting for a processor while
// ready to run, in ns (the second figure of its schedstat); -1 when unknown.
inline qint64 waitedForProcessor(int fd)
{
    char text[96];
    const ssize_t n = fd < 0 ? -1 : ::pread(fd, text, sizeof text - 1, 0);
    if (n <= 0)
        return -1;
    text[n] = 0;
    unsigned long long running = 0, waiting = 0;
    return std::sscanf(text, "%llu %llu", &running, &waiting) == 2 ? qint64(waiting) : -1;
}

// Runs start(), then the event loop while loading() holds; a 1 ms timer
// measures the longest time the loop was kept from its work. Answers that
// longest pause, and the whole time in elapsedNs; in waitedNs, how much of
// that pause the thread was ready but waiting for a processor (another
// thread had it), as against doing work of its own.
inline qint64 longestPause(const std::function<bool()> &loading, const std::function<void()> &start, qint64 *elapsedNs,
                           qint64 *waitedNs = nullptr)
{
    const int self = ::open("/proc/thread-self/schedstat", O_RDONLY | O_CLOEXEC);
    QElapsedTimer since;
    qint64 longest = 0;
    qint64 waitedAtStart = 0, waitedInLongest = 0;
    auto endOfPause = [&] {
        const qint64 waited = waitedForProcessor(self);
        const qint64 ns = since.nsecsElapsed();
        if (ns > longest) {
            longest = ns;
            waitedInLongest = waited >= 0 && waitedAtStart >= 0 ? waited - waitedAtStart : -1;
        }
        waitedAtStart = waited;
        since.restart();
    };
    QTimer tick;
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, endOfPause);
    QElapsedTimer all;
    all.start();
    start();
    waitedAtStart = waitedForProcessor(self);
    since.start();
    tick.start();
    while (loading())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    endOfPause();
    *elapsedNs = all.nsecsElapsed();
    if (waitedNs)
        *waitedNs = waitedInLongest;
    if (self >= 0)
        ::close(self);
    return longest;
}

// The longest pauses of several runs, each with the part of it the thread
// waited for a processor.
struct Pauses
{
    std::vector<qint64> ns, waited;

    // One run measured by longestPause, kept; answers its longest pause.
    qint64 measure(const std::function<bool()> &loading, const std::function<void()> &start, qint64 *elapsedNs)
    {
        qint64 waitedNs = 0;
        ns.push_back(longestPause(loading, start, elapsedNs, &waitedNs));
        waited.push_back(waitedNs);
        return ns.back();
    }
    qint64 longest() const { return ns.empty() ? 0 : *std::max_element(ns.begin(), ns.end()); }
    std::size_t count() const { return ns.size(); }
    // "; of it 1.2 ms waiting for a processor", for the longest.
    QString waitedInLongest() const
    {
        if (ns.empty())
            return {};
        const qint64 w = waited[std::size_t(std::max_element(ns.begin(), ns.end()) - ns.begin())];
        return w < 0 ? QString() : QStringLiteral("; of it %1 ms waiting for a processor").arg(ms(w), 0, 'f', 1);
    }
};

} // namespace korva::bench
