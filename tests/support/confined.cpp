#include "tests/support/confined.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
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

// Set up, yet not as asked: the test fails rather than skips.
constexpr int kBroken = 76;

// Folders, plain files and links; what else may lie in a root (the sockets
// of served devices) means nothing without its process.
bool copyTree(const std::string& from, const std::string& to)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(from, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path target = fs::path(to) / it->path().lexically_relative(from);
        const fs::file_status st = it->symlink_status(ec);
        if (ec)
            break;
        if (fs::is_directory(st))
            fs::create_directory(target, ec);
        else if (fs::is_regular_file(st))
            fs::copy_file(it->path(), target, ec);
        else if (fs::is_symlink(st))
            fs::copy_symlink(it->path(), target, ec);
    }
    if (ec)
        std::fprintf(stderr, "confined: cannot copy the root's files: %s\n", ec.message().c_str());
    return !ec;
}

// Runs in the child: 0, or kCannotConfine when the system does not let it
// make the confinement, or kBroken.
int confine(const std::string& root, Confinement how)
{
    uid_t uid = ::getuid();
    gid_t gid = ::getgid();
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
        return kCannotConfine;
    // The same ids inside, so that peers still count as this user's.
    writeText("/proc/self/setgroups", "deny");
    if (!writeText("/proc/self/uid_map", std::to_string(uid) + " " + std::to_string(uid) + " 1\n")
        || !writeText("/proc/self/gid_map", std::to_string(gid) + " " + std::to_string(gid) + " 1\n"))
        return kCannotConfine;
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return kCannotConfine;
    if (how == Confinement::OwnMounts)
        return 0;
    if (how == Confinement::ReadOnly) {
        const bool readOnly = ::mount(root.c_str(), root.c_str(), nullptr, MS_BIND | MS_REC, nullptr) == 0
            && ::mount(nullptr, root.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
        return readOnly ? 0 : kCannotConfine;
    }
    // What is in the root now stays reachable through this descriptor once
    // the new file system covers it, and is copied over: the device's files
    // were there before the disk filled up.
    const int below = ::open(root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (below < 0)
        return kBroken;
    if (::mount("kivo-full", root.c_str(), "tmpfs", 0, "size=8m,mode=0700") != 0) {
        ::close(below);
        return kCannotConfine;
    }
    const bool copied = copyTree("/proc/self/fd/" + std::to_string(below), root);
    ::close(below);
    if (!copied)
        return kBroken;
    // Filled to the last block; a file already there keeps the room left in
    // its last block, as on any disk.
    std::string fill = root + "/" + kFillFile;
    int fd = ::open(fill.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return kBroken;
    static char block[64 * 1024];
    while (::write(fd, block, sizeof block) > 0) { }
    while (::write(fd, block, 1) > 0) { }
    ::close(fd);
    return 0;
}

} // namespace

int runConfined(const std::string& root, Confinement how, const std::function<int()>& body)
{
    std::fflush(nullptr);
    pid_t pid = ::fork();
    if (pid < 0)
        return kCannotConfine;
    if (pid == 0) {
        const int confined = confine(root, how);
        ::_exit(confined == 0 ? body() : confined);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) { }
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return WEXITSTATUS(status);
}

} // namespace kivo::test
