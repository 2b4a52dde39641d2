#include "ui/window/WindowFocusRefreshObserver.h"

#include <QEvent>
#include <QGuiApplication>
#include <QWindow>

void ActivationHistory::focusWindowChanged(QWindow *window)
{
    if (window == m_current)
        return;
    const Holder holder = currentHolder();
    if (!window) {
        // The focus window still on screen: the user turned to another application. Hidden or gone: it
        // closed, and the window under it takes the activation next (at once, or when the window
        // manager gets round to it).
        m_nobody = m_currentWindow && m_currentWindow->isVisible() ? Holder::outside : Holder::program;
    }
    m_before = holder;
    m_current = window;
    m_currentWindow = window;
}

ActivationHistory::Holder ActivationHistory::currentHolder() const
{
    return m_current ? Holder::program : m_nobody;
}

bool ActivationHistory::handedOver(const QWindow *activated) const
{
    return (m_current == activated ? m_before : currentHolder()) == Holder::program;
}

WindowFocusRefreshObserver::WindowFocusRefreshObserver(QWidget *parent) : QWidget(parent)
{
    setFixedSize(0, 0);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    m_history.focusWindowChanged(QGuiApplication::focusWindow());
    connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, &WindowFocusRefreshObserver::focusWindowChanged);
    observeWindowIfNeeded();
}

WindowFocusRefreshObserver::~WindowFocusRefreshObserver()
{
    removeObserver();
}

bool WindowFocusRefreshObserver::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::ParentChange:
    case QEvent::Show:
    case QEvent::ShowToParent:
        observeWindowIfNeeded();
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

bool WindowFocusRefreshObserver::eventFilter(QObject *watched, QEvent *event)
{
    // Only the window's own activation: ActivationChange also reaches every child and comes on
    // deactivation too.
    if (watched != m_observedWindow || event->type() != QEvent::WindowActivate || !m_onFocus)
        return false;
    if (!m_history.handedOver(m_observedWindow->windowHandle()))
        m_onFocus();
    return false;
}

void WindowFocusRefreshObserver::observeWindowIfNeeded()
{
    // A parentless observer is in no window (its window() would be itself).
    QWidget *current = parentWidget() ? window() : nullptr;
    if (current == m_observedWindow)
        return;
    removeObserver();
    m_observedWindow = current;
    if (current)
        current->installEventFilter(this);
}

void WindowFocusRefreshObserver::removeObserver()
{
    if (m_observedWindow)
        m_observedWindow->removeEventFilter(this);
    m_observedWindow = nullptr;
}
