// Windows, thread message queues, post and send.
//
// Every thread that owns windows (or pumps, or has a filter) has a queue:
// posted messages in order, sent messages waiting for the owner to run them,
// a quit flag, and two descriptors that poll readable while anything (resp.
// a sent message) is pending. A thread waiting for its own send's answer
// polls the latter, so it keeps serving sends made to its own windows and two
// threads or programs sending to each other never deadlock.
#include "platform/debug.h"
#include "platform/handles.h"
#include "platform/sync.h"
#include "platform/wm_internal.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>

namespace ce {

using namespace wm;

namespace {

// A post to another process waits this long at most for the peer's
// acknowledgement (the peer's I/O thread gives it at once when alive).
constexpr DWORD kPostAckTimeoutMs = 5000;

void closeIfOpen(int fd)
{
    if (fd >= 0)
        ::close(fd);
}

void signalEventFd(int fd)
{
    uint64_t one = 1;
    ssize_t n = ::write(fd, &one, sizeof one);
    (void)n;
}

struct SentItem {
    HWND hwnd = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    bool copy = false; // a WM_COPYDATA record travels in `record`
    uintptr_t dwData = 0;
    std::vector<unsigned char> record;

    int replyFd = -1; // another process waits on this connection
    int doneFd = -1; // a thread of this process waits on this eventfd
    std::atomic<bool> done { false };
    LRESULT result = 0;
    uint32_t status = kStatusOk;

    ~SentItem()
    {
        closeIfOpen(replyFd);
        closeIfOpen(doneFd);
    }
};

void complete(SentItem& item, LRESULT result, uint32_t status)
{
    if (item.replyFd >= 0) {
        writeReply(item.replyFd, result, status);
        ::close(item.replyFd);
        item.replyFd = -1;
        return;
    }
    item.result = result;
    item.status = status;
    item.done.store(true, std::memory_order_release);
    signalEventFd(item.doneFd);
}

void setLevel(int fd, bool& on, bool want)
{
    if (want && !on) {
        signalEventFd(fd);
        on = true;
    } else if (!want && on) {
        uint64_t v;
        ssize_t n = ::read(fd, &v, sizeof v);
        (void)n;
        on = false;
    }
}

struct ThreadQueue {
    DWORD threadId = 0;
    std::mutex m;
    std::condition_variable cv;
    uint64_t generation = 0;
    std::deque<MSG> posted;
    std::deque<std::shared_ptr<SentItem>> sent;
    bool quit = false;
    int quitCode = 0;
    bool dead = false;
    int anyFd = -1;
    int sentFd = -1;
    bool anyOn = false;
    bool sentOn = false;
    MessageFilter filter; // used by the owner thread only

