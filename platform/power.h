// Power notifications: a program hands the read end of a message queue to
// requestPowerNotifications and receives a POWER_BROADCAST record in it for
// every power event it asked for. notifyPower (and "wmsg power") sends one to
// every queue registered in the device root, from any process.
#pragma once

#include "platform/types.h"

#include <string>

namespace ce {

// Power events (POWER_BROADCAST::Message) and the mask that asks for all.
constexpr DWORD PBT_TRANSITION = 0x00000001;
constexpr DWORD PBT_RESUME = 0x00000002;
constexpr DWORD PBT_POWERSTATUSCHANGE = 0x00000004;
constexpr DWORD PBT_POWERINFOCHANGE = 0x00000100;
constexpr DWORD POWER_NOTIFY_ALL = 0xFFFFFFFF;

// System power state flags (POWER_BROADCAST::Flags of a transition).
constexpr DWORD POWER_STATE_ON = 0x00010000;
constexpr DWORD POWER_STATE_OFF = 0x00020000;
constexpr DWORD POWER_STATE_CRITICAL = 0x00040000;
constexpr DWORD POWER_STATE_BOOT = 0x00080000;
constexpr DWORD POWER_STATE_IDLE = 0x00100000;
constexpr DWORD POWER_STATE_SUSPEND = 0x00200000;
constexpr DWORD POWER_STATE_RESET = 0x00800000;

// The record a queue receives: the event, its flags, and Length bytes of the
// state's name (UTF-16, NUL-terminated) in SystemPowerState.
struct POWER_BROADCAST {
    DWORD Message;
    DWORD Flags;
    DWORD Length;
    char16_t SystemPowerState[1];
};
static_assert(sizeof(POWER_BROADCAST) == 16, "a power record with one character is 16 bytes");
constexpr DWORD POWER_BROADCAST_HEADER = 12;

// Registers the queue (the read end from createMsgQueue) for the events in
// flags. A handle to close with stopPowerNotifications; null on failure
// (ERROR_INVALID_PARAMETER for a handle that is not a queue's read end).
HANDLE requestPowerNotifications(HANDLE msgQueue, DWORD flags);
BOOL stopPowerNotifications(HANDLE notification);

// Sends the event to every registered queue that asked for it; the state's
// name is cut to what the queue's largest message holds. The number of queues
// reached.
int notifyPower(DWORD message, DWORD flags, const std::string& stateName);

} // namespace ce
