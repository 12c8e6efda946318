#include "ant/core/ant_framer.h"

#include "ant/core/checksums.h"
#include "platform/debug.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace senvoy {

namespace {
thread_local const std::atomic<uint32_t>* t_threadCancel = nullptr;
} // namespace

void ANTFramer::setThreadCancelWord(const std::atomic<uint32_t>* word)
{
    t_threadCancel = word;
}

bool ANTFramer::threadCancelRequested()
{
    return t_threadCancel && *t_threadCancel == 1;
}

ANTFramer::ANTFramer(const std::atomic<uint32_t>* cancelWord)
    : m_ring(new uint8_t[size_t(kRingSlots) * kSlotSize]())
    , m_cancel(cancelWord)
{
    if (m_ringMutex.create() != OS_OK || m_waiterMutex.create() != OS_OK || m_condition.create() != OS_OK)
        m_initialised = false;
}

ANTFramer::~ANTFramer()
{
    // Waiters still armed must not reach back into a framer that is gone.
    m_waiterMutex.lock();
    for (ANTResponseWaiter* w = m_waiters; w;) {
        ANTResponseWaiter* next = w->m_next;
        w->m_next = nullptr;
        w->m_linked = false;
        w->m_framer = nullptr;
        w = next;
    }
    m_waiters = nullptr;
    m_waiterMutex.unlock();
    m_condition.destroy();
    m_waiterMutex.close();
    m_ringMutex.close();
}

int ANTFramer::setPort(ANTPort* port)
{
    OsLock lock(m_ringMutex);
    m_write = m_read = 0;
    m_pos = 0;
    m_errorKind = m_errorCode = 0;
    if (!port)
        return 0;
    m_port = port;
    return m_initialised ? 1 : 0;
}

int ANTFramer::writeMessage(const uint8_t* msg, uint32_t n)
{
    ANTPort* port = m_port;
    if (!msg || n > ANT_MAX_DATA || !port)
        return 0;
    uint8_t frame[ANT_MAX_FRAME];
    frame[0] = ANT_SYNC;
    frame[1] = uint8_t(n);
    std::memcpy(frame + 2, msg, n + 1);
    frame[3 + n] = Checksum_Xor(frame, int(n + 3));
    frame[4 + n] = 0;
    frame[5 + n] = 0;
    return port->write(frame, n + 6) ? 1 : 0;
}

void ANTFramer::startFrameLocked()
{
    m_frame[0] = ANT_SYNC;
    m_xor = ANT_SYNC;
    m_checksumIndex = 2;
    m_pos = 1;
}

void ANTFramer::onByte(uint8_t b)
{
    OsLock lock(m_ringMutex);
    parseLocked(b);
}

void ANTFramer::onBytes(const uint8_t* bytes, uint32_t n)
{
    if (!bytes || n == 0)
        return;
    OsLock lock(m_ringMutex);
    for (uint32_t i = 0; i < n;) {
        if (m_pos >= 2 && m_pos < m_checksumIndex) {
            // The data bytes of a frame in one run.
            uint32_t run = std::min(n - i, m_checksumIndex - m_pos);
            uint8_t x = m_xor;
            for (uint32_t k = 0; k < run; ++k)
                x ^= bytes[i + k];
            std::memcpy(m_frame + m_pos, bytes + i, run);
            m_xor = x;
            m_pos += run;
            i += run;
            continue;
        }
        parseLocked(bytes[i++]);
    }
}

void ANTFramer::parseLocked(uint8_t b)
{
    if (m_pos == 0) {
        if (b == ANT_SYNC)
            startFrameLocked();
        return;
    }
    if (m_pos == 1) {
        if (b > ANT_MAX_DATA) {
            // No ANT message has that many data bytes: the frame is dropped
            // and the parser looks for the next sync byte from here on.
            ce::debugPrintf("ANTFramer: frame announcing %u data bytes dropped", b);
            m_pos = 0;
            if (b == ANT_SYNC)
                startFrameLocked();
            return;
        }
        m_frame[1] = b;
        m_xor ^= b;
        m_checksumIndex = uint32_t(b) + 3;
        m_pos = 2;
        return;
    }
    if (m_pos < m_checksumIndex) {
        m_frame[m_pos++] = b;
        m_xor ^= b;
        return;
    }
    m_pos = 0;
    if (b != m_xor) {
        raiseErrorLocked(ANT_ERROR_PORT, ANT_CODE_CHECKSUM);
        return;
    }
    storeMessageLocked(m_frame[2], m_frame + 3, m_frame[1]);
}

