// The light electric vehicle profile: its decoder, the display page 16 and
// its levels, the resends and the identification pages, on payloads fed
// straight in and on the simulated radio with a simulated vehicle.
#include "ant/profiles/lev_sensor.h"
#include "sim/ant_radio/sensor_models.h"
#include "tests/ant/profiles/profile_fixture.h"

#include <functional>
#include <memory>

using namespace senvoy;
using namespace profiletest;
using kivo::sim::AntPage;
using kivo::sim::AntPagedDevice;
using kivo::sim::AntRadioModel;

namespace {

struct LevDecoder : ::testing::Test {
    Records records;
    LEVSensor lev;
    void SetUp() override
    {
        ANTSensor_SetCallback(&Records::callback, &records);
        lev.attach(nullptr, 3);
    }
    void TearDown() override { ANTSensor_SetCallback(nullptr, nullptr); }
    void feed(const Bytes& p) { lev.receivePage(p.data()); }
    Bytes last() { return records.last().bytes; }
};

} // namespace

TEST_F(LevDecoder, PagesFillTheRecord)
{
    feed({ 0x02, 0x40, 0xE2, 0x01, 0x32, 0xF0, 0xFA, 0x00 }); // range in 12 bits
    Bytes r = last();
    EXPECT_EQ(records.last().code, 104u);
    ASSERT_EQ(r.size(), 120u);
    EXPECT_EQ(r[0], 3);
    EXPECT_EQ(r[1], 1);
    EXPECT_DOUBLE_EQ(fieldAt<double>(r, 8), 25.0);
    EXPECT_DOUBLE_EQ(fieldAt<double>(r, 16), 1234.56);
    EXPECT_EQ(fieldAt<uint16_t>(r, 24), 50);

    feed({ 0x01, 0x11, 0x22, 0x33, 0x44, 0x55, 0x34, 0xF2 }); // speed in 12 bits
    r = last();
    EXPECT_EQ(Bytes(r.begin() + 2, r.begin() + 7), (Bytes { 0x11, 0x22, 0x33, 0x44, 0x55 }));
    EXPECT_DOUBLE_EQ(fieldAt<double>(r, 8), 0x234 * 0.1);
    feed({ 0x03, 80, 0x12, 0x13, 0x14, 40, 0x00, 0x00 });
    r = last();
    EXPECT_EQ(Bytes(r.begin() + 3, r.begin() + 6), (Bytes { 0x12, 0x13, 0x14 }));
    EXPECT_EQ(r[26], 80);
    EXPECT_EQ(r[27], 40);
    EXPECT_EQ(r[2], 0x11); // page 1's alone
    feed({ 0x04, 0xFF, 0x2C, 0x51, 0x0F, 36, 0x10, 0x27 });
    r = last();
    EXPECT_EQ(fieldAt<uint16_t>(r, 28), 0x12C);
    EXPECT_DOUBLE_EQ(fieldAt<double>(r, 32), 0x50F * 0.1);
    EXPECT_EQ(r[40], 36);
    EXPECT_DOUBLE_EQ(fieldAt<double>(r, 48), 1000.0);
    feed({ 0x05, 0xFF, 0x27, 0x34, 0xF8, 0xFF, 0xFF, 0xFF });
    r = last();
    EXPECT_EQ(r[56], 0x27);
    EXPECT_EQ(fieldAt<uint16_t>(r, 58), 0x834);
    feed({ 0x22, 0x10, 0x27, 0x01, 0x64, 0xF0, 0xC8, 0x00 }); // a 24-bit odometer
    r = last();
    EXPECT_DOUBLE_EQ(fieldAt<double>(r, 64), 755.36);
    EXPECT_DOUBLE_EQ(fieldAt<double>(r, 72), 10.0);
    EXPECT_EQ(records.size(), 6u);
}

