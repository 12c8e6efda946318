// Internal: what the sources of the window-message layer share.
//
// A window handle encodes (process id, serial) so it means the same in every
// process. Each process that owns windows listens on one abstract stream
// socket ("wm" : <pid>) served by an I/O thread, and publishes its windows in
// a file of the run folder so other processes can find them.
#pragma once

#include "platform/wm.h"

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace ce::wm {

static_assert(sizeof(uintptr_t) >= sizeof(uint64_t), "a window handle holds a process id and a serial");

inline uint64_t handleValue(HWND h)
{
    return uint64_t(reinterpret_cast<uintptr_t>(h));
}
inline HWND makeHandle(uint32_t pid, uint32_t serial)
{
    return reinterpret_cast<HWND>(uintptr_t((uint64_t(pid) << 32) | serial));
}
inline uint32_t handlePid(HWND h)
{
    return uint32_t(handleValue(h) >> 32);
}

// Messages the layer uses for itself; above the 16-bit range applications use.
constexpr UINT kInternalForeground = 0x10001;
constexpr UINT kInternalShow = 0x10002;
inline bool isInternalMessage(UINT m)
{
    return m == kInternalForeground || m == kInternalShow;
}

// --- Wire format between processes (host byte order: one machine) ----------

constexpr uint32_t kFrameMagic = 0x314D574Bu; // "KWM1"
constexpr uint16_t kFrameVersion = 1;
enum FrameKind : uint16_t { kFramePost = 1, kFrameSend = 2, kFrameReply = 3 };
constexpr uint32_t kFlagCopyData = 1; // a WM_COPYDATA record follows the body
constexpr uint32_t kFlagNullData = 2; // WM_COPYDATA whose lParam was null

enum Status : uint32_t { kStatusOk = 0, kStatusNoWindow = 1, kStatusRefused = 2, kStatusGone = 3 };

struct FrameHeader {
    uint32_t magic;
    uint16_t version;
    uint16_t kind;
    uint32_t bodyBytes;
};
static_assert(sizeof(FrameHeader) == 12, "frame header is 12 bytes");

struct MessageBody {
    uint64_t hwnd;
    uint64_t wParam;
    int64_t lParam;
    uint64_t dwData;
    uint32_t message;
    uint32_t flags;
    uint32_t cbData;
    uint32_t senderPid;
};
static_assert(sizeof(MessageBody) == 48, "message body is 48 bytes");

struct ReplyBody {
    int64_t result;
    uint32_t status;
    uint32_t reserved;
};
static_assert(sizeof(ReplyBody) == 16, "reply body is 16 bytes");

// Checks a header received from another process; empty when acceptable,
// else the reason.
std::string checkRequestHeader(const FrameHeader& h);
// Checks a complete request body (and its record's length).
std::string checkRequestBody(uint16_t kind, const MessageBody& b, uint32_t bodyBytes, uint32_t ownPid);

// Connects to the window endpoint of process pid in this device root; -1
// when nothing listens there (the process is gone). Writes are bounded.
int connectToProcess(uint32_t pid);
// Writes one request; payload may be null when size is 0.
bool writeRequest(int fd, uint16_t kind, const MessageBody& body, const void* payload, size_t size);
// Writes a reply (never blocks for long; failures are ignored).
void writeReply(int fd, LRESULT result, uint32_t status);

// Accumulates a reply frame from a stream; returns 1 when complete (body
// filled), 0 when more bytes are needed, -1 when the peer closed or sent
// something malformed.
class ReplyReader {
public:
    int feed(int fd);
    const ReplyBody& body() const { return m_body; }

private:
    unsigned char m_buf[sizeof(FrameHeader) + sizeof(ReplyBody)] = {};
    size_t m_have = 0;
    ReplyBody m_body = {};
};

// --- Deliveries from the I/O thread into this process's queues --------------

// Queues a posted message for a window of this process.
uint32_t deliverPost(const MessageBody& body);
// Queues a sent message; on kStatusOk the owner thread answers on replyFd and
// closes it (ownership taken), otherwise the caller still owns it.
uint32_t deliverSend(const MessageBody& body, std::vector<unsigned char>&& record, int replyFd);

// Starts the I/O thread if needed and makes sure it listens for the current
// device root. False when the endpoint could not be bound.
bool ensureEndpoint();
// Stops the I/O thread (at exit).
void stopEndpoint();

// --- The window directory ------------------------------------------------------

struct WindowInfo {
    HWND hwnd = nullptr;
    bool topLevel = true;
    uint32_t threadId = 0;
    std::string className;
    std::string title;
};

// Replaces this process's entry with the given windows (an empty list
// removes it).
void publishWindows(const std::vector<WindowInfo>& windows);
// The windows of every other live process of this device root; entries of
// processes that are gone are removed on the way.
std::vector<WindowInfo> otherProcessesWindows();
// Removes every entry this process published (at exit).
void unpublishAll();

bool equalsNoCase(const std::string& a, const std::string& b);

} // namespace ce::wm
