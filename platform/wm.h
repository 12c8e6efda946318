// Window messages between threads and processes of one device root.
//
// A window is a handle with a class name and a title, owned by the thread
// that created it; messages posted or sent to it are handled on that thread
// by its window procedure when the thread pumps its queue (getMessage /
// peekMessage + dispatchMessage, pumpMessages, or the Qt adapter).
#pragma once

#include "platform/types.h"

#include <functional>
#include <string>
#include <vector>

namespace ce {

struct WindowTag;
using HWND = WindowTag*;
inline HWND const HWND_BROADCAST = reinterpret_cast<HWND>(uintptr_t(0xFFFF));

constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_ACTIVATE = 0x0006;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_COPYDATA = 0x004A;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_KEYUP = 0x0101;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_USER = 0x0400;

constexpr UINT PM_NOREMOVE = 0;
constexpr UINT PM_REMOVE = 1;

constexpr int SW_HIDE = 0;
constexpr int SW_SHOW = 5;

// wParam of WM_ACTIVATE.
constexpr WPARAM WA_INACTIVE = 0;
constexpr WPARAM WA_ACTIVE = 1;

// The record carried by WM_COPYDATA; the bytes stay valid for the duration of
// the handling on the receiving side.
struct COPYDATASTRUCT {
    uintptr_t dwData;
    DWORD cbData;
    void* lpData;
};
// Larger WM_COPYDATA records are refused.
constexpr DWORD MAX_COPYDATA_BYTES = 1u << 20;

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
};

using WindowProc = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>;

// keptInProcess: messages the window takes from its own process only (see
// keepMessagesInProcess), kept so from its creation on: there is no moment
// at which another process can find or reach the window without the guard.
HWND createWindow(const std::string& className, const std::string& title, WindowProc proc, bool topLevel = true,
    const std::vector<UINT>& keptInProcess = {});
BOOL destroyWindow(HWND window);
BOOL isWindow(HWND window);
// For a process about to end without its exit handlers (_exit): other
// processes stop reaching its windows, and they are no longer published
// for them to find. The exit handlers do the same on an ordinary exit.
void withdrawWindows();
// Either name may be null (matches any); names match without regard to case.
// Top-level windows are preferred over others. Null when nothing matches.
HWND findWindow(const char* className, const char* title);
std::vector<HWND> enumTopLevelWindows();
std::string getWindowTitle(HWND window);
std::string getWindowClass(HWND window);
DWORD getWindowProcessId(HWND window);
// Messages the window takes from its own process only: their parameters
// hold addresses here (records handed between its threads) that mean
// nothing, or anything, coming from another process. Another process's
// posts and sends of them are refused with ERROR_INVALID_PARAMETER, logged,
// and never reach the window. False for a window that is not this
// process's. Adds to what the window keeps already; a window that must never
// take them from elsewhere names them at its creation instead (createWindow).
BOOL keepMessagesInProcess(HWND window, const std::vector<UINT>& messages);

// The same name gives the same id (0xC000 and up) in every process of one
// device root. 0 on failure.
UINT registerWindowMessage(const std::string& name);

// Queued for the window's thread (HWND_BROADCAST: every top-level window of
// every process of the device root). False for a window that is gone, for
// WM_COPYDATA (a record cannot outlive the call) and numbers above 0xFFFF.
BOOL postMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Synchronous: the handler runs on the window's own thread and its result
// comes back; while waiting, the calling thread keeps running messages sent
// to its own windows (so two programs sending to each other never deadlock).
// 0 with ERROR_INVALID_WINDOW_HANDLE when the window, its thread or its
// process is gone or ends before answering. A WM_COPYDATA record (lParam a
// COPYDATASTRUCT*, or 0) is copied for the receiver; above
// MAX_COPYDATA_BYTES it is refused (ERROR_INVALID_PARAMETER).
LRESULT sendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Like sendMessage, but gives up after timeoutMs (INFINITE allowed): false
// with ERROR_TIMEOUT, and a message not yet taken by the owner is withdrawn:
// once this returns it never runs (of a process that is stopped and cannot
// say, what it has not taken when it runs again). A message that another
// process ran to its end meanwhile counts as answered.
// For threads that must stay stoppable while the receiver is unresponsive.
BOOL sendMessageTimeout(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD timeoutMs, LRESULT* result);
BOOL postThreadMessage(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam);
void postQuitMessage(int exitCode);

BOOL getMessage(MSG* msg, HWND window, UINT filterMin, UINT filterMax);
BOOL peekMessage(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags);
BOOL translateMessage(const MSG* msg);
LRESULT dispatchMessage(const MSG* msg);
// Dispatches everything pending for the calling thread, without waiting.
// A WM_QUIT stays pending for the thread's own loop (getMessage, or the Qt
// adapter, which ends the event loop with it).
void pumpMessages();

// A filter sees every message of the calling thread before it is dispatched,
// sent ones included; returning true marks it handled (it is then not
// dispatched, and a sender gets 0).
using MessageFilter = std::function<bool(const MSG&)>;
void setThreadMessageFilter(MessageFilter filter);

// Brings the window to the front: its owner thread runs the window's
// activation action (see setWindowActions) and handles WM_ACTIVATE with
// WA_ACTIVE. Works across processes.
BOOL setForegroundWindow(HWND window);
// The window last brought to the front by any process of the device root;
// null when there is none or it is gone.
HWND getForegroundWindow();
// Nonzero when the window was visible before (for a window of another
// process: nonzero when the request was delivered).
BOOL showWindow(HWND window, int command);

// --- For tools and adapters --------------------------------------------------

// The name a registered id was registered with; empty when unknown.
std::string getRegisteredMessageName(UINT id);

// Called on the creating thread each time a window has just become reachable
// (by its handle, and findable by its class and title), before createWindow
// returns; empty: none. Tests only.
void setWindowCreatedHookForTests(std::function<void(HWND)> hook);

// How long a registration waits for the names file's lock (0: the product's
// 5 s). Tests only.
void setRegisteredNamesLockWaitForTests(DWORD ms);

// A descriptor of the calling thread's message queue that polls readable
// while anything (posted, sent or quit) is pending, so an event loop can
// watch it and pump. -1 on failure.
int messageWakeFd();

// What the owner thread does, besides WM_ACTIVATE, when the window is
// brought to the front or shown/hidden (a GUI adapter raises its widget).
// Either may be empty. Called on the window's own thread only.
void setWindowActions(HWND window, std::function<void(int showCommand)> show, std::function<void()> activate);

} // namespace ce
