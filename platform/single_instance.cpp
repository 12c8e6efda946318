#include "platform/single_instance.h"

#include "platform/debug.h"
#include "platform/endpoint.h"
#include "platform/paths.h"
#include "platform/sync.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace ce {

SingleInstance::SingleInstance(const std::string& name)
    : m_name(name)
    , m_file(runDirectory() + "/" + name + ".lock")
{
}

SingleInstance::~SingleInstance()
{
    if (m_fd >= 0)
        ::close(m_fd);
    if (m_socket >= 0)
        ::close(m_socket);
}

bool SingleInstance::acquire()
{
    if (m_socket >= 0 || m_fd >= 0)
        return true;
    // The name first: it is there whatever the disk holds. Close-on-exec, so
    // a program this one starts keeps neither the name nor the lock.
    sockaddr_un address;
    const socklen_t length = detail::abstractAddress("instance", m_name, &address);
    const sockaddr* at = reinterpret_cast<const sockaddr*>(&address);
    int s = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s >= 0 && ::bind(s, at, length) == 0 && ::listen(s, 1) == 0) {
        m_socket = s;
    } else {
        const int error = errno;
        if (s >= 0)
            ::close(s);
        if (error == EADDRINUSE) {
            // A process of another account may hold the name to keep this
            // program from starting: then the lock file alone decides.
            if (!detail::heldByAnotherAccount(at, length, SOCK_STREAM))
                return false;
            debugPrintf("single instance: another account holds the name of %s", m_name.c_str());
        }
    }
    const int fd = ::open(m_file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return true; // no file to lock (a full disk): the name has decided
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        if (m_socket >= 0)
            ::close(m_socket);
        m_socket = -1;
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
