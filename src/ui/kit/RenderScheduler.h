#pragma once

#include <QObject>

#include <functional>

class AppState;

// Turns the state's change signals into one render per event-loop turn, so a view never sees the
// half-written state of a loader that sets several properties in a row.
class RenderScheduler : public QObject {
public:
    RenderScheduler(AppState &state, QObject *owner, std::function<void()> render);

    // Asks for a render on the next turn (once, however often it is asked).
    void schedule();
    bool isPending() const { return m_pending; }

private:
    std::function<void()> m_render;
    bool m_pending = false;
};
