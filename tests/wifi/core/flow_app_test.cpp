// The application object with its message filter, in the test process: the
// flow's window gets messages from another thread as it would from another
// program, and left-button presses on the window are broadcast.
#include "wifi/core/KivoWiFiFlow.h"
#include "wifi/core/WifiApplication.h"

#include "platform/paths.h"
#include "platform/sync.h"
#include "sim/wzc/wzc_sim.h"
#include "tests/support/temp_root.h"
#include "tests/wifi/core/flow_test_support.h"

#include <QMouseEvent>
#include <QThread>
#include <QWindow>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

std::vector<int> g_exitCodes;
// The flow under test, and whether its wireless event thread still ran when
// the program was told to end.
KivoWiFiFlow* g_flow = nullptr;
bool g_eventThreadRanAtExit = false;

// A top-level window on a thread of its own that counts one message.
class Listener {
public:
    explicit Listener(ce::UINT message)
        : m_message(message)
    {
        m_thread = std::thread([this] {
            m_window = ce::createWindow(
                "FlowAppListener", "FlowAppListener", [this](ce::HWND, ce::UINT m, ce::WPARAM, ce::LPARAM) {
                    if (m == m_message)
                        ++m_count;
                    if (m == ce::WM_CLOSE)
                        ce::postQuitMessage(0);
                    return ce::LRESULT(0);
                });
            m_ready = true;
            ce::MSG msg;
            while (ce::getMessage(&msg, nullptr, 0, 0) > 0)
                ce::dispatchMessage(&msg);
            ce::destroyWindow(m_window);
        });
        while (!m_ready)
            ce::sleep(5);
    }
    ~Listener()
    {
        ce::postMessage(m_window, ce::WM_CLOSE, 0, 0);
        m_thread.join();
    }
    int count() const { return m_count; }

private:
    ce::UINT m_message;
    std::atomic<ce::HWND> m_window { nullptr };
    std::atomic<bool> m_ready { false };
    std::atomic<int> m_count { 0 };
    std::thread m_thread;
};

class FlowAppTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "flow_app_test";
        static char* argv[] = { name, nullptr };
        // One device root for the whole suite: the filter registers its
        // message names once, with the application.
        root = new kivo::test::TempDeviceRoot;
        app = new WifiApplication(argc, argv);
        CMyConfigWiFi::setDelayScaleForTests(0.001);
        KivoWiFiFlow::setProcessExitHandler([](int code) {
            g_exitCodes.push_back(code);
            g_eventThreadRanAtExit = g_flow && g_flow->configWiFi().isRunning();
        });
    }
    static void TearDownTestSuite()
    {
        delete app;
        app = nullptr;
        delete root;
        root = nullptr;
    }

    void SetUp() override
    {
        ce::setProgramDirectory("\\SystemDrive\\Falmo\\program\\wifi");
        // Each test starts without saved networks.
        std::remove(ce::resolvePath("\\SystemDrive\\Falmo\\program\\wifi\\WiFiSettings.ini").c_str());
        g_exitCodes.clear();
        flow.reset(new KivoWiFiFlow);
        g_flow = flow.get();
        flow->setAttribute(Qt::WA_DeleteOnClose, false);
        flow->Start();
    }
    void TearDown() override
    {
        g_flow = nullptr;
        flow.reset();
    }

    static WifiApplication* app;
    static kivo::test::TempDeviceRoot* root;
    std::unique_ptr<KivoWiFiFlow> flow;
};

WifiApplication* FlowAppTest::app = nullptr;
kivo::test::TempDeviceRoot* FlowAppTest::root = nullptr;

TEST_F(FlowAppTest, LeftButtonPressOnTheWindowIsBroadcast)
{
    Listener listener(ce::registerWindowMessage("WM_TOUCHEVENT_MOUSE_LBUTTONDOWN"));
    ASSERT_NE(flow->windowHandle(), nullptr);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(20, 30), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(flow->windowHandle(), &press);
    QMouseEvent right(QEvent::MouseButtonPress, QPointF(20, 30), Qt::RightButton, Qt::RightButton, Qt::NoModifier);
    QCoreApplication::sendEvent(flow->windowHandle(), &right);
    EXPECT_TRUE(kivo::test::pumpEventsUntil([&] { return listener.count() == 1; }, 5000));
    QThread::msleep(100);
    EXPECT_EQ(listener.count(), 1);
}

TEST_F(FlowAppTest, FourthHardwareKeyOnSearchingEndsTheProgram)
{
    ASSERT_EQ(flow->currentViewId(), SEARCHING_VIEW_ID);
    ce::HWND window = flow->flowWindow();
    std::thread sender([window] {
        for (int i = 0; i < 3; ++i)
            ce::postMessage(window, 0x422, 0, 0);
    });
    sender.join();
    kivo::test::pumpEventsUntil([&] { return app->messageFilter().keyCount() == 3; }, 5000);
    EXPECT_EQ(app->messageFilter().keyCount(), 3);
    EXPECT_EQ(flow->currentViewId(), SEARCHING_VIEW_ID);

    ASSERT_TRUE(flow->configWiFi().isRunning()); // the wireless event thread, to be stopped at the end
    std::thread fourth([window] { ce::postMessage(window, 0x422, 0, 0); });
    fourth.join();
    ASSERT_TRUE(kivo::test::pumpEventsUntil([] { return !g_exitCodes.empty(); }, 10000));
    EXPECT_EQ(g_exitCodes, std::vector<int> { 0 });
    EXPECT_FALSE(g_eventThreadRanAtExit);
    EXPECT_EQ(flow->currentViewId(), ALERT_VIEW_ID);
    EXPECT_EQ(flow->alertType(), ALERT_TYPE_EXIT);
}

