// The power-meter profile: its decoder on payloads fed straight in, and its
// exports and calibrations on the simulated radio with simulated meters.
#include "ant/profiles/pwr_sensor.h"
#include "platform/debug.h"
#include "sim/ant_radio/sensor_models.h"
#include "tests/ant/profiles/profile_fixture.h"

#include <functional>
#include <memory>
#include <string>
#include <utility>

using namespace senvoy;
using namespace profiletest;
using kivo::sim::AntPage;
using kivo::sim::AntPowerMeter;
using kivo::sim::AntRadioModel;

namespace {

struct PwrDecoder : ::testing::Test {
    Records records;
    PWRSensor pwr;
    void SetUp() override
    {
        ANTSensor_SetCallback(&Records::callback, &records);
        pwr.attach(nullptr, 5);
    }
    void TearDown() override { ANTSensor_SetCallback(nullptr, nullptr); }
    void feed(PWRSensor& s, const Bytes& p) { s.receivePage(p.data()); }
    void feed(const Bytes& p) { feed(pwr, p); }
    Bytes last() { return records.last().bytes; }
};

double doubleAt(const Bytes& r, size_t offset)
{
    return fieldAt<double>(r, offset);
}

} // namespace

TEST_F(PwrDecoder, EachKindOfMeterGivesItsReadings)
{
    struct Reading {
        size_t offset;
        double value; // doubles; whole numbers for the 32-bit fields
        bool isDouble;
    };
    struct Case {
        const char* name;
        std::vector<Bytes> pages;
        uint8_t type;
        std::vector<Reading> readings;
    };
    const Case cases[] = {
        { "crank torque",
            { { 0x12, 0x0A, 0x01, 0x3C, 0xE8, 0x03, 0x00, 0x00 }, { 0x12, 0x0B, 0x02, 0x3C, 0xE8, 0x0B, 0x80, 0x02 } },
            3, { { 120, 60, false }, { 104, 6.28125, true }, { 112, 20, true }, { 56, 125.625, true }, { 76, 1, false },
                   { 80, 1, false }, { 4, 60, false } } },
        { "wheel torque",
            { { 0x11, 0x01, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x00 }, { 0x11, 0x04, 0x03, 0xFF, 0x00, 0x0C, 0x00, 0x00 } },
            2, { { 88, 14.904, true }, { 96, 6.21, true }, { 56, 0, true }, { 64, 1, false } } },
        { "crank torque frequency",
            { { 0x01, 0x10, 0x01, 0xFF, 0xFF, 0xFF, 0x01, 0xF4 }, { 0x20, 0x05, 0x00, 0xC8, 0x10, 0x00, 0x20, 0x00 },
                { 0x20, 0x06, 0x00, 0xC8, 0x17, 0xD0, 0x22, 0x58 } },
            4, { { 120, 60, false }, { 112, 5, true }, { 56, 31.40625, true }, { 128, 1, false } } },
        { "ticks below the zero offset",
            { { 0x01, 0x10, 0x01, 0xFF, 0xFF, 0xFF, 0x01, 0xF4 }, { 0x20, 0x05, 0x00, 0xC8, 0x10, 0x00, 0x20, 0x00 },
                { 0x20, 0x06, 0x00, 0xC8, 0x17, 0xD0, 0x22, 0x58 }, { 0x20, 0x07, 0x00, 0xC8, 0x1F, 0xA0, 0x24, 0x38 } },
            4, { { 120, 60, false }, { 112, 0, true }, { 56, 0, true } } },
        { "many ticks in a second",
            { { 0x01, 0x10, 0x01, 0xFF, 0xFF, 0xFF, 0x01, 0xF4 }, { 0x20, 0x05, 0x00, 0xC8, 0x10, 0x00, 0x20, 0x00 },
                { 0x20, 0x06, 0x00, 0xC8, 0x17, 0xD0, 0x22, 0x58 }, { 0x20, 0x07, 0x00, 0xC8, 0x1F, 0xA0, 0x4B, 0x48 } },
            4, { { 112, 499, true }, { 56, 3134.34375, true } } },
        // Products beyond 32 bits: torque x angular velocity, circumference
        // x events x 7372800, torque x cadence x 804.
        { "crank torque, products beyond 32 bits",
            { { 0x12, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x00 }, { 0x12, 0x01, 0x01, 0xFF, 0x10, 0x00, 0xFF, 0xFF } },
            3, { { 120, 7680, false }, { 104, 804, true }, { 112, 2047.96875, true }, { 56, 1646566.875, true } } },
        // Three wheel ticks but two torque events: the distance goes by the
        // ticks, the speed by the events.
        { "wheel torque, ticks and events differ",
            { { 0x11, 0x01, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x00 }, { 0x11, 0x03, 0x03, 0xFF, 0x00, 0x08, 0x00, 0x00 } },
            2, { { 88, 14.904, true }, { 96, 6.21, true }, { 76, 2, false }, { 80, 3, false } } },
        // Back to wheel torque after another kind: the distance starts again.
        { "wheel torque after another kind",
            { { 0x11, 0x01, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x00 }, { 0x11, 0x04, 0x03, 0xFF, 0x00, 0x0C, 0x00, 0x00 },
                { 0x20, 0x05, 0x00, 0xC8, 0x10, 0x00, 0x20, 0x00 }, { 0x11, 0x05, 0x0A, 0xFF, 0x00, 0x10, 0x00, 0x00 },
                { 0x11, 0x07, 0x0C, 0xFF, 0x00, 0x18, 0x00, 0x00 } },
            2, { { 88, 14.904, true }, { 96, 4.14, true }, { 80, 2, false } } },
        // Cadence byte 255 is no cadence: the last one stays.
        { "crank torque, an invalid cadence byte",
            { { 0x12, 0x0A, 0x01, 0x3C, 0xE8, 0x03, 0x00, 0x00 }, { 0x12, 0x0B, 0x02, 0xFF, 0xE8, 0x0B, 0x80, 0x02 } },
            3, { { 4, 60, false }, { 120, 60, false } } },
        { "wheel torque, products beyond 32 bits",
            { { 0x11, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x00 }, { 0x11, 0x03, 0x03, 0xFF, 0x00, 0x08, 0x00, 0x00 } },
            2, { { 88, 22.356, true }, { 96, 6.21, true } } },
        { "crank torque frequency, products beyond 32 bits",
            { { 0x20, 0x00, 0x00, 0x64, 0x00, 0x00, 0x00, 0x00 }, { 0x20, 0x01, 0x00, 0x64, 0x07, 0xD0, 0x9C, 0x40 } },
            4, { { 120, 60, false }, { 112, 4000, true }, { 56, 25125, true }, { 104, 6.28125, true } } },
    };
    for (const Case& c : cases) {
        pwr.attach(nullptr, 5);
        records.clear();
        for (const Bytes& p : c.pages)
            feed(p);
        ASSERT_EQ(records.size(), c.pages.size()) << c.name; // one record a page
        Bytes r = last();
        EXPECT_EQ(records.last().code, 103u);
        ASSERT_EQ(r.size(), 136u);
        EXPECT_EQ(r[0], 5) << c.name;
        EXPECT_EQ(r[1], 1) << c.name;
        EXPECT_EQ(r[2], c.type) << c.name;
        for (const Reading& want : c.readings) {
            if (want.isDouble)
                EXPECT_DOUBLE_EQ(doubleAt(r, want.offset), want.value) << c.name << " @" << want.offset;
            else
                EXPECT_EQ(fieldAt<uint32_t>(r, want.offset) & (want.offset == 4 ? 0xFF : 0xFFFFFFFF),
                    uint32_t(want.value))
                    << c.name << " @" << want.offset;
        }
    }
}

