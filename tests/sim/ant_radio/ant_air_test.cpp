// The air shared by simulated radios: who hears a channel of another radio,
// two joined radios hearing each other, and frames from outside that are
// not valid.
#include "sim/ant_radio/ant_air_frames.h"
#include "sim/ant_radio/ant_radio_model.h"
#include "sim/ant_radio/ant_radio_sim.h"

#include "platform/debug.h"
#include "platform/device.h"
#include "platform/paths.h"
#include "tests/support/programs.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

using kivo::sim::AirChannel;
using kivo::sim::AirFrame;
using kivo::sim::AirTransmission;
using kivo::sim::AntFrameRecord;
using kivo::sim::AntMessage;
using kivo::sim::AntRadioModel;
using kivo::sim::AntRadioSim;
using Bytes = std::vector<uint8_t>;

namespace {

constexpr int kWaitMs = 5000;

// Assigns and opens a channel: type 0x00 slave, 0x10 master.
void openChannel(AntRadioModel& m, uint8_t ch, uint8_t type, uint8_t rf, uint16_t number, uint8_t deviceType,
    uint8_t transmissionType)
{
    m.handle(0x42, { ch, type, 0 });
    m.handle(0x51, { ch, uint8_t(number), uint8_t(number >> 8), deviceType, transmissionType });
    m.handle(0x45, { ch, rf });
    m.handle(0x4B, { ch });
}

AirChannel master(uint8_t rf = 40)
{
    AirChannel c;
    c.type = 0x10;
    c.rf = rf;
    c.period = 8192;
    c.deviceNumber = 0x1234;
    c.deviceType = 7;
    c.transmissionType = 1;
    return c;
}

// Whether the radio handed its host this received frame.
bool received(AntRadioSim& sim, uint8_t id, const Bytes& data)
{
    const Bytes frame = AntRadioSim::receivedFrame(id, data);
    for (const AntFrameRecord& r : sim.log())
        if (r.direction == AntFrameRecord::Direction::Received && r.bytes == frame)
            return true;
    return false;
}

bool waitReceived(AntRadioSim& sim, uint8_t id, const Bytes& data)
{
    return kivo::test::waitUntil([&] { return received(sim, id, data); }, kWaitMs);
}

uint8_t state(AntRadioSim& sim, uint8_t ch)
{
    uint8_t s = 0;
    sim.withModel([&](AntRadioModel& m) { s = m.channel(ch).state; });
    return s;
}

// Steps the radio's clock until its channel is in the state wanted.
bool waitState(AntRadioSim& sim, uint8_t ch, uint8_t wanted)
{
    return kivo::test::waitUntil(
        [&] {
            sim.advanceTime(300);
            return state(sim, ch) == wanted;
        },
        kWaitMs);
}

std::vector<AntMessage> send(AntRadioSim& sim, uint8_t id, const Bytes& data)
{
    std::vector<AntMessage> out;
    sim.withModel([&](AntRadioModel& m) { out = m.handle(id, data); });
    return out;
}

} // namespace

TEST(AntAir, AChannelOfAnotherRadioIsHeardByTheRulesOfOneRadio)
{
    AntRadioModel radio;
    openChannel(radio, 2, 0x00, 40, 0x1234, 0, 0); // a slave for device 0x1234 on 40
    openChannel(radio, 5, 0x10, 40, 0x4321, 3, 1); // a master
    radio.handle(0x42, { 6, 0x00, 0 }); // a slave assigned, not open
    radio.handle(0x45, { 6, 40 });

    struct Case {
        const char* what;
        AirChannel sender;
        uint8_t id;
        std::vector<uint8_t> heardBy;
    };
    auto with = [](AirChannel c, auto change) {
        change(c);
        return c;
    };
    AirChannel slave;
    slave.rf = 40;
    slave.period = 8192;
    const Case cases[] = {
        { "a master on the slave's RF and period", master(), 0x4E, { 2 } },
        { "another RF", master(41), 0x4E, {} },
        { "another period", with(master(), [](AirChannel& c) { c.period = 4096; }), 0x4E, {} },
        { "another network key", with(master(), [](AirChannel& c) { c.key[0] = 1; }), 0x4E, {} },
        { "a slave that takes the master's id", with(slave, [](AirChannel& c) { c.deviceNumber = 0x4321; }), 0x4F,
            { 5 } },
        { "a slave for another device", with(slave, [](AirChannel& c) { c.deviceNumber = 0x4322; }), 0x4F, {} },
        { "a slave asking the pairing bit of the master's type",
            with(slave, [](AirChannel& c) { c.deviceType = 0x83; }), 0x50, { 5 } },
        { "a slave for another transmission type", with(slave, [](AirChannel& c) { c.transmissionType = 2; }),
            0x4F, {} },
    };
    for (const Case& c : cases) {
        AirTransmission t { c.sender, c.id, { 0x60, 1, 2, 3, 4, 5, 6, 7, 8 } }; // channel 0, burst sequence 3
        std::vector<uint8_t> heardBy;
        for (const AntMessage& m : radio.receiveFromAir(t)) {
            EXPECT_EQ(m.id, c.id) << c.what;
            EXPECT_EQ(Bytes(m.data.begin() + 1, m.data.end()), Bytes(t.data.begin() + 1, t.data.end())) << c.what;
            EXPECT_EQ(m.data[0] & 0xE0, 0x60) << c.what << ": a burst keeps its sequence";
            heardBy.push_back(m.data[0] & 0x1F);
        }
        EXPECT_EQ(heardBy, c.heardBy) << c.what;
    }

    // A slave that hears another radio's master tracks it, tells its id, and
    // searches again once that master is gone.
    radio.setRemoteChannels("other", { master() });
    radio.advance(1000000);
    EXPECT_EQ(radio.channel(2).state, 3);
    EXPECT_EQ(radio.handle(0x4D, { 2, 0x51 }), (std::vector<AntMessage> { { 0x51, { 2, 0x34, 0x12, 7, 1 } } }));
    radio.setRemoteChannels("other", {});
    radio.advance(1000000);
    EXPECT_EQ(radio.channel(2).state, 2);
}

