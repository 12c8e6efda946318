// One copy of a program per device root: the first start holds, for its
// whole life, a socket name private to the device root (it needs no file, so
// a full disk does not matter) and a lock on a file in the run folder (the
// same root reached by another path), and a later start, finding either
// held, knows another copy runs. Starts at the same instant cannot both win,
// as two searches for a window could.
#pragma once

#include "platform/wm.h"

#include <string>

namespace ce {

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
    std::string m_name;
    std::string m_file;
    int m_socket = -1;
    int m_fd = -1;
};

// For a later start: the running copy's window, found by class or title
// (either may be null), waited for up to waitMs since that copy may still be
// starting; null when none came.
HWND waitForWindow(const char* className, const char* title, int waitMs);

} // namespace ce
