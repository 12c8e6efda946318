// The ANT-FS host through its exports against the library's own ANT-FS
// client on another channel of the simulated radio, joined by its air.
#include "ant/antfs/antfs_client_api.h"
#include "ant/antfs/antfs_host_api.h"
#include "ant/antfs/antfs_host_engine.h"
#include "ant/core/ant_library.h"
#include "ant/senvoy_antfs.h"

#include "platform/paths.h"
#include "sim/ant_radio/ant_radio_model.h"
#include "sim/ant_radio/ant_radio_sim.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <fstream>
#include <iterator>
#include <algorithm>
#include <mutex>
#include <thread>
#include <vector>

using namespace senvoy;
using kivo::sim::AntRadioModel;
using kivo::sim::AntRadioSim;
using Bytes = std::vector<uint8_t>;

namespace {

constexpr uint32_t kWaitMs = 20000;

struct Events {
    std::mutex m;
    std::condition_variable cv;
    std::vector<std::pair<uint32_t, uintptr_t>> all;
    size_t cursor = 0;
    ANTFSHostDeviceInfo info {};

    static void callback(uint32_t, uint32_t code, uintptr_t parameter, void* context)
    {
        auto* self = static_cast<Events*>(context);
        std::lock_guard<std::mutex> lock(self->m);
        if (code == 115 && parameter)
            self->info = *reinterpret_cast<const ANTFSHostDeviceInfo*>(parameter);
        self->all.emplace_back(code, parameter);
        self->cv.notify_all();
    }
    // The next event other than progress.
    uint32_t next(uintptr_t* parameter = nullptr)
    {
        std::unique_lock<std::mutex> lock(m);
        for (;;) {
            if (!cv.wait_for(lock, std::chrono::milliseconds(kWaitMs), [&] { return all.size() > cursor; }))
                return 0;
            auto e = all[cursor++];
            if (e.first == 104 || e.first == 108)
                continue;
            if (parameter)
                *parameter = e.second;
            return e.first;
        }
    }
};

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
        uint32_t size = 0;
        void* image = ANTFSDir_NewDirectory(2, 0, 0, &size);
        g_directory.assign(static_cast<uint8_t*>(image), static_cast<uint8_t*>(image) + size);
        ANTFSDir_DeleteDirectory(image);
        g_file5.resize(1000);
        for (size_t i = 0; i < g_file5.size(); ++i)
            g_file5[i] = uint8_t(i * 7 + 3);

        ce::ensureDirectory("\\SystemDrive"); // the device's system drive
        sim.install();
        sim.setAnswerMode(AntRadioSim::AnswerMode::Immediate);
        ASSERT_EQ(ANTLIB_Init(), 1);
        uint32_t event = 0;
        ASSERT_TRUE(ANTLIB_Manager()->waitEvent(kWaitMs, &event));
        sim.startClock();

        ASSERT_EQ(ANTFSClient_InitEx(&client, &Events::callback), 1);
        ANTFSClient_SetGetFileDataCallback(&files);
        ANTFSClientConfig c;
        std::memset(&c, 0, sizeof c);
        c.serialNumber = 0x12345678;
        c.deviceType = 1;
        c.beaconRfFrequency = 50;
        c.beaconPeriodCode = 4;
        c.pairingEnabled = 1;
        c.dataAvailable = 1;
        c.linkTimeoutSeconds = 60;
        c.pairingTimeoutSeconds = 5;
        ASSERT_EQ(ANTFSClient_Config(&c), 1);
        ASSERT_EQ(ANTFSClient_Open(0), 1);
        ASSERT_EQ(ANTFSClient_OpenBeacon(), 1);
        ASSERT_EQ(client.next(), 201u);

        ASSERT_EQ(ANTFSHost_InitEx(&host, &Events::callback), 1);
        ASSERT_EQ(ANTFSHost_Open(1), 1);
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
    ANTFSHostEngine::setTimeScaleForTests(1);

    ASSERT_EQ(ANTFSHost_Disconnect(), 1);
    EXPECT_EQ(host.next(), 114u);
    // The host's channel set-up fails: idle again, and told so.
    sim.withModel([](AntRadioModel& m) { m.setResponseCode(0x42, AntRadioModel::CODE_WRONG_STATE, 1); });
    ASSERT_EQ(ANTFSHost_Search(), 1);
    EXPECT_EQ(host.next(), 118u);
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
    std::vector<uint8_t> data;
    EXPECT_EQ(engine.getDownloadedData(&data), 0);
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
