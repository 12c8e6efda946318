// Window messages between processes of one device root: this test process,
// and one or two peers (wm_test_peer).
#include "platform/debug.h"
#include "platform/endpoint.h"
#include "platform/handles.h"
#include "platform/paths.h"
#include "platform/sync.h"
#include "platform/wm.h"
#include "platform/wm_internal.h"
#include "tests/platform/wm_test_util.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <thread>

using namespace ce;
using kivo::test::Child;
using kivo::test::handleFromReady;
using kivo::test::countOf;
using kivo::test::pumpUntil;

namespace {

// Listens where the window endpoint of a process that does not exist would
// be, so that a test can script what the receiving process says; *window is
// a window of that process. The listener, or -1.
int scriptedEndpoint(HWND* window)
{
    const uint32_t fakePid = uint32_t(::getpid()) ^ 0x40000000u; // no process of ours
    sockaddr_un addr;
    const socklen_t len = ce::detail::abstractAddress("wm", std::to_string(fakePid), &addr);
    const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&addr), len) != 0 || ::listen(listener, 4) != 0) {
        if (listener >= 0)
            ::close(listener);
        return -1;
    }
    *window = ce::wm::makeHandle(fakePid, 1);
    return listener;
}

class WmProcess : public ::testing::Test {
protected:
    kivo::test::TempDeviceRoot root;

    // Starts a peer serving one window and returns its handle.
    HWND startPeer(std::unique_ptr<Child>& child, const std::string& cls, const std::string& title)
    {
        child = std::make_unique<Child>(
            "wm_test_peer", std::vector<std::string> { "serve", cls, title }, root.path() + "/peer-" + cls + ".err");
        return handleFromReady(child->readLine());
    }

    std::string peerErrors(const std::string& cls)
    {
        std::ifstream f(root.path() + "/peer-" + cls + ".err");
        std::stringstream ss;
        ss << f.rdbuf();
        return ss.str();
    }
};

TEST_F(WmProcess, RegisteredIdsAgreeBetweenThreeProcesses)
{
    UINT mine = registerWindowMessage("WM_BTOUT_PHONE_STATE");
    Child a("wm_test_peer", { "ids", "WM_BTOUT_PHONE_STATE", "alpha", "beta", "gamma" });
    Child b("wm_test_peer", { "ids", "gamma", "beta", "alpha", "wm_btout_phone_state" });
    std::vector<std::string> la, lb;
    for (int i = 0; i < 4; ++i) {
        la.push_back(a.readLine());
        lb.push_back(b.readLine());
    }
    EXPECT_EQ(0, a.wait());
    EXPECT_EQ(0, b.wait());
    EXPECT_EQ(std::to_string(mine), la[0]);
    EXPECT_EQ(la[0], lb[3]);
    EXPECT_EQ(la[1], lb[2]);
    EXPECT_EQ(la[2], lb[1]);
    EXPECT_EQ(la[3], lb[0]);
    EXPECT_EQ(std::to_string(registerWindowMessage("beta")), la[2]);
    EXPECT_GE(std::stoul(la[1]), 0xC000ul);
}

TEST_F(WmProcess, FindsAnotherProcesssWindowAndForgetsItWhenKilled)
{
    std::unique_ptr<Child> peer;
    HWND h = startPeer(peer, "KivoMap", "Map title");
    ASSERT_NE(nullptr, h);
    EXPECT_EQ(h, findWindow("KivoMap", nullptr));
    EXPECT_EQ(h, findWindow(nullptr, "Map title"));
    EXPECT_EQ(h, findWindow("kivomap", "MAP TITLE"));
    EXPECT_EQ(nullptr, findWindow("KivoMap", "Other"));
    EXPECT_TRUE(isWindow(h));
    EXPECT_EQ("Map title", getWindowTitle(h));
    EXPECT_EQ("KivoMap", getWindowClass(h));
    EXPECT_EQ(DWORD(peer->pid()), getWindowProcessId(h));
    auto tops = enumTopLevelWindows();
    EXPECT_NE(tops.end(), std::find(tops.begin(), tops.end(), h));

    peer->kill(); // leaves its directory entry behind
    EXPECT_EQ(nullptr, findWindow("KivoMap", nullptr));
    EXPECT_FALSE(isWindow(h));
    EXPECT_FALSE(postMessage(h, WM_USER, 0, 0));
    EXPECT_EQ(0, sendMessage(h, WM_USER, 1, 1));
    EXPECT_EQ(ERROR_INVALID_WINDOW_HANDLE, getLastError());
    // The stale entry was cleaned up on the way.
    DIR* d = ::opendir((runDirectory() + "/wm").c_str());
    ASSERT_NE(nullptr, d);
    int entries = 0;
    while (dirent* e = ::readdir(d))
        entries += e->d_name[0] != '.';
    ::closedir(d);
    EXPECT_EQ(0, entries);
}

