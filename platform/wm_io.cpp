// The process's window endpoint: one thread accepts connections from other
// processes and reads their request frames without blocking, one after the
// other on each connection, checks them, and hands them to the owning
// thread's queue. Posts are acknowledged at once unless the sender asked for
// no answer (so a sender learns of a dead window without waiting on the
// owner); a send's reply comes from the thread that handled it, over the
// same connection. A cancel withdraws a send the owner has not taken yet and
// tells the sender whether it did; a connection that ends withdraws all of
// its sends. Anything malformed is
// logged and ends the connection.
#include "platform/debug.h"
#include "platform/endpoint.h"
#include "platform/handles.h"
#include "platform/wm_internal.h"
#include "platform/wm_state.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <list>
#include <map>
#include <mutex>
#include <set>
#include <thread>

namespace ce::wm {

namespace {

// Every thread of every other process keeps at most one connection here; a
// process past its share is told the endpoint is busy, so that one process
// cannot lock all the others out.
constexpr size_t kMaxConnections = 1024;
constexpr size_t kMaxConnectionsPerProcess = 64;
// Out of descriptors, a pending connection keeps the listener readable:
// it is left alone this long before the next accept.
constexpr int64_t kAcceptPauseMs = 50;
// After a failed publish of this process's windows, the next try comes this
// much later.
constexpr int64_t kRepublishMs = 1000;
// A peer that starts a request and does not finish it within this time is
// dropped, so a stuck or hostile peer cannot hold a connection forever.
constexpr int64_t kRequestTimeoutMs = 10000;
// Refused connections come in floods (another account's thousands, a
// process past its share, every accept while out of descriptors): the first
// is logged, then at most one line this often with how many followed, and
// one when they have stopped.
constexpr int64_t kRefusalReportMs = 5000;
// A connection's read buffer keeps up to this much room between frames.
constexpr size_t kKeptBufferBytes = 128 * 1024;
// The least a read asks for, so a frame and whatever follows it come in one.
constexpr size_t kReadChunkBytes = 4096;

int64_t monotonicMs()
{
    return int64_t(detail::nowMs());
}

// One kind of refusal, logged as above. I/O thread only.
class RefusalLog {
public:
    explicit RefusalLog(const char* what)
        : m_what(what)
    {
    }
    // One more; logFirst logs it when it starts a flood.
    template <typename Log> void refused(int64_t now, Log logFirst)
    {
        ++m_total;
        if (m_reportAt != 0) {
            ++m_since;
            return;
        }
        logFirst();
        m_reportAt = now + kRefusalReportMs;
    }
    // The refusals have stopped (known at once, without waiting a period).
    void stopped()
    {
        if (m_reportAt != 0)
            end();
    }
    // At the end of a period: how many came in it, or that they stopped.
    void tick(int64_t now)
    {
        if (m_reportAt == 0 || now < m_reportAt)
            return;
        if (m_since == 0) {
            end();
            return;
        }
        debugPrintf("window messages: %llu more %s", static_cast<unsigned long long>(m_since), m_what);
        m_since = 0;
        m_reportAt = now + kRefusalReportMs;
    }
    // When the I/O thread must look again; 0: nothing to report.
    int64_t reportAt() const { return m_reportAt; }

private:
    void end()
    {
        debugPrintf("window messages: no more %s (%llu in all)", m_what, static_cast<unsigned long long>(m_total));
        m_reportAt = 0;
        m_since = 0;
        m_total = 0;
    }
    const char* m_what;
    int64_t m_reportAt = 0; // 0: no flood
    uint64_t m_since = 0; // refused since the last line
    uint64_t m_total = 0; // in this flood
};

struct Connection {
    std::shared_ptr<ReplyChannel> channel;
    pid_t peer = 0;
    int64_t frameStartMs = 0; // when the frame being read began; 0 between frames
    // Bytes read and not yet handled, from the start of the frame being read
    // (a read can bring the start of the next frame too).
    std::vector<unsigned char> buf;
    size_t have = 0;
    size_t need = sizeof(FrameHeader);
    bool headerDone = false;
    FrameHeader header {};
    // Sends handed to a queue, by id, so a cancel or the end can withdraw them.
    std::map<uint32_t, std::weak_ptr<SendFate>> pending;

