// Files replaced whole: writers of one file at the same time, a write cut
// short, and what killed writers leave behind.
#include "platform/paths.h"

#include "tests/support/file_size_limit.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

#include <linux/filter.h>
#include <linux/sched.h>
#include <linux/seccomp.h>
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::set<std::string> folder(const std::string& dir)
{
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.insert(e.path().filename().string());
    return names;
}

std::set<std::string> temporaries(const std::string& dir)
{
    std::set<std::string> names;
    for (const std::string& n : folder(dir))
        if (n.size() > 4 && n.compare(n.size() - 4, 4, ".tmp") == 0)
            names.insert(n);
    return names;
}

bool writeText(const char* path, const std::string& text)
{
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    const bool ok = fd >= 0 && ::write(fd, text.data(), text.size()) == ssize_t(text.size());
    if (fd >= 0)
        ::close(fd);
    return ok;
}

// The pid of a process of this namespace that has ended.
pid_t endedPid()
{
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(0);
    ::waitpid(pid, nullptr, 0);
    return pid;
}

// A writer's exit code when the system lacks what the test needs.
constexpr int kCannot = 77;

// A writer of a file through replaceFileWhole in a process of its own, held
// at its rename: the temporary file is made, written and flushed, as at any
// instant of a write before the rename. A seccomp filter hands the rename to
// this process, which lets it go on, or kills the writer there.
class HeldWriter {
public:
    // With otherPid, the writer runs in a PID namespace of its own under
    // that pid (one that ended in this namespace, say).
    HeldWriter(const std::string& file, const std::string& text, pid_t otherPid = 0)
    {
        int pair[2];
        if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0)
            return;
        std::fflush(nullptr);
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(pair[0]);
            ::_exit(otherPid ? inOtherNamespace(pair[1], file, text, otherPid) : write(pair[1], file, text));
        }
        ::close(pair[1]);
        if (m_pid > 0)
            m_listener = receiveListener(pair[0]);
        ::close(pair[0]);
        seccomp_notif request;
        std::memset(&request, 0, sizeof request);
        pollfd p { m_listener, POLLIN, 0 };
        // The writer's rename comes, or the writer ends without one.
        if (m_listener >= 0 && ::poll(&p, 1, 30000) == 1 && (p.revents & POLLIN)
            && ::ioctl(m_listener, SECCOMP_IOCTL_NOTIF_RECV, &request) == 0) {
            m_request = request.id;
            m_held = true;
        }
    }
    ~HeldWriter()
    {
        // A rename never let go fails, and the writer ends.
        if (m_listener >= 0)
            ::close(m_listener);
        if (m_pid > 0 && !m_ended)
            ::waitpid(m_pid, nullptr, 0);
    }

    bool held() const { return m_held; }
    // Whether the system lacks what the writer needs (namespaces, seccomp).
    bool cannot()
    {
        if (m_held)
            return false;
        if (m_listener >= 0) {
            ::close(m_listener); // whatever holds it up fails
            m_listener = -1;
        }
        return exitCode() == kCannot;
    }
    // Lets the rename go on; the writer's result.
    int resume()
    {
        seccomp_notif_resp answer;
        std::memset(&answer, 0, sizeof answer);
        answer.id = m_request;
        answer.flags = SECCOMP_USER_NOTIF_FLAG_CONTINUE;
        if (!m_held || ::ioctl(m_listener, SECCOMP_IOCTL_NOTIF_SEND, &answer) != 0)
            return -1;
        return exitCode();
    }
    // Kills the writer at its rename (a writer of this namespace).
    void kill()
    {
        ::kill(m_pid, SIGKILL);
        exitCode();
    }

