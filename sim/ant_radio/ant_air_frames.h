// What simulated radios of several processes tell each other on the shared
// air: a radio's open channels, a transmission of one of them, and leaving.
// Frames come from other processes, so every one is checked whole before
// anything of it is used.
//
// A frame: "KAIR", version 1, kind, then by kind
//   1 channels:      count (0..8), count channel records
//   2 transmission:  the sender's channel record, message id (0x4E, 0x4F or
//                    0x50), its 9 data bytes
//   3 leaving:       nothing
// A channel record (16 bytes): type, RF, period (2, little-endian), network
// key (8), device number (2, little-endian), device type, transmission type.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kivo::sim {

// What the air knows of an open channel: enough to tell who hears whom.
struct AirChannel {
    uint8_t type = 0;
    uint8_t rf = 0;
    uint16_t period = 0;
    std::array<uint8_t, 8> key {};
    uint16_t deviceNumber = 0;
    uint8_t deviceType = 0;
    uint8_t transmissionType = 0;
    bool operator==(const AirChannel& o) const
    {
        return type == o.type && rf == o.rf && period == o.period && key == o.key && deviceNumber == o.deviceNumber
            && deviceType == o.deviceType && transmissionType == o.transmissionType;
    }
    bool operator!=(const AirChannel& o) const { return !(*this == o); }
};

// One channel's broadcast, acknowledged data or burst packet: the message
// id and its data (channel byte with a burst's sequence bits, 8 bytes).
struct AirTransmission {
    AirChannel sender;
    uint8_t id = 0;
    std::array<uint8_t, 9> data {};
};

struct AirFrame {
    enum class Kind : uint8_t { Channels = 1, Transmission = 2, Leaving = 3 };
    Kind kind = Kind::Leaving;
    std::vector<AirChannel> channels; // Channels
    AirTransmission transmission; // Transmission
};

constexpr size_t kAirChannelsMax = 8;
// The largest valid frame (eight channel records).
constexpr size_t kAirFrameMax = 7 + kAirChannelsMax * 16;

std::vector<uint8_t> airChannelsFrame(const std::vector<AirChannel>& channels);
std::vector<uint8_t> airTransmissionFrame(const AirTransmission& transmission);
std::vector<uint8_t> airLeavingFrame();

// Reads a frame; false and *error says what is wrong with it.
bool parseAirFrame(const uint8_t* bytes, size_t size, AirFrame* frame, std::string* error);

} // namespace kivo::sim
