#include "platform/sync.h"

#include "platform/debug.h"
#include "platform/handles.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <thread>
#include <typeinfo>
#include <vector>

namespace ce {

using detail::KernelObject;

namespace detail {

class MutexObject final : public KernelObject {
public:
    DWORD wait(DWORD timeoutMs)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (m_closed)
            return WAIT_FAILED;
        auto me = std::this_thread::get_id();
        if (m_depth > 0 && m_owner == me) {
            ++m_depth;
            return WAIT_OBJECT_0;
        }
        auto free = [&] { return m_depth == 0 || m_closed; };
        if (timeoutMs == INFINITE)
            m_cv.wait(lock, free);
        else if (!m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), free))
            return WAIT_TIMEOUT;
        if (m_closed)
            return WAIT_FAILED;
        m_owner = me;
        m_depth = 1;
        return WAIT_OBJECT_0;
    }
    bool release()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_depth == 0 || m_owner != std::this_thread::get_id())
            return false;
        if (--m_depth == 0)
            m_cv.notify_one();
        return true;
    }
    void onClose() override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_closed = true;
        m_cv.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::thread::id m_owner;
    int m_depth = 0;
    bool m_closed = false;
};

} // namespace detail

namespace {

// The mutex behind a handle, or null. Locking is the hottest path through
// the handle table, so the exact type is compared instead of a dynamic cast.
std::shared_ptr<detail::MutexObject> asMutex(std::shared_ptr<KernelObject> object)
{
    if (!object)
        return nullptr;
    const KernelObject& held = *object;
    if (typeid(held) != typeid(detail::MutexObject))
        return nullptr;
    return std::static_pointer_cast<detail::MutexObject>(std::move(object));
}


class EventObject : public KernelObject {
public:
    EventObject(bool manual, bool initial)
        : m_manual(manual)
        , m_fd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
    {
        if (initial)
            set();
    }
    ~EventObject() override
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool valid() const { return m_fd >= 0; }
    int waitFd() const override { return m_fd; }
    void set()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_signalled) {
            detail::signalEventFd(m_fd);
            m_signalled = true;
        }
    }
    void reset()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        drainLocked();
    }
    bool consume() override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_signalled)
            return false;
        if (!m_manual)
            drainLocked();
        return true;
    }
    void giveBack() override
    {
        if (!m_manual)
            set();
    }

private:
    void drainLocked()
    {
        if (m_signalled) {
            detail::drainEventFd(m_fd);
            m_signalled = false;
        }
    }
    std::mutex m_mutex;
    bool m_manual;
    bool m_signalled = false;
    int m_fd;
};

class SemaphoreObject : public KernelObject {
public:
    SemaphoreObject(LONG initial, LONG maximum)
        : m_fd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK | EFD_SEMAPHORE))
        , m_max(maximum)
    {
        if (initial > 0)
            release(initial, nullptr);
    }
    ~SemaphoreObject() override
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool valid() const { return m_fd >= 0; }
    int waitFd() const override { return m_fd; }
    bool release(LONG n, LONG* previous)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (n <= 0 || LONG(m_count) > m_max - n)
            return false;
        if (previous)
            *previous = m_count;
        uint64_t v = uint64_t(n);
        if (::write(m_fd, &v, sizeof v) != sizeof v)
            return false;
        m_count += n;
        return true;
    }
    bool consume() override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        uint64_t v;
        if (::read(m_fd, &v, sizeof v) != sizeof v)
            return false;
        --m_count;
        return true;
    }
    void giveBack() override { release(1, nullptr); }

private:
    std::mutex m_mutex;
    int m_fd;
    LONG m_max;
    LONG m_count = 0;
};

struct ThreadState {
    int doneFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    std::atomic<bool> done { false };
    std::atomic<DWORD> exitCode { 259 }; // STILL_ACTIVE
    std::atomic<DWORD> tid { 0 };
    ~ThreadState()
    {
        if (doneFd >= 0)
            ::close(doneFd);
    }
};

class ThreadObject : public KernelObject {
public:
    explicit ThreadObject(std::shared_ptr<ThreadState> s)
        : state(std::move(s))
    {
    }
    ~ThreadObject() override
    {
        if (thread.joinable()) {
            if (state->done)
                thread.join();
            else
                thread.detach();
        }
    }
    int waitFd() const override { return state->doneFd; }
    std::shared_ptr<ThreadState> state;
    std::thread thread;
};

std::atomic<DWORD> g_nextThreadId { 1 };
thread_local DWORD t_threadId = 0;

} // namespace

HANDLE createEvent(bool manualReset, bool initialState)
{
    auto e = std::make_shared<EventObject>(manualReset, initialState);
    if (!e->valid()) {
        setLastError(ERROR_OUTOFMEMORY);
        return nullptr;
    }
    return detail::addHandle(e);
}

