// The heart-rate decoder on payloads fed straight in.
#include "ant/profiles/hrm_sensor.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace senvoy;
using Bytes = std::vector<uint8_t>;

namespace {

struct Report {
    uint8_t channel;
    uint8_t connected;
    uint32_t rate;
};

std::vector<Report> g_reports;

void collect(uint32_t code, uint32_t, const uint8_t* record, uint32_t length, void*)
{
    ASSERT_EQ(code, ANTSENSOR_CODE_HRM);
    ASSERT_EQ(length, 16u);
    uint32_t rate;
    std::memcpy(&rate, record + 4, 4);
    EXPECT_EQ(Bytes(record + 2, record + 4), Bytes(2, 0));
    EXPECT_EQ(Bytes(record + 8, record + 16), Bytes(8, 0));
    g_reports.push_back({ record[0], record[1], rate });
}

// Page byte 0, beat time, beat count, heart rate; bytes 1-3 as given.
Bytes page(uint8_t byte0, uint16_t time, uint8_t count, uint8_t rate, Bytes b123 = { 0xFF, 0xFF, 0xFF })
{
    return { byte0, b123[0], b123[1], b123[2], uint8_t(time), uint8_t(time >> 8), count, rate };
}

struct DecoderFixture : ::testing::Test {
    HRMSensor hrm;
    void SetUp() override
    {
        g_reports.clear();
        ANTSensor_SetCallback(&collect, nullptr);
        hrm.attach(nullptr, 4);
    }
    void TearDown() override { ANTSensor_SetCallback(nullptr, nullptr); }
    void feed(HRMSensor& h, const Bytes& p) { h.receivePage(p.data()); }
    void feed(const Bytes& p) { feed(hrm, p); }
};

} // namespace

TEST_F(DecoderFixture, BeatsGiveTheRateAndTheStrapsHeartRateIsReported)
{
    struct Case {
        uint16_t time0;
        uint8_t count0;
        uint16_t time1;
        uint8_t count1;
        uint8_t beatRate;
        uint32_t totalBeats;
        uint16_t dt;
    };
    const Case cases[] = {
        { 1000, 10, 2024, 11, 60, 1, 1024 },
        { 60000, 255, 1000, 1, 2 * 61440 / 6536, 2, 6536 }, // both wrap: 2 beats in 6536/1024 s
        { 65535, 200, 1000, 201, 61, 1, 1001 },
    };
    for (const Case& c : cases) {
        HRMSensor h;
        h.attach(nullptr, 4);
        g_reports.clear();
        feed(h, page(0x00, c.time0, c.count0, 77));
        EXPECT_TRUE(g_reports.empty()); // no beat seen yet
        feed(h, page(0x00, c.time1, c.count1, 77));
        EXPECT_EQ(h.beatRate(), c.beatRate) << c.time0;
        EXPECT_EQ(h.totalBeats(), c.totalBeats) << c.time0;
        EXPECT_EQ(h.totalBeatTime(), c.dt) << c.time0;
        ASSERT_EQ(g_reports.size(), 1u) << c.time0;
        EXPECT_EQ(g_reports[0].channel, 4);
        EXPECT_EQ(g_reports[0].connected, 1);
        EXPECT_EQ(g_reports[0].rate, 77u); // the strap's own value, byte 7
    }
}

TEST_F(DecoderFixture, TwelveMessagesWithoutABeatStopTheReportsUntilTheNextBeat)
{
    feed(page(0x00, 1000, 10, 70));
    feed(page(0x00, 2024, 11, 70));
    ASSERT_EQ(g_reports.size(), 1u);
    for (int i = 1; i <= 12; ++i) {
        feed(page(0x00, 2024, 11, 70));
        EXPECT_EQ(g_reports.size(), size_t(i < 12 ? 1 + i : 12)) << i;
    }
    feed(page(0x00, 2024, 11, 70));
    EXPECT_EQ(g_reports.size(), 12u);
    feed(page(0x00, 3048, 12, 71));
    EXPECT_EQ(g_reports.size(), 13u);
    EXPECT_EQ(g_reports.back().rate, 71u);
}

