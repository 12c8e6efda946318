#include "bt/core/bt_ipc.h"

#include "bt/core/bt_messages.h"
#include "platform/debug.h"

#include <algorithm>
#include <mutex>

namespace kivo::bt {

namespace {

// Written on the user-interface thread, read by the stack's and the
// workers' threads: each reader takes a copy under the lock and posts or
// sends outside it, so a blocking send never holds the table.
struct Table {
    std::mutex m;
    std::vector<ce::HWND> windows;
};

Table& clients()
{
    static Table t;
    return t;
}

Table& internals()
{
    static Table t;
    return t;
}

bool add(Table& t, ce::HWND window, size_t limit)
{
    if (!window)
        return false;
    std::lock_guard<std::mutex> l(t.m);
    if (std::find(t.windows.begin(), t.windows.end(), window) != t.windows.end())
        return true;
    if (t.windows.size() >= limit)
        return false;
    t.windows.push_back(window);
    return true;
}

bool remove(Table& t, ce::HWND window)
{
    std::lock_guard<std::mutex> l(t.m);
    auto it = std::find(t.windows.begin(), t.windows.end(), window);
    if (it == t.windows.end())
        return false;
    t.windows.erase(it);
    return true;
}

std::vector<ce::HWND> copy(Table& t)
{
    std::lock_guard<std::mutex> l(t.m);
    return t.windows;
}

} // namespace

bool RegisterClientWindow(ce::HWND window)
{
    const bool ok = add(clients(), window, kMaxClients);
    if (!ok && window)
        ce::debugPrintf("***[BTManager] client table full, window refused\r\n");
    return ok;
}

bool UnregisterClientWindow(ce::HWND window)
{
    return remove(clients(), window);
}

std::vector<ce::HWND> ClientWindows()
{
    return copy(clients());
}

void ClearClientWindows()
{
    std::lock_guard<std::mutex> l(clients().m);
    clients().windows.clear();
}

int ExternalPostMessage(ce::UINT message, ce::WPARAM wParam, ce::LPARAM lParam)
{
    const std::vector<ce::HWND> list = ClientWindows();
    ce::debugPrintf("***[BTManager] ExternalPostMessage(%d)\r\n", int(list.size()));
    for (ce::HWND w : list)
        ce::postMessage(w, message, wParam, lParam);
    return 1;
}

int ExternalSendMessage(ce::UINT message, ce::WPARAM wParam, ce::LPARAM lParam)
{
    const std::vector<ce::HWND> list = ClientWindows();
    ce::debugPrintf("***[BTManager] ExternalSendMessage(%d)\r\n", int(list.size()));
    for (ce::HWND w : list)
        ce::sendMessage(w, message, wParam, lParam);
    return 1;
}

int ExternalSendRecord(ce::UINT id, const void* data, ce::DWORD size)
{
    ce::COPYDATASTRUCT cds { id, size, size ? const_cast<void*>(data) : nullptr };
    return ExternalSendMessage(ce::WM_COPYDATA, 0, reinterpret_cast<ce::LPARAM>(&cds));
}

std::vector<ce::UINT> InternalAddressMessages()
{
    return { WM_STKOUTMSG_DIALERINFO, WM_STKMAPMSG_NEWMSG, WM_STKOUTMSG_MUSICINFO, WM_STKOUTMSG_AUTOCONNECTING,
        WM_BTIN_BT_VERSION, WM_STKOUTMSG_BLEDEVFIND, WM_STKOUTMSG_BLEDATA };
}

bool RegisterInternalWindow(ce::HWND window)
{
    if (!add(internals(), window, 64))
        return false;
    // Kept from the window's creation already; said again for a window made
    // without them, which another process could reach until now.
    ce::keepMessagesInProcess(window, InternalAddressMessages());
    return true;
}

bool UnregisterInternalWindow(ce::HWND window)
{
    return remove(internals(), window);
}

std::vector<ce::HWND> InternalWindows()
{
    return copy(internals());
}

void PostInternal(ce::UINT message, ce::WPARAM wParam, ce::LPARAM lParam)
{
    for (ce::HWND w : InternalWindows())
        ce::postMessage(w, message, wParam, lParam);
}

} // namespace kivo::bt
