// The speed-and-cadence profile: its decoder on payloads fed straight in,
// and its exports on the simulated radio with a simulated sensor.
#include "ant/profiles/sac_sensor.h"
#include "sim/ant_radio/sensor_models.h"
#include "tests/ant/profiles/profile_fixture.h"

#include <functional>
#include <memory>

using namespace senvoy;
using namespace profiletest;
using kivo::sim::AntRadioModel;
using kivo::sim::AntSpeedCadenceSensor;

namespace {

// Crank time, crank count, wheel time, wheel count.
Bytes sacPage(uint16_t crankTime, uint16_t crankCount, uint16_t wheelTime, uint16_t wheelCount)
{
    return { uint8_t(crankTime), uint8_t(crankTime >> 8), uint8_t(crankCount), uint8_t(crankCount >> 8),
        uint8_t(wheelTime), uint8_t(wheelTime >> 8), uint8_t(wheelCount), uint8_t(wheelCount >> 8) };
}

struct SacDecoder : ::testing::Test {
    Records records;
    SACSensor sac;
    void SetUp() override
    {
        ANTSensor_SetCallback(&Records::callback, &records);
        sac.attach(nullptr, 2);
    }
    void TearDown() override { ANTSensor_SetCallback(nullptr, nullptr); }
    void feed(SACSensor& s, const Bytes& p) { s.receivePage(p.data()); }
    void feed(const Bytes& p) { feed(sac, p); }
};

} // namespace

TEST_F(SacDecoder, CountsAndTimesGiveCadenceSpeedAndTheRecord)
{
    // Both counts and times roll over between the two pages.
    feed({ 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0xFC, 0xFE, 0xFF });
    feed({ 0xFF, 0x00, 0x00, 0x00, 0x00, 0x02, 0x01, 0x00 });
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(sac.cadence(), 120); // 1 revolution in 511/1024 s
    EXPECT_EQ(sac.speed(), 14904u); // 3 x 207 cm in 1.5 s
    EXPECT_EQ(sac.distance(), 3u * 207);
    Record r = records.last();
    EXPECT_EQ(r.code, 102u);
    ASSERT_EQ(r.bytes.size(), 36u);
    EXPECT_EQ(Bytes(r.bytes.begin(), r.bytes.begin() + 4), (Bytes { 2, 1, 0, 0 }));
    EXPECT_EQ(Bytes(r.bytes.begin() + 4, r.bytes.begin() + 28),
        (Bytes { 1, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0, 0, 0, 0x00, 0x02, 0, 0, 0x38, 0x3A, 0, 0, 120, 0, 0, 0 }));
    EXPECT_EQ(Bytes(r.bytes.begin() + 28, r.bytes.end()), Bytes(8, 0));

    // The first page after attach only sets the counts to count from, each
    // count its own, whatever time the sensor has reached.
    sac.attach(nullptr, 2);
    feed(sacPage(5000, 100, 5000, 10));
    EXPECT_EQ(sac.speed(), 0u);
    EXPECT_EQ(sac.cadence(), 0);
    EXPECT_EQ(sac.distance(), 0u);
    feed(sacPage(6024, 101, 6024, 11));
    EXPECT_EQ(sac.cadence(), 60);
    EXPECT_EQ(sac.speed(), 7452u);
    EXPECT_EQ(sac.distance(), 207u);

    // A zero time difference keeps the last values instead of dividing.
    feed(sacPage(6024, 102, 6024, 12));
    EXPECT_EQ(sac.cadence(), 60);
    EXPECT_EQ(sac.speed(), 7452u);
    EXPECT_EQ(sac.distance(), 2u * 207);
}

