// The ANT-FS client through its exports, on the simulated radio, against a
// scripted host on the air of its channel.
#include "ant/antfs/antfs_client_api.h"
#include "ant/antfs/antfs_client_engine.h"
#include "ant/core/ant_command.h"
#include "ant/core/ant_library.h"
#include "ant/core/checksums.h"
#include "ant/senvoy_antfs.h"

#include "sim/ant_radio/ant_radio_sim.h"
#include "sim/ant_radio/antfs_peers.h"
#include "tests/ant/antfs/antfs_round_trip.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
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
const Bytes kDisconnect { 0x44, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00 };

struct Events {
    std::mutex m;
    std::condition_variable cv;
    std::vector<std::pair<uint32_t, uintptr_t>> all;
    size_t cursor = 0;

    static void callback(uint32_t message, uint32_t code, uintptr_t parameter, void* context)
    {
        auto* self = static_cast<Events*>(context);
        EXPECT_GE(message, 0xC000u);
        std::lock_guard<std::mutex> lock(self->m);
        self->all.emplace_back(code, parameter);
        self->cv.notify_all();
    }
    // The next event after the ones already taken, within the wait.
    uint32_t next(uintptr_t* parameter = nullptr, uint32_t ms = kWaitMs)
    {
        std::unique_lock<std::mutex> lock(m);
        if (!cv.wait_for(lock, std::chrono::milliseconds(ms), [&] { return all.size() > cursor; }))
            return 0;
        if (parameter)
            *parameter = all[cursor].second;
        return all[cursor++].first;
    }
    size_t pending()
    {
        std::lock_guard<std::mutex> lock(m);
        return all.size() - cursor;
    }
};

// The file the get-file-data callback hands out.
struct Files {
    static Bytes image;
    static void get(uint16_t, uint32_t, uint32_t, const uint8_t** data, uint32_t* length)
    {
        *data = image.data();
        *length = uint32_t(image.size());
    }
    static void empty(uint16_t, uint32_t, uint32_t, const uint8_t** data, uint32_t* length)
    {
        *data = image.data();
        *length = 0;
    }
};
Bytes Files::image;

Bytes directoryImage()
{
    uint32_t size = 0;
    void* image = ANTFSDir_NewDirectory(2, 0, 0, &size);
    Bytes b(static_cast<uint8_t*>(image), static_cast<uint8_t*>(image) + size);
    ANTFSDir_DeleteDirectory(image);
    return b;
}

