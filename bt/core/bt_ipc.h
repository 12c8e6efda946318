// The client registry and the two ways notifications leave the manager, and
// the internal window list the core posts its own messages to.
#pragma once

#include "platform/wm.h"

#include <vector>

namespace kivo::bt {

constexpr int kMaxClients = 20;

// Adds a client window unless it is there already or the table is full
// (a 21st window is refused). True when the window is in the table after.
bool RegisterClientWindow(ce::HWND window);
// Removes it; the later entries move down one place.
bool UnregisterClientWindow(ce::HWND window);
std::vector<ce::HWND> ClientWindows();
void ClearClientWindows();

// Posts to every client in table order. Returns 1.
int ExternalPostMessage(ce::UINT message, ce::WPARAM wParam, ce::LPARAM lParam);
// Sends WM_COPYDATA with the envelope to every client in table order,
// waiting on each. Returns 1.
int ExternalSendMessage(ce::UINT message, ce::WPARAM wParam, ce::LPARAM lParam);
// Sends a record as WM_COPYDATA with dwData = id to every client (cbData 0
// and lpData null for an empty record).
int ExternalSendRecord(ce::UINT id, const void* data, ce::DWORD size);

// The internal messages that carry records on the heap or addresses of this
// process: the same numbers from another process would make a window free or
// read whatever that process chose. An internal window keeps them in its
// process from its creation on (ce::createWindow, or a dialog's
// keepMessagesInProcess before it is made).
std::vector<ce::UINT> InternalAddressMessages();

// The manager's own windows that take the internal messages.
bool RegisterInternalWindow(ce::HWND window);
bool UnregisterInternalWindow(ce::HWND window);
std::vector<ce::HWND> InternalWindows();
// Posts to every internal window.
void PostInternal(ce::UINT message, ce::WPARAM wParam, ce::LPARAM lParam);

} // namespace kivo::bt
