#include "ant/core/ant_framer.h"
#include "ant/core/ant_port.h"

#include "platform/msgqueue.h"
#include "sim/ant_radio/ant_radio_sim.h"
#include "tests/ant/core/framer_reads.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

using namespace senvoy;
using kivo::sim::AntRadioSim;
using namespace senvoy::test;

namespace {

Bytes message(uint8_t id, Bytes data)
{
    data.insert(data.begin(), id);
    return data;
}

// Counts what a port reports.
class RecordingListener : public ANTPortListener {
public:
    std::atomic<int> bytes { 0 };
    std::atomic<int> events { 0 };
    std::atomic<int> lastEvent { 0 };
    void onByte(uint8_t) override { ++bytes; }
    void onPortEvent(uint8_t code) override
    {
        lastEvent = code;
        ++events;
    }
};

struct PortFixture : ::testing::Test {
    kivo::test::TempDeviceRoot root;
    AntRadioSim sim;
    ANTDriverPort port;
    ANTFramer framer;
    void SetUp() override
    {
        sim.install();
        ASSERT_EQ(framer.setPort(&port), 1);
        port.setListener(&framer);
    }
    void TearDown() override { port.close(); }
};

} // namespace

TEST_F(PortFixture, OpenStartsTheLinkAndFramesGoOutByteExact)
{
    EXPECT_EQ(port.configure(5, 9), 1);
    EXPECT_EQ(port.setting(), 9u);
    ASSERT_EQ(port.open(), 1);
    EXPECT_EQ(sim.startCount(), 1);
    EXPECT_TRUE(port.readerRunning());

    const uint8_t reset[] = { 0x4A, 0x00 };
    const uint8_t key[] = { 0x46, 0x00, 1, 2, 3, 4, 5, 6, 7, 8 };
    EXPECT_EQ(framer.writeMessage(reset, 1), 1);
    EXPECT_EQ(framer.writeMessage(key, 9), 1);
    ASSERT_TRUE(sim.waitForSentFrames(2, 10000));
    auto sent = sim.sentFrames();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0], (Bytes { 0xA4, 0x01, 0x4A, 0x00, 0xEF, 0x00, 0x00 }));
    EXPECT_EQ(sent[1], AntRadioSim::sentFrame(0x46, { 0x00, 1, 2, 3, 4, 5, 6, 7, 8 }));
    for (const auto& r : sim.log())
        EXPECT_EQ(r.status, "ok");

    // Opening again closes first: one device session at a time.
    ASSERT_EQ(port.open(), 1);
    EXPECT_EQ(sim.startCount(), 2);
    port.close();
    EXPECT_FALSE(sim.sessionOpen());
    EXPECT_FALSE(port.readerRunning());
    EXPECT_EQ(port.write(AntRadioSim::sentFrame(0x4A, { 0 }).data(), 7), 0) << "closed";
    EXPECT_EQ(framer.peekMessage(), ANT_NO_MESSAGE) << "no error for a write on a closed port";
}

TEST_F(PortFixture, FramesFromSeveralThreadsStayWhole)
{
    ASSERT_EQ(port.open(), 1);
    constexpr int kThreads = 4, kFrames = 50;
    std::vector<std::thread> senders;
    for (int t = 0; t < kThreads; ++t)
        senders.emplace_back([&, t] {
            for (int i = 0; i < kFrames; ++i) {
                Bytes msg = message(0x4E, counting(9, uint8_t(t * 16 + i)));
                msg[1] = uint8_t(t); // the channel
                framer.writeMessage(msg.data(), 9);
            }
        });
    for (auto& s : senders)
        s.join();
    ASSERT_TRUE(sim.waitForSentFrames(kThreads * kFrames, 10000));
    for (const auto& r : sim.log())
        EXPECT_EQ(r.status, "ok");
}

TEST_F(PortFixture, OpenFailures)
{
    sim.uninstall();
    EXPECT_EQ(port.open(), 0) << "no driver";
    EXPECT_FALSE(port.isOpen());
    sim.install();
    sim.failStart(true);
    EXPECT_EQ(port.open(), 0) << "the start control fails";
    EXPECT_TRUE(port.isOpen()) << "the handle is kept until the next open or close";
    EXPECT_FALSE(port.readerRunning());
    sim.failStart(false);

    // Another reader holds the queue: the port could not receive, so the
    // open fails, and succeeds once the queue is free.
    ce::MSGQUEUEOPTIONS options { 20, ce::MSGQUEUE_ALLOW_BROKEN, 0, 42, ce::TRUE_ };
    ce::HANDLE other = ce::createMsgQueue(ANTDriverPort::kQueueName, &options);
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(port.open(), 0);
    ce::closeMsgQueue(other);

    EXPECT_EQ(port.open(), 1);
    EXPECT_EQ(sim.startCount(), 2);
    ASSERT_TRUE(sim.injectFrame(0x6F, { 0x20 }));
    EXPECT_EQ(readResults(framer, 1), (std::vector<Bytes> { { 0x6F, 0x20 } }));
}

