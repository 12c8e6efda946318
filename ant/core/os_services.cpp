#include "ant/core/os_services.h"

#include "platform/debug.h"
#include "platform/paths.h"
#include "platform/sync.h"

#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstring>
#include <mutex>

namespace senvoy {

// ---- OsMutex ---------------------------------------------------------------

OsMutex::~OsMutex()
{
    close();
}

uint8_t OsMutex::create()
{
    if (m_handle)
        return OS_OK;
    m_handle = ce::createMutex(false);
    m_direct = ce::MutexReference(m_handle);
    return m_handle ? OS_OK : OS_FAIL;
}

uint8_t OsMutex::close()
{
    if (!m_handle)
        return OS_FAIL;
    ce::HANDLE h = m_handle;
    m_handle = nullptr;
    // Closing fails the waits of other threads; the reference is kept so a
    // lock racing the close fails on the closed mutex like a wait on it.
    return ce::closeHandle(h) ? OS_OK : OS_FAIL;
}

uint8_t OsMutex::lock()
{
    return m_direct.wait(ce::INFINITE) == ce::WAIT_OBJECT_0 ? OS_OK : OS_FAIL;
}

uint8_t OsMutex::tryLock()
{
    ce::DWORD r = m_direct.wait(0);
    if (r == ce::WAIT_OBJECT_0)
        return OS_OK;
    return r == ce::WAIT_TIMEOUT ? OS_BUSY : OS_FAIL;
}

uint8_t OsMutex::unlock()
{
    return m_direct.release() ? OS_OK : OS_FAIL;
}

// ---- OsCondition -----------------------------------------------------------
//
// Each waiter registers under the inner lock before it lets go of the
// caller's mutex, so a signal given after that point always finds it. A
// signal turns one registered waiter into a wake permit and starts a new
// generation; a waiter only takes a permit made after it registered, so a
// late-comer never steals the wake meant for an earlier waiter. A waiter
// that times out takes itself off the count, so later broadcasts and
// signals count only real waiters.

struct OsCondition::State {
    std::mutex m;
    std::condition_variable cv;
    uint32_t waiters = 0; // registered and not yet given a permit
    uint32_t permits = 0; // wakes given and not yet taken
    uint64_t generation = 0;
    bool destroyed = false;
};

OsCondition::~OsCondition()
{
    destroy();
}

uint8_t OsCondition::create()
{
    if (std::atomic_load(&m_state))
        return OS_OK;
    std::atomic_store(&m_state, std::make_shared<State>());
    return OS_OK;
}

uint8_t OsCondition::destroy()
{
    auto s = std::atomic_exchange(&m_state, std::shared_ptr<State>());
    if (!s)
        return OS_FAIL;
    std::lock_guard<std::mutex> lock(s->m);
    s->destroyed = true;
    s->cv.notify_all();
    return OS_OK;
}

uint8_t OsCondition::timedWait(OsMutex& mutex, uint32_t timeoutMs)
{
    auto s = std::atomic_load(&m_state);
    if (!s)
        return OS_FAIL;
    uint64_t generation;
    {
        std::lock_guard<std::mutex> lock(s->m);
        if (s->destroyed)
            return OS_FAIL;
        ++s->waiters;
        generation = s->generation;
    }
    if (mutex.unlock() != OS_OK) {
        std::lock_guard<std::mutex> lock(s->m);
        if (s->waiters > 0)
            --s->waiters;
        return OS_FAIL;
    }
    bool woken;
    {
        std::unique_lock<std::mutex> lock(s->m);
        auto ready = [&] { return s->destroyed || (s->permits > 0 && s->generation != generation); };
        if (timeoutMs == OS_INFINITE) {
            s->cv.wait(lock, ready);
            woken = true;
        } else {
            woken = s->cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
        }
        if (woken && !s->destroyed)
            --s->permits;
        else if (!woken && s->waiters > 0)
            --s->waiters;
    }
    if (mutex.lock() != OS_OK)
        return OS_FAIL;
    return woken ? OS_OK : OS_TIMEOUT;
}

uint8_t OsCondition::signal()
{
    auto s = std::atomic_load(&m_state);
    if (!s)
        return OS_FAIL;
    std::lock_guard<std::mutex> lock(s->m);
    if (s->waiters > 0) {
        --s->waiters;
        ++s->permits;
        ++s->generation;
        s->cv.notify_all();
    }
    return OS_OK;
}

uint8_t OsCondition::broadcast()
{
    auto s = std::atomic_load(&m_state);
    if (!s)
        return OS_FAIL;
    std::lock_guard<std::mutex> lock(s->m);
    if (s->waiters > 0) {
        s->permits += s->waiters;
        s->waiters = 0;
        ++s->generation;
        s->cv.notify_all();
    }
    return OS_OK;
}

// ---- threads ---------------------------------------------------------------

ce::HANDLE OsThread_Create(OsThreadProc fn, void* arg)
{
    return fn ? ce::createThread(fn, arg) : nullptr;
}

uint8_t OsThread_Join(ce::HANDLE thread, uint32_t boundMs, const char* who)
{
    // A closed or unknown handle fails rather than passing for an ended thread.
    if (!thread || ce::waitForSingleObject(thread, 0) == ce::WAIT_FAILED)
        return OS_FAIL;
    return ce::joinThread(thread, boundMs, who) ? OS_OK : OS_FAIL;
}

uint8_t OsThread_Close(ce::HANDLE thread)
{
    return thread && ce::closeHandle(thread) ? OS_OK : OS_FAIL;
}

// ---- PeriodicTimer ---------------------------------------------------------

namespace {
std::atomic<uint32_t> g_stopBoundForTests { 0 };

uint32_t stopBound()
{
    uint32_t ms = g_stopBoundForTests;
    return ms ? ms : PeriodicTimer::kStopBoundMs;
}
} // namespace

// Shared between the timer and its thread, so a thread that overruns its
// stop bound still finds its state after the timer is gone.
struct PeriodicTimer::Shared {
    Function fn = nullptr; // cleared when the thread ends
    void* context = nullptr;
    bool stop = false;
    bool repeat = false;
    uint32_t periodMs = 0;
    ce::DWORD threadId = 0;
    OsMutex mutex;
    OsCondition wake;
    OsCondition ended;
};

void PeriodicTimer::setStopBoundForTests(uint32_t ms)
{
    g_stopBoundForTests = ms;
}

PeriodicTimer::~PeriodicTimer()
{
    stop();
}

uint8_t PeriodicTimer::create(Function fn, void* context, uint32_t periodMs, bool repeat)
{
    if (isRunning() || !fn)
        return OS_FAIL;
    stop(); // a timer that ended by itself leaves its handle behind
    std::lock_guard<std::mutex> guard(m_lock);
    auto s = std::make_shared<Shared>();
    if (s->mutex.create() != OS_OK || s->wake.create() != OS_OK || s->ended.create() != OS_OK)
        return OS_FAIL;
    s->fn = fn;
    s->context = context;
    s->repeat = repeat;
    s->periodMs = periodMs;
    s->mutex.lock(); // the thread waits here until its id is recorded
    ce::DWORD tid = 0;
    ce::HANDLE thread = ce::createThread(
        [s]() -> ce::DWORD {
            ce::DWORD next = ce::getTickCount();
            for (;;) {
                s->mutex.lock();
                bool stopping = s->stop;
                s->mutex.unlock();
                if (stopping)
                    break;
                next += s->periodMs;
                int32_t remaining = int32_t(next - ce::getTickCount());
                if (remaining > 0) {
                    s->mutex.lock();
                    uint8_t r = s->stop ? OS_OK : s->wake.timedWait(s->mutex, uint32_t(remaining));
                    if (r != OS_TIMEOUT || s->stop) {
                        s->stop = true;
                        s->mutex.unlock();
                        break;
                    }
                    s->mutex.unlock();
                }
                s->fn(s->context);
                if (!s->repeat) {
                    s->mutex.lock();
                    s->stop = true;
                    s->mutex.unlock();
                }
            }
            s->mutex.lock();
            s->fn = nullptr;
            s->ended.broadcast();
            s->mutex.unlock();
            return 0;
        },
        &tid);
    if (!thread) {
        s->fn = nullptr;
        s->mutex.unlock();
        return OS_FAIL;
    }
    s->threadId = tid;
    s->mutex.unlock();
    m_shared = std::move(s);
    m_thread = thread;
    return OS_OK;
}

bool PeriodicTimer::isRunning() const
{
    std::shared_ptr<Shared> s;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        s = m_shared;
    }
    if (!s)
        return false;
    s->mutex.lock();
    bool running = s->fn != nullptr && !s->stop;
    s->mutex.unlock();
    return running;
}