    ThreadQueue()
        : anyFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
        , sentFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
    {
    }
    ~ThreadQueue()
    {
        closeIfOpen(anyFd);
        closeIfOpen(sentFd);
    }
    // Call with m held after any change.
    void changed()
    {
        ++generation;
        setLevel(anyFd, anyOn, !posted.empty() || !sent.empty() || quit);
        setLevel(sentFd, sentOn, !sent.empty());
        cv.notify_all();
    }
};

struct WindowRec {
    HWND hwnd = nullptr;
    std::string className;
    std::string title;
    WindowProc proc;
    bool topLevel = true;
    DWORD threadId = 0;
    std::shared_ptr<ThreadQueue> queue;
    bool visible = false;
    bool destroying = false;
    bool closed = false; // under queue->m: destroyed, takes no more messages
    std::function<void(int)> onShow;
    std::function<void()> onActivate;
};

struct State {
    std::mutex m;
    std::map<uint64_t, std::shared_ptr<WindowRec>> windows; // ordered by creation
    std::map<DWORD, std::weak_ptr<ThreadQueue>> queues;
    uint32_t nextSerial = 1;
    std::mutex publishMutex;
    bool exitHook = false;
};

State& state()
{
    static State* s = new State; // never destroyed: windows may be used during exit
    return *s;
}

WindowInfo infoOf(const WindowRec& w)
{
    return { w.hwnd, w.topLevel, w.threadId, w.className, w.title };
}

std::vector<WindowInfo> localWindows()
{
    std::vector<WindowInfo> list;
    State& s = state();
    std::lock_guard<std::mutex> lock(s.m);
    for (auto& [key, w] : s.windows)
        list.push_back(infoOf(*w));
    return list;
}

void publish()
{
    // Serialised, so the last change of the windows is the one published.
    std::lock_guard<std::mutex> publishLock(state().publishMutex);
    publishWindows(localWindows());
}

void threadEnded(const std::shared_ptr<ThreadQueue>& q);

thread_local bool t_gone = false;
struct ThreadHolder {
    std::shared_ptr<ThreadQueue> queue;
    ~ThreadHolder()
    {
        t_gone = true;
        if (queue)
            threadEnded(queue);
    }
};
thread_local ThreadHolder t_holder;

std::shared_ptr<ThreadQueue> currentQueue(bool create)
{
    if (t_gone)
        return nullptr;
    if (!t_holder.queue && create) {
        auto q = std::make_shared<ThreadQueue>();
        if (q->anyFd < 0 || q->sentFd < 0) {
            setLastError(ERROR_OUTOFMEMORY);
            return nullptr;
        }
        q->threadId = getCurrentThreadId();
        State& s = state();
        std::lock_guard<std::mutex> lock(s.m);
        s.queues[q->threadId] = q;
        t_holder.queue = q;
    }
    return t_holder.queue;
}

// A thread that ends takes its windows with it; whoever still waits for one
// of its sends gets 0.
void threadEnded(const std::shared_ptr<ThreadQueue>& q)
{
    State& s = state();
    bool removed = false;
    {
        std::lock_guard<std::mutex> lock(s.m);
        for (auto it = s.windows.begin(); it != s.windows.end();) {
            if (it->second->threadId == q->threadId) {
                it = s.windows.erase(it);
                removed = true;
            } else {
                ++it;
            }
        }
        s.queues.erase(q->threadId);
    }
    std::deque<std::shared_ptr<SentItem>> pending;
    {
        std::lock_guard<std::mutex> lock(q->m);
        q->dead = true;
        pending.swap(q->sent);
        q->posted.clear();
        q->quit = false;
        q->changed();
    }
    for (auto& item : pending)
        complete(*item, 0, kStatusGone);
    if (removed)
        publish();
}

bool isLocal(HWND h)
{
    return handlePid(h) == uint32_t(::getpid());
}

std::shared_ptr<WindowRec> localWindow(HWND h)
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.m);
    auto it = s.windows.find(handleValue(h));
    return it == s.windows.end() ? nullptr : it->second;
}

void atExit()
{
    stopEndpoint();
    unpublishAll();
}

// The filter of the calling thread, then the window's procedure (when the
// window belongs to the calling thread).
LRESULT deliver(const MSG& msg)
{
    auto q = currentQueue(false);
    if (q && q->filter) {
        MessageFilter f = q->filter;
        if (f(msg))
            return 0;
    }
    if (!msg.hwnd)
        return 0;
    WindowProc proc;
    {
        State& s = state();
        std::lock_guard<std::mutex> lock(s.m);
        auto it = s.windows.find(handleValue(msg.hwnd));
        if (it == s.windows.end() || it->second->threadId != getCurrentThreadId())
            return 0;
        proc = it->second->proc;
    }
    return proc ? proc(msg.hwnd, msg.message, msg.wParam, msg.lParam) : 0;
}

// A sender in another process that gave up (time-out) or ended has closed
// its end; it sends nothing after its request, so anything readable there
// means the message was withdrawn.
bool senderGone(int replyFd)
{
    pollfd p { replyFd, POLLIN, 0 };
    return ::poll(&p, 1, 0) > 0;
}

void serveOne(SentItem& item)
{
    if (item.replyFd >= 0 && senderGone(item.replyFd))
        return;
    if (!localWindow(item.hwnd)) {
        complete(item, 0, kStatusNoWindow);
        return;
    }
    MSG msg { item.hwnd, item.message, item.wParam, item.lParam, getTickCount() };
    COPYDATASTRUCT cds {};
    if (item.copy) {
        cds.dwData = item.dwData;
        cds.cbData = DWORD(item.record.size());
        cds.lpData = item.record.empty() ? nullptr : item.record.data();
        msg.lParam = reinterpret_cast<LPARAM>(&cds);
    } else if (item.message == WM_COPYDATA) {
        msg.lParam = 0; // never an address that came from elsewhere
    }
    LRESULT result = deliver(msg);
    complete(item, result, kStatusOk);
}