Bytes cat(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes padded(Bytes b)
{
    b.resize((b.size() + 7) / 8 * 8, 0);
    return b;
}

ANTFSClientConfig defaultConfig()
{
    ANTFSClientConfig c = kivo::test::antfsClientConfig();
    c.manufacturerId = 7; // not read: the beacon shows 59
    return c;
}

// The beacon of the authentication and transport layers: host serial in
// bytes 4-7.
Bytes beaconWithHost(uint8_t status2, uint8_t authType = 0)
{
    return { 0x43, 0x2C, status2, authType, 0xDD, 0xCC, 0xBB, 0xAA };
}

Bytes authAnswer(uint8_t type, const std::string& text = "")
{
    Bytes b { 0x44, 0x84, type, uint8_t(text.size()), 0x78, 0x56, 0x34, 0x12 };
    b.insert(b.end(), text.begin(), text.end());
    return padded(b);
}

struct ClientFixture : ::testing::Test {
    kivo::test::TempDeviceRoot root;
    AntRadioSim sim;
    AntFsHostPeer host { sim, 0 };
    Events events;

    void SetUp() override
    {
        sim.install();
        sim.setAnswerMode(AntRadioSim::AnswerMode::Immediate);
        ASSERT_EQ(ANTLIB_Init(), 1);
        uint32_t event = 0;
        ASSERT_TRUE(ANTLIB_Manager()->waitEvent(kWaitMs, &event));
        ASSERT_EQ(event, ANT_STATE_EVENT_OPENED);
        ASSERT_EQ(ANTFSClient_InitEx(&events, &Events::callback), 1);
        Files::image = directoryImage();
        ANTFSClient_SetGetFileDataCallback(&Files::get);
        ANTFSClientConfig c = defaultConfig();
        ASSERT_EQ(ANTFSClient_Config(&c), 1);
    }
    void TearDown() override
    {
        ANTFSClient_Close();
        ANTFSClient_DeinitEx();
        ANTLIB_Deinit();
        ANTFSClientEngine::setTimeScaleForTests(1);
    }
    ANTFSClientEngine& engine() { return ANTFSClient_Current()->engine(); }

    void openBeacon()
    {
        ASSERT_EQ(ANTFSClient_Open(0), 1);
        ASSERT_EQ(ANTFSClient_OpenBeacon(), 1);
        ASSERT_EQ(events.next(), 201u);
    }
    void link()
    {
        ASSERT_TRUE(host.sendAcknowledged(kLink));
        ASSERT_EQ(events.next(), 202u);
    }
    void transport()
    {
        openBeacon();
        link();
        ASSERT_TRUE(host.sendAcknowledged(kPassThrough));
        ASSERT_EQ(events.next(), 206u);
    }
    // A download request: index, offset | initial flag, CRC seed, block.
    void requestDownload(uint16_t index, uint32_t offset, bool initial, uint16_t seed, uint32_t maxBlock = 0)
    {
        Bytes b { 0x44, 0x09, uint8_t(index), uint8_t(index >> 8), uint8_t(offset), uint8_t(offset >> 8),
            uint8_t(offset >> 16), uint8_t(offset >> 24), 0x00, uint8_t(initial ? 1 : 0), uint8_t(seed),
            uint8_t(seed >> 8), uint8_t(maxBlock), uint8_t(maxBlock >> 8), uint8_t(maxBlock >> 16),
            uint8_t(maxBlock >> 24) };
        ASSERT_TRUE(host.sendBurst(b));
    }
    Bytes nextBurst(size_t* cursor)
    {
        Bytes b;
        EXPECT_TRUE(host.nextBurst(cursor, &b, kWaitMs));
        return b;
    }
};

Bytes downloadHeader(uint8_t code, uint32_t block, uint32_t offset, uint32_t size)
{
    Bytes b { 0x44, 0x89, code, 0x00 };
    for (uint32_t v : { block, offset, size })
        for (int i = 0; i < 4; ++i)
            b.push_back(uint8_t(v >> (8 * i)));
    return b;
}

} // namespace

TEST_F(ClientFixture, BeaconSetUpAndLinkFrameByFrame)
{
    host.clear();
    openBeacon();
    const std::vector<Bytes> setUp {
        { 0x4D, 0x00, 0x52 },
        { 0x46, 0x00, 0x5B, 0x17, 0xC2, 0x90, 0x3E, 0xD8, 0x41, 0x6A },
        { 0x42, 0x00, 0x10, 0x00 },
        { 0x43, 0x00, 0x00, 0x10 },
        { 0x45, 0x00, 0x32 },
        { 0x51, 0x00, 0x78, 0x56, 0x01, 0x05 },
        { 0x4B, 0x00 },
        { 0x45, 0x00, 0x32 },
        { 0x43, 0x00, 0x00, 0x10 },
        { 0x4E, 0x00, 0x43, 0x2C, 0x00, 0x00, 0x01, 0x00, 0x3B, 0x00 },
    };
    std::vector<Bytes> sent = host.sent();
    ASSERT_EQ(sent, setUp);
    EXPECT_EQ(AntFsHostPeer::frameOf(sent.back()),
        (Bytes { 0xA4, 0x09, 0x4E, 0x00, 0x43, 0x2C, 0x00, 0x00, 0x01, 0x00, 0x3B, 0x00, 0xB6 }));

    // Every period's broadcast is followed by a new beacon.
    size_t cursor = sent.size();
    sim.advanceTime(125);
    Bytes beacon;
    ASSERT_TRUE(host.nextBroadcast(&cursor, &beacon, kWaitMs));
    EXPECT_EQ(beacon, (Bytes { 0x43, 0x2C, 0x00, 0x00, 0x01, 0x00, 0x3B, 0x00 }));

    link();
    ASSERT_TRUE(host.nextBroadcast(&cursor, &beacon, kWaitMs));
    EXPECT_EQ(beacon, beaconWithHost(1));
    sent = host.sent();
    EXPECT_NE(std::find(sent.begin(), sent.end(), Bytes { 0x45, 0x00, 0x14 }), sent.end());
    EXPECT_NE(std::find(sent.begin(), sent.end(), Bytes { 0x43, 0x00, 0x00, 0x10 }), sent.end());
    sim.withModel([](AntRadioModel& m) {
        EXPECT_EQ(m.channel(0).rf, 20);
        EXPECT_EQ(m.channel(0).period, 4096);
    });

    // Once linked the configuration is fixed.
    ANTFSClientConfig c = defaultConfig();
    EXPECT_EQ(ANTFSClient_Config(&c), 0);
    EXPECT_EQ(ANTFSClient_Config(nullptr), 1);
}

