// The BSD, GNS, SMANO, TRN and VTX profiles: their decoders on payloads fed
// straight in, their command pages, and each device on the simulated radio.
#include "ant/profiles/bsd_gns_sensor.h"
#include "ant/profiles/device_sensors.h"
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
using kivo::sim::AntPagedDevice;
using kivo::sim::AntRadioModel;

namespace {

struct DeviceDecoder : ::testing::Test {
    Records records;
    void SetUp() override { ANTSensor_SetCallback(&Records::callback, &records); }
    void TearDown() override { ANTSensor_SetCallback(nullptr, nullptr); }
    template <typename S> void feed(S& s, const Bytes& p) { s.receivePage(p.data()); }
    Bytes last() { return records.last().bytes; }
};

} // namespace

TEST_F(DeviceDecoder, BsdAndGnsMoveBigEndianFieldsIntoTheirRecords)
{
    BSDSensor bsd;
    bsd.attach(nullptr, 1);
    feed(bsd, { 1, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x00 });
    Bytes r = last();
    EXPECT_EQ(records.last().code, 110u);
    ASSERT_EQ(r.size(), 64u);
    EXPECT_EQ(fieldAt<uint16_t>(r, 16), 0x0102);
    EXPECT_EQ(fieldAt<uint16_t>(r, 18), 0x0304);
    EXPECT_EQ(fieldAt<uint16_t>(r, 20), 0x0506);
    feed(bsd, { 173, 1, 9, 8, 0xDE, 0xAD, 0xBE, 0xEF });
    feed(bsd, { 8, 0x00, 0x01, 0x86, 0xA0, 0, 0, 0 });
    feed(bsd, { 173, 3, 1, 1, 1, 1, 1, 1 }); // no such sub-page: nothing changes
    r = last();
    EXPECT_EQ(records.size(), 4u);
    EXPECT_EQ(r[8], 9);
    EXPECT_EQ(r[9], 8);
    EXPECT_EQ(fieldAt<uint32_t>(r, 12), 0xDEADBEEFu);
    EXPECT_EQ(fieldAt<uint32_t>(r, 32), 100000u);
    EXPECT_EQ(fieldAt<uint16_t>(r, 16), 0x0102); // kept from page 1
    EXPECT_EQ(Bytes(r.begin() + 2, r.begin() + 8), Bytes(6, 0));

    GNSSensor gns;
    gns.attach(nullptr, 2);
    feed(gns, { 221, 3, 0x11, 0x22, 3, 0x44, 0x55, 0 });
    r = last();
    EXPECT_EQ(records.last().code, 111u);
    ASSERT_EQ(r.size(), 52u);
    EXPECT_EQ(fieldAt<uint16_t>(r, 26), 0x1122);
    EXPECT_EQ(r[28], 3);
    EXPECT_EQ(fieldAt<uint16_t>(r, 30), 0x4455);
    EXPECT_EQ(Bytes(r.begin() + 12, r.begin() + 26), Bytes(14, 0)); // sub-pages 1 and 2 not received
    EXPECT_EQ(Bytes(r.begin() + 32, r.end()), Bytes(20, 0)); // nor 4
    feed(gns, { 221, 2, 0x0A, 0x0B, 0x0C, 0x0D, 7, 0 });
    r = last();
    EXPECT_EQ(fieldAt<uint32_t>(r, 20), 0x0A0B0C0Du);
    EXPECT_EQ(fieldAt<uint16_t>(r, 26), 0x1122); // all of page 221 together
}

