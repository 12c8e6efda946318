#include "wifi/core/flow_instance.h"

#include "platform/paths.h"
#include "platform/sync.h"
#include "platform/wm.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace kivowifi {

SingleInstance::SingleInstance(const std::string& name)
    : m_file(ce::runDirectory() + "/" + name + ".lock")
{
}

SingleInstance::~SingleInstance()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool SingleInstance::acquire()
{
    if (m_fd >= 0)
        return true;
    // Close-on-exec, so a program this one starts does not keep the lock.
    int fd = ::open(m_file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return true; // without a lock file, run rather than refuse to start
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    return true;
}

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