TEST_F(ClientFixture, ConfigRefusals)
{
    ANTFSClientConfig c = defaultConfig();
    c.authenticationType = 2; // pairing only, with pairing enabled
    EXPECT_EQ(ANTFSClient_Config(&c), 0);
    c = defaultConfig();
    c.linkTimeoutSeconds = 0; // would drop every host at once
    EXPECT_EQ(ANTFSClient_Config(&c), 0);
    c = defaultConfig();
    c.authenticationType = 2;
    c.pairingEnabled = 0;
    EXPECT_EQ(ANTFSClient_Config(&c), 1);
}

TEST_F(ClientFixture, AuthenticationAnswers)
{
    struct Case {
        const char* what;
        uint8_t authType;
        uint32_t pairing;
        Bytes request; // the Authenticate burst
        int pairAnswer; // -1: no pairing question; 0/1: AcceptPair; 2: let it time out
        Bytes answer; // the 0x84 after the beacon
        uint32_t event;
        std::string passkey = "0123456789"; // the client's own
    };
    const Bytes foreign { 0x44, 0x04, 0x00, 0x00, 0x44, 0x33, 0x22, 0x11 };
    auto auth = [](uint8_t type, const std::string& text) {
        Bytes b { 0x44, 0x04, type, uint8_t(text.size()), 0xDD, 0xCC, 0xBB, 0xAA };
        b.insert(b.end(), text.begin(), text.end());
        return b;
    };
    const Case cases[] = {
        { "pass-through", 0, 1, kPassThrough, -1, authAnswer(1), 206 },
        { "pass-through needs type 0", 3, 1, kPassThrough, -1, authAnswer(2), 207 },
        { "serial request", 1, 1, auth(1, ""), -1, authAnswer(0, "Kivo Edge"), 205 },
        { "passkey right", 3, 1, auth(3, "0123456789"), -1, authAnswer(1), 206 },
        { "passkey wrong", 3, 1, auth(3, "0123456788"), -1, authAnswer(2), 207 },
        { "passkey short", 3, 1, auth(3, "012345678"), -1, authAnswer(2), 207 },
        { "pairing accepted", 3, 1, auth(2, "Host"), 1, authAnswer(1, "0123456789"), 206 },
        { "pairing refused", 3, 1, auth(2, "Host"), 0, authAnswer(2), 207 },
        { "pairing timed out", 3, 1, auth(2, "Host"), 2, authAnswer(2), 209 },
        { "pairing disabled", 3, 0, auth(2, "Host"), -1, authAnswer(2), 207 },
        { "foreign serial", 0, 1, foreign, -1, authAnswer(2), 207 },
        { "foreign serial asking for the name", 0, 1,
            Bytes { 0x44, 0x04, 0x01, 0x00, 0x01, 0x02, 0x03, 0x04 }, -1, authAnswer(2), 207 },
        // Refusals that would let a host in if they gave way.
        { "pass-through under type 1", 1, 1, kPassThrough, -1, authAnswer(2), 207 },
        { "pass-through under type 2", 2, 0, kPassThrough, -1, authAnswer(2), 207 },
        { "passkey longer", 3, 1, auth(3, "0123456789A"), -1, authAnswer(2), 207 },
        { "passkey empty against a stored one", 3, 1, auth(3, ""), -1, authAnswer(2), 207 },
        { "passkey empty, none stored, type 1", 1, 1, auth(3, ""), -1, authAnswer(2), 207, "" },
        { "passkey empty, none stored, type 2", 2, 0, auth(3, ""), -1, authAnswer(2), 207, "" },
        { "passkey empty, none stored, type 3", 3, 1, auth(3, ""), -1, authAnswer(1), 206, "" },
        { "passkey empty, none stored, type 0", 0, 1, auth(3, ""), -1, authAnswer(1), 206, "" },
        { "pairing from a foreign serial", 3, 1,
            Bytes { 0x44, 0x04, 0x02, 0x04, 0x44, 0x33, 0x22, 0x11, 'H', 'o', 's', 't' }, -1, authAnswer(2), 207 },
    };
    const std::string name = "Kivo Edge";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ANTFSClientConfig config = defaultConfig();
        config.authenticationType = c.authType;
        config.pairingEnabled = c.pairing;
        config.pairingTimeoutSeconds = 1;
        ASSERT_EQ(ANTFSClient_Config(&config), 1);
        openBeacon();
        engine().setFriendlyName(reinterpret_cast<const uint8_t*>(name.data()), uint32_t(name.size()));
        engine().setPasskey(reinterpret_cast<const uint8_t*>(c.passkey.data()), uint32_t(c.passkey.size()));
        link();
        size_t cursor = host.sent().size();
        ASSERT_TRUE(c.request.size() == 8 ? host.sendAcknowledged(c.request) : host.sendBurst(c.request));
        if (c.pairAnswer >= 0) {
            ASSERT_EQ(events.next(), 208u);
            uint8_t buffer[16] = {};
            uint32_t length = sizeof buffer;
            ASSERT_EQ(engine().getHostFriendlyName(buffer, &length), 1);
            EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), length), "Host");
            if (c.pairAnswer < 2) {
                EXPECT_EQ(ANTFSClient_AcceptPair(c.pairAnswer), 1);
            }
        }
        Bytes burst = nextBurst(&cursor);
        ASSERT_GE(burst.size(), 8u);
        EXPECT_EQ(Bytes(burst.begin() + 8, burst.end()), c.answer);
        EXPECT_EQ(burst[0], 0x43);
        EXPECT_EQ(events.next(), c.event);
        ASSERT_EQ(ANTFSClient_CloseBeacon(), 1);
        ASSERT_EQ(events.next(), 229u);
        ASSERT_EQ(ANTFSClient_Close(), 1);
        host.clear();
    }
    EXPECT_EQ(events.pending(), 0u);
}

