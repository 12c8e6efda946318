// The simulated radio's command state machine.
#include "sim/ant_radio/ant_radio_model.h"
#include "sim/ant_radio/ant_radio_sim.h"

#include "platform/device.h"
#include "platform/msgqueue.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

using kivo::sim::AntMessage;
using kivo::sim::AntRadioModel;
using kivo::sim::AntRadioSim;
using Bytes = std::vector<uint8_t>;

TEST(AntRadioModel, ChannelsFollowTheRadiosStateMachine)
{
    AntRadioModel radio;
    struct Step {
        AntMessage in;
        std::vector<AntMessage> out;
    };
    const AntMessage ok42 { 0x40, { 1, 0x42, 0 } };
    const Step steps[] = {
        { { 0x4B, { 1 } }, { { 0x40, { 1, 0x4B, 0x15 } } } }, // open before assign
        { { 0x43, { 1, 0x86, 0x1F } }, { { 0x40, { 1, 0x43, 0x15 } } } },
        { { 0x42, { 1, 0x00, 1 } }, { ok42 } },
        { { 0x42, { 1, 0x00, 1 } }, { { 0x40, { 1, 0x42, 0x15 } } } }, // assigned already
        { { 0x43, { 1, 0x86, 0x1F } }, { { 0x40, { 1, 0x43, 0 } } } },
        { { 0x51, { 1, 0x34, 0x12, 120, 0 } }, { { 0x40, { 1, 0x51, 0 } } } },
        { { 0x4D, { 1, 0x51 } }, { { 0x51, { 1, 0x34, 0x12, 120, 0 } } } },
        { { 0x4C, { 1 } }, { { 0x40, { 1, 0x4C, 0x15 } } } }, // not open
        { { 0x4B, { 1 } }, { { 0x40, { 1, 0x4B, 0 } } } },
        { { 0x4D, { 1, 0x52 } }, { { 0x52, { 1, 0x06 } } } }, // searching on network 1
        { { 0x41, { 1 } }, { { 0x40, { 1, 0x41, 0x15 } } } }, // open channels are not unassigned
        { { 0x4C, { 1 } }, { { 0x40, { 1, 0x4C, 0 } }, { 0x40, { 1, 1, 7 } } } },
        { { 0x41, { 1 } }, { { 0x40, { 1, 0x41, 0 } } } },
        { { 0x4D, { 1, 0x52 } }, { { 0x52, { 1, 0x00 } } } },
        { { 0x46, { 9, 1, 2, 3, 4, 5, 6, 7, 8 } }, { { 0x40, { 9, 0x46, 0x28 } } } }, // no network 9
        { { 0x46, { 2, 1, 2, 3, 4, 5, 6, 7, 8 } }, { { 0x40, { 2, 0x46, 0 } } } },
        { { 0x4D, { 0, 0x54 } }, { { 0x54, { 8, 8, 0, 0, 0, 0 } } } },
        { { 0x42, { 1 } }, { { 0x40, { 1, 0x42, 0x28 } } } }, // too short
        { { 0x4A, { 0 } }, { { 0x6F, { 0x20 } } } },
    };
    for (size_t i = 0; i < std::size(steps); ++i)
        EXPECT_EQ(radio.handle(steps[i].in.id, steps[i].in.data), steps[i].out) << "step " << i;
    EXPECT_FALSE(radio.hasKey(2)); // a reset forgets the keys
    EXPECT_EQ(radio.resets(), 1);
}

TEST(AntRadioModel, BurstsAreCheckedPacketByPacketAndFaultsApply)
{
    AntRadioModel radio;
    radio.handle(0x42, { 0, 0, 0 });
    radio.handle(0x4B, { 0 });
    auto packet = [](uint8_t sequenceByte, uint8_t fill) {
        Bytes d(9, fill);
        d[0] = sequenceByte;
        return d;
    };
    EXPECT_TRUE(radio.handle(0x50, packet(0x00, 1)).empty());
    EXPECT_TRUE(radio.handle(0x50, packet(0x20, 2)).empty());
    EXPECT_EQ(radio.handle(0x50, packet(0xC0, 3)), (std::vector<AntMessage> { { 0x40, { 0, 1, 5 } } }));
    ASSERT_EQ(radio.transfers().size(), 1u);
    EXPECT_EQ(radio.transfers()[0].size(), 24u);
    // A packet out of order fails the burst; its rest is ignored.
    radio.handle(0x50, packet(0x00, 1));
    EXPECT_EQ(radio.handle(0x50, packet(0x40, 2)), (std::vector<AntMessage> { { 0x40, { 0, 1, 6 } } }));
    EXPECT_TRUE(radio.handle(0x50, packet(0xE0, 3)).empty());
    EXPECT_EQ(radio.transfers().size(), 1u);

    radio.setResponseCode(0x44, 0x15, 1);
    EXPECT_EQ(radio.handle(0x44, { 0, 5 }), (std::vector<AntMessage> { { 0x40, { 0, 0x44, 0x15 } } }));
    EXPECT_EQ(radio.handle(0x44, { 0, 5 }), (std::vector<AntMessage> { { 0x40, { 0, 0x44, 0 } } }));
    radio.dropMessages(0x4C, 1);
    EXPECT_TRUE(radio.handle(0x4C, { 0 }).empty());
    EXPECT_EQ(radio.channel(0).state, 2);
    radio.setTransferOutcome(AntRadioModel::TransferOutcome::Silent);
    EXPECT_TRUE(radio.handle(0x4F, packet(0, 4)).empty());
}

