// The command layer against the simulated radio: builders byte for byte,
// and each send procedure's outcomes.
#include "ant/core/ant_command.h"
#include "ant/core/ant_framer.h"
#include "ant/core/ant_port.h"

#include "sim/ant_radio/ant_radio_sim.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

#include <functional>
#include <thread>
#include <vector>

using namespace senvoy;
using kivo::sim::AntRadioModel;
using kivo::sim::AntRadioSim;
using Bytes = std::vector<uint8_t>;
using Outcome = AntRadioModel::TransferOutcome;

namespace {

struct RadioFixture : ::testing::Test {
    kivo::test::TempDeviceRoot root;
    AntRadioSim sim;
    ANTDriverPort port;
    std::atomic<uint32_t> cancel { 0 };
    ANTFramer framer { &cancel };

    void SetUp() override
    {
        sim.install();
        sim.setAnswerMode(AntRadioSim::AnswerMode::Immediate);
        ASSERT_EQ(framer.setPort(&port), 1);
        port.setListener(&framer);
        ASSERT_EQ(port.open(), 1);
    }
    void TearDown() override { port.close(); }

    void model(const std::function<void(AntRadioModel&)>& fn) { sim.withModel(fn); }
    // Channel ch assigned (and opened) in the radio.
    void openChannel(uint8_t ch)
    {
        ASSERT_EQ(ANTCommand_AssignChannel(&framer, ch, 0x00, 0, 1000), 1);
        ASSERT_EQ(ANTCommand_OpenChannel(&framer, ch, 1000), 1);
        sim.takeSentMessages();
    }
};

} // namespace

