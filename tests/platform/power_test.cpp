// Power notifications through message queues, in this process and from the
// wmsg tool; the device root's foreground window.
#include "platform/msgqueue.h"
#include "platform/paths.h"
#include "platform/power.h"
#include "platform/wm.h"
#include "platform/wm_internal.h"
#include "tests/platform/wm_test_util.h"
#include "tests/support/confined.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>
#include <string>

using namespace ce;

namespace {

struct Received {
    DWORD message = 0, flags = 0, length = 0;
    std::u16string name;
    DWORD bytes = 0;
};

HANDLE readQueue(const char* name, DWORD maxMessage)
{
    MSGQUEUEOPTIONS o { sizeof(MSGQUEUEOPTIONS), 0, 0, maxMessage, TRUE_ };
    return createMsgQueue(name, &o);
}

// One record, or nothing within the wait.
bool receive(HANDLE q, Received* r, DWORD waitMs = 0)
{
    unsigned char buffer[220] = {};
    DWORD bytes = 0, flags = 0;
    if (!readMsgQueue(q, buffer, sizeof buffer, &bytes, waitMs, &flags))
        return false;
    r->bytes = bytes;
    std::memcpy(&r->message, buffer, 4);
    std::memcpy(&r->flags, buffer + 4, 4);
    std::memcpy(&r->length, buffer + 8, 4);
    r->name.assign(reinterpret_cast<const char16_t*>(buffer + POWER_BROADCAST_HEADER));
    return true;
}

} // namespace

TEST(Power, RegisteredQueuesReceiveTheEventsTheyAskedFor)
{
    kivo::test::TempDeviceRoot root;
    HANDLE monitor = readQueue("MonitorSysPower", 44);
    HANDLE status = readQueue("StatusWatcher", 220);
    ASSERT_TRUE(monitor && status);
    HANDLE transitions = requestPowerNotifications(monitor, PBT_TRANSITION);
    HANDLE changes = requestPowerNotifications(status, PBT_POWERSTATUSCHANGE);
    ASSERT_TRUE(transitions && changes);

    EXPECT_EQ(notifyPower(PBT_TRANSITION, POWER_STATE_SUSPEND, "suspend"), 1);
    Received r;
    ASSERT_TRUE(receive(monitor, &r));
    EXPECT_EQ(r.message, PBT_TRANSITION);
    EXPECT_EQ(r.flags, POWER_STATE_SUSPEND);
    EXPECT_EQ(r.name, u"suspend");
    EXPECT_EQ(r.length, 16u);
    EXPECT_EQ(r.bytes, POWER_BROADCAST_HEADER + 16);
    EXPECT_FALSE(receive(status, &r)) << "a queue gets only what it asked for";

    // A name longer than the queue's largest message is cut to fit.
    EXPECT_EQ(notifyPower(PBT_TRANSITION, POWER_STATE_ON, "a-very-long-state-name-indeed"), 1);
    ASSERT_TRUE(receive(monitor, &r));
    EXPECT_EQ(r.bytes, 44u);
    EXPECT_EQ(r.name, u"a-very-long-sta");

    EXPECT_EQ(notifyPower(PBT_POWERSTATUSCHANGE, 0, ""), 1);
    ASSERT_TRUE(receive(status, &r));
    EXPECT_EQ(r.message, PBT_POWERSTATUSCHANGE);

    // Stopped: nothing more arrives.
    EXPECT_TRUE(stopPowerNotifications(transitions));
    EXPECT_FALSE(stopPowerNotifications(transitions));
    EXPECT_EQ(notifyPower(PBT_TRANSITION, POWER_STATE_SUSPEND, "suspend"), 0);
    EXPECT_FALSE(receive(monitor, &r));

    // Only a queue's read end can be registered.
    EXPECT_EQ(requestPowerNotifications(nullptr, PBT_TRANSITION), nullptr);
    EXPECT_EQ(requestPowerNotifications(transitions, PBT_TRANSITION), nullptr);
    stopPowerNotifications(changes);
    closeMsgQueue(monitor);
    closeMsgQueue(status);
}

TEST(Power, ARegistrationLeftByADeadProcessIsDroppedNotServedTwice)
{
    kivo::test::TempDeviceRoot root;
    HANDLE monitor = readQueue("MonitorSysPower", 44);
    ASSERT_TRUE(monitor);
    HANDLE live = requestPowerNotifications(monitor, PBT_TRANSITION);
    ASSERT_TRUE(live);

    // A process that registered the same queue and was killed before it could
    // take its registration back.
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ASSERT_GT(child, 0);
    ::waitpid(child, nullptr, 0);
    std::string folder;
    for (const auto& e : std::filesystem::recursive_directory_iterator(root.path()))
        if (e.is_regular_file() && e.path().filename().string().rfind(std::to_string(::getpid()) + "-", 0) == 0)
            folder = e.path().parent_path().string();
    ASSERT_FALSE(folder.empty()) << "the live registration's folder";
    const std::string dead = folder + "/" + std::to_string(child) + "-1";
    { std::ofstream(dead) << PBT_TRANSITION << "\t44\tMonitorSysPower\n"; }

    EXPECT_EQ(notifyPower(PBT_TRANSITION, POWER_STATE_ON, "on"), 1);
    Received r;
    EXPECT_TRUE(receive(monitor, &r));
    EXPECT_FALSE(receive(monitor, &r)) << "one event, once";
    EXPECT_FALSE(std::filesystem::exists(dead));
    stopPowerNotifications(live);
    closeMsgQueue(monitor);
}

