// The ANT-FS host through its exports in this process, against the ANT-FS
// client in another process of the same device root: each has a simulated
// radio of its own, and the two radios share the air.
#include "ant/antfs/antfs_host_api.h"
#include "ant/antfs/antfs_host_engine.h"
#include "ant/core/ant_library.h"
#include "ant/senvoy.h"
#include "ant/senvoy_antfs.h"

#include "platform/paths.h"
#include "sim/ant_radio/ant_radio_model.h"
#include "sim/ant_radio/ant_radio_sim.h"
#include "tests/ant/antfs/antfs_round_trip.h"
#include "tests/support/programs.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <sstream>
#include <string>
#include <vector>

using kivo::sim::AntRadioModel;
using kivo::sim::AntRadioSim;
using Bytes = std::vector<uint8_t>;

namespace {

constexpr int kWaitMs = 20000;

// The client program's next event other than progress; 0 when none came.
uint32_t nextClientEvent(kivo::test::PipedProgram& client, uintptr_t* parameter = nullptr)
{
    for (;;) {
        std::istringstream in(client.line(kWaitMs));
        std::string word;
        unsigned long code = 0, value = 0;
        if (!(in >> word >> code >> value) || word != "event")
            return 0;
        if (kivo::test::antfsProgressEvent(uint32_t(code)))
            continue;
        if (parameter)
            *parameter = uintptr_t(value);
        return uint32_t(code);
    }
}

} // namespace

TEST(TwoProcesses, TheHostFindsLinksAndTransfersWithAClientOfAnotherProcess)
{
    kivo::test::TempDeviceRoot root;
    ce::ensureDirectory("\\SystemDrive");
    AntRadioSim sim;
    sim.install();
    ASSERT_TRUE(sim.joinAir());
    sim.setAnswerMode(AntRadioSim::AnswerMode::Immediate);
    ASSERT_EQ(ANTLIB_Init(), 1);
    uint32_t event = 0;
    ASSERT_TRUE(senvoy::ANTLIB_Manager()->waitEvent(kWaitMs, &event));
    sim.startClock();

    kivo::test::PipedProgram client;
    ASSERT_TRUE(client.start("antfs_client_peer"));
    ASSERT_EQ(nextClientEvent(client), 201u); // its beacon is open

    kivo::test::AntfsEvents host;
    ASSERT_EQ(ANTFSHost_InitEx(&host, &kivo::test::AntfsEvents::callback), 1);
    ASSERT_EQ(ANTFSHost_Open(0), 1); // channel 0 here as well: another radio

    ASSERT_EQ(ANTFSHost_Search(), 1);
    ASSERT_EQ(host.next(), 115u);
    EXPECT_EQ(nextClientEvent(client), 202u);
    EXPECT_EQ(nextClientEvent(client), 205u); // the host asked who it is
    EXPECT_EQ(host.info.serialNumber, 0x12345678u);
    EXPECT_EQ(host.info.deviceType, 1);
    EXPECT_EQ(host.info.channelDeviceNumber, 0x5678);
    // Both radios moved to the link's frequency.
    const unsigned code = senvoy::ANTFSHost_CurrentEngine()->linkFrequencyAt(0);
    sim.withModel([&](AntRadioModel& m) { EXPECT_EQ(m.channel(0).rf, code); });
    ASSERT_TRUE(client.send("rf"));
    EXPECT_EQ(client.line(kWaitMs), "rf " + std::to_string(code));

    ASSERT_EQ(ANTFSHost_PassThru(), 1);
    EXPECT_EQ(host.next(), 109u);
    EXPECT_EQ(nextClientEvent(client), 206u);

    const Bytes directory = kivo::test::antfsClientDirectory();
    ASSERT_EQ(ANTFSHost_Directory(), 1);
    uintptr_t parameter = 99;
    EXPECT_EQ(host.next(&parameter), 101u);
    EXPECT_EQ(parameter, 0u);
    EXPECT_EQ(nextClientEvent(client), 211u);
    const uint8_t* dir = static_cast<const uint8_t*>(ANTFSHost_GetDirectoryData());
    ASSERT_NE(dir, nullptr);
    EXPECT_EQ(Bytes(dir, dir + directory.size()), directory);

    ASSERT_EQ(ANTFSHost_Download(5, 0, 0), 1);
    EXPECT_EQ(host.next(&parameter), 101u);
    EXPECT_EQ(parameter, 5u);
    EXPECT_EQ(nextClientEvent(client), 211u);
    const std::string saved = root.readFile("\\SystemDrive\\5.dat");
    EXPECT_EQ(Bytes(saved.begin(), saved.end()), kivo::test::antfsClientFile5());

    ASSERT_EQ(ANTFSHost_Erase(5), 1);
    EXPECT_EQ(nextClientEvent(client, &parameter), 224u);
    EXPECT_EQ(parameter, 5u);
    ASSERT_TRUE(client.send("erase-response 0"));
    EXPECT_EQ(host.next(), 116u);
    EXPECT_EQ(nextClientEvent(client), 225u);

    const uint8_t data[16] = { 1, 2, 3 };
    ASSERT_EQ(ANTFSHost_Upload(7, sizeof data, data), 1);
    EXPECT_EQ(host.next(), 106u); // refused: this client takes no uploads
    EXPECT_EQ(nextClientEvent(client), 219u);

    ASSERT_EQ(ANTFSHost_Disconnect(), 1);
    EXPECT_EQ(host.next(), 114u);
    EXPECT_EQ(nextClientEvent(client), 203u);
    EXPECT_EQ(nextClientEvent(client), 229u);

    ASSERT_TRUE(client.send("quit"));
    int status = -1;
    EXPECT_TRUE(client.waitExit(kWaitMs, &status));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    ANTFSHost_Close();
    ANTFSHost_DeinitEx();
    sim.stopClock();
    ANTLIB_Deinit();
}
