#pragma once

#include <QPointer>
#include <QWidget>

#include <functional>

class QWindow;

// Who held the activation before a window got it: another window of the program, or nothing of the
// program (the user was in another application). Qt announces the new focus window either before or
// after it delivers the window's activation; both orders give one answer.
class ActivationHistory {
public:
    // What Qt reports as the new focus window (null: no window of the program has it).
    void focusWindowChanged(QWindow *window);
    // Whether `activated` got its activation handed over by the program itself: from one of its other
    // windows, or through a moment without focus that began when such a window closed.
    bool handedOver(const QWindow *activated) const;

private:
    enum class Holder { outside, program };
    Holder currentHolder() const;

    // Compared only, never followed: a closed alert is deleted while the focus still names it.
    const QWindow *m_current = nullptr;
    QPointer<QWindow> m_currentWindow;
    // What the present lack of focus means: the user went elsewhere, or a window of the program closed
    // before the next one took the activation.
    Holder m_nobody = Holder::outside;
    Holder m_before = Holder::outside;
};

// A zero-size child that reports each time the user comes back to its top-level window from another
// application. It watches the window it currently sits in: moved into another window, it watches that
// one; taken out, it watches none. On Linux every closed alert, sheet, form or panel hands the
// activation back to the window it stood over; that is not a return and reports nothing.
class WindowFocusRefreshObserver : public QWidget {
    Q_OBJECT

public:
    explicit WindowFocusRefreshObserver(QWidget *parent = nullptr);
    ~WindowFocusRefreshObserver() override;

    // Replaces the callback without watching again.
    void setOnFocus(std::function<void()> onFocus) { m_onFocus = std::move(onFocus); }
    QWidget *observedWindow() const { return m_observedWindow; }
    // Connected to QGuiApplication::focusWindowChanged.
    void focusWindowChanged(QWindow *window) { m_history.focusWindowChanged(window); }

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void observeWindowIfNeeded();
    void removeObserver();

    std::function<void()> m_onFocus;
    QPointer<QWidget> m_observedWindow;
    ActivationHistory m_history;
};