TEST_F(SacDecoder, ManyRevolutionsOrALongGapBetweenTwoPages)
{
    // The counts and times are 16-bit: neither the revolutions nor the time
    // between two pages is cut to 8 bits or taken as signed.
    struct Case {
        const char* what;
        uint16_t dt; // 1/1024 s, crank and wheel alike
        uint16_t crankRevolutions, wheelRevolutions;
        uint8_t cadence;
        uint32_t speed;
    };
    const Case cases[] = {
        // 207 cm x 300 in 30000/1024 s; 40 turns of the crank meanwhile.
        { "300 wheel revolutions", 30000, 40, 300, 81, 76308 },
        // 40 s: beyond half the range of the times.
        { "40 seconds", 40960, 60, 200, 90, 37260 },
    };
    for (const Case& c : cases) {
        sac.attach(nullptr, 2);
        feed(sacPage(1000, 7, 1000, 9));
        feed(sacPage(uint16_t(1000 + c.dt), uint16_t(7 + c.crankRevolutions), uint16_t(1000 + c.dt),
            uint16_t(9 + c.wheelRevolutions)));
        EXPECT_EQ(sac.cadence(), c.cadence) << c.what;
        EXPECT_EQ(sac.speed(), c.speed) << c.what;
        EXPECT_EQ(sac.distance(), 207u * c.wheelRevolutions) << c.what;
    }
}

TEST_F(SacDecoder, ALargeWheelDoesNotOverflowTheSpeed)
{
    ANTSACSettings settings { 0, 60000 };
    ASSERT_EQ(sac.configure(2, &settings), 1);
    EXPECT_EQ(sac.configure(3, &settings), 0);
    feed(sacPage(0, 0, 0, 0));
    feed(sacPage(0, 0, 1024, 2));
    // 60000 x 2 x 36864 needs more than 32 bits before the division.
    EXPECT_EQ(sac.speed(), 4320000u);
    EXPECT_EQ(sac.distance(), 120000u);
}

TEST_F(SacDecoder, AStandingWheelOrCrankKeepsItsLastValueAndIsFlaggedAfterTwelvePages)
{
    feed(sacPage(0, 0, 0, 0));
    feed(sacPage(1024, 1, 1024, 1));
    for (int i = 1; i <= 12; ++i) {
        feed(sacPage(1024, 1, 1024, 1));
        EXPECT_EQ(sac.cadenceStopped(), i >= 12) << i;
        EXPECT_EQ(sac.speedStopped(), i >= 12) << i;
    }
    EXPECT_EQ(sac.cadence(), 60);
    EXPECT_EQ(sac.speed(), 7452u);
    EXPECT_EQ(records.size(), 14u); // every page is reported
    feed(sacPage(2048, 2, 2048, 2));
    EXPECT_FALSE(sac.cadenceStopped());
    EXPECT_FALSE(sac.speedStopped());

    // Each sensor counts its own still pages: two sensors standing six
    // pages each are not stopped.
    SACSensor other;
    other.attach(nullptr, 3);
    feed(other, sacPage(0, 0, 0, 0));
    for (int i = 0; i < 6; ++i) {
        feed(sacPage(2048, 2, 2048, 2));
        feed(other, sacPage(0, 0, 0, 0));
    }
    EXPECT_FALSE(sac.speedStopped());
    EXPECT_FALSE(sac.cadenceStopped());
    EXPECT_FALSE(other.speedStopped());

    // A crank standing from the first page on, at whatever count: that
    // page is its first without a new revolution.
    sac.attach(nullptr, 2);
    for (int i = 1; i <= 12; ++i) {
        feed(sacPage(5000, 100, uint16_t(5000 + 1024 * i), uint16_t(10 + i)));
        EXPECT_EQ(sac.cadenceStopped(), i >= 12) << i;
    }
    EXPECT_FALSE(sac.speedStopped());
}