TEST_F(WmProcess, PostSendAndBroadcastCarryTheirParameters)
{
    std::unique_ptr<Child> p1, p2;
    HWND h1 = startPeer(p1, "One", "one");
    HWND h2 = startPeer(p2, "Two", "two");
    ASSERT_TRUE(h1 && h2);

    EXPECT_TRUE(postMessage(h1, WM_NULL, 5, -6));
    EXPECT_EQ("msg 0 5 -6", p1->readLine());
    UINT status = registerWindowMessage("WM_KIVOWIFI_NOTIFY_STATUS");
    EXPECT_TRUE(postMessage(h1, status, 3, 0));
    EXPECT_EQ("msg " + std::to_string(status) + " 3 0", p1->readLine());
    for (int i = 0; i < 20; ++i) // posts keep their order
        postMessage(h1, WM_USER, WPARAM(i), 0);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ("msg 1024 " + std::to_string(i) + " 0", p1->readLine());

    EXPECT_EQ(40 + 2, sendMessage(h2, WM_USER + 1, 40, 2));
    EXPECT_EQ(ERROR_SUCCESS, getLastError());
    EXPECT_EQ("msg 1025 40 2", p2->readLine());

    // Three processes: both peers and this process's own top-level window.
    std::vector<MSG> mine;
    HWND own = createWindow("Own", "own", [&](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        mine.push_back(MSG { h, m, w, l, 0 });
        return 0;
    });
    UINT touch = registerWindowMessage("WM_TOUCHEVENT_MOUSE_LBUTTONDOWN");
    EXPECT_TRUE(postMessage(HWND_BROADCAST, touch, 0, 0));
    EXPECT_EQ("msg " + std::to_string(touch) + " 0 0", p1->readLine());
    EXPECT_EQ("msg " + std::to_string(touch) + " 0 0", p2->readLine());
    ASSERT_TRUE(pumpUntil([&] { return !mine.empty(); }));
    EXPECT_EQ(touch, mine[0].message);
    destroyWindow(own);
}

TEST_F(WmProcess, CopyDataArrivesIntactAndTheResultComesBack)
{
    std::unique_ptr<Child> peer;
    HWND h = startPeer(peer, "Data", "data");
    ASSERT_NE(nullptr, h);
    UINT tag = registerWindowMessage("WM_KEYBD_IN_CREATEKEYBOARD");

    struct Case {
        size_t size;
        const char* label;
    } cases[] = { { 1560, "keyboard record" }, { MAX_COPYDATA_BYTES, "largest record" }, { 1, "one byte" } };
    for (const Case& c : cases) {
        std::vector<unsigned char> record(c.size);
        LRESULT sum = LRESULT(c.size);
        for (size_t i = 0; i < c.size; ++i) {
            record[i] = static_cast<unsigned char>((i * 31 + 7) & 0xFF);
            sum += record[i];
        }
        COPYDATASTRUCT cds { tag, DWORD(record.size()), record.data() };
        EXPECT_EQ(sum, sendMessage(h, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds))) << c.label;
        std::string line = peer->readLine();
        std::string hex;
        for (size_t i = 0; i < std::min<size_t>(64, c.size); ++i) {
            char b[3];
            std::snprintf(b, sizeof b, "%02x", record[i]);
            hex += b;
        }
        EXPECT_EQ("copy " + std::to_string(tag) + " " + std::to_string(c.size) + " " + hex, line) << c.label;
    }

    COPYDATASTRUCT empty { tag, 0, nullptr };
    EXPECT_EQ(0, sendMessage(h, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&empty)));
    EXPECT_EQ("copy " + std::to_string(tag) + " 0 -", peer->readLine());
    EXPECT_EQ(0, sendMessage(h, WM_COPYDATA, 0, 0));
    EXPECT_EQ("copy none", peer->readLine());

    std::vector<unsigned char> big(MAX_COPYDATA_BYTES + 1);
    COPYDATASTRUCT tooBig { tag, DWORD(big.size()), big.data() };
    EXPECT_EQ(0, sendMessage(h, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&tooBig)));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, getLastError());
    EXPECT_EQ(3, sendMessage(h, WM_USER, 1, 2)); // the peer saw nothing of it
    EXPECT_EQ("msg 1024 1 2", peer->readLine());
}