// Runs every message sent to the calling thread's windows.
void serveSent(const std::shared_ptr<ThreadQueue>& q)
{
    for (;;) {
        std::shared_ptr<SentItem> item;
        {
            std::lock_guard<std::mutex> lock(q->m);
            if (q->sent.empty())
                return;
            item = q->sent.front();
            q->sent.pop_front();
            q->changed();
        }
        serveOne(*item);
    }
}

void runInternal(const MSG& msg)
{
    auto w = localWindow(msg.hwnd);
    if (!w)
        return;
    if (msg.message == kInternalShow) {
        std::function<void(int)> show;
        {
            std::lock_guard<std::mutex> lock(state().m);
            show = w->onShow;
        }
        if (show)
            show(int(msg.wParam));
    } else if (msg.message == kInternalForeground) {
        std::function<void()> activate;
        {
            std::lock_guard<std::mutex> lock(state().m);
            activate = w->onActivate;
        }
        if (activate)
            activate();
        deliver(MSG { msg.hwnd, WM_ACTIVATE, WA_ACTIVE, 0, getTickCount() });
    }
}

// Records a show or hide when it is requested (not when the owner gets to
// it), so successive requests see each other's effect; the previous state.
bool markShown(WindowRec& w, int command)
{
    std::lock_guard<std::mutex> lock(state().m);
    bool was = w.visible;
    w.visible = command != SW_HIDE;
    return was;
}

bool inRange(UINT m, UINT lo, UINT hi)
{
    return (lo == 0 && hi == 0) || (m >= lo && m <= hi);
}

// Serves sent messages, runs the layer's own messages, and looks for the next
// posted message matching the filters (then the quit flag when includeQuit).
// When nothing matches, *seen is the queue generation looked at.
bool fetch(const std::shared_ptr<ThreadQueue>& q, MSG* out, HWND hwnd, UINT lo, UINT hi, bool remove, bool includeQuit,
    uint64_t* seen)
{
    for (;;) {
        serveSent(q);
        MSG internal {};
        bool haveInternal = false;
        {
            std::lock_guard<std::mutex> lock(q->m);
            if (!q->sent.empty())
                continue;
            for (auto it = q->posted.begin(); it != q->posted.end(); ++it) {
                if (isInternalMessage(it->message)) {
                    internal = *it;
                    q->posted.erase(it);
                    q->changed();
                    haveInternal = true;
                    break;
                }
                // A posted quit ends the search whatever the filters.
                if (it->message == WM_QUIT && !includeQuit)
                    return false; // stays for the thread's own loop
                if (it->message != WM_QUIT && ((hwnd && it->hwnd != hwnd) || !inRange(it->message, lo, hi)))
                    continue;
                *out = *it;
                if (remove) {
                    q->posted.erase(it);
                    q->changed();
                }
                return true;
            }
            if (!haveInternal) {
                if (q->quit && includeQuit) {
                    *out = MSG { nullptr, WM_QUIT, WPARAM(q->quitCode), 0, getTickCount() };
                    if (remove) {
                        q->quit = false;
                        q->changed();
                    }
                    return true;
                }
                if (seen)
                    *seen = q->generation;
                return false;
            }
        }
        runInternal(internal);
    }
}

// Whether the window's queue still takes messages for it; call with
// w.queue->m held.
uint32_t queueStatus(const WindowRec& w)
{
    if (w.queue->dead)
        return kStatusGone;
    return w.closed ? kStatusNoWindow : kStatusOk;
}

uint32_t postLocal(HWND h, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto w = localWindow(h);
    if (!w)
        return kStatusNoWindow;
    std::lock_guard<std::mutex> lock(w->queue->m);
    if (uint32_t status = queueStatus(*w); status != kStatusOk)
        return status;
    w->queue->posted.push_back(MSG { h, message, wParam, lParam, getTickCount() });
    w->queue->changed();
    return kStatusOk;
}

BOOL fail(DWORD error)
{
    setLastError(error);
    return FALSE_;
}

