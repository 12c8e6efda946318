// The process's window endpoint: one thread accepts connections from other
// processes, reads each request frame without blocking, checks it, and hands
// it to the owning thread's queue. Posts are acknowledged at once (so a
// sender's posts stay in order and a dead window is reported); a send's
// connection goes along with the message and carries the handler's result
// back. Anything malformed is logged and dropped.
#include "platform/debug.h"
#include "platform/endpoint.h"
#include "platform/wm_internal.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <list>
#include <mutex>
#include <set>
#include <thread>

namespace ce::wm {

namespace {

constexpr size_t kMaxConnections = 64;
// A peer that starts a request and does not finish it within this time is
// dropped, so a stuck or hostile peer cannot hold a connection forever.
constexpr int64_t kRequestTimeoutMs = 10000;

int64_t monotonicMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

struct Connection {
    int fd = -1;
    int64_t startMs = 0;
    std::vector<unsigned char> buf;
    size_t need = sizeof(FrameHeader);
    bool headerDone = false;
    FrameHeader header {};
};

class Endpoint {
public:
    bool ensure()
    {
        sockaddr_un addr;
        socklen_t len = ce::detail::abstractAddress("wm", std::to_string(::getpid()), &addr);
        std::string key(addr.sun_path, len - offsetof(sockaddr_un, sun_path));
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_bound.count(key))
            return true;
        int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0)
            return false;
        if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), len) != 0 || ::listen(fd, 64) != 0) {
            debugPrintf("window messages: cannot listen for other processes (errno %d)", errno);
            ::close(fd);
            return false;
        }
        m_bound.insert(key);
        m_newListeners.push_back(fd);
        if (!m_thread.joinable()) {
            m_wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
            m_thread = std::thread([this] { run(); });
        } else {
            wake();
        }
        return true;
    }

    void stop()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (!m_thread.joinable())
                return;
            m_stop = true;
            wake();
        }
        m_thread.join();
        ::close(m_wake);
        m_wake = -1;
    }

