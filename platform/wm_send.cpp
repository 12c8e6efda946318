// Posting and sending: to a window of the calling thread, of another thread
// of this process (through its queue), or of another process (through the
// calling thread's connection to that process's window endpoint).
//
// Each thread keeps one connection per process it talks to, so its posts
// and sends reach that process in the order they were made, and a message
// costs no connection of its own. Requests carry a number; the answer to a
// send, or the acknowledgement of a post, comes back with it. A post waits
// for its acknowledgement only briefly: a process that is stopped or busy
// gets the message when it runs again, and the post counts as handed over.
#include "platform/debug.h"
#include "platform/endpoint.h"
#include "platform/handles.h"
#include "platform/sync.h"
#include "platform/wm_state.h"

#include <poll.h>
#include <unistd.h>

#include <map>
#include <set>

namespace ce {

namespace wm {

namespace {

// How long a post waits for the acknowledgement of a live process's
// endpoint before it counts as handed over.
constexpr DWORD kPostAckWaitMs = 50;
// A cancel that finds no room at once ends the connection instead.
constexpr int kCancelWriteMs = 100;
// How long a sender that gave up waits for the receiver to say whether it
// withdrew the message; its endpoint answers at once unless it is stopped.
constexpr DWORD kCancelAnswerWaitMs = 1000;

// One thread's connection to another process's window endpoint.
struct Link {
    int fd = -1;
    bool broken = false;
    bool busy = false; // the endpoint had no room for this connection
    uint32_t nextId = 1;
    ReplyReader reader;
    std::set<uint32_t> waiting; // ids a wait on this thread still expects
    std::map<uint32_t, ReplyBody> arrived; // their replies, read meanwhile

