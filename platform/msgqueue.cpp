#include "platform/msgqueue.h"

#include "platform/endpoint.h"
#include "platform/handles.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

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

class QueueObject : public detail::KernelObject {
public:
    QueueObject(int fd, bool reader, DWORD maxMessage, std::string key)
        : m_fd(fd)
        , m_reader(reader)
        , m_maxMessage(maxMessage)
        , m_key(std::move(key))
    {
    }
    ~QueueObject() override { ::close(m_fd); }
    int waitFd() const override { return m_reader ? m_fd : -1; }
    int fd() const { return m_fd; }
    bool reader() const { return m_reader; }
    DWORD maxMessage() const { return m_maxMessage; }
    const std::string& key() const { return m_key; }

private:
    int m_fd;
    bool m_reader;
    DWORD m_maxMessage;
    std::string m_key;
};

} // namespace

HANDLE createMsgQueue(const char* name, const MSGQUEUEOPTIONS* options)
{
    if (!name || !*name || !options || options->cbMaxMessage == 0) {
        setLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::string key = queueKey(name);
    int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        setLastError(ERROR_OUTOFMEMORY);
        return nullptr;
    }
    if (options->bReadAccess) {
        sockaddr_un addr;
        socklen_t len = detail::abstractAddress("mq", key, &addr);
        if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), len) != 0) {
            ::close(fd);
            setLastError(errno == EADDRINUSE ? ERROR_ALREADY_EXISTS : ERROR_ACCESS_DENIED);
            return nullptr;
        }
        int size = 1 << 20;
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    }
    return detail::addHandle(std::make_shared<QueueObject>(fd, options->bReadAccess != 0, options->cbMaxMessage, key));
}

BOOL readMsgQueue(HANDLE queue, void* buffer, DWORD bufferSize, DWORD* bytesRead, DWORD timeoutMs, DWORD* flags)
{
    auto q = detail::lookupAs<QueueObject>(queue);
    if (!q || !q->reader()) {
        setLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (!buffer || bufferSize == 0) {
        setLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    uint64_t start = detail::nowMs();
    for (;;) {
        int fd = q->fd();
        int closeFd = q->closeFd();
        int r = detail::pollObjects(&fd, &closeFd, 1, detail::remaining(timeoutMs, start));
        if (r == -1) {
            setLastError(ERROR_TIMEOUT);
            return 0;
        }
        if (r < 0) {
            setLastError(ERROR_INVALID_HANDLE);
            return 0;
        }
        ssize_t n = ::recv(q->fd(), buffer, bufferSize, MSG_TRUNC);
        if (n < 0) {
            if (errno == EAGAIN || errno == EINTR)
                continue;
            setLastError(ERROR_READ_FAULT);
            return 0;
        }
        if (DWORD(n) > bufferSize) {
            setLastError(ERROR_INSUFFICIENT_BUFFER);
            return 0;
        }
        if (bytesRead)
            *bytesRead = DWORD(n);
        if (flags)
            *flags = 0;
        return 1;
    }
}

BOOL writeMsgQueue(HANDLE queue, const void* buffer, DWORD size, DWORD timeoutMs, DWORD)
{
    auto q = detail::lookupAs<QueueObject>(queue);
    if (!q || q->reader()) {
        setLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (!buffer || size == 0 || size > q->maxMessage()) {
        setLastError(size > q->maxMessage() ? ERROR_INSUFFICIENT_BUFFER : ERROR_INVALID_PARAMETER);
        return 0;
    }
    sockaddr_un addr;
    socklen_t len = detail::abstractAddress("mq", q->key(), &addr);
    uint64_t start = detail::nowMs();
    for (;;) {
        ssize_t n = ::sendto(q->fd(), buffer, size, MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&addr), len);
        if (n == ssize_t(size))
            return 1;
        if (n < 0 && (errno == ECONNREFUSED || errno == ENOENT)) {
            setLastError(ERROR_PIPE_NOT_CONNECTED);
            return 0;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR && errno != ENOBUFS) {
            setLastError(ERROR_WRITE_FAULT);
            return 0;
        }
        if (q->closed() || detail::remaining(timeoutMs, start) == 0) {
            setLastError(ERROR_TIMEOUT);
            return 0;
        }
        ::usleep(1000);
    }
}

BOOL closeMsgQueue(HANDLE queue)
{
    if (!detail::lookupAs<QueueObject>(queue)) {
        setLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return closeHandle(queue);
}

} // namespace ce
