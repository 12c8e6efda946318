// The simulated radio's command state machine: eight channels with their
// configuration and state, the network keys, and the answers the radio
// gives to each message the host sends. Pure logic, no threads: the
// simulator feeds it the host's messages and queues what it answers.
#pragma once

#include "sim/ant_radio/ant_air_frames.h"
#include "sim/ant_radio/ant_peer.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace kivo::sim {

struct AntMessage {
    uint8_t id = 0;
    std::vector<uint8_t> data;
    bool operator==(const AntMessage& o) const { return id == o.id && data == o.data; }
};

struct AntListEntry {
    uint16_t deviceNumber = 0;
    uint8_t deviceType = 0;
    uint8_t transmissionType = 0;
};

struct AntSimChannel {
    uint8_t state = 0; // 0 unassigned, 1 assigned, 2 searching, 3 tracking
    uint8_t type = 0;
    uint8_t network = 0;
    uint16_t deviceNumber = 0;
    uint8_t deviceType = 0;
    uint8_t transmissionType = 0;
    uint8_t rf = 66;
    uint16_t period = 8192;
    uint8_t searchTimeout = 12;
    uint8_t txPower = 3;
    uint8_t proximity = 0;
    std::array<AntListEntry, 4> list {};
    uint8_t listSize = 0;
    bool exclude = false;
    // Burst from the host: the next sequence number, or -1 when the burst
    // was refused and the rest of it is ignored.
    int burstNext = 0;
    std::vector<uint8_t> burstData;
    // Reception (simulated time, microseconds).
    uint64_t nextUs = 0; // the next channel period
    uint64_t searchDeadlineUs = 0;
    int strap = -1; // the strap being received, or -1
    int peer = -1; // the peer being received, or -1
    int misses = 0;
};

// A heart-rate strap in the simulated world. It beats at bpm (no new beats
// while paused) and sends a page every channel period to the channel that
// receives it: beat time (1/1024 s) and beat count, its heart rate, and
// pages 4 (with the previous beat time) and 1-3 in turn under a page bit
// that toggles every four messages, or page 0 without toggling.
struct AntStrap {
    uint16_t deviceNumber = 1;
    uint8_t transmissionType = 1;
    uint8_t deviceType = 120;
    uint8_t rf = 57;
    uint16_t period = 8070;
    uint32_t bpm = 60;
    bool paused = false;
    bool inRange = true;
    bool toggles = true;
    // When set, only a channel on a network with this key hears the strap.
    std::vector<uint8_t> networkKey;
    uint8_t beatCount = 0;
    uint16_t beatTime = 0;
    uint16_t previousBeatTime = 0;
    int dropouts = 0; // the next messages are lost
    uint32_t messages = 0;
    uint64_t nextBeatUs = 0;
};

class AntRadioModel {
public:
    static constexpr uint8_t kChannels = 8;
    static constexpr uint8_t kNetworks = 8;
    static constexpr uint8_t CODE_OK = 0x00;
    static constexpr uint8_t CODE_WRONG_STATE = 0x15;
    static constexpr uint8_t CODE_INVALID_MESSAGE = 0x28;

    enum class TransferOutcome { Completed, Failed, Silent };

    // The answers to one message from the host, in order.
    std::vector<AntMessage> handle(uint8_t id, const std::vector<uint8_t>& data);

    // Faults. The next count messages with this id are answered with code
    // (and change nothing), or are lost on the way (no answer, no effect);
    // count -1 means all of them, 0 ends the fault.
    void setResponseCode(uint8_t id, uint8_t code, int count);
    void dropMessages(uint8_t id, int count);
    // How acknowledged data and bursts end.
    void setTransferOutcome(TransferOutcome outcome) { m_transferOutcome = outcome; }

    const AntSimChannel& channel(uint8_t ch) const { return m_channels[ch % kChannels]; }
    AntSimChannel& channel(uint8_t ch) { return m_channels[ch % kChannels]; }
    bool hasKey(uint8_t network) const { return m_keySet[network % kNetworks]; }
    const std::array<uint8_t, 8>& key(uint8_t network) const { return m_keys[network % kNetworks]; }
    // Acknowledged and burst payloads the host sent, by channel, in order.
    const std::vector<std::vector<uint8_t>>& transfers() const { return m_transfers; }
    int resets() const { return m_resets; }
    // Everything back to power-on (keys forgotten).
    void reset();

