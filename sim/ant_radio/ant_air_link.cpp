#include "sim/ant_radio/ant_air_link.h"

#include "platform/debug.h"
#include "platform/endpoint.h"
#include "platform/paths.h"

#include <dirent.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstddef>
#include <cstring>
#include <deque>
#include <mutex>
#include <set>
#include <thread>
#include <utility>

namespace kivo::sim {

namespace {
// A receiver that takes nothing for this long loses the frame, so one stuck
// process never stalls the others' air.
constexpr long kSendTimeoutMs = 1000;
std::atomic<unsigned> g_radios { 0 };
} // namespace

struct AntAirLink::Impl {
    FrameHandler onFrame;
    GoneHandler onGone;
    std::string dir;
    std::string name;
    int fd = -1;
    int stopFd = -1;
    std::thread receiver;
    std::thread sender;
    std::mutex m;
    std::condition_variable cv;
    // Frames waiting to be sent: to one radio, or to all (empty name).
    std::deque<std::pair<std::string, std::vector<uint8_t>>> out;
    bool stopping = false;
    // The other radios on the air: the sockets in the folder when this one
    // joined, then every radio heard from (each tells all when it joins),
    // less those that left or no longer answer.
    std::mutex radiosMutex;
    std::set<std::string> radios;

    std::string pathOf(const std::string& radio) const { return dir + "/" + radio; }

    void listRadios()
    {
        DIR* d = ::opendir(dir.c_str());
        if (!d)
            return;
        std::lock_guard<std::mutex> lock(radiosMutex);
        while (dirent* e = ::readdir(d)) {
            std::string n = e->d_name;
            if (n.empty() || n[0] == '.' || n == name)
                continue;
            radios.insert(std::move(n));
        }
        ::closedir(d);
    }

    std::vector<std::string> others()
    {
        std::lock_guard<std::mutex> lock(radiosMutex);
        return std::vector<std::string>(radios.begin(), radios.end());
    }

    void deliver(const std::string& target, const std::vector<uint8_t>& frame)
    {
        for (const std::string& radio : target.empty() ? others() : std::vector<std::string> { target }) {
            sockaddr_un addr;
            socklen_t len = 0;
            if (!ce::detail::pathAddress(pathOf(radio), &addr, &len))
                continue;
            ssize_t n;
            do
                n = ::sendto(fd, frame.data(), frame.size(), MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&addr), len);
            while (n < 0 && errno == EINTR);
            if (n >= 0)
                continue;
            if (errno == ECONNREFUSED || errno == ENOENT) {
                // Nobody is bound there any more: the radio's process ended
                // without leaving.
                if (errno == ECONNREFUSED)
                    ::unlink(pathOf(radio).c_str());
                {
                    std::lock_guard<std::mutex> lock(radiosMutex);
                    radios.erase(radio);
                }
                onGone(radio);
            } else {
                ce::debugPrintf("simulated ANT air: a frame to %s lost (%s)", radio.c_str(), std::strerror(errno));
            }
        }
    }

    void sendLoop()
    {
        std::unique_lock<std::mutex> lock(m);
        for (;;) {
            cv.wait(lock, [this] { return stopping || !out.empty(); });
            if (out.empty())
                return;
            auto next = std::move(out.front());
            out.pop_front();
            lock.unlock();
            deliver(next.first, next.second);
            lock.lock();
        }
    }

    // The name of the radio that sent from this address, or empty when it is
    // not a radio of this folder.
    std::string radioAt(const sockaddr_un& from, socklen_t len) const
    {
        const size_t offset = offsetof(sockaddr_un, sun_path);
        if (len <= offset || from.sun_path[0] == '\0')
            return {};
        std::string path(from.sun_path, ::strnlen(from.sun_path, std::min(sizeof from.sun_path, size_t(len) - offset)));
        const std::string prefix = dir + "/";
        if (path.size() <= prefix.size() || path.compare(0, prefix.size(), prefix) != 0)
            return {};
        std::string radio = path.substr(prefix.size());
        return radio.find('/') == std::string::npos ? radio : std::string();
    }