TEST_F(WmProcess, FramesArrivingTogetherAreHandledWholeAndInOrder)
{
    using namespace ce::wm;
    std::unique_ptr<Child> peer;
    HWND h = startPeer(peer, "Batch", "batch");
    ASSERT_NE(nullptr, h);
    const uint64_t window = uint64_t(reinterpret_cast<uintptr_t>(h));
    const uint32_t me = uint32_t(::getpid());
    UINT tag = registerWindowMessage("WM_KEYBD_IN_CREATEKEYBOARD");

    // A post, a record larger than one read, a send and another post, all in
    // one write: frames end and begin inside the endpoint's reads.
    std::vector<unsigned char> record(6000);
    LRESULT sum = LRESULT(record.size());
    for (size_t i = 0; i < record.size(); ++i) {
        record[i] = static_cast<unsigned char>((i * 13 + 5) & 0xFF);
        sum += record[i];
    }
    std::string batch;
    auto add = [&](uint16_t kind, MessageBody body, const std::vector<unsigned char>& payload) {
        FrameHeader head { kFrameMagic, kFrameVersion, kind, uint32_t(sizeof body + payload.size()) };
        batch.append(reinterpret_cast<const char*>(&head), sizeof head);
        batch.append(reinterpret_cast<const char*>(&body), sizeof body);
        batch.append(payload.begin(), payload.end());
    };
    add(kFramePost, { window, 1, 0, 0, WM_USER, kFlagNoAck, 0, me, 1, 0 }, {});
    add(kFrameSend, { window, 0, 0, tag, WM_COPYDATA, kFlagCopyData, uint32_t(record.size()), me, 2, 0 }, record);
    add(kFrameSend, { window, 2, 3, 0, WM_USER + 2, 0, 0, me, 3, 0 }, {});
    add(kFramePost, { window, 9, 0, 0, WM_USER, kFlagNoAck, 0, me, 4, 0 }, {});

    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr;
    socklen_t len = ce::detail::abstractAddress("wm", std::to_string(peer->pid()), &addr);
    ASSERT_EQ(0, ::connect(fd, reinterpret_cast<sockaddr*>(&addr), len));
    ASSERT_TRUE(ce::detail::sendAll(fd, batch.data(), batch.size()));
    std::vector<std::pair<uint32_t, int64_t>> replies;
    for (int i = 0; i < 2; ++i) {
        FrameHeader head {};
        ReplyBody reply {};
        ASSERT_TRUE(ce::detail::recvAll(fd, &head, sizeof head));
        ASSERT_EQ(kFrameReply, head.kind);
        ASSERT_TRUE(ce::detail::recvAll(fd, &reply, sizeof reply));
        EXPECT_EQ(kStatusOk, reply.status);
        replies.emplace_back(reply.id, reply.result);
    }
    ::close(fd);
    EXPECT_EQ((std::vector<std::pair<uint32_t, int64_t>> { { 2, sum }, { 3, 5 } }), replies);

    // Sent messages run before posted ones that are waiting, so the first
    // post may run before or after the sends that came behind it; each kind
    // keeps its own order, and each message runs once.
    std::vector<std::string> posts, sends;
    for (int i = 0; i < 4; ++i) {
        std::string line = peer->readLine();
        (line.rfind("msg 1024 ", 0) == 0 ? posts : sends).push_back(line);
    }
    EXPECT_EQ((std::vector<std::string> { "msg 1024 1 0", "msg 1024 9 0" }), posts);
    ASSERT_EQ(2u, sends.size());
    EXPECT_EQ(0u, sends[0].find("copy " + std::to_string(tag) + " 6000 05121f")) << sends[0];
    EXPECT_EQ("msg 1026 2 3", sends[1]);
}

TEST_F(WmProcess, ProgramsSendingToEachOtherDoNotDeadlock)
{
    std::unique_ptr<Child> peer;
    HWND h = startPeer(peer, "Mutual", "mutual");
    ASSERT_NE(nullptr, h);
    const UINT pong = registerWindowMessage("peer-pong");
    int pongs = 0;
    HWND own = createWindow("Me", "me", [&](HWND, UINT m, WPARAM w, LPARAM) -> LRESULT {
        if (m == pong) {
            ++pongs;
            return LRESULT(w) * 100;
        }
        return 0;
    });
    // The peer's handler sends back to us while we wait for its answer.
    EXPECT_EQ(701, sendMessage(h, registerWindowMessage("peer-send-back"), WPARAM(own), 0));
    EXPECT_EQ(1, pongs);
    EXPECT_EQ("sent-back 700", peer->readLine());
    destroyWindow(own);
}

TEST_F(WmProcess, SendToAProcessKilledMidSendReturnsZero)
{
    std::unique_ptr<Child> peer;
    HWND h = startPeer(peer, "Hang", "hang");
    ASSERT_NE(nullptr, h);
    std::atomic<bool> returned { false };
    LRESULT result = -1;
    DWORD error = 0;
    std::thread sender([&] {
        result = sendMessage(h, registerWindowMessage("peer-hang"), 0, 0);
        error = getLastError();
        returned = true;
    });
    EXPECT_EQ("hanging", peer->readLine());
    EXPECT_FALSE(returned.load());
    peer->kill();
    sender.join(); // a hang here is the failure
    EXPECT_EQ(0, result);
    EXPECT_EQ(ERROR_INVALID_WINDOW_HANDLE, error);
}