private:
    int exitCode()
    {
        if (m_pid <= 0)
            return -1;
        if (!m_ended) {
            ::waitpid(m_pid, &m_status, 0);
            m_ended = true;
        }
        return WIFEXITED(m_status) ? WEXITSTATUS(m_status) : -1;
    }

    static int receiveListener(int socket)
    {
        pollfd p { socket, POLLIN, 0 };
        if (::poll(&p, 1, 30000) != 1)
            return -1;
        char byte;
        iovec io { &byte, 1 };
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))];
        msghdr m {};
        m.msg_iov = &io;
        m.msg_iovlen = 1;
        m.msg_control = control;
        m.msg_controllen = sizeof control;
        if (::recvmsg(socket, &m, MSG_CMSG_CLOEXEC) != 1)
            return -1;
        const cmsghdr* c = CMSG_FIRSTHDR(&m);
        if (!c || c->cmsg_type != SCM_RIGHTS)
            return -1;
        int fd;
        std::memcpy(&fd, CMSG_DATA(c), sizeof fd);
        return fd;
    }

    // In the writer: hands every rename to the test, then writes.
    static int write(int socket, const std::string& file, const std::string& text)
    {
        std::vector<sock_filter> filter { BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)) };
        for (long call : {
#ifdef SYS_rename
                 long(SYS_rename),
#endif
                 long(SYS_renameat), long(SYS_renameat2) }) {
            filter.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, uint32_t(call), 0, 1));
            filter.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_USER_NOTIF));
        }
        filter.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
        sock_fprog program { static_cast<unsigned short>(filter.size()), filter.data() };
        if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0)
            return kCannot;
        const int listener = int(::syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, SECCOMP_FILTER_FLAG_NEW_LISTENER, &program));
        if (listener < 0)
            return kCannot;
        char byte = 0;
        iovec io { &byte, 1 };
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
        msghdr m {};
        m.msg_iov = &io;
        m.msg_iovlen = 1;
        m.msg_control = control;
        m.msg_controllen = sizeof control;
        cmsghdr* c = CMSG_FIRSTHDR(&m);
        c->cmsg_level = SOL_SOCKET;
        c->cmsg_type = SCM_RIGHTS;
        c->cmsg_len = CMSG_LEN(sizeof(int));
        std::memcpy(CMSG_DATA(c), &listener, sizeof listener);
        if (::sendmsg(socket, &m, 0) != 1)
            return 2;
        ::close(listener);
        ::close(socket);
        return ce::replaceFileWhole(file, text.data(), text.size());
    }

    // In the child: a user and a PID namespace of its own, whose first
    // process starts the writer under the pid asked for.
    static int inOtherNamespace(int socket, const std::string& file, const std::string& text, pid_t pid)
    {
        const uid_t uid = ::getuid();
        const gid_t gid = ::getgid();
        if (::unshare(CLONE_NEWUSER | CLONE_NEWPID) != 0)
            return kCannot;
        writeText("/proc/self/setgroups", "deny");
        if (!writeText("/proc/self/uid_map", std::to_string(uid) + " " + std::to_string(uid) + " 1\n")
            || !writeText("/proc/self/gid_map", std::to_string(gid) + " " + std::to_string(gid) + " 1\n"))
            return kCannot;
        const pid_t first = ::fork();
        if (first < 0)
            return kCannot;
        if (first == 0) {
            clone_args args;
            std::memset(&args, 0, sizeof args);
            pid_t chosen = pid;
            args.exit_signal = SIGCHLD;
            args.set_tid = uint64_t(uintptr_t(&chosen));
            args.set_tid_size = 1;
            const long writer = ::syscall(SYS_clone3, &args, sizeof args);
            if (writer == 0)
                ::_exit(write(socket, file, text));
            if (writer < 0)
                ::_exit(kCannot);
            ::_exit(waitFor(pid_t(writer)));
        }
        return waitFor(first);
    }

    static int waitFor(pid_t pid)
    {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) { }
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
    }

    pid_t m_pid = -1;
    int m_listener = -1;
    uint64_t m_request = 0;
    bool m_held = false;
    bool m_ended = false;
    int m_status = 0;
};

} // namespace

TEST(ReplaceFileWhole, WritersOfOneFileAtOnceEachPutAWholeFileInPlace)
{
    kivo::test::TempDeviceRoot root;
    const std::string dir = root.path() + "/files";
    fs::create_directory(dir);
    const std::string file = dir + "/settings.dat";
    const std::string texts[2] = { std::string(3000, 'a'), std::string(7000, 'b') };
    ASSERT_EQ(ce::replaceFileWhole(file, texts[0].data(), texts[0].size()), 0);

    std::atomic<bool> writing { true };
    std::atomic<int> failed { 0 }, torn { 0 };
    std::thread reader([&] {
        while (writing) {
            const std::string now = readFile(file);
            torn += now != texts[0] && now != texts[1];
        }
    });
    std::thread writers[2];
    for (int w = 0; w < 2; ++w)
        writers[w] = std::thread([&, w] {
            for (int i = 0; i < 1000; ++i)
                failed += ce::replaceFileWhole(file, texts[w].data(), texts[w].size()) != 0;
        });
    for (std::thread& t : writers)
        t.join();
    writing = false;
    reader.join();
    EXPECT_EQ(failed, 0);
    EXPECT_EQ(torn, 0);
    EXPECT_EQ(folder(dir).count("settings.dat"), 1u);
    EXPECT_EQ(folder(dir).size(), 1u) << "no temporary file stays";
}

TEST(ReplaceFileWhole, AWriteCutShortKeepsTheOldFileAndLeavesNothing)
{
    kivo::test::TempDeviceRoot root;
    const std::string dir = root.path() + "/files";
    fs::create_directory(dir);
    const std::string file = dir + "/settings.dat";
    const std::string before(100, 'o');
    ASSERT_EQ(ce::replaceFileWhole(file, before.data(), before.size()), 0);
    const std::string after(5000, 'n');
    int error = 0;
    {
        kivo::test::FileSizeLimit limit(1000);
        error = ce::replaceFileWhole(file, after.data(), after.size());
    }
    EXPECT_EQ(error, EFBIG);
    EXPECT_EQ(readFile(file), before);
    EXPECT_EQ(folder(dir), std::set<std::string> { "settings.dat" });
}

