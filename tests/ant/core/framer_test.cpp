#include "ant/core/ant_framer.h"
#include "tests/ant/core/framer_reads.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

using namespace senvoy;
using namespace senvoy::test;

namespace {

// A port that records what the framer writes.
class FakePort : public ANTPort {
public:
    std::vector<Bytes> written;
    bool fail = false;
    int configure(uint32_t, uint32_t) override { return 1; }
    void setListener(ANTPortListener*) override { }
    int open() override { return 1; }
    void close() override { }
    int write(const uint8_t* bytes, uint32_t length) override
    {
        if (fail)
            return 0;
        written.emplace_back(bytes, bytes + length);
        return 1;
    }
    uint32_t setting() const override { return 0; }
};

Bytes frame(uint8_t id, const Bytes& data)
{
    Bytes f { 0xA4, uint8_t(data.size()), id };
    f.insert(f.end(), data.begin(), data.end());
    uint8_t x = 0;
    for (uint8_t b : f)
        x ^= b;
    f.push_back(x);
    return f;
}

void feed(ANTFramer& f, const Bytes& bytes)
{
    for (uint8_t b : bytes)
        f.onByte(b);
}

// One readMessage result: a message (id + data) or an error (kind, code).
struct Read {
    bool error = false;
    Bytes bytes;
    bool operator==(const Read& o) const { return error == o.error && bytes == o.bytes; }
};
Read msg(uint8_t id, Bytes data)
{
    data.insert(data.begin(), id);
    return { false, data };
}
Read err(uint8_t kind, uint8_t code = 0)
{
    return { true, kind == ANT_ERROR_PORT ? Bytes { kind, code } : Bytes { kind } };
}
std::ostream& operator<<(std::ostream& os, const Read& r)
{
    os << (r.error ? "error" : "message");
    for (uint8_t b : r.bytes)
        os << ' ' << std::hex << int(b);
    return os;
}

// Reads until the ring is empty.
std::vector<Read> drain(ANTFramer& f)
{
    std::vector<Read> out;
    for (;;) {
        uint8_t buf[ANT_MESSAGE_SIZE] = {};
        uint16_t r = f.readMessage(buf, ANT_MAX_DATA);
        if (r == ANT_NO_MESSAGE)
            return out;
        if (r == ANT_READ_ERROR)
            out.push_back({ true, buf[0] == ANT_ERROR_PORT ? Bytes { buf[0], buf[1] } : Bytes { buf[0] } });
        else
            out.push_back({ false, Bytes(buf, buf + 1 + r) });
    }
}

struct FramerFixture : ::testing::Test {
    FakePort port;
    ANTFramer framer;
    void SetUp() override { ASSERT_EQ(framer.setPort(&port), 1); }
};

} // namespace

TEST_F(FramerFixture, WriteMessageBuildsTheFrame)
{
    const uint8_t reset[] = { 0x4A, 0x00 };
    EXPECT_EQ(framer.writeMessage(reset, 1), 1);
    ASSERT_EQ(port.written.size(), 1u);
    EXPECT_EQ(port.written[0], (Bytes { 0xA4, 0x01, 0x4A, 0x00, 0xEF, 0x00, 0x00 }));

    Bytes big = counting(42, 0x10);
    big[0] = 0x4E;
    EXPECT_EQ(framer.writeMessage(big.data(), 41), 1);
    ASSERT_EQ(port.written.size(), 2u);
    Bytes expected = frame(0x4E, Bytes(big.begin() + 1, big.end()));
    expected.push_back(0);
    expected.push_back(0);
    EXPECT_EQ(port.written[1].size(), 47u);
    EXPECT_EQ(port.written[1], expected);

    Bytes tooBig(43, 0x4E);
    EXPECT_EQ(framer.writeMessage(tooBig.data(), 42), 0);
    EXPECT_EQ(framer.writeMessage(nullptr, 0), 0);
    port.fail = true;
    EXPECT_EQ(framer.writeMessage(reset, 1), 0);
    EXPECT_EQ(port.written.size(), 2u) << "nothing more was written";
    ANTFramer unattached;
    EXPECT_EQ(unattached.writeMessage(reset, 1), 0);
}

