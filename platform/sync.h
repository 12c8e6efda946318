// Threads, events, semaphores, mutexes, critical sections, sleeps and the tick
// count. Every wait can be woken by closing the handle it waits on, so a
// thread blocked in a wait can always be stopped and joined.
#pragma once

#include "platform/types.h"

#include <functional>
#include <memory>
#include <mutex>

namespace ce {

namespace detail {
class MutexObject;
}

// Events: manual or automatic reset.
HANDLE createEvent(bool manualReset, bool initialState);
BOOL setEvent(HANDLE event);
BOOL resetEvent(HANDLE event);

// Semaphores.
HANDLE createSemaphore(LONG initialCount, LONG maximumCount);
BOOL releaseSemaphore(HANDLE semaphore, LONG releaseCount, LONG* previousCount = nullptr);

// Mutexes: re-entrant for the owning thread.
HANDLE createMutex(bool initialOwner = false);
BOOL releaseMutex(HANDLE mutex);

// A mutex handle's object held directly, for a lock taken at every message:
// waits and releases skip the handle table. Closing the handle still fails
// the waits that follow, as waits through the handle do.
class MutexReference {
public:
    MutexReference() = default;
    // Empty when h is not a mutex.
    explicit MutexReference(HANDLE h);
    bool valid() const { return m_object != nullptr; }
    // As waitForSingleObject and releaseMutex on the handle.
    DWORD wait(DWORD timeoutMs) const;
    BOOL release() const;

private:
    std::shared_ptr<detail::MutexObject> m_object;
};

// Waits: WAIT_OBJECT_0 (+ index), WAIT_TIMEOUT or WAIT_FAILED (handle
// invalid or closed during the wait). Waiting on a thread waits for its end;
// on a message queue's read end, for a message; on an auto-reset event,
// consumes the signal.
DWORD waitForSingleObject(HANDLE h, DWORD timeoutMs);
// Waits for the first of several objects (mutexes excepted), or with waitAll
// until all of them are signalled at once, taking them together (the same
// object twice is refused then).
DWORD waitForMultipleObjects(DWORD count, const HANDLE* handles, bool waitAll, DWORD timeoutMs);

// Threads. The handle becomes signalled when the function returns.
using ThreadProc = DWORD (*)(void* arg);
HANDLE createThread(ThreadProc proc, void* arg, DWORD* threadId = nullptr);
HANDLE createThread(std::function<DWORD()> fn, DWORD* threadId = nullptr);
BOOL getExitCodeThread(HANDLE thread, DWORD* exitCode);
DWORD getCurrentThreadId();
DWORD getCurrentProcessId();
// Waits at most timeoutMs for the thread to end; logs through debugOutput
// and returns false when it overruns (a thread cannot be killed here).
bool joinThread(HANDLE thread, DWORD timeoutMs, const char* who);

// Critical sections: a plain re-entrant lock.
struct CRITICAL_SECTION {
    std::recursive_mutex m;
};
void initializeCriticalSection(CRITICAL_SECTION* cs);
void deleteCriticalSection(CRITICAL_SECTION* cs);
void enterCriticalSection(CRITICAL_SECTION* cs);
void leaveCriticalSection(CRITICAL_SECTION* cs);

void sleep(DWORD ms);
// Milliseconds since an arbitrary start, wrapping at 2^32.
DWORD getTickCount();
// Tests only: moves getTickCount ahead by ms from now on (waits keep real
// time), as if that much time passed at once.
void advanceTickCountForTests(DWORD ms);

LONG interlockedIncrement(volatile LONG* v);
LONG interlockedDecrement(volatile LONG* v);
LONG interlockedExchange(volatile LONG* v, LONG value);

} // namespace ce