TEST_F(SacDecoder, VotesDecideTheSensorClass)
{
    // Over 100 km/h with a moving count byte: the counter climbs from 19
    // (the standing first page took one off) to 25 and the class becomes 1,
    // then stays.
    feed(sacPage(0, 0, 0, 0));
    uint16_t t = 0, n = 0;
    std::vector<int> classes;
    for (int i = 0; i < 8; ++i) {
        t = uint16_t(t + 100);
        n = uint16_t(n + 20); // 20 x 207 cm in 100/1024 s: far above 100 km/h
        feed(sacPage(0, 0, t, n));
        classes.push_back(records.last().bytes[2]);
    }
    EXPECT_GT(sac.speed(), 100000u);
    EXPECT_EQ(classes, (std::vector<int> { 0, 0, 0, 0, 0, 1, 1, 1 }));

    // A standing wheel (still vote gone) with count byte 0 and no speed: the
    // counter falls from 20 below 10, class 2.
    sac.attach(nullptr, 2);
    feed(sacPage(0, 0, 0, 0x0100));
    for (int i = 0; i < 30; ++i)
        feed(sacPage(0, 0, 0, 0x0100)); // byte 6 = 0, byte 7 = 1
    EXPECT_EQ(records.last().bytes[2], 2);
    EXPECT_LT(sac.voteCounter(), 10);
}

TEST_F(SacDecoder, TheOverSpeedVoteDecidesWhereTheOthersDoNot)
{
    // The count byte never votes here: the wheel counts step between
    // xxFF and xx00. Whether the wheel is fast (above 100 km/h) decides
    // the class, with the still vote kept or lost beforehand.
    struct Case {
        const char* what;
        bool stillVoteLost;
        bool fast;
        int sensorClass;
        int counter;
    };
    const Case cases[] = {
        { "over speed and still: up", false, true, 1, 25 },
        { "still alone: down", false, false, 2, 9 },
        { "over speed alone: held at the start", true, true, 0, 20 },
        { "no vote: down", true, false, 2, 9 },
    };
    for (const Case& c : cases) {
        sac.attach(nullptr, 2);
        uint16_t t = 0, n = 0x00FF;
        if (c.stillVoteLost) {
            // Up to 24 with moving count bytes on a slow wheel, then twelve
            // pages standing with byte 7 = 1 take the still vote away.
            for (uint16_t count = 0x01FB; count <= 0x01FF; ++count) {
                t = uint16_t(t + 65535);
                feed(sacPage(0, 0, t, count));
            }
            n = 0x01FF;
            for (int i = 0; i < 12; ++i)
                feed(sacPage(0, 0, t, n));
            ASSERT_EQ(sac.voteCounter(), 11) << c.what;
        } else {
            feed(sacPage(0, 0, t, n));
        }
        for (int i = 0; i < 12; ++i) {
            n = uint16_t((n & 0xFF) == 0xFF ? n + 1 : n + 255);
            t = uint16_t(t + (c.fast ? 50 : 65535));
            feed(sacPage(0, 0, t, n));
            ASSERT_EQ(sac.speed() > 100000u, c.fast) << c.what << " " << i;
        }
        EXPECT_EQ(records.last().bytes[2], c.sensorClass) << c.what;
        EXPECT_EQ(sac.voteCounter(), c.counter) << c.what;
    }
}

TEST_F(SacDecoder, TheClosedRecordKeepsTheLastValues)
{
    feed(sacPage(0, 100, 0, 10));
    feed(sacPage(1024, 101, 1024, 11));
    Bytes data = records.last().bytes;
    const uint8_t closed[] = { 0x40, 2, 1, 7 };
    sac.onMessage(closed, 3);
    EXPECT_EQ(sac.state(), ANTSensorProfile::STATE_CLOSED);
    Bytes expected = data;
    expected[1] = 0;
    EXPECT_EQ(records.last().bytes, expected);
}

namespace {

struct SacRadio : LibraryFixture {
    static constexpr uint32_t kPeriodMs = 247; // 8086 / 32768 s
    std::shared_ptr<AntSpeedCadenceSensor> sensor = std::make_shared<AntSpeedCadenceSensor>();

    void SetUp() override
    {
        LibraryFixture::SetUp();
        sensor->deviceNumber = 0x1234;
        sensor->networkKey = kKey1;
        sensor->wheel.rpm = 200; // 307/1024 s a revolution
        sensor->crank.rpm = 90;
        sim.withModel([&](AntRadioModel& m) { m.addPeer(sensor); });
    }
    SACSensor* sac(uint8_t ch) { return static_cast<SACSensor*>(SensorTable_Get(ch)); }
};

} // namespace