TEST_F(PortFixture, ReceivedStreamCutIntoChunks)
{
    ASSERT_EQ(port.open(), 1);
    const std::vector<Bytes> frames = {
        AntRadioSim::receivedFrame(0x6F, { 0x20 }),
        AntRadioSim::receivedFrame(0x40, { 1, 0x4B, 0 }),
        AntRadioSim::receivedFrame(0x4E, counting(41)),
        AntRadioSim::receivedFrame(0x4E, counting(8, 0xA0)),
    };
    const std::vector<Bytes> expected = {
        message(0x6F, { 0x20 }),
        message(0x40, { 1, 0x4B, 0 }),
        message(0x4E, counting(41)),
        message(0x4E, counting(8, 0xA0)),
    };
    struct Chunking {
        const char* name;
        std::vector<size_t> sizes; // empty: random
        uint32_t seed;
    };
    const Chunking chunkings[] = {
        { "whole queue messages: several frames in one", { 41 }, 0 },
        { "one byte per message", { 1 }, 0 },
        { "frames split over messages", { 3, 7, 2 }, 0 },
        { "random sizes", {}, 1 },
        { "random sizes", {}, 77 },
    };
    for (const auto& c : chunkings) {
        SCOPED_TRACE(c.name);
        if (c.sizes.empty())
            sim.setRandomChunks(c.seed);
        else
            sim.setChunkSizes(c.sizes);
        ASSERT_TRUE(sim.injectFrames(frames));
        EXPECT_EQ(readResults(framer, expected.size()), expected);
        EXPECT_EQ(framer.peekMessage(), ANT_NO_MESSAGE);
    }
}