BOOL statusResult(uint32_t status)
{
    if (status == kStatusOk)
        return TRUE_;
    return fail(status == kStatusRefused ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
}

// Waits on a request's connection for the peer's reply until timeoutMs from
// start; a thread with a queue (own) keeps serving what is sent to it
// meanwhile. 1 when the reply is in reader, 0 on time-out, -1 when the peer
// closed the connection or answered something malformed.
int awaitReply(int fd, ReplyReader& reader, uint64_t start, DWORD timeoutMs, const std::shared_ptr<ThreadQueue>& own)
{
    for (;;) {
        DWORD left = detail::remaining(timeoutMs, start);
        if (left == 0)
            return 0;
        pollfd fds[2] = { { fd, POLLIN, 0 }, { own ? own->sentFd : -1, POLLIN, 0 } };
        int r = ::poll(fds, own ? 2 : 1, left == INFINITE ? -1 : int(std::min<DWORD>(left, 1u << 30)));
        if (r < 0 && errno != EINTR)
            return -1;
        if (own && (fds[1].revents & POLLIN))
            serveSent(own);
        if (r > 0 && fds[0].revents) {
            int got = reader.feed(fd);
            if (got != 0)
                return got;
        }
    }
}

uint32_t postRemote(HWND h, UINT message, WPARAM wParam, LPARAM lParam)
{
    uint64_t start = detail::nowMs();
    int fd = connectToProcess(handlePid(h));
    if (fd < 0)
        return kStatusNoWindow;
    MessageBody body { handleValue(h), uint64_t(wParam), int64_t(lParam), 0, message, 0, 0, uint32_t(::getpid()) };
    uint32_t status = kStatusGone;
    if (writeRequest(fd, kFramePost, body, nullptr, 0)) {
        // A post runs nothing of this thread's while it waits: no queue.
        ReplyReader reader;
        int got = awaitReply(fd, reader, start, kPostAckTimeoutMs, nullptr);
        if (got == 0)
            debugPrintf("window messages: process %u did not take a posted message", handlePid(h));
        else if (got == 1 && reader.body().status <= kStatusGone)
            status = reader.body().status;
    }
    ::close(fd);
    return status;
}

BOOL postTo(HWND h, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!h || handlePid(h) == 0)
        return fail(ERROR_INVALID_WINDOW_HANDLE);
    if (isLocal(h))
        return statusResult(postLocal(h, message, wParam, lParam));
    return statusResult(postRemote(h, message, wParam, lParam));
}

// Every window of this device root: this process's first, then the others'.
std::vector<WindowInfo> allWindows()
{
    std::vector<WindowInfo> list = localWindows();
    std::vector<WindowInfo> others = otherProcessesWindows();
    list.insert(list.end(), others.begin(), others.end());
    return list;
}

// The window's entry, from this process or the directory; false when gone.
bool lookupWindow(HWND h, WindowInfo* out)
{
    if (!h || h == HWND_BROADCAST)
        return false;
    if (isLocal(h)) {
        auto w = localWindow(h);
        if (w)
            *out = infoOf(*w);
        return w != nullptr;
    }
    for (auto& w : otherProcessesWindows()) {
        if (w.hwnd == h) {
            *out = w;
            return true;
        }
    }
    return false;
}

// Waits for the answer to a send to another thread of this process.
LRESULT waitLocal(const std::shared_ptr<SentItem>& item, const std::shared_ptr<ThreadQueue>& target, DWORD timeoutMs)
{
    auto own = currentQueue(false);
    uint64_t start = detail::nowMs();
    while (!item->done.load(std::memory_order_acquire)) {
        DWORD left = detail::remaining(timeoutMs, start);
        if (left == 0) {
            // Given up: withdrawn unless the owner has already taken it.
            std::lock_guard<std::mutex> lock(target->m);
            auto it = std::find(target->sent.begin(), target->sent.end(), item);
            if (it != target->sent.end()) {
                target->sent.erase(it);
                target->changed();
            }
            return LRESULT(fail(ERROR_TIMEOUT));
        }
        pollfd fds[2] = { { item->doneFd, POLLIN, 0 }, { own ? own->sentFd : -1, POLLIN, 0 } };
        int r = ::poll(fds, own ? 2 : 1, left == INFINITE ? -1 : int(std::min<DWORD>(left, 1u << 30)));
        if (r < 0 && errno != EINTR)
            break;
        if (own && (fds[1].revents & POLLIN))
            serveSent(own);
    }
    if (!item->done.load(std::memory_order_acquire))
        return LRESULT(fail(ERROR_GEN_FAILURE));
    if (item->status != kStatusOk)
        return LRESULT(fail(ERROR_INVALID_WINDOW_HANDLE));
    setLastError(ERROR_SUCCESS);
    return item->result;
}

