#include "ui/kit/RenderScheduler.h"

#include "state/AppState.h"

#include <QMetaObject>

RenderScheduler::RenderScheduler(AppState &state, QObject *owner, std::function<void()> render)
    : QObject(owner), m_render(std::move(render))
{
    connect(&state, &AppState::changed, this, &RenderScheduler::schedule);
}

void RenderScheduler::schedule()
{
    if (m_pending)
        return;
    m_pending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_pending = false;
            m_render();
        },
        Qt::QueuedConnection);
}