TEST_F(PwrDecoder, TheFirstPageOfAKindCarriesItsOwnFieldsOnly)
{
    feed({ 0x12, 0x0A, 0x01, 0x3C, 0xE8, 0x03, 0x00, 0x00 });
    Bytes r = last();
    EXPECT_EQ(r[2], 3);
    EXPECT_EQ(Bytes(r.begin() + 14, r.begin() + 20), (Bytes { 0, 0, 0x0A, 1, 0xE8, 3 }));
    EXPECT_EQ(Bytes(r.begin() + 56, r.end()), Bytes(136 - 56, 0));
    feed({ 0x12, 0x0B, 0x02, 0x3C, 0xE8, 0x0B, 0x80, 0x02 });
    EXPECT_DOUBLE_EQ(doubleAt(last(), 56), 125.625);

    // A wheel page: another kind, the record starts again.
    feed({ 0x11, 0x01, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x00 });
    r = last();
    EXPECT_EQ(r[2], 2);
    EXPECT_EQ(r[10], 1);
    EXPECT_EQ(Bytes(r.begin() + 16, r.begin() + 20), Bytes(4, 0)); // the crank page's fields went
    EXPECT_EQ(Bytes(r.begin() + 56, r.end()), Bytes(136 - 56, 0));
}

TEST_F(PwrDecoder, ANewZeroOffsetClearsWhatTheOldOneGave)
{
    feed({ 0x01, 0x10, 0x01, 0xFF, 0xFF, 0xFF, 0x01, 0xF4 });
    feed({ 0x20, 0x05, 0x00, 0xC8, 0x10, 0x00, 0x20, 0x00 });
    feed({ 0x20, 0x06, 0x00, 0xC8, 0x17, 0xD0, 0x22, 0x58 });
    Bytes before = last();
    ASSERT_EQ(before[2], 4);
    ASSERT_NE(doubleAt(before, 56), 0); // power
    ASSERT_NE(doubleAt(before, 104), 0); // angular velocity
    ASSERT_NE(fieldAt<uint32_t>(before, 128), 0u); // events
    feed({ 0x01, 0x10, 0x01, 0xFF, 0xFF, 0xFF, 0x02, 0x00 });
    Bytes r = last();
    EXPECT_EQ(r[28], 0x21);
    EXPECT_EQ(fieldAt<uint16_t>(r, 30), 0x200);
    EXPECT_EQ(fieldAt<uint16_t>(r, 132), 0x200);
    EXPECT_EQ(Bytes(r.begin() + 56, r.begin() + 64), Bytes(8, 0));
    EXPECT_EQ(Bytes(r.begin() + 104, r.begin() + 124), Bytes(20, 0)); // angular velocity, torque, cadence
    EXPECT_EQ(Bytes(r.begin() + 128, r.begin() + 132), Bytes(4, 0));
}

