#include "tests/support/programs.h"

#include "platform/paths.h"
#include "platform/wm.h"
#include "tests/support/confined.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
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
    if (m_pid > 0 && !waitExit(20000))
        kill();
    if (m_out >= 0)
        ::close(m_out);
}

bool PipedProgram::start(const std::string& name, const std::vector<std::string>& args, const std::string& errorFile)
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
    if (!errorFile.empty())
        posix_spawn_file_actions_addopen(&actions, 2, errorFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
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

bool PipedProgram::running()
{
    if (m_pid <= 0 || m_ended)
        return false;
    m_ended = ::waitpid(m_pid, &m_status, WNOHANG) == m_pid;
    return !m_ended;
}

bool PipedProgram::waitExit(int timeoutMs, int* status)
{
    if (m_pid <= 0)
        return false;
    if (!waitUntil([&] { return !running(); }, timeoutMs))
        return false;
    if (status)
        *status = m_status;
    return true;
}

void PipedProgram::kill()
{
    closeInput();
    if (running()) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, &m_status, 0);
        m_ended = true;
    }
}

size_t countOf(const std::string& text, const std::string& part)
{
    size_t n = 0;
    for (size_t at = 0; !part.empty() && (at = text.find(part, at)) != std::string::npos; at += part.size())
        ++n;
    return n;
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

namespace {

// The program's state: running (true), or ended with *status.
bool stillRunning(pid_t pid, int* status)
{
    return ::waitpid(pid, status, WNOHANG) == 0;
}

std::string describeEnd(int status)
{
    if (WIFSIGNALED(status))
        return "ended by signal " + std::to_string(WTERMSIG(status)) + " (exit " + std::to_string(128 + WTERMSIG(status))
            + ")";
    return "ended with exit code " + std::to_string(WEXITSTATUS(status));
}

std::string readFrom(int fd)
{
    std::string text;
    char buf[4096];
    for (off_t at = 0;;) {
        const ssize_t n = ::pread(fd, buf, sizeof buf, at);
        if (n <= 0)
            return text;
        text.append(buf, size_t(n));
        at += n;
    }
}

void note(int fd, const std::string& line)
{
    const std::string l = "[full disk] " + line + "\n";
    if (::write(fd, l.data(), l.size()) < 0) { }
}

} // namespace

int runProgram(const std::string& name, const std::vector<std::string>& args, int outFd, int timeoutMs)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (outFd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, outFd, 1);
        posix_spawn_file_actions_adddup2(&actions, outFd, 2);
    }
    const pid_t pid = spawnProgram(name, args, &actions);
    posix_spawn_file_actions_destroy(&actions);
    if (pid < 0)
        return -1;
    int status = 0;
    if (!waitUntil([&] { return !stillRunning(pid, &status); }, timeoutMs)) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool windowAnswers(const std::vector<std::string>& target, int timeoutMs)
{
    std::vector<std::string> args { "send" };
    args.insert(args.end(), target.begin(), target.end());
    args.push_back("0");
    const int devNull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    const bool answered = waitUntil([&] { return runProgram("wmsg", args, devNull, 20000) == 0; }, timeoutMs, 100);
    ::close(devNull);
    return answered;
}

int runOnAFullDisk(const std::string& name, const std::string& started, const std::vector<std::string>& target,
    std::string* report, const AfterRoomCheck& afterRoom)
{
    const std::string root = ce::deviceRoot();
    // Its output stays reachable through the descriptor once the full disk
    // covers the root, and this process reads it afterwards.
    const std::string outPath = root + "/full-disk-output.txt";
    const int out = ::open(outPath.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644);
    if (out < 0) {
        *report = "cannot open " + outPath;
        return 1;
    }
    // Entries of processes that ended are dropped by any look at the
    // windows: done now, so that none frees a block on the full disk.
    const int devNull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    runProgram("wmsg", { "list" }, devNull, 20000);
    ::close(devNull);
    const int code = runConfined(root, Confinement::FullDisk, [&] {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out, 1);
        posix_spawn_file_actions_adddup2(&actions, out, 2);
        const pid_t pid = spawnProgram(name, {}, &actions);
        posix_spawn_file_actions_destroy(&actions);
        if (pid < 0) {
            note(out, "cannot start " + name);
            return 2;
        }
        int status = 0;
        int result = 0;
        if (!waitUntil([&] { return readFrom(out).find(started) != std::string::npos || !stillRunning(pid, &status); },
                60000)) {
            note(out, "never said \"" + started + "\"");
            result = 3;
        } else if (!stillRunning(pid, &status)) {
            note(out, describeEnd(status));
            return 4;
        }
        // The user deletes a track: the program is found and answers.
        if (result == 0 && ::unlink((root + "/" + kFillFile).c_str()) != 0) {
            note(out, "cannot make room");
            result = 5;
        }
        if (result == 0 && !windowAnswers(target, 30000)) {
            note(out, "its window does not answer once there is room");
            result = 6;
        }
        if (result == 0 && afterRoom) {
            const std::string wrong = afterRoom([&] { return readFrom(out); });
            if (!wrong.empty()) {
                note(out, wrong);
                result = 7;
            }
        }
        if (!stillRunning(pid, &status)) {
            note(out, describeEnd(status));
            return 4;
        }
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        return result;
    });
    *report = readFrom(out);
    ::close(out);
    ::unlink(outPath.c_str());
    return code;
}