// Every writer of a file through replaceFileWhole that is killed leaves its
// temporary file; the next whole write of that file removes them all, yet
// not the one of a writer still at work.
TEST(ReplaceFileWhole, TheNextWriteRemovesWhatKilledWritersLeftButNotALiveWritersFile)
{
    kivo::test::TempDeviceRoot root;
    const std::string dir = root.path() + "/files";
    fs::create_directory(dir);
    const std::string file = dir + "/download.fit";
    ASSERT_EQ(ce::replaceFileWhole(file, "old", 3), 0);
    // Five at work at once; four are killed.
    HeldWriter live(file, "live");
    if (live.cannot())
        GTEST_SKIP() << "no seccomp user notification here to hold a writer at its rename";
    ASSERT_TRUE(live.held());
    std::vector<std::unique_ptr<HeldWriter>> killed;
    for (int i = 0; i < 4; ++i) {
        killed.push_back(std::make_unique<HeldWriter>(file, "killed"));
        ASSERT_TRUE(killed.back()->held()) << i;
    }
    for (auto& writer : killed)
        writer->kill();
    ASSERT_EQ(temporaries(dir).size(), 5u) << "each writer's temporary file is there";

    ASSERT_EQ(ce::replaceFileWhole(file, "next", 4), 0);
    EXPECT_EQ(readFile(file), "next");
    const std::set<std::string> left = temporaries(dir);
    ASSERT_EQ(left.size(), 1u) << "only the live writer's temporary file stays";
    EXPECT_EQ(live.resume(), 0) << "the live writer's rename finds its file";
    EXPECT_EQ(readFile(file), "live");
    EXPECT_EQ(folder(dir), std::set<std::string> { "download.fit" });
}

// A writer in another PID namespace may carry in its temporary file's name
// a pid that has ended here: it is still at work, and its file stays.
TEST(ReplaceFileWhole, AWriterInAnotherPidNamespaceKeepsItsFileThoughItsPidEndedHere)
{
    kivo::test::TempDeviceRoot root;
    const std::string dir = root.path() + "/files";
    fs::create_directory(dir);
    const std::string file = dir + "/settings.dat";
    const pid_t ended = endedPid();
    HeldWriter other(file, "other", ended);
    if (other.cannot())
        GTEST_SKIP() << "no user and PID namespaces, clone3 with a chosen pid or seccomp user notification here";
    ASSERT_TRUE(other.held());
    const std::set<std::string> held = temporaries(dir);
    ASSERT_EQ(held.size(), 1u);
    EXPECT_EQ(held.begin()->rfind("settings.dat." + std::to_string(ended) + "-", 0), 0u) << *held.begin();

    ASSERT_EQ(ce::replaceFileWhole(file, "here", 4), 0);
    EXPECT_EQ(temporaries(dir), held);
    EXPECT_EQ(ce::removeStaleTemporaries(file), 0);
    EXPECT_EQ(temporaries(dir), held);
    EXPECT_EQ(other.resume(), 0);
    EXPECT_EQ(readFile(file), "other");
    EXPECT_EQ(folder(dir), std::set<std::string> { "settings.dat" });
}

// Which names beside a file count as its temporary files: only those are
// removed, and only plain files that no writer holds.
TEST(ReplaceFileWhole, OnlyUnheldTemporaryFilesOfTheFileAreRemoved)
{
    kivo::test::TempDeviceRoot root;
    const std::string dir = root.path() + "/files";
    fs::create_directory(dir);
    const std::string own = std::to_string(::getpid());
    const std::set<std::string> kept {
        "a.dat", "a.dat.bak", "a.dat.12-2.tmpx", "a.dat.12.tmp", "a.dat.x12-2.tmp", "a.dat.-2.tmp", "a.dat.12-.tmp",
        "b.dat.12-2.tmp", // another file's
        "a.dat." + own + "-5.tmp", // held, as a writer holds its own
    };
    const std::set<std::string> stale { "a.dat.tmp", "a.dat.12-2.tmp", "a.dat." + own + "-77.tmp", "a.dat.1-1.tmp" };
    for (const auto* names : { &kept, &stale })
        for (const std::string& n : *names)
            std::ofstream(dir + "/" + n) << "x";
    const int holder = ::open((dir + "/a.dat." + own + "-5.tmp").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    // Not plain files: left alone, and a pipe does not hold the cleaner up.
    fs::create_directory(dir + "/a.dat.9-9.tmp");
    ASSERT_EQ(::mkfifo((dir + "/a.dat.8-8.tmp").c_str(), 0600), 0);
    fs::create_symlink(dir + "/a.dat.bak", dir + "/a.dat.7-7.tmp");

    EXPECT_EQ(ce::removeStaleTemporaries(dir + "/a.dat"), 4);
    std::set<std::string> expected = kept;
    expected.insert({ "a.dat.9-9.tmp", "a.dat.8-8.tmp", "a.dat.7-7.tmp" });
    EXPECT_EQ(folder(dir), expected);
    EXPECT_EQ(readFile(dir + "/a.dat.bak"), "x");
    ::close(holder);
}
