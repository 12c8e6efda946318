// KivoWiFi's application object. Every window message of the GUI thread
// passes its system-message filter (winEventFilter) before it is dispatched;
// left-button presses on the program's windows reach the filter as
// WM_LBUTTONDOWN too.
#pragma once

#include "platform/wm.h"
#include "wifi/core/flow_filter.h"

#include <QApplication>

#include <memory>

class WifiApplication : public QApplication {
public:
    WifiApplication(int& argc, char** argv);
    ~WifiApplication() override;

    // True when the message was handled here (it is then not dispatched).
    bool winEventFilter(const ce::MSG& msg);

    kivowifi::SystemMessageFilter& messageFilter() { return *m_filter; }

private:
    class FlowTarget;
    class TouchWatcher; // left-button presses as window messages
    std::unique_ptr<FlowTarget> m_target;
    std::unique_ptr<kivowifi::SystemMessageFilter> m_filter;
    std::unique_ptr<TouchWatcher> m_touchWatcher;
};