TEST_F(PwrDecoder, PowerOnlyMetersAreRecognisedAfterFourPages)
{
    std::vector<int> types;
    for (uint8_t e = 1; e <= 6; ++e) {
        feed({ 0x10, e, uint8_t(0x80 | 50), 90, uint8_t(e * 200), uint8_t((e * 200) >> 8), 200, 0 });
        types.push_back(last()[2]);
    }
    EXPECT_EQ(types, (std::vector<int> { 0, 0, 0, 1, 1, 1 }));
    Bytes r = last();
    EXPECT_EQ(r[3], 6);
    EXPECT_EQ(r[4], 90);
    EXPECT_EQ(r[5], 0x80 | 50);
    EXPECT_EQ(fieldAt<uint16_t>(r, 8), 200);
    EXPECT_EQ(fieldAt<uint32_t>(r, 72), 2u); // events since the kind was known

    // Pedal power bytes above 100 percent are no pedal power; 100 is.
    const std::pair<uint8_t, uint8_t> pedals[] = { { 0xFF, 0 }, { 101, 0 }, { 100, 100 }, { 0x80 | 100, 0x80 | 100 } };
    for (const auto& pedal : pedals) {
        feed({ 0x10, 7, pedal.first, 90, 0, 0, 0, 0 });
        EXPECT_EQ(last()[5], pedal.second) << int(pedal.first);
    }
}

TEST_F(PwrDecoder, AStandingCrankStopsPowerAndCadence)
{
    feed({ 0x12, 0x0A, 0x01, 0x3C, 0xE8, 0x03, 0x00, 0x00 });
    feed({ 0x12, 0x0B, 0x02, 0x3C, 0xE8, 0x0B, 0x80, 0x02 });
    for (int i = 1; i <= 12; ++i) {
        feed({ 0x12, 0x0B, 0x02, 0x3C, 0xE8, 0x0B, 0x80, 0x02 });
        EXPECT_EQ(fieldAt<uint32_t>(last(), 64), i >= 12 ? 1u : 0u) << i;
    }
    Bytes r = last();
    EXPECT_EQ(fieldAt<uint32_t>(r, 120), 0u);
    EXPECT_DOUBLE_EQ(doubleAt(r, 104), 0);
    EXPECT_DOUBLE_EQ(doubleAt(r, 56), 0); // no power from a standing crank
    // The event count wraps from 255 to 0: one event.
    pwr.attach(nullptr, 5);
    feed({ 0x12, 0xFF, 0x01, 0x3C, 0xF0, 0xFF, 0xF0, 0xFF });
    feed({ 0x12, 0x00, 0x02, 0x3C, 0xF0, 0x07, 0x70, 0x02 });
    r = last();
    EXPECT_EQ(fieldAt<uint32_t>(r, 120), 60u);
    EXPECT_DOUBLE_EQ(doubleAt(r, 112), 20);
}

