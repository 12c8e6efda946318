// The ANT-FS host through its exports against a scripted client on the
// simulated radio: what the host puts on the wire and what it makes of the
// client's answers.
#include "ant/antfs/antfs_host_api.h"
#include "ant/antfs/antfs_host_engine.h"
#include "ant/antfs/antfs_shared.h"
#include "ant/core/ant_command.h"
#include "ant/core/checksums.h"
#include "ant/senvoy_antfs.h"

#include "sim/ant_radio/antfs_peers.h"
#include "tests/ant/antfs/antfs_host_peer_fixture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

using namespace senvoy;
using kivo::sim::AntFsClientScript;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes patterned(size_t n, uint8_t mul, uint8_t add)
{
    Bytes b(n);
    for (size_t i = 0; i < n; ++i)
        b[i] = uint8_t(i * mul + i / 256 + add); // no two blocks alike
    return b;
}

struct HostWire : kivo::test::AntfsHostAgainstPeer {
    const Bytes file5 = patterned(1000, 13, 1);

    void SetUp() override
    {
        peer.script([&](AntFsClientScript& s) { s.files[5] = file5; });
        AntfsHostAgainstPeer::SetUp();
    }
};

// A download answer: header, block padded to whole packets, footer with the
// CRC of the block.
Bytes downloadAnswer(const Bytes& block, uint32_t offset, uint32_t fileSize)
{
    Bytes a(16, 0);
    a[0] = 0x44;
    a[1] = 0x89;
    antfs_le::put32(&a[4], uint32_t(block.size()));
    antfs_le::put32(&a[8], offset);
    antfs_le::put32(&a[12], fileSize);
    a.insert(a.end(), block.begin(), block.end());
    a.resize(16 + (block.size() + 7) / 8 * 8 + 8, 0);
    antfs_le::put16(&a[a.size() - 2], Crc16_Calc(block.data(), block.size()));
    return a;
}

} // namespace

TEST_F(HostWire, NameLongerThanTheBytesSentIsCutToThem)
{
    // The serial answer announces 255 bytes of name and brings eight.
    Bytes answer { 0x44, 0x84, 0, 255, 0x78, 0x56, 0x34, 0x12, 'S', 'h', 'o', 'r', 't', 'y', 0, 0 };
    peer.script([&](AntFsClientScript& s) { s.rawAnswers = { answer }; });
    ASSERT_NO_FATAL_FAILURE(found());
    std::lock_guard<std::mutex> lock(host.m);
    EXPECT_EQ(host.info.serialNumber, 0x12345678u);
    const char* name = host.info.friendlyName;
    EXPECT_EQ(std::string(name, name + 12), std::string("Shorty") + std::string(6, '\0'));
}

TEST_F(HostWire, FileClaimedLargerThanTheHostTakesIsRefusedAtOnce)
{
    // A first answer with a true block of 1000 bytes, claiming a file far
    // larger than a download may be: its burst is not taken, nothing more
    // is asked for, and the download fails with the client let go.
    ASSERT_NO_FATAL_FAILURE(linked());
    for (uint32_t claim : { (64u << 20) + 1, 0x80000000u, 0xFFFFFF00u }) {
        SCOPED_TRACE(claim);
        peer.script([&](AntFsClientScript& s) {
            s.commands.clear();
            s.rawAnswers = { downloadAnswer(file5, 0, claim) };
        });
        ANTFSHostEngine::setTimeScaleForTests(10); // the silence that ends it
        ASSERT_EQ(ANTFSHost_Download(5, 0, 0), 1);
        EXPECT_EQ(host.next(), 103u);
        ANTFSHostEngine::setTimeScaleForTests(1);
        EXPECT_EQ(commands(0x09).size(), 1u);
        ASSERT_EQ(ANTFSHost_Search(), 1);
        ASSERT_EQ(host.next(), 115u);
        ASSERT_EQ(ANTFSHost_PassThru(), 1);
        ASSERT_EQ(host.next(), 109u);
    }
}

TEST_F(HostWire, AcceptedAuthenticationAfterAnEndedPairingKeepsThePasskey)
{
    ANTFSHostConfig config {};
    std::strcpy(config.friendlyName, "Host5");
    std::memcpy(config.passkey, "KEEP", 4);
    config.passkeyLength = 4;
    ASSERT_EQ(ANTFSHost_Config(&config), 1);
    peer.script([](AntFsClientScript& s) { s.passkey = "NEWKEY"; });
    struct Case {
        const char* what;
        bool cancel; // else the link is lost
    };
    for (const Case& c : { Case { "cancelled", true }, Case { "link lost", false } }) {
        SCOPED_TRACE(c.what);
        ASSERT_NO_FATAL_FAILURE(found());
        // The pairing goes unanswered, and ends before any answer.
        ANTFSHostEngine::setTimeScaleForTests(10);
        peer.script([](AntFsClientScript& s) {
            s.commands.clear();
            s.silentCommands = 1;
        });
        uint8_t area[16] = {};
        ASSERT_EQ(ANTFSHost_Pair(area, sizeof area), 1);
        ASSERT_TRUE(took(0x04, 1));
        if (c.cancel) {
            ASSERT_EQ(ANTFSHost_Cancel(), 1);
            ASSERT_EQ(host.next(), 118u);
        } else {
            ASSERT_TRUE(peer.injectEvent(ANT_EVENT_RX_SEARCH_TIMEOUT));
            uint32_t event = host.next();
            if (event == 111u) // the pairing may see its wait out first
                event = host.next();
            ASSERT_EQ(event, 113u);
        }
        ANTFSHostEngine::setTimeScaleForTests(1);
        if (!c.cancel) {
            ASSERT_EQ(ANTFSHost_Search(), 1);
            ASSERT_EQ(host.next(), 115u);
        }
        // A pass-through accepted, then the next link asks with the passkey
        // configured: the ended pairing gave none to keep.
        ASSERT_EQ(ANTFSHost_PassThru(), 1);
        ASSERT_EQ(host.next(), 109u);
        Bytes sent;
        ASSERT_NO_FATAL_FAILURE(passkeyOnNextLink(&sent));
        Bytes expected { 0x44, 0x04, 3, 4, 0, 0, 0, 0, 'K', 'E', 'E', 'P' };
        expected.resize(24, 0);
        EXPECT_EQ(sent, expected);
        ASSERT_EQ(ANTFSHost_Disconnect(), 1);
        ASSERT_EQ(host.next(), 114u);
    }
}

