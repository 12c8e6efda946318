// KivoWiFi as a program: one instance per device root, the hardware key and
// touch messages from other processes (the wmsg tool), and a clean end with
// exit code 0.
#include "platform/msgqueue.h"
#include "platform/paths.h"
#include "platform/wzc/wzc_types.h"
#include "platform/registry.h"
#include "platform/endpoint.h"
#include "platform/wm.h"
#include "platform/wm_internal.h"
#include "sim/wifidkcore/WifiDKCoreSim.h"
#include "tests/support/confined.h"
#include "tests/support/programs.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <poll.h>
#include <spawn.h>
#include <netinet/in.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using ce::reg::Root;
using kivo::test::countOf;
using kivo::test::waitUntil;

std::string readAll(const std::string& file)
{
    std::ifstream in(file);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A child program of the build, with this test's device root, its output
// going to a file.
class Child {
public:
    Child(const std::string& program, const std::vector<std::string>& args, const std::string& outFile)
    {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        m_pid = kivo::test::spawnProgram(program, args, &actions);
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
    pid_t pid() const { return m_pid; }
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
        waitUntil([&] { return countOf(readAll(listened), "WM_TOUCHEVENT_MOUSE_LBUTTONDOWN") == 1; }, 10000));

    // Three hardware keys do nothing visible.
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(wmsg({ "post", "--class", "KivoWiFi", "0x422" }, out + "w1.txt"), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_TRUE(first.running());
    EXPECT_EQ(countOf(readAll(listened), "WM_TOUCHEVENT_MOUSE_LBUTTONDOWN"), 1u);

    // The fourth, on the searching screen, starts the exit.
    EXPECT_EQ(wmsg({ "post", "--class", "KivoWiFi", "0x422" }, out + "w2.txt"), 0);
    EXPECT_EQ(first.waitExit(30000), 0);
    EXPECT_EQ(countOf(readAll(listened), "WM_TOUCHEVENT_MOUSE_LBUTTONDOWN"), 2u);

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

namespace {

// Writes bytes to a process's window endpoint as any process of the user
// could and waits for its answer (or the end of the exchange); a truncated
// frame is followed by the end of the sender's stream.
void sendRaw(pid_t pid, const std::string& bytes, bool truncated)
{
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un addr;
    socklen_t len = ce::detail::abstractAddress("wm", std::to_string(pid), &addr);
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&addr), len), 0);
    ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (truncated)
        ::shutdown(fd, SHUT_WR);
    pollfd p { fd, POLLIN, 0 };
    char buf[64];
    if (::poll(&p, 1, 20000) > 0)
        (void)::recv(fd, buf, sizeof buf, 0);
    ::close(fd);
}

std::string frame(uint16_t kind, uint32_t bodyBytes, const ce::wm::MessageBody& body, size_t extra)
{
    ce::wm::FrameHeader h { ce::wm::kFrameMagic, ce::wm::kFrameVersion, kind, bodyBytes };
    std::string s(reinterpret_cast<const char*>(&h), sizeof h);
    s.append(reinterpret_cast<const char*>(&body), sizeof body);
    s.append(extra, '\x41');
    return s;
}

TEST(KivoWiFiProgram, HostileWindowMessageFramesLeaveItRunning)
{
    kivo::test::TempDeviceRoot root;
    root.writeFile("\\SystemDrive\\sim\\wzc.json", "{}\n");
    Child app("KivoWiFi", {}, root.path() + "/out-app.txt");
    ASSERT_TRUE(app.started());
    ce::HWND window = nullptr;
    ASSERT_TRUE(waitUntil([&] { return (window = ce::findWindow("KivoWiFi", nullptr)) != nullptr; }, 60000));

    using namespace ce::wm;
    const uint32_t body = sizeof(MessageBody);
    MessageBody bare {};
    bare.hwnd = uint64_t(reinterpret_cast<uintptr_t>(window));
    bare.message = ce::WM_COPYDATA;
    bare.lParam = 0x1000; // an address of the sender's choosing
    bare.dwData = ce::registerWindowMessage("WM_KEYBD_OUT_GETKEYBDDATA");
    MessageBody record = bare;
    record.lParam = 0;
    record.flags = kFlagCopyData;
    record.cbData = 2000;
    MessageBody huge = record;
    huge.cbData = ce::MAX_COPYDATA_BYTES + 1;
    const std::string frames[] = {
        frame(kFrameSend, body, bare, 0), // neither record nor null mark
        frame(kFramePost, body, bare, 0),
        frame(kFrameSend, body + huge.cbData, huge, 64), // oversized
        frame(kFrameSend, body + record.cbData, record, 100), // truncated
    };
    for (size_t i = 0; i < std::size(frames); ++i)
        sendRaw(app.pid(), frames[i], i + 1 == std::size(frames));
    // Posts are handled in order: once a touch posted after them has been
    // broadcast, the posted frame has been through the filter too.
    int touches = 0;
    const ce::UINT touch = ce::registerWindowMessage("WM_TOUCHEVENT_MOUSE_LBUTTONDOWN");
    ce::HWND watcher = ce::createWindow("Watcher", "watcher", [&](ce::HWND, ce::UINT m, ce::WPARAM, ce::LPARAM) {
        touches += m == touch;
        return ce::LRESULT(0);
    });
    EXPECT_TRUE(ce::postMessage(window, ce::WM_LBUTTONDOWN, 1, 0));
    EXPECT_TRUE(waitUntil(
        [&] {
            ce::pumpMessages();
            return touches > 0;
        },
        20000));
    ce::destroyWindow(watcher);
    // Still answering, through its filter, as before.
    ce::LRESULT result = -1;
    EXPECT_TRUE(ce::sendMessageTimeout(window, ce::WM_NULL, 0, 0, 20000, &result));
    EXPECT_TRUE(app.running());
}

} // namespace

