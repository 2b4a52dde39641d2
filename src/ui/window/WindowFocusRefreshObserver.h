#pragma once

#include <QPointer>
#include <QWidget>

#include <functional>

// A zero-size child that reports each time its top-level window becomes active. It watches the window
// it currently sits in: moved into another window, it watches that one; taken out, it watches none.
class WindowFocusRefreshObserver : public QWidget {
    Q_OBJECT

public:
    explicit WindowFocusRefreshObserver(QWidget *parent = nullptr);
    ~WindowFocusRefreshObserver() override;

    // Replaces the callback without watching again.
    void setOnFocus(std::function<void()> onFocus) { m_onFocus = std::move(onFocus); }
    QWidget *observedWindow() const { return m_observedWindow; }

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void observeWindowIfNeeded();
    void removeObserver();

    std::function<void()> m_onFocus;
    QPointer<QWidget> m_observedWindow;
};
