#include "platform/sync.h"
#include "tests/support/join_overrun.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

TEST(Sync, EventsManualAndAutomatic)
{
    ce::HANDLE manual = ce::createEvent(true, false);
    ce::HANDLE autoReset = ce::createEvent(false, true);
    ASSERT_TRUE(manual && autoReset);
    EXPECT_EQ(ce::waitForSingleObject(manual, 0), ce::WAIT_TIMEOUT);
    ce::setEvent(manual);
    EXPECT_EQ(ce::waitForSingleObject(manual, 0), ce::WAIT_OBJECT_0);
    EXPECT_EQ(ce::waitForSingleObject(manual, 0), ce::WAIT_OBJECT_0); // stays set
    ce::resetEvent(manual);
    EXPECT_EQ(ce::waitForSingleObject(manual, 10), ce::WAIT_TIMEOUT);

    EXPECT_EQ(ce::waitForSingleObject(autoReset, 0), ce::WAIT_OBJECT_0);
    EXPECT_EQ(ce::waitForSingleObject(autoReset, 10), ce::WAIT_TIMEOUT); // consumed

    ce::HANDLE both[2] = { manual, autoReset };
    ce::setEvent(autoReset);
    EXPECT_EQ(ce::waitForMultipleObjects(2, both, false, 100), ce::WAIT_OBJECT_0 + 1);
    ce::closeHandle(manual);
    ce::closeHandle(autoReset);
    EXPECT_EQ(ce::waitForSingleObject(manual, 0), ce::WAIT_FAILED);
    EXPECT_EQ(ce::getLastError(), ce::ERROR_INVALID_HANDLE);
}

TEST(Sync, ClosingAHandleWakesItsWaiter)
{
    ce::HANDLE e = ce::createEvent(true, false);
    std::atomic<ce::DWORD> result { 0 };
    std::thread waiter([&] { result = ce::waitForSingleObject(e, ce::INFINITE); });
    ce::sleep(50);
    ce::closeHandle(e);
    waiter.join();
    EXPECT_EQ(result, ce::WAIT_FAILED);
}

TEST(Sync, ThreadsSignalTheirEndAndExitCode)
{
    ce::HANDLE stop = ce::createEvent(true, false);
    ce::HANDLE t = ce::createThread([stop]() -> ce::DWORD {
        ce::waitForSingleObject(stop, ce::INFINITE);
        return 17;
    });
    ASSERT_TRUE(t);
    EXPECT_EQ(ce::waitForSingleObject(t, 20), ce::WAIT_TIMEOUT);
    {
        kivo::test::ExpectedJoinOverrun overrun;
        EXPECT_FALSE(ce::joinThread(t, 20, "test")); // overruns: logged, not hung
        EXPECT_EQ(overrun.seen(), 1);
    }
    ce::setEvent(stop);
    EXPECT_TRUE(ce::joinThread(t, 5000, "test"));
    ce::DWORD code = 0;
    EXPECT_TRUE(ce::getExitCodeThread(t, &code));
    EXPECT_EQ(code, 17u);
    ce::closeHandle(t);
    ce::closeHandle(stop);
}

TEST(Sync, MutexIsReentrantAndExclusive)
{
    ce::HANDLE m = ce::createMutex(false);
    EXPECT_EQ(ce::waitForSingleObject(m, 0), ce::WAIT_OBJECT_0);
    EXPECT_EQ(ce::waitForSingleObject(m, 0), ce::WAIT_OBJECT_0); // owner again
    std::atomic<ce::DWORD> other { 1 };
    std::thread([&] { other = ce::waitForSingleObject(m, 20); }).join();
    EXPECT_EQ(other, ce::WAIT_TIMEOUT);
    EXPECT_TRUE(ce::releaseMutex(m));
    std::thread([&] { other = ce::waitForSingleObject(m, 20); }).join();
    EXPECT_EQ(other, ce::WAIT_TIMEOUT); // still held once
    EXPECT_TRUE(ce::releaseMutex(m));
    EXPECT_FALSE(ce::releaseMutex(m)); // not owned any more
    std::thread([&] {
        other = ce::waitForSingleObject(m, 20);
        ce::releaseMutex(m);
    }).join();
    EXPECT_EQ(other, ce::WAIT_OBJECT_0);
    ce::closeHandle(m);
}

TEST(Sync, MutexReferenceSharesTheHandlesOwnershipAndItsClose)
{
    ce::HANDLE m = ce::createMutex(false);
    const ce::MutexReference direct(m);
    ASSERT_TRUE(direct.valid());
    ce::HANDLE event = ce::createEvent(true, false);
    EXPECT_FALSE(ce::MutexReference(event).valid());
    ce::closeHandle(event);

    // Taken through one, held against the other.
    EXPECT_EQ(direct.wait(0), ce::WAIT_OBJECT_0);
    std::atomic<ce::DWORD> other { 1 };
    std::thread([&] { other = ce::waitForSingleObject(m, 20); }).join();
    EXPECT_EQ(other, ce::WAIT_TIMEOUT);
    EXPECT_TRUE(ce::releaseMutex(m));
    EXPECT_FALSE(direct.release()); // not owned any more

    // A waiter blocked on the reference is failed by closing the handle, and
    // so is every wait after it.
    EXPECT_EQ(ce::waitForSingleObject(m, 0), ce::WAIT_OBJECT_0);
    std::thread blocked([&] { other = direct.wait(ce::INFINITE); });
    ce::sleep(20);
    ce::closeHandle(m);
    blocked.join();
    EXPECT_EQ(other, ce::WAIT_FAILED);
    EXPECT_EQ(direct.wait(0), ce::WAIT_FAILED);
}

