#include "wifi/sync/responsewait.h"

#include "platform/wm.h"

#include <QCoreApplication>

#include <atomic>
#include <chrono>
#include <thread>

namespace kivo::sync {

namespace {
std::atomic<int> g_testTimeoutMs { 0 };
}

int responseTimeoutMs()
{
    const int shortened = g_testTimeoutMs.load();
    return shortened > 0 ? shortened : kResponseTimeoutMs;
}

void setResponseTimeoutForTesting(int ms)
{
    g_testTimeoutMs.store(ms > 0 ? ms : 0);
}

void pumpMessages(int sleepMs)
{
    ce::pumpMessages();
    if (sleepMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(sleepMs));
}

bool waitForFlag(const bool& flag, int sleepMs, QElapsedTimer& clock)
{
    do {
        pumpMessages(sleepMs);
        if (clock.elapsed() > responseTimeoutMs())
            return false;
        QCoreApplication::processEvents();
    } while (!flag);
    return true;
}

} // namespace kivo::sync
