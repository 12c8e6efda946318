#include "bt/core/power_monitor.h"

#include "bt/core/bt_manager.h"

#include "platform/debug.h"
#include "platform/msgqueue.h"
#include "platform/power.h"
#include "platform/sync.h"

#include <atomic>
#include <cstring>
#include <mutex>

namespace kivo::bt {

namespace {

constexpr const char* kQueueName = "MonitorSysPower";
constexpr ce::DWORD kQueueMessageSize = 44;

std::mutex g_mutex;
ce::HANDLE g_thread = nullptr;
std::atomic<bool> g_running { false };

ce::DWORD MonitorSysPowerThread()
{
    ce::MSGQUEUEOPTIONS options { 20, 0, 0, kQueueMessageSize, ce::TRUE_ };
    ce::HANDLE queue = ce::createMsgQueue(kQueueName, &options);
    if (!queue || ce::getLastError() == ce::ERROR_ALREADY_EXISTS) {
        if (queue)
            ce::closeMsgQueue(queue);
        else
            ce::debugPrintf("***[BTManager] power monitor not started: its queue cannot be made (error %u)\r\n",
                unsigned(ce::getLastError()));
        return 0;
    }
    ce::HANDLE notifications = ce::requestPowerNotifications(queue, ce::PBT_TRANSITION);
    if (!notifications) {
        // Without it, Bluetooth is not restarted after the device wakes.
        ce::debugPrintf("***[BTManager] power monitor not started: no power notifications (error %u)\r\n",
            unsigned(ce::getLastError()));
        ce::closeMsgQueue(queue);
        return 0;
    }
    g_running = true;
    ce::DWORD exitCode = 0;
    for (;;) {
        const PowerRecord record = ReadPowerRecord(queue, ce::INFINITE);
        if (record == PowerRecord::None) {
            ce::debugPrintf("***[BTManager] power monitor ended: its queue cannot be read (error %u)\r\n",
                unsigned(ce::getLastError()));
            break;
        }
        if (record == PowerRecord::Stop) {
            exitCode = 1;
            break;
        }
        if (record != PowerRecord::Resume)
            continue;
        // Bluetooth that the user turned off stays off after the wake.
        const ManagerState s = GetManagerState();
        if (s.stackInitialised && s.started) {
            ce::debugOutput("***[BTManager] resumed from suspend: restarting Bluetooth\r\n");
            BtManagerStop();
            BtManagerStart();
        }
    }
    ce::closeMsgQueue(queue);
    ce::stopPowerNotifications(notifications);
    g_running = false;
    return exitCode;
}

} // namespace

PowerRecord ReadPowerRecord(ce::HANDLE queue, ce::DWORD timeoutMs)
{
    alignas(4) uint8_t buffer[220];
    std::memset(buffer, 0, sizeof buffer);
    ce::DWORD read = 0, flags = 0;
    if (!ce::readMsgQueue(queue, buffer, sizeof buffer, &read, timeoutMs, &flags)) {
        // A record larger than the queue takes (from a writer that opened it
        // with a larger maximum) is dropped; the monitor keeps reading.
        if (ce::getLastError() != ce::ERROR_INSUFFICIENT_BUFFER)
            return PowerRecord::None;
        ce::debugOutput("***[BTManager] oversized power record dropped\r\n");
        return PowerRecord::Other;
    }
    ce::DWORD first = 0, stateFlags = 0;
    std::memcpy(&first, buffer, 4);
    std::memcpy(&stateFlags, buffer + 4, 4);
    if (first == kPowerStopMessage)
        return PowerRecord::Stop;
    if (first != ce::PBT_TRANSITION || stateFlags < 0x200000 || stateFlags > 0x20FFFF)
        return PowerRecord::Other;
    return PowerRecord::Resume;
}

void StartPowerMonitor()
{
    std::lock_guard<std::mutex> l(g_mutex);
    if (g_thread)
        return;
    g_thread = ce::createThread([]() -> ce::DWORD { return MonitorSysPowerThread(); });
}

void StopPowerMonitor()
{
    std::lock_guard<std::mutex> l(g_mutex);
    if (!g_thread)
        return;
    // A monitor still starting is either about to read or about to end.
    for (int i = 0; i < 500 && !g_running; ++i)
        if (ce::waitForSingleObject(g_thread, 10) == ce::WAIT_OBJECT_0)
            break;
    if (g_running) {
        ce::MSGQUEUEOPTIONS options { 20, 0, 0, kQueueMessageSize, ce::FALSE_ };
        ce::HANDLE queue = ce::createMsgQueue(kQueueName, &options);
        if (queue) {
            const uint32_t message[4] = { kPowerStopMessage, 0, 0, 0 };
            ce::writeMsgQueue(queue, message, sizeof message, ce::INFINITE, 0);
            ce::closeMsgQueue(queue);
        }
    }
    ce::joinThread(g_thread, 5000, "power monitor");
    ce::closeHandle(g_thread);
    g_thread = nullptr;
}

bool PowerMonitorRunning()
{
    return g_running;
}

} // namespace kivo::bt
