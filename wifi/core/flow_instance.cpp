#include "wifi/core/flow_instance.h"

#include "platform/sync.h"
#include "platform/wm.h"

namespace kivowifi {

bool bringRunningInstanceForward(int waitMs)
{
    const int step = 50;
    for (int waited = 0;; waited += step) {
        if (ce::HWND window = ce::findWindow(FLOW_WINDOW_CLASS, nullptr)) {
            ce::setForegroundWindow(window);
            return true;
        }
        if (waited >= waitMs)
            return false;
        ce::sleep(step);
    }
}

} // namespace kivowifi