TEST_F(RadioFixture, BuildersWriteTheirMessagesByteForByte)
{
    sim.setAnswerMode(AntRadioSim::AnswerMode::Off);
    const uint8_t key[8] = { 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88 };
    const uint8_t payload[8] = { 1, 2, 3, 4, 5, 6, 7, 8 };
    ANTFramer* f = &framer;
    struct Case {
        const char* name;
        std::function<int()> call;
        Bytes message;
    };
    const Case cases[] = {
        { "unassign", [&] { return ANTCommand_UnassignChannel(f, 3, 0); }, { 0x41, 3 } },
        { "assign", [&] { return ANTCommand_AssignChannel(f, 3, 0x10, 1, 0); }, { 0x42, 3, 0x10, 1 } },
        { "period", [&] { return ANTCommand_SetChannelPeriod(f, 3, 8070, 0); }, { 0x43, 3, 0x86, 0x1F } },
        { "search time-out", [&] { return ANTCommand_SetSearchTimeout(f, 3, 12, 0); }, { 0x44, 3, 12 } },
        { "rf", [&] { return ANTCommand_SetRfFrequency(f, 3, 57, 0); }, { 0x45, 3, 57 } },
        { "network key", [&] { return ANTCommand_SetNetworkKey(f, 1, key, 0); },
            { 0x46, 1, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88 } },
        { "transmit power", [&] { return ANTCommand_SetTransmitPower(f, 3, 0); }, { 0x47, 0, 3 } },
        { "cw test", [&] { return ANTCommand_SetCWTestMode(f, 2, 66, 0); }, { 0x48, 0, 2, 66 } },
        { "search waveform", [&] { return ANTCommand_SetSearchWaveform(f, 3, 0); }, { 0x49, 3, 0x56, 0 } },
        { "reset", [&] { return ANTCommand_ResetSystem(f, 0); }, { 0x4A, 0 } },
        { "open", [&] { return ANTCommand_OpenChannel(f, 3, 0); }, { 0x4B, 3 } },
        { "close", [&] { return ANTCommand_CloseChannel(f, 3, 0); }, { 0x4C, 3 } },
        { "request", [&] { return ANTCommand_RequestMessage(f, 0x52, 3, nullptr, 0); }, { 0x4D, 3, 0x52 } },
        { "broadcast", [&] { return ANTCommand_SendBroadcastData(f, 3, payload); }, { 0x4E, 3, 1, 2, 3, 4, 5, 6, 7, 8 } },
        { "acknowledged", [&] { return int(ANTCommand_SendAcknowledgedData(f, 3, payload, 0)); },
            { 0x4F, 3, 1, 2, 3, 4, 5, 6, 7, 8 } },
        { "channel id", [&] { return ANTCommand_SetChannelId(f, 3, 0x1234, 120, 5, 0); }, { 0x51, 3, 0x34, 0x12, 120, 5 } },
        { "cw init", [&] { return ANTCommand_InitCWTestMode(f, 0); }, { 0x53, 0 } },
        { "add to list", [&] { return ANTCommand_AddChannelIdToList(f, 3, 0xBEEF, 120, 1, 2, 0); },
            { 0x59, 3, 0xEF, 0xBE, 120, 1, 2 } },
        { "config list", [&] { return ANTCommand_ConfigList(f, 3, 4, 1, 0); }, { 0x5A, 3, 4, 1 } },
        { "channel tx power", [&] { return ANTCommand_SetChannelTxPower(f, 3, 2, 0); }, { 0x60, 3, 2 } },
        { "proximity", [&] { return ANTCommand_SetProximitySearch(f, 3, 7, 0); }, { 0x71, 3, 7 } },
        { "request id", [&] { return ANTCommand_RequestChannelId(f, 3, nullptr, nullptr, nullptr, 0); }, { 0x4D, 3, 0x51 } },
        { "request status", [&] { return ANTCommand_RequestChannelStatus(f, 3, nullptr, 0); }, { 0x4D, 3, 0x52 } },
        { "request capabilities", [&] { return ANTCommand_RequestCapabilities(f, nullptr, 0); }, { 0x4D, 0, 0x54 } },
    };
    for (const Case& c : cases) {
        // Without a time-out nothing is awaited: 1 once written.
        EXPECT_EQ(c.call(), 1) << c.name;
        EXPECT_EQ(sim.takeSentMessages(), std::vector<Bytes> { c.message }) << c.name;
    }
    // Nothing written: 0.
    sim.failWrites(1);
    EXPECT_EQ(ANTCommand_OpenChannel(f, 3, 0), 0);
}

TEST_F(RadioFixture, SendAndWaitTakesTheChannelResponseToItsMessage)
{
    // Code 0.
    EXPECT_EQ(ANTCommand_AssignChannel(&framer, 2, 0x00, 1, 1000), 1);
    EXPECT_EQ(ANTCommand_SetChannelId(&framer, 2, 0x0102, 120, 0, 1000), 1);
    // A failure code: the channel is assigned already, and 0x15 on demand.
    EXPECT_EQ(ANTCommand_AssignChannel(&framer, 2, 0x00, 1, 1000), 0);
    model([](AntRadioModel& m) { m.setResponseCode(0x4B, 0x15, 1); });
    EXPECT_EQ(ANTCommand_OpenChannel(&framer, 2, 1000), 0);
    // Silence until the time-out.
    model([](AntRadioModel& m) { m.dropMessages(0x44, 1); });
    EXPECT_EQ(ANTCommand_SetSearchTimeout(&framer, 2, 10, 50), 0);
    // The network key's response carries the network number.
    const uint8_t key[8] = { 9, 8, 7, 6, 5, 4, 3, 2 };
    EXPECT_EQ(ANTCommand_SetNetworkKey(&framer, 2, key, 1000), 1);
    model([&](AntRadioModel& m) {
        EXPECT_TRUE(m.hasKey(2));
        EXPECT_EQ(m.key(2)[0], 9);
    });
    // A failed write waits for nothing.
    sim.failWrites(1);
    EXPECT_EQ(ANTCommand_OpenChannel(&framer, 2, 1000), 0);
    EXPECT_EQ(ANTCommand_OpenChannel(&framer, 2, 1000), 1);
}