TEST_F(FramerFixture, ParserTable)
{
    struct Case {
        const char* name;
        Bytes stream;
        std::vector<Read> expected;
    };
    Bytes startup = { 0xA4, 0x01, 0x6F, 0x20, 0xEA };
    Bytes badStartup = { 0xA4, 0x01, 0x6F, 0x20, 0xEB };
    auto cat = [](std::initializer_list<Bytes> parts) {
        Bytes out;
        for (const auto& p : parts)
            out.insert(out.end(), p.begin(), p.end());
        return out;
    };
    Bytes oversized = { 0xA4, 42, 0x4E };
    Bytes oversizedData = counting(42, 0x30);
    const Case cases[] = {
        { "start-up message", startup, { msg(0x6F, { 0x20 }) } },
        { "bad checksum stores nothing", badStartup, { err(ANT_ERROR_PORT, ANT_CODE_CHECKSUM) } },
        { "bytes before the sync are ignored", cat({ { 0x00, 0x13, 0xEA, 0x20 }, startup }), { msg(0x6F, { 0x20 }) } },
        { "several frames in a row", cat({ startup, frame(0x40, { 1, 0x4B, 0 }), frame(0x4E, counting(8)) }),
            { msg(0x6F, { 0x20 }), msg(0x40, { 1, 0x4B, 0 }), msg(0x4E, counting(8)) } },
        { "a bad checksum is reported once and the next frame read", cat({ badStartup, frame(0x3E, { 0x41 }) }),
            { err(ANT_ERROR_PORT, ANT_CODE_CHECKSUM), msg(0x3E, { 0x41 }) } },
        { "no data bytes", frame(0x6F, {}), { msg(0x6F, {}) } },
        { "41 data bytes", frame(0x4E, counting(41)), { msg(0x4E, counting(41)) } },
        { "42 data bytes are dropped, the next frame is read", cat({ oversized, oversizedData, { 0x00 }, startup }),
            { msg(0x6F, { 0x20 }) } },
        { "a length of 0xA4 may be the next sync", cat({ { 0xA4 }, startup }), { msg(0x6F, { 0x20 }) } },
        { "length 255 never overruns", cat({ { 0xA4, 0xFF, 0x4E }, counting(255), startup }), { msg(0x6F, { 0x20 }) } },
    };
    // Byte by byte, and in chunks as the port hands them over: frames split
    // across chunks or several in one parse the same.
    for (const auto& c : cases) {
        for (size_t chunk : { size_t(0), size_t(3), size_t(41), c.stream.size() }) {
            SCOPED_TRACE(std::string(c.name) + ", chunk " + std::to_string(chunk));
            ASSERT_EQ(framer.setPort(&port), 1);
            if (chunk == 0) {
                feed(framer, c.stream);
            } else {
                for (size_t at = 0; at < c.stream.size(); at += chunk)
                    framer.onBytes(c.stream.data() + at, uint32_t(std::min(chunk, c.stream.size() - at)));
            }
            EXPECT_EQ(drain(framer), c.expected);
        }
    }
}

TEST_F(FramerFixture, ReadMessageLimitsErrorsAndPeek)
{
    uint8_t out[ANT_MESSAGE_SIZE] = {};
    EXPECT_EQ(framer.peekMessage(), ANT_NO_MESSAGE);
    EXPECT_EQ(framer.readMessage(out, 0), ANT_NO_MESSAGE);
    feed(framer, frame(0x4E, counting(9)));
    EXPECT_EQ(framer.peekMessage(), 9);
    EXPECT_EQ(framer.peekMessage(), 9) << "peek keeps the message";
    EXPECT_EQ(framer.readMessage(out, 4), 4) << "cut to max";
    EXPECT_EQ(out[0], 0x4E);
    EXPECT_EQ(out[4], 4);
    EXPECT_EQ(out[5], 0) << "nothing past max";
    EXPECT_EQ(framer.readMessage(out, 0), ANT_NO_MESSAGE) << "the cut message is gone";

    framer.onPortEvent(ANT_CODE_WRITE);
    feed(framer, frame(0x6F, { 0x20 }));
    EXPECT_EQ(framer.peekMessage(), ANT_READ_ERROR);
    EXPECT_EQ(framer.readMessage(out, 0), ANT_READ_ERROR);
    EXPECT_EQ(out[0], ANT_ERROR_PORT);
    EXPECT_EQ(out[1], ANT_CODE_WRITE);
    EXPECT_EQ(framer.readMessage(out, 0), 1) << "the error is reported once";
    EXPECT_EQ(framer.readMessage(nullptr, 0), ANT_READ_ERROR);

    framer.onPortEvent(ANT_CODE_READ);
    feed(framer, frame(0x6F, { 0x20 }));
    EXPECT_EQ(framer.setPort(nullptr), 0);
    EXPECT_EQ(framer.peekMessage(), ANT_NO_MESSAGE) << "setPort clears the ring and the error";
    EXPECT_EQ(framer.port(), &port) << "and keeps the port when none is given";
}

