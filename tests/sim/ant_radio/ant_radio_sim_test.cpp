#include "sim/ant_radio/ant_radio_sim.h"

#include "platform/device.h"
#include "platform/msgqueue.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using kivo::sim::AntFrameRecord;
using kivo::sim::AntRadioSim;
using Bytes = std::vector<uint8_t>;

namespace {

// The read end of the queue, as the radio's reader would hold it.
struct QueueReader {
    ce::HANDLE q = nullptr;
    QueueReader()
    {
        ce::MSGQUEUEOPTIONS options { 20, ce::MSGQUEUE_ALLOW_BROKEN, 0, 42, ce::TRUE_ };
        q = ce::createMsgQueue("ANTMSGQUEUE", &options);
    }
    ~QueueReader() { ce::closeMsgQueue(q); }
    // Every message now in the queue.
    std::vector<Bytes> messages()
    {
        std::vector<Bytes> out;
        uint8_t buf[42];
        ce::DWORD n, flags;
        while (ce::readMsgQueue(q, buf, sizeof buf, &n, 0, &flags))
            out.emplace_back(buf, buf + n);
        return out;
    }
};

} // namespace

TEST(AntRadioSim, CheckSentFrameTable)
{
    struct Case {
        Bytes frame;
        const char* status;
    };
    const Case cases[] = {
        { { 0xA4, 0x01, 0x4A, 0x00, 0xEF, 0x00, 0x00 }, "ok" },
        { { 0xA4, 0x00, 0x4A, 0xEE, 0x00, 0x00 }, "ok" },
        { { 0xA4, 0x01, 0x4A, 0x00, 0xEE, 0x00, 0x00 }, "bad-checksum" },
        { { 0xA4, 0x01, 0x4A, 0x00, 0xEF, 0x00 }, "bad-length" },
        { { 0xA4, 0x01, 0x4A, 0x00, 0xEF, 0x00, 0x01 }, "bad-trailer" },
        { { 0xA5, 0x01, 0x4A, 0x00, 0xEF, 0x00, 0x00 }, "bad-sync" },
        { { 0xA4, 0x01, 0x4A }, "short" },
        { AntRadioSim::sentFrame(0x4E, Bytes(41, 7)), "ok" },
        { AntRadioSim::sentFrame(0x4E, Bytes(42, 7)), "bad-length" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(AntRadioSim::checkSentFrame(c.frame.data(), c.frame.size()), c.status);
    EXPECT_EQ(AntRadioSim::checkSentFrame(nullptr, 0), "short");
}

TEST(AntRadioSim, ChunksCarryACountAndTheStreamInOrder)
{
    kivo::test::TempDeviceRoot root;
    AntRadioSim sim;
    QueueReader reader;
    Bytes f1 = AntRadioSim::receivedFrame(0x6F, { 0x20 });
    Bytes f2 = AntRadioSim::receivedFrame(0x4E, Bytes(41, 0x55));
    Bytes stream = f1;
    stream.insert(stream.end(), f2.begin(), f2.end());

    sim.setChunkSizes({ 2, 5, 41 });
    ASSERT_TRUE(sim.injectFrames({ f1, f2 }));
    auto messages = reader.messages();
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_EQ(messages[0], (Bytes { 2, 0xA4, 0x01 }));
    EXPECT_EQ(messages[1], (Bytes { 5, 0x6F, 0x20, 0xEA, 0xA4, 41 }));
    EXPECT_EQ(messages[2].size(), 42u);
    EXPECT_EQ(messages[3], (Bytes { 2, 0x55, f2.back() }));

    for (uint32_t seed : { 1u, 2u, 3u }) {
        sim.setRandomChunks(seed);
        ASSERT_TRUE(sim.injectFrames({ f1, f2 }));
        Bytes joined;
        for (const auto& m : reader.messages()) {
            ASSERT_GE(m.size(), 2u);
            ASSERT_LE(m.size(), 42u);
            ASSERT_EQ(m[0], m.size() - 1);
            joined.insert(joined.end(), m.begin() + 1, m.end());
        }
        EXPECT_EQ(joined, stream) << seed;
    }

    // Frames are logged whole, one record each.
    auto log = sim.log();
    ASSERT_EQ(log.size(), 8u);
    EXPECT_EQ(log[0].direction, AntFrameRecord::Direction::Received);
    EXPECT_EQ(log[0].bytes, f1);
    EXPECT_EQ(log[1].bytes, f2);
    EXPECT_EQ(log[1].status, "queued");
}

TEST(AntRadioSim, FaultsAndTheQueueWithoutReader)
{
    kivo::test::TempDeviceRoot root;
    AntRadioSim sim;
    EXPECT_FALSE(sim.injectFrame(0x6F, { 0x20 })) << "nobody reads the queue";
    EXPECT_EQ(sim.log().back().status, "no-reader");

    QueueReader reader;
    sim.corruptNextChecksums(1);
    ASSERT_TRUE(sim.injectFrame(0x6F, { 0x20 }));
    ASSERT_TRUE(sim.injectSerialError(0x05));
    auto messages = reader.messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0], (Bytes { 5, 0xA4, 0x01, 0x6F, 0x20, 0xEA ^ 0xFF }));
    EXPECT_EQ(messages[1], (Bytes { 5, 0xA4, 0x01, 0xAE, 0x05, 0xA4 ^ 0x01 ^ 0xAE ^ 0x05 }));

    // A broken queue: the reader cannot take the next message.
    ASSERT_TRUE(sim.breakQueue());
    uint8_t buf[42];
    ce::DWORD n, flags;
    EXPECT_FALSE(ce::readMsgQueue(reader.q, buf, sizeof buf, &n, 1000, &flags));
    EXPECT_EQ(ce::getLastError(), ce::ERROR_INSUFFICIENT_BUFFER);
}

