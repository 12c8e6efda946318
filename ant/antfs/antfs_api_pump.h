// What the ANT-FS export layers share: an engine registered on a channel of
// the device manager, with a thread that pumps the engine's numbered
// responses into a queue for the exports' event thread; the posting of an
// event to the window or callback the application gave; and the statics of
// one set of exports (Init, Deinit, Open, Close, the event thread).
#pragma once

#include "ant/antfs/antfs_shared.h"
#include "ant/core/ant_device_manager.h"
#include "ant/core/ant_library.h"
#include "ant/core/os_services.h"
#include "ant/senvoy_antfs.h"
#include "platform/debug.h"
#include "platform/wm.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <new>
#include <string>
#include <utility>

namespace senvoy {

// Engine: an ANTChannelHandler with waitResponse(ms) and close().
template <class Engine>
class ANTFSResponsePump {
public:
    static constexpr uint32_t kWaitMs = 100;
    static constexpr uint32_t kJoinBoundMs = 9000;

    // keep: whether a response code goes on to the queue; name: the log's.
    ANTFSResponsePump(Engine& engine, bool (*keep)(uint32_t), const char* name)
        : m_engine(engine)
        , m_keep(keep)
        , m_name(name)
    {
    }
    ~ANTFSResponsePump() { close(); }
    ANTFSResponsePump(const ANTFSResponsePump&) = delete;
    ANTFSResponsePump& operator=(const ANTFSResponsePump&) = delete;

    // Registers the engine on the channel (closing it first when open) and
    // starts the pump once; 0 when it cannot start. A channel the radio
    // lacks or another user holds is refused before the running engine is
    // touched.
    int open(uint8_t channel, ANTDeviceManager* manager)
    {
        if (!manager || !manager->channelOpenTo(channel, &m_engine))
            return 0;
        if (m_open)
            close();
        if (!manager->registerChannel(channel, &m_engine)) {
            // Taken by another user since the check: nothing runs here now.
            ce::debugPrintf("%s: channel %u is served by another user", m_name, channel);
            return 0;
        }
        m_manager = manager;
        if (!m_thread) {
            m_stop = false;
            m_thread = OsThread_Create(&ANTFSResponsePump::main, this);
            if (!m_thread) {
                close();
                return 0;
            }
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
    // The oldest pumped response, or one of code 0 within ms.
    ANTFSResponse waitResponse(uint32_t ms) { return m_queue.wait(ms); }

private:
    static ce::DWORD main(void* self)
    {
        auto* pump = static_cast<ANTFSResponsePump*>(self);
        while (!pump->m_stop) {
            ANTFSResponse r = pump->m_engine.waitResponse(kWaitMs);
            if (r.code != 0 && !pump->m_stop && pump->m_keep(r.code))
                pump->m_queue.push(std::move(r));
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

// The statics behind one set of exports: its API object, where its events
// go, and the event thread that hands the object's responses to serve.
// Api: open(channel, manager), close(), isOpen() and waitResponse(ms).
template <class Api>
class ANTFSExports {
public:
    static constexpr uint32_t kEventWaitMs = 999;
    static constexpr uint32_t kJoinBoundMs = 9000;

    struct Setup {
        const char* message; // the registered window message of the events
        const char* name; // the log's
        // One response (code 0: none came in time), on the event thread.
        void (*serve)(Api* api, ANTFSResponse response);
        // Before a new API object is made, and once one is gone; may be null.
        void (*starting)();
        void (*ended)();
    };

    constexpr explicit ANTFSExports(const Setup& setup)
        : m_setup(setup)
    {
    }
    ANTFSExports(const ANTFSExports&) = delete;
    ANTFSExports& operator=(const ANTFSExports&) = delete;

    // Events to the window (Init) or the callback (InitEx). While one runs,
    // a second changes nothing and returns 1.
    int init(ce::HWND window)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_api)
            return 1;
        m_window = window;
        return start();
    }
    int initEx(void* context, ANTFSEventCallback callback)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_api)
            return 1;
        m_window = nullptr;
        m_callback = callback;
        m_context = context;
        return start();
    }
    // forgetTarget: DeinitEx, which drops where events went as well. The
    // object is closed at once, so its channel is free for the next user;
    // its event thread is joined without the exports' lock, so a callback
    // that calls the exports meanwhile is answered (with 0) rather than
    // held. Called from a callback, the thread frees the object itself once
    // the callback returns.
    void deinit(bool forgetTarget)
    {
        EventLoop* loop;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            if (forgetTarget) {
                m_window = nullptr;
                m_callback = nullptr;
                m_context = nullptr;
            }
            loop = m_loop;
            if (!loop)
                return;
            m_loop = nullptr;
            m_api = nullptr;
            loop->stop = true;
            loop->api->close();
            if (t_loop == loop) {
                loop->endsItself = true;
                if (m_setup.ended)
                    m_setup.ended();
                return;
            }
        }
        if (loop->thread) {
            const std::string who = std::string(m_setup.name) + " event thread";
            if (OsThread_Join(loop->thread, kJoinBoundMs, who.c_str()) != OS_OK) {
                // It still runs on the object: keep the object rather than
                // pull it from under the thread.
                return;
            }
            OsThread_Close(loop->thread);
        }
        delete loop->api;
        delete loop;
        std::lock_guard<std::mutex> lock(m_lock);
        // Unless a new object started meanwhile, whose records these are.
        if (!m_api && m_setup.ended)
            m_setup.ended();
    }
    int open(uint8_t channel)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        Api* api = m_api;
        ANTDeviceManager* manager = ANTLIB_Manager();
        if (!api || !manager)
            return 0;
        return api->open(channel, manager);
    }
    int close()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        Api* api = m_api;
        if (!api || !ANTLIB_Manager())
            return 0;
        return api->close();
    }
    // Closes the object before the library core goes away.
    void libraryClosing()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (Api* api = m_api; api && api->isOpen())
            api->close();
    }
    Api* api() const { return m_api; }
    void post(uint32_t code, uintptr_t parameter) const
    {
        ANTFSPostEvent(m_setup.message, m_window, m_callback, m_context, code, parameter);
    }