TEST_F(ClientFixture, DownloadsEraseUploadAndDisconnect)
{
    transport();
    const Bytes& image = Files::image;
    ASSERT_EQ(Crc16_Calc(image.data(), image.size()), 0xE625);
    const Bytes footer { 0, 0, 0, 0, 0, 0, 0x25, 0xE6 };

    // The directory served whole.
    size_t cursor = host.sent().size();
    requestDownload(0, 0, true, 0);
    Bytes burst = nextBurst(&cursor);
    EXPECT_EQ(Bytes(burst.begin(), burst.begin() + 8), beaconWithHost(3));
    EXPECT_EQ(Bytes(burst.begin() + 8, burst.end()),
        cat(cat(downloadHeader(0, 48, 0, 48), image), footer));
    EXPECT_EQ(events.next(), 211u);

    // Resumed from 16 with the right seed, and with a wrong one.
    requestDownload(0, 16, false, Crc16_Calc(image.data(), 16));
    burst = nextBurst(&cursor);
    EXPECT_EQ(Bytes(burst.begin() + 8, burst.end()),
        cat(cat(downloadHeader(0, 32, 16, 48), Bytes(image.begin() + 16, image.end())), footer));
    EXPECT_EQ(events.next(), 211u);
    requestDownload(0, 16, false, 0x1234);
    burst = nextBurst(&cursor);
    EXPECT_EQ(Bytes(burst.begin() + 8, burst.end()), downloadHeader(5, 0, 16, 0));
    EXPECT_EQ(events.next(), 212u);

    // The host did not take the block and asks for another file.
    sim.withModel([](AntRadioModel& m) { m.setTransferOutcome(AntRadioModel::TransferOutcome::Failed); });
    requestDownload(0, 0, true, 0);
    burst = nextBurst(&cursor);
    sim.withModel([](AntRadioModel& m) { m.setTransferOutcome(AntRadioModel::TransferOutcome::Completed); });
    requestDownload(4, 0, true, 0);
    burst = nextBurst(&cursor);
    EXPECT_EQ(burst[10], 4); // invalid request
    EXPECT_EQ(events.next(), 212u);

    // Without a callback, or with no data, there is no such file.
    ANTFSClient_SetGetFileDataCallback(nullptr);
    requestDownload(0, 0, true, 0);
    burst = nextBurst(&cursor);
    EXPECT_EQ(burst[10], 1);
    EXPECT_EQ(events.next(), 213u);
    ANTFSClient_SetGetFileDataCallback(&Files::empty);
    requestDownload(0, 0, true, 0);
    burst = nextBurst(&cursor);
    EXPECT_EQ(burst[10], 1);
    EXPECT_EQ(events.next(), 213u);

    // Erase through the application.
    ASSERT_TRUE(host.sendAcknowledged({ 0x44, 0x0B, 0x05, 0x00 }));
    uintptr_t parameter = 0;
    EXPECT_EQ(events.next(&parameter), 224u);
    EXPECT_EQ(parameter, 5u);
    EXPECT_EQ(ANTFSClient_SendEraseResponse(0), 1);
    burst = nextBurst(&cursor);
    EXPECT_EQ(Bytes(burst.begin() + 8, burst.end()), (Bytes { 0x44, 0x8B, 0x00, 0, 0, 0, 0, 0 }));
    EXPECT_EQ(events.next(), 225u);

    // Every upload is refused.
    ASSERT_TRUE(host.sendBurst({ 0x44, 0x0A, 0x05, 0x00, 0x00, 0x01, 0x00, 0x00, 0, 0, 0, 0, 0, 0, 0, 0 }));
    burst = nextBurst(&cursor);
    ASSERT_EQ(burst.size(), 32u);
    EXPECT_EQ(burst[8], 0x44);
    EXPECT_EQ(burst[9], 0x8A);
    EXPECT_EQ(burst[10], 4);
    EXPECT_EQ(events.next(), 219u);

    // Disconnect back to the link layer: the beacon is closed.
    ASSERT_TRUE(host.sendAcknowledged(kDisconnect));
    EXPECT_EQ(events.next(), 203u);
    EXPECT_EQ(events.next(), 229u);
    EXPECT_EQ(engine().getState(), ANTFS_CLIENT_IDLE);
}