TEST(AntRadioSimAnswers, HeldAnswersWaitForTheStep)
{
    kivo::test::TempDeviceRoot root;
    AntRadioSim sim;
    sim.install();
    ce::MSGQUEUEOPTIONS options { 20, ce::MSGQUEUE_ALLOW_BROKEN, 0, 42, ce::TRUE_ };
    ce::HANDLE reader = ce::createMsgQueue("ANTMSGQUEUE", &options);
    ce::HANDLE device = ce::openDevice("ANT1:", ce::GENERIC_READ | ce::GENERIC_WRITE);
    ASSERT_NE(device, ce::INVALID_HANDLE_VALUE);
    sim.setAnswerMode(AntRadioSim::AnswerMode::Held);
    Bytes reset = AntRadioSim::sentFrame(0x4A, { 0 });
    ce::DWORD returned = 0;
    ASSERT_TRUE(ce::deviceIoControl(device, AntRadioSim::kIoctlSendFrame, reset.data(), ce::DWORD(reset.size()),
        nullptr, 0, &returned));
    uint8_t buf[42];
    ce::DWORD n = 0, flags = 0;
    EXPECT_FALSE(ce::readMsgQueue(reader, buf, sizeof buf, &n, 0, &flags));
    EXPECT_EQ(sim.heldCount(), 1u);
    EXPECT_EQ(sim.deliverHeld(), 1u);
    ASSERT_TRUE(ce::readMsgQueue(reader, buf, sizeof buf, &n, 1000, &flags));
    EXPECT_EQ(Bytes(buf + 1, buf + n), AntRadioSim::receivedFrame(0x6F, { 0x20 }));
    ce::closeHandle(device);
    ce::closeMsgQueue(reader);
}

TEST(AntRadioModel, StrapsAreHeardOnlyByFittingChannelsAndCanBeLost)
{
    const uint64_t period = AntRadioModel::periodUs(8070);
    auto openHrmChannel = [](AntRadioModel& radio, uint8_t ch, uint8_t network, uint8_t searchTimeout) {
        radio.handle(0x42, { ch, 0x00, network });
        radio.handle(0x51, { ch, 0, 0, 120, 0 });
        radio.handle(0x45, { ch, 57 });
        radio.handle(0x43, { ch, 0x86, 0x1F });
        radio.handle(0x44, { ch, searchTimeout });
        radio.handle(0x4B, { ch });
    };
    auto ids = [](const std::vector<AntMessage>& ms) {
        std::vector<std::vector<uint8_t>> out;
        for (const AntMessage& m : ms)
            out.push_back(m.id == 0x40 ? m.data : std::vector<uint8_t> { m.id, m.data[0] });
        return out;
    };

    AntRadioModel radio;
    kivo::sim::AntStrap strap;
    strap.deviceNumber = 42;
    strap.networkKey = { 1, 2, 3, 4, 5, 6, 7, 8 };
    int s = radio.addStrap(strap);
    // A channel on a network without the strap's key never hears it.
    radio.handle(0x46, { 1, 9, 9, 9, 9, 9, 9, 9, 9 });
    openHrmChannel(radio, 0, 1, 1);
    EXPECT_EQ(ids(radio.advance(3 * period)), (std::vector<std::vector<uint8_t>> {}));
    EXPECT_EQ(ids(radio.advance(10 * period)), (std::vector<std::vector<uint8_t>> { { 0, 1, 1 }, { 0, 1, 7 } }));

    // With the key it is tracked; lost messages come as RX_FAIL events, and
    // a strap gone out of range sends the channel back to searching.
    radio.handle(0x46, { 2, 1, 2, 3, 4, 5, 6, 7, 8 });
    openHrmChannel(radio, 1, 2, 1);
    auto first = radio.advance(period);
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0].id, 0x4E);
    EXPECT_EQ(radio.handle(0x4D, { 1, 0x52 }), (std::vector<AntMessage> { { 0x52, { 1, 0x0B } } })); // tracking
    radio.strap(s).dropouts = 2;
    EXPECT_EQ(ids(radio.advance(3 * period)),
        (std::vector<std::vector<uint8_t>> { { 1, 1, 2 }, { 1, 1, 2 }, { 0x4E, 1 } }));
    radio.strap(s).inRange = false;
    auto lost = ids(radio.advance(8 * period));
    ASSERT_EQ(lost.size(), 9u);
    EXPECT_EQ(lost.back(), (std::vector<uint8_t> { 1, 1, 8 })); // back to search
    EXPECT_EQ(radio.channel(1).state, 2);
}
