#include "tests/platform/peer.h"

#include "tests/support/programs.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kivo::test {

Peer::~Peer()
{
    if (pid > 0)
        kill();
    if (out >= 0)
        ::close(out);
}

std::string Peer::readLine()
{
    std::string line;
    char c;
    // A peer that never answers ends the line after 10 s instead of hanging the test.
    pollfd p { out, POLLIN, 0 };
    while (::poll(&p, 1, 10000) == 1 && ::read(out, &c, 1) == 1) {
        if (c == '\n')
            return line;
        line += c;
    }
    return line;
}

int Peer::wait()
{
    int status = 0;
    if (pid > 0)
        ::waitpid(pid, &status, 0);
    pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void Peer::kill()
{
    if (pid > 0) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        pid = -1;
    }
}

Peer startPeer(const std::vector<std::string>& args)
{
    Peer p;
    int fds[2];
    if (::pipe(fds) != 0)
        return p;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    p.pid = spawnProgram("platform_peer", args, &actions);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    p.out = fds[0];
    return p;
}

int runPeer(const std::vector<std::string>& args)
{
    Peer p = startPeer(args);
    return p.wait();
}

} // namespace kivo::test