TEST_F(PwrDecoder, TwoMetersKeepTheirOwnFigures)
{
    PWRSensor other;
    other.attach(nullptr, 6);
    feed({ 0x12, 0x0A, 0x01, 0x3C, 0xE8, 0x03, 0x00, 0x00 });
    feed(other, { 0x12, 0x64, 0x01, 0x3C, 0x00, 0x40, 0x00, 0x10 });
    feed({ 0x12, 0x0B, 0x02, 0x3C, 0xE8, 0x0B, 0x80, 0x02 });
    EXPECT_EQ(fieldAt<uint32_t>(last(), 120), 60u);
    EXPECT_DOUBLE_EQ(doubleAt(last(), 112), 20);
    feed(other, { 0x12, 0x66, 0x03, 0x3C, 0x00, 0x48, 0x00, 0x12 });
    Bytes r = last();
    EXPECT_EQ(r[0], 6);
    EXPECT_EQ(fieldAt<uint32_t>(r, 120), 120u); // 2 events in 2048/2048 s
    EXPECT_DOUBLE_EQ(doubleAt(r, 112), 8); // 512/32 over 2 events
}

TEST_F(PwrDecoder, TwoPowerOnlyMetersCountTheirOwnEvents)
{
    PWRSensor other;
    other.attach(nullptr, 6);
    struct Meter {
        PWRSensor& sensor;
        uint8_t firstEvent, eventStep;
        std::vector<int> types;
    };
    Meter meters[] = { { pwr, 250, 1, {} }, { other, 10, 3, {} } };
    for (int i = 0; i < 6; ++i) {
        for (Meter& m : meters) {
            const uint8_t e = uint8_t(m.firstEvent + i * m.eventStep);
            const uint16_t accumulated = uint16_t(e * 200);
            feed(m.sensor, { 0x10, e, 0xFF, 90, uint8_t(accumulated), uint8_t(accumulated >> 8), 200, 0 });
            m.types.push_back(last()[2]);
        }
    }
    for (const Meter& m : meters) {
        const uint8_t* r = m.sensor.record();
        EXPECT_EQ(m.types, (std::vector<int> { 0, 0, 0, 1, 1, 1 })) << int(r[0]);
        EXPECT_EQ(r[3], uint8_t(m.firstEvent + 5 * m.eventStep)) << int(r[0]);
        uint32_t total = 0;
        std::memcpy(&total, r + 72, 4);
        EXPECT_EQ(total, 2u * m.eventStep) << int(r[0]); // events since the kind was known
    }
}

TEST_F(PwrDecoder, CalibrationPagesFillTheCalibrationFields)
{
    struct Case {
        Bytes page;
        uint8_t status; // byte 28
        uint8_t autoZero; // byte 29
        int16_t data; // bytes 36-37
    };
    const Case cases[] = {
        { { 0x01, 0xAC, 0x01, 0xFF, 0xFF, 0xFF, 0x34, 0x12 }, 0x11, 1, 0x1234 },
        { { 0x01, 0xAF, 0x00, 0xFF, 0xFF, 0xFF, 0xFE, 0xFF }, 0x10, 0, -2 },
        { { 0x01, 0xAC, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00 }, 0x11, 255, 0 },
    };
    for (const Case& c : cases) {
        pwr.attach(nullptr, 5);
        feed(c.page);
        Bytes r = last();
        EXPECT_EQ(r[28], c.status);
        EXPECT_EQ(r[29], c.autoZero);
        EXPECT_EQ(fieldAt<int16_t>(r, 36), c.data);
    }
    pwr.attach(nullptr, 5);
    feed({ 0x01, 0x12, 0x03, 0x10, 0x00, 0xF0, 0xFF, 0xFF });
    Bytes r = last();
    EXPECT_EQ(r[29], 1);
    EXPECT_EQ(fieldAt<int16_t>(r, 32), 0x10);
    EXPECT_EQ(fieldAt<int16_t>(r, 34), -16);
    feed({ 0x01, 0x12, 0x01, 0x10, 0x00, 0xF0, 0xFF, 0xFF }); // supported, off
    EXPECT_EQ(last()[29], 0);
    feed({ 0x01, 0x12, 0x02, 0x10, 0x00, 0xF0, 0xFF, 0xFF }); // not supported
    EXPECT_EQ(last()[29], 255);

    // The manufacturer page.
    feed({ 80, 0xFF, 0xFF, 3, 0x34, 0x12, 0x78, 0x56 });
    r = last();
    EXPECT_EQ(fieldAt<uint32_t>(r, 40), 1u);
    EXPECT_EQ(r[44], 3);
    EXPECT_EQ(fieldAt<uint16_t>(r, 46), 0x1234);
    EXPECT_EQ(fieldAt<uint16_t>(r, 48), 0x5678);
}

