// The ANT-FS host through its exports against the library's own ANT-FS
// client on another channel of the simulated radio, joined by its air.
#include "ant/antfs/antfs_client_api.h"
#include "ant/antfs/antfs_host_api.h"
#include "ant/antfs/antfs_host_engine.h"
#include "ant/antfs/antfs_shared.h"
#include "ant/core/ant_command.h"
#include "ant/core/ant_library.h"
#include "ant/core/checksums.h"
#include "ant/senvoy_antfs.h"

#include "platform/paths.h"
#include "sim/ant_radio/ant_radio_model.h"
#include "sim/ant_radio/ant_radio_sim.h"
#include "sim/ant_radio/antfs_peers.h"
#include "tests/ant/antfs/antfs_host_peer_fixture.h"
#include "tests/ant/antfs/antfs_round_trip.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <filesystem>
#include <functional>
#include <future>
#include <fstream>
#include <iterator>
#include <algorithm>
#include <mutex>
#include <thread>
#include <vector>

using namespace senvoy;
using kivo::sim::AntFsClientPeer;
using kivo::sim::AntFsClientScript;
using kivo::sim::AntRadioModel;
using kivo::sim::AntRadioSim;
using Bytes = std::vector<uint8_t>;

namespace {

constexpr uint32_t kWaitMs = 20000;

using Events = kivo::test::AntfsEvents;

Bytes g_directory;
Bytes g_file5;

void files(uint16_t index, uint32_t, uint32_t, const uint8_t** data, uint32_t* length)
{
    const Bytes* f = index == 0 ? &g_directory : index == 5 ? &g_file5 : nullptr;
    *data = f ? f->data() : nullptr;
    *length = f ? uint32_t(f->size()) : 0;
}

Bytes readLinux(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct RoundTrip : ::testing::Test {
    kivo::test::TempDeviceRoot root;
    AntRadioSim sim;
    Events client;
    Events host;

    void SetUp() override
    {
        g_directory = kivo::test::antfsClientDirectory();
        g_file5 = kivo::test::antfsClientFile5();

        ce::ensureDirectory("\\SystemDrive"); // the device's system drive
        sim.install();
        sim.setAnswerMode(AntRadioSim::AnswerMode::Immediate);
        ASSERT_EQ(ANTLIB_Init(), 1);
        uint32_t event = 0;
        ASSERT_TRUE(ANTLIB_Manager()->waitEvent(kWaitMs, &event));
        sim.startClock();

        ASSERT_EQ(ANTFSClient_InitEx(&client, &Events::callback), 1);
        ANTFSClient_SetGetFileDataCallback(&files);
        ANTFSClientConfig c = kivo::test::antfsClientConfig();
        ASSERT_EQ(ANTFSClient_Config(&c), 1);
        ASSERT_EQ(ANTFSClient_Open(0), 1);
        ASSERT_EQ(ANTFSClient_OpenBeacon(), 1);
        ASSERT_EQ(client.next(), 201u);

        ASSERT_EQ(ANTFSHost_InitEx(&host, &Events::callback), 1);
        ASSERT_EQ(ANTFSHost_Open(1), 1);
        // The library keeps the save path between hosts: empty again, so
        // files go where an empty one puts them whatever ran before.
        ASSERT_EQ(ANTFSHost_SetSaveFilePath("", 0), 1);
    }
    void TearDown() override
    {
        ANTFSHost_Close();
        ANTFSHost_DeinitEx();
        ANTFSClient_Close();
        ANTFSClient_DeinitEx();
        sim.stopClock();
        ANTLIB_Deinit();
    }
    void found()
    {
        ASSERT_EQ(ANTFSHost_Search(), 1);
        ASSERT_EQ(host.next(), 115u);
        ASSERT_EQ(client.next(), 202u);
        ASSERT_EQ(client.next(), 205u); // the host asked who it is
    }
};

} // namespace

// What the host's channel (1) sent as acknowledged data or bursts.
std::vector<Bytes> hostTransfers(AntRadioSim& sim)
{
    std::vector<Bytes> out;
    sim.withModel([&](AntRadioModel& m) { out = m.transfers(); });
    return out;
}

TEST_F(RoundTrip, SearchAuthenticateTransferAndDisconnect)
{
    found();
    // The Link command: the table's first code, period code 4, host serial 0.
    const uint8_t code = ANTFSHost_CurrentEngine()->linkFrequencyAt(0);
    const Bytes link { 0x44, 0x02, code, 0x04, 0, 0, 0, 0 };
    std::vector<Bytes> sent = hostTransfers(sim);
    EXPECT_NE(std::find(sent.begin(), sent.end(), link), sent.end());
    sim.withModel([&](AntRadioModel& m) { EXPECT_EQ(m.channel(0).rf, code); });
    EXPECT_EQ(host.info.serialNumber, 0x12345678u);
    EXPECT_EQ(host.info.manufacturerId, 59);
    EXPECT_EQ(host.info.deviceType, 1);
    EXPECT_EQ(host.info.channelDeviceNumber, 0x5678);
    EXPECT_EQ(host.info.dataAvailable, 32u);

    ASSERT_EQ(ANTFSHost_PassThru(), 1);
    EXPECT_EQ(host.next(), 109u);
    EXPECT_EQ(client.next(), 206u);

    ASSERT_EQ(ANTFSHost_Directory(), 1);
    uintptr_t parameter = 99;
    EXPECT_EQ(host.next(&parameter), 101u);
    EXPECT_EQ(parameter, 0u);
    EXPECT_EQ(client.next(), 211u);
    const uint8_t* dir = static_cast<const uint8_t*>(ANTFSHost_GetDirectoryData());
    ASSERT_NE(dir, nullptr);
    EXPECT_EQ(Bytes(dir, dir + 48), g_directory);

    ASSERT_EQ(ANTFSHost_Download(5, 0, 0), 1);
    EXPECT_EQ(host.next(&parameter), 101u);
    EXPECT_EQ(parameter, 5u);
    EXPECT_EQ(client.next(), 211u);
    EXPECT_EQ(readLinux(ce::resolvePath("\\SystemDrive\\5.dat")), g_file5);

    // A folder that does not exist: nothing saved, and said so.
    ASSERT_EQ(ANTFSHost_SetSaveFilePath("\\SystemDrive\\missing\\", 21), 1);
    ASSERT_EQ(ANTFSHost_Download(5, 0, 0), 1);
    EXPECT_EQ(host.next(&parameter), 103u);
    EXPECT_EQ(client.next(), 211u);
    EXPECT_TRUE(readLinux(ce::resolvePath("\\SystemDrive\\missing\\5.dat")).empty());

    // A name a folder holds: nothing saved, and nothing left beside it.
    const std::string busy = ce::resolvePath("\\SystemDrive\\busy", false);
    ASSERT_TRUE(std::filesystem::create_directories(busy + "/5.dat"));
    ASSERT_EQ(ANTFSHost_SetSaveFilePath("\\SystemDrive\\busy\\", 18), 1);
    ASSERT_EQ(ANTFSHost_Download(5, 0, 0), 1);
    EXPECT_EQ(host.next(&parameter), 103u);
    EXPECT_EQ(client.next(), 211u);
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(busy))
        left.push_back(entry.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string> { "5.dat" });

    ASSERT_EQ(ANTFSHost_Erase(5), 1);
    EXPECT_EQ(client.next(&parameter), 224u);
    EXPECT_EQ(parameter, 5u);
    ASSERT_EQ(ANTFSClient_SendEraseResponse(0), 1);
    EXPECT_EQ(host.next(), 116u);
    EXPECT_EQ(client.next(), 225u);

