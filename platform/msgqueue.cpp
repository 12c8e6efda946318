#include "platform/msgqueue.h"

#include "platform/debug.h"
#include "platform/endpoint.h"
#include "platform/handles.h"
#include "platform/paths.h"
#include "platform/text.h"

#include <fcntl.h>
#include <linux/futex.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <sys/uio.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <mutex>
#include <set>
#include <vector>

// A queue's read end listens on a sequenced-packet socket named after the
// queue; each write end connects to it once and sends one packet per message.
// Packets keep message boundaries, and a connection buffers by bytes, so a
// burst of messages waits for the reader instead of being refused. Each
// packet starts with the time it was written (the system-wide monotonic
// clock), so the reader hands out the messages of several writers in the
// order they were written, as one queue would.
//
// The reader's maximum number of messages is kept in a small shared file
// beside the queue with the count of messages written and not yet read:
// a writer takes a place there before it writes and waits (up to its
// time-out) while the queue is full; the reader gives the place back when it
// takes the message and wakes the writers.

namespace ce {

namespace {

// The names whose queues stay within this process (keepMsgQueueInProcess).
std::mutex g_keptMutex;
std::set<std::string> g_kept;
// The queues whose shared count could not be made at the last try, so that a
// reader trying again every second says so once.
std::set<std::string> g_countFailing;

// Lower-case, so that names meet without regard to case as on the device;
// a queue kept within this process carries its process id as well.
std::string queueKey(const char* name)
{
    std::string key = detail::asciiLower(name);
    std::lock_guard<std::mutex> lock(g_keptMutex);
    if (g_kept.count(key))
        key += "@" + std::to_string(::getpid());
    return key;
}

constexpr int kBufferBytes = 1 << 20;
using Stamp = uint64_t;

// The shared count of a queue (see above).
struct SharedCount {
    uint32_t magic;
    uint32_t maxMessages; // 0: no limit
    std::atomic<uint32_t> queued;
    uint32_t reserved;
};
static_assert(sizeof(SharedCount) == 16 && std::atomic<uint32_t>::is_always_lock_free, "a shared count");
constexpr uint32_t kCountMagic = 0x314B514Du; // "MQK1"
// A writer waiting for room looks at its handle and the reader this often.
constexpr DWORD kFullCheckMs = 50;

std::string countPath(const std::string& key)
{
    return runDirectory() + "/mq-" + detail::nameHash(key);
}

void futexWait(std::atomic<uint32_t>* word, uint32_t seen, DWORD ms)
{
    timespec ts { time_t(ms / 1000), long(ms % 1000) * 1000000L };
    ::syscall(SYS_futex, reinterpret_cast<uint32_t*>(word), FUTEX_WAIT, seen, &ts, nullptr, 0);
}

void futexWakeAll(std::atomic<uint32_t>* word)
{
    ::syscall(SYS_futex, reinterpret_cast<uint32_t*>(word), FUTEX_WAKE, INT32_MAX, nullptr, nullptr, 0);
}

// A mapping of a queue's shared count.
class CountMap {
public:
    CountMap() = default;
    CountMap(const CountMap&) = delete;
    CountMap& operator=(const CountMap&) = delete;
    ~CountMap() { unmap(); }
    SharedCount* get() const { return m_count; }
    void unmap()
    {
        if (m_count)
            ::munmap(m_count, sizeof(SharedCount));
        m_count = nullptr;
    }
    // The reader's: a fresh file replaces whatever was there. 0 or the
    // errno of the step that failed.
    int create(const std::string& path, uint32_t maxMessages)
    {
        std::string tmp = path + ".tmp" + std::to_string(::getpid());
        int fd = ::open(tmp.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
        int error = fd < 0 ? errno : 0;
        // The block is reserved before the page is mapped: a file grown as a
        // hole on a full disk maps fine and then kills the process with
        // SIGBUS at the first write.
        if (error == 0)
            error = ::posix_fallocate(fd, 0, sizeof(SharedCount));
        if (error == 0 && !map(fd))
            error = errno;
        if (fd >= 0)
            ::close(fd);
        if (error == 0) {
            m_count->maxMessages = maxMessages;
            m_count->queued.store(0);
            m_count->magic = kCountMagic;
            if (::rename(tmp.c_str(), path.c_str()) != 0)
                error = errno;
        }
        if (error != 0) {
            ::unlink(tmp.c_str());
            unmap();
        }
        return error;
    }
    // A writer's: the reader's file, if it is one of this account.
    bool open(const std::string& path)
    {
        unmap();
        int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
        struct stat st {};
        bool ok = fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::getuid()
            && size_t(st.st_size) >= sizeof(SharedCount) && map(fd);
        if (fd >= 0)
            ::close(fd);
        if (ok && m_count->magic != kCountMagic)
            unmap();
        return m_count != nullptr;
    }

private:
    bool map(int fd)
    {
        void* p = ::mmap(nullptr, sizeof(SharedCount), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (p == MAP_FAILED)
            return false;
        m_count = static_cast<SharedCount*>(p);
        return true;
    }
    SharedCount* m_count = nullptr;
};

Stamp stampNow()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return Stamp(ts.tv_sec) * 1000000000u + Stamp(ts.tv_nsec);
}

// Out of descriptors, a writer waiting to be accepted keeps the listener
// readable: it is left out of the reader's wait this long before the next try.
constexpr int kAcceptPauseMs = 50;

class ReadEnd : public detail::KernelObject {
public:
    ReadEnd(int listenFd, int epollFd, int pauseFd, DWORD maxMessage, std::string countFile, std::string key)
        : m_listen(listenFd)
        , m_epoll(epollFd)
        , m_pause(pauseFd)
        , m_maxMessage(maxMessage)
        , m_countFile(std::move(countFile))
        , m_key(std::move(key))
    {
    }
    CountMap& count() { return m_count; }
    const std::string& key() const { return m_key; }
    DWORD maxMessage() const { return m_maxMessage; }
    ~ReadEnd() override
    {
        for (int fd : m_connections)
            ::close(fd);
        ::close(m_listen);
        ::close(m_epoll);
        ::close(m_pause);
        if (m_count.get()) {
            m_count.get()->maxMessages = 0; // writers still waiting give up waiting
            futexWakeAll(&m_count.get()->queued);
        }
    }
    int waitFd() const override { return m_epoll; }
    // Signalled only while a message is waiting.
    bool consume() override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return serviceLocked() >= 0;
    }