namespace {
// Files by index, as the application hands them out at each request.
struct IndexedFiles {
    static std::map<uint16_t, const Bytes*> byIndex;
    static void get(uint16_t index, uint32_t, uint32_t, const uint8_t** data, uint32_t* length)
    {
        auto it = byIndex.find(index);
        *data = it == byIndex.end() ? nullptr : it->second->data();
        *length = it == byIndex.end() ? 0 : uint32_t(it->second->size());
    }
};
std::map<uint16_t, const Bytes*> IndexedFiles::byIndex;

Bytes patterned(size_t n, uint8_t mul, uint8_t add)
{
    Bytes b(n);
    for (size_t i = 0; i < n; ++i)
        b[i] = uint8_t(i * mul + add);
    return b;
}
} // namespace

TEST_F(ClientFixture, AResumeIsCheckedAgainstTheFileItResumes)
{
    // A file served in blocks, then another file (or another version of
    // it) resumed past the start of the last block: its seed is the CRC of
    // its own bytes, not of the file served before.
    const Bytes five = patterned(3000, 7, 3);
    const Bytes six = patterned(3000, 13, 1);
    const Bytes fiveAgain = patterned(3000, 5, 9);
    struct Case {
        const char* what;
        uint16_t index;
        const Bytes* resumed;
    };
    const Case cases[] = {
        { "another file", 6, &six },
        { "another version of the same file", 5, &fiveAgain },
    };
    transport();
    ANTFSClient_SetGetFileDataCallback(&IndexedFiles::get);
    size_t cursor = host.sent().size();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        IndexedFiles::byIndex = { { 5, &five }, { 6, &six } };
        requestDownload(5, 0, true, 0, 1000);
        Bytes burst = nextBurst(&cursor);
        ASSERT_GE(burst.size(), 24u);
        EXPECT_EQ(Bytes(burst.begin() + 8, burst.begin() + 24), downloadHeader(0, 1000, 0, 3000));
        EXPECT_EQ(events.next(), 211u);
        requestDownload(5, 1000, false, Crc16_Calc(five.data(), 1000), 1000);
        burst = nextBurst(&cursor);
        ASSERT_GE(burst.size(), 24u);
        EXPECT_EQ(Bytes(burst.begin() + 8, burst.begin() + 24), downloadHeader(0, 1000, 1000, 3000));
        EXPECT_EQ(events.next(), 211u);

        IndexedFiles::byIndex[c.index] = c.resumed;
        const Bytes& file = *c.resumed;
        requestDownload(c.index, 2000, false, Crc16_Calc(file.data(), 2000), 1000);
        burst = nextBurst(&cursor);
        const uint16_t crc = Crc16_Calc(file.data(), file.size());
        const Bytes footer { 0, 0, 0, 0, 0, 0, uint8_t(crc), uint8_t(crc >> 8) };
        EXPECT_EQ(Bytes(burst.begin() + 8, burst.end()),
            cat(cat(downloadHeader(0, 1000, 2000, 3000), Bytes(file.begin() + 2000, file.end())), footer));
        EXPECT_EQ(events.next(), 211u);
    }
    EXPECT_EQ(events.pending(), 0u);
}