TEST_F(RadioFixture, RequestsReadTheirReplies)
{
    ASSERT_EQ(ANTCommand_AssignChannel(&framer, 1, 0x00, 1, 1000), 1);
    ASSERT_EQ(ANTCommand_SetChannelId(&framer, 1, 0xA1B2, 120, 3, 1000), 1);
    uint8_t status = 0xFF;
    EXPECT_EQ(ANTCommand_RequestChannelStatus(&framer, 1, &status, 1000), 1);
    EXPECT_EQ(status & 3, ANT_STATE_ASSIGNED);
    EXPECT_EQ((status >> 2) & 3, 1); // network 1

    uint16_t number = 0;
    uint8_t type = 0, transmission = 0;
    EXPECT_EQ(ANTCommand_RequestChannelId(&framer, 1, &number, &type, &transmission, 1000), 1);
    EXPECT_EQ(number, 0xA1B2);
    EXPECT_EQ(type, 120);
    EXPECT_EQ(transmission, 3);
    // A missing output: the reply still counts, nothing is written.
    number = 7;
    EXPECT_EQ(ANTCommand_RequestChannelId(&framer, 1, &number, nullptr, &transmission, 1000), 1);
    EXPECT_EQ(number, 7);

    uint8_t caps[4] = {};
    EXPECT_EQ(ANTCommand_RequestCapabilities(&framer, caps, 1000), 1);
    EXPECT_EQ(Bytes(caps, caps + 4), (Bytes { 8, 8, 0, 0 }));

    // No reply, or one too short to hold what is asked for.
    model([](AntRadioModel& m) { m.dropMessages(0x4D, 1); });
    EXPECT_EQ(ANTCommand_RequestChannelStatus(&framer, 1, &status, 50), 0);
    model([](AntRadioModel& m) { m.dropMessages(0x4D, 1); });
    std::thread radio([&] {
        sim.waitForSentFrames(1, 10000);
        sim.injectFrame(0x52, { 1 });
    });
    sim.clearLog();
    EXPECT_EQ(ANTCommand_RequestChannelStatus(&framer, 1, &status, 2000), 0);
    radio.join();
}

TEST_F(RadioFixture, RequestTakesOnlyTheReplyForItsChannel)
{
    ASSERT_EQ(ANTCommand_AssignChannel(&framer, 1, 0x00, 0, 1000), 1);
    // The radio holds its answer; meanwhile the status of channel 3, asked
    // for by someone else, arrives first.
    sim.setAnswerMode(AntRadioSim::AnswerMode::Held);
    sim.clearLog();
    std::thread radio([&] {
        ASSERT_TRUE(sim.waitForSentFrames(1, 10000));
        sim.injectFrame(0x52, { 3, 0x03 });
        sim.deliverHeld();
    });
    ANTMessageRecord reply;
    EXPECT_EQ(ANTCommand_RequestMessage(&framer, 0x52, 1, &reply, 5000), 1);
    radio.join();
    EXPECT_EQ(reply.id, 0x52);
    EXPECT_EQ(Bytes(reply.data, reply.data + reply.length), (Bytes { 1, 0x01 }));
}

TEST_F(RadioFixture, ResetAwaitsTheStartUpMessageAndCloseTheClosedEvent)
{
    openChannel(0);
    EXPECT_EQ(ANTCommand_CloseChannel(&framer, 0, 1000), 1);
    EXPECT_EQ(sim.takeSentMessages(), (std::vector<Bytes> { { 0x4C, 0 } }));
    // Closing a closed channel is refused (0x15).
    EXPECT_EQ(ANTCommand_CloseChannel(&framer, 0, 1000), 0);

    EXPECT_EQ(ANTCommand_ResetSystem(&framer, 1000), 1);
    model([](AntRadioModel& m) {
        EXPECT_EQ(m.resets(), 1);
        EXPECT_EQ(m.channel(0).state, 0);
        m.dropMessages(0x4A, 1);
    });
    EXPECT_EQ(ANTCommand_ResetSystem(&framer, 50), 0);
}

