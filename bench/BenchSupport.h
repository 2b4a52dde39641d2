// Helpers shared by the benchmarks that run the real tools on working copies made once in the
// temporary folder.
#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <vector>

namespace BenchSupport {

inline bool runQuietly(
    const QString &program, const QStringList &arguments, const QString &folder, QByteArray *output = nullptr)
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(program, arguments);
    process.waitForFinished(-1);
    if (output)
        *output = process.readAllStandardOutput();
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// The bare tool as the loader runs it: its whole output read through a pipe.
inline double secondsOfBareRun(const QString &program, const QStringList &arguments, const QString &folder)
{
    QElapsedTimer clock;
    clock.start();
    QByteArray output;
    runQuietly(program, arguments, folder, &output);
    return clock.nsecsElapsed() / 1e9;
}

// The middle value (the mean of the two middle ones for an even count); 0 for none.
inline double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// CPU time (user and system) of this process, all its threads, or of its children that have ended.
inline double cpuSeconds(int who = RUSAGE_SELF)
{
    rusage usage{};
    getrusage(who, &usage);
    const auto seconds = [](const timeval &time) { return double(time.tv_sec) + double(time.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

inline void writeText(const QString &path, const QByteArray &text)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(text);
}

// git run with an identity of its own, so commits work without any user configuration.
inline bool runGit(const QStringList &arguments, const QString &repository)
{
    const QStringList identity{QStringLiteral("-c"), QStringLiteral("user.name=Bench"), QStringLiteral("-c"),
        QStringLiteral("user.email=bench@example.com")};
    return runQuietly(QStringLiteral("git"), identity + arguments, repository);
}

// A 5 ms timer on the UI thread that records how late it fires: the longest stretch the UI thread was
// busy while it runs.
class StallWatch {
public:
    StallWatch()
    {
        m_ticker.setInterval(5);
        QObject::connect(&m_ticker, &QTimer::timeout, [this] {
            m_worst = std::max(m_worst, m_sinceTick.elapsed() - 5);
            m_sinceTick.restart();
        });
    }
    void start()
    {
        m_sinceTick.start();
        m_ticker.start();
    }
    void stop() { m_ticker.stop(); }
    qint64 worstMs() const { return m_worst; }

private:
    QTimer m_ticker;
    QElapsedTimer m_sinceTick;
    qint64 m_worst = 0;
};

// Resident memory of this process from /proc/self/status, in bytes: "VmRSS" now, "VmHWM" the peak
// since the last resetPeakResident().
inline qint64 residentField(const char *name)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(name))
            return line.mid(qstrlen(name) + 1).trimmed().split(' ').value(0).toLongLong() * 1024;
    }
    return 0;
}

inline qint64 residentBytes()
{
    return residentField("VmRSS");
}

inline qint64 peakResidentBytes()
{
    return residentField("VmHWM");
}

inline void resetPeakResident()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

} // namespace BenchSupport
