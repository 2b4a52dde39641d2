#include "ToolRunScope.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QTimer>

#include <csignal>

namespace {

// Each child leads a session of its own, so its process group also holds the helpers it started
// (ssh under git or svn, hooks, credential helpers). Before the child has called setsid the group
// does not exist yet; the child itself is signalled as well.
void signalChild(QProcess *process, pid_t group, int signal)
{
    if (group > 0)
        ::kill(-group, signal);
    const pid_t pid = static_cast<pid_t>(process->processId());
    if (pid > 0)
        ::kill(pid, signal);
}

} // namespace

void ToolRunScope::endAll(std::chrono::milliseconds grace)
{
    m_ended = true;
    QList<Child> running = m_running;
    for (Child &child : running) {
        if (child.group <= 0)
            child.group = static_cast<pid_t>(child.process->processId());
        signalChild(child.process, child.group, SIGTERM);
    }
    const QDeadlineTimer deadline(grace);
    for (const Child &child : std::as_const(running)) {
        if (child.process->state() != QProcess::NotRunning)
            child.process->waitForFinished(static_cast<int>(std::max<qint64>(deadline.remainingTime(), 0)));
    }
    // The helpers got SIGTERM with their child; one that ignores it outlives a child that obeyed, so
    // what is left of every group goes now, whether or not its child is still there.
    for (const Child &child : std::as_const(running)) {
        signalChild(child.process, child.group, SIGKILL);
        if (child.process->state() != QProcess::NotRunning)
            child.process->waitForFinished(1000);
    }
}

void ToolRunScope::endMarked(const std::shared_ptr<ToolRunMark> &mark, std::chrono::milliseconds grace)
{
    if (!mark)
        return;
    mark->m_ended = true;
    for (Child &child : m_running) {
        if (m_marks.value(child.process) != mark)
            continue;
        if (child.group <= 0)
            child.group = static_cast<pid_t>(child.process->processId());
        signalChild(child.process, child.group, SIGTERM);
        // Only while the child is unreaped does its group id surely still belong to it.
        QTimer::singleShot(grace, child.process, [process = child.process, group = child.group] {
            if (process->state() != QProcess::NotRunning)
                signalChild(process, group, SIGKILL);
        });
    }
}

QObject *toolRunContext()
{
    return QCoreApplication::instance();
}

void resumeMarked(std::coroutine_handle<> awaiting, QObject *context, std::shared_ptr<const ToolRunScope> scope,
    std::shared_ptr<ToolRunMark> mark)
{
    QMetaObject::invokeMethod(
        context,
        [awaiting, scope = std::move(scope), mark = std::move(mark)] {
            if (!scope) {
                awaiting.resume();
                return;
            }
            const ToolRunScope::Marked marked(*scope, mark);
            awaiting.resume();
        },
        Qt::QueuedConnection);
}

void ToolRunScope::add(QProcess *process)
{
    if (m_currentMark)
        m_marks.insert(process, m_currentMark);
    m_running.push_back({process});
    QObject::connect(process, &QProcess::started, process, [this, process] {
        for (Child &child : m_running) {
            if (child.process == process)
                child.group = static_cast<pid_t>(process->processId());
        }
    });
}

void ToolRunScope::remove(QProcess *process)
{
    m_running.removeIf([process](const Child &child) { return child.process == process; });
    m_marks.remove(process);
}
