// Windows: creation and end, the lookups by handle, class and title across
// the processes of the device root, bringing to the front and showing.
#include "platform/debug.h"
#include "platform/sync.h"
#include "platform/text.h"
#include "platform/wm_state.h"

#include <unistd.h>

#include <cstdlib>

namespace ce {

namespace wm {

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
    // Unpublished, the windows cannot be found by other processes at all:
    // tried again until it works (once the device root has room again).
    if (!publishWindows(localWindows()))
        republishLater();
}

std::vector<WindowInfo> allWindows()
{
    std::vector<WindowInfo> list = localWindows();
    std::vector<WindowInfo> others = otherProcessesWindows();
    list.insert(list.end(), others.begin(), others.end());
    return list;
}

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

BOOL fail(DWORD error)
{
    setLastError(error);
    return FALSE_;
}

BOOL statusResult(uint32_t status)
{
    if (status == kStatusOk)
        return TRUE_;
    return fail(status == kStatusRefused ? ERROR_INVALID_PARAMETER
            : status == kStatusBusy          ? ERROR_BUSY
                                             : ERROR_INVALID_WINDOW_HANDLE);
}

namespace {

void atExit()
{
    stopEndpoint();
    unpublishAll();
}

} // namespace

bool takesFromOtherProcesses(const WindowRec& w, UINT message)
{
    std::lock_guard<std::mutex> lock(state().m);
    return w.inProcessOnly.count(message) == 0;
}

} // namespace wm

using namespace wm;

namespace {

std::mutex g_createdHookMutex;
std::function<void(HWND)> g_createdHook;

} // namespace

void setWindowCreatedHookForTests(std::function<void(HWND)> hook)
{
    std::lock_guard<std::mutex> lock(g_createdHookMutex);
    g_createdHook = std::move(hook);
}

HWND createWindow(const std::string& className, const std::string& title, WindowProc proc, bool topLevel,
    const std::vector<UINT>& keptInProcess)
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
    // Set before the window enters the table: the endpoint looks windows up
    // there, so from then on another process can reach it by its handle.
    w->inProcessOnly.insert(keptInProcess.begin(), keptInProcess.end());
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
    {
        std::function<void(HWND)> hook;
        {
            std::lock_guard<std::mutex> lock(g_createdHookMutex);
            hook = g_createdHook;
        }
        if (hook)
            hook(w->hwnd);
    }
    publish();
    return w->hwnd;
}

void withdrawWindows()
{
    atExit();
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
        return (!className || detail::equalsNoCase(w.className, className))
            && (!title || detail::equalsNoCase(w.title, title));
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

BOOL setForegroundWindow(HWND window)
{
    if (window && isLocal(window)) {
        auto w = localWindow(window);
        if (!w)
            return fail(ERROR_INVALID_WINDOW_HANDLE);
        if (w->threadId == getCurrentThreadId()) {
            runInternal(MSG { window, kInternalForeground, 0, 0, getTickCount() });
            wm::noteForeground(window);
            return TRUE_;
        }
    }
    if (!postTo(window, kInternalForeground, 0, 0))
        return FALSE_;
    wm::noteForeground(window);
    return TRUE_;
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

BOOL keepMessagesInProcess(HWND window, const std::vector<UINT>& messages)
{
    auto w = localWindow(window);
    if (!w)
        return fail(ERROR_INVALID_WINDOW_HANDLE);
    std::lock_guard<std::mutex> lock(state().m);
    w->inProcessOnly.insert(messages.begin(), messages.end());
    return TRUE_;
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