    void receiveLoop()
    {
        pollfd p[2] = { { fd, POLLIN, 0 }, { stopFd, POLLIN, 0 } };
        for (;;) {
            if (::poll(p, 2, -1) < 0) {
                if (errno == EINTR)
                    continue;
                ce::debugPrintf("simulated ANT air: waiting for frames failed (%s)", std::strerror(errno));
                return;
            }
            if (p[1].revents)
                return;
            uint8_t buffer[kAirFrameMax + 1];
            sockaddr_un from {};
            socklen_t len = sizeof from;
            ssize_t n = ::recvfrom(
                fd, buffer, sizeof buffer, MSG_DONTWAIT | MSG_TRUNC, reinterpret_cast<sockaddr*>(&from), &len);
            if (n < 0)
                continue; // nothing after all, or interrupted
            std::string radio = radioAt(from, len);
            if (radio.empty()) {
                ce::debugPrintf("simulated ANT air: a frame from outside the air dropped");
                continue;
            }
            if (radio == name)
                continue;
            if (size_t(n) > kAirFrameMax) {
                ce::debugPrintf("simulated ANT air: a frame of %zd bytes from %s dropped: too long", n, radio.c_str());
                continue;
            }
            AirFrame frame;
            std::string error;
            if (!parseAirFrame(buffer, size_t(n), &frame, &error)) {
                ce::debugPrintf("simulated ANT air: a frame from %s dropped: %s", radio.c_str(), error.c_str());
                continue;
            }
            {
                std::lock_guard<std::mutex> lock(radiosMutex);
                if (frame.kind == AirFrame::Kind::Leaving)
                    radios.erase(radio);
                else
                    radios.insert(radio);
            }
            onFrame(radio, frame);
        }
    }
};

AntAirLink::AntAirLink(FrameHandler onFrame, GoneHandler onGone)
    : d(std::make_unique<Impl>())
{
    d->onFrame = std::move(onFrame);
    d->onGone = std::move(onGone);
}

AntAirLink::~AntAirLink()
{
    if (d->fd < 0)
        return;
    {
        std::lock_guard<std::mutex> lock(d->m);
        d->out.emplace_back(std::string(), airLeavingFrame());
        d->stopping = true;
        d->cv.notify_all();
    }
    d->sender.join();
    uint64_t one = 1;
    while (::write(d->stopFd, &one, sizeof one) < 0 && errno == EINTR) { }
    d->receiver.join();
    ::close(d->fd);
    ::close(d->stopFd);
    ::unlink(d->pathOf(d->name).c_str());
}

bool AntAirLink::open()
{
    if (d->fd >= 0)
        return true;
    d->dir = ce::runDirectory() + "/ant-air";
    if (::mkdir(d->dir.c_str(), 0700) != 0 && errno != EEXIST) {
        ce::debugPrintf("simulated ANT air: cannot make %s (%s)", d->dir.c_str(), std::strerror(errno));
        return false;
    }
    // Only this account's radios may be on the air.
    struct stat st {};
    if (::lstat(d->dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()
        || (st.st_mode & 077) != 0) {
        ce::debugPrintf("simulated ANT air: %s is not a folder of this account alone", d->dir.c_str());
        return false;
    }
    d->name = std::to_string(::getpid()) + "-" + std::to_string(++g_radios);
    sockaddr_un addr;
    socklen_t len = 0;
    if (!ce::detail::pathAddress(d->pathOf(d->name), &addr, &len)) {
        ce::debugPrintf("simulated ANT air: the socket path under %s is too long", d->dir.c_str());
        return false;
    }
    int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    int stopFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    ::unlink(d->pathOf(d->name).c_str()); // left by an ended process of the same id
    timeval timeout { kSendTimeoutMs / 1000, (kSendTimeoutMs % 1000) * 1000 };
    if (fd < 0 || stopFd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), len) != 0
        || ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout) != 0) {
        ce::debugPrintf("simulated ANT air: cannot take a place on the air (%s)", std::strerror(errno));
        ::unlink(d->pathOf(d->name).c_str());
        if (fd >= 0)
            ::close(fd);
        if (stopFd >= 0)
            ::close(stopFd);
        return false;
    }
    d->fd = fd;
    d->stopFd = stopFd;
    d->listRadios(); // after binding: a radio that joins later finds this one
    Impl* impl = d.get();
    d->sender = std::thread([impl] { impl->sendLoop(); });
    d->receiver = std::thread([impl] { impl->receiveLoop(); });
    return true;
}

void AntAirLink::sendToAll(std::vector<uint8_t> frame)
{
    std::lock_guard<std::mutex> lock(d->m);
    d->out.emplace_back(std::string(), std::move(frame));
    d->cv.notify_all();
}

void AntAirLink::sendTo(const std::string& radio, std::vector<uint8_t> frame)
{
    std::lock_guard<std::mutex> lock(d->m);
    d->out.emplace_back(radio, std::move(frame));
    d->cv.notify_all();
}

} // namespace kivo::sim
