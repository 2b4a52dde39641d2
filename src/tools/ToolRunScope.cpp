#include "ToolRunScope.h"

#include <QDeadlineTimer>
#include <QProcess>

#include <csignal>
#include <sys/types.h>

namespace {

// Each child leads a session of its own, so its process group also holds the helpers it started
// (ssh under git or svn). Before the child has called setsid the group does not exist yet; the
// child itself is signalled as well.
void signalChild(QProcess *process, int signal)
{
    const pid_t pid = static_cast<pid_t>(process->processId());
    if (pid <= 0)
        return;
    ::kill(-pid, signal);
    ::kill(pid, signal);
}

} // namespace

void ToolRunScope::endAll(std::chrono::milliseconds grace)
{
    m_ended = true;
    const QList<QProcess *> running = m_running;
    for (QProcess *process : running)
        signalChild(process, SIGTERM);
    const QDeadlineTimer deadline(grace);
    for (QProcess *process : running) {
        if (process->state() != QProcess::NotRunning)
            process->waitForFinished(static_cast<int>(std::max<qint64>(deadline.remainingTime(), 0)));
    }
    for (QProcess *process : running) {
        if (process->state() == QProcess::NotRunning)
            continue;
        signalChild(process, SIGKILL);
        process->waitForFinished(1000);
    }
}

void ToolRunScope::add(QProcess *process)
{
    m_running.push_back(process);
}

void ToolRunScope::remove(QProcess *process)
{
    m_running.removeOne(process);
}