TEST_F(PwrDecoder, VerboseChecksNameWhatIsWrong)
{
    std::vector<std::string> lines;
    int hook = ce::addDebugOutputHook([&](const std::string& line) { lines.push_back(line); });
    struct Case {
        Bytes page;
        const char* line; // nullptr: nothing to say
    };
    const Case cases[] = {
        { { 0x01, 0x10, 0x01, 0xFF, 0x00, 0xFF, 0x01, 0xF4 }, "Error: bad reserved fields\n" },
        { { 0x01, 0x10, 0xAC, 0x02, 0xFF, 0xFF, 0xFF, 0xFF }, nullptr },
        { { 0x01, 0x10, 0xAC, 0x04, 0xFF, 0xFF, 0xFF, 0xFF }, "Error:unsupported acked message.\n" },
        { { 0x01, 0x10, 0xAC, 0x02, 0xFF, 0x00, 0xFF, 0xFF }, "Error:bad reserved field \n" },
        { { 0x01, 0x10, 0xAC, 0x04, 0x00, 0xFF, 0xFF, 0xFF },
            "Error: bad reserved field and unsupported acked message .\n" },
        { { 0x01, 0x10, 0x09, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF }, "Error: Undefined CTF message  .\n" },
        { { 0x01, 0x12, 0x04, 0, 0, 0, 0, 0xFF }, "Error:  undefined auto zero status .\n" },
        { { 0x01, 0x12, 0x01, 0, 0, 0, 0, 0x00 }, "Error:bad reserved field  .\n" },
        { { 0x01, 0x12, 0x04, 0, 0, 0, 0, 0x00 }, "Error:Bad auto zero status and reserved field  .\n" },
        { { 0x01, 0xAA, 0xFF, 0xFF, 0x00, 0xFF, 0xFF, 0xFF }, "Error: Invalid value on reserved field  .\n" },
        { { 0x01, 0xAB, 0x01, 0xFF, 0xFF, 0x00, 0xFF, 0xFF }, "Error: Invalid value on reserved field .\n" },
        { { 0x01, 0xAC, 0x07, 0xFF, 0xFF, 0xFF, 0, 0 }, "Error:  invalid auto zero status .\n" },
        { { 0x01, 0xAC, 0x01, 0x00, 0xFF, 0xFF, 0, 0 }, "Error:bad reserved field .\n" },
        { { 0x01, 0xAF, 0x07, 0x00, 0xFF, 0xFF, 0, 0 }, "Error: Bad auto zero status and reserved field .\n" },
        { { 0x01, 0x55, 0, 0, 0, 0, 0, 0 }, "Error:  Undefined calibration message .\n" },
        { { 0x02, 1, 0x00, 0xFF, 4, 5, 6, 0xFF }, "Error: bad reserved field.\n" },
        { { 0x10, 1, 0x32, 90, 0, 0, 0, 0 }, "Error:Invalid value in reserved field.\n" },
        { { 0x05, 0, 0, 0, 0, 0, 0, 0 }, "Error: Undefined page  .\n" },
    };
    for (const Case& c : cases) {
        pwr.attach(nullptr, 5);
        pwr.setVerbose(true);
        lines.clear();
        feed(c.page);
        if (c.line)
            EXPECT_EQ(lines, std::vector<std::string> { c.line }) << int(c.page[1]);
        else
            EXPECT_TRUE(lines.empty()) << int(c.page[1]);
    }
    // Quiet unless asked.
    pwr.attach(nullptr, 5);
    lines.clear();
    feed({ 0x05, 0, 0, 0, 0, 0, 0, 0 });
    EXPECT_TRUE(lines.empty());
    ce::removeDebugOutputHook(hook);
}

namespace {

struct PwrRadio : LibraryFixture {
    static constexpr uint32_t kPeriodMs = 250; // 8182 / 32768 s
    std::shared_ptr<AntPowerMeter> meter;

    void addMeter(AntPowerMeter::Kind kind, uint16_t number)
    {
        meter = std::make_shared<AntPowerMeter>(kind);
        meter->deviceNumber = number;
        meter->networkKey = kKey1;
        sim.withModel([&](AntRadioModel& m) { m.addPeer(meter); });
    }
    PWRSensor* pwr(uint8_t ch) { return static_cast<PWRSensor*>(SensorTable_Get(ch)); }
    // The meter's received pages, under the simulator's lock.
    std::vector<AntPage> received()
    {
        std::vector<AntPage> out;
        sim.withModel([&](AntRadioModel&) { out = meter->received; });
        return out;
    }
    // Connects on ch and steps until the meter's kind is known.
    void connect(uint8_t ch)
    {
        ASSERT_EQ(ANTPWR_Connect(ch, 0, 10), 1);
        step(8, kPeriodMs);
        ASSERT_GE(records.size(), 4u);
    }
    std::vector<int> statuses(size_t from)
    {
        std::vector<int> out;
        for (size_t i = from; i < records.size(); ++i)
            out.push_back(records.at(i).bytes[134]);
        return out;
    }
};

} // namespace

