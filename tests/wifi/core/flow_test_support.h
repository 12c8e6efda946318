// Shared by the flow's tests in the test process.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

namespace kivo::test {

// Runs Qt events (and with them the window messages of this thread) until
// pred holds; false when timeoutMs passed first.
template <typename Pred> bool pumpEventsUntil(Pred pred, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!pred()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

} // namespace kivo::test
