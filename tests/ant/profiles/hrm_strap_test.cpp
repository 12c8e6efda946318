// The heart-rate exports end to end: the library on the simulated radio,
// with simulated straps stepped by the test.
#include "ant/core/ant_library.h"
#include "ant/core/ant_sensor_profile.h"
#include "ant/profiles/hrm_sensor.h"
#include "ant/senvoy.h"

#include "platform/registry.h"
#include "sim/ant_radio/ant_radio_sim.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <vector>

using namespace senvoy;
using kivo::sim::AntRadioModel;
using kivo::sim::AntRadioSim;
using kivo::sim::AntStrap;
using Bytes = std::vector<uint8_t>;

namespace {

constexpr uint32_t kWaitMs = 10000;
constexpr uint32_t kPeriodMs = 247; // 8070 / 32768 s
const Bytes kKey { 0x21, 0x43, 0x65, 0x87, 0xA9, 0xCB, 0xED, 0x0F };

struct Records {
    std::mutex m;
    std::condition_variable cv;
    std::vector<Bytes> all;

    static void callback(uint32_t code, uint32_t, const uint8_t* record, uint32_t length, void* context)
    {
        auto* self = static_cast<Records*>(context);
        EXPECT_EQ(code, 101u);
        std::lock_guard<std::mutex> lock(self->m);
        self->all.emplace_back(record, record + length);
        self->cv.notify_all();
    }
    size_t size()
    {
        std::lock_guard<std::mutex> lock(m);
        return all.size();
    }
    Bytes at(size_t i)
    {
        std::lock_guard<std::mutex> lock(m);
        return all.at(i);
    }
    bool waitFor(size_t n)
    {
        std::unique_lock<std::mutex> lock(m);
        return cv.wait_for(lock, std::chrono::milliseconds(kWaitMs), [&] { return all.size() >= n; });
    }
};

// Counts the messages of a channel no profile uses: once one injected after
// others arrives, the receive thread has handed on everything before it.
class Barrier : public ANTChannelHandler {
public:
    void attach(ANTFramer*, uint8_t channel) override { m_channel = channel; }
    void detach() override { }
    void onMessage(const uint8_t*, uint16_t) override
    {
        std::lock_guard<std::mutex> lock(m);
        ++count;
        cv.notify_all();
    }
    void onManagerEvent(uint32_t, uint32_t) override { }
    int isEnabled() const override { return 1; }
    bool pass(AntRadioSim& sim)
    {
        int target;
        {
            std::lock_guard<std::mutex> lock(m);
            target = count + 1;
        }
        sim.injectFrame(0x4E, { 7, 0, 0, 0, 0, 0, 0, 0, 0 });
        std::unique_lock<std::mutex> lock(m);
        return cv.wait_for(lock, std::chrono::milliseconds(kWaitMs), [&] { return count >= target; });
    }
    std::mutex m;
    std::condition_variable cv;
    int count = 0;
};

uint32_t rateOf(const Bytes& record)
{
    uint32_t r;
    std::memcpy(&r, record.data() + 4, 4);
    return r;
}

struct StrapFixture : ::testing::Test {
    kivo::test::TempDeviceRoot root;
    AntRadioSim sim;
    Records records;
    Barrier barrier;

    void SetUp() override
    {
        ce::reg::setString(ce::reg::Root::LocalMachine, ANT_KEY_REGISTRY_PATH, "NetworkKey1", "21436587A9CBED0F");
        sim.install();
        sim.setAnswerMode(AntRadioSim::AnswerMode::Immediate);
        ASSERT_EQ(ANTLIB_Init(), 1);
        uint32_t event = 0;
        ASSERT_TRUE(ANTLIB_Manager()->waitEvent(kWaitMs, &event));
        ASSERT_EQ(event, ANT_STATE_EVENT_OPENED);
        ASSERT_EQ(ANTLIB_Manager()->registerChannel(7, &barrier), 1);
        ASSERT_EQ(ANTSENSOR_Init(&records, &Records::callback), 1);
    }
    void TearDown() override
    {
        ANTSENSOR_Deinit();
        if (ANTLIB_Manager())
            ANTLIB_Manager()->unregisterChannel(&barrier);
        ANTLIB_Deinit();
    }
    int addStrap(uint16_t number, uint32_t bpm)
    {
        AntStrap s;
        s.deviceNumber = number;
        s.bpm = bpm;
        s.networkKey = kKey;
        return sim.addStrap(s);
    }
    // Steps the radio's clock by n channel periods, one at a time, and
    // waits until the library has handled what came.
    void periods(int n)
    {
        for (int i = 0; i < n; ++i)
            sim.advanceTime(kPeriodMs);
        ASSERT_TRUE(barrier.pass(sim));
    }
    HRMSensor* hrm(uint8_t channel) { return static_cast<HRMSensor*>(SensorTable_Get(channel)); }
};

} // namespace