    int fd() const { return channel->fd(); }
    void nextFrame()
    {
        need = sizeof(FrameHeader);
        headerDone = false;
    }
    void withdrawAll()
    {
        for (auto& [id, fate] : pending)
            if (auto f = fate.lock())
                f->withdraw();
        pending.clear();
    }
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
            int error = errno;
            ::close(fd);
            if (error == EADDRINUSE
                && detail::heldByAnotherAccount(reinterpret_cast<const sockaddr*>(&addr), len, SOCK_STREAM))
                debugOutput("window messages: another account holds this process's endpoint name; other processes "
                            "cannot reach its windows");
            else
                debugPrintf("window messages: cannot listen for other processes (errno %d)", error);
            return false;
        }
        m_bound.insert(key);
        m_newListeners.push_back(fd);
        if (!m_thread.joinable()) {
            m_wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
            m_thread = std::thread([this] { run(); });
        } else {
            detail::signalEventFd(m_wake);
        }
        return true;
    }

    uint64_t polls() const { return m_polls.load(); }

    void republishLater()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_republish = true;
        if (m_thread.joinable())
            detail::signalEventFd(m_wake);
    }

    void stop()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (!m_thread.joinable())
                return;
            m_stop = true;
            detail::signalEventFd(m_wake);
        }
        m_thread.join();
        ::close(m_wake);
        m_wake = -1;
    }

