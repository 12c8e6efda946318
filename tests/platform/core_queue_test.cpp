#include "platform/debug.h"
#include "platform/msgqueue.h"
#include "platform/sync.h"

#include "tests/support/confined.h"
#include "tests/platform/peer.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <ctime>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

ce::HANDLE openQueue(const char* name, bool read, ce::DWORD maxMessage = 64)
{
    ce::MSGQUEUEOPTIONS o { sizeof(ce::MSGQUEUEOPTIONS), ce::MSGQUEUE_ALLOW_BROKEN, 0, maxMessage, read ? 1 : 0 };
    return ce::createMsgQueue(name, &o);
}

std::string readOne(ce::HANDLE q, ce::DWORD timeout, ce::DWORD* error = nullptr)
{
    char buf[64];
    ce::DWORD n = 0, flags = 0;
    if (!ce::readMsgQueue(q, buf, sizeof buf, &n, timeout, &flags)) {
        if (error)
            *error = ce::getLastError();
        return "<fail>";
    }
    return std::string(buf, n);
}

} // namespace

TEST(Queue, FedFromAnotherProcess)
{
    kivo::test::TempDeviceRoot root;
    ce::HANDLE q = openQueue("WzcEventLoggingQueue", true);
    ASSERT_TRUE(q);
    ce::DWORD error = 0;
    EXPECT_EQ(readOne(q, 20, &error), "<fail>");
    EXPECT_EQ(error, ce::ERROR_TIMEOUT);
    ASSERT_EQ(kivo::test::runPeer({ "queue-write", "wzceventloggingqueue", "one", "two", "three" }), 0);
    EXPECT_EQ(ce::waitForSingleObject(q, 1000), ce::WAIT_OBJECT_0);
    EXPECT_EQ(readOne(q, 1000), "one");
    EXPECT_EQ(readOne(q, 1000), "two");
    EXPECT_EQ(readOne(q, 1000), "three");
    EXPECT_EQ(readOne(q, 20), "<fail>");
    ce::closeMsgQueue(q);
}

TEST(Queue, WriterRulesAndBrokenQueue)
{
    kivo::test::TempDeviceRoot root;
    ce::HANDLE w = openQueue("Q1", false, 4);
    ASSERT_TRUE(w);
    EXPECT_FALSE(ce::writeMsgQueue(w, "x", 1, 0, 0));
    EXPECT_EQ(ce::getLastError(), ce::ERROR_PIPE_NOT_CONNECTED); // nobody reads
    ce::HANDLE r = openQueue("Q1", true, 4);
    ASSERT_TRUE(r);
    EXPECT_FALSE(openQueue("Q1", true)); // one reader per name
    EXPECT_FALSE(ce::writeMsgQueue(w, "12345", 5, 0, 0));
    EXPECT_EQ(ce::getLastError(), ce::ERROR_INSUFFICIENT_BUFFER);
    EXPECT_TRUE(ce::writeMsgQueue(w, "1234", 4, 0, 0));
    char small[2];
    ce::DWORD n = 0, flags = 0;
    EXPECT_FALSE(ce::readMsgQueue(r, small, sizeof small, &n, 100, &flags)); // too large: dropped
    EXPECT_EQ(ce::getLastError(), ce::ERROR_INSUFFICIENT_BUFFER);
    EXPECT_FALSE(ce::writeMsgQueue(r, "x", 1, 0, 0)); // the read end cannot write
    ce::closeMsgQueue(r);
    ce::closeMsgQueue(w);
}

TEST(Queue, ClosingWakesABlockedReader)
{
    kivo::test::TempDeviceRoot root;
    ce::HANDLE q = openQueue("ANTMSGQUEUE", true);
    std::atomic<int> result { -1 };
    std::thread reader([&] {
        char buf[42];
        ce::DWORD n, flags;
        result = ce::readMsgQueue(q, buf, sizeof buf, &n, ce::INFINITE, &flags) ? 1 : int(ce::getLastError());
    });
    ce::sleep(50);
    ce::closeMsgQueue(q);
    reader.join();
    EXPECT_EQ(result, int(ce::ERROR_INVALID_HANDLE));
    // The name is free again for a new reader.
    ce::HANDLE again = openQueue("ANTMSGQUEUE", true);
    EXPECT_TRUE(again);
    ce::closeMsgQueue(again);
}

