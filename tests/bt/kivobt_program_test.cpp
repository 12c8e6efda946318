// KivoBT as a program with three client programs (btclient): one copy per
// device, registration by title, notifications to exactly the registered
// clients, records of the stated sizes.
#include "platform/paths.h"
#include "platform/wm.h"
#include "tests/support/confined.h"
#include "tests/support/programs.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using kivo::test::waitUntil;

// A program of the build with this test's device root: its input is a pipe
// from the test, its output comes back line by line, its errors go to a file.
class Program {
public:
    Program(const std::string& name, const std::vector<std::string>& args, const std::string& errFile)
    {
        int in[2], out[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        m_pid = kivo::test::spawnProgram(name, args, &actions);
        posix_spawn_file_actions_destroy(&actions);
        ::close(in[0]);
        ::close(out[1]);
        m_in = in[1];
        m_out = out[0];
    }
    ~Program()
    {
        if (m_in >= 0)
            ::close(m_in);
        if (running()) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        if (m_out >= 0)
            ::close(m_out);
    }
    void send(const std::string& line)
    {
        const std::string l = line + "\n";
        ASSERT_EQ(::write(m_in, l.data(), l.size()), ssize_t(l.size()));
    }
    // The next line of output; empty after 20 s of silence or at the end.
    std::string readLine()
    {
        auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        for (;;) {
            const size_t nl = m_buffer.find('\n');
            if (nl != std::string::npos) {
                std::string line = m_buffer.substr(0, nl);
                m_buffer.erase(0, nl + 1);
                return line;
            }
            const int left = int(std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now()).count());
            if (left <= 0)
                return {};
            pollfd p { m_out, POLLIN, 0 };
            if (::poll(&p, 1, left) <= 0)
                return {};
            char buf[4096];
            const ssize_t n = ::read(m_out, buf, sizeof buf);
            if (n <= 0)
                return {};
            m_buffer.append(buf, size_t(n));
        }
    }
    bool running()
    {
        if (m_pid <= 0 || m_done)
            return false;
        if (::waitpid(m_pid, &m_status, WNOHANG) == m_pid) {
            m_done = true;
            return false;
        }
        return true;
    }
    int waitExit(int timeoutMs = 20000)
    {
        if (!waitUntil([this] { return !running(); }, timeoutMs))
            return -1;
        return WIFEXITED(m_status) ? WEXITSTATUS(m_status) : -1;
    }

private:
    pid_t m_pid = -1;
    int m_in = -1, m_out = -1;
    int m_status = 0;
    bool m_done = false;
    std::string m_buffer;
};

std::string readAll(const std::string& file)
{
    std::ifstream in(file);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

const std::string kPhoneState = "copydata WM_BTOUT_PHONE_STATE cb=132 state=0 name=";

} // namespace

