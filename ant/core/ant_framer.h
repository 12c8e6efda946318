// The ANT serial framer: wraps outgoing ANT messages in frames, parses the
// received byte stream back into messages, keeps them in a receive ring and
// hands matching replies to threads waiting for them.
//
// A message is a byte array: byte 0 the message id, bytes 1..n the n data
// bytes (n at most 41). A frame is 0xA4, n, id, data, the XOR of all those
// bytes, and, when sent, two 0x00 bytes.
#pragma once

#include "ant/core/ant_port.h"
#include "ant/core/os_services.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace senvoy {

constexpr uint8_t ANT_SYNC = 0xA4;
constexpr uint8_t ANT_MAX_DATA = 41;
constexpr uint32_t ANT_MESSAGE_SIZE = ANT_MAX_DATA + 1; // id + data
constexpr uint32_t ANT_MAX_FRAME = ANT_MAX_DATA + 6;

// Results of peekMessage, waitMessage and readMessage besides a length.
constexpr uint16_t ANT_NO_MESSAGE = 65534;
constexpr uint16_t ANT_READ_ERROR = 65535;

// Error kinds (out[0] of a readMessage that returns ANT_READ_ERROR) and the
// codes of kind 2 (out[1]).
constexpr uint8_t ANT_ERROR_RING_FULL = 1;
constexpr uint8_t ANT_ERROR_PORT = 2;
constexpr uint8_t ANT_ERROR_BAD_LENGTH = 3;
constexpr uint8_t ANT_ERROR_WAIT = 255;
constexpr uint8_t ANT_CODE_WRITE = 2;
constexpr uint8_t ANT_CODE_READ = 3;
constexpr uint8_t ANT_CODE_CHECKSUM = 4;

class ANTResponseWaiter;

class ANTFramer : public ANTPortListener {
public:
    static constexpr uint32_t kRingSlots = 65536;
    static constexpr uint32_t kSlotSize = 2 + ANT_MAX_DATA; // length, id, data

    // cancelWord: the library core's cancel word (1 = cancel), read by
    // transfers; may be null.
    explicit ANTFramer(const std::atomic<uint32_t>* cancelWord = nullptr);
    ~ANTFramer() override;
    ANTFramer(const ANTFramer&) = delete;
    ANTFramer& operator=(const ANTFramer&) = delete;

    // The receive parser, on the port's reader thread.
    void onByte(uint8_t b) override;
    // The parser over a chunk, under one lock.
    void onBytes(const uint8_t* bytes, uint32_t n) override;
    // Raises error kind 2 with the port's code.
    void onPortEvent(uint8_t code) override;
    // Frames msg (id, then n data bytes) and writes it with one port call:
    // 1 when the port accepted it, 0 for n > 41, no port or a failed write.
    virtual int writeMessage(const uint8_t* msg, uint32_t n);
    // As peekMessage, but waits once up to timeoutMs when the ring is empty.
    virtual uint16_t waitMessage(uint32_t timeoutMs);
    // Takes the oldest message: out[0] = id, out[1..length] = data; returns
    // the data length (cut to max when max is nonzero). out must hold
    // max + 1 bytes, or ANT_MESSAGE_SIZE when max is 0. A pending error is
    // reported once instead: out[0] = kind (out[1] = code for kind 2),
    // ANT_READ_ERROR. An empty ring gives ANT_NO_MESSAGE.
    virtual uint16_t readMessage(uint8_t* out, uint16_t max);
    // A new ANT_MESSAGE_SIZE buffer in *out when n <= 41 (free it with
    // freeMessage); else 0 and null.
    virtual int allocMessage(uint8_t** out, uint32_t n);
    static void freeMessage(uint8_t* message);