namespace {

// A device whose disk filled up: KivoWiFi still starts, says that its event
// queue could not be made, does not crash, and once the user makes room its
// window answers and its event queue is back: an event fed then reaches it.
TEST(KivoWiFiProgram, OnAFullDiskItStartsWithoutItsEventQueueAndAnswersOnceThereIsRoom)
{
    kivo::test::TempDeviceRoot root;
    root.writeFile("\\SystemDrive\\sim\\wzc.json", "{}\n");
    // With its log on, the program writes down each event it handles.
    root.writeFile("\\SystemDrive\\Falmo\\program\\wifi\\DebugSetting.ini", "[General]\nEnableLog=true\n");
    const std::vector<std::string> window { "--class", "KivoWiFi" };
    {
        // A device that ran before: the message names its programs
        // registered are kept.
        Child first("KivoWiFi", {}, root.path() + "/out-first.txt");
        ASSERT_TRUE(first.started());
        ASSERT_TRUE(kivo::test::windowAnswers(window, 60000));
    }
    const std::string log = ce::resolvePath("/SystemDrive/Falmo/program/wifi/Log/WifiConnectLog.txt", true);
    ::unlink(log.c_str());
    std::string report;
    const int code = kivo::test::runOnAFullDisk("KivoWiFi", "CreateMsgQueue failed!", window, &report,
        [&](const std::function<std::string()>&) -> std::string {
            // Fed as the service does, until the queue has its reader again.
            ce::WZC_EVENT_MESSAGE event {};
            event.dwEventCode = 11; // WZC_REAUTHENTICATING, which nothing else raises here
            const bool fed = waitUntil(
                [&] {
                    ce::MSGQUEUEOPTIONS o { sizeof o, ce::MSGQUEUE_ALLOW_BROKEN, ce::WZC_EVENT_QUEUE_MAX_MESSAGES,
                        sizeof event, ce::FALSE_ };
                    ce::HANDLE q = ce::createMsgQueue(ce::WZC_EVENT_QUEUE_NAME, &o);
                    const bool written = q && ce::writeMsgQueue(q, &event, sizeof event, 0, 0);
                    if (q)
                        ce::closeMsgQueue(q);
                    return written;
                },
                30000);
            if (!fed)
                return "its event queue has no reader once there is room";
            const bool handled = waitUntil(
                [&] {
                    std::ifstream in(log);
                    std::stringstream text;
                    text << in.rdbuf();
                    return text.str().find("WZC_REAUTHENTICATING") != std::string::npos;
                },
                30000);
            return handled ? std::string() : "an event fed once there is room does not reach it";
        });
    if (code == kivo::test::kCannotConfine)
        GTEST_SKIP() << "no namespaces to make a full disk in";
    EXPECT_EQ(0, code) << report;
    EXPECT_NE(report.find("its shared count cannot be made (No space left on device)"), std::string::npos) << report;
    // Said once when it starts failing and once when it works again, however
    // often it was tried meanwhile.
    EXPECT_EQ(1u, countOf(report, "CreateMsgQueue failed!")) << report;
    EXPECT_EQ(1u, countOf(report, "its shared count cannot be made")) << report;
    EXPECT_EQ(1u, countOf(report, "CreateMsgQueue succeeded after all")) << report;
}

// Where no lock file can be made (a full disk, never used), two starts at
// once still leave exactly one KivoWiFi running.
TEST(KivoWiFiProgram, TwoStartsOnAFullNeverUsedDiskLeaveOneRunning)
{
    kivo::test::TempDeviceRoot root;
    std::string report;
    const int code = kivo::test::twoStartsOnAFullNewDisk("KivoWiFi", { { "SystemDrive/sim/wzc.json", "{}\n" } },
        { "--class", "KivoWiFi" }, &report);
    if (code == kivo::test::kCannotConfine)
        GTEST_SKIP() << "no namespaces to make a full disk in";
    EXPECT_EQ(0, code) << report;
}

// A process stopped half-way through a registration keeps the lock of the
// registered message names: KivoWiFi still starts, waiting for that lock
// the full time once, not once per name, and says which names it could not
// register.
TEST(KivoWiFiProgram, ANamesLockHeldByAStoppedProcessDelaysItsStartOnlyOnce)
{
    kivo::test::TempDeviceRoot root;
    root.writeFile("\\SystemDrive\\sim\\wzc.json", "{}\n");
    const std::string names = ce::runDirectory() + "/wm-messages";
    const pid_t holder = ::fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        const int fd = ::open(names.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0 || ::flock(fd, LOCK_EX) != 0)
            ::_exit(1);
        ::raise(SIGSTOP);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(holder, ::waitpid(holder, &status, WUNTRACED));
    ASSERT_TRUE(WIFSTOPPED(status));

    const std::string out = root.path() + "/out-app.txt";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    const auto started = std::chrono::steady_clock::now();
    const pid_t app = kivo::test::spawnProgram("KivoWiFi", {}, &actions);
    posix_spawn_file_actions_destroy(&actions);
    ASSERT_GT(app, 0);
    const bool found = waitUntil([] { return ce::findWindow("KivoWiFi", nullptr) != nullptr; }, 60000);
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
    ::kill(app, SIGKILL);
    ::waitpid(app, nullptr, 0);
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    const std::string log = readAll(out);
    EXPECT_TRUE(found) << log;
    EXPECT_EQ(1u, countOf(log, "stayed taken for 5000 ms")) << "started after " << took.count() << " ms\n" << log;
    EXPECT_GE(countOf(log, "is not registered"), 2u) << log;
}

TEST(KivoWiFiProgram, AQuitPostedByAnotherProcessEndsThroughTheOrderlyExit)
{
    kivo::test::TempDeviceRoot root;
    root.writeFile("\\SystemDrive\\sim\\wzc.json", "{}\n");
    ce::reg::setString(Root::CurrentUser, "Comm\\EAPOL\\Config\\Cafe", "Identity", "rider");
    Child app("KivoWiFi", {}, root.path() + "/out-app.txt");
    ASSERT_TRUE(app.started());
    ce::HWND window = nullptr;
    ASSERT_TRUE(waitUntil([&] { return (window = ce::findWindow("KivoWiFi", nullptr)) != nullptr; }, 60000));
    ASSERT_TRUE(waitUntil([&] { return readAll(kivo::sim::wifiDkCoreCallLog()).find("135 2") != std::string::npos; },
        60000));
    EXPECT_TRUE(ce::postMessage(window, ce::WM_QUIT, 7, 0));
    EXPECT_EQ(app.waitExit(30000), 0);
    // Its windows are no longer published for other processes to find.
    for (const auto& entry : std::filesystem::directory_iterator(ce::runDirectory() + "/wm"))
        EXPECT_NE(entry.path().filename().string().rfind(std::to_string(app.pid()) + "-", 0), 0u) << entry.path();
    EXPECT_EQ(readAll(kivo::sim::wifiDkCoreCallLog()), "102\n135 2\n135 0\n");
    EXPECT_TRUE(ce::reg::subKeys(Root::CurrentUser, "Comm\\EAPOL").empty());
}

} // namespace

