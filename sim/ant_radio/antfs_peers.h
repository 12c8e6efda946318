// ANT-FS peers of the simulated radio. The host peer plays a scripted
// ANT-FS host on the air of one of the library's channels: it sends
// acknowledged data and bursts to that channel, injects channel events,
// and logs every message the library sends, so a test can read the
// client's beacons and answers packet by packet.
#pragma once

#include "sim/ant_radio/ant_radio_sim.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

namespace kivo::sim {

class AntFsHostPeer {
public:
    using Bytes = std::vector<uint8_t>;

    AntFsHostPeer(AntRadioSim& sim, uint8_t channel);

    // An acknowledged message (8 bytes, shorter ones padded with zeros).
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

private:
    bool waitFor(const std::function<bool()>& ready, uint32_t timeoutMs);
    void collect();

    AntRadioSim& m_sim;
    uint8_t m_channel;
    std::vector<Bytes> m_sent;
};

} // namespace kivo::sim