TEST_F(HostWire, DownloadRequestsAskForTheConfiguredBlockFromWhereTheLastEnded)
{
    const Bytes legacyFile = patterned(300, 255, 0);
    using Requests = std::vector<std::pair<uint32_t, uint32_t>>; // offset, size asked
    struct Case {
        const char* what;
        bool legacy; // the older request (a client of manufacturer 1, type 782)
        uint32_t size, offset, maxBlock;
        Requests requests;
        Bytes file;
    };
    const Case cases[] = {
        { "the whole file", false, 0, 0, 300, { { 0, 300 }, { 300, 300 }, { 600, 300 }, { 900, 300 } }, file5 },
        { "a part", false, 700, 100, 300, { { 100, 300 }, { 400, 300 }, { 700, 100 } },
            Bytes(file5.begin() + 100, file5.begin() + 800) },
        { "the whole file, legacy", true, 0, 0, 128, { { 0, 128 }, { 128, 128 }, { 256, 128 } }, legacyFile },
        { "a part, legacy", true, 200, 50, 128, { { 50, 128 }, { 178, 72 } },
            Bytes(legacyFile.begin() + 50, legacyFile.begin() + 250) },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        peer.script([&](AntFsClientScript& s) {
            s.manufacturerId = c.legacy ? 1 : 59;
            s.deviceType = c.legacy ? 782 : 1;
            s.files[5] = c.legacy ? legacyFile : file5;
        });
        ASSERT_NO_FATAL_FAILURE(linked());
        ANTFSHostConfig config {};
        config.maxBlockSize = c.maxBlock;
        ASSERT_EQ(ANTFSHost_Config(&config), 1);
        peer.script([](AntFsClientScript& s) { s.commands.clear(); });
        ASSERT_EQ(ANTFSHost_Download(5, c.size, c.offset), 1);
        uintptr_t parameter = 0;
        ASSERT_EQ(host.next(&parameter), 101u);
        EXPECT_EQ(parameter, 5u);
        EXPECT_EQ(saved(5), c.file);
        Requests asked;
        for (const Bytes& r : commands(c.legacy ? 0x06 : 0x09))
            asked.emplace_back(c.legacy ? antfs_le::get16(&r[4]) : antfs_le::get32(&r[4]),
                c.legacy ? antfs_le::get16(&r[6]) : antfs_le::get32(&r[12]));
        EXPECT_EQ(asked, c.requests);
        EXPECT_TRUE(commands(c.legacy ? 0x09 : 0x06).empty());
        ASSERT_EQ(ANTFSHost_Disconnect(), 1);
        ASSERT_EQ(host.next(), 114u);
    }
}

TEST_F(HostWire, ClientFallenBackToItsLinkLayerIsLost)
{
    ASSERT_NO_FATAL_FAILURE(linked());
    // Off the air, then two beacons of it in the link layer (its device
    // type and manufacturer), as a client shows once it dropped the link.
    peer.stop();
    const Bytes linkBeacon { 0x43, 0x24, 0, 0, 0x01, 0x00, 0x3B, 0x00 };
    ASSERT_TRUE(peer.sendBroadcast(linkBeacon));
    ASSERT_TRUE(peer.sendBroadcast(linkBeacon));
    EXPECT_EQ(host.next(), 113u);
    EXPECT_EQ(int(ANTFSHost_CurrentEngine()->getState()), int(ANTFS_HOST_IDLE));
}

TEST_F(HostWire, DisconnectCarriesItsTypeAndTheConfiguredDurations)
{
    ANTFSHostConfig config {};
    config.disconnectDuration = 7;
    config.disconnectAppDuration = 9;
    ASSERT_EQ(ANTFSHost_Config(&config), 1);
    struct Case {
        const char* what;
        int (*call)();
        uint8_t type;
    };
    const Case cases[] = { { "disconnect", &ANTFSHost_Disconnect, 0 }, { "return to broadcast", &ANTFSHost_ReturnBroadcast, 1 } };
    size_t sent = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_NO_FATAL_FAILURE(found());
        ASSERT_EQ(c.call(), 1);
        ASSERT_EQ(host.next(), 114u);
        ASSERT_TRUE(took(0x03, ++sent));
        EXPECT_EQ(commands(0x03).back(), (Bytes { 0x44, 0x03, c.type, 7, 9, 0, 0, 0 }));
    }
}
