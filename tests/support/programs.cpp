#include "tests/support/programs.h"

#include "platform/paths.h"
#include "platform/wm.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
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

PipedProgram::~PipedProgram()
{
    closeInput();
    if (m_pid > 0 && !waitExit(20000)) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    if (m_out >= 0)
        ::close(m_out);
}

bool PipedProgram::start(const std::string& name, const std::vector<std::string>& args)
{
    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0)
        return false;
    if (::pipe2(out, O_CLOEXEC) != 0) {
        ::close(in[0]);
        ::close(in[1]);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    m_pid = spawnProgram(name, args, &actions);
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    m_in = in[1];
    m_out = out[0];
    return m_pid > 0;
}

bool PipedProgram::send(const std::string& line)
{
    const std::string l = line + "\n";
    return m_in >= 0 && ::write(m_in, l.data(), l.size()) == ssize_t(l.size());
}

std::string PipedProgram::line(int timeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const size_t nl = m_buffer.find('\n');
        if (nl != std::string::npos) {
            std::string l = m_buffer.substr(0, nl);
            m_buffer.erase(0, nl + 1);
            return l;
        }
        const auto left
            = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
        pollfd p { m_out, POLLIN, 0 };
        if (left <= 0 || ::poll(&p, 1, int(left)) <= 0)
            return {};
        char chunk[256];
        const ssize_t n = ::read(m_out, chunk, sizeof chunk);
        if (n <= 0)
            return {};
        m_buffer.append(chunk, size_t(n));
    }
}

void PipedProgram::closeInput()
{
    if (m_in >= 0)
        ::close(m_in);
    m_in = -1;
}

bool PipedProgram::waitExit(int timeoutMs, int* status)
{
    if (m_pid <= 0)
        return false;
    int s = 0;
    if (!waitUntil([&] { return ::waitpid(m_pid, &s, WNOHANG) == m_pid; }, timeoutMs))
        return false;
    m_pid = -1;
    if (status)
        *status = s;
    return true;
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
