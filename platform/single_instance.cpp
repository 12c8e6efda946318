#include "platform/single_instance.h"

#include "platform/paths.h"
#include "platform/sync.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace ce {

SingleInstance::SingleInstance(const std::string& name)
    : m_file(runDirectory() + "/" + name + ".lock")
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

HWND waitForWindow(const char* className, const char* title, int waitMs)
{
    const int step = 50;
    for (int waited = 0;; waited += step) {
        if (HWND window = findWindow(className, title))
            return window;
        if (waited >= waitMs)
            return nullptr;
        sleep(step);
    }
}

} // namespace ce