    // The simulated world's straps, and its clock: advance() moves it on
    // and returns what the radio receives meanwhile (pages, and the events
    // of searches that time out and of lost messages).
    int addStrap(const AntStrap& strap);
    AntStrap& strap(int index) { return m_straps.at(size_t(index)); }
    size_t strapCount() const { return m_straps.size(); }
    void setStrapRate(int index, uint32_t bpm);
    void setStrapPaused(int index, bool paused);
    // The other devices of the world (sensor models, ANT-FS peers).
    int addPeer(std::shared_ptr<AntPeer> peer);
    AntPeer& peer(int index) { return *m_peers.at(size_t(index)); }
    std::vector<AntMessage> advance(uint64_t us);
    uint64_t nowUs() const { return m_nowUs; }
    static uint64_t periodUs(uint16_t period);

    // A channel's status byte: state in bits 0-1, network in bits 2-3,
    // channel type in bits 4-7.
    uint8_t statusByte(uint8_t ch) const;

    // The air between channels (ant_radio_air.cpp): a master's broadcasts,
    // acknowledged data and bursts reach the slaves that hear it and back.
    // The channels that hear channel ch.
    std::vector<uint8_t> airPeers(uint8_t ch) const;

    // The air shared with the radios of other processes (joined by the
    // simulator): the open channels here as the air knows them, the open
    // channels of each other radio (none: it left), and what one of those
    // sends, handed to the channels here that hear it. While the outbox is
    // on, what the channels here send on the air is kept for the others.
    std::vector<AirChannel> airChannels() const;
    void setRemoteChannels(const std::string& radio, std::vector<AirChannel> channels);
    // Whether open channel ch hears master, another radio's channel.
    bool hearsRemote(uint8_t ch, const AirChannel& master) const;
    std::vector<AntMessage> receiveFromAir(const AirTransmission& transmission);
    void setAirOutbox(bool on);
    std::vector<AirTransmission> takeAirOutbox();

private:
    static AntMessage response(uint8_t ch, uint8_t id, uint8_t code) { return { 0x40, { ch, id, code } }; }
    AirChannel airChannel(uint8_t ch) const;
    static bool hearsOnAir(const AirChannel& slave, const AirChannel& master);
    bool hearsOnAir(uint8_t slave, uint8_t master) const;
    const AirChannel* remoteMaster(uint8_t ch) const;
    void airForward(uint8_t ch, uint8_t id, const std::vector<uint8_t>& data, std::vector<AntMessage>& out);
    bool airTick(uint8_t ch);
    static AntMessage event(uint8_t ch, uint8_t code) { return { 0x40, { ch, 1, code } }; }
    std::vector<AntMessage> transferEnd(uint8_t ch) const;
    std::vector<AntMessage> handleBurst(const std::vector<uint8_t>& data);
    std::vector<AntMessage> handleRequest(uint8_t ch, uint8_t what);
    bool hears(const AntSimChannel& c, const AntStrap& s) const;
    void tick(uint8_t ch, std::vector<AntMessage>& out);
    AntMessage page(uint8_t ch, AntStrap& s);
    void beatUntil(AntStrap& s, uint64_t us);
    static uint64_t beatUs(const AntStrap& s);
    // Peers (sensor_models.cpp).
    bool hearsPeer(const AntSimChannel& c, const AntPeer& p) const;
    void findPeer(AntSimChannel& c);
    void tickPeer(uint8_t ch, std::vector<AntMessage>& out);
    std::vector<AntMessage> peerData(uint8_t ch, const std::vector<uint8_t>& data, bool acknowledged);

    struct Fault {
        uint8_t code = 0;
        int count = 0;
    };
    std::array<AntSimChannel, kChannels> m_channels {};
    std::array<std::array<uint8_t, 8>, kNetworks> m_keys {};
    std::array<bool, kNetworks> m_keySet {};
    std::map<uint8_t, Fault> m_codes;
    std::map<uint8_t, int> m_drops;
    TransferOutcome m_transferOutcome = TransferOutcome::Completed;
    std::vector<std::vector<uint8_t>> m_transfers;
    int m_resets = 0;
    std::vector<AntStrap> m_straps;
    std::vector<std::shared_ptr<AntPeer>> m_peers;
    uint64_t m_nowUs = 0;
    std::map<std::string, std::vector<AirChannel>> m_remote;
    bool m_airOutbox = false;
    std::vector<AirTransmission> m_outbox;
};

} // namespace kivo::sim