    // Empties the ring, the parser and the error and stores the port (when
    // one is given). Returns 1 when the framer is usable, 0 without a port.
    int setPort(ANTPort* port);
    ANTPort* port() const { return m_port; }
    // ANT_READ_ERROR when an error is pending, ANT_NO_MESSAGE when the ring
    // is empty, else the data length of the oldest message (kept).
    uint16_t peekMessage();
    // The channel of a received message (dataLength data bytes follow the
    // id), or 255 when it belongs to no channel.
    static uint8_t channelOf(const uint8_t* msg, uint32_t dataLength = ANT_MAX_DATA);
    bool initialised() const { return m_initialised; }
    bool cancelRequested() const { return (m_cancel && *m_cancel == 1) || threadCancelRequested(); }
    // A word of the calling thread's own, read by its transfers besides the
    // core's: an owner that cancels its own waits leaves other senders alone.
    // Null takes it away again.
    static void setThreadCancelWord(const std::atomic<uint32_t>* word);
    static bool threadCancelRequested();
    // Wakes a thread in waitMessage (it peeks again), so an owner that is
    // stopping need not wait for the time-out.
    void wake();

private:
    friend class ANTResponseWaiter;
    void storeMessageLocked(uint8_t id, const uint8_t* data, uint8_t n);
    void offerToWaiters(uint8_t id, const uint8_t* data, uint8_t n);
    void raiseErrorLocked(uint8_t kind, uint8_t code);
    uint16_t peekLocked() const;
    void startFrameLocked();
    void parseLocked(uint8_t b);

    std::atomic<ANTPort*> m_port { nullptr };
    // Parser.
    uint32_t m_pos = 0;
    uint8_t m_frame[256] = {};
    uint8_t m_xor = 0;
    uint32_t m_checksumIndex = 0;
    // Receive ring.
    std::unique_ptr<uint8_t[]> m_ring;
    uint16_t m_write = 0;
    uint16_t m_read = 0;
    uint8_t m_errorKind = 0;
    uint8_t m_errorCode = 0;
    const std::atomic<uint32_t>* m_cancel;
    OsMutex m_ringMutex; // parser, ring, error; taken before m_waiterMutex
    OsMutex m_waiterMutex; // waiter list
    OsCondition m_condition;
    uint32_t m_readers = 0; // threads in waitMessage; under m_ringMutex
    ANTResponseWaiter* m_waiters = nullptr;
    std::atomic<uint32_t> m_armed { 0 }; // waiters in the list
    bool m_initialised = true;
};

// One outstanding request's wait for its reply. Owned by the thread that
// waits; arm it before writing the request so a fast reply is not missed.
class ANTResponseWaiter {
public:
    ANTResponseWaiter();
    ~ANTResponseWaiter(); // disarms
    ANTResponseWaiter(const ANTResponseWaiter&) = delete;
    ANTResponseWaiter& operator=(const ANTResponseWaiter&) = delete;

    // Awaits message id whose first m data bytes equal matchBytes (any
    // message id when m is 0), signalled on condition (another waiter's, to
    // wait for several replies at once) or on its own. 0 and nothing armed
    // without a framer, for m > 41, or for missing match bytes.
    int arm(uint8_t id, const uint8_t* matchBytes, uint8_t m, ANTFramer* framer, OsCondition* condition = nullptr);
    void disarm();
    // The done flag; waits once up to timeoutMs first when not done.
    bool wait(uint32_t timeoutMs);
    // For n waiters armed on one framer and signalled on one condition (the
    // first waiter's): waits once up to timeoutMs unless one of them is done,
    // checking them under the framer's waiter lock so no reply slips between
    // the check and the wait. True when any of them is done.
    static bool waitAny(ANTResponseWaiter* const* waiters, size_t n, uint32_t timeoutMs);

    bool done() const { return m_done; }
    uint8_t messageId() const { return m_id; }
    // After done: the reply's data length and its data bytes.
    uint8_t dataLength() const { return m_length; }
    const uint8_t* data() const { return m_area; }
    OsCondition* ownCondition() { return &m_ownCondition; }

private:
    friend class ANTFramer;
    ANTFramer* m_framer = nullptr;
    ANTResponseWaiter* m_next = nullptr;
    bool m_linked = false;
    uint8_t m_matchLength = 0;
    uint8_t m_length = 0;
    uint8_t m_id = 0;
    uint8_t m_area[ANT_MAX_DATA] = {};
    OsCondition m_ownCondition;
    OsCondition* m_condition = &m_ownCondition;
    std::atomic<bool> m_done { false };
};

} // namespace senvoy