TEST_F(SacRadio, ConnectOpensTheChannelAndTheSensorIsReported)
{
    sim.clearLog();
    ASSERT_EQ(ANTSAC_Connect(1, 0, 10), 1);
    EXPECT_EQ(sim.takeSentMessages(),
        (std::vector<Bytes> { { 0x4D, 1, 0x52 }, keyMessage(1, kKey1), { 0x42, 1, 0x00, 1 },
            { 0x51, 1, 0, 0, 121, 0 }, { 0x45, 1, 57 }, { 0x43, 1, 0x96, 0x1F }, { 0x44, 1, 10 }, { 0x4B, 1 } }));
    EXPECT_EQ(ANTSAC_Connect(1, 0, 10), 2);
    EXPECT_TRUE(sim.takeSentMessages().empty());

    step(20, kPeriodMs);
    ASSERT_GE(records.size(), 10u);
    Record r = records.last();
    EXPECT_EQ(r.code, 102u);
    EXPECT_EQ(r.bytes[0], 1);
    EXPECT_EQ(r.bytes[1], 1);
    EXPECT_EQ(fieldAt<uint32_t>(r.bytes, 20), 207u * 36864 / 307); // speed
    EXPECT_EQ(fieldAt<uint32_t>(r.bytes, 24), 61440u / 682); // cadence of 682/1024 s a turn
    uint8_t id[8] = {};
    EXPECT_EQ(ANTSENSOR_RequestSensorID(1, id, 8), 1);
    EXPECT_EQ(Bytes(id, id + 8), (Bytes { 1, 0, 0x34, 0x12, 121, 1, 0, 0 }));

    // A new circumference takes effect with the next revolutions.
    ANTSACSettings settings { 0, 210 };
    EXPECT_EQ(ANTSAC_Configure(1, &settings), 1);
    EXPECT_EQ(sac(1)->circumference(), 210u);
    step(8, kPeriodMs);
    EXPECT_EQ(fieldAt<uint32_t>(records.last().bytes, 20), 210u * 36864 / 307);

    // The wheel stops: the speed stays, the sensor goes on reporting.
    sim.withModel([&](AntRadioModel&) { sensor->wheel.rpm = 0; });
    size_t before = records.size();
    step(16, kPeriodMs);
    EXPECT_GE(records.size(), before + 16);
    EXPECT_TRUE(sac(1)->speedStopped());
    EXPECT_EQ(fieldAt<uint32_t>(records.last().bytes, 20), 210u * 36864 / 307);

    sim.clearLog();
    EXPECT_EQ(ANTSAC_Disconnect(1), 1);
    EXPECT_EQ(sim.takeSentMessages(), (std::vector<Bytes> { { 0x4D, 1, 0x52 }, { 0x4C, 1 }, { 0x41, 1 } }));
    EXPECT_EQ(SensorTable_Get(1), nullptr);
}

TEST_F(SacRadio, ConfigureNeedsASpeedAndCadenceSensorOnTheChannel)
{
    ANTSACSettings settings { 0, 210 };
    EXPECT_EQ(ANTSAC_Configure(0, nullptr), 0);
    EXPECT_EQ(ANTSAC_Configure(0, &settings), 0); // empty: nothing to configure
    EXPECT_EQ(SensorTable_Get(0), nullptr);
    ASSERT_EQ(ANTHRM_Connect(0, 0, 10), 1);
    EXPECT_EQ(ANTSAC_Configure(0, &settings), 0);
    EXPECT_EQ(ANTSAC_Connect(0, 0, 10), 0);
    EXPECT_EQ(ANTSAC_Disconnect(0), 0);
    ASSERT_EQ(ANTHRM_Disconnect(0), 1);
}

