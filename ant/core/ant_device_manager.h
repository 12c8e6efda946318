// The library core: owns the radio port and the framer, opens, resets and
// closes the radio link on its state thread, and hands every received
// message to the handler of its channel on its receive thread.
#pragma once

#include "ant/core/ant_channel_handler.h"
#include "ant/core/ant_framer.h"
#include "ant/core/ant_port.h"
#include "ant/core/os_services.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>

namespace senvoy {

constexpr uint8_t ANT_CHANNELS = 8;

// Connection states.
constexpr uint8_t ANT_CONNECTION_STOPPED = 0;
constexpr uint8_t ANT_CONNECTION_CLOSED = 1; // after a failure; stays closed until started again
constexpr uint8_t ANT_CONNECTION_RETRYING = 2;
constexpr uint8_t ANT_CONNECTION_OPEN = 3;

// State events (waitEvent).
constexpr uint32_t ANT_STATE_EVENT_OPENED = 1;
constexpr uint32_t ANT_STATE_EVENT_OPEN_FAILED = 2;
constexpr uint32_t ANT_STATE_EVENT_RESET = 3;

class ANTDeviceManager {
public:
    static constexpr uint32_t kStateJoinBoundMs = 9000;
    static constexpr uint32_t kReceiveJoinBoundMs = 2000;

    // Over the radio's stream driver.
    ANTDeviceManager();
    // Over another port (owned).
    explicit ANTDeviceManager(std::unique_ptr<ANTPort> port);
    virtual ~ANTDeviceManager();
    ANTDeviceManager(const ANTDeviceManager&) = delete;
    ANTDeviceManager& operator=(const ANTDeviceManager&) = delete;

    // Starts the threads and asks the state thread to open the radio.
    // 1 when the threads run (the radio opens on the state thread), 0 when
    // construction failed or a thread could not be made.
    int start(bool autoRetry);
    // Stops both threads and closes the radio. False when a thread overran
    // its join bound: it still uses this object, which must then be kept.
    bool stop();

    // 0 for channel 8 or more, a null handler or a taken slot; else stores
    // the handler, calls its attach and returns 1.
    int registerChannel(uint8_t channel, ANTChannelHandler* handler);
    // Empties the handler's slot (after its detach) and returns 1; 0 when
    // the slot does not hold it. Returns after any call into the handler on
    // the receive or state thread has finished, so the caller may delete it
    // (unless called from that very call, which it must not wait for).
    int unregisterChannel(ANTChannelHandler* handler);
    // Whether registerChannel would take the handler on channel now: the
    // radio has the channel and its slot is empty or holds the handler.
    bool channelOpenTo(uint8_t channel, const ANTChannelHandler* handler);

    uint8_t connectionState() const;
    ANTFramer* framer() { return m_framer.get(); }
    bool constructionFailed() const { return m_constructionFailed; }
    // The word transfers read to cancel (1); cleared by start.
    std::atomic<uint32_t>& cancelWord() { return m_cancel; }
    // Takes the oldest state event, waiting up to timeoutMs for one.
    bool waitEvent(uint32_t timeoutMs, uint32_t* event);

private:
    static ce::DWORD stateThreadMain(void* self);
    static ce::DWORD receiveThreadMain(void* self);
    void stateLoop();
    void receiveLoop();
    bool openPort();
    void closePort();
    void resetRadioLocked();
    void requestReset();
    void postEventLocked(uint32_t event);
    void dispatch(const uint8_t* message, uint16_t length);

    std::atomic<uint32_t> m_cancel { 0 };
    std::unique_ptr<ANTPort> m_port;
    std::unique_ptr<ANTFramer> m_framer;
    bool m_constructionFailed = false;
    bool m_portOpen = false;

    OsMutex m_queueMutex; // the event queue
    OsMutex m_stateMutex; // state, action, stop and running flags
    OsMutex m_handlerMutex; // registration
    OsCondition m_actionCondition;
    OsCondition m_eventCondition;
    std::deque<uint32_t> m_events;

    ce::HANDLE m_stateThread = nullptr;
    ce::HANDLE m_receiveThread = nullptr;
    std::atomic<bool> m_stop { false };
    std::atomic<bool> m_stateRunning { false };
    std::atomic<bool> m_receiveRunning { false };
    bool m_autoRetry = false;
    std::atomic<uint8_t> m_state { ANT_CONNECTION_STOPPED };
    uint8_t m_action = 0; // 0 none, 1 open, 2 reset, 3 reset done
    uint32_t m_portSettingA = 0;
    uint32_t m_portSettingB = 0;

    // The handler table. Every call into a handler from the receive and the
    // state thread happens under m_dispatchMutex, so unregistering (which
    // takes it) waits for a call in progress. Re-entrant: a handler may
    // reach back into the manager from such a call.
    std::recursive_mutex m_dispatchMutex;
    ANTChannelHandler* m_handlers[ANT_CHANNELS] = {};
};

} // namespace senvoy