    const uint8_t data[16] = { 1, 2, 3 };
    ASSERT_EQ(ANTFSHost_Upload(7, sizeof data, data), 1);
    EXPECT_EQ(host.next(), 106u);
    EXPECT_EQ(client.next(), 219u);

    ASSERT_EQ(ANTFSHost_Disconnect(), 1);
    EXPECT_EQ(host.next(), 114u);
    EXPECT_EQ(client.next(), 203u);
    EXPECT_EQ(client.next(), 229u);
}

TEST_F(RoundTrip, PairingKeepsTheClientsPasskey)
{
    const char passkey[] = "0123456789";
    ANTFSClient_Current()->engine().setPasskey(reinterpret_cast<const uint8_t*>(passkey), 10);
    found();
    // A pass-through accepted first leaves the stored passkey alone.
    ASSERT_EQ(ANTFSHost_PassThru(), 1);
    EXPECT_EQ(host.next(), 109u);
    EXPECT_EQ(client.next(), 206u);
    ASSERT_EQ(ANTFSHost_Disconnect(), 1);
    EXPECT_EQ(host.next(), 114u);
    EXPECT_EQ(client.next(), 203u);
    EXPECT_EQ(client.next(), 229u);
    ASSERT_EQ(ANTFSClient_OpenBeacon(), 1);
    ASSERT_EQ(client.next(), 201u);
    found();
    uint8_t tooLong[300] = {};
    EXPECT_EQ(ANTFSHost_Pair(tooLong, sizeof tooLong), 0); // its copy holds 255
    uint8_t answer[32] = {};
    ASSERT_EQ(ANTFSHost_Pair(answer, sizeof answer), 1);
    EXPECT_EQ(client.next(), 208u);
    ASSERT_EQ(ANTFSClient_AcceptPair(1), 1);
    EXPECT_EQ(host.next(), 109u);
    EXPECT_EQ(client.next(), 206u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(answer), 10), passkey);

    // The client's answer is the passkey kept: the next link authenticates
    // with it.
    ASSERT_EQ(ANTFSHost_Disconnect(), 1);
    EXPECT_EQ(host.next(), 114u);
    EXPECT_EQ(client.next(), 203u);
    EXPECT_EQ(client.next(), 229u);
    ASSERT_EQ(ANTFSClient_OpenBeacon(), 1);
    ASSERT_EQ(client.next(), 201u);
    found();
    ASSERT_EQ(ANTFSHost_Passkey(), 1);
    EXPECT_EQ(host.next(), 109u);
    EXPECT_EQ(client.next(), 206u);
}

TEST_F(RoundTrip, IdleLinkIsPingedAndAFailedRadioCommandIsReported)
{
    found();
    ASSERT_EQ(ANTFSHost_PassThru(), 1);
    EXPECT_EQ(host.next(), 109u);
    EXPECT_EQ(client.next(), 206u);
    ANTFSHostEngine::setTimeScaleForTests(10); // a ping every 200 ms
    const Bytes ping { 0x44, 0x05, 0, 0, 0, 0, 0, 0 };
    auto pings = [&] {
        std::vector<Bytes> sent = hostTransfers(sim);
        return std::count(sent.begin(), sent.end(), ping);
    };
    for (int i = 0; i < 2000 && pings() < 3; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_GE(pings(), 3);
    // Only after an idle wait each: the radio's log shows them 200 ms apart
    // (less what a loaded machine may add to the first one's way there).
    std::vector<uint64_t> times;
    const Bytes pingFrame = AntRadioSim::sentFrame(0x4F, { 1, 0x44, 0x05, 0, 0, 0, 0, 0, 0 });
    for (const kivo::sim::AntFrameRecord& r : sim.log())
        if (r.direction == kivo::sim::AntFrameRecord::Direction::Sent && r.bytes == pingFrame)
            times.push_back(r.timeUs);
    ASSERT_GE(times.size(), 3u);
    for (size_t i = 1; i < times.size(); ++i)
        EXPECT_GE(times[i] - times[i - 1], 150000u) << i;
    ANTFSHostEngine::setTimeScaleForTests(1);

    ASSERT_EQ(ANTFSHost_Disconnect(), 1);
    EXPECT_EQ(host.next(), 114u);
    // The host's channel set-up fails: idle again, and told so.
    sim.withModel([](AntRadioModel& m) { m.setResponseCode(0x42, AntRadioModel::CODE_WRONG_STATE, 1); });
    ASSERT_EQ(ANTFSHost_Search(), 1);
    EXPECT_EQ(host.next(), 118u);
}

namespace {

// The host on channel 0 against a scripted client on its air, which has
// a file 5.
struct AgainstPeer : kivo::test::AntfsHostAgainstPeer {
    Bytes file5;

    void SetUp() override
    {
        file5.resize(1000);
        for (size_t i = 0; i < file5.size(); ++i)
            file5[i] = uint8_t(i * 13 + i / 256 + 1); // no two blocks alike
        ASSERT_NO_FATAL_FAILURE(AntfsHostAgainstPeer::SetUp());
        peer.script([&](AntFsClientScript& s) { s.files[5] = file5; });
    }
    // The client keeps its answers back from now on until released; true
    // once it holds one.
    bool holdAnswers()
    {
        peer.script([](AntFsClientScript& s) { s.answersLeft = 0; });
        return true;
    }
    bool answerHeld()
    {
        return peer.waitScript([](const AntFsClientScript& s) { return s.heldAnswers > 0; }, kWaitMs);
    }
    // The client found, and a pairing asked with room bytes of area whose
    // answer the client holds back.
    void pairingHeld(uint8_t* area, uint32_t room)
    {
        peer.start();
        ASSERT_EQ(ANTFSHost_Search(), 1);
        ASSERT_EQ(host.next(), 115u);
        holdAnswers();
        ASSERT_EQ(ANTFSHost_Pair(area, room), 1);
        ASSERT_TRUE(answerHeld());
    }
    void releaseAnswers(int count = -1)
    {
        peer.script([&](AntFsClientScript& s) { s.answersLeft = count; });
    }
    // Waits for an upload progress event (108) with this percentage.
    bool progress(uintptr_t percent)
    {
        std::unique_lock<std::mutex> lock(host.m);
        size_t seen = 0;
        return host.cv.wait_for(lock, std::chrono::milliseconds(kWaitMs), [&] {
            for (; seen < host.all.size(); ++seen)
                if (host.all[seen] == std::make_pair(uint32_t(108), percent))
                    return true;
            return false;
        });
    }
};

} // namespace

TEST_F(AgainstPeer, RefusedPairingLeavesTheRunningOneAlone)
{
    ANTFSHostConfig config {};
    std::strcpy(config.friendlyName, "Host5");
    ASSERT_EQ(ANTFSHost_Config(&config), 1);
    const std::string passkey = "ABCDEFGHIJKLMNOPQRST";
    peer.script([&](AntFsClientScript& s) { s.passkey = passkey; });
    // Room for 4 bytes of the answer, and what lies behind them.
    uint8_t area[20];
    std::memset(area, 0xEE, sizeof area);
    ASSERT_NO_FATAL_FAILURE(pairingHeld(area, 4));
    uint8_t second[200] = {};
    EXPECT_NE(ANTFSHost_Pair(second, sizeof second), 1); // a second tap while it runs
    releaseAnswers();
    ASSERT_EQ(host.next(), 109u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(area), 4), "ABCD");
    EXPECT_EQ(Bytes(area + 4, area + 20), Bytes(16, 0xEE)) << "written past the caller's room";
    // The pairing request: header, the name, eight zero bytes; the burst's
    // last packet filled with zeros.
    Bytes pairing = commands(0x04).back();
    Bytes expected { 0x44, 0x04, 2, 5, 0, 0, 0, 0, 'H', 'o', 's', 't', '5' };
    expected.resize(24, 0);
    EXPECT_EQ(pairing, expected);

    // The passkey kept is the answer as far as it went: the next link
    // authenticates with it.
    Bytes sent;
    ASSERT_NO_FATAL_FAILURE(passkeyOnNextLink(&sent));
    expected = { 0x44, 0x04, 3, 4, 0, 0, 0, 0, 'A', 'B', 'C', 'D' };
    expected.resize(24, 0);
    EXPECT_EQ(sent, expected);
}