TEST(AntRadioSim, DeviceControlsAndLogFile)
{
    kivo::test::TempDeviceRoot root;
    AntRadioSim sim;
    std::string logPath = root.path() + "/frames.log";
    ASSERT_TRUE(sim.setLogFile(logPath));
    sim.install();
    ce::HANDLE h = ce::openDevice("ANT1:", ce::GENERIC_READ | ce::GENERIC_WRITE);
    ASSERT_NE(h, ce::INVALID_HANDLE_VALUE);
    EXPECT_EQ(ce::openDevice("ANT1:", ce::GENERIC_READ), ce::INVALID_HANDLE_VALUE) << "no sharing";
    EXPECT_EQ(ce::getLastError(), ce::ERROR_SHARING_VIOLATION);

    ce::DWORD n = 0;
    EXPECT_TRUE(ce::deviceIoControl(h, AntRadioSim::kIoctlStartLink, nullptr, 0, nullptr, 0, &n));
    EXPECT_EQ(sim.startCount(), 1);
    Bytes good = AntRadioSim::sentFrame(0x4A, { 0 });
    Bytes bad = { 0xA4, 0x01, 0x4A, 0x00, 0xEF, 0x01, 0x00 };
    EXPECT_TRUE(ce::deviceIoControl(h, AntRadioSim::kIoctlSendFrame, good.data(), 7, nullptr, 0, &n));
    EXPECT_FALSE(ce::deviceIoControl(h, AntRadioSim::kIoctlSendFrame, bad.data(), 7, nullptr, 0, &n));
    EXPECT_EQ(ce::getLastError(), ce::ERROR_INVALID_DATA);
    sim.failWrites(2);
    EXPECT_FALSE(ce::deviceIoControl(h, AntRadioSim::kIoctlSendFrame, good.data(), 7, nullptr, 0, &n));
    EXPECT_FALSE(ce::deviceIoControl(h, AntRadioSim::kIoctlSendFrame, good.data(), 7, nullptr, 0, &n));
    EXPECT_TRUE(ce::deviceIoControl(h, AntRadioSim::kIoctlSendFrame, good.data(), 7, nullptr, 0, &n));
    EXPECT_FALSE(ce::deviceIoControl(h, 0x1234, nullptr, 0, nullptr, 0, &n));
    EXPECT_EQ(ce::getLastError(), ce::ERROR_NOT_SUPPORTED);
    sim.failStart(true);
    EXPECT_FALSE(ce::deviceIoControl(h, AntRadioSim::kIoctlStartLink, nullptr, 0, nullptr, 0, &n));
    ce::closeHandle(h);
    EXPECT_FALSE(sim.sessionOpen());
    sim.uninstall();

    EXPECT_EQ(sim.sentFrames(), (std::vector<Bytes> { good, good }));
    std::ifstream f(logPath);
    std::vector<std::string> lines;
    for (std::string l; std::getline(f, l);)
        lines.push_back(l.substr(l.find(' ') + 1)); // without the time stamp
    EXPECT_EQ(lines,
        (std::vector<std::string> {
            "tx A4 01 4A 00 EF 00 00 ok",
            "tx A4 01 4A 00 EF 01 00 bad-trailer",
            "tx A4 01 4A 00 EF 00 00 write-fault",
            "tx A4 01 4A 00 EF 00 00 write-fault",
            "tx A4 01 4A 00 EF 00 00 ok",
        }));
}