TEST(Queue, ABurstWaitsForTheReaderInsteadOfBeingRefused)
{
    kivo::test::TempDeviceRoot root;
    ce::HANDLE r = openQueue("Burst", true);
    ce::HANDLE w = openQueue("Burst", false);
    ASSERT_TRUE(r && w);
    for (int i = 0; i < 500; ++i)
        ASSERT_TRUE(ce::writeMsgQueue(w, &i, sizeof i, 100, 0)) << i;
    for (int i = 0; i < 500; ++i) {
        int got = -1;
        ce::DWORD n = 0, flags = 0;
        ASSERT_TRUE(ce::readMsgQueue(r, &got, sizeof got, &n, 100, &flags));
        EXPECT_EQ(got, i);
    }
    // A new reader under the same name is reached by the old writer.
    ce::closeMsgQueue(r);
    ce::HANDLE r2 = openQueue("Burst", true);
    ASSERT_TRUE(r2);
    EXPECT_TRUE(ce::writeMsgQueue(w, "again", 5, 100, 0));
    EXPECT_EQ(readOne(r2, 1000), "again");
    ce::closeMsgQueue(r2);
    ce::closeMsgQueue(w);
}

TEST(Queue, MessagesOfSeveralWritersComeInTheOrderWritten)
{
    kivo::test::TempDeviceRoot root;
    ce::HANDLE r = openQueue("Order", true);
    ce::HANDLE a = openQueue("Order", false);
    ce::HANDLE b = openQueue("Order", false);
    ASSERT_TRUE(r && a && b);
    // Alternating writers, nothing read in between.
    for (int i = 0; i < 40; ++i)
        ASSERT_TRUE(ce::writeMsgQueue(i % 3 ? a : b, &i, sizeof i, 100, 0));
    for (int i = 0; i < 40; ++i) {
        int got = -1;
        ce::DWORD n = 0, flags = 0;
        ASSERT_TRUE(ce::readMsgQueue(r, &got, sizeof got, &n, 100, &flags));
        ASSERT_EQ(n, sizeof got);
        EXPECT_EQ(got, i);
    }
    ce::closeMsgQueue(a);
    ce::closeMsgQueue(b);
    ce::closeMsgQueue(r);
}

TEST(Queue, WritersOfAnotherUserAreNotHeard)
{
    kivo::test::TempDeviceRoot root;
    ce::HANDLE q = openQueue("Private", true);
    ASSERT_TRUE(q);
    int code = kivo::test::runPeer({ "as-other-user", "queue-write", "Private", "intruder" });
    if (code == 77)
        GTEST_SKIP() << "needs root to act as another account";
    ASSERT_EQ(code, 3); // the writer refuses a reader of another account
    EXPECT_EQ(readOne(q, 200), "<fail>");
    ASSERT_EQ(kivo::test::runPeer({ "queue-write", "Private", "friend" }), 0);
    EXPECT_EQ(readOne(q, 1000), "friend");
    ce::closeMsgQueue(q);
}

TEST(Queue, AQueueKeptInTheProcessMeetsOnlyItsOwnEnds)
{
    kivo::test::TempDeviceRoot root;
    ce::keepMsgQueueInProcess("Own", true);
    ce::HANDLE mine = openQueue("OWN", true);
    ce::HANDLE writer = openQueue("own", false);
    ASSERT_TRUE(mine && writer);
    ASSERT_EQ(kivo::test::runPeer({ "queue-write", "Own", "from afar" }), 3); // no reader where it looks
    ASSERT_TRUE(ce::writeMsgQueue(writer, "near", 4, 100, 0));
    EXPECT_EQ(readOne(mine, 1000), "near");
    // The device root's queue of that name is another one, free for a
    // reader of its own.
    ce::keepMsgQueueInProcess("Own", false);
    ce::HANDLE rootWide = openQueue("Own", true);
    ASSERT_TRUE(rootWide);
    ASSERT_EQ(kivo::test::runPeer({ "queue-write", "Own", "from afar" }), 0);
    EXPECT_EQ(readOne(rootWide, 1000), "from afar");
    EXPECT_EQ(readOne(mine, 20), "<fail>");
    for (ce::HANDLE h : { writer, mine, rootWide })
        ce::closeMsgQueue(h);
}