TEST_F(ClientFixture, RefusedCallsLeaveTheRunningClientAsItWas)
{
    // Each call refused while a host is linked, and again while an erase
    // waits for the application: the host's work goes on untouched.
    ANTFSClientConfig c = defaultConfig();
    c.beaconPeriodCode = 2;
    auto refuseAll = [&] {
        EXPECT_EQ(ANTFSClient_Open(ANT_CHANNELS), 0);
        EXPECT_EQ(ANTFSClient_Open(255), 0);
        EXPECT_EQ(ANTFSClient_Config(&c), 0);
        EXPECT_EQ(ANTFSClient_OpenBeacon(), 0);
        EXPECT_EQ(ANTFSClient_AcceptPair(1), 0);
    };
    openBeacon();
    link();
    refuseAll();
    EXPECT_EQ(ANTFSClient_SendEraseResponse(0), 0);
    EXPECT_EQ(engine().getState(), ANTFS_CLIENT_AUTH);
    ASSERT_TRUE(host.sendAcknowledged(kPassThrough));
    ASSERT_EQ(events.next(), 206u);

    size_t cursor = host.sent().size();
    ASSERT_TRUE(host.sendAcknowledged({ 0x44, 0x0B, 0x05, 0x00 }));
    ASSERT_EQ(events.next(), 224u);
    refuseAll();
    EXPECT_EQ(engine().getState(), ANTFS_CLIENT_ERASE_WAIT);
    EXPECT_EQ(ANTFSClient_SendEraseResponse(0), 1);
    Bytes burst = nextBurst(&cursor);
    // The beacon still shows the period code the client opened with.
    EXPECT_EQ(Bytes(burst.begin(), burst.end()),
        cat(beaconWithHost(3), Bytes { 0x44, 0x8B, 0x00, 0, 0, 0, 0, 0 }));
    EXPECT_EQ(events.next(), 225u);
    EXPECT_EQ(events.pending(), 0u);
}

TEST_F(ClientFixture, BurstIntakeDiscardsWhatIsNotACommand)
{
    transport();
    size_t cursor = host.sent().size();
    // Not 0x44 first: the whole burst is ignored.
    ASSERT_TRUE(host.sendBurst({ 0x45, 0x09, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0 }));
    // A download request in one packet lacks its second half.
    ASSERT_TRUE(host.sendAcknowledged({ 0x44, 0x09, 0, 0, 0, 0, 0, 0 }));
    // A failed reception from the host leaves the engine as it was.
    ASSERT_TRUE(host.injectEvent(4));
    // The next whole request is served.
    requestDownload(0, 0, true, 0);
    Bytes burst = nextBurst(&cursor);
    EXPECT_EQ(burst[10], 0);
    EXPECT_EQ(events.next(), 211u);
    EXPECT_EQ(events.pending(), 0u);
}

TEST_F(ClientFixture, LinkTimeOutOnAScaledClock)
{
    ANTFSClientEngine::setTimeScaleForTests(10);
    ANTFSClientConfig c = defaultConfig();
    c.linkTimeoutSeconds = 2;
    ASSERT_EQ(ANTFSClient_Config(&c), 1);
    openBeacon();
    link();
    EXPECT_EQ(events.next(), 204u);
    // Back in the link layer: a host links again.
    link();
}

namespace {
std::mutex g_holdMutex;
std::condition_variable g_holdCv;
bool g_held = false;
bool g_release = false;
void holdingCallback(uint16_t, uint32_t, uint32_t, const uint8_t** data, uint32_t* length)
{
    std::unique_lock<std::mutex> lock(g_holdMutex);
    g_held = true;
    g_holdCv.notify_all();
    g_holdCv.wait(lock, [] { return g_release; });
    *data = Files::image.data();
    *length = uint32_t(Files::image.size());
}
} // namespace