TEST_F(AgainstPeer, RefusedDownloadsLeaveTheRunningOneAlone)
{
    uint32_t size = 0;
    void* image = ANTFSDir_NewDirectory(2499, 1, 2, &size);
    const Bytes directory(static_cast<uint8_t*>(image), static_cast<uint8_t*>(image) + size);
    ANTFSDir_DeleteDirectory(image);
    ASSERT_EQ(directory.size(), 40000u);
    peer.script([&](AntFsClientScript& s) { s.files[0] = directory; });
    linked();
    struct Case {
        const char* what;
        std::function<int()> start, refused;
        uint32_t index; // of the running download, 0 for the directory
    };
    const Case cases[] = {
        { "a file asked for during the directory", [] { return ANTFSHost_Download(65535, 0, 0); },
            [] { return ANTFSHost_Download(5, 0, 0); }, 0 },
        { "the directory asked for twice", [] { return ANTFSHost_Directory(); },
            [] { return ANTFSHost_Directory(); }, 0 },
        { "the directory asked for during a file", [] { return ANTFSHost_Download(5, 0, 0); },
            [] { return ANTFSHost_Download(65535, 0, 0); }, 5 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::remove(ce::resolvePath("\\SystemDrive\\0.dat").c_str());
        std::remove(ce::resolvePath("\\SystemDrive\\5.dat").c_str());
        holdAnswers();
        ASSERT_EQ(c.start(), 1);
        ASSERT_TRUE(answerHeld());
        EXPECT_NE(c.refused(), 1);
        releaseAnswers();
        uintptr_t parameter = 99;
        ASSERT_EQ(host.next(&parameter), 101u);
        EXPECT_EQ(parameter, c.index);
        const uint8_t* copy = static_cast<const uint8_t*>(ANTFSHost_GetDirectoryData());
        EXPECT_TRUE(copy && Bytes(copy, copy + directory.size()) == directory); // from the first case on
        EXPECT_EQ(saved(5), c.index == 5 ? file5 : Bytes());
        EXPECT_TRUE(saved(0).empty());
    }
}

TEST_F(AgainstPeer, RefusedSetTimeLeavesTheRunningOneAlone)
{
    linked();
    const uint8_t first[4] = { 1, 2, 3, 4 }, second[4] = { 5, 6, 7, 8 }, third[4] = { 9, 10, 11, 12 };
    holdAnswers();
    ASSERT_EQ(ANTFSHost_SetTime(first), 1);
    ASSERT_TRUE(answerHeld());
    EXPECT_NE(ANTFSHost_SetTime(second), 1);
    releaseAnswers();
    ASSERT_EQ(host.next(), 105u);
    // The counter (byte 3) is the library's, from whatever came before.
    Bytes record;
    peer.script([&](AntFsClientScript& s) { record = s.uploaded[65534]; });
    ASSERT_EQ(record.size(), 16u);
    const uint8_t counter = record[3];
    EXPECT_EQ(record, (Bytes { 3, 0, 0, counter, 1, 2, 3, 4, 0, 0, 0, 0, 0, 0, 0, 0 }));
    // The next record counts on by one from the one sent.
    ASSERT_EQ(ANTFSHost_SetTime(third), 1);
    ASSERT_EQ(host.next(), 105u);
    peer.script([&](AntFsClientScript& s) { record = s.uploaded[65534]; });
    EXPECT_EQ(record, (Bytes { 3, 0, 0, uint8_t(counter + 1), 9, 10, 11, 12, 0, 0, 0, 0, 0, 0, 0, 0 }));
}

TEST_F(AgainstPeer, OpenOnAChannelTheRadioLacksLeavesTheLinkAsItWas)
{
    linked();
    for (uint8_t channel : { uint8_t(ANT_CHANNELS), uint8_t(255) }) {
        SCOPED_TRACE(int(channel));
        EXPECT_EQ(ANTFSHost_Open(channel), 0);
        EXPECT_EQ(int(ANTFSHost_CurrentEngine()->getState()), int(ANTFS_HOST_TRANSPORT));
    }
    // The client linked before is served as ever.
    ASSERT_EQ(ANTFSHost_Download(5, 0, 0), 1);
    EXPECT_EQ(host.next(), 101u);
    EXPECT_EQ(saved(5), file5);
}

TEST_F(AgainstPeer, DeinitForgetsAPairingThatCanNoLongerEnd)
{
    peer.script([](AntFsClientScript& s) { s.passkey = "WXYZ"; });
    uint8_t area[8];
    std::memset(area, 0xEE, sizeof area);
    ASSERT_NO_FATAL_FAILURE(pairingHeld(area, sizeof area));
    ANTFSHost_Close();
    ANTFSHost_DeinitEx();
    releaseAnswers(); // to nobody: the host is gone
    ASSERT_TRUE(peer.waitScript([](const AntFsClientScript& s) { return s.heldAnswers == 0; }, kWaitMs));
    peer.stop();

    // A new host, and a pairing its engine takes with a room of its own:
    // the accepted answer keeps the passkey that answer brought, and
    // nothing reaches the old caller's buffer.
    ASSERT_EQ(ANTFSHost_InitEx(&host, &Events::callback), 1);
    ASSERT_EQ(ANTFSHost_Open(0), 1);
    peer.script([](AntFsClientScript& s) { s.passkey = "ABC"; });
    peer.start();
    ASSERT_EQ(ANTFSHost_Search(), 1);
    ASSERT_EQ(host.next(), 115u);
    uint8_t answer[8] = {};
    const uint8_t name[] = { 'H' };
    ASSERT_EQ(ANTFSHost_CurrentEngine()->authenticate(2, name, 1, answer, sizeof answer, 9999), 1);
    ASSERT_EQ(host.next(), 109u);
    EXPECT_EQ(Bytes(answer, answer + 3), (Bytes { 'A', 'B', 'C' }));
    Bytes sent;
    ASSERT_NO_FATAL_FAILURE(passkeyOnNextLink(&sent));
    Bytes expected { 0x44, 0x04, 3, 3, 0, 0, 0, 0, 'A', 'B', 'C' };
    expected.resize(sent.size());
    EXPECT_EQ(sent, expected);
    EXPECT_EQ(Bytes(area, area + sizeof area), Bytes(sizeof area, 0xEE));
}

TEST_F(AgainstPeer, SearchSetsUpTheChannelAndLinks)
{
    peer.start();
    ASSERT_EQ(ANTFSHost_Search(), 1);
    ASSERT_EQ(host.next(), 115u);
    const uint8_t code = ANTFSHost_CurrentEngine()->linkFrequencyAt(0);
    // Slave on network 0 with the ANT-FS key, period 4096, no search
    // time-out, frequency 50, the search waveform, any device; then the
    // found client's id, the Link, the link channel and who it is.
    const std::vector<Bytes> expected {
        { 0x4D, 0, 0x52 },
        { 0x46, 0, 0x5B, 0x17, 0xC2, 0x90, 0x3E, 0xD8, 0x41, 0x6A },
        { 0x42, 0, 0x00, 0 },
        { 0x43, 0, 0x00, 0x10 },
        { 0x44, 0, 0xFF },
        { 0x45, 0, 50 },
        { 0x49, 0, 0x56, 0x00 },
        { 0x51, 0, 0, 0, 1, 0 },
        { 0x4B, 0 },
        { 0x4D, 0, 0x51 },
        { 0x4F, 0, 0x44, 0x02, code, 0x04, 0, 0, 0, 0 },
        { 0x43, 0, 0x00, 0x10 },
        { 0x44, 0, 3 },
        { 0x45, 0, code },
        { 0x4F, 0, 0x44, 0x04, 0x01, 0, 0, 0, 0, 0 },
    };
    std::vector<Bytes> sent = peer.sent();
    sent.resize(std::min(sent.size(), expected.size())); // pings may follow
    EXPECT_EQ(sent, expected);
}

TEST_F(AgainstPeer, RadioKeepsTrackingTheClientAsTimePasses)
{
    linked();
    // The radio's own time: the channel hears the client by the air's
    // rules, so each period finds it still there.
    for (int i = 0; i < 5; ++i) {
        sim.advanceTime(1000);
        uint8_t state = 0;
        sim.withModel([&](AntRadioModel& m) { state = m.channel(0).state; });
        EXPECT_EQ(state, 3) << i;
    }
    ASSERT_EQ(ANTFSHost_Download(5, 0, 0), 1);
    EXPECT_EQ(host.next(), 101u);
}

TEST_F(AgainstPeer, NetworkKeyIsTriedSixTimes)
{
    struct Case {
        int refusals;
        uint32_t event;
    };
    for (const Case& c : { Case { 5, 115u }, Case { 6, 118u } }) {
        sim.withModel([&](AntRadioModel& m) { m.setResponseCode(0x46, AntRadioModel::CODE_INVALID_MESSAGE, c.refusals); });
        peer.clear();
        peer.start();
        ASSERT_EQ(ANTFSHost_Search(), 1);
        EXPECT_EQ(host.next(), c.event) << c.refusals;
        std::vector<Bytes> sent = peer.sent();
        EXPECT_EQ(std::count_if(sent.begin(), sent.end(), [](const Bytes& m) { return m[0] == 0x46; }), 6)
            << c.refusals;
        if (c.event == 115u) {
            ASSERT_EQ(ANTFSHost_Disconnect(), 1);
            ASSERT_EQ(host.next(), 114u);
        }
        peer.stop();
    }
}

TEST_F(AgainstPeer, FoundClientRecordHoldsEachFieldAtItsOffset)
{
    std::string name;
    for (int i = 0; i < 60; ++i)
        name += char('A' + i % 26);
    peer.script([&](AntFsClientScript& s) {
        s.manufacturerId = 0x0102;
        s.deviceType = 0x0304;
        s.serialNumber = 0xA1B2C3D4;
        s.deviceNumber = 0x5678;
        s.friendlyName = name;
        s.status1 = 0x04 | 0x20 | 0x10; // data available, upload enabled
    });
    peer.start();
    ASSERT_EQ(ANTFSHost_Search(), 1);
    ASSERT_EQ(host.next(), 115u);
    uint8_t record[276];
    {
        std::lock_guard<std::mutex> lock(host.m);
        std::memcpy(record, &host.info, sizeof record);
    }
    auto at = [&](size_t offset, size_t n) { return Bytes(record + offset, record + offset + n); };
    EXPECT_EQ(at(0, 2), (Bytes { 0x02, 0x01 }));
    EXPECT_EQ(at(2, 2), (Bytes { 0x04, 0x03 }));
    EXPECT_EQ(at(4, 4), (Bytes { 0xD4, 0xC3, 0xB2, 0xA1 }));
    EXPECT_EQ(at(8, 2), (Bytes { 0x78, 0x56 }));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(record + 10)), name.substr(0, 50));
    EXPECT_EQ(at(268, 4), (Bytes { 32, 0, 0, 0 }));
    EXPECT_EQ(at(272, 4), (Bytes { 16, 0, 0, 0 }));
}