TEST_F(StrapFixture, ConnectOpensTheChannelAndTheStrapsRateIsReported)
{
    addStrap(4321, 72);
    sim.clearLog();
    EXPECT_EQ(ANTHRM_Connect(0, 0, 10), 1);
    Bytes key { 0x46, 1 };
    key.insert(key.end(), kKey.begin(), kKey.end());
    EXPECT_EQ(sim.takeSentMessages(),
        (std::vector<Bytes> {
            { 0x4D, 0, 0x52 },
            key,
            { 0x42, 0, 0x00, 1 },
            { 0x51, 0, 0, 0, 120, 0 },
            { 0x45, 0, 57 },
            { 0x43, 0, 0x86, 0x1F },
            { 0x44, 0, 10 },
            { 0x4B, 0 },
        }));
    EXPECT_EQ(ANTHRM_Connect(0, 0, 10), 2);
    EXPECT_TRUE(sim.takeSentMessages().empty());

    uint8_t id[8] = { 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE };
    EXPECT_EQ(ANTSENSOR_RequestSensorID(0, id, 8), 0); // not receiving yet
    periods(8);
    ASSERT_GE(records.size(), 1u);
    for (size_t i = 0; i < records.size(); ++i) {
        Bytes r = records.at(i);
        EXPECT_EQ(r.size(), 16u);
        EXPECT_EQ(r[0], 0);
        EXPECT_EQ(r[1], 1);
        EXPECT_EQ(rateOf(r), 72u);
    }
    EXPECT_EQ(hrm(0)->beatRate(), 72);
    EXPECT_EQ(ANTSENSOR_RequestSensorID(0, id, 8), 1);
    EXPECT_EQ(Bytes(id, id + 8), (Bytes { 0, 0, 0xE1, 0x10, 120, 1, 0, 0 }));
    EXPECT_EQ(ANTSENSOR_RequestSensorID(0, id, 7), 0);
    EXPECT_EQ(ANTSENSOR_RequestSensorManufactorInfo(0, id, 8), 0);

    sim.clearLog();
    EXPECT_EQ(ANTHRM_Disconnect(0), 1);
    EXPECT_EQ(sim.takeSentMessages(), (std::vector<Bytes> { { 0x4D, 0, 0x52 }, { 0x4C, 0 }, { 0x41, 0 } }));
    EXPECT_EQ(SensorTable_Get(0), nullptr);
    EXPECT_EQ(ANTHRM_Disconnect(0), 1); // nothing there
}

TEST_F(StrapFixture, AStoppedStrapStopsReportingAndRollOversAreCounted)
{
    int strap = addStrap(1000, 72);
    sim.withModel([&](AntRadioModel& m) {
        m.strap(strap).beatCount = 250;
        m.strap(strap).beatTime = 65000;
    });
    ASSERT_EQ(ANTHRM_Connect(2, 1000, 10), 1);
    // Through the roll-over of count and time, every message reports 72
    // once the first beat has come.
    periods(6);
    ASSERT_GE(records.size(), 1u);
    for (int i = 0; i < 30; ++i) {
        size_t before = records.size();
        periods(1);
        EXPECT_EQ(records.size(), before + 1) << i;
        EXPECT_EQ(hrm(2)->beatRate(), 72) << i;
    }
    EXPECT_LT(hrm(2)->totalBeats(), 30u); // no wrap counted as 250 beats

    sim.withModel([&](AntRadioModel& m) { m.setStrapPaused(strap, true); });
    size_t atPause = records.size();
    std::vector<size_t> counts;
    for (int i = 0; i < 20; ++i) {
        periods(1);
        counts.push_back(records.size() - atPause);
    }
    // Reports go on until the twelfth message since the last beat, then stop.
    EXPECT_GE(counts.back(), 8u);
    EXPECT_LE(counts.back(), 12u);
    EXPECT_EQ(counts[12], counts.back());

    sim.withModel([&](AntRadioModel& m) { m.setStrapPaused(strap, false); });
    periods(8);
    EXPECT_GT(records.size() - atPause, counts.back());
}

TEST_F(StrapFixture, ASearchWithoutAStrapEndsInTheClosedRecord)
{
    addStrap(5, 60); // on another device number
    ASSERT_EQ(ANTHRM_Connect(1, 77, 1), 1);
    periods(12); // beyond 2.5 s
    ASSERT_TRUE(records.waitFor(1));
    EXPECT_EQ(records.at(0), (Bytes { 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0 }));
    EXPECT_EQ(hrm(1)->state(), ANTSensorProfile::STATE_CLOSED);
    // Closed by the radio: connecting again reopens it.
    EXPECT_EQ(ANTHRM_Connect(1, 77, 1), 1);
}