private:
    // The poll time-out: none while idle, else until the first request's
    // time runs out, the accept pause ends or the windows are to be
    // published again.
    int pollTimeoutMs(const std::list<Connection>& conns, int64_t now) const
    {
        int64_t until = m_acceptPausedUntil;
        for (int64_t at : { m_republishAt, m_otherUser.reportAt(), m_busy.reportAt(), m_acceptFailed.reportAt() })
            if (at != 0 && (until == 0 || at < until))
                until = at;
        for (const Connection& c : conns)
            if (c.frameStartMs != 0 && (until == 0 || c.frameStartMs + kRequestTimeoutMs + 1 < until))
                until = c.frameStartMs + kRequestTimeoutMs + 1;
        if (until == 0)
            return -1;
        return int(std::max<int64_t>(0, until - now));
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
                if (m_republish && m_republishAt == 0)
                    m_republishAt = monotonicMs() + kRepublishMs;
                m_republish = false;
            }
            if (m_republishAt != 0 && monotonicMs() >= m_republishAt) {
                m_republishAt = 0;
                publish(); // asks again when it fails again
            }
            if (m_acceptPausedUntil != 0 && monotonicMs() >= m_acceptPausedUntil)
                m_acceptPausedUntil = 0;
            for (RefusalLog* log : { &m_otherUser, &m_busy, &m_acceptFailed })
                log->tick(monotonicMs());
            const bool accepting = m_acceptPausedUntil == 0;
            std::vector<pollfd> fds;
            fds.push_back({ m_wake, POLLIN, 0 });
            for (int l : listeners)
                fds.push_back({ l, short(accepting ? POLLIN : 0), 0 });
            for (auto& c : conns)
                fds.push_back({ c.fd(), POLLIN, 0 });
            ++m_polls;
            int r = ::poll(fds.data(), fds.size(), pollTimeoutMs(conns, monotonicMs()));
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
            if (fds[0].revents)
                detail::drainEventFd(m_wake);
            // Connections polled this round come first in the list, in order.
            size_t index = 1 + listeners.size();
            int64_t now = monotonicMs();
            for (auto it = conns.begin(); it != conns.end();) {
                bool polled = index < fds.size() && fds[index].fd == it->fd();
                short revents = polled ? fds[index].revents : 0;
                if (polled)
                    ++index;
                bool keep = revents ? readFrom(*it) : true;
                // However slowly its bytes trickle in, a request has its time.
                if (keep && it->frameStartMs != 0 && now - it->frameStartMs > kRequestTimeoutMs) {
                    debugOutput("window messages: dropped an unfinished request from another process");
                    keep = false;
                }
                if (!keep) {
                    it->withdrawAll();
                    it->channel->close();
                    it = conns.erase(it);
                } else {
                    ++it;
                }
            }
            // After the ends of this round are counted, so a process that
            // let connections go has its share back for the new ones.
            for (size_t i = 0; i < listeners.size(); ++i)
                if (fds[1 + i].revents)
                    acceptAll(listeners[i], conns);
        }
        for (auto& c : conns) {
            c.withdrawAll();
            c.channel->close();
        }
        for (int l : listeners)
            ::close(l);
        std::lock_guard<std::mutex> lock(m_mutex);
        for (int l : m_newListeners)
            ::close(l);
        m_newListeners.clear();
        m_bound.clear();
    }

    void acceptAll(int listener, std::list<Connection>& conns)
    {
        for (;;) {
            int c = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (c < 0) {
                if (errno == EINTR || errno == ECONNABORTED)
                    continue;
                if (errno != EAGAIN && errno != EWOULDBLOCK) {
                    // Out of descriptors, say: the connection waits in the
                    // backlog until one frees.
                    const int error = errno;
                    m_acceptFailed.refused(monotonicMs(), [error] {
                        debugPrintf("window messages: cannot take a connection (errno %d); trying again every %d ms",
                            error, int(kAcceptPauseMs));
                    });
                    m_acceptPausedUntil = monotonicMs() + kAcceptPauseMs;
                } else {
                    m_acceptFailed.stopped();
                }
                return;
            }
            m_acceptFailed.stopped();
            ucred cred {};
            socklen_t len = sizeof cred;
            if (::getsockopt(c, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0 || cred.uid != ::getuid()) {
                m_otherUser.refused(
                    monotonicMs(), [] { debugOutput("window messages: a connection from another user refused"); });
                ::close(c);
                continue;
            }
            size_t fromPeer = 0;
            for (const Connection& other : conns)
                fromPeer += other.peer == cred.pid;
            if (conns.size() >= kMaxConnections || fromPeer >= kMaxConnectionsPerProcess) {
                m_busy.refused(monotonicMs(), [&] {
                    debugPrintf("window messages: too many connections (%zu, %zu from process %d); one refused as busy",
                        conns.size(), fromPeer, int(cred.pid));
                });
                // Said before the end, so the sender does not take it for a
                // window that is gone.
                ReplyChannel(c).reply(0, 0, kStatusBusy);
                ::close(c);
                continue;
            }
            Connection conn;
            conn.channel = std::make_shared<ReplyChannel>(c);
            conn.peer = cred.pid;
            conns.push_back(std::move(conn));
        }
    }

    // Reads and handles what is available; false when the connection is
    // finished (closed by the peer, or malformed).
    bool readFrom(Connection& c)
    {
        // A read that returns less than asked found the socket empty: back
        // to poll (which reports anything newer) instead of one more read.
        bool drained = false;
        for (;;) {
            if (!handleFrames(c))
                return false;
            if (drained)
                return true;
            size_t want = std::max(kReadChunkBytes, c.need > c.have ? c.need - c.have : 0);
            if (c.buf.size() < c.have + want)
                c.buf.resize(c.have + want);
            ssize_t n = ::recv(c.fd(), c.buf.data() + c.have, want, 0);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                return true;
            if (n <= 0) {
                if (c.have > 0)
                    debugPrintf(
                        "window messages: dropped a truncated request from another process (%zu bytes)", c.have);
                return false;
            }
            if (c.have == 0)
                c.frameStartMs = monotonicMs();
            drained = size_t(n) < want;
            c.have += size_t(n);
        }
    }

    // Handles every complete frame read so far and keeps the rest at the
    // front of the buffer; false when a frame ends the connection.
    bool handleFrames(Connection& c)
    {
        size_t at = 0;
        for (;;) {
            const size_t available = c.have - at;
            if (!c.headerDone) {
                if (available < sizeof(FrameHeader))
                    break;
                std::memcpy(&c.header, c.buf.data() + at, sizeof c.header);
                std::string why = checkRequestHeader(c.header);
                if (!why.empty()) {
                    debugPrintf("window messages: dropped a malformed request from another process (%s)", why.c_str());
                    return false;
                }
                c.headerDone = true;
                c.need = sizeof(FrameHeader) + c.header.bodyBytes;
            }
            if (available < c.need)
                break;
            if (!handle(c, c.buf.data() + at))
                return false;
            at += c.need;
            c.nextFrame();
        }
        if (at == 0)
            return true;
        c.have -= at;
        if (c.have > 0) {
            // The next frame began in this read.
            std::memmove(c.buf.data(), c.buf.data() + at, c.have);
            c.frameStartMs = monotonicMs();
        } else {
            c.frameStartMs = 0;
            // The buffer is kept for the next record: giving a large block
            // back to the system and taking it again costs more than a copy.
            if (c.buf.size() > kKeptBufferBytes)
                std::vector<unsigned char>().swap(c.buf);
        }
        return true;
    }

    // One complete frame (c.need bytes at frame); false when it ends the
    // connection.
    bool handle(Connection& c, const unsigned char* frame)
    {
        if (c.header.kind == kFrameCancel) {
            CancelBody cancel;
            std::memcpy(&cancel, frame + sizeof(FrameHeader), sizeof cancel);
            // Not withdrawn: the owner took it, and if it has finished, its
            // answer is already on the way ahead of this one.
            uint32_t status = kStatusTaken;
            auto it = c.pending.find(cancel.id);
            if (it != c.pending.end()) {
                if (auto fate = it->second.lock(); fate && fate->withdraw())
                    status = kStatusWithdrawn;
                c.pending.erase(it);
            }
            c.channel->reply(cancel.id, 0, status);
            return true;
        }
        MessageBody body;
        std::memcpy(&body, frame + sizeof(FrameHeader), sizeof body);
        std::string why = checkRequestBody(c.header.kind, body, c.header.bodyBytes, uint32_t(::getpid()));
        if (!why.empty()) {
            debugPrintf("window messages: dropped a malformed request from another process (%s)", why.c_str());
            c.channel->reply(body.id, 0, kStatusRefused);
            return false;
        }
        if (c.header.kind == kFramePost) {
            uint32_t status = deliverPost(body);
            if (!(body.flags & kFlagNoAck))
                c.channel->reply(body.id, 0, status);
            return true;
        }
        std::vector<unsigned char> record;
        if (body.flags & kFlagCopyData)
            record.assign(frame + sizeof(FrameHeader) + sizeof(MessageBody), frame + c.need);
        // Forget sends long answered, so the table stays small.
        for (auto it = c.pending.begin(); c.pending.size() > 64 && it != c.pending.end();)
            it = it->second.expired() ? c.pending.erase(it) : std::next(it);
        auto fate = std::make_shared<SendFate>();
        uint32_t status = deliverSend(body, std::move(record), c.channel, fate);
        if (status == kStatusOk)
            c.pending[body.id] = fate;
        else
            c.channel->reply(body.id, 0, status);
        return true;
    }

    std::mutex m_mutex;
    std::thread m_thread;
    int m_wake = -1;
    bool m_stop = false;
    std::set<std::string> m_bound;
    std::vector<int> m_newListeners;
    int64_t m_acceptPausedUntil = 0; // I/O thread only; 0: accepting
    RefusalLog m_otherUser { "connections from another user refused" };
    RefusalLog m_busy { "connections refused as busy" };
    RefusalLog m_acceptFailed { "failed tries to take a connection" };
    bool m_republish = false; // under m_mutex
    int64_t m_republishAt = 0; // I/O thread only; 0: nothing to publish
    std::atomic<uint64_t> m_polls { 0 };
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

void republishLater()
{
    endpoint().republishLater();
}

void stopEndpoint()
{
    endpoint().stop();
}

uint64_t endpointPollCount()
{
    return endpoint().polls();
}

} // namespace ce::wm
