#pragma once

#include <QCoroFuture>
#include <QFuture>
#include <QHash>
#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QString>
#include <QStringList>

#include <chrono>
#include <coroutine>
#include <memory>
#include <utility>

class QProcess;

// Thrown in place of a result when the run's scope has been ended: its owner is gone, so the
// awaiting code must unwind without touching it. Deliberately not a std::exception, so the handlers
// that turn failures into alerts let it pass.
struct ToolRunAbandoned { };

// The runs made for one purpose among a scope's children: one action of the user, one load. Ending
// the mark ends those runs alone, while the scope goes on; each of them then fails.
class ToolRunMark {
public:
    ToolRunMark() = default;
    // Runs made for a part of `whole` (one load of a refresh): ending the whole ends them too.
    explicit ToolRunMark(std::shared_ptr<ToolRunMark> whole) : m_whole(std::move(whole)) { }

    bool ended() const { return m_ended || (m_whole && m_whole->ended()); }
    const std::shared_ptr<ToolRunMark> &whole() const { return m_whole; }
    // This mark is `mark` or a part of it.
    bool within(const ToolRunMark *mark) const { return this == mark || (m_whole && m_whole->within(mark)); }
    // Runs that failed because the mark was ended while they ran or before they started.
    int stoppedRuns() const { return m_stoppedRuns; }
    void countStoppedRun() { ++m_stoppedRuns; }

private:
    friend class ToolRunScope;
    std::shared_ptr<ToolRunMark> m_whole;
    bool m_ended = false;
    int m_stoppedRuns = 0;
};

// The children started on behalf of one owner, and the temporary files and folders made for them.
// Ending the scope stops every child still running, removes those files and makes every run of the
// scope, and every later one, throw ToolRunAbandoned instead of returning.
class ToolRunScope {
public:
    // Sends SIGTERM to every running child and its process group, waits up to `grace` for the children
    // to go, then kills what is left of each group; then removes every temporary still held.
    void endAll(std::chrono::milliseconds grace = std::chrono::milliseconds(2000));
    bool ended() const { return m_ended; }

    // Kept by the runner for as long as the child may be running.
    void add(QProcess *process);
    void remove(QProcess *process);

    // Kept by a ScopedTemporary for as long as the path is the program's.
    void addTemporary(const QString &path);
    void removeTemporary(const QString &path);

    // Sends SIGTERM to the children carrying the mark or a part of it and their groups at once, and
    // SIGKILL to those still running after `grace`, without waiting: svn blocked on a silent server
    // ignores SIGTERM. Later runs under the mark or its parts fail at once.
    void endMarked(
        const std::shared_ptr<ToolRunMark> &mark, std::chrono::milliseconds grace = std::chrono::milliseconds(2000));
    // The same for one child of the scope.
    void endProcess(QProcess *process, std::chrono::milliseconds grace = std::chrono::milliseconds(2000));

    // The mark of the work running now on the UI thread; a run started meanwhile carries it. Work that
    // resumes after waiting (a run, a future) runs under the mark it was started with again, so one task's
    // mark never leaks into another's at an await.
    const std::shared_ptr<ToolRunMark> &currentMark() const { return m_currentMark; }
    // Sets the current mark until destroyed, then puts the one before it back.
    class Marked {
    public:
        Marked(const ToolRunScope &scope, std::shared_ptr<ToolRunMark> mark)
            : m_scope(scope), m_previous(std::exchange(scope.m_currentMark, std::move(mark)))
        { }
        ~Marked() { m_scope.m_currentMark = std::move(m_previous); }
        Marked(const Marked &) = delete;
        Marked &operator=(const Marked &) = delete;

    private:
        const ToolRunScope &m_scope;
        std::shared_ptr<ToolRunMark> m_previous;
    };

private:
    // The termination routine: TERM, the grace, then KILL, to children that are still this process's.
    static void terminate(const QList<QProcess *> &processes, std::chrono::milliseconds grace);

    QList<QProcess *> m_running;
    QStringList m_temporaries;
    bool m_ended = false;
    QHash<const QProcess *, std::shared_ptr<ToolRunMark>> m_marks;
    mutable std::shared_ptr<ToolRunMark> m_currentMark;
};

// A temporary file or folder of the program's: removed when the holder lets it go or when the scope
// ends, whichever comes first. A task suspended on a run when the program quits is never resumed, so
// what it holds must not depend on its own clean-up.
class ScopedTemporary {
public:
    ScopedTemporary() = default;
    ScopedTemporary(std::shared_ptr<ToolRunScope> scope, QString path);
    ~ScopedTemporary() { reset(); }
    ScopedTemporary(ScopedTemporary &&other) noexcept;
    ScopedTemporary &operator=(ScopedTemporary &&other) noexcept;
    ScopedTemporary(const ScopedTemporary &) = delete;
    ScopedTemporary &operator=(const ScopedTemporary &) = delete;

    const QString &path() const { return m_path; }
    // Removes the path now.
    void reset();
    // The path is no longer temporary (it was renamed into place): forgets it without removing anything.
    void release();

    // A fresh hidden name beside the file that is to be written, ending in `extension`, so the finished
    // file replaces the destination in one rename. It holds the destination's name where the folder
    // takes a name that long, else it is ".korvel-" and 16 more bytes and the extension.
    static QString nameBeside(const QString &destination, const QString &extension);
    static ScopedTemporary besideZip(std::shared_ptr<ToolRunScope> scope, const QString &destination)
    {
        return ScopedTemporary(std::move(scope), nameBeside(destination, QStringLiteral(".zip")));
    }

    // Removes a file, a link, or a folder with everything in it, following no link.
    static void removePath(const QString &path);

private:
    std::shared_ptr<ToolRunScope> m_scope;
    QString m_path;
};

// Resumes the coroutine on a later turn of the event loop, delivered through `context` (dropped when
// the context is gone), under the mark.
void resumeMarked(std::coroutine_handle<> awaiting, QObject *context, std::shared_ptr<const ToolRunScope> scope,
    std::shared_ptr<ToolRunMark> mark);

// Awaits a later turn of the event loop, going on under the mark it gives.
class ResumeMarked {
public:
    ResumeMarked(std::shared_ptr<const ToolRunScope> scope, std::shared_ptr<ToolRunMark> mark, QObject *context)
        : m_scope(std::move(scope)), m_mark(std::move(mark)), m_context(context)
    { }
    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> awaiting) { resumeMarked(awaiting, m_context, m_scope, m_mark); }
    void await_resume() const noexcept { }

private:
    std::shared_ptr<const ToolRunScope> m_scope;
    std::shared_ptr<ToolRunMark> m_mark;
    QObject *m_context;
};

// The object queued resumptions are delivered through on the UI thread.
QObject *toolRunContext();

// Awaits work done on another thread; gives up like a tool run when the scope ended meanwhile.
// The caller goes on under the mark it had when it began to wait.
template <typename T> QCoro::Task<T> awaitInScope(std::shared_ptr<const ToolRunScope> scope, QFuture<T> future)
{
    std::shared_ptr<ToolRunMark> mark = scope ? scope->currentMark() : nullptr;
    T value = co_await std::move(future);
    if (scope)
        co_await ResumeMarked(scope, std::move(mark), toolRunContext());
    if (scope && scope->ended())
        throw ToolRunAbandoned{};
    co_return value;
}