TEST(AntAir, TwoJoinedRadiosHearEachOtherAndFollowChanges)
{
    kivo::test::TempDeviceRoot root;
    AntRadioSim a;
    AntRadioSim b;
    ASSERT_TRUE(a.joinAir());
    ASSERT_TRUE(b.joinAir());
    a.withModel([](AntRadioModel& m) { openChannel(m, 0, 0x10, 40, 0x1234, 7, 1); });
    b.withModel([](AntRadioModel& m) { openChannel(m, 3, 0x00, 40, 0, 0, 0); });

    // B's slave finds A's master, and learns its id.
    ASSERT_TRUE(waitState(b, 3, 3));
    EXPECT_EQ(send(b, 0x4D, { 3, 0x51 }), (std::vector<AntMessage> { { 0x51, { 3, 0x34, 0x12, 7, 1 } } }));

    // A broadcast and a burst one way, acknowledged data the other.
    send(a, 0x4E, { 0, 1, 2, 3, 4, 5, 6, 7, 8 });
    EXPECT_TRUE(waitReceived(b, 0x4E, { 3, 1, 2, 3, 4, 5, 6, 7, 8 }));
    send(a, 0x50, { 0x00, 9, 9, 9, 9, 9, 9, 9, 9 });
    send(a, 0x50, { 0xA0, 8, 8, 8, 8, 8, 8, 8, 8 });
    EXPECT_TRUE(waitReceived(b, 0x50, { 0x03, 9, 9, 9, 9, 9, 9, 9, 9 }));
    EXPECT_TRUE(waitReceived(b, 0x50, { 0xA3, 8, 8, 8, 8, 8, 8, 8, 8 }));
    send(b, 0x4F, { 3, 7, 7, 7, 7, 7, 7, 7, 7 });
    EXPECT_TRUE(waitReceived(a, 0x4F, { 0, 7, 7, 7, 7, 7, 7, 7, 7 }));

    // A moves to another frequency: B loses it until B follows.
    send(a, 0x45, { 0, 41 });
    ASSERT_TRUE(waitState(b, 3, 2));
    send(a, 0x4E, { 0, 0xAA, 0, 0, 0, 0, 0, 0, 0 }); // not heard on 40
    // A's frames come in the order sent: once a broadcast of another master
    // of A's on 40 is in, the one before it was taken and not heard.
    a.withModel([](AntRadioModel& m) { openChannel(m, 1, 0x10, 40, 0x1234, 7, 1); });
    send(a, 0x4E, { 1, 0xCC, 0, 0, 0, 0, 0, 0, 0 });
    EXPECT_TRUE(waitReceived(b, 0x4E, { 3, 0xCC, 0, 0, 0, 0, 0, 0, 0 }));
    EXPECT_FALSE(received(b, 0x4E, { 3, 0xAA, 0, 0, 0, 0, 0, 0, 0 }));
    send(a, 0x4C, { 1 });
    send(b, 0x45, { 3, 41 });
    ASSERT_TRUE(waitState(b, 3, 3));
    send(a, 0x4E, { 0, 0xBB, 0, 0, 0, 0, 0, 0, 0 });
    EXPECT_TRUE(waitReceived(b, 0x4E, { 3, 0xBB, 0, 0, 0, 0, 0, 0, 0 }));

    // A radio that leaves the air is gone for the others.
    a.leaveAir();
    EXPECT_TRUE(waitState(b, 3, 2));
}

