// Frames between processes: connecting to a process's window endpoint,
// writing requests and replies, reading and checking what comes back.
#include "platform/endpoint.h"
#include "platform/wm_internal.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace ce::wm {

namespace {

// A peer that accepts no bytes for this long is treated as gone.
constexpr int kWriteTimeoutMs = 5000;

} // namespace

std::string checkRequestHeader(const FrameHeader& h)
{
    if (h.magic != kFrameMagic)
        return "bad magic";
    if (h.version != kFrameVersion)
        return "unknown version";
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
    if (b.flags & ~(kFlagCopyData | kFlagNullData))
        return "unknown flags";
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
        if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), len) == 0)
            return fd;
        if (errno != EINTR)
            break;
    }
    ::close(fd);
    return -1;
}

bool writeRequest(int fd, uint16_t kind, const MessageBody& body, const void* payload, size_t size)
{
    FrameHeader h { kFrameMagic, kFrameVersion, kind, uint32_t(sizeof(MessageBody) + size) };
    unsigned char head[sizeof h + sizeof body];
    std::memcpy(head, &h, sizeof h);
    std::memcpy(head + sizeof h, &body, sizeof body);
    return detail::sendAll(fd, head, sizeof head) && (size == 0 || detail::sendAll(fd, payload, size));
}

void writeReply(int fd, LRESULT result, uint32_t status)
{
    FrameHeader h { kFrameMagic, kFrameVersion, kFrameReply, uint32_t(sizeof(ReplyBody)) };
    ReplyBody b { int64_t(result), status, 0 };
    unsigned char buf[sizeof h + sizeof b];
    std::memcpy(buf, &h, sizeof h);
    std::memcpy(buf + sizeof h, &b, sizeof b);
    // 28 bytes into an otherwise idle stream: never blocks for long.
    (void)::send(fd, buf, sizeof buf, MSG_NOSIGNAL | MSG_DONTWAIT);
}

int ReplyReader::feed(int fd)
{
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