TEST_F(WmProcess, ASendWithATimeoutGivesUpOnAnUnresponsivePeerAndIsWithdrawn)
{
    std::unique_ptr<Child> peer;
    HWND h = startPeer(peer, "Stuck", "stuck");
    ASSERT_NE(nullptr, h);
    EXPECT_TRUE(postMessage(h, registerWindowMessage("peer-hold"), 0, 0));
    EXPECT_EQ("holding", peer->readLine());
    LRESULT result = -1;
    EXPECT_FALSE(sendMessageTimeout(h, WM_USER, 1, 2, 100, &result));
    EXPECT_EQ(ERROR_TIMEOUT, getLastError());
    EXPECT_EQ(0, result);
    // Once the peer is responsive again, the abandoned send is not run.
    std::ofstream(root.path() + "/release").put('1');
    EXPECT_EQ(7, sendMessage(h, WM_USER + 3, 3, 4));
    EXPECT_EQ("released", peer->readLine());
    EXPECT_EQ("msg 1027 3 4", peer->readLine());
}

// What a sender that gave up reports depends on the receiver's answer to its
// cancel: a scripted endpoint stands in for the receiving process.
TEST_F(WmProcess, ASendGivenUpOnTakesTheReceiversWordOnWhatBecameOfIt)
{
    using namespace ce::wm;
    HWND h = nullptr;
    const int listener = scriptedEndpoint(&h);
    ASSERT_GE(listener, 0);

    struct Case {
        const char* what;
        std::vector<ReplyBody> answers; // after the cancel; none: never answers
        BOOL ok;
        LRESULT result;
    };
    const Case cases[] = {
        { "withdrawn", { { 0, kStatusWithdrawn, 0 } }, FALSE_, 0 },
        { "taken, still running", { { 0, kStatusTaken, 0 } }, FALSE_, 0 },
        { "ran to its end before the cancel", { { 42, kStatusOk, 0 }, { 0, kStatusTaken, 0 } }, TRUE_, 42 },
        { "window gone before the cancel", { { 0, kStatusNoWindow, 0 }, { 0, kStatusTaken, 0 } }, FALSE_, 0 },
        { "stopped: no answer", {}, FALSE_, 0 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        bool sawEnd = false;
        MessageBody sent {};
        std::thread receiver([&] {
            // Every case starts on a fresh connection: the one before was
            // closed by the sender or by this side.
            int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
            ASSERT_GE(fd, 0);
            FrameHeader head;
            MessageBody body;
            CancelBody cancel;
            ASSERT_TRUE(ce::detail::recvAll(fd, &head, sizeof head));
            ASSERT_EQ(kFrameSend, head.kind);
            ASSERT_TRUE(ce::detail::recvAll(fd, &body, sizeof body));
            sent = body;
            ASSERT_TRUE(ce::detail::recvAll(fd, &head, sizeof head)); // nothing is answered in time
            ASSERT_EQ(kFrameCancel, head.kind);
            ASSERT_TRUE(ce::detail::recvAll(fd, &cancel, sizeof cancel));
            EXPECT_EQ(body.id, cancel.id);
            for (ReplyBody answer : c.answers) {
                answer.id = body.id;
                ASSERT_TRUE(writeFrame(fd, kFrameReply, &answer, sizeof answer, nullptr, 0, 1000));
            }
            if (c.answers.empty()) {
                char b;
                sawEnd = ::recv(fd, &b, 1, 0) == 0; // the sender lets go of the connection
            }
            ::close(fd);
        });
        LRESULT result = -1;
        BOOL ok = sendMessageTimeout(h, WM_USER, 1, 2, 30, &result);
        DWORD error = getLastError();
        receiver.join();
        EXPECT_EQ(c.ok, ok);
        EXPECT_EQ(c.result, result);
        DWORD expected = ERROR_TIMEOUT;
        if (c.ok)
            expected = ERROR_SUCCESS;
        else if (!c.answers.empty() && c.answers[0].status == kStatusNoWindow)
            expected = ERROR_INVALID_WINDOW_HANDLE;
        EXPECT_EQ(expected, error);
        EXPECT_EQ(c.answers.empty(), sawEnd);
        // Once the call has failed, the send's own deadline has passed: a
        // receiver that takes it only now refuses to run it (see below).
        if (!ok) {
            EXPECT_TRUE(sent.flags & kFlagDeadline);
            EXPECT_TRUE(deadlinePassed(sent.deadline));
        }
    }
    ::close(listener);
}

// The status an answer carries becomes the sender's error: a scripted
// endpoint answers each send at once with it.
TEST_F(WmProcess, ASendsAnswerStatusBecomesItsError)
{
    using namespace ce::wm;
    HWND h = nullptr;
    const int listener = scriptedEndpoint(&h);
    ASSERT_GE(listener, 0);

    struct Case {
        const char* what;
        ReplyBody answer;
        BOOL ok;
        LRESULT result;
        DWORD error;
    };
    const Case cases[] = {
        { "answered", { 42, kStatusOk, 0 }, TRUE_, 42, ERROR_SUCCESS },
        { "refused", { 0, kStatusRefused, 0 }, FALSE_, 0, ERROR_INVALID_PARAMETER },
        { "no such window", { 0, kStatusNoWindow, 0 }, FALSE_, 0, ERROR_INVALID_WINDOW_HANDLE },
        { "window gone", { 0, kStatusGone, 0 }, FALSE_, 0, ERROR_INVALID_WINDOW_HANDLE },
        // Taken by the window's thread only after its deadline: never run.
        { "too late to run", { 0, kStatusWithdrawn, 0 }, FALSE_, 0, ERROR_TIMEOUT },
    };
    // One connection serves the cases in turn (a new one when the sender
    // let the last go).
    std::thread receiver([&] {
        int fd = -1;
        for (const Case& c : cases) {
            FrameHeader head {};
            MessageBody body {};
            for (;;) {
                if (fd < 0)
                    fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
                ASSERT_GE(fd, 0);
                if (ce::detail::recvAll(fd, &head, sizeof head) && ce::detail::recvAll(fd, &body, sizeof body))
                    break;
                ::close(fd);
                fd = -1;
            }
            EXPECT_EQ(kFrameSend, head.kind);
            ReplyBody answer = c.answer;
            answer.id = body.id;
            EXPECT_TRUE(writeFrame(fd, kFrameReply, &answer, sizeof answer, nullptr, 0, 1000));
        }
        if (fd >= 0)
            ::close(fd);
    });
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LRESULT result = -1;
        BOOL ok = sendMessageTimeout(h, WM_USER, 1, 2, 20000, &result);
        EXPECT_EQ(c.error, getLastError());
        EXPECT_EQ(c.ok, ok);
        EXPECT_EQ(c.result, result);
    }
    receiver.join();
    ::close(listener);
}

