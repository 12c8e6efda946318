// KivoWiFi as a program: one instance per device root, the hardware key and
// touch messages from other processes (the wmsg tool), and a clean end with
// exit code 0.
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/wm.h"
#include "sim/wifidkcore/WifiDKCoreSim.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using ce::reg::Root;

std::string binFolder()
{
    char buf[4096];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    std::string p(buf, n > 0 ? size_t(n) : 0);
    return p.substr(0, p.rfind('/'));
}

std::string readAll(const std::string& file)
{
    std::ifstream in(file);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool waitUntil(const std::function<bool()>& pred, int timeoutMs)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// A child program of the build, with this test's device root, its output
// going to a file.
class Child {
public:
    Child(const std::string& program, const std::vector<std::string>& args, const std::string& outFile)
    {
        std::vector<std::string> argStore { binFolder() + "/" + program };
        argStore.insert(argStore.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : argStore)
            argv.push_back(a.data());
        argv.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::vector<std::string> envStore { "KIVO_DEVICE_ROOT=" + ce::deviceRoot(), "QT_QPA_PLATFORM=offscreen" };
        for (char** e = environ; *e; ++e) {
            std::string kv = *e;
            if (kv.rfind("KIVO_DEVICE_ROOT=", 0) != 0 && kv.rfind("QT_QPA_PLATFORM=", 0) != 0)
                envStore.push_back(kv);
        }
        std::vector<char*> envp;
        for (auto& kv : envStore)
            envp.push_back(kv.data());
        envp.push_back(nullptr);
        if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
    }

    ~Child()
    {
        if (running()) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }

    bool started() const { return m_pid > 0; }
    bool running()
    {
        if (m_pid <= 0 || m_done)
            return false;
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_done = true;
            m_status = status;
            return false;
        }
        return true;
    }
    // The exit code, or -1 when it did not end in time or ended by a signal.
    int waitExit(int timeoutMs)
    {
        if (!waitUntil([this] { return !running(); }, timeoutMs))
            return -1;
        return WIFEXITED(m_status) ? WEXITSTATUS(m_status) : -1;
    }

private:
    pid_t m_pid = -1;
    bool m_done = false;
    int m_status = 0;
};

int wmsg(const std::vector<std::string>& args, const std::string& outFile)
{
    Child tool("wmsg", args, outFile);
    return tool.waitExit(20000);
}

size_t countLines(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = 0; (at = text.find(what, at)) != std::string::npos; at += what.size())
        ++n;
    return n;
}

TEST(KivoWiFiProgram, SingleInstanceHardwareKeysTouchAndCleanExit)
{
    kivo::test::TempDeviceRoot root;
    // An adapter with Zero Config on, so the start does not wait for one.
    root.writeFile("\\SystemDrive\\sim\\wzc.json", "{}\n");
    root.writeFile("\\SystemDrive\\Falmo\\program\\wifi\\DebugSetting.ini", "[General]\nEnableLog=true\n");
    ce::reg::setString(Root::CurrentUser, "Comm\\EAPOL\\Config\\Cafe", "Identity", "rider");
    const std::string out = root.path() + "/out-";

    Child listener("wmsg", { "listen", "--class", "TouchListener" }, out + "listener.txt");
    ASSERT_TRUE(listener.started());
    ASSERT_TRUE(waitUntil([&] { return ce::findWindow("TouchListener", nullptr) != nullptr; }, 20000));

    Child first("KivoWiFi", {}, out + "first.txt");
    ASSERT_TRUE(first.started());
    ASSERT_TRUE(waitUntil([] { return ce::findWindow("KivoWiFi", nullptr) != nullptr; }, 60000));
    const std::string log = "\\SystemDrive\\Falmo\\program\\wifi\\Log\\WifiConnectLog.txt";
    ASSERT_TRUE(waitUntil(
        [&] { return root.readFile(log).find("InsertView : WLAN Sync(Searching)") != std::string::npos; }, 60000));

    // A second start brings the first forward and ends at once.
    Child second("KivoWiFi", { "auto" }, out + "second.txt");
    EXPECT_EQ(second.waitExit(30000), 0);
    EXPECT_TRUE(first.running());
    EXPECT_TRUE(waitUntil(
        [&] { return root.readFile(log).find("WM_ACTIVATE: language and day/night reloaded") != std::string::npos; },
        10000));

    // A touch is broadcast to every top-level window.
    const std::string listened = out + "listener.txt";
    EXPECT_EQ(wmsg({ "post", "--class", "KivoWiFi", "0x0201" }, out + "w0.txt"), 0);
    ASSERT_TRUE(
        waitUntil([&] { return countLines(readAll(listened), "WM_TOUCHEVENT_MOUSE_LBUTTONDOWN") == 1; }, 10000));

    // Three hardware keys do nothing visible.
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(wmsg({ "post", "--class", "KivoWiFi", "0x422" }, out + "w1.txt"), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_TRUE(first.running());
    EXPECT_EQ(countLines(readAll(listened), "WM_TOUCHEVENT_MOUSE_LBUTTONDOWN"), 1u);

    // The fourth, on the searching screen, starts the exit.
    EXPECT_EQ(wmsg({ "post", "--class", "KivoWiFi", "0x422" }, out + "w2.txt"), 0);
    EXPECT_EQ(first.waitExit(30000), 0);
    EXPECT_EQ(countLines(readAll(listened), "WM_TOUCHEVENT_MOUSE_LBUTTONDOWN"), 2u);

    EXPECT_EQ(readAll(kivo::sim::wifiDkCoreCallLog()), "102\n135 2\n135 0\n");
    EXPECT_TRUE(ce::reg::subKeys(Root::CurrentUser, "Comm\\EAPOL").empty());
    EXPECT_TRUE(ce::reg::valueNames(Root::CurrentUser, "Comm\\EAPOL").empty());
    std::string text = root.readFile(log);
    EXPECT_NE(text.find("Disable Network card and exit this program!"), std::string::npos);
    EXPECT_NE(text.find(std::string(97, '-') + "\r\n"), std::string::npos);

    EXPECT_EQ(wmsg({ "post", "--class", "TouchListener", "0x0010" }, out + "w3.txt"), 0);
    EXPECT_EQ(listener.waitExit(10000), 0);
}

} // namespace