void ANTFramer::offerToWaiters(uint8_t id, const uint8_t* data, uint8_t n)
{
    m_waiterMutex.lock();
    for (ANTResponseWaiter* w = m_waiters; w; w = w->m_next) {
        if (w->m_done || w->m_id != id)
            continue;
        uint8_t m = w->m_matchLength;
        if (m > 0 && (n < m || std::memcmp(w->m_area, data, m) != 0))
            continue;
        w->m_length = n;
        if (n > m)
            std::memcpy(w->m_area + m, data + m, size_t(n - m));
        w->m_done = true;
        w->m_condition->signal();
    }
    m_waiterMutex.unlock();
}

void ANTFramer::storeMessageLocked(uint8_t id, const uint8_t* data, uint8_t n)
{
    // Most messages are broadcasts nobody awaits. A waiter armed after this
    // check was armed after the message came, so it would not match anyway.
    if (m_armed.load() > 0)
        offerToWaiters(id, data, n);
    if (uint16_t(m_write - m_read) == uint16_t(kRingSlots - 1)) {
        raiseErrorLocked(ANT_ERROR_RING_FULL, 0);
        return;
    }
    uint8_t* slot = m_ring.get() + size_t(m_write) * kSlotSize;
    slot[0] = n;
    slot[1] = id;
    std::memcpy(slot + 2, data, n);
    ++m_write;
    // Nobody waits while the reader thread is busy with earlier messages.
    if (m_readers > 0)
        m_condition.signal();
}

void ANTFramer::raiseErrorLocked(uint8_t kind, uint8_t code)
{
    m_errorKind = kind;
    m_errorCode = code;
    m_condition.signal();
}

void ANTFramer::onPortEvent(uint8_t code)
{
    OsLock lock(m_ringMutex);
    raiseErrorLocked(ANT_ERROR_PORT, code);
}

uint16_t ANTFramer::peekLocked() const
{
    if (m_errorKind != 0)
        return ANT_READ_ERROR;
    if (m_write == m_read)
        return ANT_NO_MESSAGE;
    return m_ring[size_t(m_read) * kSlotSize];
}

uint16_t ANTFramer::peekMessage()
{
    OsLock lock(m_ringMutex);
    return peekLocked();
}

uint16_t ANTFramer::waitMessage(uint32_t timeoutMs)
{
    OsLock lock(m_ringMutex);
    uint16_t r = peekLocked();
    if (r != ANT_NO_MESSAGE || timeoutMs == 0)
        return r;
    ++m_readers;
    uint8_t woken = m_condition.timedWait(m_ringMutex, timeoutMs);
    --m_readers;
    switch (woken) {
    case OS_OK:
        return peekLocked();
    case OS_TIMEOUT:
        return ANT_NO_MESSAGE;
    default:
        m_errorKind = ANT_ERROR_WAIT;
        m_errorCode = 0;
        return ANT_READ_ERROR;
    }
}

void ANTFramer::wake()
{
    OsLock lock(m_ringMutex);
    m_condition.signal();
}

uint16_t ANTFramer::readMessage(uint8_t* out, uint16_t max)
{
    if (!out)
        return ANT_READ_ERROR;
    OsLock lock(m_ringMutex);
    if (m_errorKind != 0) {
        out[0] = m_errorKind;
        if (m_errorKind == ANT_ERROR_PORT)
            out[1] = m_errorCode;
        m_errorKind = m_errorCode = 0;
        return ANT_READ_ERROR;
    }
    if (m_write == m_read)
        return ANT_NO_MESSAGE;
    const uint8_t* slot = m_ring.get() + size_t(m_read) * kSlotSize;
    ++m_read;
    uint16_t length = slot[0];
    if (max != 0 && length > max)
        length = max;
    if (length > ANT_MAX_DATA) {
        out[0] = ANT_ERROR_BAD_LENGTH;
        return ANT_READ_ERROR;
    }
    out[0] = slot[1];
    std::memcpy(out + 1, slot + 2, length);
    return length;
}