// A sender that gave up reports failure at its deadline whether or not the
// receiver's endpoint got to its cancel: a send that reaches the window's
// thread after its deadline is never run. Here the cancel never comes at all.
TEST_F(WmProcess, ASendWhoseDeadlinePassedIsNeverRunEvenWithoutItsCancel)
{
    using namespace ce::wm;
    std::unique_ptr<Child> peer;
    HWND h = startPeer(peer, "Late", "late");
    ASSERT_NE(nullptr, h);
    EXPECT_TRUE(postMessage(h, registerWindowMessage("peer-hold"), 0, 0));
    EXPECT_EQ("holding", peer->readLine());

    int fd = connectToProcess(uint32_t(peer->pid()));
    ASSERT_GE(fd, 0);
    MessageBody late { uint64_t(reinterpret_cast<uintptr_t>(h)), 1, 2, 0, WM_USER, kFlagDeadline, 0,
        uint32_t(::getpid()), 7, 0 };
    ASSERT_TRUE(sendDeadline(ce::detail::nowMs(), 0, &late.deadline));
    ASSERT_TRUE(writeRequest(fd, kFrameSend, late, nullptr, 0));
    std::ofstream(root.path() + "/release").put('1');
    EXPECT_EQ("released", peer->readLine());
    FrameHeader head {};
    ReplyBody reply {};
    ASSERT_TRUE(ce::detail::recvAll(fd, &head, sizeof head));
    ASSERT_TRUE(ce::detail::recvAll(fd, &reply, sizeof reply));
    EXPECT_EQ(7u, reply.id);
    EXPECT_EQ(kStatusWithdrawn, reply.status);
    ::close(fd);
    EXPECT_EQ(7, sendMessage(h, WM_USER + 3, 3, 4));
    EXPECT_EQ("msg 1027 3 4", peer->readLine()); // not "msg 1024 1 2"
}