    // Takes one message (without its stamp); -1 when none is waiting, -2
    // when the message was larger than this queue's maximum (a writer that
    // opened the queue with a larger one): it is dropped unread then, as a
    // message larger than the reader's buffer is.
    int tryRead(std::vector<char>& out)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (;;) {
            int fd = serviceLocked();
            if (fd < 0)
                return -1;
            ssize_t size = ::recv(fd, nullptr, 0, MSG_PEEK | MSG_TRUNC | MSG_DONTWAIT);
            if (size < ssize_t(sizeof(Stamp))) {
                dropLocked(fd); // not a packet of this layer: the writer is cut off
                continue;
            }
            size_t body = size_t(size) - sizeof(Stamp);
            if (body > m_maxMessage) {
                Stamp discard;
                ::recv(fd, &discard, sizeof discard, MSG_DONTWAIT | MSG_TRUNC);
                givePlaceBack();
                return -2;
            }
            out.resize(size_t(size));
            if (::recv(fd, out.data(), out.size(), MSG_DONTWAIT) != size) {
                dropLocked(fd);
                continue;
            }
            givePlaceBack();
            out.erase(out.begin(), out.begin() + sizeof(Stamp));
            return int(body);
        }
    }

private:
    // Accepts new writers, drops finished ones, and returns a connection
    // with a message waiting (or -1).
    int serviceLocked()
    {
        epoll_event events[32];
        int n = ::epoll_wait(m_epoll, events, 32, 0);
        for (int i = 0; i < n; ++i) {
            int fd = events[i].data.fd;
            if (fd == m_pause) {
                // The pause is over: the listener is watched again.
                uint64_t expirations;
                while (::read(m_pause, &expirations, sizeof expirations) < 0 && errno == EINTR) { }
                watch(m_listen, EPOLL_CTL_ADD);
                continue;
            }
            if (fd == m_listen) {
                for (;;) {
                    int c = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
                    if (c < 0 && (errno == EINTR || errno == ECONNABORTED))
                        continue;
                    if (c < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
                        // Out of descriptors, say: try again shortly.
                        itimerspec pause {};
                        pause.it_value.tv_nsec = kAcceptPauseMs * 1000000L;
                        if (::timerfd_settime(m_pause, 0, &pause, nullptr) == 0)
                            watch(m_listen, EPOLL_CTL_DEL);
                        break;
                    }
                    if (c < 0)
                        break;
                    if (!detail::peerIsSameUser(c)) {
                        ::close(c); // another user's process: not a writer of ours
                        continue;
                    }
                    epoll_event ev {};
                    ev.events = EPOLLIN;
                    ev.data.fd = c;
                    ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, c, &ev);
                    m_connections.insert(c);
                }
                continue;
            }
            char probe;
            ssize_t r = ::recv(fd, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
            if (r == 0 || (r < 0 && errno != EAGAIN && errno != EINTR))
                dropLocked(fd); // the writer went away
        }
        // The oldest waiting message of all writers comes first.
        int oldest = -1;
        Stamp oldestStamp = 0;
        for (int fd : m_connections) {
            Stamp stamp;
            if (::recv(fd, &stamp, sizeof stamp, MSG_PEEK | MSG_DONTWAIT) > 0 && (oldest < 0 || stamp < oldestStamp)) {
                oldest = fd;
                oldestStamp = stamp;
            }
        }
        return oldest;
    }
    void watch(int fd, int op)
    {
        epoll_event ev {};
        ev.events = EPOLLIN;
        ev.data.fd = fd;
        ::epoll_ctl(m_epoll, op, fd, &ev);
    }
    void givePlaceBack()
    {
        SharedCount* c = m_count.get();
        if (!c)
            return;
        uint32_t q = c->queued.load();
        while (q > 0 && !c->queued.compare_exchange_weak(q, q - 1)) { }
        futexWakeAll(&c->queued);
    }
    void dropLocked(int fd)
    {
        ::epoll_ctl(m_epoll, EPOLL_CTL_DEL, fd, nullptr);
        ::close(fd);
        m_connections.erase(fd);
    }

