#include "wifi/core/flow_instance.h"

#include "platform/wm.h"

namespace kivowifi {

bool bringRunningInstanceForward(int waitMs)
{
    ce::HWND window = ce::waitForWindow(FLOW_WINDOW_CLASS, nullptr, waitMs);
    if (window)
        ce::setForegroundWindow(window);
    return window != nullptr;
}

} // namespace kivowifi
