// The other process of the window-message benchmarks. In the device root
// named by KIVO_DEVICE_ROOT it serves one window of class "KivoBenchPeer" and,
// as the floor, a kept Unix-domain socket at <root>/bench-echo.sock; prints
// "ready" once both are up and runs until it is ended.
//
// Both answer alike: a send (or a request on the socket) with wParam +
// lParam, a WM_COPYDATA record (or a request with a body) with its size, so
// the two differ only in how the bytes travel.
#include "platform/paths.h"
#include "platform/wm.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

bool readFull(int fd, void* data, size_t n)
{
    auto* p = static_cast<char*>(data);
    while (n > 0) {
        ssize_t r = ::read(fd, p, n);
        if (r <= 0)
            return false;
        p += r;
        n -= size_t(r);
    }
    return true;
}

bool writeFull(int fd, const void* data, size_t n)
{
    auto* p = static_cast<const char*>(data);
    while (n > 0) {
        ssize_t r = ::write(fd, p, n);
        if (r <= 0)
            return false;
        p += r;
        n -= size_t(r);
    }
    return true;
}

// Requests: wParam, lParam, body size, body. Reply: the answer.
void serveSocket(int listener)
{
    for (;;) {
        int fd = ::accept(listener, nullptr, nullptr);
        if (fd < 0)
            return;
        std::vector<char> body;
        for (;;) {
            uint64_t head[3];
            if (!readFull(fd, head, sizeof head))
                break;
            body.resize(head[2]);
            if (head[2] && !readFull(fd, body.data(), body.size()))
                break;
            int64_t answer = head[2] ? int64_t(head[2]) : int64_t(head[0] + head[1]);
            if (!writeFull(fd, &answer, sizeof answer))
                break;
        }
        ::close(fd);
    }
}

} // namespace

int main()
{
    const std::string path = ce::deviceRoot() + "/bench-echo.sock";
    int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    if (listener < 0 || path.size() >= sizeof address.sun_path)
        return 1;
    std::strcpy(address.sun_path, path.c_str());
    ::unlink(path.c_str());
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listener, 4) != 0)
        return 1;
    std::thread(serveSocket, listener).detach();

    ce::HWND window = ce::createWindow("KivoBenchPeer", "bench", [](ce::HWND, ce::UINT m, ce::WPARAM w, ce::LPARAM l) -> ce::LRESULT {
        if (m == ce::WM_COPYDATA) {
            auto* record = reinterpret_cast<const ce::COPYDATASTRUCT*>(l);
            return record ? ce::LRESULT(record->cbData) : 0;
        }
        return ce::LRESULT(w + ce::WPARAM(l));
    });
    if (!window)
        return 1;
    std::printf("ready\n");
    std::fflush(stdout);
    ce::MSG msg;
    while (ce::getMessage(&msg, nullptr, 0, 0))
        ce::dispatchMessage(&msg);
    return 0;
}