TEST_F(SacRadio, OpeningAChannelTheRadioHoldsClosesAndUnassignsItFirst)
{
    // The radio still tracks on channel 2 (left by another program).
    sim.withModel([&](AntRadioModel& m) {
        m.channel(2).state = 3;
        m.channel(3).state = 1;
    });
    sim.clearLog();
    ASSERT_EQ(ANTSAC_Connect(2, 0, 10), 1);
    std::vector<Bytes> sent = sim.takeSentMessages();
    ASSERT_GE(sent.size(), 4u);
    EXPECT_EQ(Bytes(sent[1]), (Bytes { 0x4C, 2 }));
    EXPECT_EQ(Bytes(sent[2]), (Bytes { 0x41, 2 }));
    EXPECT_EQ(sent[3], keyMessage(1, kKey1));
    // Only assigned: unassigned, not closed.
    ASSERT_EQ(ANTSAC_Connect(3, 0, 10), 1);
    sent = sim.takeSentMessages();
    EXPECT_EQ(Bytes(sent[1]), (Bytes { 0x41, 3 }));
    EXPECT_EQ(sent[2], keyMessage(1, kKey1));

    // Closing a channel the radio has already unassigned sends no unassign.
    sim.withModel([&](AntRadioModel& m) { m.channel(3) = kivo::sim::AntSimChannel {}; });
    EXPECT_EQ(ANTSAC_Disconnect(3), 1);
    EXPECT_EQ(sim.takeSentMessages(), (std::vector<Bytes> { { 0x4D, 3, 0x52 } }));
}

TEST_F(SacRadio, AListAndAResetOfTheRadio)
{
    ASSERT_EQ(ANTSAC_Connect(4, 0, 10), 1);
    const uint16_t list[] = { 0x1234 };
    sim.clearLog();
    ASSERT_EQ(ANTSAC_ConfigureList(4, list, 1, 0), 1);
    EXPECT_EQ(sim.takeSentMessages(),
        (std::vector<Bytes> { { 0x4D, 4, 0x52 }, { 0x4C, 4 }, { 0x59, 4, 0x34, 0x12, 121, 1, 0 }, { 0x5A, 4, 1, 0 },
            { 0x51, 4, 0, 0, 121, 0 }, { 0x4B, 4 } }));
    step(8, kPeriodMs);
    ASSERT_GE(records.size(), 1u);

    // The radio resets: the caller learns the sensor is gone.
    size_t before = records.size();
    sim.injectSerialError(0x01);
    ASSERT_TRUE(records.waitFor(before + 1));
    Record closed = records.at(before);
    EXPECT_EQ(closed.code, 102u);
    EXPECT_EQ(closed.bytes[0], 4);
    EXPECT_EQ(closed.bytes[1], 0);
    EXPECT_EQ(sac(4)->state(), ANTSensorProfile::STATE_UNASSIGNED);
}

TEST_F(SacRadio, ASensorOpenedAgainIsJudgedAgain)
{
    ASSERT_EQ(ANTSAC_Connect(5, 0, 10), 1);
    step(12, kPeriodMs);
    ASSERT_EQ(records.last().bytes[2], 1); // judged: a moving count byte, below 100 km/h
    // Each time the channel is opened again the judgement starts afresh:
    // the first page after it is undecided.
    struct Case {
        const char* what;
        std::function<int()> reopen;
    };
    const uint16_t list[] = { 0x1234 };
    const Case cases[] = {
        { "a new list", [&] { return ANTSAC_ConfigureList(5, list, 1, 0); } },
        { "closed and opened", [&] { return sac(5)->close() == 1 ? sac(5)->open(5, 0, 10) : 0; } },
    };
    for (const Case& c : cases) {
        ASSERT_EQ(c.reopen(), 1) << c.what;
        EXPECT_EQ(sac(5)->voteCounter(), SACSensor::kVoteStart) << c.what;
        const size_t before = records.size();
        step(4, kPeriodMs);
        // The closed record the reopening may bring keeps the old class.
        size_t first = before;
        while (first < records.size() && records.at(first).bytes[1] != 1)
            ++first;
        ASSERT_LT(first, records.size()) << c.what;
        EXPECT_EQ(records.at(first).bytes[2], 0) << c.what;
        step(12, kPeriodMs);
        EXPECT_EQ(records.last().bytes[2], 1) << c.what;
    }
}
