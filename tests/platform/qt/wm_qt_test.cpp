// Window messages reaching a Qt program: from its event loop through the
// pump and the thread's filter, and from a blocking wait that pumps.
#include "platform/qt/qt_message_pump.h"
#include "platform/sync.h"
#include "platform/wm.h"
#include "tests/platform/wm_test_util.h"
#include "tests/support/temp_root.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

using namespace ce;
using kivo::test::Child;

namespace {

std::string hex(HWND h)
{
    char b[32];
    std::snprintf(b, sizeof b, "0x%llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(h)));
    return b;
}

class WmQt : public ::testing::Test {
protected:
    kivo::test::TempDeviceRoot root;
    int argc = 1;
    char name[8] = "wm_qt";
    char* argv[2] = { name, nullptr };
    std::unique_ptr<QApplication> app { new QApplication(argc, argv) };
    std::vector<MSG> filtered;
    std::vector<UINT> procGot;
    HWND window = nullptr;

    void SetUp() override
    {
        ASSERT_NE(nullptr, kivo::QtMessagePump::install(app.get()));
        window = createWindow("QtProgram", "qt program", [this](HWND, UINT m, WPARAM, LPARAM) -> LRESULT {
            procGot.push_back(m);
            return 0;
        });
    }
    void TearDown() override
    {
        setThreadMessageFilter(nullptr);
        destroyWindow(window);
        app.reset();
    }
    // Runs the event loop until it quits, failing after a long bound.
    int exec()
    {
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
        guard.start(20000);
        return app->exec();
    }
};

TEST_F(WmQt, AFilterInTheEventLoopSeesAnotherProcesssMessages)
{
    const UINT handled = registerWindowMessage("WM_BROWSER_EXIT_LOGIN_SUCESSFULLY");
    const UINT passed = registerWindowMessage("WM_BROWSER_EXIT_LOGIN_UNFINISHED");
    setThreadMessageFilter([&](const MSG& m) {
        filtered.push_back(m);
        if (m.message == passed)
            QCoreApplication::exit(0);
        return m.message == handled;
    });
    std::unique_ptr<Child> poster;
    QTimer::singleShot(0, [&] {
        // Another program posts while this one sits in its event loop.
        poster = std::make_unique<Child>("wmsg",
            std::vector<std::string> { "post", "--class", "QtProgram", "WM_BROWSER_EXIT_LOGIN_SUCESSFULLY", "4", "5" });
        poster->wait();
        poster = std::make_unique<Child>(
            "wmsg", std::vector<std::string> { "post", "--hwnd", hex(window), "WM_BROWSER_EXIT_LOGIN_UNFINISHED" });
        poster->wait();
    });
    EXPECT_EQ(0, exec());
    ASSERT_EQ(2u, filtered.size());
    EXPECT_EQ(handled, filtered[0].message);
    EXPECT_EQ(window, filtered[0].hwnd);
    EXPECT_EQ(4u, filtered[0].wParam);
    EXPECT_EQ(5, filtered[0].lParam);
    EXPECT_EQ(passed, filtered[1].message);
    EXPECT_EQ(std::vector<UINT> { passed }, procGot); // the handled one never reached the window
}

TEST_F(WmQt, APumpInsideABlockingWaitDispatches)
{
    const UINT msg = registerWindowMessage("WM_KIVOWIFI_NOTIFY_STATUS");
    bool dispatched = false;
    QTimer::singleShot(0, [&] {
        // A wait that blocks the event loop, pumping window messages as it goes.
        Child poster("wmsg", { "post", "--hwnd", hex(window), "WM_KIVOWIFI_NOTIFY_STATUS", "1" });
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::find(procGot.begin(), procGot.end(), msg) == procGot.end()
            && std::chrono::steady_clock::now() < deadline) {
            pumpMessages();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        dispatched = std::find(procGot.begin(), procGot.end(), msg) != procGot.end();
        QCoreApplication::exit(0);
    });
    EXPECT_EQ(0, exec());
    EXPECT_TRUE(dispatched);
}

TEST_F(WmQt, ForegroundFromAnotherProcessRaisesTheBoundWidget)
{
    QWidget widget;
    kivo::QtWindowBinding::bind(window, &widget);
    bool activated = false;
    setThreadMessageFilter([&](const MSG& m) {
        if (m.message == WM_ACTIVATE && m.wParam == WA_ACTIVE) {
            activated = true;
            QCoreApplication::exit(0);
        }
        return false;
    });
    EXPECT_FALSE(widget.isVisible());
    std::unique_ptr<Child> tool;
    QTimer::singleShot(0, [&] {
        tool = std::make_unique<Child>("wmsg", std::vector<std::string> { "front", "--title", "qt program" });
    });
    EXPECT_EQ(0, exec());
    EXPECT_EQ(0, tool->wait());
    EXPECT_TRUE(activated);
    EXPECT_TRUE(widget.isVisible());

    showWindow(window, SW_HIDE);
    EXPECT_FALSE(widget.isVisible());
    kivo::QtWindowBinding::unbind(window);
}

TEST_F(WmQt, QuitPostedToTheGuiThreadEndsTheEventLoop)
{
    DWORD gui = getCurrentThreadId();
    std::thread other;
    QTimer::singleShot(0, [&] { other = std::thread([gui] { postThreadMessage(gui, WM_QUIT, 6, 0); }); });
    EXPECT_EQ(6, exec());
    other.join();

    // Another thread has no application loop for a pump to live in.
    kivo::QtMessagePump* elsewhere = kivo::QtMessagePump::current();
    std::thread([&] { elsewhere = kivo::QtMessagePump::install(app.get()); }).join();
    EXPECT_EQ(nullptr, elsewhere);
}

} // namespace