TEST_F(PwrRadio, ConnectOpensTheChannelAndACrankMeterIsReported)
{
    addMeter(AntPowerMeter::Kind::CrankTorque, 0x2345);
    sim.clearLog();
    ASSERT_EQ(ANTPWR_Connect(3, 0, 10), 1);
    EXPECT_EQ(sim.takeSentMessages(),
        (std::vector<Bytes> { { 0x4D, 3, 0x52 }, { 0x42, 3, 0x00, 1 }, { 0x51, 3, 0, 0, 11, 0 }, { 0x45, 3, 57 },
            keyMessage(1, kKey1), { 0x43, 3, 0xF6, 0x1F }, { 0x44, 3, 10 }, { 0x4B, 3 } }));
    EXPECT_EQ(ANTPWR_Connect(3, 0, 10), 2);
    step(12, kPeriodMs);
    Bytes r = records.last().bytes;
    EXPECT_EQ(r[2], 3);
    EXPECT_EQ(fieldAt<uint32_t>(r, 120), 90u); // 1365/2048 s a turn
    EXPECT_DOUBLE_EQ(doubleAt(r, 112), 20);
    EXPECT_DOUBLE_EQ(doubleAt(r, 56), (640.0 * (3293184 / 1365) / 32) / 256);
    uint8_t id[8] = {};
    EXPECT_EQ(ANTSENSOR_RequestSensorID(3, id, 8), 1);
    EXPECT_EQ(Bytes(id, id + 8), (Bytes { 3, 0, 0x45, 0x23, 11, 1, 0, 0 }));

    const uint16_t list[] = { 0x2345, 0x0001 };
    sim.clearLog();
    ASSERT_EQ(ANTPWR_ConfigureList(3, list, 2, 1), 1);
    EXPECT_EQ(sim.takeSentMessages(),
        (std::vector<Bytes> { { 0x4D, 3, 0x52 }, { 0x4C, 3 }, { 0x59, 3, 0x45, 0x23, 11, 5, 0 },
            { 0x59, 3, 0x01, 0x00, 11, 5, 1 }, { 0x5A, 3, 2, 1 }, { 0x51, 3, 0, 0, 11, 0 }, { 0x4B, 3 } }));

    // A reset of the radio: the caller learns the meter is gone.
    size_t before = records.size();
    sim.injectSerialError(0x01);
    ASSERT_TRUE(records.waitFor(before + 1));
    EXPECT_EQ(records.at(before).bytes[1], 0);
    EXPECT_EQ(records.at(before).code, 103u);
}

TEST_F(PwrRadio, CalibrationsSendTheirPagesAndTheMetersAnswersAreReported)
{
    addMeter(AntPowerMeter::Kind::CrankTorque, 7);
    sim.withModel([&](AntRadioModel&) { meter->calibrationData = 0x0102; });
    connect(2);
    ANTPWRSettings s {};
    s.autoZero = 1;
    s.ctfSerial = 0x00011234;
    s.ctfSlope = 20;
    s.wheelCircumference = 300;

    size_t before = records.size();
    EXPECT_EQ(ANTPWR_Cal_SetManualCalibration(2), 1);
    EXPECT_EQ(ANTPWR_Cal_SetAutoZero(2, &s), 1);
    EXPECT_EQ(ANTPWR_Cal_SetCTFSlope(2, &s), 1);
    EXPECT_EQ(ANTPWR_Cal_SetCTFSerial(2, &s), 1);
    EXPECT_EQ(received(),
        (std::vector<AntPage> { { 0x01, 0xAA, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF },
            { 0x01, 0xAB, 0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF }, { 0x01, 0x10, 0x02, 0xFF, 0xFF, 0xFF, 0x00, 0xC8 },
            { 0x01, 0x10, 0x03, 0xFF, 0xFF, 0xFF, 0x12, 0x34 } }));
    ASSERT_TRUE(records.waitFor(before + 4));
    EXPECT_EQ(statuses(before), (std::vector<int> { 0, 0, 0, 0 })); // each acknowledged
    EXPECT_EQ(pwr(2)->pendingRequest(), 0);

    // The meter answers the manual zero with its calibration response.
    step(2, kPeriodMs);
    bool answered = false;
    for (size_t i = before; i < records.size(); ++i) {
        const Bytes r = records.at(i).bytes;
        if (r[28] == 0x11) {
            answered = true;
            EXPECT_EQ(fieldAt<int16_t>(r, 36), 0x0102);
        }
    }
    EXPECT_TRUE(answered);

    EXPECT_EQ(ANTPWR_Cal_SetWheelCircumference(2, &s), 1);
    EXPECT_EQ(pwr(2)->circumference(), 44); // 300 kept in 8 bits
    EXPECT_EQ(received().size(), 4u + 0); // nothing sent for it

    // Not on another kind of sensor, nor on an empty channel.
    EXPECT_EQ(ANTPWR_Cal_SetManualCalibration(1), 0);
    EXPECT_EQ(ANTPWR_Cal_SetAutoZero(2, nullptr), 0);
    ASSERT_EQ(ANTHRM_Connect(1, 0, 10), 1);
    EXPECT_EQ(ANTPWR_Cal_SetCTFSlope(1, &s), 0);
}

