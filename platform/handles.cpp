#include "platform/handles.h"

#include <poll.h>
#include <sys/file.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace ce {

namespace {
thread_local DWORD t_lastError = 0;

std::mutex g_tableMutex;
std::unordered_map<uintptr_t, std::shared_ptr<detail::KernelObject>> g_table;
uintptr_t g_nextHandle = 0x100;
} // namespace

DWORD getLastError()
{
    return t_lastError;
}

void setLastError(DWORD error)
{
    t_lastError = error;
}

BOOL closeHandle(HANDLE h)
{
    std::shared_ptr<detail::KernelObject> object;
    {
        std::lock_guard<std::mutex> lock(g_tableMutex);
        auto it = g_table.find(reinterpret_cast<uintptr_t>(h));
        if (it == g_table.end()) {
            setLastError(ERROR_INVALID_HANDLE);
            return 0;
        }
        object = std::move(it->second);
        g_table.erase(it);
    }
    object->markClosed();
    object->onClose();
    return 1;
}

namespace detail {

KernelObject::KernelObject()
    : m_closeFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
}

KernelObject::~KernelObject()
{
    if (m_closeFd >= 0)
        ::close(m_closeFd);
}

void KernelObject::markClosed()
{
    if (m_closeFd >= 0)
        signalEventFd(m_closeFd);
}

bool KernelObject::closed() const
{
    pollfd p { m_closeFd, POLLIN, 0 };
    return ::poll(&p, 1, 0) > 0;
}

HANDLE addHandle(std::shared_ptr<KernelObject> object)
{
    if (!object || object->closeFd() < 0) {
        setLastError(ERROR_OUTOFMEMORY);
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(g_tableMutex);
    uintptr_t id = g_nextHandle;
    g_nextHandle += 4;
    g_table.emplace(id, std::move(object));
    return reinterpret_cast<HANDLE>(id);
}

std::shared_ptr<KernelObject> lookupHandle(HANDLE h)
{
    std::lock_guard<std::mutex> lock(g_tableMutex);
    auto it = g_table.find(reinterpret_cast<uintptr_t>(h));
    if (it == g_table.end())
        return nullptr;
    return it->second;
}

uint64_t nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

bool lockFileWithin(int fd, int operation, DWORD timeoutMs)
{
    const uint64_t start = nowMs();
    for (;;) {
        if (::flock(fd, operation | LOCK_NB) == 0)
            return true;
        if (errno != EWOULDBLOCK && errno != EINTR)
            return false;
        DWORD left = remaining(timeoutMs, start);
        if (left == 0)
            return false;
        ::poll(nullptr, 0, int(std::min<DWORD>(left, 10))); // no descriptor tells when a lock frees
    }
}

DWORD remaining(DWORD timeoutMs, uint64_t startMs)
{
    if (timeoutMs == INFINITE)
        return INFINITE;
    uint64_t elapsed = nowMs() - startMs;
    return elapsed >= timeoutMs ? 0 : DWORD(timeoutMs - elapsed);
}

int pollTimeout(DWORD timeoutMs)
{
    if (timeoutMs == INFINITE)
        return -1;
    return timeoutMs > DWORD(INT_MAX) ? INT_MAX : int(timeoutMs);
}

int waitReadable(pollfd* fds, size_t count, DWORD timeoutMs, uint64_t startMs)
{
    for (;;) {
        DWORD left = remaining(timeoutMs, startMs);
        int r = ::poll(fds, count, pollTimeout(left));
        if (r < 0 && errno == EINTR)
            continue;
        if (r != 0 || left == 0)
            return r < 0 ? -1 : r;
        if (remaining(timeoutMs, startMs) == 0)
            return 0;
        // else a time-out longer than one poll can wait
    }
}

void signalEventFd(int fd)
{
    uint64_t one = 1;
    ssize_t n = ::write(fd, &one, sizeof one);
    (void)n;
}

void drainEventFd(int fd)
{
    uint64_t v;
    ssize_t n = ::read(fd, &v, sizeof v);
    (void)n;
}

int pollObjects(const int* fds, int count, const int* closeFds, int closeCount, DWORD timeoutMs)
{
    std::vector<pollfd> p(size_t(count) + size_t(closeCount));
    for (int i = 0; i < count; ++i)
        p[size_t(i)] = { fds[i], POLLIN, 0 };
    for (int i = 0; i < closeCount; ++i)
        p[size_t(count + i)] = { closeFds[i], POLLIN, 0 };
    uint64_t start = nowMs();
    for (;;) {
        int r = waitReadable(p.data(), p.size(), timeoutMs, start);
        if (r < 0)
            return -2;
        if (r == 0)
            return -1;
        for (int i = 0; i < closeCount; ++i)
            if (p[size_t(count + i)].revents)
                return -2;
        for (int i = 0; i < count; ++i)
            if (p[size_t(i)].revents & (POLLIN | POLLHUP | POLLERR))
                return i;
    }
}

} // namespace detail
} // namespace ce