TEST(AntAir, FramesThatAreNotValidAreDroppedAndARadioThatEndedIsForgotten)
{
    kivo::test::TempDeviceRoot root;
    AntRadioSim radio;
    ASSERT_TRUE(radio.joinAir());
    radio.withModel([](AntRadioModel& m) { openChannel(m, 0, 0x00, 40, 0, 0, 0); });
    const std::string dir = ce::runDirectory() + "/ant-air";
    std::string radioPath;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        radioPath = e.path().string();
    ASSERT_FALSE(radioPath.empty());

    std::atomic<int> dropped { 0 };
    int hook = ce::addDebugOutputHook([&](const std::string& line) {
        if (line.find("simulated ANT air: a frame") != std::string::npos && line.find("dropped") != std::string::npos)
            ++dropped;
    });
    // Another process's radio, played here: a socket on the air.
    const std::string intruderPath = dir + "/intruder";
    int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un self {};
    self.sun_family = AF_UNIX;
    std::strncpy(self.sun_path, intruderPath.c_str(), sizeof self.sun_path - 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&self), sizeof self), 0);
    sockaddr_un to {};
    to.sun_family = AF_UNIX;
    std::strncpy(to.sun_path, radioPath.c_str(), sizeof to.sun_path - 1);
    auto sendRaw = [&](const Bytes& frame) {
        ASSERT_EQ(::sendto(fd, frame.data(), frame.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to),
            ssize_t(frame.size()));
    };

    Bytes valid = kivo::sim::airChannelsFrame({ master() });
    Bytes oversized = valid;
    oversized.resize(kivo::sim::kAirFrameMax + 40);
    Bytes tooMany = valid;
    tooMany[6] = 9;
    Bytes newer = valid;
    newer[4] = 2;
    Bytes trailing = valid;
    trailing.push_back(0);
    const Bytes bad[] = { {}, { 'K', 'A' }, Bytes(valid.begin(), valid.end() - 1), trailing, oversized, tooMany,
        newer, { 'K', 'A', 'I', 'R', 1, 2, 0 } };
    for (const Bytes& frame : bad)
        sendRaw(frame);
    EXPECT_TRUE(kivo::test::waitUntil([&] { return dropped == int(std::size(bad)); }, kWaitMs)) << dropped;
    radio.advanceTime(1000);
    EXPECT_EQ(state(radio, 0), 2) << "nothing of them was taken";

    // A valid frame from the same sender is taken.
    sendRaw(valid);
    ASSERT_TRUE(waitState(radio, 0, 3));

    // Its process ends without leaving: the next time the radio sends, the
    // socket no longer answers, and its master is gone.
    ::close(fd);
    send(radio, 0x45, { 0, 41 }); // told to the others
    send(radio, 0x45, { 0, 40 });
    EXPECT_TRUE(waitState(radio, 0, 2));
    EXPECT_FALSE(std::filesystem::exists(intruderPath));
    ce::removeDebugOutputHook(hook);
}

TEST(AntAir, TheRadioProgramJoinsTheAirWhenAsked)
{
    kivo::test::TempDeviceRoot root;
    AntRadioSim here;
    ASSERT_TRUE(here.joinAir());
    here.withModel([](AntRadioModel& m) { openChannel(m, 2, 0x00, 40, 0, 0, 0); });
    kivo::test::PipedProgram program;
    ASSERT_TRUE(program.start("ant_radio_sim", { "--air", "--answer" }));
    ASSERT_EQ(program.line(kWaitMs), "ready");

    // A host of this process drives the program's radio through its device.
    ce::HANDLE device = ce::openDevice("ANT1:", ce::GENERIC_READ | ce::GENERIC_WRITE);
    ASSERT_NE(device, ce::INVALID_HANDLE_VALUE);
    auto hostSends = [&](uint8_t id, const Bytes& data) {
        const Bytes f = AntRadioSim::sentFrame(id, data);
        ce::DWORD n = 0;
        EXPECT_TRUE(ce::deviceIoControl(device, AntRadioSim::kIoctlSendFrame, f.data(), ce::DWORD(f.size()), nullptr,
            0, &n));
    };
    hostSends(0x42, { 0, 0x10, 0 });
    hostSends(0x45, { 0, 40 });
    hostSends(0x4B, { 0 });
    hostSends(0x4E, { 0, 1, 2, 3, 4, 5, 6, 7, 8 });
    EXPECT_TRUE(waitReceived(here, 0x4E, { 2, 1, 2, 3, 4, 5, 6, 7, 8 }));

    // And back: the program's radio hands its host the slave's data.
    send(here, 0x4F, { 2, 9, 9, 9, 9, 9, 9, 9, 9 });
    AntFrameRecord expected { 0, AntFrameRecord::Direction::Received,
        AntRadioSim::receivedFrame(0x4F, { 0, 9, 9, 9, 9, 9, 9, 9, 9 }), "" };
    std::string frame = AntRadioSim::formatRecord(expected); // "0.000000 rx A4 ... "
    frame = frame.substr(frame.find(' '));
    bool logged = kivo::test::waitUntil(
        [&] {
            bool found = false;
            program.send("log");
            for (std::string l = program.line(kWaitMs); !l.empty() && l != "ok"; l = program.line(kWaitMs))
                found = found || l.find(frame) != std::string::npos;
            return found;
        },
        kWaitMs);
    EXPECT_TRUE(logged);
    ce::closeHandle(device);
    ASSERT_TRUE(program.send("quit"));
    EXPECT_EQ(program.line(kWaitMs), "ok");
    EXPECT_TRUE(program.waitExit(kWaitMs));
}