    std::mutex m_mutex;
    int m_listen;
    int m_epoll;
    int m_pause; // a timer: the end of a pause in accepting
    DWORD m_maxMessage;
    std::string m_countFile;
    CountMap m_count;
    std::string m_key;
    std::set<int> m_connections;
};

class WriteEnd : public detail::KernelObject {
public:
    WriteEnd(std::string key, DWORD maxMessage)
        : m_key(std::move(key))
        , m_maxMessage(maxMessage)
    {
    }
    ~WriteEnd() override
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    DWORD maxMessage() const { return m_maxMessage; }

    BOOL write(const void* buffer, DWORD size, DWORD timeoutMs)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        uint64_t start = detail::nowMs();
        bool reconnected = false;
        for (;;) {
            if (m_fd < 0) {
                DWORD error = connectLocked(start, timeoutMs);
                if (error != ERROR_SUCCESS) {
                    setLastError(error);
                    return 0;
                }
            }
            DWORD error = takePlaceLocked(start, timeoutMs);
            if (error == ERROR_BROKEN_PIPE) {
                dropLocked();
                if (reconnected) {
                    setLastError(ERROR_PIPE_NOT_CONNECTED);
                    return 0;
                }
                reconnected = true;
                continue;
            }
            if (error != ERROR_SUCCESS) {
                setLastError(error);
                return 0;
            }
            Stamp stamp = stampNow();
            iovec parts[2] = { { &stamp, sizeof stamp }, { const_cast<void*>(buffer), size } };
            msghdr packet {};
            packet.msg_iov = parts;
            packet.msg_iovlen = 2;
            ssize_t n = ::sendmsg(m_fd, &packet, MSG_DONTWAIT | MSG_NOSIGNAL);
            if (n == ssize_t(sizeof stamp + size))
                return 1;
            givePlaceBackLocked();
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
                pollfd p[2] = { { m_fd, POLLOUT, 0 }, { closeFd(), POLLIN, 0 } };
                DWORD left = detail::remaining(timeoutMs, start);
                if (left == 0) {
                    setLastError(ERROR_TIMEOUT);
                    return 0;
                }
                if (detail::waitReadable(p, 2, left, detail::nowMs()) > 0 && p[1].revents) {
                    setLastError(ERROR_INVALID_HANDLE);
                    return 0;
                }
                continue;
            }
            // The reader closed its end; a new reader may have opened since.
            dropLocked();
            if (reconnected) {
                setLastError(ERROR_PIPE_NOT_CONNECTED);
                return 0;
            }
            reconnected = true;
        }
    }