TEST(Queue, AMessageOverTheReadersMaximumIsRefusedAndDropped)
{
    kivo::test::TempDeviceRoot root;
    ce::HANDLE r = openQueue("Sizes", true, 8);
    ce::HANDLE w = openQueue("Sizes", false, 64); // a writer that believes in a larger maximum
    ASSERT_TRUE(r && w);
    std::string big(40, 'x');
    ASSERT_TRUE(ce::writeMsgQueue(w, big.data(), ce::DWORD(big.size()), 100, 0));
    ASSERT_TRUE(ce::writeMsgQueue(w, "ok", 2, 100, 0));
    // The 64-byte buffer would hold it, but nothing of it is handed out.
    ce::DWORD error = 0;
    EXPECT_EQ(readOne(r, 1000, &error), "<fail>");
    EXPECT_EQ(error, ce::ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(readOne(r, 1000), "ok");
    ce::closeMsgQueue(w);
    ce::closeMsgQueue(r);
}

TEST(Queue, LongNamesThatDifferOnlyAtTheEndAreDifferentQueues)
{
    kivo::test::TempDeviceRoot root;
    const std::string stem(150, 'q');
    ce::HANDLE a = openQueue((stem + "A").c_str(), true);
    ce::HANDLE b = openQueue((stem + "B").c_str(), true);
    ASSERT_TRUE(a && b);
    ce::HANDLE toB = openQueue((stem + "b").c_str(), false); // names meet without regard to case
    ASSERT_TRUE(ce::writeMsgQueue(toB, "for b", 5, 100, 0));
    EXPECT_EQ(readOne(b, 1000), "for b");
    EXPECT_EQ(readOne(a, 20), "<fail>");
    for (ce::HANDLE h : { toB, a, b })
        ce::closeMsgQueue(h);
}

TEST(Queue, AFullQueueMakesAWriteWaitItsTimeOutThenTakesItOnceThereIsRoom)
{
    kivo::test::TempDeviceRoot root;
    ce::MSGQUEUEOPTIONS ro { sizeof ro, ce::MSGQUEUE_ALLOW_BROKEN, 16, 64, 1 };
    ce::MSGQUEUEOPTIONS wo { sizeof wo, ce::MSGQUEUE_ALLOW_BROKEN, 16, 64, 0 };
    ce::HANDLE r = ce::createMsgQueue("Sixteen", &ro);
    ce::HANDLE w = ce::createMsgQueue("Sixteen", &wo);
    ASSERT_TRUE(r && w);
    for (int i = 0; i < 16; ++i)
        ASSERT_TRUE(ce::writeMsgQueue(w, &i, sizeof i, 0, 0)) << i;
    int extra = 16;
    EXPECT_FALSE(ce::writeMsgQueue(w, &extra, sizeof extra, 100, 0));
    EXPECT_EQ(ce::getLastError(), ce::ERROR_TIMEOUT);
    // Another writer (another process) finds it full too.
    EXPECT_EQ(kivo::test::runPeer({ "queue-write", "Sixteen", "x" }), 3);
    // Room again once the reader takes one; a waiting writer takes it.
    std::atomic<bool> written { false };
    std::thread waiting([&] { written = ce::writeMsgQueue(w, &extra, sizeof extra, ce::INFINITE, 0) != 0; });
    int got = -1;
    ce::DWORD n = 0, flags = 0;
    ASSERT_TRUE(ce::readMsgQueue(r, &got, sizeof got, &n, 1000, &flags));
    EXPECT_EQ(got, 0);
    waiting.join();
    EXPECT_TRUE(written);
    for (int i = 1; i <= 16; ++i) {
        ASSERT_TRUE(ce::readMsgQueue(r, &got, sizeof got, &n, 1000, &flags));
        EXPECT_EQ(got, i);
    }
    ce::closeMsgQueue(w);
    ce::closeMsgQueue(r);
}

TEST(Queue, AWriteToAReaderTooBusyToAcceptKeepsItsTimeOut)
{
    kivo::test::TempDeviceRoot root;
    ce::HANDLE r = openQueue("Busy", true);
    ASSERT_TRUE(r);
    // Fill the reader's backlog with connections it never accepts (it only
    // accepts while reading or waiting).
    std::vector<ce::HANDLE> writers;
    ce::DWORD lastError = 0;
    for (int i = 0; i < 200 && lastError != ce::ERROR_TIMEOUT; ++i) {
        ce::HANDLE w = openQueue("Busy", false);
        ASSERT_TRUE(w);
        writers.push_back(w);
        auto started = std::chrono::steady_clock::now();
        if (!ce::writeMsgQueue(w, "x", 1, 0, 0)) {
            lastError = ce::getLastError();
            EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
        }
    }
    EXPECT_EQ(lastError, ce::ERROR_TIMEOUT);
    for (ce::HANDLE w : writers)
        ce::closeMsgQueue(w);
    ce::closeMsgQueue(r);
}

// A reader that ended without closing (killed) leaves the queue's count
// behind, full: a new reader of that name without a maximum removes it, so
// that its writers never wait for room a reader long gone would give back.
TEST(Queue, AReaderWithoutAMaximumRemovesTheCountOfOneThatWasKilled)
{
    kivo::test::TempDeviceRoot root;
    std::fflush(nullptr);
    const pid_t killed = ::fork();
    if (killed == 0) {
        ce::MSGQUEUEOPTIONS one { sizeof one, 0, 1, 64, 1 };
        ce::HANDLE r = ce::createMsgQueue("Stale", &one);
        ce::HANDLE w = openQueue("Stale", false);
        ::_exit(r && w && ce::writeMsgQueue(w, "x", 1, 0, 0) ? 0 : 1); // nothing closed
    }
    int status = -1;
    ASSERT_EQ(killed, ::waitpid(killed, &status, 0));
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ce::HANDLE r = openQueue("Stale", true);
    ce::HANDLE w = openQueue("Stale", false);
    ASSERT_TRUE(r && w);
    for (const char* message : { "a", "b" })
        EXPECT_TRUE(ce::writeMsgQueue(w, message, 1, 100, 0)) << message << ": error " << ce::getLastError();
    EXPECT_EQ(readOne(r, 1000), "a");
    ce::closeMsgQueue(w);
    ce::closeMsgQueue(r);
}

// The queue's shared count needs one block of the device root: on a full one
// the reader's creation fails (logged once however often a program tries
// again), and a queue without a maximum needs no block at all. Once there
// is room, the creation works.
TEST(Queue, ACreationOnAFullDeviceRootFailsCleanly)
{
    kivo::test::TempDeviceRoot root;
    int code = kivo::test::runConfined(root.path(), kivo::test::Confinement::FullDisk, [&] {
        int lines = 0;
        const int hook = ce::addDebugOutputHook([&](const std::string& line) {
            lines += line.find("shared count cannot be made") != std::string::npos;
        });
        ce::MSGQUEUEOPTIONS counted { sizeof(ce::MSGQUEUEOPTIONS), 0, 8, 64, 1 };
        for (int i = 0; i < 3; ++i)
            if (ce::createMsgQueue("Counted", &counted) || ce::getLastError() != ce::ERROR_DISK_FULL)
                return 1;
        ce::removeDebugOutputHook(hook);
        if (lines != 1)
            return 4;
        ce::HANDLE uncounted = openQueue("Uncounted", true);
        ce::HANDLE writer = openQueue("Uncounted", false);
        if (!uncounted || !writer || !ce::writeMsgQueue(writer, "up", 2, 100, 0))
            return 2;
        if (readOne(uncounted, 1000) != "up")
            return 3;
        if (::unlink((root.path() + "/" + kivo::test::kFillFile).c_str()) != 0)
            return 5;
        ce::HANDLE made = ce::createMsgQueue("Counted", &counted);
        if (!made)
            return 6;
        ce::closeMsgQueue(made);
        return 0;
    });
    if (code == kivo::test::kCannotConfine)
        GTEST_SKIP() << "no namespaces to make a full disk in";
    EXPECT_EQ(0, code) << "135 is the bus error of a page with no block behind it";
}

// Out of descriptors, a reader cannot accept a waiting writer: its wait
// stays quiet instead of spinning on the listener, and the message comes in
// once a descriptor frees.
TEST(Queue, OutOfDescriptorsAReaderWaitsQuietlyAndCatchesUp)
{
    kivo::test::TempDeviceRoot root;
    ce::HANDLE q = openQueue("Starved", true);
    ASSERT_TRUE(q);
    ASSERT_EQ(kivo::test::runPeer({ "queue-write", "Starved", "late" }), 0); // waits to be accepted
    rlimit before {};
    ASSERT_EQ(0, ::getrlimit(RLIMIT_NOFILE, &before));
    int lowestFree = ::dup(0);
    ASSERT_GE(lowestFree, 0);
    ::close(lowestFree);
    rlimit starved = before;
    starved.rlim_cur = rlim_t(lowestFree);
    ASSERT_EQ(0, ::setrlimit(RLIMIT_NOFILE, &starved));
    timespec cpu0 {}, cpu1 {};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu0);
    ce::DWORD error = 0;
    std::string got = readOne(q, 400, &error);
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu1);
    ASSERT_EQ(0, ::setrlimit(RLIMIT_NOFILE, &before));
    EXPECT_EQ("<fail>", got);
    EXPECT_EQ(ce::ERROR_TIMEOUT, error);
    const double busyMs = (cpu1.tv_sec - cpu0.tv_sec) * 1e3 + (cpu1.tv_nsec - cpu0.tv_nsec) / 1e6;
    EXPECT_LT(busyMs, 80.0) << "the wait spun";
    EXPECT_EQ(readOne(q, 2000), "late");
    ce::closeMsgQueue(q);
}