TEST_F(AgainstPeer, ForeignBeaconsChangeNothing)
{
    // After each of its beacons another client's, in the link layer, with
    // another device type and manufacturer.
    peer.script([](AntFsClientScript& s) { s.foreignBeacons = 1 << 30; });
    peer.start();
    ASSERT_EQ(ANTFSHost_Search(), 1);
    ASSERT_EQ(host.next(), 115u);
    EXPECT_EQ(host.info.manufacturerId, 59);
    EXPECT_EQ(host.info.deviceType, 1);
    ASSERT_EQ(ANTFSHost_PassThru(), 1);
    ASSERT_EQ(host.next(), 109u);
    // Linked with the transport layer, the foreign link-layer beacons are
    // not taken for the client dropping the link.
    uint32_t beacons = 0;
    peer.script([&](AntFsClientScript& s) { beacons = s.beacons; });
    ASSERT_TRUE(peer.waitScript([&](const AntFsClientScript& s) { return s.beacons >= beacons + 10; }, kWaitMs));
    ASSERT_EQ(ANTFSHost_Download(5, 0, 0), 1);
    uintptr_t parameter = 0;
    EXPECT_EQ(host.next(&parameter), 101u);
    EXPECT_EQ(parameter, 5u);
    EXPECT_EQ(readLinux(ce::resolvePath("\\SystemDrive\\5.dat")), file5);
}

TEST_F(AgainstPeer, FailedLinksMoveToTheNextTableCode)
{
    ANTFSHostEngine* engine = ANTFSHost_CurrentEngine();
    Bytes table;
    for (uint8_t i = 0; i < 16; ++i)
        table.push_back(engine->linkFrequencyAt(i));
    Bytes sorted = table;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, (Bytes { 3, 7, 15, 20, 25, 30, 34, 40, 45, 49, 54, 60, 65, 70, 75, 80 }));
    const uint8_t t0 = table[0], t1 = table[1];

    ANTFSHostEngine::setTimeScaleForTests(10);
    auto linkCodes = [&] {
        Bytes codes;
        for (const Bytes& c : commands(0x02)) {
            EXPECT_EQ(Bytes(c.begin() + 3, c.end()), (Bytes { 0x04, 0, 0, 0, 0 }));
            codes.push_back(c[2]);
        }
        return codes;
    };
    auto searchAndDisconnect = [&](const std::function<void(AntFsClientScript&)>& fault) {
        peer.script(fault);
        ASSERT_EQ(ANTFSHost_Search(), 1);
        ASSERT_EQ(host.next(), 115u);
        ASSERT_EQ(ANTFSHost_Disconnect(), 1);
        ASSERT_EQ(host.next(), 114u);
    };
    peer.start();
    // Each unanswered Link adds 25 to the failures; at 100 the next code
    // of the table is taken.
    searchAndDisconnect([](AntFsClientScript& s) { s.ignoreLinks = 4; });
    EXPECT_EQ(linkCodes(), (Bytes { t0, t0, t0, t0, t1 }));
    // A client showing another host's serial makes them 100 at once.
    searchAndDisconnect([](AntFsClientScript& s) { s.foreignSerialLinks = 1; });
    EXPECT_EQ(linkCodes(), (Bytes { t0, t0, t0, t0, t1, t1, table[2] }));
    // Three failures keep the code.
    searchAndDisconnect([](AntFsClientScript& s) { s.ignoreLinks = 3; });
    EXPECT_EQ(linkCodes(), (Bytes { t0, t0, t0, t0, t1, t1, table[2], table[2], table[2], table[2], table[2] }));
}