// One process cannot take every connection of another's endpoint: past its
// share it is told "busy" (not that the window is gone), and other
// processes still get through.
TEST_F(WmProcess, AProcessPastItsShareOfConnectionsIsToldBusyAndOthersStillGetThrough)
{
    std::unique_ptr<Child> peer;
    HWND h = startPeer(peer, "Crowded", "crowded");
    ASSERT_NE(nullptr, h);
    // Connections that say nothing, more than one process's share. The
    // endpoint takes them in order: once the last is answered, all are.
    std::vector<int> idle;
    for (int i = 0; i < 100; ++i) {
        idle.push_back(ce::wm::connectToProcess(uint32_t(peer->pid())));
        ASSERT_GE(idle.back(), 0);
    }
    pollfd last { idle.back(), POLLIN, 0 };
    ASSERT_EQ(1, ::poll(&last, 1, 10000)) << "no share per process";
    size_t refused = 0;
    for (int fd : idle) {
        pollfd p { fd, POLLIN, 0 };
        if (::poll(&p, 1, 0) == 0)
            continue;
        ++refused;
        ce::wm::ReplyReader reader; // a busy reply, then the end
        ASSERT_EQ(1, reader.feed(fd));
        EXPECT_EQ(0u, reader.body().id);
        EXPECT_EQ(uint32_t(ce::wm::kStatusBusy), reader.body().status);
    }
    EXPECT_LT(refused, 100u - 32u);
    // Posts and sends alike are told it is busy, not that the window is gone.
    EXPECT_FALSE(postMessage(h, WM_USER, 1, 0));
    EXPECT_EQ(ERROR_BUSY, getLastError());
    EXPECT_EQ(0, sendMessage(h, WM_USER, 2, 0));
    EXPECT_EQ(ERROR_BUSY, getLastError());
    LRESULT result = -1;
    EXPECT_FALSE(sendMessageTimeout(h, WM_USER, 3, 0, 20000, &result));
    EXPECT_EQ(ERROR_BUSY, getLastError());
    EXPECT_EQ(0, result);
    Child other("wmsg", { "post", "--class", "Crowded", "1024", "5", "6" });
    EXPECT_EQ(0, other.wait());
    EXPECT_EQ("msg 1024 5 6", peer->readLine());
    for (int fd : idle)
        ::close(fd);
    EXPECT_TRUE(postMessage(h, WM_USER, 7, 8));
    EXPECT_EQ("msg 1024 7 8", peer->readLine());

    // The refusals are logged as a flood: the first, then how many in all
    // once they have stopped (a few seconds later), not one line each.
    const std::string end = "no more connections refused as busy (";
    EXPECT_TRUE(kivo::test::waitUntil([&] { return peerErrors("Crowded").find(end) != std::string::npos; }, 30000));
    const std::string log = peerErrors("Crowded");
    EXPECT_EQ(1u, countOf(log, "one refused as busy")) << log.substr(0, 2000);
    const size_t at = log.find(end);
    ASSERT_NE(std::string::npos, at) << log.substr(0, 2000);
    EXPECT_EQ(refused + 3, std::stoul(log.substr(at + end.size()))) << log.substr(0, 2000);
}

// A sender that takes no replies loses its connection at the first reply
// that finds no room, with one line in the log however many replies were
// still to come.
TEST_F(WmProcess, ASenderThatTakesNoRepliesIsCutOffWithOneLogLine)
{
    using namespace ce::wm;
    std::unique_ptr<Child> peer;
    HWND h = startPeer(peer, "Deaf", "deaf");
    ASSERT_NE(nullptr, h);
    int fd = connectToProcess(uint32_t(peer->pid()));
    ASSERT_GE(fd, 0);
    // Posts to a window that is not there: each is answered at once by the
    // endpoint and runs nothing.
    MessageBody post { uint64_t(reinterpret_cast<uintptr_t>(makeHandle(uint32_t(peer->pid()), 0xFFFF))), 0, 0, 0,
        WM_USER, 0, 0, uint32_t(::getpid()), 0, 0 };
    std::string burst;
    for (uint32_t i = 1; i <= 3000; ++i) {
        post.id = i;
        FrameHeader head { kFrameMagic, kFrameVersion, kFramePost, sizeof post };
        burst.append(reinterpret_cast<const char*>(&head), sizeof head);
        burst.append(reinterpret_cast<const char*>(&post), sizeof post);
    }
    ASSERT_TRUE(ce::detail::sendAll(fd, burst.data(), burst.size()));
    // Nothing is read here: the peer's replies fill the connection, and the
    // first one that finds no room for a second ends it.
    pollfd p { fd, POLLRDHUP, 0 };
    EXPECT_EQ(1, ::poll(&p, 1, 20000));
    ::close(fd);
    EXPECT_EQ(7, sendMessage(h, WM_USER + 2, 3, 4));
    EXPECT_EQ("msg 1026 3 4", peer->readLine());
    peer->kill();
    std::string log = peerErrors("Deaf");
    size_t lines = 0;
    for (size_t at = log.find("took no reply"); at != std::string::npos; at = log.find("took no reply", at + 1))
        ++lines;
    EXPECT_EQ(1u, lines) << log.substr(0, 2000);
}