TEST_F(FramerFixture, RingHoldsAtMost65535Messages)
{
    const Bytes f = frame(0x4E, { 0 });
    Bytes numbered = f;
    for (uint32_t i = 0; i < 65535; ++i) {
        numbered[3] = uint8_t(i);
        numbered[4] = uint8_t(f[4] ^ uint8_t(i));
        feed(framer, numbered);
    }
    EXPECT_EQ(framer.peekMessage(), 1);
    feed(framer, frame(0x6F, { 0x20 })); // one too many
    uint8_t out[ANT_MESSAGE_SIZE];
    EXPECT_EQ(framer.readMessage(out, 0), ANT_READ_ERROR);
    EXPECT_EQ(out[0], ANT_ERROR_RING_FULL);
    for (uint32_t i = 0; i < 65535; ++i) {
        ASSERT_EQ(framer.readMessage(out, 0), 1) << i;
        ASSERT_EQ(out[1], uint8_t(i)) << i;
    }
    EXPECT_EQ(framer.readMessage(out, 0), ANT_NO_MESSAGE) << "the dropped message never arrives";
    // The indices wrap: the ring keeps working past 65,536 writes.
    feed(framer, frame(0x6F, { 0x20 }));
    EXPECT_EQ(framer.readMessage(out, 0), 1);
    EXPECT_EQ(out[0], 0x6F);
}

TEST_F(FramerFixture, WaitMessageWaitsOnceForAMessage)
{
    EXPECT_EQ(framer.waitMessage(0), ANT_NO_MESSAGE);
    EXPECT_EQ(framer.waitMessage(20), ANT_NO_MESSAGE);
    std::atomic<bool> go { false };
    std::thread reader([&] {
        while (!go)
            std::this_thread::yield();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        feed(framer, frame(0x6F, { 0x20 }));
    });
    go = true;
    uint16_t r = framer.waitMessage(10000);
    reader.join();
    EXPECT_EQ(r, 1);
    framer.onPortEvent(ANT_CODE_READ);
    EXPECT_EQ(framer.waitMessage(10000), ANT_READ_ERROR) << "an error pending returns at once";
    EXPECT_EQ(drain(framer), (std::vector<Read> { err(ANT_ERROR_PORT, ANT_CODE_READ), msg(0x6F, { 0x20 }) }));

    // An error raised during the wait ends it.
    std::thread failing([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        framer.onPortEvent(ANT_CODE_WRITE);
    });
    r = framer.waitMessage(10000);
    failing.join();
    EXPECT_EQ(r, ANT_READ_ERROR);
}

TEST(Framer, ChannelOf)
{
    struct Case {
        Bytes msg;
        uint8_t channel;
    };
    const Case cases[] = {
        { { 0x6F, 0x20 }, 255 },
        { { 0x54, 0x08, 0x03 }, 255 },
        { { 0x3E, 0x41 }, 255 },
        { { 0x61, 0x01 }, 255 },
        { { 0x40, 0x00, 0x46, 0x00 }, 255 },
        { { 0x40, 0x00, 0x47, 0x00 }, 255 },
        { { 0x40, 0x00, 0x66, 0x00 }, 255 },
        { { 0x40, 0x03, 0x42, 0x00 }, 3 },
        { { 0x40, 0x25, 0x42, 0x00 }, 5 },
        { { 0x4E, 0x07, 1, 2, 3, 4, 5, 6, 7, 8 }, 7 },
        { { 0x4E, 0x1F }, 31 },
    };
    for (const auto& c : cases)
        EXPECT_EQ(ANTFramer::channelOf(c.msg.data(), uint32_t(c.msg.size() - 1)), c.channel) << int(c.msg[0]);
    const uint8_t noData[] = { 0x4E };
    EXPECT_EQ(ANTFramer::channelOf(noData, 0), 255);
    EXPECT_EQ(ANTFramer::channelOf(nullptr), 255);
}

TEST(Framer, AllocMessage)
{
    ANTFramer framer;
    uint8_t* m = reinterpret_cast<uint8_t*>(1);
    EXPECT_EQ(framer.allocMessage(&m, 42), 0);
    EXPECT_EQ(m, nullptr);
    ASSERT_EQ(framer.allocMessage(&m, 41), 1);
    ASSERT_NE(m, nullptr);
    m[ANT_MESSAGE_SIZE - 1] = 1; // 42 bytes are there
    ANTFramer::freeMessage(m);
    EXPECT_EQ(framer.allocMessage(nullptr, 1), 0);
}

