// Frames between processes: connecting to a process's window endpoint,
// writing requests and replies, reading and checking what comes back.
#include "platform/debug.h"
#include "platform/endpoint.h"
#include "platform/handles.h"
#include "platform/wm_internal.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace ce::wm {

namespace {

// A peer that accepts no bytes for this long is treated as gone.
constexpr int kWriteTimeoutMs = 5000;
// A sender that takes no reply bytes for this long loses its connection.
constexpr int kReplyTimeoutMs = 1000;

} // namespace

std::string checkRequestHeader(const FrameHeader& h)
{
    if (h.magic != kFrameMagic)
        return "bad magic";
    if (h.version != kFrameVersion)
        return "unknown version";
    if (h.kind == kFrameCancel)
        return h.bodyBytes == sizeof(CancelBody) ? std::string() : "bad length";
    if (h.kind != kFramePost && h.kind != kFrameSend)
        return "unknown kind";
    if (h.bodyBytes < sizeof(MessageBody) || h.bodyBytes - sizeof(MessageBody) > MAX_COPYDATA_BYTES)
        return "bad length";
    return {};
}

std::string checkRequestBody(uint16_t kind, const MessageBody& b, uint32_t bodyBytes, uint32_t ownPid)
{
    if (uint32_t(b.hwnd >> 32) != ownPid || uint32_t(b.hwnd) == 0)
        return "window of another process";
    if (b.message > 0xFFFF && !isInternalMessage(b.message))
        return "bad message number";
    if (b.flags & ~(kFlagCopyData | kFlagNullData | kFlagNoAck | kFlagDeadline))
        return "unknown flags";
    if ((b.flags & kFlagNoAck) && kind != kFramePost)
        return "a send that wants no answer";
    if ((b.flags & kFlagDeadline) && kind != kFrameSend)
        return "a deadline on a post";
    bool copy = (b.flags & kFlagCopyData) != 0;
    bool nullData = (b.flags & kFlagNullData) != 0;
    if ((copy || nullData) && (kind != kFrameSend || b.message != WM_COPYDATA))
        return "record on a message that carries none";
    // WM_COPYDATA is only ever sent, with its record or the null mark: its
    // lParam is an address in the sender, never to be handed on.
    if (b.message == WM_COPYDATA && (kind != kFrameSend || copy == nullData))
        return "WM_COPYDATA without its record";
    if (b.cbData > MAX_COPYDATA_BYTES)
        return "record too large";
    if (bodyBytes != sizeof(MessageBody) + (copy ? b.cbData : 0))
        return "length does not match the record";
    if (!copy && b.cbData != 0)
        return "record size without a record";
    return {};
}

int connectToProcess(uint32_t pid)
{
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    timeval tv { kWriteTimeoutMs / 1000, (kWriteTimeoutMs % 1000) * 1000 };
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv); // bounds connect and writes
    sockaddr_un addr;
    socklen_t len = ce::detail::abstractAddress("wm", std::to_string(pid), &addr);
    for (;;) {
        if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), len) == 0) {
            // Abstract names can be taken by anyone: the listener must be
            // of this account, or nothing is said to it.
            if (detail::peerIsSameUser(fd))
                return fd;
            debugPrintf("window messages: the endpoint of process %u is held by another account; not used", pid);
            break;
        }
        if (errno != EINTR)
            break;
    }
    ::close(fd);
    return -1;
}

bool writeFrame(int fd, uint16_t kind, const void* body, size_t bodySize, const void* payload, size_t size,
    int timeoutMs)
{
    FrameHeader h { kFrameMagic, kFrameVersion, kind, uint32_t(bodySize + size) };
    unsigned char head[sizeof h + sizeof(MessageBody)];
    std::memcpy(head, &h, sizeof h);
    std::memcpy(head + sizeof h, body, bodySize);
    // Head and record go out together, in one call while there is room.
    iovec parts[2] = { { head, sizeof h + bodySize }, { const_cast<void*>(payload), payload ? size : 0 } };
    msghdr message {};
    message.msg_iov = parts;
    message.msg_iovlen = parts[1].iov_len > 0 ? 2 : 1;
    uint64_t start = detail::nowMs();
    while (message.msg_iovlen > 0) {
        ssize_t n = ::sendmsg(fd, &message, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            size_t done = size_t(n);
            while (message.msg_iovlen > 0 && done >= message.msg_iov->iov_len) {
                done -= message.msg_iov->iov_len;
                ++message.msg_iov;
                --message.msg_iovlen;
            }
            if (message.msg_iovlen > 0) {
                message.msg_iov->iov_base = static_cast<unsigned char*>(message.msg_iov->iov_base) + done;
                message.msg_iov->iov_len -= done;
            }
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            return false;
        pollfd p { fd, POLLOUT, 0 };
        if (detail::waitReadable(&p, 1, DWORD(timeoutMs), start) <= 0)
            return false;
    }
    return true;
}

bool writeRequest(int fd, uint16_t kind, const MessageBody& body, const void* payload, size_t size)
{
    return writeFrame(fd, kind, &body, sizeof body, payload, size, kWriteTimeoutMs);
}

bool sendDeadline(uint64_t startMs, DWORD timeoutMs, uint32_t* deadline)
{
    // Far below half the 32-bit range, so that a passed deadline and one to
    // come are never confused.
    if (timeoutMs == INFINITE || timeoutMs > (1u << 30))
        return false;
    *deadline = uint32_t(startMs + timeoutMs);
    return true;
}

bool deadlinePassed(uint32_t deadline)
{
    return int32_t(uint32_t(detail::nowMs()) - deadline) >= 0;
}

void ReplyChannel::reply(uint32_t id, LRESULT result, uint32_t status)
{
    ReplyBody b { int64_t(result), status, id };
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_fd < 0 || m_failed)
        return;
    if (!writeFrame(m_fd, kFrameReply, &b, sizeof b, nullptr, 0, kReplyTimeoutMs)) {
        // Half a reply would garble the stream: end it; the endpoint's
        // thread sees the end and lets go of the connection. The replies
        // still to come go nowhere, unlogged.
        debugOutput("window messages: a sender took no reply; its connection is closed");
        ::shutdown(m_fd, SHUT_RDWR);
        m_failed = true;
    }
}

void ReplyChannel::close()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

int ReplyReader::feed(int fd)
{
    if (m_have == sizeof m_buf)
        m_have = 0; // the previous reply was taken
    for (;;) {
        ssize_t n = ::recv(fd, m_buf + m_have, sizeof m_buf - m_have, MSG_DONTWAIT);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return 0;
        if (n <= 0)
            return -1;
        m_have += size_t(n);
        if (m_have >= sizeof(FrameHeader)) {
            FrameHeader h;
            std::memcpy(&h, m_buf, sizeof h);
            if (h.magic != kFrameMagic || h.version != kFrameVersion || h.kind != kFrameReply
                || h.bodyBytes != sizeof(ReplyBody))
                return -1;
        }
        if (m_have == sizeof m_buf) {
            std::memcpy(&m_body, m_buf + sizeof(FrameHeader), sizeof m_body);
            return 1;
        }
    }
}

} // namespace ce::wm