TEST_F(AgainstPeer, LegacyClientIsDownloadedWithTheOlderRequest)
{
    Bytes file(300);
    for (size_t i = 0; i < file.size(); ++i)
        file[i] = uint8_t(255 - i);
    peer.script([&](AntFsClientScript& s) {
        s.manufacturerId = 1;
        s.deviceType = 782;
        s.files[5] = file;
    });
    linked();
    // The whole file: as much as the request can ask for.
    ASSERT_EQ(ANTFSHost_Download(5, 0, 0), 1);
    uintptr_t parameter = 0;
    EXPECT_EQ(host.next(&parameter), 101u);
    EXPECT_EQ(parameter, 5u);
    EXPECT_EQ(readLinux(ce::resolvePath("\\SystemDrive\\5.dat")), file);
    // A part: 50 bytes from offset 100.
    ASSERT_EQ(ANTFSHost_Download(5, 50, 100), 1);
    EXPECT_EQ(host.next(&parameter), 101u);
    EXPECT_EQ(readLinux(ce::resolvePath("\\SystemDrive\\5.dat")), Bytes(file.begin() + 100, file.begin() + 150));
    EXPECT_EQ(commands(0x06),
        (std::vector<Bytes> { { 0x44, 0x06, 5, 0, 0, 0, 0xFF, 0xFF }, { 0x44, 0x06, 5, 0, 100, 0, 50, 0 } }));
    EXPECT_TRUE(commands(0x09).empty());
    // An offset the request cannot carry is not asked for.
    EXPECT_EQ(ANTFSHost_Download(5, 10, 0x10000), 0);
}

TEST_F(AgainstPeer, DownloadStartsAgainAfterABadBurst)
{
    struct Case {
        const char* what;
        std::function<void(AntFsClientScript&)> fault;
        std::vector<std::pair<uint32_t, bool>> requests; // offset, initial
    };
    // An answer with a block of file5, its CRC continued from seed.
    auto answer = [&](uint32_t offset, uint32_t length, uint16_t seed, bool badCrc) {
        // Header, the block padded to whole packets, the footer.
        Bytes a(16 + (length + 7) / 8 * 8 + 8, 0);
        a[0] = 0x44;
        a[1] = 0x89;
        antfs_le::put32(&a[4], length);
        antfs_le::put32(&a[8], offset);
        antfs_le::put32(&a[12], uint32_t(file5.size()));
        std::copy_n(file5.begin() + offset, length, a.begin() + 16);
        const uint16_t crc = Crc16_Update(seed, file5.data() + offset, length);
        antfs_le::put16(&a[a.size() - 2], badCrc ? uint16_t(~crc) : crc);
        return a;
    };
    const Case cases[] = {
        { "first burst fails its CRC", [](AntFsClientScript& s) { s.badCrcAnswers = 1; },
            { { 0, true }, { 0, true }, { 256, false }, { 512, false }, { 768, false } } },
        { "a later burst fails its CRC",
            [&](AntFsClientScript& s) {
                s.rawAnswers = { answer(0, 256, 0, false), answer(256, 256, Crc16_Calc(file5.data(), 256), true) };
            },
            { { 0, true }, { 256, false }, { 0, true }, { 256, false }, { 512, false }, { 768, false } } },
        { "client finds the host's CRC wrong", [](AntFsClientScript& s) { s.responseCodes = { 0, 5 }; },
            { { 0, true }, { 256, false }, { 0, true }, { 256, false }, { 512, false }, { 768, false } } },
        // Its CRC is right for its block, which is not the one asked for.
        { "an answer at the wrong offset", [&](AntFsClientScript& s) { s.rawAnswers = { answer(256, 256, 0, false) }; },
            { { 0, true }, { 0, true }, { 256, false }, { 512, false }, { 768, false } } },
    };
    peer.script([](AntFsClientScript& s) { s.maxBlock = 256; });
    linked();
    for (const Case& c : cases) {
        peer.script([&](AntFsClientScript& s) {
            s.commands.clear();
            c.fault(s);
        });
        ASSERT_EQ(ANTFSHost_Download(5, 0, 0), 1) << c.what;
        EXPECT_EQ(host.next(), 101u) << c.what;
        EXPECT_EQ(readLinux(ce::resolvePath("\\SystemDrive\\5.dat")), file5) << c.what;
        std::vector<std::pair<uint32_t, bool>> requests;
        for (const Bytes& r : commands(0x09)) {
            ASSERT_EQ(r.size(), 16u);
            const uint32_t offset = uint32_t(r[4] | r[5] << 8 | r[6] << 16 | r[7] << 24);
            const uint16_t seed = uint16_t(r[10] | r[11] << 8);
            EXPECT_EQ(seed, r[9] ? 0 : Crc16_Calc(file5.data(), offset)) << c.what;
            requests.emplace_back(offset, r[9] == 1);
        }
        EXPECT_EQ(requests, c.requests) << c.what;
    }
}

TEST_F(AgainstPeer, ShortDownloadRequestGoesUnanswered)
{
    linked();
    // A download request of one packet, without its offset's CRC seed or
    // its length: the client takes it and says nothing.
    const uint8_t request[8] = { 0x44, 0x09, 5, 0, 0, 0, 0, 0 };
    ANTCommand_SendAcknowledgedData(ANTLIB_Manager()->framer(), 0, request, 1000);
    ASSERT_TRUE(peer.waitScript(
        [](const AntFsClientScript& s) {
            return std::any_of(
                s.commands.begin(), s.commands.end(), [](const Bytes& c) { return c.size() == 8 && c[1] == 0x09; });
        },
        kWaitMs));
    // A whole request afterwards is answered as ever.
    ASSERT_EQ(ANTFSHost_Download(5, 0, 0), 1);
    EXPECT_EQ(host.next(), 101u);
    EXPECT_EQ(readLinux(ce::resolvePath("\\SystemDrive\\5.dat")), file5);
}

TEST_F(AgainstPeer, UploadBeyondTheClientsMaximumSendsNoData)
{
    linked();
    Bytes data(40);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = uint8_t(i + 100);
    peer.script([](AntFsClientScript& s) { s.maxFileSize = 39; });
    ASSERT_EQ(ANTFSHost_Upload(7, uint32_t(data.size()), data.data()), 1);
    EXPECT_EQ(host.next(), 124u);
    EXPECT_TRUE(commands(0x0C).empty());
    peer.script([](AntFsClientScript& s) { s.maxFileSize = 40; });
    ASSERT_EQ(ANTFSHost_Upload(7, uint32_t(data.size()), data.data()), 1);
    EXPECT_EQ(host.next(), 105u);
    peer.script([&](AntFsClientScript& s) { EXPECT_EQ(s.uploaded[7], data); });
}