private:
    // One API object and the event thread that serves it; each has a stop
    // flag of its own, so a thread still ending never serves the next.
    struct EventLoop {
        ANTFSExports* exports = nullptr;
        Api* api = nullptr;
        ce::HANDLE thread = nullptr;
        std::atomic<bool> stop { false };
        bool endsItself = false; // its own callback called Deinit
    };

    int start()
    {
        if (m_setup.starting)
            m_setup.starting();
        auto* api = new (std::nothrow) Api();
        if (!api)
            return 0;
        auto* loop = new (std::nothrow) EventLoop;
        if (!loop) {
            delete api;
            return 0;
        }
        loop->exports = this;
        loop->api = api;
        m_api = api;
        m_loop = loop;
        loop->thread = OsThread_Create(&ANTFSExports::eventMain, loop);
        if (!loop->thread)
            ce::debugPrintf("%s: the event thread did not start", m_setup.name);
        return 1;
    }
    static ce::DWORD eventMain(void* self)
    {
        auto* loop = static_cast<EventLoop*>(self);
        t_loop = loop;
        while (!loop->stop) {
            ANTFSResponse r = loop->api->waitResponse(kEventWaitMs);
            if (loop->stop)
                break;
            loop->exports->m_setup.serve(loop->api, std::move(r));
        }
        t_loop = nullptr;
        if (loop->endsItself) {
            // Nobody joins this thread: it lets its handle go and frees
            // what the Deinit left it.
            OsThread_Close(loop->thread);
            delete loop->api;
            delete loop;
        }
        return 0;
    }

    // The loop the calling thread serves, if any.
    static inline thread_local EventLoop* t_loop = nullptr;

    const Setup m_setup;
    std::mutex m_lock; // Init, Deinit, Open, Close and the library's shutdown
    std::atomic<Api*> m_api { nullptr };
    EventLoop* m_loop = nullptr; // under m_lock
    std::atomic<ce::HWND> m_window { nullptr };
    std::atomic<ANTFSEventCallback> m_callback { nullptr };
    std::atomic<void*> m_context { nullptr };
};

} // namespace senvoy