void PeriodicTimer::stop()
{
    std::shared_ptr<Shared> s;
    ce::HANDLE thread;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        s = std::move(m_shared);
        thread = m_thread;
        m_thread = nullptr;
    }
    if (!s)
        return;
    const uint32_t bound = stopBound();
    s->mutex.lock();
    s->stop = true;
    s->wake.signal();
    if (s->threadId == ce::getCurrentThreadId()) {
        // Stopped from its own function: the thread ends when that returns.
        s->mutex.unlock();
        OsThread_Close(thread);
        return;
    }
    ce::DWORD start = ce::getTickCount();
    while (s->fn) {
        ce::DWORD elapsed = ce::getTickCount() - start;
        if (elapsed >= bound)
            break;
        s->ended.timedWait(s->mutex, bound - elapsed);
    }
    bool ended = s->fn == nullptr;
    s->mutex.unlock();
    if (ended)
        OsThread_Join(thread, bound, "PeriodicTimer");
    else
        ce::debugPrintf(
            "PeriodicTimer: the timer function did not return within %u ms; no further call is made", bound);
    OsThread_Close(thread);
}

// ---- byte order ------------------------------------------------------------

void Bytes_Split16(uint16_t value, uint8_t* high, uint8_t* low)
{
    if (high)
        *high = uint8_t(value >> 8);
    if (low)
        *low = uint8_t(value);
}