TEST_F(AgainstPeer, UploadGoesInTheBlocksTheClientTakes)
{
    linked();
    Bytes data(1300);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = uint8_t(i * 31 + i / 200);
    // Each block: its request names where it goes (the host starts at its
    // offset), the block's header the CRC before it and its offset, its
    // footer the CRC up to its end.
    auto blocks = [&] {
        std::vector<std::pair<uint32_t, uint32_t>> out; // offset, length
        const std::vector<Bytes> requests = commands(0x0A), sent = commands(0x0C);
        EXPECT_EQ(requests.size(), sent.size());
        for (size_t i = 0; i < sent.size() && i < requests.size(); ++i) {
            const Bytes& r = requests[i];
            const Bytes& b = sent[i];
            const uint32_t at = antfs_le::get32(&r[12]);
            const uint32_t offset = antfs_le::get32(&b[4]);
            const uint32_t length = std::min<uint32_t>(uint32_t(b.size() - 16), uint32_t(data.size()) - offset);
            EXPECT_EQ(antfs_le::get32(&r[4]), data.size()) << i;
            EXPECT_EQ(at, offset) << i;
            EXPECT_EQ(antfs_le::get16(&b[2]), Crc16_Calc(data.data(), offset)) << i;
            EXPECT_EQ(antfs_le::get16(&b[b.size() - 2]), Crc16_Calc(data.data(), offset + length)) << i;
            out.emplace_back(offset, length);
        }
        return out;
    };
    // The client takes 512 bytes at once; between blocks the progress shows.
    peer.script([](AntFsClientScript& s) {
        s.uploadBlock = 512;
        s.answersLeft = 1; // the request's answer, not the first block's
    });
    ASSERT_EQ(ANTFSHost_Upload(7, uint32_t(data.size()), data.data()), 1);
    for (uintptr_t percent : { 39u, 78u, 100u }) {
        ASSERT_TRUE(answerHeld()) << percent;
        EXPECT_TRUE(progress(percent)) << percent;
        releaseAnswers(2); // this block's answer and the next request's
    }
    releaseAnswers();
    ASSERT_EQ(host.next(), 105u);
    peer.script([&](AntFsClientScript& s) { EXPECT_EQ(s.uploaded[7], data); });
    using Blocks = std::vector<std::pair<uint32_t, uint32_t>>;
    EXPECT_EQ(blocks(), (Blocks { { 0, 512 }, { 512, 512 }, { 1024, 276 } }));

    // The host's own limit, where the client has none.
    peer.script([](AntFsClientScript& s) {
        s.uploadBlock = 0xFFFFFFFFu;
        s.commands.clear();
    });
    ANTFSHostConfig config {};
    config.maxBlockSize = 600;
    ASSERT_EQ(ANTFSHost_Config(&config), 1);
    ASSERT_EQ(ANTFSHost_Upload(7, uint32_t(data.size()), data.data()), 1);
    ASSERT_EQ(host.next(), 105u);
    peer.script([&](AntFsClientScript& s) { EXPECT_EQ(s.uploaded[7], data); });
    EXPECT_EQ(blocks(), (Blocks { { 0, 600 }, { 600, 600 }, { 1200, 100 } }));
}