TEST(KivoBTProgram, ServesRegisteredClientsAndRunsOnce)
{
    {
        std::ofstream world(ce::resolvePath("\\SystemDrive\\sim\\bt.json", true));
        world << R"({"contacts": 3})";
    }
    ::unlink(ce::resolvePath("\\SystemDrive\\Falmo\\program\\bt\\BravikConfig.dat").c_str());
    const std::string log = ce::deviceRoot() + "/kivobt.log";
    ::unlink(log.c_str());

    Program manager("KivoBT", {}, log);
    ASSERT_TRUE(waitUntil([] { return ce::findWindow(nullptr, "KivoBT") && ce::findWindow(nullptr, "PhoneConnection"); }, 20000));

    Program c1("btclient", { "Client One" }, log);
    Program c2("btclient", { "Client Two" }, log);
    Program c3("btclient", { "Client Three" }, log);
    for (Program* c : { &c1, &c2, &c3 })
        ASSERT_EQ(c->readLine(), "ready");

    // Registering again keeps one entry: one answer each.
    c2.send("register");
    EXPECT_EQ(c2.readLine(), "done");
    c1.send("post WM_BTIN_QUERY_PHONE_STATE");
    EXPECT_EQ(c1.readLine(), "done");
    for (Program* c : { &c1, &c2, &c3 })
        EXPECT_EQ(c->readLine(), kPhoneState);
    c1.send("post WM_BTIN_PHONEBOOK_LIST");
    EXPECT_EQ(c1.readLine(), "done");
    for (Program* c : { &c1, &c2, &c3 })
        EXPECT_EQ(c->readLine(), "copydata WM_BTOUT_PHONEBOOK_LIST cb=7842 entries=3");

    // The middle one leaves: the other two still hear, it does not.
    c2.send("unregister");
    EXPECT_EQ(c2.readLine(), "done");
    c3.send("post WM_BTIN_QUERY_PHONE_STATE");
    EXPECT_EQ(c3.readLine(), "done");
    EXPECT_EQ(c1.readLine(), kPhoneState);
    EXPECT_EQ(c3.readLine(), kPhoneState);
    c2.send("register");
    EXPECT_EQ(c2.readLine(), "done"); // nothing came in between
    c1.send("post WM_BTIN_BT_VERSION");
    EXPECT_EQ(c1.readLine(), "done");
    for (Program* c : { &c1, &c3, &c2 })
        EXPECT_EQ(c->readLine(), "copydata WM_BTOUT_BT_VERSION cb=128 text=1.0.1.1");
    EXPECT_NE(readAll(log).find("***[BTManager] ExternalSendMessage(2)"), std::string::npos);

    // The phone window's messages that carry addresses of the manager are
    // refused from this process, whatever address they name; the manager
    // goes on answering.
    const ce::HWND phone = ce::findWindow(nullptr, "PhoneConnection");
    const ce::LPARAM wild = ce::LPARAM(0x41414141);
    for (const char* name : { "WM_STKOUTMSG_DIALERINFO", "WM_STKMAPMSG_NEWMSG", "WM_STKOUTMSG_MUSICINFO",
             "WM_STKOUTMSG_AUTOCONNECTING" }) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(ce::postMessage(phone, ce::registerWindowMessage(name), 0, wild));
        EXPECT_EQ(ce::getLastError(), ce::ERROR_INVALID_PARAMETER);
    }
    EXPECT_EQ(ce::sendMessage(phone, ce::registerWindowMessage("WM_BTIN_BT_VERSION"), ce::WPARAM(wild), 128), 0);
    EXPECT_EQ(ce::getLastError(), ce::ERROR_INVALID_PARAMETER);
    c1.send("post WM_BTIN_QUERY_PHONE_STATE");
    EXPECT_EQ(c1.readLine(), "done");
    for (Program* c : { &c1, &c3, &c2 })
        EXPECT_EQ(c->readLine(), kPhoneState);
    EXPECT_TRUE(manager.running());

    // A second start raises the first copy's phone window and ends.
    {
        Program second("KivoBT", {}, log);
        EXPECT_EQ(second.waitExit(), 0);
    }
    EXPECT_TRUE(manager.running());
    EXPECT_TRUE(waitUntil([] {
        ce::HWND front = ce::getForegroundWindow();
        return front && ce::getWindowTitle(front) == "PhoneConnection";
    }, 20000));

    for (Program* c : { &c1, &c2, &c3 }) {
        c->send("quit");
        EXPECT_EQ(c->waitExit(), 0);
    }
    ce::postMessage(ce::findWindow(nullptr, "KivoBT"), ce::WM_CLOSE, 0, 0);
    EXPECT_EQ(manager.waitExit(), 0);
    EXPECT_EQ(ce::findWindow(nullptr, "KivoBT"), nullptr);
}

// A device whose disk filled up: KivoBT still starts (its power queue keeps
// no count, its power registration is refused), does not crash, and its
// window answers once the user makes room.
TEST(KivoBTProgram, OnAFullDiskItStartsAndAnswersOnceThereIsRoom)
{
    kivo::test::TempDeviceRoot root;
    root.writeFile("\\SystemDrive\\sim\\bt.json", R"({"contacts": 3})");
    const std::vector<std::string> window { "--title", "KivoBT" };
    {
        // A device that ran before: the message names its programs
        // registered are kept.
        Program first("KivoBT", {}, root.path() + "/kivobt-first.log");
        ASSERT_TRUE(kivo::test::windowAnswers(window, 60000));
    }
    std::string report;
    const int code = kivo::test::runOnAFullDisk("KivoBT", "cannot publish windows", window, &report);
    if (code == kivo::test::kCannotConfine)
        GTEST_SKIP() << "no namespaces to make a full disk in";
    EXPECT_EQ(0, code) << report;
}
