#include "FakeClients.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

bool waitFor(const std::function<bool()> &predicate, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!predicate()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (!predicate())
            QThread::usleep(200);
    }
    return true;
}

bool waitUntilIdle(const AppState &state, int timeoutMs)
{
    QCoreApplication::processEvents();
    return waitFor([&] { return state.runningTasks() == 0; }, timeoutMs);
}
