// Window messages within one process: windows, registered ids, queues, sends
// between threads, filters, pumping.
#include "platform/paths.h"
#include "platform/sync.h"
#include "platform/wm.h"
#include "tests/platform/wm_test_util.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <set>
#include <thread>

using namespace ce;
using kivo::test::pumpUntil;

namespace {

struct Received {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD threadId;
};

// A window that records what reaches its procedure and answers w + l.
struct Recorder {
    std::vector<Received> got;
    HWND create(const std::string& cls, const std::string& title, bool top = true)
    {
        return createWindow(
            cls, title,
            [this](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
                got.push_back({ h, m, w, l, getCurrentThreadId() });
                return LRESULT(w + WPARAM(l));
            },
            top);
    }
};

// A thread that owns one window and runs a plain message loop until quit.
class WindowThread {
public:
    explicit WindowThread(WindowProc proc, const std::string& title = "worker")
    {
        m_thread = std::thread([this, proc, title] {
            m_threadId = getCurrentThreadId();
            m_hwnd = createWindow("Worker", title, proc);
            m_ready = true;
            MSG msg;
            while (getMessage(&msg, nullptr, 0, 0) > 0)
                dispatchMessage(&msg);
            destroyWindow(m_hwnd);
        });
        while (!m_ready)
            std::this_thread::yield();
    }
    ~WindowThread()
    {
        postThreadMessage(m_threadId, WM_QUIT, 0, 0);
        m_thread.join();
    }
    HWND hwnd() const { return m_hwnd; }
    DWORD threadId() const { return m_threadId; }

private:
    std::thread m_thread;
    std::atomic<bool> m_ready { false };
    HWND m_hwnd = nullptr;
    DWORD m_threadId = 0;
};

class WmLocal : public ::testing::Test {
protected:
    kivo::test::TempDeviceRoot root;
};

TEST_F(WmLocal, RegisteredIdsAreStableCaseInsensitiveAndNamed)
{
    UINT a = registerWindowMessage("WM_KIVOWIFI_NOTIFY_STATUS");
    UINT b = registerWindowMessage("WM_BTIN_REGISTER");
    EXPECT_GE(a, 0xC000u);
    EXPECT_GE(b, 0xC000u);
    EXPECT_NE(a, b);
    EXPECT_EQ(a, registerWindowMessage("WM_KIVOWIFI_NOTIFY_STATUS"));
    EXPECT_EQ(a, registerWindowMessage("wm_kivowifi_notify_status"));
    EXPECT_EQ("WM_BTIN_REGISTER", getRegisteredMessageName(b));
    EXPECT_EQ("", getRegisteredMessageName(0xFFFF));
    EXPECT_EQ("", getRegisteredMessageName(WM_COPYDATA));

    for (const std::string& bad : { std::string(), std::string("two\nlines"), std::string(256, 'x') }) {
        EXPECT_EQ(0u, registerWindowMessage(bad)) << bad.size();
        EXPECT_EQ(ERROR_INVALID_PARAMETER, getLastError());
    }
}

TEST_F(WmLocal, RegisteredIdsAgreeAcrossRacingThreads)
{
    std::vector<std::string> names;
    for (int i = 0; i < 40; ++i)
        names.push_back("race-" + std::to_string(i));
    std::vector<std::vector<UINT>> ids(4);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 40; ++i) {
                int k = (t % 2) ? 39 - i : i; // half the threads in reverse order
                ids[t].resize(40);
                ids[t][k] = registerWindowMessage(names[k]);
            }
        });
    for (auto& th : threads)
        th.join();
    std::set<UINT> distinct(ids[0].begin(), ids[0].end());
    EXPECT_EQ(40u, distinct.size());
    for (int t = 1; t < 4; ++t)
        EXPECT_EQ(ids[0], ids[t]);
}