LRESULT sendRemote(HWND h, UINT message, WPARAM wParam, LPARAM lParam, const COPYDATASTRUCT* cds, DWORD timeoutMs)
{
    uint64_t start = detail::nowMs();
    int fd = connectToProcess(handlePid(h));
    if (fd < 0)
        return LRESULT(fail(ERROR_INVALID_WINDOW_HANDLE));
    MessageBody body { handleValue(h), uint64_t(wParam), int64_t(lParam), 0, message, 0, 0, uint32_t(::getpid()) };
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
    if (!writeRequest(fd, kFrameSend, body, cds ? cds->lpData : nullptr, cds ? cds->cbData : 0)) {
        ::close(fd);
        return LRESULT(fail(ERROR_INVALID_WINDOW_HANDLE));
    }
    ReplyReader reader;
    int got = awaitReply(fd, reader, start, timeoutMs, currentQueue(false));
    ::close(fd); // after a time-out the peer sees the close and drops the message
    if (got == 0)
        return LRESULT(fail(ERROR_TIMEOUT));
    if (got < 0) {
        debugPrintf("window messages: process %u ended before answering a sent message", handlePid(h));
        return LRESULT(fail(ERROR_INVALID_WINDOW_HANDLE));
    }
    if (!statusResult(reader.body().status))
        return 0;
    setLastError(ERROR_SUCCESS);
    return LRESULT(reader.body().result);
}

} // namespace

// --- Deliveries from other processes ----------------------------------------

namespace wm {

uint32_t deliverPost(const MessageBody& body)
{
    HWND h = reinterpret_cast<HWND>(uintptr_t(body.hwnd));
    uint32_t status = postLocal(h, body.message, WPARAM(body.wParam), LPARAM(body.lParam));
    if (status == kStatusOk && body.message == kInternalShow)
        if (auto w = localWindow(h))
            markShown(*w, int(body.wParam));
    return status;
}

uint32_t deliverSend(const MessageBody& body, std::vector<unsigned char>&& record, int replyFd)
{
    HWND h = reinterpret_cast<HWND>(uintptr_t(body.hwnd));
    if (isInternalMessage(body.message))
        return kStatusRefused;
    auto w = localWindow(h);
    if (!w)
        return kStatusNoWindow;
    auto item = std::make_shared<SentItem>();
    item->hwnd = h;
    item->message = body.message;
    item->wParam = WPARAM(body.wParam);
    item->lParam = LPARAM(body.lParam);
    item->copy = (body.flags & kFlagCopyData) != 0;
    item->dwData = uintptr_t(body.dwData);
    item->record = std::move(record);
    std::lock_guard<std::mutex> lock(w->queue->m);
    if (uint32_t status = queueStatus(*w); status != kStatusOk)
        return status;
    item->replyFd = replyFd;
    w->queue->sent.push_back(std::move(item));
    w->queue->changed();
    return kStatusOk;
}

} // namespace wm

// --- Windows ------------------------------------------------------------------

HWND createWindow(const std::string& className, const std::string& title, WindowProc proc, bool topLevel)
{
    auto q = currentQueue(true);
    if (!q)
        return nullptr;
    auto w = std::make_shared<WindowRec>();
    w->className = className;
    w->title = title;
    w->proc = std::move(proc);
    w->topLevel = topLevel;
    w->threadId = q->threadId;
    w->queue = q;
    State& s = state();
    bool installHook = false;
    {
        std::lock_guard<std::mutex> lock(s.m);
        uint32_t serial = s.nextSerial++;
        if (serial == 0)
            serial = s.nextSerial++;
        w->hwnd = makeHandle(uint32_t(::getpid()), serial);
        s.windows[handleValue(w->hwnd)] = w;
        installHook = !s.exitHook;
        s.exitHook = true;
    }
    if (!ensureEndpoint())
        debugOutput("window messages: other processes cannot reach this process's windows");
    if (installHook)
        std::atexit(atExit);
    publish();
    return w->hwnd;
}

