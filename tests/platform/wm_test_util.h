// Helpers for the window-message tests: child processes of the same device
// root with their output read line by line, and pumping until a condition.
#pragma once

#include "platform/paths.h"
#include "platform/wm.h"
#include "tests/support/programs.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace kivo::test {

// A program of this build, started with the current device root; its
// stdout is read line by line, its stderr goes to errPath when given.
class Child {
public:
    Child(const std::string& program, const std::vector<std::string>& args, const std::string& errPath = {})
    {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
        if (!errPath.empty())
            posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        m_pid = spawnProgram(program, args, &actions);
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        m_out = fds[0];
    }
    ~Child()
    {
        kill();
        if (m_out >= 0)
            ::close(m_out);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t pid() const { return m_pid; }

    // The next line of output; empty after timeoutMs or at the end.
    std::string readLine(int timeoutMs = 10000)
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            size_t nl = m_buffer.find('\n');
            if (nl != std::string::npos) {
                std::string line = m_buffer.substr(0, nl);
                m_buffer.erase(0, nl + 1);
                return line;
            }
            auto left
                = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return {};
            pollfd p { m_out, POLLIN, 0 };
            if (::poll(&p, 1, int(left.count())) <= 0)
                continue;
            char buf[4096];
            ssize_t n = ::read(m_out, buf, sizeof buf);
            if (n <= 0)
                return {};
            m_buffer.append(buf, size_t(n));
        }
    }

    // The first line starting with prefix (others skipped).
    std::string readLineStartingWith(const std::string& prefix, int timeoutMs = 10000)
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            auto left
                = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return {};
            std::string l = readLine(int(left.count()));
            if (l.rfind(prefix, 0) == 0)
                return l;
            if (l.empty() && std::chrono::steady_clock::now() >= deadline)
                return {};
        }
    }

    int wait()
    {
        int status = 0;
        if (m_pid > 0)
            ::waitpid(m_pid, &status, 0);
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    void kill()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
            m_pid = -1;
        }
    }

private:
    pid_t m_pid = -1;
    int m_out = -1;
    std::string m_buffer;
};

// Parses the window handle a peer printed after "ready ".
inline ce::HWND handleFromReady(const std::string& line)
{
    if (line.rfind("ready ", 0) != 0)
        return nullptr;
    return reinterpret_cast<ce::HWND>(uintptr_t(std::stoull(line.substr(6), nullptr, 16)));
}

} // namespace kivo::test
