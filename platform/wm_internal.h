// Internal: what the sources of the window-message layer share.
//
// A window handle encodes (process id, serial) so it means the same in every
// process. Each process that owns windows listens on one abstract stream
// socket ("wm" : <pid>) served by an I/O thread, and publishes its windows in
// a file of the run folder so other processes can find them. A thread that
// posts or sends to another process keeps one connection to it and numbers
// its requests; the replies carry the number back.
#pragma once

#include "platform/wm.h"

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
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
constexpr uint16_t kFrameVersion = 2;
// A post is acknowledged (unless kFlagNoAck), a send answered, both by a
// reply with the request's id. A cancel withdraws a send not yet taken and is
// answered too, with the send's id: kStatusWithdrawn (it will never run) or
// kStatusTaken (the owner took it first; its own answer follows unless it
// came before).
enum FrameKind : uint16_t { kFramePost = 1, kFrameSend = 2, kFrameReply = 3, kFrameCancel = 4 };
constexpr uint32_t kFlagCopyData = 1; // a WM_COPYDATA record follows the body
constexpr uint32_t kFlagNullData = 2; // WM_COPYDATA whose lParam was null
constexpr uint32_t kFlagNoAck = 4; // a post nobody waits for (a broadcast)
// A send whose sender gives up at `deadline` (the low 32 bits of the
// system's monotonic clock in ms): the owner's thread runs it only before.
constexpr uint32_t kFlagDeadline = 8;

enum Status : uint32_t {
    kStatusOk = 0,
    kStatusNoWindow = 1,
    kStatusRefused = 2,
    kStatusGone = 3,
    kStatusWithdrawn = 4, // answers a cancel only
    kStatusTaken = 5, // answers a cancel only
    kStatusBusy = 6, // with id 0, just before the endpoint closes a connection it cannot take
};

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
    uint32_t id;
    uint32_t deadline; // with kFlagDeadline
};
static_assert(sizeof(MessageBody) == 56, "message body is 56 bytes");

// The deadline of a send started at startMs (detail::nowMs) that gives up
// after timeoutMs; false when
// it has none (no time-out, or one too long to be told apart in 32 bits).
bool sendDeadline(uint64_t startMs, DWORD timeoutMs, uint32_t* deadline);
// Whether a deadline has passed.
bool deadlinePassed(uint32_t deadline);

struct ReplyBody {
    int64_t result;
    uint32_t status;
    uint32_t id;
};
static_assert(sizeof(ReplyBody) == 16, "reply body is 16 bytes");

struct CancelBody {
    uint32_t id;
    uint32_t reserved;
};
static_assert(sizeof(CancelBody) == 8, "cancel body is 8 bytes");

// Checks a header received from another process; empty when acceptable,
// else the reason.
std::string checkRequestHeader(const FrameHeader& h);
// Checks a complete request body (and its record's length).
std::string checkRequestBody(uint16_t kind, const MessageBody& b, uint32_t bodyBytes, uint32_t ownPid);

// Connects to the window endpoint of process pid in this device root; -1
// when nothing listens there (the process is gone) or when the listener
// runs under another account (logged: never talked to). Blocking, with
// writes bounded.
int connectToProcess(uint32_t pid);
// Writes a whole frame on a non-blocking stream, waiting at most timeoutMs
// for room; false (the stream then unusable) when it could not.
bool writeFrame(int fd, uint16_t kind, const void* body, size_t bodySize, const void* payload, size_t size,
    int timeoutMs);
// Writes one request; payload may be null when size is 0.
bool writeRequest(int fd, uint16_t kind, const MessageBody& body, const void* payload, size_t size);

// The way back to a sender over its connection: replies from the endpoint's
// thread and from the threads that handle its sends share it.
class ReplyChannel {
public:
    explicit ReplyChannel(int fd)
        : m_fd(fd)
    {
    }
    int fd() const { return m_fd; }
    // Never blocks for long: a sender that takes nothing for a second loses
    // the connection (and with it whatever it still waits for).
    void reply(uint32_t id, LRESULT result, uint32_t status);
    // Closes the connection; later replies go nowhere.
    void close();

private:
    std::mutex m_mutex;
    int m_fd;
    bool m_failed = false; // a reply could not be written: nothing more is
};

// Accumulates reply frames from a stream; returns 1 when one is complete
// (body filled; the next call starts the next), 0 when more bytes are
// needed, -1 when the peer closed or sent something malformed.
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

// What becomes of a message another process sent: the owner thread takes it
// to run it, or its sender withdraws it (a cancel, or the end of its
// connection), whichever comes first; the other one then learns it lost.
class SendFate {
public:
    // The owner is about to run the message; false when it was withdrawn.
    bool take() { return settle(kTaken); }
    // The sender gave up (or its deadline passed before the owner got to
    // it); false when the owner took it first.
    bool withdraw() { return settle(kWithdrawn); }

private:
    enum : int { kQueued, kTaken, kWithdrawn };
    bool settle(int to)
    {
        int phase = kQueued;
        return m_phase.compare_exchange_strong(phase, to) || phase == to;
    }
    std::atomic<int> m_phase { kQueued };
};

// Queues a posted message for a window of this process.
uint32_t deliverPost(const MessageBody& body);
// Queues a sent message; on kStatusOk the owner thread answers on channel
// with the body's id, unless the message is withdrawn through fate first.
uint32_t deliverSend(const MessageBody& body, std::vector<unsigned char>&& record,
    std::shared_ptr<ReplyChannel> channel, std::shared_ptr<SendFate> fate);

// Starts the I/O thread if needed and makes sure it listens for the current
// device root. False when the endpoint could not be bound.
bool ensureEndpoint();
// Stops the I/O thread (at exit).
void stopEndpoint();
// Has the I/O thread publish this process's windows again a little later,
// and again after that while publishing fails.
void republishLater();
// How many times the I/O thread has waited so far (it waits once per round
// of events, and only for events unless a request or a pause is running).
uint64_t endpointPollCount();

// --- The window directory ------------------------------------------------------

struct WindowInfo {
    HWND hwnd = nullptr;
    bool topLevel = true;
    uint32_t threadId = 0;
    std::string className;
    std::string title;
};

// Replaces this process's entry with the given windows (an empty list
// removes it). False when the entry could not be written (a full device
// root, say): the entry that was there stays.
bool publishWindows(const std::vector<WindowInfo>& windows);
// The windows of every other live process of this device root; entries of
// processes that are gone are removed on the way.
std::vector<WindowInfo> otherProcessesWindows();
// Removes every entry this process published (at exit).
void unpublishAll();

// Records the window brought to the front for getForegroundWindow.
void noteForeground(HWND window);
} // namespace ce::wm
