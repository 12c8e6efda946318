// A second process for the platform tests. The device root comes from
// KIVO_DEVICE_ROOT, as for every program of the device. Commands:
//   reg-set <key> <name> <value>       sets a string under HKCU
//   reg-many <key> <prefix> <n>        sets n values <prefix>0 .. <prefix>n-1
//   queue-write <name> <msg>...        writes each message to the queue
//   as-other-user <command...>         the command as another account (77: cannot)
//   device-serve <name>                serves an echo device until stdin ends
//                                      or the process is killed
//   squat <kind> <name>                listens on the endpoint address a
//                                      program of the root would use
//                                      ("wm" <pid>, "mq" <queue key>), prints
//                                      "squatting", and at SIGTERM
//                                      "received <bytes>" of all it accepted
//   wm-post <hwnd>                     posts WM_USER to the window; prints
//                                      "posted <result> <error>"
#include "platform/device.h"
#include "platform/endpoint.h"
#include "platform/wm.h"
#include "platform/msgqueue.h"
#include "platform/registry.h"
#include "platform/sync.h"

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace {

// Echoes what is written; control 1 returns the input reversed, control 2 fails.
class EchoSession : public ce::DeviceSession {
public:
    bool read(std::vector<uint8_t>& out, size_t maxBytes, ce::DWORD timeoutMs) override
    {
        std::unique_lock<std::mutex> lock(m);
        auto ready = [&] { return closed || !data.empty(); };
        if (timeoutMs == 0)
            cv.wait(lock, ready);
        else
            cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
        if (closed)
            return false;
        while (!data.empty() && out.size() < maxBytes) {
            out.push_back(data.front());
            data.pop_front();
        }
        return true;
    }
    bool write(const uint8_t* p, size_t n) override
    {
        std::lock_guard<std::mutex> lock(m);
        data.insert(data.end(), p, p + n);
        cv.notify_all();
        return true;
    }
    bool ioControl(
        ce::DWORD code, const std::vector<uint8_t>& in, std::vector<uint8_t>& out, size_t, ce::DWORD* error) override
    {
        if (code == 1) {
            out.assign(in.rbegin(), in.rend());
            return true;
        }
        *error = ce::ERROR_NOT_SUPPORTED;
        return false;
    }
    void close() override
    {
        std::lock_guard<std::mutex> lock(m);
        closed = true;
        cv.notify_all();
    }

private:
    std::mutex m;
    std::condition_variable cv;
    std::deque<uint8_t> data;
    bool closed = false;
};

class EchoDriver : public ce::DeviceDriver {
public:
    std::unique_ptr<ce::DeviceSession> open(ce::DWORD, ce::DWORD*) override { return std::make_unique<EchoSession>(); }
};

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    std::string cmd = argv[1];
    if (cmd == "as-other-user") {
        // Runs the rest of the command line as another account (root only).
        if (::getuid() != 0)
            return 77;
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            return 77;
        ++argv;
        --argc;
        cmd = argv[1];
    }
    if (cmd == "reg-set" && argc == 5)
        return ce::reg::setString(ce::reg::Root::CurrentUser, argv[2], argv[3], argv[4]) ? 0 : 1;
    if (cmd == "reg-many" && argc == 5) {
        // Each write re-reads and replaces the whole file; a missing lock
        // between processes would lose the other process's values.
        int n = std::atoi(argv[4]);
        for (int i = 0; i < n; ++i)
            if (!ce::reg::setDword(ce::reg::Root::CurrentUser, argv[2], argv[3] + std::to_string(i), ce::DWORD(i)))
                return 1;
        return 0;
    }
    if (cmd == "queue-write" && argc >= 3) {
        ce::MSGQUEUEOPTIONS o { sizeof(ce::MSGQUEUEOPTIONS), ce::MSGQUEUE_ALLOW_BROKEN, 0, 64, 0 };
        ce::HANDLE q = ce::createMsgQueue(argv[2], &o);
        if (!q)
            return 1;
        for (int i = 3; i < argc; ++i)
            if (!ce::writeMsgQueue(q, argv[i], ce::DWORD(std::strlen(argv[i])), 1000, 0))
                return 3;
        ce::closeMsgQueue(q);
        return 0;
    }
    if (cmd == "squat" && argc == 4) {
        bool stream = std::strcmp(argv[2], "wm") == 0;
        int fd = ::socket(AF_UNIX, (stream ? SOCK_STREAM : SOCK_SEQPACKET) | SOCK_CLOEXEC, 0);
        sockaddr_un addr;
        socklen_t len = ce::detail::abstractAddress(argv[2], argv[3], &addr);
        if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), len) != 0 || ::listen(fd, 16) != 0)
            return 1;
        sigset_t term;
        sigemptyset(&term);
        sigaddset(&term, SIGTERM);
        ::sigprocmask(SIG_BLOCK, &term, nullptr);
        int stop = ::signalfd(-1, &term, SFD_CLOEXEC);
        std::printf("squatting\n");
        std::fflush(stdout);
        std::vector<int> conns;
        size_t received = 0;
        for (;;) {
            std::vector<pollfd> p { { stop, POLLIN, 0 }, { fd, POLLIN, 0 } };
            for (int c : conns)
                p.push_back({ c, POLLIN, 0 });
            if (::poll(p.data(), p.size(), -1) < 0)
                continue;
            if (p[0].revents)
                break;
            if (p[1].revents) {
                int c = ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
                if (c >= 0)
                    conns.push_back(c);
            }
            for (size_t i = 2; i < p.size(); ++i) {
                char buf[4096];
                ssize_t n = p[i].revents ? ::recv(p[i].fd, buf, sizeof buf, MSG_DONTWAIT) : -1;
                if (n > 0)
                    received += size_t(n);
            }
        }
        std::printf("received %zu\n", received);
        return 0;
    }
    if (cmd == "wm-post" && argc == 3) {
        auto window = reinterpret_cast<ce::HWND>(uintptr_t(std::strtoull(argv[2], nullptr, 16)));
        ce::BOOL ok = ce::postMessage(window, ce::WM_USER, 0, 0);
        std::printf("posted %d %u\n", int(ok), unsigned(ce::getLastError()));
        return 0;
    }
    if (cmd == "device-serve" && argc == 3) {
        ce::DeviceServer server(argv[2], std::make_shared<EchoDriver>());
        std::printf("%s\n", server.ok() ? "ready" : "failed");
        std::fflush(stdout);
        char c;
        while (::read(0, &c, 1) > 0) { }
        ce::sleep(1000000);
        return 0;
    }
    return 2;
}
