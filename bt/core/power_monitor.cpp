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

// A monitor that cannot make its queue or register it (a full device root)
// tries again this often until it can or is stopped.
constexpr ce::DWORD kRetryMs = 1000;

std::mutex g_mutex;
ce::HANDLE g_thread = nullptr;
ce::HANDLE g_stop = nullptr; // set to stop a monitor that is still trying to start
std::atomic<bool> g_running { false };

// The queue, registered for power transitions; false when stopped first or
// when another monitor reads the queue already.
bool OpenMonitorQueue(ce::HANDLE* queue, ce::HANDLE* notifications)
{
    ce::MSGQUEUEOPTIONS options { 20, 0, 0, kQueueMessageSize, ce::TRUE_ };
    bool failing = false;
    for (;;) {
        const char* missing = nullptr;
        if (!*queue) {
            ce::setLastError(ce::ERROR_SUCCESS);
            *queue = ce::createMsgQueue(kQueueName, &options);
            // Only one monitor runs per device.
            if (*queue && ce::getLastError() == ce::ERROR_ALREADY_EXISTS) {
                ce::closeMsgQueue(*queue);
                *queue = nullptr;
                return false;
            }
            if (!*queue && ce::getLastError() == ce::ERROR_ALREADY_EXISTS)
                return false;
            if (!*queue)
                missing = "its queue cannot be made";
        }
        if (*queue) {
            *notifications = ce::requestPowerNotifications(*queue, ce::PBT_TRANSITION);
            if (*notifications)
                break;
            // Without it, Bluetooth is not restarted after the device wakes.
            missing = "no power notifications";
        }
        if (!failing)
            ce::debugPrintf("***[BTManager] power monitor not started: %s (error %u); trying again every second\r\n",
                missing, unsigned(ce::getLastError()));
        failing = true;
        if (ce::waitForSingleObject(g_stop, kRetryMs) == ce::WAIT_OBJECT_0) {
            if (*queue)
                ce::closeMsgQueue(*queue);
            *queue = nullptr;
            return false;
        }
    }
    if (failing)
        ce::debugOutput("***[BTManager] power monitor started after all\r\n");
    return true;
}

ce::DWORD MonitorSysPowerThread()
{
    ce::HANDLE queue = nullptr;
    ce::HANDLE notifications = nullptr;
    if (!OpenMonitorQueue(&queue, &notifications))
        return 0;
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
    if (!g_stop)
        g_stop = ce::createEvent(true, false);
    ce::resetEvent(g_stop);
    g_thread = ce::createThread([]() -> ce::DWORD { return MonitorSysPowerThread(); });
}

void StopPowerMonitor()
{
    std::lock_guard<std::mutex> l(g_mutex);
    if (!g_thread)
        return;
    // A monitor still trying to start ends at once; one still starting is
    // either about to read or about to end.
    ce::setEvent(g_stop);
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