BOOL setEvent(HANDLE event)
{
    auto e = detail::lookupAs<EventObject>(event);
    if (!e) {
        setLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    e->set();
    return 1;
}

BOOL resetEvent(HANDLE event)
{
    auto e = detail::lookupAs<EventObject>(event);
    if (!e) {
        setLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    e->reset();
    return 1;
}

HANDLE createSemaphore(LONG initialCount, LONG maximumCount)
{
    if (maximumCount <= 0 || initialCount < 0 || initialCount > maximumCount) {
        setLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto s = std::make_shared<SemaphoreObject>(initialCount, maximumCount);
    if (!s->valid()) {
        setLastError(ERROR_OUTOFMEMORY);
        return nullptr;
    }
    return detail::addHandle(s);
}

BOOL releaseSemaphore(HANDLE semaphore, LONG releaseCount, LONG* previousCount)
{
    auto s = detail::lookupAs<SemaphoreObject>(semaphore);
    if (!s) {
        setLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (!s->release(releaseCount, previousCount)) {
        setLastError(ERROR_INVALID_PARAMETER); // would pass the maximum
        return 0;
    }
    return 1;
}

HANDLE createMutex(bool initialOwner)
{
    auto m = std::make_shared<detail::MutexObject>();
    if (initialOwner)
        m->wait(INFINITE);
    return detail::addHandle(m);
}

BOOL releaseMutex(HANDLE mutex)
{
    return MutexReference(mutex).release();
}

MutexReference::MutexReference(HANDLE h)
    : m_object(asMutex(detail::lookupHandle(h)))
{
}

DWORD MutexReference::wait(DWORD timeoutMs) const
{
    DWORD r = m_object ? m_object->wait(timeoutMs) : WAIT_FAILED;
    if (r == WAIT_FAILED)
        setLastError(ERROR_INVALID_HANDLE);
    return r;
}

BOOL MutexReference::release() const
{
    if (!m_object) {
        setLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (!m_object->release()) {
        setLastError(ERROR_ACCESS_DENIED); // not the owner
        return 0;
    }
    return 1;
}

namespace {

// Waits until every object is signalled at the same moment and only then
// takes them all, as the device does: a wait that times out or fails takes
// nothing, and a semaphore or auto-reset event stays free for other waiters
// until the rest are ready too.
DWORD waitForAll(const std::vector<std::shared_ptr<KernelObject>>& objects, const std::vector<int>& fds,
    const std::vector<int>& closeFds, DWORD timeoutMs, uint64_t start)
{
    const size_t count = objects.size();
    for (;;) {
        std::vector<pollfd> now(count * 2);
        for (size_t i = 0; i < count; ++i) {
            now[i] = { fds[i], POLLIN, 0 };
            now[count + i] = { closeFds[i], POLLIN, 0 };
        }
        if (::poll(now.data(), now.size(), 0) < 0 && errno != EINTR) {
            setLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
        std::vector<int> notReady;
        for (size_t i = 0; i < count; ++i) {
            if (now[count + i].revents) {
                setLastError(ERROR_INVALID_HANDLE);
                return WAIT_FAILED;
            }
            if (!(now[i].revents & (POLLIN | POLLHUP | POLLERR)))
                notReady.push_back(fds[i]);
        }
        if (notReady.empty()) {
            size_t taken = 0;
            while (taken < count && objects[taken]->consume())
                ++taken;
            if (taken == count)
                return WAIT_OBJECT_0;
            while (taken > 0) // another waiter came first: give back and wait again
                objects[--taken]->giveBack();
        }
        DWORD left = detail::remaining(timeoutMs, start);
        if (left == 0)
            return WAIT_TIMEOUT;
        if (notReady.empty())
            continue;
        // Closing any of the handles, ready ones included, ends the wait.
        int r = detail::pollObjects(notReady.data(), int(notReady.size()), closeFds.data(), int(count), left);
        if (r == -1)
            return WAIT_TIMEOUT;
        if (r < 0) {
            setLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
    }
}

} // namespace

DWORD waitForSingleObject(HANDLE h, DWORD timeoutMs)
{
    auto object = detail::lookupHandle(h);
    if (!object) {
        setLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    if (auto m = asMutex(object)) {
        DWORD r = m->wait(timeoutMs);
        if (r == WAIT_FAILED)
            setLastError(ERROR_INVALID_HANDLE);
        return r;
    }
    return waitForMultipleObjects(1, &h, false, timeoutMs);
}

DWORD waitForMultipleObjects(DWORD count, const HANDLE* handles, bool waitAll, DWORD timeoutMs)
{
    if (count == 0 || !handles || count > 64) {
        setLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    std::vector<std::shared_ptr<KernelObject>> objects;
    std::vector<int> fds, closeFds;
    for (DWORD i = 0; i < count; ++i) {
        auto o = detail::lookupHandle(handles[i]);
        if (!o || o->waitFd() < 0) {
            setLastError(o ? ERROR_NOT_SUPPORTED : ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
        fds.push_back(o->waitFd());
        closeFds.push_back(o->closeFd());
        if (waitAll && std::find(objects.begin(), objects.end(), o) != objects.end()) {
            setLastError(ERROR_INVALID_PARAMETER); // could never be taken twice at once
            return WAIT_FAILED;
        }
        objects.push_back(std::move(o));
    }
    uint64_t start = detail::nowMs();
    if (waitAll)
        return waitForAll(objects, fds, closeFds, timeoutMs, start);
    for (;;) {
        int r = detail::pollObjects(
            fds.data(), int(count), closeFds.data(), int(count), detail::remaining(timeoutMs, start));
        if (r == -1)
            return WAIT_TIMEOUT;
        if (r < 0) {
            setLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
        if (objects[size_t(r)]->consume())
            return WAIT_OBJECT_0 + DWORD(r);
        if (detail::remaining(timeoutMs, start) == 0)
            return WAIT_TIMEOUT;
    }
}

HANDLE createThread(ThreadProc proc, void* arg, DWORD* threadId)
{
    if (!proc) {
        setLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return createThread([proc, arg] { return proc(arg); }, threadId);
}

HANDLE createThread(std::function<DWORD()> fn, DWORD* threadId)
{
    auto state = std::make_shared<ThreadState>();
    if (state->doneFd < 0 || !fn) {
        setLastError(ERROR_OUTOFMEMORY);
        return nullptr;
    }
    DWORD tid = g_nextThreadId++;
    state->tid = tid;
    auto object = std::make_shared<ThreadObject>(state);
    try {
        object->thread = std::thread([state, fn = std::move(fn), tid] {
            t_threadId = tid;
            DWORD code = fn();
            state->exitCode = code;
            state->done = true;
            detail::signalEventFd(state->doneFd);
        });
    } catch (...) {
        setLastError(ERROR_OUTOFMEMORY);
        return nullptr;
    }
    if (threadId)
        *threadId = tid;
    return detail::addHandle(object);
}

BOOL getExitCodeThread(HANDLE thread, DWORD* exitCode)
{
    auto t = detail::lookupAs<ThreadObject>(thread);
    if (!t || !exitCode) {
        setLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    *exitCode = t->state->exitCode;
    return 1;
}

DWORD getCurrentThreadId()
{
    if (t_threadId == 0)
        t_threadId = g_nextThreadId++;
    return t_threadId;
}

DWORD getCurrentProcessId()
{
    return DWORD(::getpid());
}

bool joinThread(HANDLE thread, DWORD timeoutMs, const char* who)
{
    auto t = detail::lookupAs<ThreadObject>(thread);
    if (!t)
        return true;
    if (t->thread.get_id() == std::this_thread::get_id())
        return false;
    DWORD r = waitForMultipleObjects(1, &thread, false, timeoutMs);
    if (r != WAIT_OBJECT_0) {
        debugPrintf("%s: thread did not end within %u ms", who ? who : "joinThread", timeoutMs);
        return false;
    }
    return true;
}

void initializeCriticalSection(CRITICAL_SECTION*) { }
void deleteCriticalSection(CRITICAL_SECTION*) { }
void enterCriticalSection(CRITICAL_SECTION* cs)
{
    cs->m.lock();
}
void leaveCriticalSection(CRITICAL_SECTION* cs)
{
    cs->m.unlock();
}

void sleep(DWORD ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

namespace {
std::atomic<DWORD> g_tickAdvance { 0 };
} // namespace

DWORD getTickCount()
{
    return DWORD(detail::nowMs()) + g_tickAdvance.load(std::memory_order_relaxed);
}

void advanceTickCountForTests(DWORD ms)
{
    g_tickAdvance.fetch_add(ms, std::memory_order_relaxed);
}

LONG interlockedIncrement(volatile LONG* v)
{
    return __atomic_add_fetch(v, 1, __ATOMIC_SEQ_CST);
}

LONG interlockedDecrement(volatile LONG* v)
{
    return __atomic_sub_fetch(v, 1, __ATOMIC_SEQ_CST);
}

LONG interlockedExchange(volatile LONG* v, LONG value)
{
    return __atomic_exchange_n(v, value, __ATOMIC_SEQ_CST);
}

} // namespace ce