TEST_F(DeviceDecoder, EachFieldIsReadAtItsOwnBytesAndGoesToItsOwnPlace)
{
    // One page on a new device: the whole record shows which bytes each
    // field took (big-endian on the air) and where it went (little-endian).
    struct Case {
        const char* what;
        bool gns;
        Bytes page;
        std::vector<std::pair<size_t, Bytes>> fields; // record offset, bytes
    };
    const Case cases[] = {
        { "BSD 16", false, { 16, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE }, { { 36, { 0x34, 0x12, 0x56, 0x78 } } } },
        { "BSD 34", false, { 34, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07 },
            { { 40, { 0x01, 0x02, 0x03 } }, { 44, { 0x05, 0x04 } } } },
        { "BSD 173/2", false, { 173, 2, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66 },
            { { 2, { 0x11, 0x22, 0x44, 0x33, 0x55, 0x66 } } } },
        { "GNS 221/4", true, { 221, 4, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66 }, { { 32, { 0x11, 0, 0x33, 0x22 } } } },
    };
    for (const Case& c : cases) {
        BSDSensor bsd;
        GNSSensor gns;
        PageCopyProfile& device = c.gns ? static_cast<PageCopyProfile&>(gns) : bsd;
        device.attach(nullptr, 1);
        feed(device, c.page);
        Bytes want(c.gns ? 52 : 64, 0);
        want[0] = 1;
        want[1] = 1;
        for (const auto& f : c.fields)
            std::copy(f.second.begin(), f.second.end(), want.begin() + long(f.first));
        EXPECT_EQ(last(), want) << c.what;
    }
}

TEST_F(DeviceDecoder, TrnTurnsNibblesIntoValuesAndScoresThem)
{
    TRNSensor trn;
    trn.attach(nullptr, 4);
    struct Case {
        Bytes page;
        double a;
        int flag1;
        uint16_t b, c;
        int flag2, flag3;
    };
    const Case cases[] = {
        { { 0x21, 0x43, 0x10, 0x00, 0x50, 0x21, 7, 0 }, 342.1, 1, 32, 125, 0, 1 },
        { { 0x00, 0x01, 0x00, 0x01, 0x00, 0x02, 0, 0 }, 100.0, 0, 512, 200, 1, 0 },
        { { 0x99, 0x99, 0xFF, 0xFF, 0x90, 0x99, 255, 0 }, 999.9, 1, 0xFFFE, 999, 1, 0 },
    };
    for (const Case& c : cases) {
        feed(trn, c.page);
        EXPECT_DOUBLE_EQ(trn.valueA(), c.a);
        EXPECT_EQ(trn.flag1(), c.flag1);
        EXPECT_EQ(trn.valueB(), c.b);
        EXPECT_EQ(trn.valueC(), c.c);
        EXPECT_EQ(trn.flag2(), c.flag2);
        EXPECT_EQ(trn.flag3(), c.flag3);
        Bytes r = last();
        EXPECT_EQ(records.last().code, 108u);
        EXPECT_DOUBLE_EQ(fieldAt<double>(r, 8), c.a);
        EXPECT_EQ(fieldAt<uint16_t>(r, 16), c.b);
        EXPECT_EQ(fieldAt<uint16_t>(r, 18), c.c);
        EXPECT_EQ(r[20], c.page[6]);
    }
    // Plausible pages raise the score from 22: the third gives status 2.
    trn.setScore(22);
    std::vector<int> status;
    for (int i = 0; i < 4; ++i) {
        feed(trn, { 0x21, 0x43, 0, 0, 0, 0, 7, 0 });
        status.push_back(last()[2]);
    }
    EXPECT_EQ(status, (std::vector<int> { 0, 0, 2, 2 }));
    // Implausible ones lower it below 10: status 1.
    trn.setScore(11);
    feed(trn, { 0, 0, 0, 0, 0, 0, 0, 0 });
    feed(trn, { 0, 0, 0, 0, 0, 0, 0, 0 });
    EXPECT_EQ(last()[2], 1);
}

TEST_F(DeviceDecoder, TrnScoresOnlyPagesTheCallerHears)
{
    TRNSensor trn;
    trn.attach(nullptr, 4);
    const Bytes plausible { 0x21, 0x43, 0, 0, 0, 0, 7, 0 };
    ANTSensor_SetCallback(nullptr, nullptr);
    for (int i = 0; i < 10; ++i)
        feed(trn, plausible);
    EXPECT_EQ(trn.score(), 20);
    ANTSensor_SetCallback(&Records::callback, &records);
    for (int i = 0; i < 3; ++i)
        feed(trn, plausible);
    EXPECT_EQ(trn.score(), 23);
    EXPECT_EQ(last()[2], 0);
}

