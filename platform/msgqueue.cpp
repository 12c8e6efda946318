#include "platform/msgqueue.h"

#include "platform/endpoint.h"
#include "platform/handles.h"

#include <poll.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <sys/uio.h>

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

namespace ce {

namespace {

// Lower-case, so that names meet without regard to case as on the device.
std::string queueKey(const char* name)
{
    std::string s(name);
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return s;
}

constexpr int kBufferBytes = 1 << 20;
using Stamp = uint64_t;

Stamp stampNow()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return Stamp(ts.tv_sec) * 1000000000u + Stamp(ts.tv_nsec);
}

class ReadEnd : public detail::KernelObject {
public:
    ReadEnd(int listenFd, int epollFd, DWORD maxMessage)
        : m_listen(listenFd)
        , m_epoll(epollFd)
        , m_maxMessage(maxMessage)
    {
    }
    ~ReadEnd() override
    {
        for (int fd : m_connections)
            ::close(fd);
        ::close(m_listen);
        ::close(m_epoll);
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
                return -2;
            }
            out.resize(size_t(size));
            if (::recv(fd, out.data(), out.size(), MSG_DONTWAIT) != size) {
                dropLocked(fd);
                continue;
            }
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
            if (fd == m_listen) {
                for (;;) {
                    int c = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
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
    void dropLocked(int fd)
    {
        ::epoll_ctl(m_epoll, EPOLL_CTL_DEL, fd, nullptr);
        ::close(fd);
        m_connections.erase(fd);
    }

    std::mutex m_mutex;
    int m_listen;
    int m_epoll;
    DWORD m_maxMessage;
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
            if (m_fd < 0 && !connectLocked()) {
                setLastError(ERROR_PIPE_NOT_CONNECTED);
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
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
                pollfd p[2] = { { m_fd, POLLOUT, 0 }, { closeFd(), POLLIN, 0 } };
                DWORD left = detail::remaining(timeoutMs, start);
                if (left == 0) {
                    setLastError(ERROR_TIMEOUT);
                    return 0;
                }
                if (::poll(p, 2, detail::pollTimeout(left)) > 0 && p[1].revents) {
                    setLastError(ERROR_INVALID_HANDLE);
                    return 0;
                }
                continue;
            }
            // The reader closed its end; a new reader may have opened since.
            ::close(m_fd);
            m_fd = -1;
            if (reconnected) {
                setLastError(ERROR_PIPE_NOT_CONNECTED);
                return 0;
            }
            reconnected = true;
        }
    }

private:
    bool connectLocked()
    {
        int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return false;
        sockaddr_un addr;
        socklen_t len = detail::abstractAddress("mq", m_key, &addr);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), len) != 0) {
            ::close(fd);
            return false;
        }
        ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &kBufferBytes, sizeof kBufferBytes);
        m_fd = fd;
        return true;
    }

    std::mutex m_mutex;
    std::string m_key;
    DWORD m_maxMessage;
    int m_fd = -1;
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
    sockaddr_un addr;
    socklen_t len = detail::abstractAddress("mq", key, &addr);
    if (fd < 0 || ep < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), len) != 0 || ::listen(fd, 64) != 0) {
        DWORD error = errno == EADDRINUSE ? ERROR_ALREADY_EXISTS : ERROR_ACCESS_DENIED;
        if (fd >= 0)
            ::close(fd);
        if (ep >= 0)
            ::close(ep);
        setLastError(error);
        return nullptr;
    }
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &kBufferBytes, sizeof kBufferBytes);
    epoll_event ev {};
    ev.events = EPOLLIN;
    ev.data.fd = fd;
    ::epoll_ctl(ep, EPOLL_CTL_ADD, fd, &ev);
    return detail::addHandle(std::make_shared<ReadEnd>(fd, ep, options->cbMaxMessage));
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

} // namespace ce
