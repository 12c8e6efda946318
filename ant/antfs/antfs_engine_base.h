// What the ANT-FS client and host engines are built on: a channel handler
// whose engine thread serves one request at a time, the numbered responses
// it queues for waitResponse, the reset a radio reset brings, and the close
// sequence. An engine says how it serves a request and what it does when
// none came for a while.
#pragma once

#include "ant/antfs/antfs_shared.h"
#include "ant/core/ant_channel_handler.h"
#include "ant/core/os_services.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <utility>

namespace senvoy {

class ANTFramer;

// Every time-out of an engine divided by a divisor tests set (1: as is).
class ANTFSTimeScale {
public:
    void set(uint32_t divisor) { m_divisor = divisor == 0 ? 1 : divisor; }
    uint32_t operator()(uint32_t ms) const
    {
        const uint32_t d = m_divisor;
        return d <= 1 || ms == 0 ? ms : std::max<uint32_t>(1, ms / d);
    }

private:
    std::atomic<uint32_t> m_divisor { 1 };
};

class ANTFSEngineBase : public ANTChannelHandler {
public:
    static constexpr uint32_t kCloseBoundMs = 9000;

    ANTFSEngineBase(const ANTFSEngineBase&) = delete;
    ANTFSEngineBase& operator=(const ANTFSEngineBase&) = delete;

    // Stops the engine thread and leaves the engine closed.
    virtual void close() = 0;
    uint8_t getState() const { return m_state; }
    // The oldest response, or one of code 0 when none came within ms (at
    // once once stopping).
    ANTFSResponse waitResponse(uint32_t ms) { return m_responses.wait(ms, &m_stop); }

    // ANTChannelHandler.
    void detach() override { close(); }
    // A radio reset cancels what runs and resets a busy engine.
    void onManagerEvent(uint32_t event, uint32_t argument) override;

    // Fuzzing only: takes messages in this state without a thread running.
    void enterStateForFuzzing(uint8_t state, ANTFramer* framer, uint8_t channel);

    // The states, requests and response both engines number alike.
    static constexpr uint8_t kStateClosed = 0;
    static constexpr uint8_t kStateIdle = 1;
    static constexpr uint8_t kRequestReset = 1;
    static constexpr uint8_t kRequestFailed = 17; // a radio command failed
    static constexpr uint8_t kRequestFailedReset = 18; // after a radio failure
    static constexpr uint32_t kResponseReset = 1;

protected:
    // name: the log's; cancelledResponse: queued whenever the cancel word
    // ends what ran.
    ANTFSEngineBase(const char* name, uint32_t cancelledResponse);

    // attach: closes a running engine and takes the framer and channel.
    void takeChannel(ANTFramer* framer, uint8_t channel);
    // attach: idle and reset (reported), with the engine thread running.
    void startIdle();
    // close: stops the engine thread (stop, cancel, wake, join within the
    // bound); then closedLocked under the lock.
    void stopThread();
    void closedLocked();
    // Ends what runs and what was posted before: a request posted and not
    // yet taken is dropped (the resets stay), the cancel word is set and
    // every wait on it woken. A request posted after it runs.
    void cancelLocked();

    // Hands the engine thread its next request; one posted before is
    // replaced (callers refuse a second while one is pending).
    void postLocked(uint8_t request);
    void queueResponse(ANTFSResponse response) { m_responses.push(std::move(response)); }

    // The engine's own: its fields back to no host and no request (state
    // idle unless closed, nothing pending).
    virtual void resetLocked() = 0;
    // Serves one request on the engine thread, without the lock; the
    // response to queue (code 0: none), *next a request to chain (dropped
    // when a cancel came meanwhile). The resets are the base's and never
    // come here.
    virtual ANTFSResponse serve(uint8_t request, uint8_t* next) = 0;
    // How long the engine thread waits for a request (under the lock).
    virtual uint32_t idleWaitMs() const = 0;
    // No request came within idleWaitMs (under the lock, which it may give
    // up around radio work).
    virtual void onIdle(std::unique_lock<std::recursive_mutex>& lock) = 0;
    // A radio reset is taken (under the lock).
    virtual void radioResetLocked() { }

    ANTFramer* m_framer = nullptr;
    mutable std::recursive_mutex m_mutex; // state, request, flags, fields
    std::condition_variable_any m_requestCv;
    std::condition_variable_any m_messageCv;
    ANTFSResponseQueue m_responses;
    ce::HANDLE m_thread = nullptr;
    std::atomic<bool> m_stop { false };
    // The engine's own cancel word: its transfers end on it, nobody else's.
    std::atomic<uint32_t> m_cancel { 0 };
    std::atomic<uint8_t> m_state { kStateClosed };
    uint8_t m_pending = 0;
    // The engine thread serves m_pending: it stays until the request ends.
    bool m_serving = false;

private:
    static ce::DWORD threadMain(void* self);
    void mainLoop();
    ANTFSResponse serveRequest(uint8_t request, uint8_t* next);
    // The resets and the radio failure: neither a cancel nor a caller's
    // request replaces them.
    static bool isReset(uint8_t request)
    {
        return request == kRequestReset || request == kRequestFailed || request == kRequestFailedReset;
    }

    const char* const m_name;
    const uint32_t m_cancelledResponse;
};

} // namespace senvoy
