// Another program of the benchmarks, started with its arguments in the
// current device root (it inherits KIVO_DEVICE_ROOT) and waited for until
// it prints "ready"; ended when this goes.
#pragma once

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

extern char** environ;

namespace kivo::bench {

class PeerProgram {
public:
    // socket, when given, becomes the program's descriptor 3.
    PeerProgram(const char* program, std::vector<std::string> arguments, int socket = -1)
    {
        int out[2];
        if (::pipe(out) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        if (socket >= 0)
            posix_spawn_file_actions_adddup2(&actions, socket, 3);
        std::vector<char*> argv { const_cast<char*>(program) };
        for (std::string& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, program, &actions, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        std::string line;
        char c;
        pollfd p { out[0], POLLIN, 0 };
        while (m_pid > 0 && ::poll(&p, 1, 10000) == 1 && ::read(out[0], &c, 1) == 1 && c != '\n')
            line += c;
        ::close(out[0]);
        m_ready = line == "ready";
    }
    ~PeerProgram()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    PeerProgram(const PeerProgram&) = delete;
    PeerProgram& operator=(const PeerProgram&) = delete;

    bool ready() const { return m_ready; }

private:
    pid_t m_pid = -1;
    bool m_ready = false;
};

} // namespace kivo::bench