private:
    // Connects to the reader within the write's time-out (a reader too busy
    // to accept leaves its backlog full); ERROR_SUCCESS or the write's error.
    DWORD connectLocked(uint64_t start, DWORD timeoutMs)
    {
        int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0)
            return ERROR_PIPE_NOT_CONNECTED;
        sockaddr_un addr;
        socklen_t len = detail::abstractAddress("mq", m_key, &addr);
        for (;;) {
            if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), len) == 0)
                break;
            if (errno != EAGAIN && errno != EINTR) {
                ::close(fd);
                return ERROR_PIPE_NOT_CONNECTED; // no reader: the queue is broken
            }
            DWORD left = detail::remaining(timeoutMs, start);
            pollfd p { closeFd(), POLLIN, 0 };
            if (left == 0 || detail::waitReadable(&p, 1, std::min<DWORD>(left, 5), detail::nowMs()) != 0) {
                ::close(fd);
                return left == 0 ? ERROR_TIMEOUT : ERROR_INVALID_HANDLE;
            }
        }
        // Abstract names can be taken by anyone: the reader must be of this
        // account, or nothing is written to it.
        if (!detail::peerIsSameUser(fd)) {
            debugPrintf("message queue %s: held by another account; nothing written", m_key.c_str());
            ::close(fd);
            return ERROR_ACCESS_DENIED;
        }
        ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &kBufferBytes, sizeof kBufferBytes);
        m_fd = fd;
        m_count.open(countPath(m_key));
        return ERROR_SUCCESS;
    }

    void dropLocked()
    {
        ::close(m_fd);
        m_fd = -1;
        m_count.unmap();
    }

    // Takes a place in a queue with a maximum, waiting while it is full:
    // ERROR_SUCCESS, ERROR_TIMEOUT, ERROR_INVALID_HANDLE (closed meanwhile)
    // or ERROR_BROKEN_PIPE (the reader went away meanwhile).
    DWORD takePlaceLocked(uint64_t start, DWORD timeoutMs)
    {
        m_placeTaken = false;
        SharedCount* c = m_count.get();
        if (!c)
            return ERROR_SUCCESS;
        for (;;) {
            uint32_t max = c->maxMessages;
            uint32_t q = c->queued.load();
            if (max == 0 || q < max) {
                if (max == 0)
                    return ERROR_SUCCESS;
                if (c->queued.compare_exchange_weak(q, q + 1)) {
                    m_placeTaken = true;
                    return ERROR_SUCCESS;
                }
                continue;
            }
            DWORD left = detail::remaining(timeoutMs, start);
            if (left == 0)
                return ERROR_TIMEOUT;
            pollfd p[2] = { { closeFd(), POLLIN, 0 }, { m_fd, POLLRDHUP, 0 } };
            if (::poll(p, 2, 0) > 0)
                return p[0].revents ? ERROR_INVALID_HANDLE : ERROR_BROKEN_PIPE;
            futexWait(&c->queued, q, std::min(left, kFullCheckMs));
        }
    }

    void givePlaceBackLocked()
    {
        SharedCount* c = m_count.get();
        if (!c || !m_placeTaken)
            return;
        m_placeTaken = false;
        uint32_t q = c->queued.load();
        while (q > 0 && !c->queued.compare_exchange_weak(q, q - 1)) { }
        futexWakeAll(&c->queued);
    }

    std::mutex m_mutex;
    std::string m_key;
    DWORD m_maxMessage;
    int m_fd = -1;
    CountMap m_count;
    bool m_placeTaken = false;
};

} // namespace

