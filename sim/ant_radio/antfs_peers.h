// ANT-FS peers of the simulated radio, on the air of one of the library's
// channels: they put broadcasts, acknowledged data, bursts and channel
// events on that channel and log every message the library sends.
//
// The host peer is a scripted ANT-FS host driven step by step by a test,
// which reads the library client's beacons and answers packet by packet.
// The client peer is a scripted ANT-FS client that runs on a thread of its
// own: it beacons, answers the library host's commands from its files, and
// misbehaves on demand.
#pragma once

#include "sim/ant_radio/ant_radio_sim.h"

#include <array>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kivo::sim {

class AntFsAir {
public:
    using Bytes = std::vector<uint8_t>;

    AntFsAir(AntRadioSim& sim, uint8_t channel);
    virtual ~AntFsAir() = default;
    AntFsAir(const AntFsAir&) = delete;
    AntFsAir& operator=(const AntFsAir&) = delete;

    // A broadcast or an acknowledged message (8 bytes, shorter ones padded
    // with zeros).
    bool sendBroadcast(const Bytes& payload);
    bool sendAcknowledged(const Bytes& payload);
    // A burst: the bytes in 8-byte packets (the last padded), sequence
    // numbers 0, 1, 2, 3, 1, ... and the last-packet bit.
    bool sendBurst(const Bytes& bytes);
    // Channel event code on the channel (4: a burst from the host failed).
    bool injectEvent(uint8_t code);

    // Every message the library sent (id and data), in order, since the
    // peer was made or last cleared; takes them out of the radio's log.
    std::vector<Bytes> sent();
    void clear();
    // Waits until the library has sent at least count messages in all.
    bool waitSent(size_t count, uint32_t timeoutMs);
    // The next complete burst the library sent on the channel after
    // *cursor (an index into sent()), its payload joined; *cursor moves past
    // it. Waits up to timeoutMs.
    bool nextBurst(size_t* cursor, Bytes* payload, uint32_t timeoutMs);
    // The next broadcast (payload, 8 bytes) on the channel after *cursor.
    bool nextBroadcast(size_t* cursor, Bytes* payload, uint32_t timeoutMs);

    // A frame as the radio carries it (no trailing zeros) of a sent message.
    static Bytes frameOf(const Bytes& message);

protected:
    bool sendPage(uint8_t id, const Bytes& payload);
    bool waitFor(const std::function<bool()>& ready, uint32_t timeoutMs);
    // Under m_mutex: moves the radio's log of sent messages into m_sent.
    void collectLocked();
    // Under m_mutex: the next whole burst (or, with acknowledged, also
    // acknowledged message) the library sent on the channel at or after
    // *cursor. Without one, *cursor moves on to where one may yet come.
    bool nextLocked(size_t* cursor, Bytes* payload, bool acknowledged);

    AntRadioSim& m_sim;
    const uint8_t m_channel;
    std::recursive_mutex m_mutex;
    std::vector<Bytes> m_sent;
};

class AntFsHostPeer : public AntFsAir {
public:
    using AntFsAir::AntFsAir;
};

// What the client peer is and does; changed under the peer's lock
// (AntFsClientPeer::script).
struct AntFsClientScript {
    using Bytes = std::vector<uint8_t>;

    // Its channel: the network key and period of ANT-FS (the period its
    // beacon's period code 4 shows), its id (what the radio reports once it
    // hears it). Then what its beacon shows.
    std::array<uint8_t, 8> networkKey { 0x5B, 0x17, 0xC2, 0x90, 0x3E, 0xD8, 0x41, 0x6A };
    uint16_t period = 4096;
    uint16_t deviceNumber = 0x5678;
    uint8_t channelDeviceType = 1;
    uint8_t transmissionType = 5;
    uint8_t rf = 50; // where it beacons in the link layer
    uint8_t status1 = 0x04 | 0x20; // period code 4, data available
    uint8_t authenticationType = 0;
    uint16_t deviceType = 1;
    uint16_t manufacturerId = 59;
    uint32_t serialNumber = 0x12345678;
    std::string friendlyName = "Peer";
    std::string passkey; // its answer to a pairing
    uint8_t authAnswer = 1; // to pass-through, pairing and passkey: 1 accept, 2 reject
    std::map<uint16_t, Bytes> files;
    uint32_t maxBlock = 0; // the most it sends in one download answer; 0: no limit
    uint32_t maxFileSize = 0xFFFFFFFFu; // the largest upload it takes
    uint32_t uploadBlock = 0xFFFFFFFFu; // the most it takes in one upload block
    std::map<uint16_t, Bytes> uploaded; // what uploads wrote, by index

    // Faults, each for the next so many times.
    int ignoreLinks = 0; // a Link leaves it beaconing where it was
    int foreignSerialLinks = 0; // it links, showing another host's serial
    int badCrcAnswers = 0; // a download answer whose CRC is wrong
    int silentCommands = 0; // a command (other than Link, Ping, Disconnect) is not answered
    std::deque<uint8_t> responseCodes; // the code of the next download, upload or erase answers
    std::deque<Bytes> rawAnswers; // the next answer bursts, after the beacon, as given
    int foreignBeacons = 0; // after each own beacon, two of another client in the link layer
    // How many more answers go out; the ones after wait until it is raised.
    // -1: every answer goes out at once.
    int answersLeft = -1;

    // What it took.
    std::vector<Bytes> commands; // every ANT-FS command, in order
    uint32_t beacons = 0;
    size_t heldAnswers = 0; // waiting for answersLeft
};

class AntFsClientPeer : public AntFsAir {
public:
    using Crc16 = uint16_t (*)(uint16_t seed, const uint8_t* bytes, size_t n);

    // crc: the CRC-16 of ANT-FS data, continued from a seed.
    AntFsClientPeer(AntRadioSim& sim, uint8_t channel, Crc16 crc);
    ~AntFsClientPeer() override; // stops

    // Beacons every beaconMs and answers until stopped.
    void start(uint32_t beaconMs = 20);
    void stop();
    void script(const std::function<void(AntFsClientScript&)>& change);
    // Waits until the script satisfies ready (checked under the lock).
    bool waitScript(const std::function<bool(const AntFsClientScript&)>& ready, uint32_t timeoutMs);
    // 0 link, 1 authentication, 2 transport.
    uint8_t layer();

private:
    void run(uint32_t beaconMs);
    // Puts its channel on the air as it is now; whether the library's
    // channel hears it.
    bool heard();
    Bytes beaconLocked() const;
    void take(const Bytes& command, std::vector<Bytes>* answers);
    Bytes downloadAnswerLocked(const Bytes& command, bool legacy);
    uint8_t nextCodeLocked(); // of the next answer, from the script

    Crc16 m_crc;
    AntFsClientScript m_script;
    uint8_t m_layer = 0;
    uint8_t m_onRf = 0; // where it is now
    uint32_t m_hostSerial = 0;
    uint32_t m_unheard = 0; // beacon slots in a row the host did not hear
    std::deque<Bytes> m_held; // answers not yet let out (answersLeft)
    size_t m_cursor = 0;
    bool m_running = false;
    bool m_stopping = false;
    std::condition_variable_any m_changed;
    std::thread m_thread;
};

} // namespace kivo::sim