    ~Link()
    {
        if (fd >= 0)
            ::close(fd);
    }
    // Reads the replies that are there, up to the one with id `until`
    // (0: all of them); false when the connection ended.
    bool readAvailable(uint32_t until = 0)
    {
        for (;;) {
            int got = reader.feed(fd);
            if (got == 0)
                return true;
            if (got < 0) {
                broken = true;
                return false;
            }
            const ReplyBody& b = reader.body();
            if (b.id == 0 && b.status == kStatusBusy) {
                busy = broken = true; // and the endpoint closes the connection
                return false;
            }
            // The first answer counts: a send that ran before its cancel
            // arrived has the cancel's answer after its own.
            if (waiting.count(b.id))
                arrived.emplace(b.id, b);
            // else the answer to a request given up on
            if (until != 0 && b.id == until)
                return true;
        }
    }
};

// The calling thread's connections, by the peer's endpoint address.
thread_local std::map<std::string, std::shared_ptr<Link>> t_links;

std::string peerKey(uint32_t pid)
{
    sockaddr_un addr;
    socklen_t len = detail::abstractAddress("wm", std::to_string(pid), &addr);
    return std::string(addr.sun_path, len - offsetof(sockaddr_un, sun_path));
}

void dropLink(const std::string& key, const std::shared_ptr<Link>& link)
{
    link->broken = true;
    auto it = t_links.find(key);
    if (it != t_links.end() && it->second == link)
        t_links.erase(it);
}

// Writes a request (numbering it) on this thread's connection to pid; a
// connection the process has closed (the write fails at once) is replaced
// once. Replies still on a kept connection are read by the next wait.
// Null when the process cannot be reached, with *busy set when its
// endpoint said it had no room for this connection.
std::shared_ptr<Link> request(
    uint32_t pid, uint16_t kind, MessageBody& body, const void* payload, size_t size, bool* busy = nullptr)
{
    const std::string key = peerKey(pid);
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::shared_ptr<Link> link;
        auto it = t_links.find(key);
        if (it != t_links.end() && !it->second->broken)
            link = it->second;
        if (!link) {
            if (it != t_links.end())
                t_links.erase(it);
            int fd = connectToProcess(pid);
            if (fd < 0)
                return nullptr;
            link = std::make_shared<Link>();
            link->fd = fd;
            t_links[key] = link;
        }
        body.id = link->nextId++;
        if (writeRequest(link->fd, kind, body, payload, size))
            return link;
        link->readAvailable(); // why it was closed, when it said
        dropLink(key, link);
        if (link->busy) {
            if (busy)
                *busy = true;
            return nullptr;
        }
    }
    return nullptr;
}

// Waits for the reply with id until timeoutMs from start; a thread with a
// queue (own) keeps serving what is sent to it meanwhile. 1 with the reply
// in *out, 0 on time-out, -1 when the connection ended.
int awaitReply(Link& link, uint32_t id, uint64_t start, DWORD timeoutMs, const std::shared_ptr<ThreadQueue>& own,
    ReplyBody* out)
{
    SentWatch watch(own);
    for (;;) {
        auto it = link.arrived.find(id);
        if (it != link.arrived.end()) {
            *out = it->second;
            return 1;
        }
        if (link.broken)
            return -1;
        pollfd fds[2] = { { link.fd, POLLIN, 0 }, { own ? own->sentFd : -1, POLLIN, 0 } };
        int r = detail::waitReadable(fds, own ? 2 : 1, timeoutMs, start);
        if (r == 0)
            return 0;
        if (r < 0)
            return -1;
        if (own && (fds[1].revents & POLLIN))
            serveSent(own);
        if (fds[0].revents)
            link.readAvailable(id);
    }
}

// Withdraws a send given up on. The receiver answers the cancel at once from
// its endpoint thread, even while the window's thread is busy: withdrawn (it
// will never run) or taken (its thread got to it first). A send that ran to
// its end before the cancel arrived has its answer there first, and counts
// as answered after all. 1 then, with the answer in *reply; 0 otherwise.
int withdraw(uint32_t pid, const std::shared_ptr<Link>& link, uint32_t id, const std::shared_ptr<ThreadQueue>& own,
    ReplyBody* reply)
{
    CancelBody cancel { id, 0 };
    if (writeFrame(link->fd, kFrameCancel, &cancel, sizeof cancel, nullptr, 0, kCancelWriteMs)) {
        int got = awaitReply(*link, id, detail::nowMs(), kCancelAnswerWaitMs, own, reply);
        if (got == 1)
            return reply->status == kStatusWithdrawn || reply->status == kStatusTaken ? 0 : 1;
    }
    // No room for the cancel, or no answer (the process is stopped): the end
    // of the connection withdraws what the process has not taken by the
    // time it runs again.
    dropLink(peerKey(pid), link);
    return 0;
}

// Sends a request and waits for its reply; 1, 0 (time-out: a send is
// withdrawn) or -1 as awaitReply, -2 when the process cannot be reached,
// -3 when its endpoint is too busy to take this thread's connection.
int transact(uint32_t pid, uint16_t kind, MessageBody& body, const void* payload, size_t size, DWORD timeoutMs,
    const std::shared_ptr<ThreadQueue>& own, ReplyBody* reply)
{
    uint64_t start = detail::nowMs();
    if (kind == kFrameSend && sendDeadline(start, timeoutMs, &body.deadline))
        body.flags |= kFlagDeadline;
    bool busy = false;
    std::shared_ptr<Link> link = request(pid, kind, body, payload, size, &busy);
    if (!link)
        return busy ? -3 : -2;
    link->waiting.insert(body.id);
    int got = awaitReply(*link, body.id, start, timeoutMs, own, reply);
    if (got == 0 && kind == kFrameSend)
        got = withdraw(pid, link, body.id, own, reply);
    else if (got == 1 && reply->status == kStatusWithdrawn)
        got = 0; // its deadline passed before the window's thread got to it
    link->waiting.erase(body.id);
    link->arrived.erase(body.id);
    if (got < 0) {
        if (link->busy)
            got = -3;
        dropLink(peerKey(pid), link);
    }
    return got;
}

uint32_t postRemote(HWND h, UINT message, WPARAM wParam, LPARAM lParam, bool wantAck)
{
    MessageBody body { handleValue(h), uint64_t(wParam), int64_t(lParam), 0, message, wantAck ? 0u : kFlagNoAck, 0,
        uint32_t(::getpid()), 0, 0 };
    if (!wantAck) {
        MessageBody b = body;
        return request(handlePid(h), kFramePost, b, nullptr, 0) ? kStatusOk : kStatusNoWindow;
    }
    // A post runs nothing of this thread's while it waits: no queue.
    ReplyBody reply {};
    switch (transact(handlePid(h), kFramePost, body, nullptr, 0, kPostAckWaitMs, nullptr, &reply)) {
    case 1:
        return reply.status <= kStatusGone ? reply.status : kStatusGone;
    case 0:
        return kStatusOk; // handed over; the process takes it when it runs
    case -2:
        return kStatusNoWindow;
    case -3:
        return kStatusBusy;
    default:
        return kStatusGone;
    }
}

LRESULT sendRemote(HWND h, UINT message, WPARAM wParam, LPARAM lParam, const COPYDATASTRUCT* cds, DWORD timeoutMs)
{
    MessageBody body { handleValue(h), uint64_t(wParam), int64_t(lParam), 0, message, 0, 0, uint32_t(::getpid()), 0,
        0 };
    if (message == WM_COPYDATA) {
        body.lParam = 0; // an address means nothing over there
        if (cds) {
            body.flags = kFlagCopyData;
            body.dwData = uint64_t(cds->dwData);
            body.cbData = cds->cbData;
        } else {
            body.flags = kFlagNullData;
        }
    }
    ReplyBody reply {};
    int got = transact(handlePid(h), kFrameSend, body, cds ? cds->lpData : nullptr, cds ? cds->cbData : 0, timeoutMs,
        currentQueue(false), &reply);
    if (got == 0)
        return LRESULT(fail(ERROR_TIMEOUT));
    if (got == -3)
        return LRESULT(fail(ERROR_BUSY));
    if (got == -1)
        debugPrintf("window messages: process %u ended before answering a sent message", handlePid(h));
    if (got < 0)
        return LRESULT(fail(ERROR_INVALID_WINDOW_HANDLE));
    if (!statusResult(reply.status))
        return 0;
    setLastError(ERROR_SUCCESS);
    return LRESULT(reply.result);
}

} // namespace

BOOL postTo(HWND h, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!h || handlePid(h) == 0)
        return fail(ERROR_INVALID_WINDOW_HANDLE);
    if (isLocal(h))
        return statusResult(postLocal(h, message, wParam, lParam));
    return statusResult(postRemote(h, message, wParam, lParam, true));
}

} // namespace wm