TEST_F(StrapFixture, AResetOfTheRadioClosesTheOpenChannels)
{
    addStrap(9, 80);
    ASSERT_EQ(ANTHRM_Connect(3, 9, 10), 1);
    periods(8);
    ASSERT_GE(records.size(), 1u);
    size_t before = records.size();
    sim.injectSerialError(0x01);
    ASSERT_TRUE(records.waitFor(before + 1));
    Bytes closed = records.at(before);
    EXPECT_EQ(closed[0], 3);
    EXPECT_EQ(closed[1], 0);
    EXPECT_EQ(rateOf(closed), 80u);
    EXPECT_EQ(hrm(3)->state(), ANTSensorProfile::STATE_UNASSIGNED);
}

TEST_F(StrapFixture, AListLetsOnlyTheListedStrapBeFound)
{
    addStrap(1111, 60);
    addStrap(2222, 90);
    EXPECT_EQ(ANTHRM_ConfigureList(4, nullptr, 0, 0), 0); // not open yet
    ASSERT_EQ(ANTHRM_Connect(4, 0, 10), 1);
    const uint16_t list[] = { 2222 };
    sim.clearLog();
    ASSERT_EQ(ANTHRM_ConfigureList(4, list, 1, 0), 1);
    EXPECT_EQ(sim.takeSentMessages(),
        (std::vector<Bytes> { { 0x4D, 4, 0x52 }, { 0x4C, 4 }, { 0x59, 4, 0xAE, 0x08, 120, 1, 0 }, { 0x5A, 4, 1, 0 },
            { 0x51, 4, 0, 0, 120, 0 }, { 0x4B, 4 } }));
    periods(8);
    ASSERT_GE(records.size(), 1u);
    EXPECT_EQ(rateOf(records.at(records.size() - 1)), 90u);
}

TEST_F(StrapFixture, ExportsRefuseAChannelHoldingAnotherKindOfSensor)
{
    struct OtherSensor : ANTSensorProfile {
        OtherSensor()
            : ANTSensorProfile(ANT_SENSOR_SAC, 121, 57, 8086, 1)
        {
        }
        void decode(const uint8_t*) override { }
        void report() override { }
        void reportClosed() override { }
    };
    ANTSensorProfile* other = SensorTable_Creator(5, ANT_SENSOR_SAC, [] { return (ANTSensorProfile*)new OtherSensor; });
    ASSERT_NE(other, nullptr);
    sim.clearLog();
    EXPECT_EQ(ANTHRM_Connect(5, 0, 10), 0);
    EXPECT_EQ(ANTHRM_ConfigureList(5, nullptr, 0, 0), 0);
    EXPECT_EQ(ANTHRM_Disconnect(5), 0);
    EXPECT_TRUE(sim.takeSentMessages().empty());
    EXPECT_EQ(SensorTable_Get(5), other);

    // An empty channel has no sensor id to give.
    uint8_t id[8] = { 1, 2, 3, 4, 5, 6, 7, 8 };
    EXPECT_EQ(ANTSENSOR_RequestSensorID(6, id, 8), 0);
    EXPECT_EQ(Bytes(id, id + 8), (Bytes { 1, 2, 3, 4, 5, 6, 7, 8 }));
    // Channels beyond the eight.
    EXPECT_EQ(ANTHRM_Connect(8, 0, 10), 0);
}

TEST(StrapWithoutLibrary, ExportsNeedTheLibraryAndAKey)
{
    kivo::test::TempDeviceRoot root;
    EXPECT_EQ(ANTHRM_Connect(0, 0, 10), 0);
    EXPECT_EQ(ANTHRM_Disconnect(0), 0);
    uint8_t id[8];
    EXPECT_EQ(ANTSENSOR_RequestSensorID(0, id, 8), 0);
    EXPECT_EQ(ANTSENSOR_Init(nullptr, nullptr), 0);

    // Without a configured key for network 1 nothing is opened.
    AntRadioSim sim;
    sim.install();
    sim.setAnswerMode(AntRadioSim::AnswerMode::Immediate);
    ASSERT_EQ(ANTLIB_Init(), 1);
    uint32_t event = 0;
    ASSERT_TRUE(ANTLIB_Manager()->waitEvent(kWaitMs, &event));
    sim.clearLog();
    EXPECT_EQ(ANTHRM_Connect(0, 0, 10), 0);
    EXPECT_TRUE(sim.sentFrames().empty());
    ANTLIB_Deinit();
}