TEST(LevLevels, MapAndValidateByNumberOfModesAndLevel)
{
    // Rows: modes 0-7; columns: the requested level 0-7.
    const uint8_t map[8][8] = {
        { 0, 1, 2, 3, 4, 5, 6, 7 },
        { 0, 7, 7, 7, 7, 7, 7, 7 },
        { 0, 3, 3, 3, 7, 7, 7, 7 },
        { 0, 2, 2, 4, 4, 7, 7, 7 },
        { 0, 1, 3, 3, 5, 5, 7, 7 },
        { 0, 1, 2, 3, 5, 5, 7, 7 },
        { 0, 1, 2, 3, 4, 5, 7, 7 },
        { 0, 1, 2, 3, 4, 5, 6, 7 },
    };
    // The field held 6 before; F marks a refused level (the field stays).
    constexpr uint8_t F = 6;
    const uint8_t validate[8][8] = {
        { 0, 0, 0, 0, 0, 0, 0, 0 },
        { 0, F, F, F, F, F, F, 7 },
        { 0, F, F, F, F, F, F, F },
        { 0, F, F, F, F, F, F, F },
        { 0, 1, F, 3, F, 5, F, 7 },
        { 0, 1, 2, 3, F, 5, F, 7 },
        { 0, 1, 2, 3, 4, 5, F, 7 },
        { 0, 1, 2, 3, 4, 5, 6, 7 },
    };
    for (uint8_t n = 0; n < 8; ++n) {
        for (uint8_t level = 0; level < 8; ++level) {
            EXPECT_EQ(LEVSensor::mapAssist(n, level), map[n][level]) << int(n) << " " << int(level);
            EXPECT_EQ(LEVSensor::mapRegen(n, level), n == 0 ? 0 : map[n][level]) << int(n) << " " << int(level);
            EXPECT_EQ(LEVSensor::validateAssist(n, level, F), validate[n][level]) << int(n) << " " << int(level);
            EXPECT_EQ(LEVSensor::validateRegen(n, level, F), n == 0 ? (level ? F : 0) : validate[n][level])
                << int(n) << " " << int(level);
        }
    }
    EXPECT_EQ(LEVSensor::validateAssist(9, 3, F), 0); // an unknown number of modes
}

namespace {

struct LevRadio : LibraryFixture {
    static constexpr uint32_t kPeriodMs = 250; // 8192 / 32768 s
    std::shared_ptr<AntPagedDevice> vehicle = std::make_shared<AntPagedDevice>(AntPagedDevice::lightElectricVehicle());
    LEVSensor* lev = nullptr;

    void SetUp() override
    {
        LibraryFixture::SetUp();
        vehicle->deviceNumber = 0x0404;
        vehicle->networkKey = kKey1;
        sim.withModel([&](AntRadioModel& m) { m.addPeer(vehicle); });
    }
    void connect(uint8_t ch)
    {
        ASSERT_EQ(ANTLEV_Connect(ch, 0, 10), 1);
        lev = static_cast<LEVSensor*>(SensorTable_Get(ch));
    }
    // What the vehicle received: broadcast pages and acknowledged ones.
    std::vector<AntPage> received(bool acknowledged)
    {
        std::vector<AntPage> out;
        sim.withModel([&](AntRadioModel&) {
            for (size_t i = 0; i < vehicle->received.size(); ++i)
                if (vehicle->receivedAcknowledged[i] == acknowledged)
                    out.push_back(vehicle->received[i]);
        });
        return out;
    }
    std::vector<int> statuses(size_t from)
    {
        std::vector<int> out;
        for (size_t i = from; i < records.size(); ++i)
            out.push_back(records.at(i).bytes[60]);
        return out;
    }
};

} // namespace

TEST_F(LevRadio, ConnectOpensTheChannelAndTheVehicleIsReportedAndGreeted)
{
    sim.clearLog();
    connect(2);
    EXPECT_EQ(sim.takeSentMessages(),
        (std::vector<Bytes> { { 0x4D, 2, 0x52 }, { 0x42, 2, 0x00, 1 }, { 0x51, 2, 0, 0, 20, 0 }, { 0x45, 2, 57 },
            keyMessage(1, kKey1), { 0x43, 2, 0x00, 0x20 }, { 0x44, 2, 10 }, { 0x4B, 2 } }));
    step(39, kPeriodMs);
    ASSERT_GE(records.size(), 39u);
    // Every page is reported; the record has what the pages brought.
    Bytes r = records.last().bytes;
    EXPECT_DOUBLE_EQ(fieldAt<double>(r, 16), 1234.56);
    EXPECT_EQ(r[26], 80);
    // Identification pages at the first page and every nineteenth after,
    // 80 and 81 in turn from 80 on: at first the display knows nothing of
    // the vehicle, later it carries the vehicle's own manufacturer and
    // serial number.
    EXPECT_EQ(received(false),
        (std::vector<AntPage> { { 80, 0xFF, 0xFF, 0, 0, 0, 0, 0 }, { 81, 0xFF, 0xFF, 7, 0x78, 0x56, 0x34, 0x12 },
            { 80, 0xFF, 0xFF, 2, 0x21, 0x00, 0x05, 0x00 } }));
}