TEST_F(DeviceDecoder, VtxPagesAndSmanoPages)
{
    VTXSensor vtx;
    vtx.attach(nullptr, 5);
    feed(vtx, { 0, 0xAD, 0x10, 0xF6, 0x20, 0x12, 0x34, 0x56 });
    feed(vtx, { 1, 7, 8, 0x01, 0x02, 0x03, 0x04, 0x05 });
    feed(vtx, { 2, 0x0A, 0x0B, 0x0C, 0x11, 0x22, 0x33, 0x44 });
    feed(vtx, { 3, 0, 0, 0, 0, 9, 0x12, 0x34 });
    Bytes r = last();
    EXPECT_EQ(records.last().code, 112u);
    ASSERT_EQ(r.size(), 52u);
    EXPECT_EQ(r[2], 0xA8);
    EXPECT_EQ(fieldAt<uint16_t>(r, 4), 0x510);
    EXPECT_EQ(r[6], 0xF4);
    EXPECT_EQ(fieldAt<uint16_t>(r, 8), 0x220);
    EXPECT_EQ(fieldAt<uint16_t>(r, 10), 0x1234);
    EXPECT_EQ(r[12], 0x56);
    EXPECT_EQ(r[13], 7);
    EXPECT_EQ(r[14], 8);
    EXPECT_EQ(fieldAt<uint32_t>(r, 16), 0x010203u);
    EXPECT_EQ(fieldAt<uint16_t>(r, 20), 0x0405);
    EXPECT_EQ(fieldAt<uint32_t>(r, 24), 0x0A0B0Cu);
    EXPECT_EQ(fieldAt<uint32_t>(r, 28), 0x11223344u);
    EXPECT_EQ(r[32], 9);
    EXPECT_EQ(fieldAt<uint16_t>(r, 34), 0x1234);
    EXPECT_EQ(Bytes(r.begin() + 36, r.end()), Bytes(16, 0));

    std::vector<std::string> lines;
    int hook = ce::addDebugOutputHook([&](const std::string& line) { lines.push_back(line); });
    SMANOSensor smano;
    smano.attach(nullptr, 6);
    feed(smano, { 0, 0xFF, 11, 12, 13, 0xFF, 0xFF, 0xFF });
    feed(smano, { 17, 0xFF, 21, 22, 0, 0, 0, 0 });
    feed(smano, { 9, 1, 2, 3, 4, 5, 6, 7 });
    ce::removeDebugOutputHook(hook);
    EXPECT_EQ(records.last().code, 109u);
    EXPECT_EQ(last(), (Bytes { 6, 1, 11, 12, 13, 21, 22 }));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], " Data:0 255 11 12 13 255 255 255 \n");
    EXPECT_EQ(smano.ebe(), 241u);
}

namespace {

struct DeviceRadio : LibraryFixture {
    std::shared_ptr<AntPagedDevice> add(AntPagedDevice device, const Bytes& key)
    {
        auto d = std::make_shared<AntPagedDevice>(std::move(device));
        d->deviceNumber = 0x0505;
        d->networkKey = key;
        sim.withModel([&](AntRadioModel& m) { m.addPeer(d); });
        return d;
    }
    std::vector<AntPage> received(const std::shared_ptr<AntPagedDevice>& d)
    {
        std::vector<AntPage> out;
        sim.withModel([&](AntRadioModel&) { out = d->received; });
        return out;
    }
};

} // namespace