TEST_F(PortFixture, FaultsReachTheFramer)
{
    ASSERT_EQ(port.open(), 1);
    sim.setChunkSizes({ 4 });

    // A bad checksum is reported once; the next frame is still read.
    sim.corruptNextChecksums(1);
    ASSERT_TRUE(sim.injectFrame(0x6F, { 0x20 }));
    ASSERT_TRUE(sim.injectFrame(0x6F, { 0x20 }));
    EXPECT_EQ(
        readResults(framer, 2), (std::vector<Bytes> { { 0xEE, ANT_ERROR_PORT, ANT_CODE_CHECKSUM }, { 0x6F, 0x20 } }));

    // The radio's serial error message arrives as a message.
    ASSERT_TRUE(sim.injectSerialError(0x02));
    EXPECT_EQ(readResults(framer, 1), (std::vector<Bytes> { { 0xAE, 0x02 } }));

    // A refused send: 0 to the sender and error kind 2 code 2.
    sim.failWrites(1);
    const uint8_t open[] = { 0x4B, 0x01 };
    EXPECT_EQ(framer.writeMessage(open, 1), 0);
    EXPECT_EQ(readResults(framer, 1), (std::vector<Bytes> { { 0xEE, ANT_ERROR_PORT, ANT_CODE_WRITE } }));
    EXPECT_EQ(framer.writeMessage(open, 1), 1);
    ASSERT_TRUE(sim.waitForSentFrames(1, 10000));
    auto log = sim.log();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2].status, "write-fault");

    // A broken queue: the reader reports a read failure and ends.
    ASSERT_TRUE(sim.breakQueue());
    EXPECT_EQ(readResults(framer, 1), (std::vector<Bytes> { { 0xEE, ANT_ERROR_PORT, ANT_CODE_READ } }));
    for (int i = 0; i < 1000 && port.readerRunning(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(port.readerRunning());
    EXPECT_FALSE(sim.injectFrame(0x6F, { 0x20 })) << "nobody reads the queue now";

    // Closed and opened again, a new reader runs.
    port.close();
    ASSERT_EQ(port.open(), 1);
    EXPECT_TRUE(port.readerRunning());
    ASSERT_TRUE(sim.injectFrame(0x6F, { 0x20 }));
    EXPECT_EQ(readResults(framer, 1), (std::vector<Bytes> { { 0x6F, 0x20 } }));
}

TEST_F(PortFixture, MalformedQueueMessagesNeverOverrun)
{
    ASSERT_EQ(port.open(), 1);
    // A writer of its own puts messages whose count byte lies.
    ce::MSGQUEUEOPTIONS options { 20, ce::MSGQUEUE_ALLOW_BROKEN, 0, 42, ce::FALSE_ };
    ce::HANDLE q = ce::createMsgQueue(ANTDriverPort::kQueueName, &options);
    ASSERT_NE(q, nullptr);
    Bytes startup = AntRadioSim::receivedFrame(0x6F, { 0x20 });
    Bytes lying = { 41, startup[0], startup[1] }; // says 41, holds 2
    Bytes rest = { uint8_t(startup.size() - 2), startup[2], startup[3], startup[4] };
    EXPECT_TRUE(ce::writeMsgQueue(q, lying.data(), ce::DWORD(lying.size()), 1000, 0));
    EXPECT_TRUE(ce::writeMsgQueue(q, rest.data(), ce::DWORD(rest.size()), 1000, 0));
    EXPECT_EQ(readResults(framer, 1), (std::vector<Bytes> { { 0x6F, 0x20 } }));
    ce::closeMsgQueue(q);
    EXPECT_TRUE(port.readerRunning());
}

// Closing wakes the reader blocked on the queue and joins it; the failed
// read that the close causes is not reported, so nothing reaches a listener
// that is deleted right after the close.
TEST(DriverPort, CloseJoinsTheBlockedReaderSilently)
{
    kivo::test::TempDeviceRoot root;
    AntRadioSim sim;
    sim.install();
    for (int i = 0; i < 20; ++i) {
        auto listener = std::make_unique<RecordingListener>();
        ANTDriverPort port;
        port.setListener(listener.get());
        ASSERT_EQ(port.open(), 1);
        ASSERT_TRUE(port.readerRunning());
        if (i % 2) {
            ASSERT_TRUE(sim.injectFrame(0x6F, { 0x20 }));
        }
        port.close();
        EXPECT_FALSE(port.readerRunning());
        EXPECT_EQ(listener->events, 0) << "cycle " << i;
        listener.reset(); // a late report would now reach freed memory
    }
    // The queue's read end was released each time: a new reader takes it.
    ANTDriverPort port;
    ANTFramer framer;
    framer.setPort(&port);
    port.setListener(&framer);
    ASSERT_EQ(port.open(), 1);
    ASSERT_TRUE(sim.injectFrame(0x6F, { 0x20 }));
    EXPECT_EQ(readResults(framer, 1), (std::vector<Bytes> { { 0x6F, 0x20 } }));
}

// A close waits for a reader that is handing a byte to the listener: once it
// returns, nothing of the port runs any more, and the listener may go.
TEST(DriverPort, CloseReturnsOnlyAfterTheReaderLeftTheListener)
{
    kivo::test::TempDeviceRoot root;
    AntRadioSim sim;
    sim.install();
    struct Slow : ANTPortListener {
        std::mutex m;
        std::condition_variable cv;
        bool entered = false, closeReturned = false, left = false;
        bool closeReturnedWhileInside = false;
        void onByte(uint8_t) override
        {
            std::unique_lock<std::mutex> lock(m);
            if (entered)
                return;
            entered = true;
            cv.notify_all();
            // Long enough for a close that does not wait to be seen
            // returning, well inside the close's bound for its reader.
            cv.wait_for(lock, std::chrono::milliseconds(400), [&] { return closeReturned; });
            closeReturnedWhileInside = closeReturned;
            left = true;
            cv.notify_all();
        }
        void onPortEvent(uint8_t) override { }
    } slow;
    ANTDriverPort port;
    port.setListener(&slow);
    ASSERT_EQ(port.open(), 1);
    ASSERT_TRUE(sim.injectFrame(0x6F, { 0x20 }));
    {
        std::unique_lock<std::mutex> lock(slow.m);
        ASSERT_TRUE(slow.cv.wait_for(lock, std::chrono::seconds(10), [&] { return slow.entered; }));
    }
    port.close();
    std::unique_lock<std::mutex> lock(slow.m);
    slow.closeReturned = true;
    slow.cv.notify_all();
    ASSERT_TRUE(slow.cv.wait_for(lock, std::chrono::seconds(10), [&] { return slow.left; }));
    EXPECT_FALSE(slow.closeReturnedWhileInside);
}

TEST(DriverPort, ACloseFromTheListenerDoesNotDeadlock)
{
    kivo::test::TempDeviceRoot root;
    AntRadioSim sim;
    sim.install();
    struct Closer : ANTPortListener {
        ANTDriverPort* port = nullptr;
        std::atomic<int> events { 0 };
        std::atomic<bool> closed { false };
        void onByte(uint8_t) override
        {
            port->close();
            closed = true;
        }
        void onPortEvent(uint8_t) override { ++events; }
    } closer;
    ANTDriverPort port;
    closer.port = &port;
    port.setListener(&closer);
    ASSERT_EQ(port.open(), 1);
    ASSERT_TRUE(sim.injectFrame(0x6F, { 0x20 }));
    for (int i = 0; i < 1000 && !closer.closed; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(closer.closed);
    EXPECT_FALSE(port.isOpen());
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(closer.events, 0);
}