// Out of descriptors, the endpoint leaves a pending connection in the
// backlog and looks again a little later instead of spinning on it; what
// was posted meanwhile arrives once a descriptor frees.
TEST_F(WmProcess, OutOfDescriptorsTheEndpointWaitsQuietlyAndCatchesUp)
{
    std::unique_ptr<Child> peer;
    HWND h = startPeer(peer, "Starved", "starved");
    ASSERT_NE(nullptr, h);
    const pid_t pid = peer->pid();
    // Every descriptor number below the limit is taken: accept has none.
    std::set<int> open;
    std::string fdDir = "/proc/" + std::to_string(pid) + "/fd";
    DIR* d = ::opendir(fdDir.c_str());
    ASSERT_NE(nullptr, d);
    while (dirent* e = ::readdir(d))
        if (e->d_name[0] != '.')
            open.insert(std::atoi(e->d_name));
    ::closedir(d);
    int lowestFree = 0;
    while (open.count(lowestFree))
        ++lowestFree;
    rlimit before {};
    ASSERT_EQ(0, ::prlimit(pid, RLIMIT_NOFILE, nullptr, &before));
    rlimit starved = before;
    starved.rlim_cur = rlim_t(lowestFree);
    ASSERT_EQ(0, ::prlimit(pid, RLIMIT_NOFILE, &starved, nullptr));

    auto cpuTicks = [&] {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
        std::istringstream rest(text.substr(text.rfind(')') + 2));
        std::string field;
        unsigned long long utime = 0, stime = 0;
        for (int i = 3; i <= 15 && rest >> field; ++i) {
            if (i == 14)
                utime = std::stoull(field);
            if (i == 15)
                stime = std::stoull(field);
        }
        return utime + stime;
    };
    // Handed over: it waits in the peer's backlog.
    EXPECT_TRUE(postMessage(h, WM_USER, 5, 6));
    const unsigned long long ticksBefore = cpuTicks();
    const auto wallBefore = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    const long long wallTicks = std::chrono::duration_cast<std::chrono::milliseconds>(
                                    std::chrono::steady_clock::now() - wallBefore)
                                    .count()
        * ::sysconf(_SC_CLK_TCK) / 1000;
    const unsigned long long used = cpuTicks() - ticksBefore;
    EXPECT_LT(used * 5, (unsigned long long)wallTicks) << used << " of " << wallTicks << " ticks busy";
    ASSERT_EQ(0, ::prlimit(pid, RLIMIT_NOFILE, &before, nullptr));
    EXPECT_EQ("msg 1024 5 6", peer->readLine());
    // Said when it starts and when it ends, not at every try.
    const std::string end = "no more failed tries to take a connection (";
    EXPECT_TRUE(kivo::test::waitUntil([&] { return peerErrors("Starved").find(end) != std::string::npos; }, 30000));
    const std::string log = peerErrors("Starved");
    EXPECT_EQ(1u, countOf(log, "cannot take a connection")) << log.substr(0, 2000);
    EXPECT_EQ(1u, countOf(log, end)) << log.substr(0, 2000);
}

// Idle means no timed wake-ups: the I/O thread waits for its descriptors
// only, however long nothing happens.
TEST_F(WmProcess, AnIdleEndpointDoesNotWakeUp)
{
    HWND own = createWindow("Idle", "idle", [](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; });
    ASSERT_NE(nullptr, own);
    Child poke("wmsg", { "post", "--class", "Idle", "1024", "1", "2" });
    EXPECT_EQ(0, poke.wait());
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    // At most one more round: the end of the tool's connection, if it was
    // not taken yet. A timed wake-up of every 500 ms makes three.
    const uint64_t polls = ce::wm::endpointPollCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(1600));
    EXPECT_LE(ce::wm::endpointPollCount() - polls, 1u);
    destroyWindow(own);
}

TEST_F(WmProcess, GarbageOnAWindowEndpointIsDroppedAndLogged)
{
    std::unique_ptr<Child> peer;
    HWND h = startPeer(peer, "Victim", "victim");
    ASSERT_NE(nullptr, h);
    auto connectRaw = [&] {
        int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un addr;
        socklen_t len = ce::detail::abstractAddress("wm", std::to_string(peer->pid()), &addr);
        EXPECT_EQ(0, ::connect(fd, reinterpret_cast<sockaddr*>(&addr), len));
        return fd;
    };
    struct Header {
        uint32_t magic;
        uint16_t version, kind;
        uint32_t bodyBytes;
    };
    struct Body {
        uint64_t hwnd, wParam;
        int64_t lParam;
        uint64_t dwData;
        uint32_t message, flags, cbData, senderPid, id, reserved;
    };
    auto frame = [](Header hd, Body b, size_t extra) {
        std::string s(reinterpret_cast<const char*>(&hd), sizeof hd);
        s.append(reinterpret_cast<const char*>(&b), sizeof b);
        s.append(extra, 'x');
        return s;
    };
    const uint32_t magic = 0x314D574Bu;
    Body good { uint64_t(reinterpret_cast<uintptr_t>(h)), 1, 2, 0, WM_USER, 0, 0, 0, 0, 0 };
    Body copy = good;
    copy.message = WM_COPYDATA;
    copy.flags = 1;
    copy.cbData = 100;
    Body rawCopy = good; // WM_COPYDATA with neither record nor null mark
    rawCopy.message = WM_COPYDATA;
    rawCopy.lParam = 0x4141414141;
    Body postedCopy = rawCopy;
    postedCopy.flags = 2;
    Body nullMarked = good;
    nullMarked.flags = 2; // the null mark on a message that carries no record
    Body foreign = good;
    foreign.hwnd ^= uint64_t(1) << 40; // another process's window
    std::vector<std::string> garbage = {
        std::string(200, '\x5a'), // noise
        frame({ magic, 2, 2, 56 }, good, 0).substr(0, 30), // truncated
        frame({ magic, 2, 9, 56 }, good, 0), // unknown kind
        frame({ magic, 2, 2, 0xFFFFFFF0u }, good, 0), // absurd length
        frame({ magic, 2, 2, 56 + 50 }, copy, 50), // record size mismatch
        frame({ magic, 2, 1, 56 + 100 }, copy, 100), // record on a post
        frame({ magic, 2, 1, 56 }, foreign, 0), // not this process's window
        frame({ magic, 2, 2, 56 }, rawCopy, 0), // a send of a bare address
        frame({ magic, 2, 1, 56 }, rawCopy, 0), // a post of a bare address
        frame({ magic, 2, 1, 56 }, postedCopy, 0), // a post with the null mark
        frame({ magic, 2, 2, 56 }, nullMarked, 0),
    };
    for (const std::string& g : garbage) {
        int fd = connectRaw();
        ASSERT_GE(fd, 0);
        EXPECT_EQ(ssize_t(g.size()), ::send(fd, g.data(), g.size(), MSG_NOSIGNAL));
        ::shutdown(fd, SHUT_WR);
        char buf[64];
        while (::recv(fd, buf, sizeof buf, 0) > 0) { }
        ::close(fd);
    }
    // The peer handled none of it and still answers.
    EXPECT_EQ(7, sendMessage(h, WM_USER + 2, 3, 4));
    EXPECT_EQ("msg 1026 3 4", peer->readLine());
    peer->kill();
    std::string log = peerErrors("Victim");
    size_t drops = 0;
    for (size_t at = log.find("dropped"); at != std::string::npos; at = log.find("dropped", at + 1))
        ++drops;
    EXPECT_EQ(garbage.size(), drops) << log;
}

