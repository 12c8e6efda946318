// Internal: the window-message state of this process, shared by its three
// parts: thread queues and the pump (wm_queue.cpp), post and send
// (wm_send.cpp), windows, find and show (wm_windows.cpp).
//
// Every thread that owns windows (or pumps, or has a filter) has a queue:
// posted messages in order, sent messages waiting for the owner to run them,
// a quit flag, and two descriptors that poll readable while anything (resp.
// a sent message) is pending. A thread waiting for its own send's answer
// polls the latter, so it keeps serving sends made to its own windows and two
// threads or programs sending to each other never deadlock.
#pragma once

#include "platform/wm_internal.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <memory>
#include <mutex>

namespace ce::wm {

struct SentItem {
    HWND hwnd = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    bool copy = false; // a WM_COPYDATA record travels in `record`
    uintptr_t dwData = 0;
    std::vector<unsigned char> record;

    // Another process waits: its answer goes back on channel with id, unless
    // it withdrew the message first.
    std::shared_ptr<ReplyChannel> channel;
    uint32_t id = 0;
    std::shared_ptr<SendFate> fate;
    bool hasDeadline = false; // the sender gives up at deadline: not run after it
    uint32_t deadline = 0;
    // A thread of this process waits on this eventfd.
    int doneFd = -1;
    std::atomic<bool> done { false };
    LRESULT result = 0;
    uint32_t status = kStatusOk;

    ~SentItem();
};

// Hands the result to whoever waits for the item.
void complete(SentItem& item, LRESULT result, uint32_t status);

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
    bool anyWatched = false; // anyFd was handed out
    int sentWatchers = 0; // waits of the owner that poll sentFd
    MessageFilter filter; // used by the owner thread only

    ThreadQueue();
    ~ThreadQueue();
    // Call with m held after any change. Without notify the caller wakes
    // cv itself, after letting go of m.
    void changed(bool notify = true);
    // With m held: brings the watched descriptors' levels up to date.
    void updateLevels();
};

// For its lifetime the queue's sentFd follows whether sends are pending, so
// the owner thread can poll it while it waits.
class SentWatch {
public:
    explicit SentWatch(std::shared_ptr<ThreadQueue> q);
    ~SentWatch();
    SentWatch(const SentWatch&) = delete;
    SentWatch& operator=(const SentWatch&) = delete;

private:
    std::shared_ptr<ThreadQueue> m_queue;
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
    std::set<UINT> inProcessOnly; // under State::m
};

struct State {
    std::mutex m;
    std::map<uint64_t, std::shared_ptr<WindowRec>> windows; // ordered by creation
    std::map<DWORD, std::weak_ptr<ThreadQueue>> queues;
    uint32_t nextSerial = 1;
    std::mutex publishMutex;
    bool exitHook = false;
};

State& state();

// The calling thread's queue; created on demand. Null after the thread's
// end began, or when no queue can be made.
std::shared_ptr<ThreadQueue> currentQueue(bool create);

bool isLocal(HWND h);
std::shared_ptr<WindowRec> localWindow(HWND h);
// Whether another process may post or send `message` to the window.
bool takesFromOtherProcesses(const WindowRec& w, UINT message);
WindowInfo infoOf(const WindowRec& w);
std::vector<WindowInfo> localWindows();
// Every window of this device root: this process's first, then the others'.
std::vector<WindowInfo> allWindows();
// The window's entry, from this process or the directory; false when gone.
bool lookupWindow(HWND h, WindowInfo* out);
// Publishes this process's windows for the others.
void publish();

// The filter of the calling thread, then the window's procedure (when the
// window belongs to the calling thread).
LRESULT deliver(const MSG& msg);
// Runs every message sent to the calling thread's windows.
void serveSent(const std::shared_ptr<ThreadQueue>& q);
// Runs one of the layer's own messages (show, foreground).
void runInternal(const MSG& msg);
// Records a show or hide when it is requested; the previous state.
bool markShown(WindowRec& w, int command);

// Whether the window's queue still takes messages for it; call with
// w.queue->m held.
uint32_t queueStatus(const WindowRec& w);
uint32_t postLocal(HWND h, UINT message, WPARAM wParam, LPARAM lParam);
// Queues a message sent from another thread of this process and waits for
// its answer (or timeoutMs).
LRESULT sendLocal(const std::shared_ptr<WindowRec>& w, UINT message, WPARAM wParam, LPARAM lParam,
    const COPYDATASTRUCT* cds, DWORD timeoutMs);

BOOL fail(DWORD error);
BOOL statusResult(uint32_t status);

// Queued (or, for another process, handed over) for the window's thread.
BOOL postTo(HWND h, UINT message, WPARAM wParam, LPARAM lParam);

} // namespace ce::wm