TEST_F(AgainstPeer, UploadIsAskedAgainThreeTimesAndEndsWithoutProgress)
{
    linked();
    const uint8_t data[40] = { 7, 7, 7 };
    const Bytes shortAnswer { 0x44, 0x8A, 0, 0, 0, 0, 0, 0 }; // no room for its fields
    struct Case {
        const char* what;
        std::function<void(AntFsClientScript&)> fault;
        uint32_t event;
        size_t requests;
        uint32_t timeDivisor; // the retries at full time: no bound of time may end them first
    };
    const Case cases[] = {
        { "three unusable answers", [&](AntFsClientScript& s) { s.rawAnswers.assign(3, shortAnswer); }, 105u, 4, 1 },
        { "four unusable answers", [&](AntFsClientScript& s) { s.rawAnswers.assign(4, shortAnswer); }, 107u, 4, 1 },
        // Its answer is awaited longer than the upload may go without progress.
        { "a block not answered", [&](AntFsClientScript& s) { s.answersLeft = 1; }, 107u, 1, 10 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ANTFSHostEngine::setTimeScaleForTests(c.timeDivisor);
        peer.script([&](AntFsClientScript& s) {
            s.commands.clear();
            c.fault(s);
        });
        ASSERT_EQ(ANTFSHost_Upload(7, sizeof data, data), 1);
        EXPECT_EQ(host.next(), c.event);
        EXPECT_EQ(commands(0x0A).size(), c.requests);
        releaseAnswers();
        if (c.event == 107u) { // the client is let go
            ASSERT_EQ(ANTFSHost_Search(), 1);
            ASSERT_EQ(host.next(), 115u);
            ASSERT_EQ(ANTFSHost_PassThru(), 1);
            ASSERT_EQ(host.next(), 109u);
        }
    }
}

TEST_F(AgainstPeer, ClientsAnswersBecomeTheirEvents)
{
    peer.start();
    ASSERT_EQ(ANTFSHost_Search(), 1);
    ASSERT_EQ(host.next(), 115u);
    ANTFSHostEngine::setTimeScaleForTests(10);
    peer.script([](AntFsClientScript& s) { s.silentCommands = 1; });
    ASSERT_EQ(ANTFSHost_PassThru(), 1);
    EXPECT_EQ(host.next(), 111u) << "no answer";
    ASSERT_EQ(ANTFSHost_PassThru(), 1);
    ASSERT_EQ(host.next(), 109u);
    struct Case {
        uint8_t code;
        uint32_t download, upload, erase;
    };
    const Case cases[] = { { 1, 119, 122, 117 }, { 2, 120, 123, 117 }, { 3, 121, 124, 117 }, { 9, 102, 106, 117 },
        { 0, 101, 105, 116 } };
    const uint8_t data[8] = { 1, 2, 3 };
    for (const Case& c : cases) {
        peer.script([&](AntFsClientScript& s) { s.responseCodes = { c.code, c.code, c.code }; });
        ASSERT_EQ(ANTFSHost_Download(5, 0, 0), 1);
        EXPECT_EQ(host.next(), c.download) << int(c.code);
        ASSERT_EQ(ANTFSHost_Upload(5, sizeof data, data), 1);
        EXPECT_EQ(host.next(), c.upload) << int(c.code);
        ASSERT_EQ(ANTFSHost_Erase(5), 1);
        EXPECT_EQ(host.next(), c.erase) << int(c.code);
    }
}

TEST_F(AgainstPeer, HostileDownloadAnswersAreRefused)
{
    linked();
    ANTFSHostEngine::setTimeScaleForTests(10);
    auto header = [](uint32_t length, uint32_t offset, uint32_t size) {
        Bytes h { 0x44, 0x89, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0 };
        for (int i = 0; i < 4; ++i) {
            h[size_t(4 + i)] = uint8_t(length >> (8 * i));
            h[size_t(8 + i)] = uint8_t(offset >> (8 * i));
            h[size_t(12 + i)] = uint8_t(size >> (8 * i));
        }
        return h;
    };
    Bytes longer = header(70000, 0, 1000); // longer than any buffer for its file
    longer.resize(70000 + 24, 0x5A);
    Bytes huge = header(0xFFFFFFF0u, 0, 0xFFFFFFFFu); // a file of 4 GB
    huge.resize(64, 0);
    Bytes short_ = header(1000, 0, 1000); // less than it announces
    short_.resize(40, 1);
    Bytes tiny { 0x44, 0x89, 0 }; // not even a header
    struct Case {
        const char* what;
        std::deque<Bytes> answers;
        uint32_t event;
        size_t requests;
    };
    // A burst no buffer takes is lost: with 10 s gone without data the
    // download fails and the client is let go. Answers too short for what
    // they announce are asked for again at once.
    const Case cases[] = {
        { "longer than its buffer", { longer }, 103u, 1 },
        { "a file of 4 GB", { huge }, 103u, 1 },
        { "shorter than announced", { short_, tiny }, 101u, 3 },
    };
    for (const Case& c : cases) {
        peer.script([&](AntFsClientScript& s) {
            s.commands.clear();
            s.rawAnswers = c.answers;
        });
        ASSERT_EQ(ANTFSHost_Download(5, 0, 0), 1) << c.what;
        EXPECT_EQ(host.next(), c.event) << c.what;
        EXPECT_EQ(commands(0x09).size(), c.requests) << c.what;
        if (c.event == 101u) {
            EXPECT_EQ(readLinux(ce::resolvePath("\\SystemDrive\\5.dat")), file5) << c.what;
        } else {
            ASSERT_EQ(ANTFSHost_Search(), 1);
            ASSERT_EQ(host.next(), 115u);
            ASSERT_EQ(ANTFSHost_PassThru(), 1);
            ASSERT_EQ(host.next(), 109u);
        }
    }
}

TEST_F(AgainstPeer, DirectoryIsKeptOnlyWhole)
{
    uint32_t size = 0;
    void* image = ANTFSDir_NewDirectory(3, 0, 0, &size);
    const Bytes whole(static_cast<uint8_t*>(image), static_cast<uint8_t*>(image) + size);
    ANTFSDir_DeleteDirectory(image);
    struct Case {
        const char* what;
        Bytes bytes;
    };
    const Case broken[] = {
        { "a part entry after the header", Bytes(whole.begin(), whole.begin() + 20) },
        { "less than a header", Bytes(whole.begin(), whole.begin() + 10) },
        { "another version", [&] { Bytes b = whole; b[0] = 2; return b; }() },
    };
    linked();
    ANTFSHostEngine::setTimeScaleForTests(10);
    for (const Case& c : broken) {
        SCOPED_TRACE(c.what);
        // A whole one first: a broken one does not leave it behind either.
        peer.script([&](AntFsClientScript& s) { s.files[0] = whole; });
        ASSERT_EQ(ANTFSHost_Directory(), 1);
        ASSERT_EQ(host.next(), 101u);
        const uint8_t* copy = static_cast<const uint8_t*>(ANTFSHost_GetDirectoryData());
        ASSERT_NE(copy, nullptr);
        EXPECT_EQ(Bytes(copy, copy + whole.size()), whole);

        peer.script([&](AntFsClientScript& s) { s.files[0] = c.bytes; });
        ASSERT_EQ(ANTFSHost_Directory(), 1);
        EXPECT_EQ(host.next(), 103u);
        EXPECT_EQ(ANTFSHost_GetDirectoryData(), nullptr);
        // A failed download lets the client go.
        ASSERT_EQ(ANTFSHost_Search(), 1);
        ASSERT_EQ(host.next(), 115u);
        ASSERT_EQ(ANTFSHost_PassThru(), 1);
        ASSERT_EQ(host.next(), 109u);
    }
}

// An application answers an event with its next call from the callback:
// the directory asked for as soon as the authentication is heard of.
TEST_F(AgainstPeer, CallbackMayCallTheExportsAtOnce)
{
    struct Application {
        Events* events;
        std::atomic<int> directory { -1 };
        static void callback(uint32_t message, uint32_t code, uintptr_t parameter, void* context)
        {
            auto* self = static_cast<Application*>(context);
            if (code == 109)
                self->directory = ANTFSHost_Directory();
            Events::callback(message, code, parameter, self->events);
        }
    } application { &host };
    uint32_t size = 0;
    void* image = ANTFSDir_NewDirectory(2, 0, 0, &size);
    const Bytes directory(static_cast<uint8_t*>(image), static_cast<uint8_t*>(image) + size);
    ANTFSDir_DeleteDirectory(image);
    peer.script([&](AntFsClientScript& s) { s.files[0] = directory; });
    ANTFSHost_Close();
    ANTFSHost_DeinitEx();
    ASSERT_EQ(ANTFSHost_InitEx(&application, &Application::callback), 1);
    ASSERT_EQ(ANTFSHost_Open(0), 1);

    linked();
    EXPECT_EQ(application.directory, 1);
    ASSERT_EQ(host.next(), 101u);
    const uint8_t* copy = static_cast<const uint8_t*>(ANTFSHost_GetDirectoryData());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(Bytes(copy, copy + directory.size()), directory);
}

// Calls a request export until it is taken (1), the way an application
// that asks again while the host is busy (0 in another state, 2 with a
// request pending) does; what it finally returned.
template <class Call>
int askUntilTaken(Call call)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
    int r;
    while ((r = call()) != 1 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    return r;
}

TEST_F(AgainstPeer, EveryTransferIsHandledWithItsOwnRequest)
{
    // What the application finds when each event comes: the file the
    // event names as saved, or the directory kept.
    struct Application {
        explicit Application(Events* e)
            : events(e)
        {
        }
        Events* events;
        std::mutex m;
        std::vector<Bytes> found;
        static void callback(uint32_t message, uint32_t code, uintptr_t parameter, void* context)
        {
            auto* self = static_cast<Application*>(context);
            if (code == 101 || code == 103) {
                Bytes b;
                if (parameter == 0) {
                    if (const auto* d = static_cast<const uint8_t*>(ANTFSHost_GetDirectoryData()))
                        b.assign(d, d + 48);
                } else {
                    const std::string path = "\\SystemDrive\\" + std::to_string(parameter) + ".dat";
                    b = readLinux(ce::resolvePath(path));
                    std::filesystem::remove(ce::resolvePath(path));
                }
                std::lock_guard<std::mutex> lock(self->m);
                self->found.push_back(std::move(b));
            }
            Events::callback(message, code, parameter, self->events);
        }
    } application { &host };
    const Bytes directory = kivo::test::antfsClientDirectory();
    auto fileOf = [](uint16_t index, int round) {
        Bytes b(size_t(400 + index * 50 + round));
        for (size_t i = 0; i < b.size(); ++i)
            b[i] = uint8_t(i * index + round * 7 + 1);
        return b;
    };
    peer.script([&](AntFsClientScript& s) { s.files[0] = directory; });
    ANTFSHost_Close();
    ANTFSHost_DeinitEx();
    ASSERT_EQ(ANTFSHost_InitEx(&application, &Application::callback), 1);
    ASSERT_EQ(ANTFSHost_Open(0), 1);
    linked();

    // Each next transfer is asked the moment the last is taken, so the
    // engine takes it while the last one's answer is still on its way to
    // the application.
    constexpr int kRounds = 100;
    for (int round = 0; round < kRounds; ++round) {
        peer.script([&](AntFsClientScript& s) {
            s.files[5] = fileOf(5, round);
            s.files[6] = fileOf(6, round);
        });
        ASSERT_EQ(askUntilTaken([] { return ANTFSHost_Download(5, 0, 0); }), 1) << round;
        ASSERT_EQ(askUntilTaken([] { return ANTFSHost_Download(6, 0, 0); }), 1) << round;
        ASSERT_EQ(askUntilTaken([] { return ANTFSHost_Directory(); }), 1) << round;
    }
    for (int round = 0; round < kRounds; ++round) {
        for (uint16_t index : { 5, 6, 0 }) {
            SCOPED_TRACE("round " + std::to_string(round) + ", file " + std::to_string(index));
            uintptr_t parameter = 99;
            ASSERT_EQ(host.next(&parameter), 101u);
            ASSERT_EQ(parameter, index);
            std::lock_guard<std::mutex> lock(application.m);
            const Bytes& found = application.found[size_t(round * 3 + (index == 5 ? 0 : index == 6 ? 1 : 2))];
            ASSERT_EQ(found, index == 0 ? directory : fileOf(index, round));
        }
    }
}

TEST_F(AgainstPeer, ARequestTakenAfterACancelRuns)
{
    linked();
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE(round);
        ASSERT_EQ(ANTFSHost_Cancel(), 1);
        ASSERT_EQ(ANTFSHost_Download(5, 0, 0), 1);
        EXPECT_EQ(host.next(), 118u);
        uintptr_t parameter = 0;
        ASSERT_EQ(host.next(&parameter), 101u);
        EXPECT_EQ(parameter, 5u);
        EXPECT_EQ(saved(5), file5);
        std::filesystem::remove(ce::resolvePath("\\SystemDrive\\5.dat"));
    }
}

