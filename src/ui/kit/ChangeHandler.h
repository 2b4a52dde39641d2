#pragma once

#include <functional>
#include <utility>

// Calls its action once for each real change of a watched value while the watching view is shown;
// never for the value that stands when the view is first shown, never while it is hidden.
template <typename T> class ChangeHandler {
public:
    explicit ChangeHandler(std::function<void()> action) : m_action(std::move(action)) { }

    // Called on every render with the current value and whether the view shows.
    void observe(const T &value, bool shown)
    {
        if (!shown) {
            m_hasLast = false;
            return;
        }
        const bool changed = m_hasLast && !(m_last == value);
        m_last = value;
        m_hasLast = true;
        // The action may change state and render again: the new value is recorded before it runs.
        if (changed)
            m_action();
    }

private:
    std::function<void()> m_action;
    // The value seen at the last render while shown (meaningful only with m_hasLast).
    T m_last{};
    bool m_hasLast = false;
};