uint16_t Bytes_Join16(uint8_t high, uint8_t low)
{
    return uint16_t((high << 8) | low);
}

void Bytes_Split32(uint32_t value, uint8_t* b3, uint8_t* b2, uint8_t* b1, uint8_t* b0)
{
    if (b3)
        *b3 = uint8_t(value >> 24);
    if (b2)
        *b2 = uint8_t(value >> 16);
    if (b1)
        *b1 = uint8_t(value >> 8);
    if (b0)
        *b0 = uint8_t(value);
}

uint32_t Bytes_Join32(uint8_t b3, uint8_t b2, uint8_t b1, uint8_t b0)
{
    return (uint32_t(b3) << 24) | (uint32_t(b2) << 16) | (uint32_t(b1) << 8) | b0;
}

// ---- strings ---------------------------------------------------------------

int Str_Copy(char* dst, size_t dstSize, const char* src)
{
    if (!dst || !src || dstSize == 0)
        return 0;
    size_t n = std::strlen(src);
    if (n + 1 > dstSize)
        return 0;
    std::memcpy(dst, src, n + 1);
    return 1;
}

int Str_Append(char* dst, size_t dstSize, const char* src)
{
    if (!dst || !src || dstSize == 0)
        return 0;
    size_t have = strnlen(dst, dstSize);
    if (have == dstSize)
        return 0; // dst is not terminated within its size
    size_t n = std::strlen(src);
    if (have + n + 1 > dstSize)
        return 0;
    std::memcpy(dst + have, src, n + 1);
    return 1;
}

int Str_Print(char* buf, size_t size, const char* format, ...)
{
    if (!buf || size == 0)
        return -1;
    if (!format) {
        buf[0] = '\0';
        return 0;
    }
    va_list args;
    va_start(args, format);
    int r = std::vsnprintf(buf, size, format, args);
    va_end(args);
    if (r < 0 || size_t(r) >= size) {
        buf[size - 1] = '\0';
        if (r < 0)
            buf[0] = '\0';
        return int(size - 1);
    }
    return r;
}

FILE* File_Open(const char* devicePath, const char* mode)
{
    if (!devicePath || !mode)
        return nullptr;
    std::string path = ce::resolvePath(devicePath, false);
    return path.empty() ? nullptr : std::fopen(path.c_str(), mode);
}

} // namespace senvoy
