// Only one KivoWiFi runs per device root: the first start holds a lock for
// its whole life; a later start brings the first one's window to the front
// and ends.
#pragma once

#include "platform/single_instance.h"

namespace kivowifi {

// The class name of the flow's window, by which a later start finds it.
constexpr const char* FLOW_WINDOW_CLASS = "KivoWiFi";

// The lock that keeps one KivoWiFi per device root.
using SingleInstance = ce::SingleInstance;

// For a later start: waits a short while for the running instance's window
// (it may still be starting) and brings it to the front. False when no
// window turned up.
bool bringRunningInstanceForward(int waitMs);

} // namespace kivowifi