TEST_F(DeviceRadio, EachDeviceOpensInItsOwnOrderAndIsReported)
{
    const Bytes zero(8, 0);
    struct Case {
        const char* name;
        AntPagedDevice device;
        Bytes key;
        int (*connect)(uint8_t, uint16_t, uint8_t);
        uint32_t code;
        std::function<std::vector<Bytes>(uint8_t)> open; // device number 0, time-out 10
        uint32_t periodMs;
    };
    const Case cases[] = {
        { "BSD", AntPagedDevice::bsd(), zero, &ANTBSD_Connect, 110,
            [&](uint8_t c) {
                return std::vector<Bytes> { keyMessage(0, zero), { 0x42, c, 0, 0 }, { 0x51, c, 0, 0, 81, 0 },
                    { 0x45, c, 60 }, { 0x43, c, 0, 0x10 }, { 0x44, c, 10 }, { 0x4B, c } };
            },
            125 },
        { "GNS", AntPagedDevice::gns(), zero, &ANTGNS_Connect, 111,
            [&](uint8_t c) {
                return std::vector<Bytes> { { 0x42, c, 0, 0 }, { 0x51, c, 0, 0, 83, 0 }, { 0x45, c, 60 },
                    keyMessage(0, zero), { 0x43, c, 0, 0x10 }, { 0x44, c, 10 }, { 0x4B, c } };
            },
            125 },
        { "SMANO", AntPagedDevice::smano(), kKey2, &ANTSMANO_Connect, 109,
            [&](uint8_t c) {
                return std::vector<Bytes> { { 0x4D, c, 0x52 }, keyMessage(2, kKey2), { 0x42, c, 0, 2 },
                    { 0x51, c, 0, 0, 1, 0 }, { 0x45, c, 57 }, { 0x43, c, 0x06, 0x20 }, { 0x44, c, 10 }, { 0x4B, c } };
            },
            250 },
        { "TRN", AntPagedDevice::trn(), kKey1, &ANTTRN_Connect, 108,
            [&](uint8_t c) {
                return std::vector<Bytes> { { 0x42, c, 0, 1 }, { 0x51, c, 0, 0, 121, 0 }, { 0x45, c, 57 },
                    keyMessage(1, kKey1), { 0x43, c, 0x2C, 0x3F }, { 0x44, c, 10 }, { 0x4B, c } };
            },
            494 },
        { "VTX", AntPagedDevice::vtx(), zero, &ANTVTX_Connect, 112,
            [&](uint8_t c) {
                return std::vector<Bytes> { { 0x42, c, 0, 0 }, { 0x51, c, 0, 0, 61, 0 }, { 0x45, c, 66 },
                    keyMessage(0, zero), { 0x43, c, 0xF6, 0x1F }, { 0x44, c, 10 }, { 0x4B, c } };
            },
            250 },
    };
    uint8_t ch = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        add(c.device, c.key);
        records.clear();
        sim.clearLog();
        ASSERT_EQ(c.connect(ch, 0, 10), 1);
        EXPECT_EQ(sim.takeSentMessages(), c.open(ch));
        EXPECT_EQ(c.connect(ch, 0, 10), 2);
        step(8, c.periodMs);
        size_t mine = 0;
        Record last {};
        for (size_t i = 0; i < records.size(); ++i) {
            if (records.at(i).bytes[0] == ch) {
                last = records.at(i);
                ++mine;
            }
        }
        ASSERT_GE(mine, 4u);
        EXPECT_EQ(last.code, c.code);
        EXPECT_EQ(last.bytes[1], 1);
        uint8_t id[8] = {};
        EXPECT_EQ(ANTSENSOR_RequestSensorID(ch, id, 8), 1);
        EXPECT_EQ(Bytes(id, id + 6), (Bytes { ch, 0, 0x05, 0x05, c.device.deviceType, 1 }));
        ++ch;
    }

    // A reset of the radio: the caller learns every device is gone.
    records.clear();
    sim.injectSerialError(0x01);
    ASSERT_TRUE(records.waitFor(5));
    std::vector<uint32_t> closed;
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(records.at(i).bytes[0], i);
        EXPECT_EQ(records.at(i).bytes[1], 0);
        closed.push_back(records.at(i).code);
    }
    EXPECT_EQ(closed, (std::vector<uint32_t> { 110, 111, 109, 108, 112 }));
}