namespace {

// A service that takes the probe's connection and never answers it.
class SilentService {
public:
    SilentService()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr {};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (m_fd >= 0 && ::bind(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 && ::listen(m_fd, 8) == 0) {
            socklen_t len = sizeof addr;
            ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&addr), &len);
            m_port = ntohs(addr.sin_port);
        }
    }
    ~SilentService()
    {
        for (int fd : m_taken)
            ::close(fd);
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int port() const { return m_port; }
    // Takes a connection, held open unanswered; false when none came in time.
    bool take(int timeoutMs)
    {
        pollfd p { m_fd, POLLIN, 0 };
        if (::poll(&p, 1, timeoutMs) <= 0)
            return false;
        int fd = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            return false;
        m_taken.push_back(fd);
        return true;
    }

private:
    int m_fd = -1;
    int m_port = 0;
    std::vector<int> m_taken;
};

TEST(KivoWiFiProgram, AProbeThatNeverAnswersDoesNotHoldUpTheExit)
{
    kivo::test::TempDeviceRoot root;
    SilentService silent;
    ASSERT_GT(silent.port(), 0);
    root.writeFile("\\SystemDrive\\sim\\wzc.json",
        "{ \"scanDelayMs\": 0, \"associationDelayMs\": 0, \"addressDelayMs\": 0, \"networks\": [\n"
        "  { \"ssid\": \"HomeNet\", \"privacy\": \"AES\", \"authentication\": \"WPA2PSK\", \"rssi\": -48,\n"
        "    \"key\": \"ridebikes\", \"address\": \"192.168.1.20\", \"mask\": \"255.255.255.0\",\n"
        "    \"gateway\": \"192.168.1.1\", \"dhcpServer\": \"192.168.1.1\" } ] }\n");
    root.writeFile("\\SystemDrive\\Falmo\\program\\wifi\\WiFiSettings.ini",
        "[Settings0]\nEncryption=Encryption 3 enabled\nAuthentication=WPA2 PSK\nKey%20index=Key index 1\n"
        "Network=HomeNet\nUser%20name=User\nPassword=ridebikes\n");
    // The probe's own time-out is a minute away: only the program can cut it short.
    root.writeFile("\\SystemDrive\\sim\\httptest.ini",
        "[hosts]\nws.kivoshare.com=127.0.0.1:" + std::to_string(silent.port()) + "\n[probe]\ntimeout_ms=60000\n");
    const std::string out = root.path() + "/out-";

    Child wifi("KivoWiFi", {}, out + "kivowifi.txt");
    ASSERT_TRUE(wifi.started());
    // The saved network is joined and the probe reaches the silent service.
    ASSERT_TRUE(silent.take(60000));
    ASSERT_TRUE(wifi.running());

    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(wmsg({ "post", "--class", "KivoWiFi", "0x422" }, out + "w.txt"), 0);
    auto alerted = std::chrono::steady_clock::now();
    EXPECT_EQ(wmsg({ "post", "--class", "KivoWiFi", "0x422" }, out + "w.txt"), 0);
    EXPECT_EQ(wifi.waitExit(30000), 0);
    // The exit ends 1.5 s after its alert; waiting for the hung probe took
    // tens of seconds. The bound leaves room for a loaded machine.
    EXPECT_LT(std::chrono::steady_clock::now() - alerted, std::chrono::seconds(6));
}

} // namespace