HANDLE createMsgQueue(const char* name, const MSGQUEUEOPTIONS* options)
{
    if (!name || !*name || !options || options->cbMaxMessage == 0) {
        setLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::string key = queueKey(name);
    if (!options->bReadAccess)
        return detail::addHandle(std::make_shared<WriteEnd>(key, options->cbMaxMessage));

    int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    int ep = ::epoll_create1(EPOLL_CLOEXEC);
    int pause = ::timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK);
    sockaddr_un addr;
    socklen_t len = detail::abstractAddress("mq", key, &addr);
    if (fd < 0 || ep < 0 || pause < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), len) != 0
        || ::listen(fd, 64) != 0) {
        DWORD error = errno == EADDRINUSE ? ERROR_ALREADY_EXISTS : ERROR_ACCESS_DENIED;
        if (error == ERROR_ALREADY_EXISTS
            && detail::heldByAnotherAccount(reinterpret_cast<sockaddr*>(&addr), len, SOCK_SEQPACKET)) {
            debugPrintf("message queue %s: the name is held by another account", name);
            error = ERROR_ACCESS_DENIED;
        }
        if (fd >= 0)
            ::close(fd);
        if (ep >= 0)
            ::close(ep);
        if (pause >= 0)
            ::close(pause);
        setLastError(error);
        return nullptr;
    }
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &kBufferBytes, sizeof kBufferBytes);
    epoll_event ev {};
    ev.events = EPOLLIN;
    ev.data.fd = fd;
    ::epoll_ctl(ep, EPOLL_CTL_ADD, fd, &ev);
    ev.data.fd = pause;
    ::epoll_ctl(ep, EPOLL_CTL_ADD, pause, &ev);
    std::string countFile = countPath(key);
    auto reader = std::make_shared<ReadEnd>(fd, ep, pause, options->cbMaxMessage, countFile, key);
    if (options->dwMaxMessages == 0) {
        // Nothing to count: writers that find no count never wait for room.
        ::unlink(countFile.c_str());
    } else if (int error = reader->count().create(countFile, options->dwMaxMessages); error != 0) {
        // A queue that cannot keep its maximum is not made (the reader is
        // closed with it).
        bool first;
        {
            std::lock_guard<std::mutex> lock(g_keptMutex);
            first = g_countFailing.insert(key).second;
        }
        if (first)
            debugPrintf("message queue %s: its shared count cannot be made (%s)", name, std::strerror(error));
        setLastError(error == ENOSPC || error == EDQUOT ? ERROR_DISK_FULL
                : error == EROFS                         ? ERROR_WRITE_PROTECT
                                                         : ERROR_ACCESS_DENIED);
        return nullptr;
    }
    {
        std::lock_guard<std::mutex> lock(g_keptMutex);
        g_countFailing.erase(key);
    }
    return detail::addHandle(reader);
}

BOOL readMsgQueue(HANDLE queue, void* buffer, DWORD bufferSize, DWORD* bytesRead, DWORD timeoutMs, DWORD* flags)
{
    auto q = detail::lookupAs<ReadEnd>(queue);
    if (!q) {
        setLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (!buffer || bufferSize == 0) {
        setLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    uint64_t start = detail::nowMs();
    std::vector<char> message;
    for (;;) {
        int n = q->tryRead(message);
        if (n >= 0 || n == -2) {
            if (n == -2 || DWORD(n) > bufferSize) {
                setLastError(ERROR_INSUFFICIENT_BUFFER); // the message is dropped
                return 0;
            }
            std::memcpy(buffer, message.data(), size_t(n));
            if (bytesRead)
                *bytesRead = DWORD(n);
            if (flags)
                *flags = 0;
            return 1;
        }
        int fd = q->waitFd();
        int closeFd = q->closeFd();
        int r = detail::pollObjects(&fd, 1, &closeFd, 1, detail::remaining(timeoutMs, start));
        if (r == -1) {
            setLastError(ERROR_TIMEOUT);
            return 0;
        }
        if (r < 0) {
            setLastError(ERROR_INVALID_HANDLE);
            return 0;
        }
    }
}

BOOL writeMsgQueue(HANDLE queue, const void* buffer, DWORD size, DWORD timeoutMs, DWORD)
{
    auto q = detail::lookupAs<WriteEnd>(queue);
    if (!q) {
        setLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (!buffer || size == 0 || size > q->maxMessage()) {
        setLastError(size > q->maxMessage() ? ERROR_INSUFFICIENT_BUFFER : ERROR_INVALID_PARAMETER);
        return 0;
    }
    return q->write(buffer, size, timeoutMs);
}

BOOL closeMsgQueue(HANDLE queue)
{
    if (!detail::lookupAs<ReadEnd>(queue) && !detail::lookupAs<WriteEnd>(queue)) {
        setLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return closeHandle(queue);
}

void keepMsgQueueInProcess(const char* name, bool keep)
{
    if (!name)
        return;
    std::string key = detail::asciiLower(name);
    std::lock_guard<std::mutex> lock(g_keptMutex);
    if (keep)
        g_kept.insert(key);
    else
        g_kept.erase(key);
}

bool msgQueueReadEnd(HANDLE queue, std::string* name, DWORD* maxMessage)
{
    auto q = detail::lookupAs<ReadEnd>(queue);
    if (!q)
        return false;
    if (name)
        *name = q->key();
    if (maxMessage)
        *maxMessage = q->maxMessage();
    return true;
}

} // namespace ce
