// The host of the exports on channel 0 of the simulated radio against the
// scripted ANT-FS client on its air, for tests that drive the host through
// its exports and read what the client took.
#pragma once

#include "ant/antfs/antfs_host_engine.h"
#include "ant/core/ant_library.h"
#include "ant/core/checksums.h"
#include "ant/senvoy_antfs.h"

#include "platform/paths.h"
#include "sim/ant_radio/ant_radio_sim.h"
#include "sim/ant_radio/antfs_peers.h"
#include "tests/ant/antfs/antfs_round_trip.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace kivo::test {

struct AntfsHostAgainstPeer : ::testing::Test {
    using Bytes = std::vector<uint8_t>;
    static constexpr uint32_t kWaitMs = 20000;

    TempDeviceRoot root;
    sim::AntRadioSim sim;
    AntfsEvents host;
    sim::AntFsClientPeer peer { sim, 0, &senvoy::Crc16_Update };

    void SetUp() override
    {
        ce::ensureDirectory("\\SystemDrive");
        sim.install();
        sim.setAnswerMode(sim::AntRadioSim::AnswerMode::Immediate);
        ASSERT_EQ(ANTLIB_Init(), 1);
        uint32_t event = 0;
        ASSERT_TRUE(senvoy::ANTLIB_Manager()->waitEvent(kWaitMs, &event));
        senvoy::ANTFSHostEngine::setShuffleSeedForTests(7);
        ASSERT_EQ(ANTFSHost_InitEx(&host, &AntfsEvents::callback), 1);
        ASSERT_EQ(ANTFSHost_Open(0), 1);
        ASSERT_EQ(ANTFSHost_SetSaveFilePath("\\SystemDrive\\", 13), 1); // the library keeps it between hosts
        peer.clear();
    }
    void TearDown() override
    {
        ANTFSHost_Close();
        ANTFSHost_DeinitEx();
        peer.stop();
        ANTLIB_Deinit();
        senvoy::ANTFSHostEngine::setTimeScaleForTests(1);
        senvoy::ANTFSHostEngine::setShuffleSeedForTests(0);
    }
    // The commands of one kind the client took, in order.
    std::vector<Bytes> commands(uint8_t kind)
    {
        std::vector<Bytes> out;
        peer.script([&](sim::AntFsClientScript& s) {
            for (const Bytes& c : s.commands)
                if (c[1] == kind)
                    out.push_back(c);
        });
        return out;
    }
    // Waits until the client has taken count commands of this kind in all.
    bool took(uint8_t kind, size_t count)
    {
        return peer.waitScript(
            [&](const sim::AntFsClientScript& s) {
                return size_t(std::count_if(s.commands.begin(), s.commands.end(),
                           [&](const Bytes& c) { return c[1] == kind; }))
                    >= count;
            },
            kWaitMs);
    }
    // The client found (event 115), and then let in by pass-through (109).
    void found()
    {
        peer.start();
        ASSERT_EQ(ANTFSHost_Search(), 1);
        ASSERT_EQ(host.next(), 115u);
    }
    void linked()
    {
        ASSERT_NO_FATAL_FAILURE(found());
        ASSERT_EQ(ANTFSHost_PassThru(), 1);
        ASSERT_EQ(host.next(), 109u);
    }
    // The authentication the next link asks with the passkey kept.
    void passkeyOnNextLink(Bytes* sent)
    {
        ASSERT_EQ(ANTFSHost_Disconnect(), 1);
        ASSERT_EQ(host.next(), 114u);
        ASSERT_EQ(ANTFSHost_Search(), 1);
        ASSERT_EQ(host.next(), 115u);
        ASSERT_EQ(ANTFSHost_Passkey(), 1);
        ASSERT_EQ(host.next(), 109u);
        *sent = commands(0x04).back();
    }
    // The file a download saved under its index.
    Bytes saved(uint32_t index)
    {
        std::ifstream in(ce::resolvePath("\\SystemDrive\\" + std::to_string(index) + ".dat"), std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
};

} // namespace kivo::test