TEST_F(DeviceRadio, ANewListMakesTrnJudgeItsValuesAgain)
{
    add(AntPagedDevice::trn(), kKey1);
    ASSERT_EQ(ANTTRN_Connect(0, 0, 10), 1);
    step(8, 494);
    ASSERT_EQ(records.last().bytes[2], 2); // plausible pages: decided
    const uint16_t list[] = { 0x0505 };
    ASSERT_EQ(ANTTRN_ConfigureList(0, list, 1, 0), 1);
    const size_t before = records.size();
    step(3, 494);
    // The closed record the new list may bring keeps the old status.
    size_t first = before;
    while (first < records.size() && records.at(first).bytes[1] != 1)
        ++first;
    ASSERT_LT(first, records.size());
    EXPECT_EQ(records.at(first).bytes[2], 0); // undecided again
}

TEST_F(DeviceRadio, SmanoListsItsDevicesWithItsTransmissionType)
{
    add(AntPagedDevice::smano(), kKey2);
    ASSERT_EQ(ANTSMANO_Connect(3, 0, 10), 1);
    const uint16_t list[] = { 0x0505 };
    sim.clearLog();
    ASSERT_EQ(ANTSMANO_ConfigureList(3, list, 1, 0), 1);
    EXPECT_EQ(sim.takeSentMessages(),
        (std::vector<Bytes> { { 0x4D, 3, 0x52 }, { 0x4C, 3 }, { 0x59, 3, 0x05, 0x05, 1, 0, 0 }, { 0x5A, 3, 1, 0 },
            { 0x51, 3, 0, 0, 1, 0 }, { 0x4B, 3 } }));
    step(4, 250);
    bool heard = false; // a data record, not only the closed one
    for (size_t i = 0; i < records.size(); ++i)
        heard = heard || records.at(i).bytes[1] == 1;
    EXPECT_TRUE(heard);
}

