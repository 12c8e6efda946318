// The ANT-FS client through its exports against a scripted host on the air
// of its channel: what its beacon shows and how it reads and answers the
// host's commands.
#include "ant/antfs/antfs_client_api.h"
#include "ant/antfs/antfs_client_engine.h"
#include "ant/core/ant_library.h"
#include "ant/core/checksums.h"
#include "ant/senvoy_antfs.h"

#include "sim/ant_radio/ant_radio_sim.h"
#include "sim/ant_radio/antfs_peers.h"
#include "tests/ant/antfs/antfs_round_trip.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace senvoy;
using kivo::sim::AntFsHostPeer;
using kivo::sim::AntRadioModel;
using kivo::sim::AntRadioSim;
using Bytes = std::vector<uint8_t>;

namespace {

constexpr uint32_t kWaitMs = 10000;
const Bytes& kLink = kivo::test::kAntfsHostLink;
const Bytes& kPassThrough = kivo::test::kAntfsHostPassThrough;

using Events = kivo::test::AntfsEvents;

Bytes g_served;

void serve(uint16_t, uint32_t, uint32_t, const uint8_t** data, uint32_t* length)
{
    *data = g_served.data();
    *length = uint32_t(g_served.size());
}

// The client on channel 0, not configured, against a scripted host.
struct ClientWire : ::testing::Test {
    kivo::test::TempDeviceRoot root;
    AntRadioSim sim;
    AntFsHostPeer host { sim, 0 };
    Events events;

    void SetUp() override
    {
        g_served = kivo::test::antfsClientDirectory();
        sim.install();
        sim.setAnswerMode(AntRadioSim::AnswerMode::Immediate);
        ASSERT_EQ(ANTLIB_Init(), 1);
        uint32_t event = 0;
        ASSERT_TRUE(ANTLIB_Manager()->waitEvent(kWaitMs, &event));
        ASSERT_EQ(ANTFSClient_InitEx(&events, &Events::callback), 1);
        ANTFSClient_SetGetFileDataCallback(&serve);
    }
    void TearDown() override
    {
        ANTFSClient_Close();
        ANTFSClient_DeinitEx();
        ANTLIB_Deinit();
    }
    void openBeacon()
    {
        ASSERT_EQ(ANTFSClient_Open(0), 1);
        ASSERT_EQ(ANTFSClient_OpenBeacon(), 1);
        ASSERT_EQ(events.next(), 201u);
    }
    void transport()
    {
        ANTFSClientConfig c = kivo::test::antfsClientConfig();
        ASSERT_EQ(ANTFSClient_Config(&c), 1);
        ASSERT_NO_FATAL_FAILURE(openBeacon());
        ASSERT_TRUE(host.sendAcknowledged(kLink));
        ASSERT_EQ(events.next(), 202u);
        ASSERT_TRUE(host.sendAcknowledged(kPassThrough));
        ASSERT_EQ(events.next(), 206u);
    }
    // The client's next answer burst after *cursor, without its beacon.
    Bytes nextAnswer(size_t* cursor)
    {
        Bytes b;
        EXPECT_TRUE(host.nextBurst(cursor, &b, kWaitMs));
        return b.size() >= 8 ? Bytes(b.begin() + 8, b.end()) : Bytes();
    }
};

} // namespace

