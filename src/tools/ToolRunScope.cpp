#include "ToolRunScope.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <QTimer>
#include <QUuid>

#include <csignal>

#include <sys/wait.h>
#include <unistd.h>

namespace {

// Only an unreaped child of this process is signalled, and with it its process group. The kernel hands
// a process id out again only once nothing uses it any more: not while the process, even exited, is
// still waiting to be reaped, and not while it names a group that still has a member. So while our
// child is unreaped its id, and the group of the same id it leads from its setsid on, can be no one
// else's. Once it has been reaped, the id of its group may already belong to a stranger that called
// setsid (a shell job, a daemon, another instance of this program), so what was left in the group is
// not signalled then. Only this thread reaps these children (QProcess, when it handles a state change
// or waits for the end), and waitid with WNOWAIT asks without reaping.
bool isUnreapedChild(pid_t pid)
{
    siginfo_t info{};
    return pid > 0 && ::waitid(P_PID, id_t(pid), &info, WEXITED | WNOHANG | WNOWAIT | __WALL) == 0;
}

bool hasExited(pid_t pid)
{
    siginfo_t info{};
    return ::waitid(P_PID, id_t(pid), &info, WEXITED | WNOHANG | WNOWAIT | __WALL) != 0 || info.si_pid == pid;
}

// Each child leads a session of its own, so its group also holds the helpers it started (ssh under
// git or svn, hooks, credential helpers). Before the child has called setsid the group does not exist
// yet; the child itself is signalled as well.
void signalChild(pid_t pid, int signal)
{
    if (!isUnreapedChild(pid))
        return;
    ::kill(-pid, signal);
    ::kill(pid, signal);
}

} // namespace

void ToolRunScope::terminate(const QList<QProcess *> &processes, std::chrono::milliseconds grace)
{
    // Known before any of them is reaped.
    QList<std::pair<QProcess *, pid_t>> children;
    for (QProcess *process : processes) {
        if (process->state() != QProcess::NotRunning)
            children.push_back({process, pid_t(process->processId())});
    }
    for (const auto &[process, pid] : std::as_const(children))
        signalChild(pid, SIGTERM);
    // The exits are watched without reaping, so each group stays ours until its KILL below.
    const QDeadlineTimer deadline(grace);
    const auto allExited = [&children] {
        return std::all_of(
            children.cbegin(), children.cend(), [](const auto &child) { return hasExited(child.second); });
    };
    while (!allExited() && !deadline.hasExpired())
        QThread::msleep(10);
    // The helpers got SIGTERM with their child; one that ignores it outlives a child that obeyed, so
    // what is left of every group goes now, whether its child has exited or not: unreaped, it still
    // holds the group's id. Only then is each child reaped.
    for (const auto &[process, pid] : std::as_const(children)) {
        signalChild(pid, SIGKILL);
        if (process->state() != QProcess::NotRunning)
            process->waitForFinished(1000);
    }
}

void ToolRunScope::endAll(std::chrono::milliseconds grace)
{
    m_ended = true;
    terminate(m_running, grace);
    // Whatever the children were writing into is theirs no more.
    const QStringList temporaries = std::exchange(m_temporaries, {});
    for (const QString &path : temporaries)
        ScopedTemporary::removePath(path);
}

void ToolRunScope::endMarked(const std::shared_ptr<ToolRunMark> &mark, std::chrono::milliseconds grace)
{
    if (!mark)
        return;
    mark->m_ended = true;
    for (QProcess *process : std::as_const(m_running)) {
        const std::shared_ptr<ToolRunMark> carried = m_marks.value(process);
        if (carried && carried->within(mark.get()))
            endProcess(process, grace);
    }
}

void ToolRunScope::endProcess(QProcess *process, std::chrono::milliseconds grace)
{
    if (process->state() == QProcess::NotRunning)
        return;
    const auto pid = pid_t(process->processId());
    signalChild(pid, SIGTERM);
    // Cancelled with the process; skipped by signalChild once the child has been reaped.
    QTimer::singleShot(grace, process, [pid] { signalChild(pid, SIGKILL); });
}

void ToolRunScope::add(QProcess *process)
{
    if (m_currentMark)
        m_marks.insert(process, m_currentMark);
    m_running.push_back(process);
}

void ToolRunScope::remove(QProcess *process)
{
    m_running.removeAll(process);
    m_marks.remove(process);
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

void ToolRunScope::addTemporary(const QString &path)
{
    m_temporaries.push_back(path);
}

void ToolRunScope::removeTemporary(const QString &path)
{
    m_temporaries.removeOne(path);
}

ScopedTemporary::ScopedTemporary(std::shared_ptr<ToolRunScope> scope, QString path)
    : m_scope(std::move(scope)), m_path(std::move(path))
{
    if (m_scope && !m_path.isEmpty())
        m_scope->addTemporary(m_path);
}

ScopedTemporary::ScopedTemporary(ScopedTemporary &&other) noexcept
    : m_scope(std::move(other.m_scope)), m_path(std::exchange(other.m_path, {}))
{ }

ScopedTemporary &ScopedTemporary::operator=(ScopedTemporary &&other) noexcept
{
    if (this != &other) {
        reset();
        m_scope = std::move(other.m_scope);
        m_path = std::exchange(other.m_path, {});
    }
    return *this;
}

void ScopedTemporary::reset()
{
    if (m_path.isEmpty())
        return;
    // An ended scope removed the path already; a task whose frame goes later must not remove what
    // has stood at that path since (the user's own folder under the same name).
    if (!m_scope || !m_scope->ended())
        removePath(m_path);
    release();
}

void ScopedTemporary::release()
{
    if (m_scope && !m_path.isEmpty())
        m_scope->removeTemporary(m_path);
    m_path.clear();
}

QString ScopedTemporary::nameBeside(const QString &destination, const QString &extension)
{
    // Named after the destination, so the command line shown names it too, where the folder takes a
    // name that long; a short name of its own otherwise, so every name the folder takes will do.
    const QFileInfo info(destination);
    const QString unique = QUuid::createUuid().toString(QUuid::Id128).left(16) + extension;
    const QString named = u'.' + info.fileName() + u'.' + unique;
    const long longest = ::pathconf(QFile::encodeName(info.path()).constData(), _PC_NAME_MAX);
    const bool fits = QFile::encodeName(named).size() <= (longest > 0 ? longest : 255);
    return info.dir().filePath(fits ? named : QStringLiteral(".korvel-") + unique);
}

void ScopedTemporary::removePath(const QString &path)
{
    const QFileInfo info(path);
    if (info.isDir() && !info.isSymLink())
        QDir(path).removeRecursively();
    else
        QFile::remove(path);
}