TEST_F(LevRadio, EachVehicleIsGreetedWithBothPagesInTurn)
{
    auto second = std::make_shared<AntPagedDevice>(AntPagedDevice::lightElectricVehicle());
    second->deviceNumber = 0x0505;
    second->networkKey = kKey1;
    sim.withModel([&](AntRadioModel& m) { m.addPeer(second); });
    ASSERT_EQ(ANTLEV_Connect(0, 0x0404, 10), 1);
    ASSERT_EQ(ANTLEV_Connect(1, 0x0505, 10), 1);
    step(20, kPeriodMs);
    std::vector<uint8_t> first, other;
    sim.withModel([&](AntRadioModel&) {
        for (const AntPage& p : vehicle->received)
            first.push_back(p[0]);
        for (const AntPage& p : second->received)
            other.push_back(p[0]);
    });
    EXPECT_EQ(first, (std::vector<uint8_t> { 80, 81 }));
    EXPECT_EQ(other, (std::vector<uint8_t> { 80, 81 }));
}

TEST_F(LevRadio, TheDisplayPageIsEditedThenSentAndItsResendsEnd)
{
    connect(1);
    step(3, kPeriodMs);
    ANTLEVSettings s {};
    s.wheelCircumference = 2100;
    s.gears = 1; // front gear 1
    EXPECT_EQ(ANTLEV_ChangeP16Circum(1, &s), 1);
    EXPECT_EQ(ANTLEV_ChangeP16FrontGear(1, &s), 1);
    EXPECT_TRUE(received(true).empty()); // the setters send nothing
    s.wheelCircumference = 0;
    EXPECT_EQ(ANTLEV_ChangeP16Circum(1, &s), 0);
    EXPECT_EQ(lev->pageData().p16Circumference, 0xF834);

    size_t before = records.size();
    EXPECT_EQ(ANTLEV_SendP16Data(1), 1);
    EXPECT_EQ(received(true), (std::vector<AntPage> { { 0x10, 0x34, 0xF8, 0xFF, 0x10, 0x00, 0x00, 0x00 } }));
    ASSERT_TRUE(records.waitFor(before + 1));
    EXPECT_EQ(statuses(before), (std::vector<int> { 1 }));

    // Eleven failed transfers: ten resends, then the failure.
    sim.withModel([&](AntRadioModel&) { vehicle->transferScript.assign(11, 6); });
    before = records.size();
    EXPECT_EQ(ANTLEV_SendP16Data(1), 0);
    ASSERT_TRUE(records.waitFor(before + 11));
    EXPECT_EQ(statuses(before), (std::vector<int> { 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 0 }));
    EXPECT_EQ(received(true).size(), 1u + 11);
    EXPECT_EQ(lev->pendingRequest(), 0);
    // Identification pages go on.
    size_t greeted = received(false).size();
    step(20, kPeriodMs);
    EXPECT_EQ(received(false).size(), greeted + 1);

}

