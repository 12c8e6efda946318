// The other process of the window-message benchmarks. In the device root
// named by KIVO_DEVICE_ROOT it serves one window of class "KivoBenchPeer" and,
// as the floor, a kept Unix-domain socket at <root>/bench-echo.sock; prints
// "ready" once both are up and runs until it is ended.
//
// Both answer alike: a send (or a request on the socket) with wParam +
// lParam, a WM_COPYDATA record (or a request with a body) with its size, so
// the two differ only in how the bytes travel.
#include "platform/endpoint.h"
#include "platform/paths.h"
#include "platform/wm.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

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
            if (!ce::detail::recvAll(fd, head, sizeof head))
                break;
            body.resize(head[2]);
            if (head[2] && !ce::detail::recvAll(fd, body.data(), body.size()))
                break;
            int64_t answer = head[2] ? int64_t(head[2]) : int64_t(head[0] + head[1]);
            if (!ce::detail::sendAll(fd, &answer, sizeof answer))
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
    sockaddr_un address;
    socklen_t length = 0;
    if (listener < 0 || !ce::detail::pathAddress(path, &address, &length))
        return 1;
    ::unlink(path.c_str());
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(listener, 4) != 0)
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
