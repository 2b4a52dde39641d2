#pragma once

#include <QCoroFuture>
#include <QFuture>
#include <QList>

#include <chrono>
#include <memory>

#include <sys/types.h>

class QProcess;

// Thrown in place of a result when the run's scope has been ended: its owner is gone, so the
// awaiting code must unwind without touching it. Deliberately not a std::exception, so the handlers
// that turn failures into alerts let it pass.
struct ToolRunAbandoned { };

// The children started on behalf of one owner. Ending the scope stops every child still running and
// makes every run of the scope, and every later one, throw ToolRunAbandoned instead of returning.
class ToolRunScope {
public:
    // Sends SIGTERM to every running child and its process group, waits up to `grace` for the children
    // to go, then kills what is left of each group, also where the child itself has gone.
    void endAll(std::chrono::milliseconds grace = std::chrono::milliseconds(2000));
    bool ended() const { return m_ended; }

    // Kept by the runner for as long as the child may be running.
    void add(QProcess *process);
    void remove(QProcess *process);

private:
    struct Child {
        QProcess *process;
        // The group the child leads from its start on: once the child has exited its process id is
        // gone, while the helpers it started may still run in the group.
        pid_t group = 0;
    };
    QList<Child> m_running;
    bool m_ended = false;
};

// Awaits work done on another thread; gives up like a tool run when the scope ended meanwhile.
template <typename T> QCoro::Task<T> awaitInScope(std::shared_ptr<const ToolRunScope> scope, QFuture<T> future)
{
    T value = co_await std::move(future);
    if (scope && scope->ended())
        throw ToolRunAbandoned{};
    co_return value;
}