namespace {

// In a confined process: a new, small file system over the root holding only
// `files`, then filled until neither a block nor a new name is left. The
// names of the fillers, for making room; empty when it cannot be made.
std::vector<std::string> fillNewDisk(const std::string& root, const std::vector<std::pair<std::string, std::string>>& files)
{
    if (::mount("kivo-full", root.c_str(), "tmpfs", 0, "size=4m,nr_inodes=64,mode=0700") != 0)
        return {};
    for (const auto& [path, content] : files) {
        for (size_t slash = path.find('/'); slash != std::string::npos; slash = path.find('/', slash + 1))
            ::mkdir((root + "/" + path.substr(0, slash)).c_str(), 0700);
        const int fd = ::open((root + "/" + path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        const bool written = fd >= 0 && ::write(fd, content.data(), content.size()) == ssize_t(content.size());
        if (fd >= 0)
            ::close(fd);
        if (!written)
            return {};
    }
    std::vector<std::string> fillers;
    const std::string blocks = root + "/" + kFillFile;
    const int fd = ::open(blocks.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return {};
    fillers.push_back(blocks);
    static char block[64 * 1024];
    while (::write(fd, block, sizeof block) > 0) { }
    while (::write(fd, block, 1) > 0) { }
    ::close(fd);
    for (int i = 0;; ++i) {
        const std::string name = root + "/" + kFillFile + "-" + std::to_string(i);
        const int made = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (made < 0)
            return errno == ENOSPC ? fillers : std::vector<std::string> {};
        ::close(made);
        fillers.push_back(name);
    }
}

} // namespace

int twoStartsOnAFullNewDisk(const std::string& name, const std::vector<std::pair<std::string, std::string>>& files,
    const std::vector<std::string>& target, std::string* report)
{
    const std::string root = ce::deviceRoot();
    // The output file stays reachable through the descriptor once the new
    // disk covers the root.
    const std::string outPath = root + "/two-starts-output.txt";
    const int out = ::open(outPath.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644);
    if (out < 0) {
        *report = "cannot open " + outPath;
        return 1;
    }
    const int code = runConfined(root, Confinement::OwnMounts, [&] {
        const std::vector<std::string> fillers = fillNewDisk(root, files);
        if (fillers.empty())
            return kCannotConfine;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out, 1);
        posix_spawn_file_actions_adddup2(&actions, out, 2);
        pid_t copies[2];
        for (pid_t& pid : copies)
            pid = spawnProgram(name, {}, &actions);
        posix_spawn_file_actions_destroy(&actions);
        if (copies[0] < 0 || copies[1] < 0) {
            note(out, "cannot start " + name);
            return 2;
        }
        int status = 0;
        int ended = -1;
        int result = 0;
        waitUntil([&] {
            for (int i = 0; i < 2 && ended < 0; ++i)
                if (!stillRunning(copies[i], &status))
                    ended = i;
            return ended >= 0;
        }, 90000);
        if (ended < 0) {
            note(out, "both copies still run");
            result = 3;
        } else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            note(out, "the copy that ended " + describeEnd(status));
            result = 4;
        }
        const pid_t other = ended < 0 ? -1 : copies[1 - ended];
        for (const std::string& filler : fillers)
            ::unlink(filler.c_str());
        if (result == 0 && !windowAnswers(target, 30000)) {
            note(out, "the copy left running has no window that answers once there is room");
            result = 5;
        }
        if (result == 0 && !stillRunning(other, &status)) {
            note(out, "the other copy " + describeEnd(status));
            return 6;
        }
        for (int i = 0; i < 2; ++i)
            if (i != ended) { // the one that ended is reaped already
                ::kill(copies[i], SIGKILL);
                ::waitpid(copies[i], nullptr, 0);
            }
        ::umount2(root.c_str(), MNT_DETACH);
        return result;
    });
    *report = readFrom(out);
    ::close(out);
    ::unlink(outPath.c_str());
    return code;
}

} // namespace kivo::test