TEST_F(FramerFixture, WaitersTakeMatchingRepliesWhichStillReachTheRing)
{
    // The channel response to "open channel 1" and to "close channel 1".
    const uint8_t openMatch[] = { 1, 0x4B };
    const uint8_t closeMatch[] = { 1, 0x4C };
    ANTResponseWaiter open, open2, close, anyStartup;
    ASSERT_EQ(open.arm(0x40, openMatch, 2, &framer), 1);
    ASSERT_EQ(open2.arm(0x40, openMatch, 2, &framer), 1);
    ASSERT_EQ(close.arm(0x40, closeMatch, 2, &framer), 1);
    ASSERT_EQ(anyStartup.arm(0x6F, nullptr, 0, &framer), 1);
    EXPECT_FALSE(open.wait(0));

    std::thread radio([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        feed(framer, frame(0x40, { 2, 0x4B, 0 })); // another channel
        feed(framer, frame(0x40, { 1, 0x4B, 0x15 }));
    });
    bool done = false;
    for (int i = 0; i < 100 && !done; ++i)
        done = open.wait(100);
    radio.join();
    ASSERT_TRUE(done);
    EXPECT_EQ(open.dataLength(), 3);
    EXPECT_EQ(Bytes(open.data(), open.data() + 3), (Bytes { 1, 0x4B, 0x15 }));
    EXPECT_TRUE(open2.wait(0)) << "several waiters may take one message";
    EXPECT_FALSE(close.wait(10));
    EXPECT_FALSE(anyStartup.done());
    EXPECT_EQ(drain(framer), (std::vector<Read> { msg(0x40, { 2, 0x4B, 0 }), msg(0x40, { 1, 0x4B, 0x15 }) }));

    // A message shorter than the match bytes never matches; a done waiter
    // keeps its first reply.
    feed(framer, frame(0x40, { 1 }));
    feed(framer, frame(0x40, { 1, 0x4B, 0x00 }));
    EXPECT_FALSE(close.done());
    EXPECT_EQ(open.data()[2], 0x15);
    feed(framer, frame(0x6F, { 0x20 }));
    EXPECT_TRUE(anyStartup.wait(0));
    EXPECT_EQ(anyStartup.data()[0], 0x20);

    // Disarmed, a waiter no longer takes anything; disarming twice is harmless.
    close.disarm();
    close.disarm();
    feed(framer, frame(0x40, { 1, 0x4C, 0 }));
    EXPECT_FALSE(close.done());
}

TEST_F(FramerFixture, WaitersShareOneCondition)
{
    ANTResponseWaiter completed, failed;
    const uint8_t completedMatch[] = { 0, 1, 5 };
    const uint8_t failedMatch[] = { 0, 1, 6 };
    ASSERT_EQ(completed.arm(0x40, completedMatch, 3, &framer), 1);
    ASSERT_EQ(failed.arm(0x40, failedMatch, 3, &framer, completed.ownCondition()), 1);
    std::thread radio([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        feed(framer, frame(0x40, { 0, 1, 6 }));
    });
    // Waiting on the first waiter's condition wakes for the second's reply.
    bool woke = false;
    for (int i = 0; i < 100 && !woke; ++i) {
        completed.wait(100);
        woke = failed.done();
    }
    radio.join();
    EXPECT_TRUE(woke);
    EXPECT_FALSE(completed.done());
}

TEST(Framer, ArmRefusesBadArguments)
{
    ANTFramer framer;
    ANTResponseWaiter w;
    const uint8_t match[ANT_MAX_DATA + 1] = {};
    EXPECT_EQ(w.arm(0x40, match, 1, nullptr), 0);
    EXPECT_EQ(w.arm(0x40, match, 42, &framer), 0);
    EXPECT_EQ(w.arm(0x40, nullptr, 1, &framer), 0);
    EXPECT_EQ(w.arm(0x40, match, 41, &framer), 1);
    EXPECT_EQ(w.arm(0x40, match, 2, &framer), 1) << "re-arming does not link twice";
    w.disarm();
    EXPECT_FALSE(w.wait(0));
}

TEST(Framer, AWaiterOutlivingItsFramerIsHarmless)
{
    ANTResponseWaiter w;
    {
        ANTFramer framer;
        ASSERT_EQ(w.arm(0x6F, nullptr, 0, &framer), 1);
    }
    w.disarm();
    EXPECT_FALSE(w.wait(10));
}
