#include "ant/core/os_services.h"
#include "tests/support/join_overrun.h"

#include "platform/sync.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

using namespace senvoy;

namespace {

// Runs fn on another thread and returns its result.
template <typename F> auto onOtherThread(F fn)
{
    decltype(fn()) result {};
    std::thread t([&] { result = fn(); });
    t.join();
    return result;
}

// Polls pred for up to 10 s.
template <typename P> bool eventually(P pred)
{
    for (int i = 0; i < 1000; ++i) {
        if (pred())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return pred();
}

// n threads that each wait on c without a time-out and count their wake.
// Going out of scope, it destroys c, so a failed test still ends them.
struct Waiters {
    OsCondition& c;
    std::atomic<int> waiting { 0 };
    std::atomic<int> woken { 0 };
    std::vector<std::thread> threads;
    Waiters(OsMutex& m, OsCondition& c, int n)
        : c(c)
    {
        for (int i = 0; i < n; ++i)
            threads.emplace_back([this, &m, &c] {
                m.lock();
                ++waiting;
                if (c.timedWait(m, OS_INFINITE) == OS_OK)
                    ++woken;
                m.unlock();
            });
    }
    ~Waiters()
    {
        c.destroy();
        join();
    }
    void join()
    {
        for (auto& t : threads)
            if (t.joinable())
                t.join();
    }
};

} // namespace

TEST(OsMutex, ReentrantForItsOwnerAndBusyForOthers)
{
    OsMutex m;
    EXPECT_EQ(m.lock(), OS_FAIL) << "not created";
    ASSERT_EQ(m.create(), OS_OK);
    EXPECT_EQ(m.lock(), OS_OK);
    EXPECT_EQ(m.lock(), OS_OK);
    EXPECT_EQ(m.tryLock(), OS_OK);
    EXPECT_EQ(onOtherThread([&] { return m.tryLock(); }), OS_BUSY);
    EXPECT_EQ(onOtherThread([&] { return m.unlock(); }), OS_FAIL) << "only the owner unlocks";
    EXPECT_EQ(m.unlock(), OS_OK);
    EXPECT_EQ(m.unlock(), OS_OK);
    EXPECT_EQ(onOtherThread([&] { return m.tryLock(); }), OS_BUSY) << "still held once";
    EXPECT_EQ(m.unlock(), OS_OK);
    EXPECT_EQ(m.unlock(), OS_FAIL) << "not held any more";
    EXPECT_EQ(onOtherThread([&] {
        uint8_t r = m.tryLock();
        m.unlock();
        return r;
    }),
        OS_OK);
    EXPECT_EQ(m.close(), OS_OK);
    EXPECT_EQ(m.close(), OS_FAIL);
}

TEST(OsCondition, ZeroTimeoutWithoutSignalTimesOutAndKeepsTheMutex)
{
    OsMutex m;
    OsCondition c;
    ASSERT_EQ(m.create(), OS_OK);
    ASSERT_EQ(c.create(), OS_OK);
    m.lock();
    EXPECT_EQ(c.timedWait(m, 0), OS_TIMEOUT);
    EXPECT_EQ(onOtherThread([&] { return m.tryLock(); }), OS_BUSY);
    EXPECT_EQ(c.timedWait(m, 20), OS_TIMEOUT);
    EXPECT_EQ(onOtherThread([&] { return m.tryLock(); }), OS_BUSY);
    m.unlock();
    EXPECT_EQ(c.timedWait(m, 0), OS_FAIL) << "waiting without holding the mutex";
}

TEST(OsCondition, SignalWakesOneWaiterAndIsLostWithoutOne)
{
    OsMutex m;
    OsCondition c;
    ASSERT_EQ(m.create(), OS_OK);
    ASSERT_EQ(c.create(), OS_OK);

    // Lost: nobody waits.
    EXPECT_EQ(c.signal(), OS_OK);
    m.lock();
    EXPECT_EQ(c.timedWait(m, 50), OS_TIMEOUT);
    m.unlock();

    // Two waiters, one signal: exactly one wakes; a second signal wakes the other.
    Waiters w(m, c, 2);
    std::atomic<int>& woken = w.woken;
    ASSERT_TRUE(eventually([&] { return w.waiting == 2; }));
    m.lock(); // both are inside the wait once they let the mutex go
    EXPECT_EQ(c.signal(), OS_OK);
    m.unlock();
    ASSERT_TRUE(eventually([&] { return woken == 1; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(woken, 1);
    m.lock();
    c.signal();
    m.unlock();
    w.join();
    EXPECT_EQ(woken, 2);
}

TEST(OsCondition, BroadcastWakesAllAndTimedOutWaitersDoNotCount)
{
    OsMutex m;
    OsCondition c;
    ASSERT_EQ(m.create(), OS_OK);
    ASSERT_EQ(c.create(), OS_OK);
    // Waiters that timed out are gone: a broadcast afterwards returns and a
    // later waiter does not wake from a stale signal.
    m.lock();
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(c.timedWait(m, 1), OS_TIMEOUT);
    m.unlock();
    EXPECT_EQ(c.broadcast(), OS_OK);
    EXPECT_EQ(c.signal(), OS_OK);
    m.lock();
    EXPECT_EQ(c.timedWait(m, 50), OS_TIMEOUT);
    m.unlock();

    Waiters w(m, c, 4);
    ASSERT_TRUE(eventually([&] { return w.waiting == 4; }));
    m.lock();
    EXPECT_EQ(c.broadcast(), OS_OK);
    m.unlock();
    w.join();
    EXPECT_EQ(w.woken, 4);
}

TEST(OsCondition, DestroyWakesWaitersAndLaterWaitsFail)
{
    OsMutex m;
    OsCondition c;
    ASSERT_EQ(m.create(), OS_OK);
    ASSERT_EQ(c.create(), OS_OK);
    std::atomic<bool> waiting { false };
    std::atomic<int> result { -1 };
    std::thread t([&] {
        m.lock();
        waiting = true;
        result = c.timedWait(m, OS_INFINITE);
        m.unlock();
    });
    ASSERT_TRUE(eventually([&] { return waiting.load(); }));
    m.lock(); // the waiter is inside its wait
    m.unlock();
    EXPECT_EQ(c.destroy(), OS_OK);
    t.join();
    EXPECT_EQ(result, OS_OK);
    m.lock();
    EXPECT_EQ(c.timedWait(m, 10), OS_FAIL);
    m.unlock();
    EXPECT_EQ(c.destroy(), OS_FAIL);
    EXPECT_EQ(c.signal(), OS_FAIL);
}

TEST(OsThread, JoinEndsOrReportsAnOverrun)
{
    ce::HANDLE gate = ce::createEvent(true, false);
    ce::HANDLE t = OsThread_Create(
        [](void* arg) -> ce::DWORD {
            ce::waitForSingleObject(static_cast<ce::HANDLE>(arg), ce::INFINITE);
            return 7;
        },
        gate);
    ASSERT_NE(t, nullptr);
    {
        kivo::test::ExpectedJoinOverrun overrun;
        EXPECT_EQ(OsThread_Join(t, 20, "test thread"), OS_FAIL); // still waiting for its gate
    }
    ce::setEvent(gate);
    EXPECT_EQ(OsThread_Join(t, 10000, "test thread"), OS_OK);
    ce::DWORD code = 0;
    EXPECT_TRUE(ce::getExitCodeThread(t, &code));
    EXPECT_EQ(code, 7u);
    EXPECT_EQ(OsThread_Close(t), OS_OK);
    EXPECT_EQ(OsThread_Close(t), OS_FAIL);
    EXPECT_EQ(OsThread_Join(t, 10, "test thread"), OS_FAIL) << "a closed handle is no ended thread";
    EXPECT_EQ(OsThread_Create(nullptr, nullptr), nullptr);
    ce::closeHandle(gate);
}

namespace {
struct Calls {
    std::atomic<int> count { 0 };
    std::atomic<uint32_t> firstTick { 0 };
};
void countCall(void* p)
{
    auto* c = static_cast<Calls*>(p);
    if (c->count++ == 0)
        c->firstTick = ce::getTickCount();
}
} // namespace

TEST(PeriodicTimer, WithoutRepeatCallsOnceAfterOnePeriod)
{
    Calls calls;
    PeriodicTimer timer;
    uint32_t start = ce::getTickCount();
    ASSERT_EQ(timer.create(countCall, &calls, 30, false), OS_OK);
    ASSERT_TRUE(eventually([&] { return calls.count > 0; }));
    EXPECT_GE(calls.firstTick - start, 30u);
    ASSERT_TRUE(eventually([&] { return !timer.isRunning(); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_EQ(calls.count, 1);
    timer.stop();
    EXPECT_EQ(calls.count, 1);
}

TEST(PeriodicTimer, WithRepeatCallsUntilStopped)
{
    Calls calls;
    PeriodicTimer timer;
    ASSERT_EQ(timer.create(countCall, &calls, 5, true), OS_OK);
    EXPECT_EQ(timer.create(countCall, &calls, 5, true), OS_FAIL) << "already running";
    ASSERT_TRUE(eventually([&] { return calls.count >= 3; }));
    EXPECT_TRUE(timer.isRunning());
    timer.stop();
    EXPECT_FALSE(timer.isRunning());
    int after = calls.count;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(calls.count, after);
    // A stopped timer can be started again; a long period is woken by stop.
    ASSERT_EQ(timer.create(countCall, &calls, 600000, true), OS_OK);
    timer.stop();
    EXPECT_EQ(calls.count, after);
}

namespace {
struct SelfStop {
    PeriodicTimer* timer = nullptr;
    std::atomic<int> count { 0 };
};
} // namespace

TEST(PeriodicTimer, StopFromItsOwnFunction)
{
    SelfStop s;
    PeriodicTimer timer;
    s.timer = &timer;
    ASSERT_EQ(timer.create(
                  [](void* p) {
                      auto* s = static_cast<SelfStop*>(p);
                      ++s->count;
                      s->timer->stop();
                  },
                  &s, 5, true),
        OS_OK);
    ASSERT_TRUE(eventually([&] { return s.count > 0; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(s.count, 1);
    EXPECT_FALSE(timer.isRunning());
}

namespace {
struct Slow {
    std::atomic<int> count { 0 };
    ce::HANDLE gate = nullptr;
};
} // namespace

TEST(PeriodicTimer, StopReturnsWhenTheFunctionOverrunsAndNoFurtherCallIsMade)
{
    PeriodicTimer::setStopBoundForTests(100);
    Slow slow;
    slow.gate = ce::createEvent(true, false);
    {
        PeriodicTimer timer;
        ASSERT_EQ(timer.create(
                      [](void* p) {
                          auto* s = static_cast<Slow*>(p);
                          ++s->count;
                          ce::waitForSingleObject(s->gate, ce::INFINITE);
                      },
                      &slow, 5, true),
            OS_OK);
        ASSERT_TRUE(eventually([&] { return slow.count > 0; }));
        kivo::test::ExpectedJoinOverrun overrun;
        timer.stop(); // logs the overrun and returns
        EXPECT_EQ(overrun.seen(), 1);
        EXPECT_FALSE(timer.isRunning());
    } // the timer is gone while its function still runs
    ce::setEvent(slow.gate);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(slow.count, 1);
    PeriodicTimer::setStopBoundForTests(0);
    ce::closeHandle(slow.gate);
}

namespace {
// Each call's tick count; the first call takes three periods.
struct LateFirst {
    std::mutex m;
    std::condition_variable cv;
    std::vector<uint32_t> ticks;
    uint32_t periodMs = 0;
};
} // namespace

// The deadline moves by whole periods: after a call that took three periods,
// the next calls are due at once and the timer catches up.
TEST(PeriodicTimer, ALateCallShortensTheNextWaitsRatherThanMovingThem)
{
    LateFirst late;
    late.periodMs = 1000; // a catch-up call that waited a period is plain to see
    PeriodicTimer timer;
    ASSERT_EQ(timer.create(
                  [](void* p) {
                      auto* l = static_cast<LateFirst*>(p);
                      std::lock_guard<std::mutex> lock(l->m);
                      if (l->ticks.empty())
                          ce::advanceTickCountForTests(3 * l->periodMs);
                      l->ticks.push_back(ce::getTickCount());
                      l->cv.notify_all();
                  },
                  &late, late.periodMs, true),
        OS_OK);
    {
        std::unique_lock<std::mutex> lock(late.m);
        ASSERT_TRUE(late.cv.wait_for(lock, std::chrono::seconds(20), [&] { return late.ticks.size() >= 3; }));
    }
    timer.stop();
    // Two calls catch up without waiting a period (a generous bound).
    EXPECT_LT(late.ticks[2] - late.ticks[0], late.periodMs);
}

// A stop waits for a call in progress: once it returns, the function runs no
// more and what it uses may go.
TEST(PeriodicTimer, StopWaitsForACallInProgress)
{
    struct Busy {
        std::mutex m;
        std::condition_variable cv;
        bool entered = false, stopReturned = false, left = false;
        bool stopReturnedWhileInside = false;
    } busy;
    PeriodicTimer timer;
    ASSERT_EQ(timer.create(
                  [](void* p) {
                      auto* b = static_cast<Busy*>(p);
                      std::unique_lock<std::mutex> lock(b->m);
                      if (b->entered)
                          return;
                      b->entered = true;
                      b->cv.notify_all();
                      // Long enough for a stop that does not wait to be seen
                      // returning, well inside the stop bound.
                      b->cv.wait_for(lock, std::chrono::milliseconds(400), [&] { return b->stopReturned; });
                      b->stopReturnedWhileInside = b->stopReturned;
                      b->left = true;
                      b->cv.notify_all();
                  },
                  &busy, 5, true),
        OS_OK);
    {
        std::unique_lock<std::mutex> lock(busy.m);
        ASSERT_TRUE(busy.cv.wait_for(lock, std::chrono::seconds(10), [&] { return busy.entered; }));
    }
    timer.stop();
    std::unique_lock<std::mutex> lock(busy.m);
    busy.stopReturned = true;
    busy.cv.notify_all();
    ASSERT_TRUE(busy.cv.wait_for(lock, std::chrono::seconds(10), [&] { return busy.left; }));
    EXPECT_FALSE(busy.stopReturnedWhileInside);
}

TEST(ByteOrder, SplitAndJoin)
{
    uint8_t hi = 0, lo = 0;
    Bytes_Split16(0x1234, &hi, &lo);
    EXPECT_EQ(hi, 0x12);
    EXPECT_EQ(lo, 0x34);
    Bytes_Split16(0xABCD, nullptr, &lo);
    EXPECT_EQ(lo, 0xCD);
    EXPECT_EQ(Bytes_Join16(0xAB, 0xCD), 0xABCD);
    uint8_t b[4] = {};
    Bytes_Split32(0x89ABCDEF, &b[0], &b[1], &b[2], &b[3]);
    EXPECT_EQ(b[0], 0x89);
    EXPECT_EQ(b[1], 0xAB);
    EXPECT_EQ(b[2], 0xCD);
    EXPECT_EQ(b[3], 0xEF);
    Bytes_Split32(0x01020304, nullptr, nullptr, nullptr, &b[3]);
    EXPECT_EQ(b[3], 0x04);
    EXPECT_EQ(Bytes_Join32(0x89, 0xAB, 0xCD, 0xEF), 0x89ABCDEFu);
}

TEST(Strings, BoundedCopyAppendAndPrint)
{
    char buf[6];
    EXPECT_EQ(Str_Copy(buf, sizeof buf, "abcde"), 1);
    EXPECT_STREQ(buf, "abcde");
    EXPECT_EQ(Str_Copy(buf, sizeof buf, "abcdef"), 0);
    EXPECT_STREQ(buf, "abcde") << "left as it was";
    EXPECT_EQ(Str_Copy(buf, 0, "a"), 0);

    EXPECT_EQ(Str_Copy(buf, sizeof buf, "ab"), 1);
    EXPECT_EQ(Str_Append(buf, sizeof buf, "cde"), 1);
    EXPECT_STREQ(buf, "abcde");
    EXPECT_EQ(Str_Append(buf, sizeof buf, "f"), 0);
    EXPECT_STREQ(buf, "abcde");
    char unterminated[3] = { 'x', 'y', 'z' };
    EXPECT_EQ(Str_Append(unterminated, sizeof unterminated, ""), 0);

    EXPECT_EQ(Str_Print(buf, 0, "%d", 1), -1);
    EXPECT_EQ(Str_Print(buf, sizeof buf, "%d", 42), 2);
    EXPECT_STREQ(buf, "42");
    EXPECT_EQ(Str_Print(buf, sizeof buf, "%s", "too long"), 5);
    EXPECT_STREQ(buf, "too l");
    EXPECT_EQ(Str_Print(buf, sizeof buf, nullptr), 0);
    EXPECT_STREQ(buf, "");
}
