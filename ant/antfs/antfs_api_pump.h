// What the ANT-FS export layers share: an engine registered on a channel of
// the device manager, with a thread that pumps the engine's numbered
// responses into a queue for the exports' event thread; and the posting of
// an event to the window or callback the application gave.
#pragma once

#include "ant/antfs/antfs_shared.h"
#include "ant/core/ant_device_manager.h"
#include "ant/core/os_services.h"
#include "ant/senvoy_antfs.h"
#include "platform/debug.h"
#include "platform/wm.h"

#include <atomic>
#include <cstdint>
#include <string>

namespace senvoy {

// Engine: an ANTChannelHandler with waitResponse(ms) and close().
template <class Engine>
class ANTFSResponsePump {
public:
    static constexpr uint32_t kWaitMs = 100;
    static constexpr uint32_t kJoinBoundMs = 9000;

    // keep: whether a response goes on to the queue; name: the log's.
    ANTFSResponsePump(Engine& engine, bool (*keep)(uint32_t), const char* name)
        : m_engine(engine)
        , m_keep(keep)
        , m_name(name)
    {
    }
    ~ANTFSResponsePump() { close(); }
    ANTFSResponsePump(const ANTFSResponsePump&) = delete;
    ANTFSResponsePump& operator=(const ANTFSResponsePump&) = delete;

    // Registers the engine on the channel (closing first when open) and
    // starts the pump once; 0 when it cannot start. A channel the radio
    // does not have is refused before the running engine is touched.
    int open(uint8_t channel, ANTDeviceManager* manager)
    {
        if (!manager || channel >= ANT_CHANNELS)
            return 0;
        if (m_open)
            close();
        m_manager = manager;
        if (!manager->registerChannel(channel, &m_engine))
            ce::debugPrintf("%s: channel %u is served by another user", m_name, channel);
        if (!m_thread) {
            m_stop = false;
            m_thread = OsThread_Create(&ANTFSResponsePump::main, this);
            if (!m_thread)
                return 0;
        }
        m_queue.clear();
        m_open = true;
        return 1;
    }
    // Stops the pump, empties the queue and unregisters the engine (which
    // closes it; an engine that was not registered is closed all the same).
    // The unregister result.
    int close()
    {
        m_stop = true;
        m_queue.clear();
        if (m_thread && OsThread_Join(m_thread, kJoinBoundMs, (std::string(m_name) + " pump").c_str()) == OS_OK) {
            OsThread_Close(m_thread);
            m_thread = nullptr;
        }
        const int r = m_manager ? m_manager->unregisterChannel(&m_engine) : 0;
        if (!r)
            m_engine.close();
        m_manager = nullptr;
        m_open = false;
        return r;
    }
    bool isOpen() const { return m_open; }
    // The oldest pumped response, or 0 within ms.
    uint32_t waitResponse(uint32_t ms) { return m_queue.wait(ms); }

private:
    static ce::DWORD main(void* self)
    {
        auto* pump = static_cast<ANTFSResponsePump*>(self);
        while (!pump->m_stop) {
            const uint32_t r = pump->m_engine.waitResponse(kWaitMs);
            if (r != 0 && !pump->m_stop && pump->m_keep(r))
                pump->m_queue.push(r);
        }
        return 0;
    }

    Engine& m_engine;
    bool (*const m_keep)(uint32_t);
    const char* const m_name;
    ANTDeviceManager* m_manager = nullptr;
    bool m_open = false;
    ANTFSResponseQueue m_queue;
    ce::HANDLE m_thread = nullptr;
    std::atomic<bool> m_stop { false };
};

// An ANT-FS event to the application: posted to its window as the
// registered message, else handed to its callback, else dropped.
inline void ANTFSPostEvent(const char* message, ce::HWND window, ANTFSEventCallback callback, void* context,
    uint32_t code, uintptr_t parameter)
{
    if (window)
        ce::postMessage(window, ce::registerWindowMessage(message), code, ce::LPARAM(parameter));
    else if (callback)
        callback(ce::registerWindowMessage(message), code, parameter, context);
}

} // namespace senvoy
