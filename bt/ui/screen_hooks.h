// The screens the phone controller opens, reached through hooks that each
// screen fills when it is built; a hook left empty opens nothing. All run
// on the user-interface thread unless said otherwise.
#pragma once

#include "bt/core/bt_records.h"

#include <functional>

namespace kivo::bt {

struct ScreenHooks {
    // The incoming-call screen: update an open one (false when none is
    // open), open one modally, close an open one for a call that ended (5)
    // or became active (6).
    std::function<bool(const CallRecord&)> updateIncomingCall;
    std::function<void(const CallRecord&)> openIncomingCall;
    std::function<void(int event)> closeIncomingCall;
    // The outgoing-call and in-call screens, unless one is open.
    std::function<void(const CallRecord&)> openOutgoingCall;
    std::function<void(const CallRecord&)> openInCall;
    // A new message: to the open message text screen, the open new-message
    // screen, or a new-message screen opened modally.
    std::function<void(const SmsRecord&)> newMessage;
    std::function<void()> openNotifications;
    // Mode 1 (list or now playing) or 2 (now playing).
    std::function<void(int mode)> openMusic;
    std::function<void()> openRetry;
    std::function<void()> openMessage;
    std::function<void()> openPairing;
    // The waiting screen, from a worker thread: shown until closeWaiting;
    // closeWaiting is false when none was shown.
    std::function<void()> showWaiting;
    std::function<bool()> closeWaiting;
};

ScreenHooks& Screens();

// The call record the call screens keep when they are left while the call
// goes on; present when its name or its number is not empty.
CallRecord& SavedCallRecord();
bool SavedCallPresent();

} // namespace kivo::bt