TEST_F(WmProcess, MalformedDirectoryEntriesAreIgnored)
{
    std::unique_ptr<Child> peer;
    HWND h = startPeer(peer, "Listed", "listed");
    ASSERT_NE(nullptr, h);
    // Replace the peer's entry with nonsense: its windows can no longer be
    // found, but nothing breaks and the peer's next change repairs it.
    std::string dir = runDirectory() + "/wm";
    DIR* d = ::opendir(dir.c_str());
    ASSERT_NE(nullptr, d);
    std::string entry;
    while (dirent* e = ::readdir(d))
        if (std::string(e->d_name).rfind(std::to_string(peer->pid()) + "-", 0) == 0)
            entry = dir + "/" + e->d_name;
    ::closedir(d);
    ASSERT_FALSE(entry.empty());
    for (const std::string& junk : { std::string("kivo-wm 1\nprocess 1 2\n"),
             std::string("kivo-wm 1\nprocess x\nwindow zz\n"), std::string("\0\xff\n", 3) }) {
        std::ofstream(entry, std::ios::trunc) << junk;
        EXPECT_EQ(nullptr, findWindow("Listed", nullptr));
    }
    // Something that is no file at all must not hang the lookup.
    ASSERT_EQ(0, ::unlink(entry.c_str()));
    ASSERT_EQ(0, ::mkfifo(entry.c_str(), 0644));
    EXPECT_EQ(nullptr, findWindow("Listed", nullptr));
    // Posting by handle does not depend on the directory.
    EXPECT_TRUE(postMessage(h, WM_USER, 9, 9));
    EXPECT_EQ("msg 1024 9 9", peer->readLine());
}

} // namespace

namespace {

TEST_F(WmProcess, AStoppedProcessDelaysNeitherPostsNorBroadcastsAndGetsThemOnce)
{
    std::unique_ptr<Child> stopped, awake;
    HWND hs = startPeer(stopped, "Stopped", "stopped");
    HWND ha = startPeer(awake, "Awake", "awake");
    ASSERT_TRUE(hs && ha);
    ASSERT_EQ(0, ::kill(stopped->pid(), SIGSTOP));
    const UINT touch = registerWindowMessage("WM_TOUCHEVENT_MOUSE_LBUTTONDOWN");
    // Handed over without waiting on the stopped process: nothing here is
    // answered by it, so a wait for it would last until the end of the test.
    auto timed = [](auto call) {
        auto started = std::chrono::steady_clock::now();
        EXPECT_TRUE(call());
        return std::chrono::steady_clock::now() - started;
    };
    EXPECT_LT(timed([&] { return postMessage(hs, WM_USER, 1, 0); }), std::chrono::milliseconds(100));
    EXPECT_LT(timed([&] { return postMessage(HWND_BROADCAST, touch, 2, 0); }), std::chrono::milliseconds(100));
    // The awake process got the broadcast while the other one still sleeps.
    EXPECT_EQ("msg " + std::to_string(touch) + " 2 0", awake->readLine());
    ASSERT_EQ(0, ::kill(stopped->pid(), SIGCONT));
    EXPECT_EQ("msg 1024 1 0", stopped->readLine());
    EXPECT_EQ("msg " + std::to_string(touch) + " 2 0", stopped->readLine());
    // Once each: the next line is what comes after.
    EXPECT_EQ(5, sendMessage(hs, WM_USER + 5, 2, 3));
    EXPECT_EQ("msg 1029 2 3", stopped->readLine());
}

} // namespace