TEST_F(FlowAppTest, BrowserLoginMessages)
{
    ce::HWND window = flow->flowWindow();
    flow->setLoginPending(true);
    flow->setScreenShown(true);
    std::thread([window] {
        ce::postMessage(window, ce::registerWindowMessage("WM_BROWSER_EXIT_LOGIN_UNFINISHED"), 0, 0);
    }).join();
    ASSERT_TRUE(kivo::test::pumpEventsUntil([&] { return !flow->isLoginPending(); }, 5000));
    EXPECT_FALSE(flow->isScreenShown());
    EXPECT_EQ(flow->loginResult(), 0);

    std::thread([window] {
        ce::postMessage(window, ce::registerWindowMessage("WM_BROWSER_EXIT_LOGIN_SUCESSFULLY"), 0, 0);
    }).join();
    ASSERT_TRUE(kivo::test::pumpEventsUntil([&] { return flow->currentViewId() == SYNC_VIEW_ID; }, 5000));
    EXPECT_EQ(flow->loginResult(), 1);
}

TEST_F(FlowAppTest, PortalLoginOnSearchingNotesTheJoinedNetworksIndex)
{
    auto loginFinished = [&] {
        flow->setLoginPending(true);
        ce::HWND window = flow->flowWindow();
        std::thread([window] {
            ce::postMessage(window, ce::registerWindowMessage("WM_BROWSER_EXIT_LOGIN_SUCESSFULLY"), 0, 0);
        }).join();
        return kivo::test::pumpEventsUntil([&] { return flow->currentViewId() == SYNC_VIEW_ID; }, 5000);
    };

    // A network in range when saved: the index the searching screen noted for
    // the slot being joined.
    ASSERT_EQ(flow->currentViewId(), SEARCHING_VIEW_ID);
    flow->setSavedNetworkCursor(2);
    flow->setSlotVisibleIndex(2, 3);
    flow->setWiFiSettings({ "Encryption 3 enabled", "WPA2 PSK", "Key index 1", "Cafe", "User", "pw" });
    ASSERT_TRUE(loginFinished());
    EXPECT_EQ(flow->savedAPIndex(), 3);
    EXPECT_EQ(flow->currentNetworkIndex(), -1); // the status poll's, untouched

    // A network saved while hidden: found by name in the scan.
    root->writeFile(kivo::sim::wzc::kWorldFile,
        R"({ "adapter": { "name": "WLAN1" }, "scanDelayMs": 10, "networks": [
             { "ssid": "Other", "privacy": "none", "authentication": "Open" },
             { "ssid": "Tucked", "privacy": "none", "authentication": "Open" } ] })");
    kivo::sim::wzc::reload();
    flow.reset();
    flow.reset(new KivoWiFiFlow);
    flow->setAttribute(Qt::WA_DeleteOnClose, false);
    flow->Start();
    bool scanned = kivo::test::pumpEventsUntil(
        [&] {
            flow->configWiFi().refreshVisibleList();
            return flow->getAPCount() == 2;
        },
        10000);
    std::remove(ce::resolvePath(kivo::sim::wzc::kWorldFile).c_str());
    kivo::sim::wzc::reload();
    ASSERT_TRUE(scanned);
    flow->setWiFiSettings({ "Encryption 1 enabled", "Open", "Key index 1", "Tucked", "Hidden", "0" });
    ASSERT_TRUE(loginFinished());
    EXPECT_EQ(flow->savedAPIndex(), 1);
}

TEST_F(FlowAppTest, ASuccessfulPortalLoginSavesTheNetworkAndANewFlowReadsItBack)
{
    WiFiSettings portal { "Encryption 3 enabled", "WPA2 PSK", "Key index 1", "PortalNet", "User", "secret-pass" };
    flow->setWiFiSettings(portal);
    ce::HWND window = flow->flowWindow();
    std::thread([window] {
        ce::postMessage(window, ce::registerWindowMessage("WM_BROWSER_EXIT_LOGIN_SUCESSFULLY"), 0, 0);
    }).join();
    ASSERT_TRUE(kivo::test::pumpEventsUntil([&] { return flow->currentViewId() == SYNC_VIEW_ID; }, 5000));
    EXPECT_EQ(flow->savedSettings(0).network, "PortalNet");
    EXPECT_TRUE(flow->hasSavedNetworks());

    // The constructor reads the saved networks: a later start joins from them.
    flow.reset();
    flow.reset(new KivoWiFiFlow);
    flow->setAttribute(Qt::WA_DeleteOnClose, false);
    EXPECT_TRUE(flow->hasSavedNetworks());
    WiFiSettings saved = flow->savedSettings(0);
    EXPECT_EQ(saved.network, "PortalNet");
    EXPECT_EQ(saved.password, "secret-pass");
    EXPECT_EQ(saved.userName, "Hidden"); // not in the (empty) scan when it was saved
    EXPECT_EQ(flow->savedSettings(1).network, kivowifi::PLACEHOLDER_TEXT);
}

} // namespace