private:
    void wake()
    {
        uint64_t one = 1;
        ssize_t n = ::write(m_wake, &one, sizeof one);
        (void)n;
    }

    void run()
    {
        std::vector<int> listeners;
        std::list<Connection> conns;
        for (;;) {
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                if (m_stop)
                    break;
                listeners.insert(listeners.end(), m_newListeners.begin(), m_newListeners.end());
                m_newListeners.clear();
            }
            std::vector<pollfd> fds;
            fds.push_back({ m_wake, POLLIN, 0 });
            for (int l : listeners)
                fds.push_back({ l, POLLIN, 0 });
            for (auto& c : conns)
                fds.push_back({ c.fd, POLLIN, 0 });
            int r = ::poll(fds.data(), fds.size(), 500);
            if (r < 0) {
                // Ending here would leave the process silently unreachable;
                // wait a little (or for stop) and try again.
                if (errno != EINTR) {
                    debugPrintf("window messages: waiting for other processes failed (errno %d)", errno);
                    pollfd stop { m_wake, POLLIN, 0 };
                    ::poll(&stop, 1, 100);
                }
                continue;
            }
            if (fds[0].revents) {
                uint64_t v;
                ssize_t n = ::read(m_wake, &v, sizeof v);
                (void)n;
            }
            for (size_t i = 0; i < listeners.size(); ++i) {
                if (!fds[1 + i].revents)
                    continue;
                for (;;) {
                    int c = ::accept4(listeners[i], nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
                    if (c < 0)
                        break;
                    if (!detail::peerIsSameUser(c)) {
                        debugOutput("window messages: a connection from another user refused");
                        ::close(c);
                        continue;
                    }
                    if (conns.size() >= kMaxConnections) {
                        debugOutput("window messages: too many pending requests; one refused");
                        ::close(c);
                        continue;
                    }
                    Connection conn;
                    conn.fd = c;
                    conn.startMs = monotonicMs();
                    conns.push_back(std::move(conn));
                }
            }
            // Connections polled this round come first in the list, in order.
            size_t index = 1 + listeners.size();
            int64_t now = monotonicMs();
            for (auto it = conns.begin(); it != conns.end();) {
                bool polled = index < fds.size() && fds[index].fd == it->fd;
                short revents = polled ? fds[index].revents : 0;
                if (polled)
                    ++index;
                bool keep = revents ? readFrom(*it) : true;
                // However slowly its bytes trickle in, a request has its time.
                if (keep && now - it->startMs > kRequestTimeoutMs) {
                    debugOutput("window messages: dropped an unfinished request from another process");
                    keep = false;
                }
                if (!keep) {
                    if (it->fd >= 0)
                        ::close(it->fd);
                    it = conns.erase(it);
                } else {
                    ++it;
                }
            }
        }
        for (auto& c : conns)
            ::close(c.fd);
        for (int l : listeners)
            ::close(l);
        std::lock_guard<std::mutex> lock(m_mutex);
        for (int l : m_newListeners)
            ::close(l);
        m_newListeners.clear();
        m_bound.clear();
    }

    // Reads what is available; false when the connection is finished (its fd
    // set to -1 when ownership moved to a queue).
    bool readFrom(Connection& c)
    {
        for (;;) {
            if (c.buf.size() < c.need) {
                size_t old = c.buf.size();
                c.buf.resize(c.need);
                ssize_t n = ::recv(c.fd, c.buf.data() + old, c.need - old, 0);
                if (n < 0 && errno == EINTR) {
                    c.buf.resize(old);
                    continue;
                }
                if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                    c.buf.resize(old);
                    return true;
                }
                if (n <= 0) {
                    c.buf.resize(old);
                    if (old > 0)
                        debugPrintf(
                            "window messages: dropped a truncated request from another process (%zu bytes)", old);
                    return false;
                }
                c.buf.resize(old + size_t(n));
                if (c.buf.size() < c.need)
                    continue;
            }
            if (!c.headerDone) {
                std::memcpy(&c.header, c.buf.data(), sizeof c.header);
                std::string why = checkRequestHeader(c.header);
                if (!why.empty()) {
                    debugPrintf("window messages: dropped a malformed request from another process (%s)", why.c_str());
                    return false;
                }
                c.headerDone = true;
                c.need = sizeof(FrameHeader) + c.header.bodyBytes;
                c.buf.reserve(c.need);
                continue;
            }
            handle(c);
            return false;
        }
    }

    void handle(Connection& c)
    {
        MessageBody body;
        std::memcpy(&body, c.buf.data() + sizeof(FrameHeader), sizeof body);
        std::string why = checkRequestBody(c.header.kind, body, c.header.bodyBytes, uint32_t(::getpid()));
        if (!why.empty()) {
            debugPrintf("window messages: dropped a malformed request from another process (%s)", why.c_str());
            writeReply(c.fd, 0, kStatusRefused);
            return;
        }
        if (c.header.kind == kFramePost) {
            writeReply(c.fd, 0, deliverPost(body));
            return;
        }
        std::vector<unsigned char> record;
        if (body.flags & kFlagCopyData)
            record.assign(c.buf.begin() + sizeof(FrameHeader) + sizeof(MessageBody), c.buf.end());
        c.buf.clear();
        c.buf.shrink_to_fit();
        // Blocking from here on: the owner thread writes one short reply.
        uint32_t status = deliverSend(body, std::move(record), c.fd);
        if (status == kStatusOk)
            c.fd = -1; // the queue owns it now
        else
            writeReply(c.fd, 0, status);
    }

    std::mutex m_mutex;
    std::thread m_thread;
    int m_wake = -1;
    bool m_stop = false;
    std::set<std::string> m_bound;
    std::vector<int> m_newListeners;
};

Endpoint& endpoint()
{
    static Endpoint* e = new Endpoint; // never destroyed: stopped at exit
    return *e;
}

} // namespace

bool ensureEndpoint()
{
    return endpoint().ensure();
}

void stopEndpoint()
{
    endpoint().stop();
}

} // namespace ce::wm
