#include "tests/support/programs.h"

#include "platform/paths.h"
#include "platform/wm.h"

#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <thread>

extern char** environ;

namespace kivo::test {

std::string binFolder()
{
    char buf[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    const std::string path(buf, n > 0 ? size_t(n) : 0);
    return path.substr(0, path.rfind('/'));
}

pid_t spawnProgram(const std::string& name, const std::vector<std::string>& args,
    const posix_spawn_file_actions_t* actions)
{
    std::vector<std::string> argStore { binFolder() + "/" + name };
    argStore.insert(argStore.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argStore)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> envStore { "KIVO_DEVICE_ROOT=" + ce::deviceRoot(), "QT_QPA_PLATFORM=offscreen" };
    for (char** e = environ; *e; ++e) {
        const std::string kv = *e;
        if (kv.rfind("KIVO_DEVICE_ROOT=", 0) != 0 && kv.rfind("QT_QPA_PLATFORM=", 0) != 0)
            envStore.push_back(kv);
    }
    std::vector<char*> envp;
    for (auto& kv : envStore)
        envp.push_back(kv.data());
    envp.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], actions, nullptr, argv.data(), envp.data()) != 0)
        return -1;
    return pid;
}

bool waitUntil(const std::function<bool()>& pred, int timeoutMs, int stepMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(stepMs));
    }
    return true;
}

bool pumpUntil(const std::function<bool()>& done, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    const int fd = ce::messageWakeFd();
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        pollfd p { fd, POLLIN, 0 };
        ::poll(&p, 1, 10);
        ce::pumpMessages();
    }
    return true;
}

} // namespace kivo::test
