// The browser stand-in, started the way KivoWiFi starts it, reporting to a
// window of this process.
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/wm.h"
#include "sim/zk_launcher/zk_launcher_sim.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

class ZkLauncher : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Place the built program where the device keeps the browser.
        std::string self = fs::read_symlink("/proc/self/exe").parent_path().string();
        std::string place = ce::resolvePath("\\SystemDrive\\Falmo\\program\\wifi\\browser\\zk_launcher", true);
        fs::create_symlink(self + "/zk_launcher", place);
        m_success = ce::registerWindowMessage(kivo::sim::BROWSER_LOGIN_SUCCESS_MESSAGE);
        m_unfinished = ce::registerWindowMessage(kivo::sim::BROWSER_LOGIN_UNFINISHED_MESSAGE);
        m_window = ce::createWindow("KivoWiFiFlow", "KivoWiFi", [this](ce::HWND, ce::UINT m, ce::WPARAM, ce::LPARAM) {
            if (m == m_success || m == m_unfinished)
                m_received.push_back(m);
            return ce::LRESULT(0);
        });
    }
    void TearDown() override { ce::destroyWindow(m_window); }

    void configure(const std::string& text) { root.writeFile(kivo::sim::ZK_LAUNCHER_CONFIG, text); }
    // Pumps until the browser's log holds `lines` lines.
    std::string runUntilLogged(size_t lines)
    {
        std::string log;
        for (int i = 0; i < 1000; ++i) {
            ce::pumpMessages();
            log = root.readFile(kivo::sim::ZK_LAUNCHER_LOG);
            if (size_t(std::count(log.begin(), log.end(), '\n')) >= lines)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        // A posted message may still be on its way.
        for (int i = 0; i < 50 && m_received.empty(); ++i) {
            ce::pumpMessages();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return log;
    }

    kivo::test::TempDeviceRoot root;
    ce::UINT m_success = 0, m_unfinished = 0;
    ce::HWND m_window = nullptr;
    std::vector<ce::UINT> m_received;
};

TEST_F(ZkLauncher, BroadcastsASuccessfulLoginByDefault)
{
    configure("[browser]\ndelay_ms=0\n");
    ASSERT_TRUE(ce::launchProcess(kivo::sim::ZK_LAUNCHER_DEVICE_PATH));
    std::string log = runUntilLogged(2);
    EXPECT_EQ(log, "started\nposted WM_BROWSER_EXIT_LOGIN_SUCESSFULLY to broadcast\n");
    EXPECT_EQ(m_received, std::vector<ce::UINT> { m_success });
}

TEST_F(ZkLauncher, PostsTheConfiguredResultToAWindowFoundByTitleOrClass)
{
    configure("[browser]\nresult = unfinished\ndelay_ms=50\ntarget=title:KivoWiFi\n");
    ASSERT_TRUE(ce::launchProcess(kivo::sim::ZK_LAUNCHER_DEVICE_PATH));
    EXPECT_EQ(runUntilLogged(2), "started\nposted WM_BROWSER_EXIT_LOGIN_UNFINISHED to title:KivoWiFi\n");
    EXPECT_EQ(m_received, std::vector<ce::UINT> { m_unfinished });

    m_received.clear();
    fs::remove(ce::resolvePath(kivo::sim::ZK_LAUNCHER_LOG));
    configure("result=success\ndelay_ms=0\ntarget=class:NoSuchWindow\n");
    ASSERT_TRUE(ce::launchProcess(kivo::sim::ZK_LAUNCHER_DEVICE_PATH));
    EXPECT_EQ(runUntilLogged(2),
        "started\nnot posted WM_BROWSER_EXIT_LOGIN_SUCESSFULLY to class:NoSuchWindow: no such window\n");
    EXPECT_TRUE(m_received.empty());
}

TEST_F(ZkLauncher, NoneAndUnknownResultsPostNothing)
{
    configure("result=none\ndelay_ms=0\n");
    ASSERT_TRUE(ce::launchProcess(kivo::sim::ZK_LAUNCHER_DEVICE_PATH));
    EXPECT_EQ(runUntilLogged(2), "started\nnothing posted\n");
    fs::remove(ce::resolvePath(kivo::sim::ZK_LAUNCHER_LOG));
    configure("result=maybe\ndelay_ms=0\n");
    ASSERT_TRUE(ce::launchProcess(kivo::sim::ZK_LAUNCHER_DEVICE_PATH));
    EXPECT_EQ(runUntilLogged(2), "started\nunknown result 'maybe': nothing posted\n");
    EXPECT_TRUE(m_received.empty());
}

} // namespace
