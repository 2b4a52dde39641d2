#include "ui/window/WindowFocusRefreshObserver.h"

#include <QEvent>

WindowFocusRefreshObserver::WindowFocusRefreshObserver(QWidget *parent) : QWidget(parent)
{
    setFixedSize(0, 0);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
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
    if (watched == m_observedWindow && event->type() == QEvent::WindowActivate && m_onFocus)
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
