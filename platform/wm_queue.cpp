// Thread message queues and the pump: what is posted and sent to a thread's
// windows waits in its queue until the thread's loop (getMessage /
// peekMessage + dispatchMessage, pumpMessages, or the Qt adapter) runs it.
#include "platform/debug.h"
#include "platform/handles.h"
#include "platform/sync.h"
#include "platform/wm_state.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>

namespace ce {

namespace wm {

SentItem::~SentItem()
{
    if (doneFd >= 0)
        ::close(doneFd);
}

void complete(SentItem& item, LRESULT result, uint32_t status)
{
    if (item.channel) {
        item.channel->reply(item.id, result, status);
        item.channel.reset();
        return;
    }
    item.result = result;
    item.status = status;
    item.done.store(true, std::memory_order_release);
    detail::signalEventFd(item.doneFd);
}

namespace {

// An eventfd as a level that is on while `want` holds.
void setLevel(int fd, bool& on, bool want)
{
    if (want && !on) {
        detail::signalEventFd(fd);
        on = true;
    } else if (!want && on) {
        detail::drainEventFd(fd);
        on = false;
    }
}

} // namespace

ThreadQueue::ThreadQueue()
    : anyFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
    , sentFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
}

ThreadQueue::~ThreadQueue()
{
    if (anyFd >= 0)
        ::close(anyFd);
    if (sentFd >= 0)
        ::close(sentFd);
}

void ThreadQueue::changed(bool notify)
{
    ++generation;
    updateLevels();
    if (notify)
        cv.notify_all();
}

// Each level costs a system call per change, so it is kept only while
// someone can be polling it: the wake descriptor from when it is handed out,
// the sent one while the owner waits on it.
void ThreadQueue::updateLevels()
{
    if (anyWatched)
        setLevel(anyFd, anyOn, !posted.empty() || !sent.empty() || quit);
    if (sentWatchers > 0)
        setLevel(sentFd, sentOn, !sent.empty());
}

SentWatch::SentWatch(std::shared_ptr<ThreadQueue> q)
    : m_queue(std::move(q))
{
    if (!m_queue)
        return;
    std::lock_guard<std::mutex> lock(m_queue->m);
    ++m_queue->sentWatchers;
    m_queue->updateLevels();
}

SentWatch::~SentWatch()
{
    if (!m_queue)
        return;
    std::lock_guard<std::mutex> lock(m_queue->m);
    --m_queue->sentWatchers;
}

State& state()
{
    static State* s = new State; // never destroyed: windows may be used during exit
    return *s;
}

namespace {

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

void serveOne(SentItem& item)
{
    // Settled here, where the message would run: once its sender's time is
    // up it never runs, whether or not its cancel has come in yet.
    if (item.hasDeadline && deadlinePassed(item.deadline) && item.fate && item.fate->withdraw()) {
        complete(item, 0, kStatusWithdrawn);
        return;
    }
    if (item.fate && !item.fate->take())
        return; // the sender gave up or ended: it is not run
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

} // namespace

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

bool markShown(WindowRec& w, int command)
{
    std::lock_guard<std::mutex> lock(state().m);
    bool was = w.visible;
    w.visible = command != SW_HIDE;
    return was;
}

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

LRESULT sendLocal(const std::shared_ptr<WindowRec>& w, UINT message, WPARAM wParam, LPARAM lParam,
    const COPYDATASTRUCT* cds, DWORD timeoutMs)
{
    auto item = std::make_shared<SentItem>();
    item->hwnd = w->hwnd;
    item->message = message;
    item->wParam = wParam;
    item->lParam = lParam;
    if (message == WM_COPYDATA && cds) {
        item->copy = true;
        item->dwData = cds->dwData;
        const unsigned char* p = static_cast<const unsigned char*>(cds->lpData);
        item->record.assign(p, p + cds->cbData);
    }
    item->doneFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (item->doneFd < 0)
        return LRESULT(fail(ERROR_OUTOFMEMORY));
    const std::shared_ptr<ThreadQueue>& target = w->queue;
    {
        std::lock_guard<std::mutex> lock(target->m);
        if (queueStatus(*w) != kStatusOk)
            return LRESULT(fail(ERROR_INVALID_WINDOW_HANDLE));
        target->sent.push_back(item);
        target->changed();
    }
    // The answer, while this thread keeps serving what is sent to it.
    auto own = currentQueue(false);
    SentWatch watch(own);
    uint64_t start = detail::nowMs();
    while (!item->done.load(std::memory_order_acquire)) {
        pollfd fds[2] = { { item->doneFd, POLLIN, 0 }, { own ? own->sentFd : -1, POLLIN, 0 } };
        int r = detail::waitReadable(fds, own ? 2 : 1, timeoutMs, start);
        if (r == 0) {
            // Given up: withdrawn unless the owner has already taken it.
            std::lock_guard<std::mutex> lock(target->m);
            auto it = std::find(target->sent.begin(), target->sent.end(), item);
            if (it != target->sent.end()) {
                target->sent.erase(it);
                target->changed();
            }
            return LRESULT(fail(ERROR_TIMEOUT));
        }
        if (r < 0)
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

// --- Deliveries from other processes ----------------------------------------

namespace {

// Whether the window refuses this message from another process (logged).
bool refusedFromAnotherProcess(const WindowRec& w, const MessageBody& body)
{
    if (takesFromOtherProcesses(w, body.message))
        return false;
    debugPrintf("window messages: refused message %u from process %u: its parameters are addresses of this "
                "process",
        body.message, body.senderPid);
    return true;
}

} // namespace

uint32_t deliverPost(const MessageBody& body)
{
    HWND h = reinterpret_cast<HWND>(uintptr_t(body.hwnd));
    if (auto w = localWindow(h); w && refusedFromAnotherProcess(*w, body))
        return kStatusRefused;
    uint32_t status = postLocal(h, body.message, WPARAM(body.wParam), LPARAM(body.lParam));
    if (status == kStatusOk && body.message == kInternalShow)
        if (auto w = localWindow(h))
            markShown(*w, int(body.wParam));
    return status;
}

uint32_t deliverSend(const MessageBody& body, std::vector<unsigned char>&& record,
    std::shared_ptr<ReplyChannel> channel, std::shared_ptr<SendFate> fate)
{
    HWND h = reinterpret_cast<HWND>(uintptr_t(body.hwnd));
    if (isInternalMessage(body.message))
        return kStatusRefused;
    auto w = localWindow(h);
    if (!w)
        return kStatusNoWindow;
    if (refusedFromAnotherProcess(*w, body))
        return kStatusRefused;
    auto item = std::make_shared<SentItem>();
    item->hwnd = h;
    item->message = body.message;
    item->wParam = WPARAM(body.wParam);
    item->lParam = LPARAM(body.lParam);
    item->copy = (body.flags & kFlagCopyData) != 0;
    item->dwData = uintptr_t(body.dwData);
    item->record = std::move(record);
    item->id = body.id;
    item->fate = std::move(fate);
    item->hasDeadline = (body.flags & kFlagDeadline) != 0;
    item->deadline = body.deadline;
    std::shared_ptr<ThreadQueue> q = w->queue;
    {
        std::lock_guard<std::mutex> lock(q->m);
        if (uint32_t status = queueStatus(*w); status != kStatusOk)
            return status;
        item->channel = std::move(channel);
        q->sent.push_back(std::move(item));
        q->changed(false);
    }
    // Woken once the lock is free, so the owner does not wake only to wait
    // for it.
    q->cv.notify_all();
    return kStatusOk;
}

} // namespace wm

using namespace wm;

// --- Thread messages and message loops ------------------------------------------

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

int messageWakeFd()
{
    auto q = currentQueue(true);
    if (!q)
        return -1;
    std::lock_guard<std::mutex> lock(q->m);
    q->anyWatched = true;
    q->updateLevels();
    return q->anyFd;
}

} // namespace ce