TEST_F(PwrRadio, ARequestTheRadioAsksAgainForIsResentThreeTimesThenFails)
{
    addMeter(AntPowerMeter::Kind::CrankTorque, 7);
    connect(4);
    sim.withModel([&](AntRadioModel&) { meter->transferScript = { 170, 170, 170, 170 }; });
    size_t before = records.size();
    EXPECT_EQ(ANTPWR_Cal_SetManualCalibration(4), 0); // not taken at once
    ASSERT_TRUE(records.waitFor(before + 4));
    EXPECT_EQ(statuses(before), (std::vector<int> { 1, 1, 1, 2 }));
    EXPECT_EQ(received().size(), 4u); // the page and three resends
    EXPECT_EQ(pwr(4)->pendingRequest(), 0);

    // The next request is one of its own: its resend carries its id.
    sim.withModel([&](AntRadioModel&) { meter->transferScript = { 170, 5 }; });
    ANTPWRSettings s {};
    s.autoZero = 0;
    before = records.size();
    EXPECT_EQ(ANTPWR_Cal_SetAutoZero(4, &s), 0);
    ASSERT_TRUE(records.waitFor(before + 2));
    EXPECT_EQ(statuses(before), (std::vector<int> { 1, 0 }));
    std::vector<AntPage> pages = received();
    ASSERT_EQ(pages.size(), 6u);
    EXPECT_EQ(pages[4][1], 0xAB);
    EXPECT_EQ(pages[5][1], 0xAB);
}

TEST_F(PwrRadio, ARequestTheRadioGivesUpOnIsReportedAndTheNextIsItsOwn)
{
    // The zero offset asked for when the meter is recognised fails outright.
    addMeter(AntPowerMeter::Kind::Ctf, 9);
    sim.withModel([&](AntRadioModel&) { meter->transferScript = { 6 }; });
    connect(0);
    // The outcome comes back after the page that drew the request.
    ASSERT_TRUE(records.waitForRecord([](const Record& r) { return r.bytes[134] == 2; }));
    EXPECT_EQ(received(), (std::vector<AntPage> { { 0x01, 0xAA, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF } }));
    EXPECT_EQ(pwr(0)->pendingRequest(), 0);

    // A slope request the radio asks to send again: its resend is the slope.
    sim.withModel([&](AntRadioModel&) { meter->transferScript = { 170, 5 }; });
    ANTPWRSettings s {};
    s.ctfSlope = 20;
    size_t before = records.size();
    EXPECT_EQ(ANTPWR_Cal_SetCTFSlope(0, &s), 0); // not taken at once
    ASSERT_TRUE(records.waitFor(before + 2));
    EXPECT_EQ(statuses(before), (std::vector<int> { 1, 0 }));
    const AntPage slope { 0x01, 0x10, 0x02, 0xFF, 0xFF, 0xFF, 0x00, 0xC8 };
    std::vector<AntPage> pages = received();
    ASSERT_EQ(pages.size(), 3u);
    EXPECT_EQ(pages[1], slope);
    EXPECT_EQ(pages[2], slope);
    EXPECT_EQ(pwr(0)->pendingRequest(), 0);
}

