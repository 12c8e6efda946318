// The kernel services the ANT library uses: re-entrant mutexes, a condition
// variable, threads, a periodic timer thread, byte-order helpers and small
// string helpers. Operations return 0 for success and 255 for failure unless
// a comment says otherwise.
#pragma once

#include "platform/sync.h"
#include "platform/types.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>

namespace senvoy {

constexpr uint8_t OS_OK = 0;
constexpr uint8_t OS_FAIL = 255;
constexpr uint8_t OS_BUSY = 2; // tryLock: held by another thread
constexpr uint8_t OS_TIMEOUT = 1; // timedWait: nobody signalled in time
constexpr uint32_t OS_INFINITE = 0xFFFFFFFFu;

// A kernel mutex, re-entrant for the thread that owns it.
class OsMutex {
public:
    OsMutex() = default;
    ~OsMutex(); // closes the mutex if still open
    OsMutex(const OsMutex&) = delete;
    OsMutex& operator=(const OsMutex&) = delete;

    uint8_t create();
    uint8_t close();
    uint8_t lock();
    uint8_t tryLock(); // OS_OK when taken, OS_BUSY when another thread holds it
    uint8_t unlock();
    bool valid() const { return m_handle != nullptr; }

private:
    ce::HANDLE m_handle = nullptr;
    // The same mutex without the handle look-up: the framer locks it for
    // every message.
    ce::MutexReference m_direct;
};

// Holds an OsMutex for one scope.
class OsLock {
public:
    explicit OsLock(OsMutex& m)
        : m_mutex(m)
    {
        m_mutex.lock();
    }
    ~OsLock() { m_mutex.unlock(); }
    OsLock(const OsLock&) = delete;
    OsLock& operator=(const OsLock&) = delete;

private:
    OsMutex& m_mutex;
};

// A condition variable used with an OsMutex. A signal wakes at most one
// waiter and is lost when nobody waits; a broadcast wakes every waiter.
// Waiters re-check what they wait for after waking.
class OsCondition {
public:
    OsCondition() = default;
    ~OsCondition(); // destroys the condition if still alive
    OsCondition(const OsCondition&) = delete;
    OsCondition& operator=(const OsCondition&) = delete;

    uint8_t create();
    // Wakes every waiter (their waits return OS_OK) and releases the
    // condition; later waits fail.
    uint8_t destroy();
    // The caller holds mutex (once). Returns OS_OK when woken, OS_TIMEOUT
    // when timeoutMs passed (OS_INFINITE waits without bound), OS_FAIL when
    // the condition is not alive or the mutex could not be released. The
    // mutex is held again on return in every case but the failed release.
    uint8_t timedWait(OsMutex& mutex, uint32_t timeoutMs);
    uint8_t signal();
    uint8_t broadcast();
    bool valid() const { return m_state != nullptr; }

private:
    struct State;
    std::shared_ptr<State> m_state;
};

// Threads. A thread here cannot be killed: a thread's function must watch a
// stop flag of its own, and the owner joins it with a bound.
using OsThreadProc = ce::DWORD (*)(void* arg);
// Starts fn(arg) at once; null when the thread could not be made.
ce::HANDLE OsThread_Create(OsThreadProc fn, void* arg);
// Waits up to boundMs for the thread to end: OS_OK when it ended, OS_FAIL
// (logged with who) when it overran its bound or the handle is invalid.
uint8_t OsThread_Join(ce::HANDLE thread, uint32_t boundMs, const char* who);
uint8_t OsThread_Close(ce::HANDLE thread);

// Calls a function every period milliseconds on a thread of its own (once,
// after one period, without repeat). Calls do not drift: the deadline moves
// by whole periods, and a late call shortens or skips the next wait.
class PeriodicTimer {
public:
    using Function = void (*)(void* context);
    // How long stop() waits for the thread to end.
    static constexpr uint32_t kStopBoundMs = 3000;

    PeriodicTimer() = default;
    ~PeriodicTimer(); // stops
    PeriodicTimer(const PeriodicTimer&) = delete;
    PeriodicTimer& operator=(const PeriodicTimer&) = delete;

    // Starts the timer thread; OS_FAIL (nothing running) when a kernel
    // object or the thread could not be made, or a timer already runs.
    uint8_t create(Function fn, void* context, uint32_t periodMs, bool repeat);
    bool isRunning() const;
    // Stops the thread and waits for it up to the stop bound. A call in
    // progress finishes first; when it overruns the bound, the overrun is
    // logged, stop returns, and no further call is made.
    void stop();

    // Tests only: shortens the stop bound (0 restores kStopBoundMs).
    static void setStopBoundForTests(uint32_t ms);

private:
    struct Shared;
    mutable std::mutex m_lock; // m_shared and m_thread, so stop may run on any thread
    std::shared_ptr<Shared> m_shared;
    ce::HANDLE m_thread = nullptr;
};

// Byte order. ANT fields are little-endian; these helpers take and give
// bytes most significant first. Null outputs are skipped.
void Bytes_Split16(uint16_t value, uint8_t* high, uint8_t* low);
uint16_t Bytes_Join16(uint8_t high, uint8_t low);
void Bytes_Split32(uint32_t value, uint8_t* b3, uint8_t* b2, uint8_t* b1, uint8_t* b0);
uint32_t Bytes_Join32(uint8_t b3, uint8_t b2, uint8_t b1, uint8_t b0);

// Strings. Copy and append return 1 on success and 0, leaving dst as it was,
// when the result with its terminator would not fit dstSize.
int Str_Copy(char* dst, size_t dstSize, const char* src);
int Str_Append(char* dst, size_t dstSize, const char* src);
// printf into buf: -1 for a zero size, size - 1 when the text was cut or
// formatting failed (buf holds what fits, terminated), else the length.
int Str_Print(char* buf, size_t size, const char* format, ...) __attribute__((format(printf, 3, 4)));
// fopen of a device path.
FILE* File_Open(const char* devicePath, const char* mode);

} // namespace senvoy