TEST_F(ClientWire, BeaconShowsThePeriodCodeAndFlagsItRunsWith)
{
    struct Case {
        const char* what;
        bool configure; // else the client's defaults
        uint8_t periodCode;
        uint32_t upload;
        uint8_t status1; // beacon byte 1
        uint16_t period; // of its channel
    };
    // Pairing enabled (8) and data available (32) in every case.
    const Case cases[] = {
        { "defaults", false, 0, 0, 0x2B, 8192 },
        { "code 3, upload enabled", true, 3, 1, 0x3B, 8192 },
        { "code 0", true, 0, 0, 0x28, 65535 },
        { "code 1", true, 1, 0, 0x29, 32768 },
        { "code 2", true, 2, 1, 0x3A, 16384 },
        { "code 4", true, 4, 0, 0x2C, 4096 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.configure) {
            ANTFSClientConfig config = kivo::test::antfsClientConfig();
            config.beaconPeriodCode = c.periodCode;
            config.uploadEnabled = c.upload;
            ASSERT_EQ(ANTFSClient_Config(&config), 1);
        }
        host.clear();
        ASSERT_NO_FATAL_FAILURE(openBeacon());
        Bytes beacon;
        size_t cursor = 0;
        ASSERT_TRUE(host.nextBroadcast(&cursor, &beacon, kWaitMs));
        EXPECT_EQ(beacon[1], c.status1);
        sim.withModel([&](AntRadioModel& m) { EXPECT_EQ(m.channel(0).period, c.period); });
        ASSERT_EQ(ANTFSClient_CloseBeacon(), 1);
        ASSERT_EQ(events.next(), 229u);
        ASSERT_EQ(ANTFSClient_Close(), 1);
    }
}

TEST_F(ClientWire, EraseTheApplicationRefusesIsAnsweredAndReportedRefused)
{
    ASSERT_NO_FATAL_FAILURE(transport());
    size_t cursor = host.sent().size();
    ASSERT_TRUE(host.sendAcknowledged({ 0x44, 0x0B, 0x05, 0x00 }));
    uintptr_t parameter = 0;
    ASSERT_EQ(events.next(&parameter), 224u);
    EXPECT_EQ(parameter, 5u);
    ASSERT_EQ(ANTFSClient_SendEraseResponse(1), 1);
    EXPECT_EQ(nextAnswer(&cursor), (Bytes { 0x44, 0x8B, 0x01, 0, 0, 0, 0, 0 }));
    EXPECT_EQ(events.next(), 226u);
}

TEST_F(ClientWire, DownloadRequestsInitialFlagIsReadFromItsOwnByte)
{
    // Resumes from 16 with a seed that is not the CRC of the bytes before:
    // taken as the start of the CRC when the request says it is an initial
    // one, refused (code 5) when it does not, whatever the bytes beside
    // the flag hold.
    const Bytes& image = g_served;
    const uint16_t seed = 0x1234;
    ASSERT_NE(Crc16_Calc(image.data(), 16), seed);
    struct Case {
        const char* what;
        uint8_t reserved, flags; // the bytes 8 and 9 of the request
        Bytes answer;
    };
    const uint16_t crc = Crc16_Update(seed, image.data() + 16, 32);
    Bytes served { 0x44, 0x89, 0, 0, 32, 0, 0, 0, 16, 0, 0, 0, 48, 0, 0, 0 };
    served.insert(served.end(), image.begin() + 16, image.end());
    served.insert(served.end(), { 0, 0, 0, 0, 0, 0, uint8_t(crc), uint8_t(crc >> 8) });
    const Bytes refused { 0x44, 0x89, 5, 0, 0, 0, 0, 0, 16, 0, 0, 0, 0, 0, 0, 0 };
    const Case cases[] = {
        { "resumed", 0x01, 0x00, refused },
        { "resumed, upper bits set", 0x00, 0xFE, refused },
        // Last: the block it serves starts at the seed, which a resume
        // from there is then checked against.
        { "initial", 0x00, 0x01, served },
    };
    ASSERT_NO_FATAL_FAILURE(transport());
    size_t cursor = host.sent().size();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Bytes request { 0x44, 0x09, 0, 0, 16, 0, 0, 0, c.reserved, c.flags, uint8_t(seed), uint8_t(seed >> 8), 0,
            0, 0, 0 };
        ASSERT_TRUE(host.sendBurst(request));
        EXPECT_EQ(nextAnswer(&cursor), c.answer);
        EXPECT_EQ(events.next(), c.answer == served ? 211u : 212u);
    }
}