TEST_F(PwrRadio, ARequestNoOutcomeWillFollowIsNotLeftPending)
{
    struct Case {
        const char* what;
        AntPowerMeter::Kind kind;
        // Leaves a request behind on channel ch, then has the channel
        // tracking the meter.
        std::function<void(uint8_t ch, uint16_t number)> leaveRequest;
    };
    const Case cases[] = {
        { "refused on a channel not open", AntPowerMeter::Kind::CrankTorque,
            [&](uint8_t ch, uint16_t number) {
                const uint16_t list[] = { number };
                EXPECT_EQ(ANTPWR_ConfigureList(ch, list, 1, 0), 0); // made, not opened
                EXPECT_EQ(ANTPWR_Cal_SetManualCalibration(ch), 0); // the radio refuses the page
                EXPECT_EQ(pwr(ch)->pendingRequest(), 0);
                ASSERT_EQ(ANTPWR_Connect(ch, number, 10), 1);
                step(8, kPeriodMs);
            } },
        { "the channel closes while it waits", AntPowerMeter::Kind::Ctf,
            [&](uint8_t ch, uint16_t number) {
                sim.withModel([&](AntRadioModel&) { meter->transferScript = { 0 }; }); // no answer
                ASSERT_EQ(ANTPWR_Connect(ch, number, 10), 1);
                step(4, kPeriodMs);
                ASSERT_EQ(pwr(ch)->pendingRequest(), 0xAA);
                inject(0x40, { ch, 1, 7 });
                const Bytes closed = records.last().bytes;
                EXPECT_EQ(closed[1], 0);
                EXPECT_EQ(closed[134], 2); // it failed with the channel
                EXPECT_EQ(pwr(ch)->pendingRequest(), 0);
                ASSERT_EQ(ANTPWR_Connect(ch, number, 10), 1);
                step(2, kPeriodMs);
            } },
    };
    uint8_t ch = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const uint16_t number = uint16_t(20 + ch);
        addMeter(c.kind, number);
        c.leaveRequest(ch, number);
        // The next request is one of its own: its resend carries its page.
        sim.withModel([&](AntRadioModel&) { meter->transferScript = { 170, 5 }; });
        ANTPWRSettings s {};
        s.ctfSlope = 20;
        const size_t before = records.size();
        EXPECT_EQ(ANTPWR_Cal_SetCTFSlope(ch, &s), 0);
        ASSERT_TRUE(records.waitFor(before + 2));
        EXPECT_EQ(statuses(before), (std::vector<int> { 1, 0 }));
        const AntPage slope { 0x01, 0x10, 0x02, 0xFF, 0xFF, 0xFF, 0x00, 0xC8 };
        const std::vector<AntPage> pages = received();
        ASSERT_GE(pages.size(), 2u);
        EXPECT_EQ(pages[pages.size() - 2], slope);
        EXPECT_EQ(pages.back(), slope);
        EXPECT_EQ(pwr(ch)->pendingRequest(), 0);
        ++ch;
    }
}

TEST_F(PwrRadio, ACrankTorqueFrequencyMeterIsAskedForItsZeroOffset)
{
    addMeter(AntPowerMeter::Kind::Ctf, 9);
    sim.withModel([&](AntRadioModel&) {
        meter->zeroOffset = 480;
        meter->crank.rpm = 60;
        meter->torque32 = 160;
    });
    connect(0);
    step(8, kPeriodMs);
    std::vector<AntPage> pages = received();
    ASSERT_GE(pages.size(), 1u);
    EXPECT_EQ(pages[0], (AntPage { 0x01, 0xAA, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF }));
    bool offset = false;
    for (size_t i = 0; i < records.size(); ++i) {
        const Bytes r = records.at(i).bytes;
        if (r[28] == 0x21) {
            offset = true;
            EXPECT_EQ(fieldAt<uint16_t>(r, 30), 480);
            EXPECT_EQ(fieldAt<uint16_t>(r, 132), 480);
        }
    }
    EXPECT_TRUE(offset);
    // Two pages more, not many: this meter also sends page 16, and a fourth
    // of those makes its kind open again, so that it is recognised and
    // asked for its zero offset anew, and the answer could be the last page.
    step(2, kPeriodMs);
    Bytes r = records.last().bytes;
    EXPECT_EQ(r[2], 4);
    EXPECT_EQ(fieldAt<uint32_t>(r, 120), 60u);
    EXPECT_DOUBLE_EQ(doubleAt(r, 112), 5);
}

TEST_F(PwrRadio, APowerOnlyMeterAndAWheelMeterOnTwoChannels)
{
    addMeter(AntPowerMeter::Kind::PowerOnly, 11);
    auto first = meter;
    addMeter(AntPowerMeter::Kind::WheelTorque, 12);
    sim.withModel([&](AntRadioModel&) { meter->wheel.rpm = 200; });
    ASSERT_EQ(ANTPWR_Connect(0, 11, 10), 1);
    ASSERT_EQ(ANTPWR_Connect(1, 12, 10), 1);
    step(20, kPeriodMs);
    Bytes a, b;
    for (size_t i = 0; i < records.size(); ++i) {
        const Record rec = records.at(i);
        (rec.bytes[0] == 0 ? a : b) = rec.bytes;
    }
    ASSERT_FALSE(a.empty());
    ASSERT_FALSE(b.empty());
    EXPECT_EQ(a[2], 1);
    EXPECT_EQ(fieldAt<uint16_t>(a, 8), 200);
    EXPECT_EQ(b[2], 2);
    // 207 cm in 614/2048 s.
    EXPECT_NEAR(doubleAt(b, 88), 207.0 * 7372800 / (614 * 100) / 1000, 0.001);
}
