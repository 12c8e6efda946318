#include "tests/platform/confined.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace kivo::test {

namespace {

bool writeText(const char* path, const std::string& text)
{
    int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    bool ok = fd >= 0 && ::write(fd, text.data(), text.size()) == ssize_t(text.size());
    if (fd >= 0)
        ::close(fd);
    return ok;
}

// Runs in the child: false when the confinement could not be made.
bool confine(const std::string& root, Confinement how)
{
    uid_t uid = ::getuid();
    gid_t gid = ::getgid();
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
        return false;
    // The same ids inside, so that peers still count as this user's.
    writeText("/proc/self/setgroups", "deny");
    if (!writeText("/proc/self/uid_map", std::to_string(uid) + " " + std::to_string(uid) + " 1\n")
        || !writeText("/proc/self/gid_map", std::to_string(gid) + " " + std::to_string(gid) + " 1\n"))
        return false;
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return false;
    if (how == Confinement::ReadOnly) {
        return ::mount(root.c_str(), root.c_str(), nullptr, MS_BIND | MS_REC, nullptr) == 0
            && ::mount(nullptr, root.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
    }
    if (::mount("kivo-full", root.c_str(), "tmpfs", 0, "size=16k,mode=0700") != 0)
        return false;
    std::string fill = root + "/fill";
    int fd = ::open(fill.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    char block[512] = {};
    while (::write(fd, block, sizeof block) > 0) { }
    ::close(fd);
    return true;
}

} // namespace

int runConfined(const std::string& root, Confinement how, const std::function<int()>& body)
{
    std::fflush(nullptr);
    pid_t pid = ::fork();
    if (pid < 0)
        return kCannotConfine;
    if (pid == 0)
        ::_exit(confine(root, how) ? body() : kCannotConfine);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) { }
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return WEXITSTATUS(status);
}

} // namespace kivo::test