TEST_F(RadioFixture, AcknowledgedDataEndsAsTheRadioSays)
{
    const uint8_t payload[8] = { 1, 2, 3, 4, 5, 6, 7, 8 };
    // Not open: the radio answers with a channel response, a failure.
    EXPECT_EQ(ANTCommand_SendAcknowledgedData(&framer, 4, payload, 1000), ANT_RESULT_FAILED);
    openChannel(4);
    struct Case {
        Outcome outcome;
        uint32_t timeoutMs;
        uint8_t result;
    };
    const Case cases[] = {
        { Outcome::Completed, 1000, ANT_RESULT_OK },
        { Outcome::Failed, 1000, ANT_RESULT_FAILED },
        { Outcome::Silent, 50, ANT_RESULT_TIMEOUT },
        { Outcome::Silent, 0, ANT_RESULT_OK }, // nothing awaited
    };
    for (const Case& c : cases) {
        model([&](AntRadioModel& m) { m.setTransferOutcome(c.outcome); });
        EXPECT_EQ(ANTCommand_SendAcknowledgedData(&framer, 4, payload, c.timeoutMs), c.result)
            << int(c.outcome) << " " << c.timeoutMs;
    }
    model([](AntRadioModel& m) {
        EXPECT_EQ(m.transfers().back(), (Bytes { 1, 2, 3, 4, 5, 6, 7, 8 }));
        m.setTransferOutcome(Outcome::Silent);
    });
    cancel = 1;
    EXPECT_EQ(ANTCommand_SendAcknowledgedData(&framer, 4, payload, 10000), ANT_RESULT_CANCELLED);
    sim.failWrites(1);
    EXPECT_EQ(ANTCommand_SendAcknowledgedData(&framer, 4, payload, 1000), ANT_RESULT_FAILED);
}

TEST_F(RadioFixture, BurstPacketsCarrySequenceNumbersAndTheLastMark)
{
    openChannel(2);
    Bytes data(20);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = uint8_t(0x10 + i);
    EXPECT_EQ(ANTCommand_SendBurst(&framer, 2, data.data(), uint32_t(data.size()), 1000), ANT_RESULT_OK);
    auto sent = sim.takeSentMessages();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0], (Bytes { 0x50, 0x02, 0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17 }));
    EXPECT_EQ(sent[1], (Bytes { 0x50, 0x22, 0x18, 0x19, 0x1A, 0x1B, 0x1C, 0x1D, 0x1E, 0x1F }));
    EXPECT_EQ(sent[2], (Bytes { 0x50, 0xC2, 0x20, 0x21, 0x22, 0x23, 0, 0, 0, 0 }));

    // Five packets: 0, 1, 2, 3, 1; the radio checks the order as well.
    Bytes five(40, 0xAB);
    EXPECT_EQ(ANTCommand_SendBurst(&framer, 2, five.data(), 40, 1000), ANT_RESULT_OK);
    Bytes sequences;
    for (const Bytes& m : sim.takeSentMessages())
        sequences.push_back(m[1]);
    EXPECT_EQ(sequences, (Bytes { 0x02, 0x22, 0x42, 0x62, 0xA2 }));
    model([&](AntRadioModel& m) { EXPECT_EQ(m.transfers().back(), five); });

    model([](AntRadioModel& m) { m.setTransferOutcome(Outcome::Failed); });
    EXPECT_EQ(ANTCommand_SendBurst(&framer, 2, five.data(), 40, 1000), ANT_RESULT_FAILED);
    model([](AntRadioModel& m) { m.setTransferOutcome(Outcome::Silent); });
    EXPECT_EQ(ANTCommand_SendBurst(&framer, 2, five.data(), 40, 50), ANT_RESULT_TIMEOUT);
    EXPECT_EQ(ANTCommand_SendBurst(&framer, 2, five.data(), 40, 0), ANT_RESULT_OK);
    sim.takeSentMessages();
    // Cancelled after the first packet.
    cancel = 1;
    EXPECT_EQ(ANTCommand_SendBurst(&framer, 2, five.data(), 40, 1000), ANT_RESULT_CANCELLED);
    EXPECT_EQ(sim.takeSentMessages().size(), 1u);
    cancel = 0;
    // Refused by the radio: the channel is closed.
    EXPECT_EQ(ANTCommand_SendBurst(&framer, 5, five.data(), 40, 1000), ANT_RESULT_FAILED);
}