using namespace wm;

BOOL postMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // A record cannot outlive a post; numbers above 16 bits are the layer's.
    if (message == WM_COPYDATA || message > 0xFFFF)
        return fail(ERROR_INVALID_PARAMETER);
    if (window == HWND_BROADCAST) {
        // Handed to every top-level window without waiting on any of them.
        for (const WindowInfo& w : allWindows()) {
            if (!w.topLevel)
                continue;
            if (isLocal(w.hwnd))
                postLocal(w.hwnd, message, wParam, lParam);
            else
                postRemote(w.hwnd, message, wParam, lParam, false);
        }
        return TRUE_;
    }
    if (!window)
        return postThreadMessage(getCurrentThreadId(), message, wParam, lParam);
    return postTo(window, message, wParam, lParam);
}

namespace {

LRESULT sendWithin(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD timeoutMs)
{
    if (message > 0xFFFF)
        return LRESULT(fail(ERROR_INVALID_PARAMETER));
    const COPYDATASTRUCT* cds = nullptr;
    if (message == WM_COPYDATA && lParam) {
        cds = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        if (cds->cbData > MAX_COPYDATA_BYTES) {
            debugPrintf("window messages: refused a WM_COPYDATA record of %u bytes", unsigned(cds->cbData));
            return LRESULT(fail(ERROR_INVALID_PARAMETER));
        }
        if (cds->cbData > 0 && !cds->lpData)
            return LRESULT(fail(ERROR_INVALID_PARAMETER));
    }
    if (window == HWND_BROADCAST) {
        for (const WindowInfo& w : allWindows())
            if (w.topLevel)
                sendWithin(w.hwnd, message, wParam, lParam, timeoutMs);
        setLastError(ERROR_SUCCESS);
        return 0;
    }
    if (!window || handlePid(window) == 0)
        return LRESULT(fail(ERROR_INVALID_WINDOW_HANDLE));
    if (!isLocal(window))
        return sendRemote(window, message, wParam, lParam, cds, timeoutMs);

    auto w = localWindow(window);
    if (!w)
        return LRESULT(fail(ERROR_INVALID_WINDOW_HANDLE));
    if (w->threadId == getCurrentThreadId()) {
        LRESULT result = deliver(MSG { window, message, wParam, lParam, getTickCount() });
        setLastError(ERROR_SUCCESS); // whatever the handler left there
        return result;
    }
    return sendLocal(w, message, wParam, lParam, cds, timeoutMs);
}

} // namespace

LRESULT sendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return sendWithin(window, message, wParam, lParam, INFINITE);
}

BOOL sendMessageTimeout(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD timeoutMs, LRESULT* result)
{
    LRESULT r = sendWithin(window, message, wParam, lParam, timeoutMs);
    if (result)
        *result = r;
    return getLastError() == ERROR_SUCCESS ? TRUE_ : FALSE_;
}

} // namespace ce