TEST(Sync, SemaphoreCountsAndRespectsItsMaximum)
{
    ce::HANDLE s = ce::createSemaphore(1, 2);
    ASSERT_TRUE(s);
    EXPECT_FALSE(ce::releaseSemaphore(s, 2)); // 1 + 2 > 2
    ce::LONG previous = -1;
    EXPECT_TRUE(ce::releaseSemaphore(s, 1, &previous));
    EXPECT_EQ(previous, 1);
    EXPECT_EQ(ce::waitForSingleObject(s, 0), ce::WAIT_OBJECT_0);
    EXPECT_EQ(ce::waitForSingleObject(s, 0), ce::WAIT_OBJECT_0);
    EXPECT_EQ(ce::waitForSingleObject(s, 10), ce::WAIT_TIMEOUT);
    EXPECT_FALSE(ce::createSemaphore(3, 2));
    ce::closeHandle(s);
}

TEST(Sync, WaitAllTakesNothingUntilEveryObjectIsSignalled)
{
    ce::HANDLE autoReset = ce::createEvent(false, true);
    ce::HANDLE semaphore = ce::createSemaphore(1, 1);
    ce::HANDLE gate = ce::createEvent(true, false);
    ce::HANDLE all[3] = { autoReset, semaphore, gate };

    // A wait that times out leaves the signals it could have taken.
    EXPECT_EQ(ce::waitForMultipleObjects(3, all, true, 20), ce::WAIT_TIMEOUT);
    EXPECT_EQ(ce::waitForSingleObject(autoReset, 0), ce::WAIT_OBJECT_0);
    EXPECT_EQ(ce::waitForSingleObject(semaphore, 0), ce::WAIT_OBJECT_0);

    // While one waits for all, the others stay free for other waiters.
    std::atomic<ce::DWORD> result { 1 };
    std::thread waiter([&] { result = ce::waitForMultipleObjects(3, all, true, 5000); });
    ce::setEvent(autoReset);
    ce::releaseSemaphore(semaphore, 1);
    ce::sleep(30);
    EXPECT_EQ(ce::waitForSingleObject(semaphore, 1000), ce::WAIT_OBJECT_0);
    ce::releaseSemaphore(semaphore, 1);
    ce::setEvent(gate);
    waiter.join();
    EXPECT_EQ(result, ce::WAIT_OBJECT_0);
    // All were taken together; the manual-reset one stays set.
    EXPECT_EQ(ce::waitForSingleObject(autoReset, 0), ce::WAIT_TIMEOUT);
    EXPECT_EQ(ce::waitForSingleObject(semaphore, 0), ce::WAIT_TIMEOUT);
    EXPECT_EQ(ce::waitForSingleObject(gate, 0), ce::WAIT_OBJECT_0);

    ce::HANDLE twice[2] = { semaphore, semaphore };
    EXPECT_EQ(ce::waitForMultipleObjects(2, twice, true, 0), ce::WAIT_FAILED);
    EXPECT_EQ(ce::getLastError(), ce::ERROR_INVALID_PARAMETER);
    for (ce::HANDLE h : all)
        ce::closeHandle(h);
}

TEST(Sync, ClosingASignalledHandleEndsAWaitForAll)
{
    ce::HANDLE ready = ce::createEvent(true, true);
    ce::HANDLE never = ce::createEvent(true, false);
    ce::HANDLE both[2] = { ready, never };
    std::atomic<ce::DWORD> result { 0 };
    std::thread waiter([&] { result = ce::waitForMultipleObjects(2, both, true, 5000); });
    ce::sleep(30);
    ce::closeHandle(ready);
    waiter.join();
    EXPECT_EQ(result, ce::WAIT_FAILED);
    ce::closeHandle(never);
}

TEST(Sync, AnAutoResetEventWakesExactlyOneWaiter)
{
    ce::HANDLE e = ce::createEvent(false, false);
    std::atomic<int> woken { 0 }, timedOut { 0 };
    std::vector<std::thread> waiters;
    for (int i = 0; i < 3; ++i)
        waiters.emplace_back([&] { ++(ce::waitForSingleObject(e, 300) == ce::WAIT_OBJECT_0 ? woken : timedOut); });
    ce::sleep(30);
    ce::setEvent(e);
    for (auto& t : waiters)
        t.join();
    EXPECT_EQ(woken, 1);
    EXPECT_EQ(timedOut, 2);
    ce::closeHandle(e);
}