TEST_F(AgainstPeer, OpenOnAChannelAnotherUserHoldsLeavesEveryLinkAsItWas)
{
    linked();
    Events client;
    ASSERT_EQ(ANTFSClient_InitEx(&client, &Events::callback), 1);
    ASSERT_EQ(ANTFSClient_Open(1), 1);
    EXPECT_EQ(ANTFSHost_Open(1), 0);
    EXPECT_EQ(ANTFSClient_Open(0), 0);
    // Both still run where they were.
    EXPECT_EQ(int(ANTFSHost_CurrentEngine()->getState()), int(ANTFS_HOST_TRANSPORT));
    EXPECT_EQ(ANTFSClient_OpenBeacon(), 1);
    EXPECT_EQ(client.next(), 201u);
    ASSERT_EQ(ANTFSHost_Download(5, 0, 0), 1);
    EXPECT_EQ(host.next(), 101u);
    EXPECT_EQ(saved(5), file5);
    ANTFSClient_Close();
    ANTFSClient_DeinitEx();
}

TEST_F(AgainstPeer, DeinitFromTheCallbackFreesTheChannel)
{
    struct Application {
        explicit Application(Events* e)
            : events(e)
        {
        }
        Events* events;
        std::promise<void> deinitDone;
        static void callback(uint32_t message, uint32_t code, uintptr_t parameter, void* context)
        {
            auto* self = static_cast<Application*>(context);
            Events::callback(message, code, parameter, self->events);
            if (code == 115) {
                ANTFSHost_Deinit();
                self->deinitDone.set_value();
            }
        }
    } application { &host };
    std::future<void> deinitDone = application.deinitDone.get_future();
    ANTFSHost_Close();
    ANTFSHost_DeinitEx();
    ASSERT_EQ(ANTFSHost_InitEx(&application, &Application::callback), 1);
    ASSERT_EQ(ANTFSHost_Open(0), 1);
    peer.start();
    ASSERT_EQ(ANTFSHost_Search(), 1);
    ASSERT_EQ(host.next(), 115u);
    ASSERT_EQ(deinitDone.wait_for(std::chrono::milliseconds(kWaitMs)), std::future_status::ready);
    EXPECT_EQ(ANTFSHost_CurrentEngine(), nullptr);

    // A new host on the same channel finds the client again.
    ASSERT_EQ(ANTFSHost_InitEx(&host, &Events::callback), 1);
    ASSERT_EQ(ANTFSHost_Open(0), 1);
    ASSERT_EQ(ANTFSHost_Search(), 1);
    EXPECT_EQ(host.next(), 115u);
}

TEST_F(AgainstPeer, ACallbackThatOpensWhileDeinitRunsIsAnsweredAndTheChannelFreed)
{
    // The callback calls Open as soon as a Deinit on another thread has
    // begun: it is answered (0, no host) rather than held until the
    // Deinit gives up on it, and the host it served is closed.
    struct Application {
        Events* events;
        std::atomic<int> opened { -1 };
        static void callback(uint32_t message, uint32_t code, uintptr_t parameter, void* context)
        {
            auto* self = static_cast<Application*>(context);
            Events::callback(message, code, parameter, self->events);
            if (code != 109)
                return;
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
            while (ANTFSHost_CurrentEngine() && std::chrono::steady_clock::now() < deadline)
                std::this_thread::yield();
            self->opened = ANTFSHost_Open(0);
        }
    } application { &host };
    ANTFSHost_Close();
    ANTFSHost_DeinitEx();
    ASSERT_EQ(ANTFSHost_InitEx(&application, &Application::callback), 1);
    ASSERT_EQ(ANTFSHost_Open(0), 1);
    linked();
    ANTFSHost_Deinit();
    EXPECT_EQ(application.opened, 0);

    peer.stop();
    peer.clear();
    ASSERT_EQ(ANTFSHost_InitEx(&host, &Events::callback), 1);
    ASSERT_EQ(ANTFSHost_Open(0), 1);
    peer.start();
    ASSERT_EQ(ANTFSHost_Search(), 1);
    EXPECT_EQ(host.next(), 115u);
}

TEST_F(AgainstPeer, RejectedAuthenticationDisconnects)
{
    peer.script([](AntFsClientScript& s) { s.authAnswer = 2; });
    peer.start();
    ASSERT_EQ(ANTFSHost_Search(), 1);
    ASSERT_EQ(host.next(), 115u);
    ASSERT_EQ(ANTFSHost_PassThru(), 1);
    EXPECT_EQ(host.next(), 110u);
    EXPECT_EQ(host.next(), 114u);
    // The disconnect needs no answer: the client takes it in its own time.
    ASSERT_TRUE(peer.waitScript(
        [](const AntFsClientScript& s) {
            return std::any_of(s.commands.begin(), s.commands.end(), [](const Bytes& c) { return c[1] == 0x03; });
        },
        kWaitMs));
    EXPECT_EQ(commands(0x03).size(), 1u);
}

TEST(HostIntake, BurstsLongerThanTheirBufferFail)
{
    // A client's burst of 80,000 bytes, and a download answer claiming
    // 4 GB: neither is written past a buffer.
    ANTFSHostEngine engine;
    engine.enterStateForFuzzing(ANTFS_HOST_DOWNLOADING, nullptr, 0);
    uint8_t message[10] = { 0x50, 0x00 };
    // A short burst is kept whole: the long ones below are refused, not lost
    // by some other path.
    for (uint32_t p = 0; p < 3; ++p) {
        message[1] = uint8_t((p == 0 ? 0 : p << 5) | (p == 2 ? 0x80 : 0));
        std::memset(message + 2, uint8_t(p), 8);
        engine.onMessage(message, 9);
    }
    ASSERT_EQ(engine.burstsWaitingForTests(), 1u);
    for (uint32_t p = 0; p < 10000; ++p) {
        uint8_t sequence = p == 0 ? 0 : uint8_t((p - 1) % 3 + 1);
        message[1] = uint8_t((sequence << 5) | (p == 9999 ? 0x80 : 0));
        std::memset(message + 2, uint8_t(p), 8);
        engine.onMessage(message, 9);
    }
    const uint8_t header[3][8] = { { 0x43, 0x2C, 3, 0, 0, 0, 0, 0 }, { 0x44, 0x89, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF },
        { 0, 0, 0, 0, 0xF8, 0xFF, 0xFF, 0xFF } };
    for (uint32_t p = 0; p < 2000; ++p) {
        uint8_t sequence = p == 0 ? 0 : uint8_t((p - 1) % 3 + 1);
        message[1] = uint8_t((sequence << 5) | (p == 1999 ? 0x80 : 0));
        std::memcpy(message + 2, header[std::min<uint32_t>(p, 2)], 8);
        engine.onMessage(message, 9);
    }
    EXPECT_EQ(engine.burstsWaitingForTests(), 1u) << "neither long burst is kept";
}

TEST(HostLifecycle, WithoutLibraryOrHost)
{
    kivo::test::TempDeviceRoot root;
    Events events;
    for (int i = 0; i < 50; ++i) {
        ASSERT_EQ(ANTFSHost_InitEx(&events, &Events::callback), 1);
        ANTFSHost_DeinitEx();
    }
    ASSERT_EQ(ANTFSHost_Init(nullptr), 1);
    EXPECT_EQ(ANTFSHost_Open(0), 0);
    EXPECT_EQ(ANTFSHost_Close(), 0);
    EXPECT_EQ(ANTFSHost_Search(), 0);
    uint8_t buffer[4] = {};
    EXPECT_EQ(ANTFSHost_Pair(buffer, 0), 0);
    EXPECT_EQ(ANTFSHost_SetSaveFilePath("x", 261), 0);
    EXPECT_EQ(ANTFSHost_GetDirectoryData(), nullptr);
    ANTFSHost_Deinit();
    EXPECT_EQ(ANTFSHost_PassThru(), 0);
    EXPECT_EQ(ANTFSHost_Config(nullptr), 0);
}