BOOL destroyWindow(HWND window)
{
    auto w = localWindow(window);
    if (!w)
        return fail(ERROR_INVALID_WINDOW_HANDLE);
    if (w->threadId != getCurrentThreadId())
        return fail(ERROR_ACCESS_DENIED);
    {
        std::lock_guard<std::mutex> lock(state().m);
        if (w->destroying)
            return TRUE_;
        w->destroying = true;
    }
    deliver(MSG { window, WM_DESTROY, 0, 0, getTickCount() });
    {
        std::lock_guard<std::mutex> lock(state().m);
        state().windows.erase(handleValue(window));
    }
    // What is still queued for the window goes with it; its senders get 0
    // now rather than whenever this thread pumps next.
    std::vector<std::shared_ptr<SentItem>> orphans;
    {
        std::lock_guard<std::mutex> lock(w->queue->m);
        w->closed = true;
        auto& posted = w->queue->posted;
        for (auto it = posted.begin(); it != posted.end();)
            it = it->hwnd == window ? posted.erase(it) : it + 1;
        auto& sent = w->queue->sent;
        for (auto it = sent.begin(); it != sent.end();) {
            if ((*it)->hwnd == window) {
                orphans.push_back(std::move(*it));
                it = sent.erase(it);
            } else {
                ++it;
            }
        }
        w->queue->changed();
    }
    for (auto& item : orphans)
        complete(*item, 0, kStatusNoWindow);
    publish();
    return TRUE_;
}

BOOL isWindow(HWND window)
{
    WindowInfo info;
    return lookupWindow(window, &info) ? TRUE_ : FALSE_;
}

HWND findWindow(const char* className, const char* title)
{
    std::vector<WindowInfo> list = allWindows();
    auto matches = [&](const WindowInfo& w) {
        return (!className || equalsNoCase(w.className, className)) && (!title || equalsNoCase(w.title, title));
    };
    // Top-level windows first, as the device searches; then any other.
    for (const WindowInfo& w : list)
        if (w.topLevel && matches(w))
            return w.hwnd;
    for (const WindowInfo& w : list)
        if (!w.topLevel && matches(w))
            return w.hwnd;
    setLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
}

std::vector<HWND> enumTopLevelWindows()
{
    std::vector<HWND> result;
    for (const WindowInfo& w : allWindows())
        if (w.topLevel)
            result.push_back(w.hwnd);
    return result;
}

std::string getWindowTitle(HWND window)
{
    WindowInfo info;
    return lookupWindow(window, &info) ? info.title : std::string();
}

std::string getWindowClass(HWND window)
{
    WindowInfo info;
    return lookupWindow(window, &info) ? info.className : std::string();
}

DWORD getWindowProcessId(HWND window)
{
    return isWindow(window) ? DWORD(handlePid(window)) : 0;
}

// --- Posting and sending --------------------------------------------------------

BOOL postMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // A record cannot outlive a post; numbers above 16 bits are the layer's.
    if (message == WM_COPYDATA || message > 0xFFFF)
        return fail(ERROR_INVALID_PARAMETER);
    if (window == HWND_BROADCAST) {
        for (const WindowInfo& w : allWindows())
            if (w.topLevel)
                postTo(w.hwnd, message, wParam, lParam);
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
    auto item = std::make_shared<SentItem>();
    item->hwnd = window;
    item->message = message;
    item->wParam = wParam;
    item->lParam = lParam;
    if (message == WM_COPYDATA) {
        item->copy = cds != nullptr;
        if (cds) {
            item->dwData = cds->dwData;
            const unsigned char* p = static_cast<const unsigned char*>(cds->lpData);
            item->record.assign(p, p + cds->cbData);
        }
    }
    item->doneFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (item->doneFd < 0)
        return LRESULT(fail(ERROR_OUTOFMEMORY));
    {
        std::lock_guard<std::mutex> lock(w->queue->m);
        if (queueStatus(*w) != kStatusOk)
            return LRESULT(fail(ERROR_INVALID_WINDOW_HANDLE));
        w->queue->sent.push_back(item);
        w->queue->changed();
    }
    return waitLocal(item, w->queue, timeoutMs);
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

BOOL postThreadMessage(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COPYDATA || message > 0xFFFF)
        return fail(ERROR_INVALID_PARAMETER);
    std::shared_ptr<ThreadQueue> q;
    {
        State& s = state();
        std::lock_guard<std::mutex> lock(s.m);
        auto it = s.queues.find(threadId);
        if (it != s.queues.end())
            q = it->second.lock();
    }
    if (!q && threadId == getCurrentThreadId())
        q = currentQueue(true);
    if (!q)
        return fail(ERROR_INVALID_PARAMETER);
    std::lock_guard<std::mutex> lock(q->m);
    if (q->dead)
        return fail(ERROR_INVALID_PARAMETER);
    q->posted.push_back(MSG { nullptr, message, wParam, lParam, getTickCount() });
    q->changed();
    return TRUE_;
}