TEST_F(DecoderFixture, EachStrapCountsItsOwnMessagesWithoutABeat)
{
    // One strap stops while another keeps beating: the stopped one stops
    // reporting after its twelfth beatless message all the same.
    HRMSensor other;
    other.attach(nullptr, 5);
    feed(page(0x00, 1000, 10, 70));
    feed(page(0x00, 2024, 11, 70));
    feed(other, page(0x00, 0, 0, 90));
    for (int i = 1; i <= 20; ++i) {
        feed(page(0x00, 2024, 11, 70));
        feed(other, page(0x00, uint16_t(683 * i), uint8_t(i), 90));
    }
    size_t stopped = 0;
    for (const Report& r : g_reports)
        stopped += r.channel == 4;
    EXPECT_EQ(stopped, 12u); // the first beat and eleven beatless messages
}

TEST_F(DecoderFixture, PagesCountOnlyOnceTheStrapToggles)
{
    // Never toggling: the pages are not read, the beats still report.
    feed(page(0x02, 1000, 10, 70, { 15, 0x34, 0x12 }));
    feed(page(0x02, 2024, 11, 70, { 15, 0x34, 0x12 }));
    EXPECT_EQ(hrm.toggleState(), 0);
    EXPECT_EQ(hrm.manufacturerId(), 0);
    EXPECT_EQ(g_reports.size(), 1u);

    // Toggling: pages 1-3 are read; page 4 brings the previous beat time
    // itself, which the message's own time then does not replace.
    feed(page(0x82, 2024, 11, 70, { 15, 0x34, 0x12 }));
    EXPECT_EQ(hrm.toggleState(), 3);
    EXPECT_EQ(hrm.manufacturerId(), 15);
    EXPECT_EQ(hrm.serialNumber(), 0x1234);
    feed(page(0x81, 2024, 11, 70, { 0x01, 0x02, 0x03 }));
    EXPECT_EQ(hrm.operatingTime(), 0x030201u);
    feed(page(0x83, 2024, 11, 70, { 4, 5, 6 }));
    EXPECT_EQ(hrm.hardwareVersion(), 4);
    EXPECT_EQ(hrm.softwareVersion(), 5);
    EXPECT_EQ(hrm.modelNumber(), 6);
    feed(page(0x84, 3072, 12, 70, { 0xFF, uint8_t(2048), uint8_t(2048 >> 8) }));
    EXPECT_EQ(hrm.beatRate(), 60); // 3072 - 2048 from page 4, not 3072 - 2024
    EXPECT_EQ(hrm.previousBeatTime(), 2048);
    EXPECT_EQ(hrm.beatInterval(), 1024);
}

TEST_F(DecoderFixture, MessagesOfOtherChannelsAndShortOnesAreIgnored)
{
    const Bytes good { 0x4E, 4, 0x00, 0xFF, 0xFF, 0xFF, 0xE8, 0x03, 10, 70 };
    hrm.onMessage(good.data(), 9);
    const Bytes other { 0x4E, 5, 0x00, 0xFF, 0xFF, 0xFF, 0xE8, 0x07, 11, 70 };
    hrm.onMessage(other.data(), 9);
    // Channel 4 in the low bits, but not the channel byte of this channel.
    const Bytes upperBits { 0x4E, 0x24, 0x00, 0xFF, 0xFF, 0xFF, 0xE8, 0x0B, 12, 70 };
    hrm.onMessage(upperBits.data(), 9);
    hrm.onMessage(good.data(), 5); // cut short
    hrm.onMessage(good.data(), 65534);
    EXPECT_EQ(hrm.state(), ANTSensorProfile::STATE_TRACKING);
    const Bytes next { 0x4E, 4, 0x00, 0xFF, 0xFF, 0xFF, 0xE8, 0x07, 11, 70 };
    hrm.onMessage(next.data(), 9);
    EXPECT_EQ(hrm.totalBeats(), 1u);
    // The channel-closed event gives the closed record, keeping the rate.
    const Bytes closed { 0x40, 4, 1, 7 };
    hrm.onMessage(closed.data(), 3);
    ASSERT_EQ(g_reports.size(), 2u);
    EXPECT_EQ(g_reports[1].connected, 0);
    EXPECT_EQ(g_reports[1].rate, 70u);
    EXPECT_EQ(hrm.state(), ANTSensorProfile::STATE_CLOSED);
}