int ANTFramer::allocMessage(uint8_t** out, uint32_t n)
{
    if (!out)
        return 0;
    *out = nullptr;
    if (n > ANT_MAX_DATA)
        return 0;
    *out = new (std::nothrow) uint8_t[ANT_MESSAGE_SIZE]();
    return *out ? 1 : 0;
}

void ANTFramer::freeMessage(uint8_t* message)
{
    delete[] message;
}

uint8_t ANTFramer::channelOf(const uint8_t* msg, uint32_t dataLength)
{
    if (!msg || dataLength == 0)
        return 255;
    switch (msg[0]) {
    case 0x6F: // start-up
    case 0x54: // capabilities
    case 0x3E: // version
    case 0x61: // serial number
        return 255;
    case 0x40: // channel response: network key, transmit power and one more are radio-wide
        if (dataLength >= 2 && (msg[2] == 0x46 || msg[2] == 0x47 || msg[2] == 0x66))
            return 255;
        break;
    default:
        break;
    }
    return uint8_t(msg[1] & 31);
}

// ---- ANTResponseWaiter -----------------------------------------------------

ANTResponseWaiter::ANTResponseWaiter()
{
    m_ownCondition.create();
}

ANTResponseWaiter::~ANTResponseWaiter()
{
    disarm();
}

int ANTResponseWaiter::arm(uint8_t id, const uint8_t* matchBytes, uint8_t m, ANTFramer* framer, OsCondition* condition)
{
    if (!framer || m > ANT_MAX_DATA || (m > 0 && !matchBytes))
        return 0;
    disarm();
    OsLock lock(framer->m_waiterMutex);
    m_framer = framer;
    m_id = id;
    m_matchLength = m;
    m_length = 0;
    if (m > 0)
        std::memcpy(m_area, matchBytes, m);
    m_condition = condition ? condition : &m_ownCondition;
    m_done = false;
    m_next = nullptr;
    ANTResponseWaiter** tail = &framer->m_waiters;
    while (*tail)
        tail = &(*tail)->m_next;
    *tail = this;
    m_linked = true;
    ++framer->m_armed;
    return 1;
}

void ANTResponseWaiter::disarm()
{
    ANTFramer* framer = m_framer;
    if (!framer)
        return;
    OsLock lock(framer->m_waiterMutex);
    if (m_linked) {
        for (ANTResponseWaiter** p = &framer->m_waiters; *p; p = &(*p)->m_next) {
            if (*p == this) {
                *p = m_next;
                break;
            }
        }
        m_linked = false;
        m_next = nullptr;
        --framer->m_armed;
    }
}

bool ANTResponseWaiter::wait(uint32_t timeoutMs)
{
    ANTFramer* framer = m_framer;
    if (!framer)
        return m_done;
    OsLock lock(framer->m_waiterMutex);
    if (!m_done && timeoutMs != 0)
        m_condition->timedWait(framer->m_waiterMutex, timeoutMs);
    return m_done;
}

bool ANTResponseWaiter::waitAny(ANTResponseWaiter* const* waiters, size_t n, uint32_t timeoutMs)
{
    if (!waiters || n == 0 || !waiters[0])
        return false;
    ANTFramer* framer = waiters[0]->m_framer;
    auto anyDone = [&] {
        for (size_t i = 0; i < n; ++i)
            if (waiters[i] && waiters[i]->m_done)
                return true;
        return false;
    };
    if (!framer)
        return anyDone();
    OsLock lock(framer->m_waiterMutex);
    if (!anyDone() && timeoutMs != 0)
        waiters[0]->m_condition->timedWait(framer->m_waiterMutex, timeoutMs);
    return anyDone();
}

} // namespace senvoy