void postQuitMessage(int exitCode)
{
    auto q = currentQueue(true);
    if (!q)
        return;
    std::lock_guard<std::mutex> lock(q->m);
    q->quit = true;
    q->quitCode = exitCode;
    q->changed();
}

// --- Message loops ------------------------------------------------------------------

BOOL getMessage(MSG* msg, HWND window, UINT filterMin, UINT filterMax)
{
    if (!msg)
        return fail(ERROR_INVALID_PARAMETER) - 1;
    if (window && !localWindow(window))
        return fail(ERROR_INVALID_WINDOW_HANDLE) - 1;
    auto q = currentQueue(true);
    if (!q)
        return fail(ERROR_INVALID_PARAMETER) - 1;
    for (;;) {
        uint64_t seen = 0;
        if (fetch(q, msg, window, filterMin, filterMax, true, true, &seen))
            return msg->message == WM_QUIT ? FALSE_ : TRUE_;
        std::unique_lock<std::mutex> lock(q->m);
        q->cv.wait(lock, [&] { return q->generation != seen; });
    }
}

BOOL peekMessage(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags)
{
    if (!msg)
        return fail(ERROR_INVALID_PARAMETER);
    auto q = currentQueue(true);
    if (!q)
        return FALSE_;
    return fetch(q, msg, window, filterMin, filterMax, (removeFlags & PM_REMOVE) != 0, true, nullptr) ? TRUE_ : FALSE_;
}

BOOL translateMessage(const MSG*)
{
    return FALSE_; // no key-to-character translation here
}

LRESULT dispatchMessage(const MSG* msg)
{
    if (!msg || isInternalMessage(msg->message))
        return 0;
    return deliver(*msg);
}

void pumpMessages()
{
    auto q = currentQueue(true);
    if (!q)
        return;
    size_t budget;
    {
        std::lock_guard<std::mutex> lock(q->m);
        budget = q->posted.size();
    }
    // Only what was pending on entry, so a handler that posts to itself
    // cannot keep the pump from returning.
    MSG msg;
    serveSent(q);
    while (budget-- > 0 && fetch(q, &msg, nullptr, 0, 0, true, false, nullptr))
        deliver(msg);
}

void setThreadMessageFilter(MessageFilter filter)
{
    auto q = currentQueue(true);
    if (q)
        q->filter = std::move(filter);
}

BOOL setForegroundWindow(HWND window)
{
    if (window && isLocal(window)) {
        auto w = localWindow(window);
        if (!w)
            return fail(ERROR_INVALID_WINDOW_HANDLE);
        if (w->threadId == getCurrentThreadId()) {
            runInternal(MSG { window, kInternalForeground, 0, 0, getTickCount() });
            return TRUE_;
        }
    }
    return postTo(window, kInternalForeground, 0, 0);
}

BOOL showWindow(HWND window, int command)
{
    if (window && isLocal(window)) {
        auto w = localWindow(window);
        if (!w)
            return fail(ERROR_INVALID_WINDOW_HANDLE);
        bool wasVisible = markShown(*w, command);
        if (w->threadId == getCurrentThreadId())
            runInternal(MSG { window, kInternalShow, WPARAM(command), 0, getTickCount() });
        else
            postLocal(window, kInternalShow, WPARAM(command), 0);
        return wasVisible ? TRUE_ : FALSE_;
    }
    return postTo(window, kInternalShow, WPARAM(command), 0);
}

// --- For tools and adapters ----------------------------------------------------------

int messageWakeFd()
{
    auto q = currentQueue(true);
    return q ? q->anyFd : -1;
}

void setWindowActions(HWND window, std::function<void(int)> show, std::function<void()> activate)
{
    auto w = localWindow(window);
    if (!w) {
        setLastError(ERROR_INVALID_WINDOW_HANDLE);
        return;
    }
    std::lock_guard<std::mutex> lock(state().m);
    w->onShow = std::move(show);
    w->onActivate = std::move(activate);
}

} // namespace ce
