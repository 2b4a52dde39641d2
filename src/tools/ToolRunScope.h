#pragma once

#include <QCoroFuture>
#include <QFuture>
#include <QList>
#include <QString>
#include <QStringList>

#include <chrono>
#include <memory>

class QProcess;

// Thrown in place of a result when the run's scope has been ended: its owner is gone, so the
// awaiting code must unwind without touching it. Deliberately not a std::exception, so the handlers
// that turn failures into alerts let it pass.
struct ToolRunAbandoned { };

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

private:
    // The termination routine: TERM, the grace, then KILL, to children that are still this process's.
    static void terminate(const QList<QProcess *> &processes, std::chrono::milliseconds grace);

    QList<QProcess *> m_running;
    QStringList m_temporaries;
    bool m_ended = false;
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

    // A fresh hidden name beside the zip archive that is to be written, ending in ".zip" (or zip appends
    // that itself), so the finished archive replaces the destination in one rename.
    static ScopedTemporary besideZip(std::shared_ptr<ToolRunScope> scope, const QString &destination);

    // Removes a file, a link, or a folder with everything in it, following no link.
    static void removePath(const QString &path);

private:
    std::shared_ptr<ToolRunScope> m_scope;
    QString m_path;
};

// Awaits work done on another thread; gives up like a tool run when the scope ended meanwhile.
template <typename T> QCoro::Task<T> awaitInScope(std::shared_ptr<const ToolRunScope> scope, QFuture<T> future)
{
    T value = co_await std::move(future);
    if (scope && scope->ended())
        throw ToolRunAbandoned{};
    co_return value;
}