// Each registration is written once: what a process killed while writing
// one left is taken away by the next sender, unless its writer still holds
// it.
TEST(Power, WhatKilledRegistrationsLeftGoesWithTheNextNotification)
{
    kivo::test::TempDeviceRoot root;
    const std::string folder = runDirectory() + "/power";
    std::filesystem::create_directories(folder);
    const std::string left = folder + "/77-1.77-3.tmp";
    const std::string held = folder + "/78-1.78-4.tmp";
    { std::ofstream(left) << "1\t44\tMonitor"; }
    { std::ofstream(held) << "1\t44\tMon"; }
    const int holder = ::open(held.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);

    EXPECT_EQ(notifyPower(PBT_TRANSITION, POWER_STATE_ON, "on"), 0);
    EXPECT_FALSE(std::filesystem::exists(left));
    EXPECT_TRUE(std::filesystem::exists(held)) << "a live writer's";
    ::close(holder);
}

// A registration is made whole or not at all: on a full disk an empty one
// would look made and never be sent anything.
TEST(Power, ARegistrationThatCannotBeWrittenIsRefused)
{
    kivo::test::TempDeviceRoot root;
    const int code = kivo::test::runConfined(root.path(), kivo::test::Confinement::FullDisk, [] {
        HANDLE monitor = readQueue("MonitorSysPower", 44);
        if (!monitor)
            return 1;
        if (requestPowerNotifications(monitor, PBT_TRANSITION) || getLastError() != ERROR_DISK_FULL)
            return 2;
        std::error_code ec;
        if (std::filesystem::directory_iterator(runDirectory() + "/power", ec) != std::filesystem::directory_iterator())
            return 3; // nothing is left behind
        return 0;
    });
    if (code == kivo::test::kCannotConfine)
        GTEST_SKIP() << "no namespaces to make a full disk in";
    EXPECT_EQ(0, code);
}

TEST(Power, WmsgNotifiesQueuesOfThisDeviceRoot)
{
    kivo::test::TempDeviceRoot root;
    HANDLE monitor = readQueue("MonitorSysPower", 44);
    ASSERT_TRUE(monitor);
    HANDLE n = requestPowerNotifications(monitor, POWER_NOTIFY_ALL);
    ASSERT_TRUE(n);
    struct Case {
        std::vector<std::string> args;
        DWORD message, flags;
    } cases[] = {
        { { "power", "suspend" }, PBT_TRANSITION, POWER_STATE_SUSPEND },
        { { "power", "0x120000" }, PBT_TRANSITION, 0x120000 },
        { { "power", "on", "2" }, PBT_RESUME, POWER_STATE_ON },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[1]);
        kivo::test::Child tool("wmsg", c.args);
        EXPECT_NE(tool.readLine(20000).find("to 1 queue"), std::string::npos);
        EXPECT_EQ(tool.wait(), 0);
        Received r;
        ASSERT_TRUE(receive(monitor, &r, 5000));
        EXPECT_EQ(r.message, c.message);
        EXPECT_EQ(r.flags, c.flags);
    }
    stopPowerNotifications(n);
    closeMsgQueue(monitor);
}

TEST(Foreground, TheLastWindowBroughtToTheFront)
{
    kivo::test::TempDeviceRoot root;
    EXPECT_EQ(getForegroundWindow(), nullptr);
    HWND a = createWindow("ForeA", "A", [](HWND, UINT, WPARAM, LPARAM) { return LRESULT(0); });
    HWND b = createWindow("ForeB", "B", [](HWND, UINT, WPARAM, LPARAM) { return LRESULT(0); });
    ASSERT_TRUE(a && b);
    EXPECT_TRUE(setForegroundWindow(a));
    EXPECT_EQ(getForegroundWindow(), a);
    EXPECT_TRUE(setForegroundWindow(b));
    EXPECT_EQ(getForegroundWindow(), b);
    // A window that is gone is no foreground window.
    destroyWindow(b);
    EXPECT_EQ(getForegroundWindow(), nullptr);
    destroyWindow(a);
}

// A change of the foreground window that cannot be written (a full disk)
// leaves the last one as it was instead of none.
TEST(Foreground, AChangeThatCannotBeWrittenKeepsTheLastOne)
{
    kivo::test::TempDeviceRoot root;
    HWND a = createWindow("ForeA", "A", [](HWND, UINT, WPARAM, LPARAM) { return LRESULT(0); });
    HWND b = createWindow("ForeB", "B", [](HWND, UINT, WPARAM, LPARAM) { return LRESULT(0); });
    ASSERT_TRUE(a && b);
    ASSERT_TRUE(setForegroundWindow(a));
    // Seen from a process of the full disk: this one's windows are another's.
    const int code = kivo::test::runConfined(root.path(), kivo::test::Confinement::FullDisk, [&] {
        wm::noteForeground(b);
        return getForegroundWindow() == a ? 0 : 1;
    });
    if (code == kivo::test::kCannotConfine)
        GTEST_SKIP() << "no namespaces to make a full disk in";
    EXPECT_EQ(0, code);
    destroyWindow(b);
    destroyWindow(a);
}