TEST_F(LevRadio, ADisplayPageNoOutcomeWillFollowIsNotLeftPending)
{
    struct Case {
        const char* what;
        // Leaves page 16 behind on channel ch, with the channel tracking
        // the vehicle numbered number.
        std::function<void(uint8_t ch, uint16_t number)> leavePage;
    };
    const Case cases[] = {
        { "refused on a channel not open",
            [&](uint8_t ch, uint16_t number) {
                const uint16_t list[] = { number };
                EXPECT_EQ(ANTLEV_ConfigureList(ch, list, 1, 0), 0); // made, not opened
                EXPECT_EQ(ANTLEV_SendP16Data(ch), 0); // the radio refuses the page
                ASSERT_EQ(ANTLEV_Connect(ch, number, 10), 1);
            } },
        { "the channel closes while it waits",
            [&](uint8_t ch, uint16_t number) {
                ASSERT_EQ(ANTLEV_Connect(ch, number, 10), 1);
                step(3, kPeriodMs);
                sim.withModel([&](AntRadioModel&) { vehicle->transferScript = { 170, 0 }; }); // then silence
                EXPECT_EQ(ANTLEV_SendP16Data(ch), 0);
                step(1, kPeriodMs);
                ASSERT_EQ(static_cast<LEVSensor*>(SensorTable_Get(ch))->pendingRequest(), 16);
                inject(0x40, { ch, 1, 7 });
                const Bytes closed = records.last().bytes;
                EXPECT_EQ(closed[1], 0);
                EXPECT_EQ(closed[60], 0); // it failed with the channel
                ASSERT_EQ(ANTLEV_Connect(ch, number, 10), 1);
            } },
    };
    uint8_t ch = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const uint16_t number = uint16_t(0x0500 + ch);
        vehicle = std::make_shared<AntPagedDevice>(AntPagedDevice::lightElectricVehicle());
        vehicle->deviceNumber = number;
        vehicle->networkKey = kKey1;
        sim.withModel([&](AntRadioModel& m) { m.addPeer(vehicle); });
        c.leavePage(ch, number);
        lev = static_cast<LEVSensor*>(SensorTable_Get(ch));
        ASSERT_NE(lev, nullptr);
        EXPECT_EQ(lev->pendingRequest(), 0);
        // Identification pages go on.
        const size_t greeted = received(false).size();
        step(20, kPeriodMs);
        EXPECT_GT(received(false).size(), greeted);
        ++ch;
    }
}

TEST_F(LevRadio, LightsReplaceTheCommandWordAndTravelModeCanBeDeclaredMissing)
{
    connect(0);
    ANTLEVSettings s {};
    s.gears = 8 << 2; // rear gear 8
    EXPECT_EQ(ANTLEV_ChangeP16RearGear(0, &s), 1);
    EXPECT_EQ(lev->pageData().p16DisplayCommand, 0x0200);
    s.lights = 0x01;
    EXPECT_EQ(ANTLEV_ChangeP16LightOn(0, &s), 1);
    EXPECT_EQ(lev->pageData().p16DisplayCommand, 0x0001);
    s.manufacturerId = 0x0102;
    EXPECT_EQ(ANTLEV_ChangeP16ManID(0, &s), 1);
    EXPECT_EQ(lev->pageData().p16ManufacturerId, 0x0102);

    // Three assist modes: level 5 is offered as 7, level 4 is refused.
    s.assistModes = 3;
    s.travelMode = 5 << 3;
    EXPECT_EQ(ANTLEV_ChangeDisplayAssistModes(0, &s), 1);
    EXPECT_EQ((lev->pageData().p16TravelMode >> 3) & 7, 7);
    s.travelMode = 4 << 3;
    EXPECT_EQ(ANTLEV_ChangeP16Assist(0, &s), 1);
    EXPECT_EQ((lev->pageData().p16TravelMode >> 3) & 7, 7);
    s.regenModes = 0;
    s.travelMode = 3;
    EXPECT_EQ(ANTLEV_ChangeDisplayRegenModes(0, &s), 1);
    EXPECT_EQ(lev->pageData().p16TravelMode & 7, 0);

    s.travelModeNotSupported = 1;
    EXPECT_EQ(ANTLEV_SetP16TravelModeNotSupported(0, &s), 1);
    EXPECT_EQ(lev->pageData().p16TravelMode, 255);
    step(4, kPeriodMs);
    for (size_t i = 0; i < records.size(); ++i)
        EXPECT_EQ(records.at(i).bytes[3], 255);
    s.travelModeNotSupported = 0;
    s.travelMode = (2 << 3) | 1;
    EXPECT_EQ(ANTLEV_SetP16TravelModeNotSupported(0, &s), 1);
    EXPECT_EQ(lev->pageData().p16TravelMode, (2 << 3) | 1);
    s.travelMode = 3; // assist level 0: the assist level stays
    EXPECT_EQ(ANTLEV_SetP16TravelModeNotSupported(0, &s), 1);
    EXPECT_EQ(lev->pageData().p16TravelMode, (2 << 3) | 3);

    // Only on a vehicle on that channel.
    EXPECT_EQ(ANTLEV_ChangeP16LightOn(0, nullptr), 0);
    EXPECT_EQ(ANTLEV_ChangeP16LightOn(4, &s), 0);
    EXPECT_EQ(ANTLEV_SendP16Data(4), 0);
}
