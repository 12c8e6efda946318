// The names a program listens on are predictable, and abstract socket names
// carry no permissions: another account may take one first. The program
// then reports it and says nothing to the squatter.
#include "platform/debug.h"
#include "platform/device.h"
#include "platform/msgqueue.h"
#include "platform/wm.h"

#include "tests/platform/peer.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

namespace {

class LogCapture {
public:
    LogCapture()
    {
        m_hook = ce::addDebugOutputHook([this](const std::string& line) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_lines.push_back(line);
        });
    }
    ~LogCapture() { ce::removeDebugOutputHook(m_hook); }
    bool has(const std::string& text)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (const auto& l : m_lines)
            if (l.find(text) != std::string::npos)
                return true;
        return false;
    }

private:
    std::mutex m_mutex;
    std::vector<std::string> m_lines;
    int m_hook = 0;
};

// A process of another account that holds an endpoint name; empty when no
// other account can be taken here.
class Squatter {
public:
    Squatter(const std::string& kind, const std::string& name)
        : m_peer(kivo::test::startPeer({ "as-other-user", "squat", kind, name }))
    {
        m_ready = m_peer.readLine() == "squatting";
    }
    bool ready() const { return m_ready; }
    int exitCode() { return m_peer.wait(); }
    // What reached it, once it is told to end.
    std::string stop()
    {
        ::kill(m_peer.pid, SIGTERM);
        std::string line = m_peer.readLine();
        m_peer.wait();
        return line;
    }

private:
    kivo::test::Peer m_peer;
    bool m_ready = false;
};

#define SKIP_WITHOUT_ANOTHER_ACCOUNT(squatter)                                                                         \
    if (!(squatter).ready()) {                                                                                         \
        int code = (squatter).exitCode();                                                                              \
        if (code == 77)                                                                                                \
            GTEST_SKIP() << "needs root to act as another account";                                                    \
        FAIL() << "the squatter did not start (" << code << ")";                                                       \
    }

TEST(Squat, AQueueNameOfAnotherAccountIsReportedAndNeverWrittenTo)
{
    kivo::test::TempDeviceRoot root;
    Squatter squatter("mq", "antmsgqueue");
    SKIP_WITHOUT_ANOTHER_ACCOUNT(squatter);
    LogCapture log;
    ce::MSGQUEUEOPTIONS ro { sizeof ro, ce::MSGQUEUE_ALLOW_BROKEN, 0, 64, 1 };
    EXPECT_EQ(ce::createMsgQueue("ANTMSGQUEUE", &ro), nullptr);
    EXPECT_EQ(ce::getLastError(), ce::ERROR_ACCESS_DENIED);
    ce::MSGQUEUEOPTIONS wo { sizeof wo, ce::MSGQUEUE_ALLOW_BROKEN, 0, 64, 0 };
    ce::HANDLE w = ce::createMsgQueue("ANTMSGQUEUE", &wo);
    ASSERT_TRUE(w);
    EXPECT_FALSE(ce::writeMsgQueue(w, "secret", 6, 100, 0));
    EXPECT_EQ(ce::getLastError(), ce::ERROR_ACCESS_DENIED);
    ce::closeMsgQueue(w);
    EXPECT_TRUE(log.has("held by another account"));
    EXPECT_EQ(squatter.stop(), "received 0");
}

TEST(Squat, AWindowEndpointNameOfAnotherAccountIsReportedAndNeverTalkedTo)
{
    kivo::test::TempDeviceRoot root;
    Squatter squatter("wm", std::to_string(::getpid()));
    SKIP_WITHOUT_ANOTHER_ACCOUNT(squatter);
    LogCapture log;
    ce::HWND own = ce::createWindow("Mine", "mine", [](ce::HWND, ce::UINT, ce::WPARAM, ce::LPARAM) { return 0; });
    ASSERT_TRUE(own);
    EXPECT_TRUE(log.has("another account holds this process's endpoint name"));
    // A program of this account posting to the window does not reach it, and
    // does not talk to the squatter either.
    char hex[32];
    std::snprintf(hex, sizeof hex, "%llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(own)));
    kivo::test::Peer poster = kivo::test::startPeer({ "wm-post", hex });
    EXPECT_EQ(poster.readLine(), "posted 0 " + std::to_string(ce::ERROR_INVALID_WINDOW_HANDLE));
    poster.wait();
    EXPECT_EQ(squatter.stop(), "received 0");
    ce::destroyWindow(own);
}

TEST(Squat, ADeviceServedByAnotherAccountIsNotOpened)
{
    kivo::test::TempDeviceRoot root;
    // A root other accounts may write in, as a shared one would be.
    ::chmod(root.path().c_str(), 0755);
    std::string dev = root.path() + "/dev";
    ::mkdir(dev.c_str(), 0777);
    ::chmod(dev.c_str(), 0777);
    kivo::test::Peer server = kivo::test::startPeer({ "as-other-user", "device-serve", "SQT1:" });
    std::string line = server.readLine();
    if (line.empty() && server.wait() == 77)
        GTEST_SKIP() << "needs root to act as another account";
    ASSERT_EQ(line, "ready");
    LogCapture log;
    EXPECT_EQ(ce::openDevice("SQT1:", ce::GENERIC_READ | ce::GENERIC_WRITE), ce::INVALID_HANDLE_VALUE);
    EXPECT_EQ(ce::getLastError(), ce::ERROR_ACCESS_DENIED);
    EXPECT_TRUE(log.has("served by another account"));
    server.kill();
}

} // namespace