TEST_F(RadioFixture, BurstWithoutAMessageBufferSendsNothing)
{
    struct NoBuffers : ANTFramer {
        int allocMessage(uint8_t** out, uint32_t) override
        {
            *out = nullptr;
            return 0;
        }
    } noBuffers;
    ASSERT_EQ(noBuffers.setPort(&port), 1);
    const uint8_t data[8] = {};
    EXPECT_EQ(ANTCommand_SendBurst(&noBuffers, 0, data, 8, 1000), ANT_RESULT_NO_BUFFER);
    EXPECT_TRUE(sim.takeSentMessages().empty());
}

TEST_F(RadioFixture, TransfersSendEachSegmentFromANewPacket)
{
    openChannel(1);
    const Bytes header { 1, 2, 3 }, body { 10, 11, 12, 13, 14, 15, 16, 17, 18, 19 }, footer { 0xF1, 0xF2 };
    uint32_t count = 100;
    EXPECT_EQ(ANTCommand_SendTransfer(&framer, 1, { 3, header.data() }, { 2, footer.data() }, { 10, body.data() },
                  1000, &count),
        ANT_RESULT_OK);
    EXPECT_EQ(count, 115u);
    EXPECT_EQ(sim.takeSentMessages(),
        (std::vector<Bytes> {
            { 0x50, 0x01, 1, 2, 3, 0, 0, 0, 0, 0 },
            { 0x50, 0x21, 10, 11, 12, 13, 14, 15, 16, 17 },
            { 0x50, 0x41, 18, 19, 0, 0, 0, 0, 0, 0 },
            { 0x50, 0xE1, 0xF1, 0xF2, 0, 0, 0, 0, 0, 0 },
        }));
    // A missing footer: the body's last packet is the last.
    EXPECT_EQ(ANTCommand_SendTransfer(&framer, 1, { 3, header.data() }, { 0, nullptr }, { 10, body.data() }, 1000,
                  nullptr),
        ANT_RESULT_OK);
    EXPECT_EQ(sim.takeSentMessages().back()[1], 0xC1);

    // Host form: 8-byte header and footer around the body.
    const Bytes h8 { 1, 1, 1, 1, 1, 1, 1, 1 }, f8 { 2, 2, 2, 2, 2, 2, 2, 2 };
    count = 0;
    EXPECT_EQ(ANTCommand_SendTransferAndWaitResponse(&framer, 1, h8.data(), f8.data(), body.data(), 10, 1000, &count),
        ANT_RESULT_OK);
    EXPECT_EQ(count, 26u);
    auto sent = sim.takeSentMessages();
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[2], (Bytes { 0x50, 0x41, 18, 19, 0, 0, 0, 0, 0, 0 })); // body's end, not marked last
    EXPECT_EQ(sent[3], (Bytes { 0x50, 0xE1, 2, 2, 2, 2, 2, 2, 2, 2 }));
    model([&](AntRadioModel& m) {
        Bytes whole = h8;
        whole.insert(whole.end(), body.begin(), body.end());
        whole.resize(24, 0);
        whole.insert(whole.end(), f8.begin(), f8.end());
        EXPECT_EQ(m.transfers().back(), whole);
    });
}