TEST_F(DeviceRadio, CommandPagesGoOutOnceWhileTracking)
{
    auto bsd = add(AntPagedDevice::bsd(), Bytes(8, 0));
    auto gns = add(AntPagedDevice::gns(), Bytes(8, 0));
    ANTBSDCommand b {};
    b.kind = 1;
    // An empty slot gets a device that is not open: nothing is sent.
    sim.clearLog();
    EXPECT_EQ(ANTBSD_SET_CMD(0, &b), 0);
    ASSERT_NE(SensorTable_Get(0), nullptr);
    EXPECT_TRUE(sim.takeSentMessages().empty());
    ASSERT_EQ(ANTBSD_Connect(0, 0, 10), 1);
    EXPECT_EQ(ANTBSD_SET_CMD(0, &b), 0); // still searching
    EXPECT_EQ(ANTBSD_ConfigureList(0, nullptr, 0, 0), 0);
    step(4, 125);
    ASSERT_EQ(ANTGNS_Connect(2, 0, 10), 1);
    step(4, 125);

    struct BsdCase {
        uint8_t kind;
        AntPage page;
    };
    const BsdCase bsdCases[] = {
        { 1, { 172, 1, 0, 0, 0, 0, 0, 0 } },
        { 2, { 172, 2, 0, 0, 0, 0, 0, 0 } },
        { 3, { 1, 0x12, 0x34, 0, 0, 0, 0, 0 } },
        { 4, { 4, 0x56, 0x78, 0, 0, 0, 0, 0 } },
        { 5, { 35, 0x9A, 0, 0, 0, 0, 0, 0 } },
        { 6, { 0, 0, 0, 0, 0, 0, 0, 0 } },
    };
    b.word6 = 0x1234;
    b.word8 = 0x5678;
    b.byte10 = 0x9A;
    std::vector<AntPage> want;
    for (const BsdCase& c : bsdCases) {
        b.kind = c.kind;
        EXPECT_EQ(ANTBSD_SET_CMD(0, &b), 1);
        want.push_back(c.page);
    }
    EXPECT_EQ(received(bsd), want);

    ANTGNSCommand g {};
    g.word8 = 0x0808;
    g.word12 = 0x1212;
    g.byte14 = 0x14;
    g.byte15 = 0x15;
    g.word16 = 0x1616;
    g.word18 = 0x1818;
    g.byte20 = 0x20;
    struct GnsCase {
        uint8_t kind;
        uint8_t select;
        AntPage page;
    };
    const GnsCase gnsCases[] = {
        { 1, 0, { 172, 1, 0, 0, 0, 0, 0, 0 } },
        { 2, 0, { 172, 2, 0, 0, 0, 0, 0, 0 } },
        { 3, 0, { 220, 1, 0, 0x08, 0x08, 0x14, 0x15, 0 } },
        { 3, 2, { 220, 1, 2, 0x12, 0x12, 0x14, 0x15, 0 } },
        { 4, 0, { 220, 2, 0x16, 0x16, 0x18, 0x18, 0, 0 } },
        { 5, 0, { 220, 4, 0x20, 0, 0, 0, 0, 0 } },
        { 9, 0, { 0, 0, 0, 0, 0, 0, 0, 0 } },
    };
    want.clear();
    for (const GnsCase& c : gnsCases) {
        g.kind = c.kind;
        g.select = c.select;
        EXPECT_EQ(ANTGNS_SET_CMD(2, &g), 1);
        want.push_back(c.page);
    }
    EXPECT_EQ(received(gns), want);
    EXPECT_EQ(ANTGNS_SET_CMD(2, nullptr), 0);
    EXPECT_EQ(ANTGNS_SET_CMD(0, &g), 0); // a BSD device there

    // Once tracking, the list may be configured.
    const uint16_t list[] = { 0x0505 };
    sim.clearLog();
    ASSERT_EQ(ANTBSD_ConfigureList(0, list, 1, 0), 1);
    EXPECT_EQ(sim.takeSentMessages(),
        (std::vector<Bytes> { { 0x4C, 0 }, { 0x59, 0, 0x05, 0x05, 81, 1, 0 }, { 0x5A, 0, 1, 0 },
            { 0x51, 0, 0, 0, 81, 0 }, { 0x4B, 0 } }));
}

TEST_F(DeviceRadio, TrnVtxAndSmanoSendTheirPages)
{
    auto trn = add(AntPagedDevice::trn(), kKey1);
    auto vtx = add(AntPagedDevice::vtx(), Bytes(8, 0));
    ANTTRNRequest request {};
    request.word = 0x1234;
    request.value = 5;
    EXPECT_EQ(ANTTRN_SendRequestedInfo(0, &request), 0); // not open
    ASSERT_EQ(ANTTRN_Connect(0, 0, 10), 1);
    ASSERT_EQ(ANTVTX_Connect(1, 0, 10), 1);
    step(6, 494);
    EXPECT_EQ(ANTTRN_SendRequestedInfo(0, &request), 1);
    EXPECT_EQ(received(trn), (std::vector<AntPage> { { 0x34, 0x12, 0x05, 0, 0, 0, 0, 0 } }));

    ANTVTXCommand v {};
    v.word4 = 0x0102;
    v.byte6 = 3;
    v.byte7 = 0x80;
    v.byte8 = 9;
    v.word10 = 0x0705;
    EXPECT_EQ(ANTVTX_SET_CMD(1, &v), 1);
    EXPECT_EQ(received(vtx), (std::vector<AntPage> { { 16, 0x01, 0x02, 3, 0xFF, 9, 0x03, 0x05 } }));

    // SMANO keeps the value it is given; an empty slot takes nothing.
    ANTSMANOSettings s {};
    s.ebe = 0x01020304;
    EXPECT_EQ(ANTSMANO_SETEBE(2, &s), 0);
    EXPECT_EQ(SensorTable_Get(2), nullptr);
    EXPECT_EQ(ANTSMANO_SETEBE(0, &s), 0); // a TRN device there
    EXPECT_EQ(ANTSMANO_SETEBE(3, nullptr), 0);
}