TEST_F(WmLocal, ARegistrationWaitsForAHeldNamesLockOnlySoLong)
{
    UINT known = registerWindowMessage("known");
    // Held as a process stopped half-way through a registration holds it.
    int fd = ::open((runDirectory() + "/wm-messages").c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(0, ::flock(fd, LOCK_EX));
    setRegisteredNamesLockWaitForTests(100);
    EXPECT_EQ(0u, registerWindowMessage("unknown"));
    EXPECT_EQ(ERROR_SHARING_VIOLATION, getLastError());
    EXPECT_EQ(known, registerWindowMessage("known")); // already known here: no lock needed
    ::close(fd);
    EXPECT_NE(0u, registerWindowMessage("unknown"));
    setRegisteredNamesLockWaitForTests(0);
}

TEST_F(WmLocal, NamesFileWithAnUnterminatedLastLineKeepsEveryId)
{
    // A writer that died half-way leaves "first\nsecond" without the newline.
    std::ofstream(runDirectory() + "/wm-messages") << "first\nsecond";
    EXPECT_EQ(0xC001u, registerWindowMessage("second"));
    EXPECT_EQ(0xC002u, registerWindowMessage("third"));
    EXPECT_EQ(0xC000u, registerWindowMessage("FIRST"));
    EXPECT_EQ("third", getRegisteredMessageName(0xC002));
}

TEST_F(WmLocal, FindWindowByClassTitleOrBoth)
{
    Recorder r;
    HWND map = r.create("KivoMap", "Map window");
    HWND other = r.create("Other", "KivoMap");
    HWND child = r.create("ChildOnly", "inner", false);
    ASSERT_TRUE(map && other && child);

    struct Case {
        const char* cls;
        const char* title;
        HWND expected;
    } cases[] = {
        { "KivoMap", nullptr, map },
        { "kivomap", nullptr, map },
        { nullptr, "KivoMap", other },
        { "Other", "KivoMap", other },
        { "KivoMap", "KivoMap", nullptr },
        { "Nothing", nullptr, nullptr },
        { nullptr, "inner", child },
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, findWindow(c.cls, c.title))
            << (c.cls ? c.cls : "(any)") << " / " << (c.title ? c.title : "(any)");

    EXPECT_EQ("Map window", getWindowTitle(map));
    EXPECT_EQ("KivoMap", getWindowClass(map));
    EXPECT_EQ(getCurrentProcessId(), getWindowProcessId(map));
    auto tops = enumTopLevelWindows();
    EXPECT_EQ(2, std::count(tops.begin(), tops.end(), map) + std::count(tops.begin(), tops.end(), other));
    EXPECT_EQ(0, std::count(tops.begin(), tops.end(), child));

    EXPECT_TRUE(destroyWindow(map));
    EXPECT_FALSE(isWindow(map));
    EXPECT_EQ(nullptr, findWindow("KivoMap", nullptr));
    EXPECT_FALSE(destroyWindow(map));
    destroyWindow(other);
    destroyWindow(child);
}

TEST_F(WmLocal, PostedMessagesArriveInOrderWithTheirParameters)
{
    Recorder r;
    HWND h = r.create("C", "T");
    EXPECT_TRUE(postMessage(h, WM_NULL, 1, -1)); // message 0 is a message like any other
    EXPECT_TRUE(postMessage(h, WM_USER + 5, ~WPARAM(0), LPARAM(INTPTR_MIN)));
    EXPECT_TRUE(postMessage(h, 0xC123, 3, 4));
    MSG msg;
    for (int i = 0; i < 3; ++i) {
        ASSERT_GT(getMessage(&msg, nullptr, 0, 0), 0);
        EXPECT_EQ(h, msg.hwnd);
        dispatchMessage(&msg);
    }
    ASSERT_EQ(3u, r.got.size());
    EXPECT_EQ(WM_NULL, r.got[0].message);
    EXPECT_EQ(-1, r.got[0].lParam);
    EXPECT_EQ(WM_USER + 5, r.got[1].message);
    EXPECT_EQ(~WPARAM(0), r.got[1].wParam);
    EXPECT_EQ(LPARAM(INTPTR_MIN), r.got[1].lParam);
    EXPECT_EQ(0xC123u, r.got[2].message);
    EXPECT_FALSE(peekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
    destroyWindow(h);
}

TEST_F(WmLocal, PostFailsCleanlyForDeadWindowsAndRecords)
{
    Recorder r;
    HWND h = r.create("C", "T");
    EXPECT_TRUE(postMessage(h, WM_USER, 1, 2));
    destroyWindow(h); // takes the pending message with it
    MSG msg;
    EXPECT_FALSE(peekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_FALSE(postMessage(h, WM_USER, 0, 0));
    EXPECT_EQ(ERROR_INVALID_WINDOW_HANDLE, getLastError());
    EXPECT_EQ(0, sendMessage(h, WM_USER, 1, 1));
    EXPECT_EQ(ERROR_INVALID_WINDOW_HANDLE, getLastError());
    // A process id that names no process of this root.
    HWND stray = reinterpret_cast<HWND>(uintptr_t(0x7FFFFFF0ull << 32 | 1));
    EXPECT_FALSE(postMessage(stray, WM_USER, 0, 0));
    EXPECT_EQ(0, sendMessage(stray, WM_USER, 0, 0));
    EXPECT_FALSE(isWindow(stray));

    HWND live = r.create("C", "T");
    COPYDATASTRUCT cds { 1, 0, nullptr };
    EXPECT_FALSE(postMessage(live, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds))); // a record cannot be posted
    EXPECT_EQ(ERROR_INVALID_PARAMETER, getLastError());
    EXPECT_FALSE(postMessage(live, 0x10000, 0, 0));
    destroyWindow(live);
    EXPECT_TRUE(r.got.size() == 2 && r.got[0].message == WM_DESTROY); // the first window's, then the second's
}

TEST_F(WmLocal, GetAndPeekHonourFiltersAndQuit)
{
    Recorder r;
    HWND a = r.create("A", "a");
    HWND b = r.create("B", "b");
    postMessage(a, WM_USER + 1, 0, 0);
    postMessage(b, WM_USER + 2, 0, 0);
    postMessage(a, WM_USER + 3, 0, 0);
    MSG msg;
    ASSERT_TRUE(peekMessage(&msg, b, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(WM_USER + 2, msg.message);
    ASSERT_TRUE(peekMessage(&msg, nullptr, WM_USER + 3, WM_USER + 3, PM_REMOVE));
    EXPECT_EQ(WM_USER + 3, msg.message);
    ASSERT_GT(getMessage(&msg, b, 0, 0), 0);
    EXPECT_EQ(WM_USER + 2, msg.message);
    postQuitMessage(7);
    ASSERT_GT(getMessage(&msg, nullptr, 0, 0), 0); // posted messages come before quit
    EXPECT_EQ(WM_USER + 1, msg.message);
    EXPECT_EQ(0, getMessage(&msg, nullptr, 0, 0));
    EXPECT_EQ(WM_QUIT, msg.message);
    EXPECT_EQ(7u, msg.wParam);
    EXPECT_EQ(-1, getMessage(&msg, reinterpret_cast<HWND>(uintptr_t(1)), 0, 0));
    destroyWindow(a);
    destroyWindow(b);
}

TEST_F(WmLocal, SendRunsOnTheOwnerThreadAndReturnsItsResult)
{
    std::atomic<DWORD> handlerThread { 0 };
    WindowThread worker([&](HWND, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        if (m == WM_USER) {
            handlerThread = getCurrentThreadId();
            return LRESULT(w) * 10 + l;
        }
        return 0;
    });
    EXPECT_EQ(42, sendMessage(worker.hwnd(), WM_USER, 4, 2));
    EXPECT_EQ(worker.threadId(), handlerThread.load());
    EXPECT_NE(getCurrentThreadId(), handlerThread.load());

    // On the owner's own thread the handler runs at once; an error it leaves
    // behind is its own, not a failed send.
    HWND gone = createWindow("Gone", "gone", nullptr);
    destroyWindow(gone);
    HWND own = createWindow("Own", "own", [&](HWND, UINT, WPARAM w, LPARAM) -> LRESULT {
        postMessage(gone, WM_USER, 0, 0);
        return LRESULT(w);
    });
    LRESULT result = 0;
    EXPECT_TRUE(sendMessageTimeout(own, WM_USER, 8, 0, 1000, &result));
    EXPECT_EQ(8, result);
    destroyWindow(own);
}

TEST_F(WmLocal, CopyDataIsCopiedForTheHandlingAndBounded)
{
    std::vector<unsigned char> seen;
    const void* seenAt = nullptr;
    uintptr_t seenTag = 0;
    bool sawNull = false;
    WindowThread worker([&](HWND, UINT m, WPARAM, LPARAM l) -> LRESULT {
        if (m != WM_COPYDATA)
            return 0;
        auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(l);
        if (!cds) {
            sawNull = true;
            return -1;
        }
        seenAt = cds->lpData;
        seenTag = cds->dwData;
        auto* p = static_cast<const unsigned char*>(cds->lpData);
        seen.assign(p, p + cds->cbData);
        return LRESULT(cds->cbData);
    });
    std::vector<unsigned char> record(1560);
    for (size_t i = 0; i < record.size(); ++i)
        record[i] = static_cast<unsigned char>(i * 7);
    COPYDATASTRUCT cds { 0xC0DE, DWORD(record.size()), record.data() };
    EXPECT_EQ(1560, sendMessage(worker.hwnd(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds)));
    EXPECT_EQ(record, seen);
    EXPECT_NE(static_cast<const void*>(record.data()), seenAt);
    EXPECT_EQ(0xC0DEu, seenTag);

    EXPECT_EQ(-1, sendMessage(worker.hwnd(), WM_COPYDATA, 0, 0));
    EXPECT_TRUE(sawNull);

    COPYDATASTRUCT empty { 5, 0, nullptr };
    EXPECT_EQ(0, sendMessage(worker.hwnd(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&empty)));
    EXPECT_EQ(nullptr, seenAt);

    std::vector<unsigned char> big(MAX_COPYDATA_BYTES + 1);
    COPYDATASTRUCT tooBig { 1, DWORD(big.size()), big.data() };
    seen.clear();
    EXPECT_EQ(0, sendMessage(worker.hwnd(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&tooBig)));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, getLastError());
    EXPECT_TRUE(seen.empty());
    COPYDATASTRUCT noData { 1, 10, nullptr };
    EXPECT_EQ(0, sendMessage(worker.hwnd(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&noData)));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, getLastError());
}

TEST_F(WmLocal, ASendWithATimeoutIsWithdrawnWhenTheOwnerDoesNotPump)
{
    std::atomic<bool> release { false };
    std::atomic<int> handled { 0 };
    std::atomic<HWND> h { nullptr };
    std::thread owner([&] {
        h = createWindow("Busy", "busy", [&](HWND, UINT m, WPARAM, LPARAM) -> LRESULT {
            handled += m == WM_USER;
            return 1;
        });
        while (!release)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        pumpMessages(); // the withdrawn send is not run any more
        destroyWindow(h);
    });
    while (!h)
        std::this_thread::yield();
    LRESULT result = -1;
    EXPECT_FALSE(sendMessageTimeout(h, WM_USER, 0, 0, 50, &result));
    EXPECT_EQ(ERROR_TIMEOUT, getLastError());
    release = true;
    owner.join();
    EXPECT_EQ(0, handled.load());
}

TEST_F(WmLocal, ThreadsSendingToEachOtherDoNotDeadlock)
{
    const UINT ping = WM_USER + 1, pong = WM_USER + 2;
    HWND mine = nullptr;
    std::atomic<int> pongs { 0 };
    mine = createWindow("Main", "main", [&](HWND, UINT m, WPARAM w, LPARAM) -> LRESULT {
        if (m == pong) {
            ++pongs;
            return LRESULT(w) + 1;
        }
        return 0;
    });
    WindowThread worker([&](HWND, UINT m, WPARAM w, LPARAM) -> LRESULT {
        // While the main thread waits for this answer it must run our send.
        if (m == ping)
            return sendMessage(mine, pong, w, 0) * 2;
        return 0;
    });
    EXPECT_EQ(22, sendMessage(worker.hwnd(), ping, 10, 0));
    EXPECT_EQ(1, pongs.load());
    destroyWindow(mine);
}

TEST_F(WmLocal, FilterSeesPostedAndSentMessagesAndCanSwallowThem)
{
    Recorder r;
    HWND h = r.create("C", "T");
    std::vector<UINT> filtered;
    setThreadMessageFilter([&](const MSG& m) {
        filtered.push_back(m.message);
        return m.message == WM_USER + 1; // handled here
    });
    postMessage(h, WM_USER + 1, 0, 0);
    postMessage(h, WM_USER + 2, 0, 0);
    postThreadMessage(getCurrentThreadId(), WM_USER + 3, 0, 0);
    pumpMessages();
    EXPECT_EQ(0, sendMessage(h, WM_USER + 1, 5, 5)); // swallowed: never reaches the window
    EXPECT_EQ(10, sendMessage(h, WM_USER + 4, 5, 5));
    EXPECT_EQ((std::vector<UINT> { WM_USER + 1, WM_USER + 2, WM_USER + 3, WM_USER + 1, WM_USER + 4 }), filtered);
    ASSERT_EQ(2u, r.got.size());
    EXPECT_EQ(WM_USER + 2, r.got[0].message);
    EXPECT_EQ(WM_USER + 4, r.got[1].message);
    setThreadMessageFilter(nullptr);
    destroyWindow(h);
}

TEST_F(WmLocal, PumpDrainsWhatIsPendingLeavesQuitAndTheWakeFdFollows)
{
    int reposts = 0;
    HWND h = nullptr;
    h = createWindow("C", "T", [&](HWND, UINT m, WPARAM, LPARAM) -> LRESULT {
        if (m == WM_USER) {
            ++reposts;
            postMessage(h, WM_USER, 0, 0); // keeps itself going
        }
        return 0;
    });
    int fd = messageWakeFd();
    ASSERT_GE(fd, 0);
    auto readable = [fd] {
        pollfd p { fd, POLLIN, 0 };
        return ::poll(&p, 1, 0) == 1;
    };
    EXPECT_FALSE(readable());
    postMessage(h, WM_USER, 0, 0);
    EXPECT_TRUE(readable());
    pumpMessages(); // returns although the handler re-posts
    EXPECT_EQ(1, reposts);
    pumpMessages();
    EXPECT_EQ(2, reposts);

    postQuitMessage(4);
    pumpMessages();
    EXPECT_EQ(3, reposts);
    MSG msg;
    EXPECT_GT(getMessage(&msg, nullptr, 0, 0), 0); // the re-post
    EXPECT_EQ(0, getMessage(&msg, nullptr, 0, 0)); // quit stayed for the loop
    EXPECT_EQ(4u, msg.wParam);
    destroyWindow(h);
    EXPECT_FALSE(readable());
}

TEST_F(WmLocal, AThreadThatEndsTakesItsWindowsAndFailsWaitingSenders)
{
    std::atomic<HWND> h { nullptr };
    std::atomic<bool> release { false };
    std::thread owner([&] {
        h = createWindow("Gone", "gone", [](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 5; });
        while (!release)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        // ends without pumping and without destroying its window
    });
    while (!h)
        std::this_thread::yield();
    std::atomic<bool> sent { false };
    LRESULT result = -1;
    std::thread sender([&] {
        result = sendMessage(h, WM_USER, 0, 0);
        sent = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    release = true;
    owner.join();
    sender.join();
    EXPECT_EQ(0, result);
    EXPECT_FALSE(isWindow(h));
    EXPECT_EQ(nullptr, findWindow("Gone", nullptr));
}

TEST_F(WmLocal, DestroyingAWindowFailsTheSendsWaitingForIt)
{
    std::atomic<HWND> h { nullptr };
    std::atomic<bool> senderDone { false }, answeredWhileAlive { false };
    std::atomic<int> handled { 0 };
    std::thread owner([&] {
        h = createWindow("Closing", "closing", [&](HWND, UINT m, WPARAM, LPARAM) -> LRESULT {
            handled += m == WM_USER;
            return 1;
        });
        // Destroys the window once the send is queued, then stays alive
        // without pumping until the sender has its answer.
        pollfd p { messageWakeFd(), POLLIN, 0 };
        ::poll(&p, 1, 10000);
        destroyWindow(h);
        for (int i = 0; i < 2000 && !senderDone; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        answeredWhileAlive = senderDone.load();
    });
    while (!h)
        std::this_thread::yield();
    LRESULT result = -1;
    DWORD error = 0;
    std::thread sender([&] {
        result = sendMessage(h, WM_USER, 0, 0);
        error = getLastError();
        senderDone = true;
    });
    sender.join();
    owner.join();
    EXPECT_TRUE(answeredWhileAlive.load());
    EXPECT_EQ(0, result);
    EXPECT_EQ(ERROR_INVALID_WINDOW_HANDLE, error);
    EXPECT_EQ(0, handled.load());
    EXPECT_FALSE(postMessage(h, WM_USER, 0, 0));
}

TEST_F(WmLocal, BroadcastReachesTopLevelWindowsOfEveryThread)
{
    Recorder mine;
    HWND top = mine.create("Top", "top");
    HWND child = mine.create("Child", "child", false);
    std::atomic<int> workerGot { 0 };
    WindowThread worker([&](HWND, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        if (m == WM_USER + 9 && w == 1 && l == 2)
            ++workerGot;
        return 0;
    });
    EXPECT_TRUE(postMessage(HWND_BROADCAST, WM_USER + 9, 1, 2));
    ASSERT_TRUE(pumpUntil([&] { return !mine.got.empty() && workerGot == 1; }));
    ASSERT_EQ(1u, mine.got.size());
    EXPECT_EQ(top, mine.got[0].hwnd);
    destroyWindow(top);
    destroyWindow(child);
}

TEST_F(WmLocal, ForegroundAndShowRunTheWindowActionsOnTheOwnerThread)
{
    std::atomic<int> activations { 0 }, activateMsgs { 0 };
    std::atomic<int> lastShow { -1 };
    std::atomic<DWORD> actionThread { 0 };
    WindowThread worker([&](HWND, UINT m, WPARAM w, LPARAM) -> LRESULT {
        if (m == WM_ACTIVATE && w == WA_ACTIVE)
            ++activateMsgs;
        return 0;
    });
    HWND target = worker.hwnd();
    EXPECT_FALSE(showWindow(target, SW_SHOW)); // was hidden
    EXPECT_TRUE(showWindow(target, SW_HIDE)); // was shown
    setWindowActions(
        target,
        [&](int cmd) {
            lastShow = cmd;
            actionThread = getCurrentThreadId();
        },
        [&] {
            ++activations;
            actionThread = getCurrentThreadId();
        });
    EXPECT_TRUE(setForegroundWindow(target));
    EXPECT_FALSE(showWindow(target, SW_SHOW));
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while ((activations == 0 || lastShow != SW_SHOW) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_EQ(1, activations.load());
    EXPECT_EQ(1, activateMsgs.load());
    EXPECT_EQ(SW_SHOW, lastShow.load());
    EXPECT_EQ(worker.threadId(), actionThread.load());
}

} // namespace
