// Only one KivoWiFi runs per device root: the first start holds a lock for
// its whole life; a later start brings the first one's window to the front
// and ends.
#pragma once

#include <string>

namespace kivowifi {

// The class name of the flow's window, by which a later start finds it.
constexpr const char* FLOW_WINDOW_CLASS = "KivoWiFi";

class SingleInstance {
public:
    explicit SingleInstance(const std::string& name);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when this process is the only instance (it then holds the lock
    // until it ends).
    bool acquire();

private:
    std::string m_file;
    int m_fd = -1;
};

// For a later start: waits a short while for the running instance's window
// (it may still be starting) and brings it to the front. False when no
// window turned up.
bool bringRunningInstanceForward(int waitMs);

} // namespace kivowifi