TEST_F(ClientFixture, WithoutLinkTimeOutAnUnansweredDownloadIsRefusedNotReady)
{
    {
        // Held anew on every run of the test.
        std::lock_guard<std::mutex> lock(g_holdMutex);
        g_held = false;
        g_release = false;
    }
    ANTFSClientEngine::setTimeScaleForTests(100);
    ANTFSClientConfig c = defaultConfig();
    c.linkTimeoutSeconds = 255;
    ASSERT_EQ(ANTFSClient_Config(&c), 1);
    transport();
    ANTFSClient_SetGetFileDataCallback(&holdingCallback);
    size_t cursor = host.sent().size();
    requestDownload(0, 0, true, 0);
    Bytes burst = nextBurst(&cursor);
    EXPECT_EQ(burst[10], 3);
    {
        std::lock_guard<std::mutex> lock(g_holdMutex);
        EXPECT_TRUE(g_held);
        g_release = true;
        g_holdCv.notify_all();
    }
    EXPECT_EQ(events.next(), 215u);
}

TEST_F(ClientFixture, AFailedRadioCommandIsReported)
{
    // Without this the client fell idle without a word.
    sim.withModel([](AntRadioModel& m) { m.setResponseCode(0x42, AntRadioModel::CODE_WRONG_STATE, 1); });
    ASSERT_EQ(ANTFSClient_Open(0), 1);
    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE(round);
        if (round > 0)
            sim.withModel([](AntRadioModel& m) { m.setResponseCode(0x42, AntRadioModel::CODE_WRONG_STATE, 1); });
        ASSERT_EQ(ANTFSClient_OpenBeacon(), 1);
        // Asked again all along: refused while the failure is served (the
        // engine resets twice), taken once idle again, and then served.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
        int r = 0;
        while ((r = ANTFSClient_OpenBeacon()) != 1 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        ASSERT_EQ(r, 1);
        EXPECT_EQ(events.next(), 228u);
        ASSERT_EQ(events.next(), 201u);
        ASSERT_EQ(ANTFSClient_CloseBeacon(), 1);
        ASSERT_EQ(events.next(), 229u);
    }
}

TEST_F(ClientFixture, CloseLeavesOtherChannelsSendingAndASecondInitChangesNothing)
{
    openBeacon();
    EXPECT_EQ(ANTFSClient_InitEx(&events, &Events::callback), 1);
    EXPECT_EQ(ANTFSClient_Init(nullptr), 1);
    link(); // the running client still reports
    ASSERT_EQ(ANTFSClient_Close(), 1);

    ANTFramer* framer = ANTLIB_Manager()->framer();
    ASSERT_EQ(ANTCommand_AssignChannel(framer, 1, 0x10, 0, 1000), 1);
    ASSERT_EQ(ANTCommand_OpenChannel(framer, 1, 1000), 1);
    const uint8_t payload[16] = { 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16 };
    EXPECT_EQ(ANTCommand_SendAcknowledgedData(framer, 1, payload, 1000), ANT_RESULT_OK);
    // A burst reads the cancel word after every packet.
    EXPECT_EQ(ANTCommand_SendBurst(framer, 1, payload, sizeof payload, 1000), ANT_RESULT_OK);
}

TEST_F(ClientFixture, LibraryDeinitWithTheClientOpen)
{
    openBeacon();
    link();
    ANTLIB_Deinit();
    EXPECT_EQ(ANTFSClient_Open(0), 0);
    EXPECT_EQ(ANTFSClient_Close(), 0);
}

TEST(ClientLifecycle, InitAndDeinitPairsAndNoLibrary)
{
    kivo::test::TempDeviceRoot root;
    Events events;
    for (int i = 0; i < 200; ++i) {
        ASSERT_EQ(ANTFSClient_InitEx(&events, &Events::callback), 1);
        ANTFSClient_DeinitEx();
    }
    ASSERT_EQ(ANTFSClient_Init(nullptr), 1);
    EXPECT_EQ(ANTFSClient_Open(0), 0);
    EXPECT_EQ(ANTFSClient_Close(), 0);
    EXPECT_EQ(ANTFSClient_OpenBeacon(), 0);
    ANTFSClient_Deinit();
    EXPECT_EQ(ANTFSClient_Config(nullptr), 0);
    EXPECT_EQ(ANTFSClient_OpenBeacon(), 0);
}
