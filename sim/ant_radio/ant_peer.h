// A device of the simulated world other than a heart-rate strap (a sensor
// model, an ANT-FS peer): a receiving channel configured for it hears it,
// it sends one page each channel period, and it takes the pages the host
// sends it on that channel.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace kivo::sim {

using AntPage = std::array<uint8_t, 8>;

class AntPeer {
public:
    virtual ~AntPeer() = default;

    // What a channel must be set to for hearing it. A device type of 0 on
    // the channel takes any; a channel device number or transmission type
    // of 0 likewise.
    uint16_t deviceNumber = 1;
    uint8_t deviceType = 0;
    uint8_t transmissionType = 1;
    uint8_t rf = 57;
    uint16_t period = 8192;
    // Heard only on a network that holds this key; empty: on any network.
    std::vector<uint8_t> networkKey;

    bool inRange = true;
    int dropouts = 0; // the next pages are lost

    // The page it sends in the channel period that ends at nowUs.
    virtual AntPage nextPage(uint64_t nowUs) = 0;
    // A page from the host. For an acknowledged one, the channel event codes
    // the radio answers with (5 completed, 6 failed, 170 send again; none:
    // silence).
    virtual std::vector<uint8_t> onHostPage(uint64_t nowUs, const AntPage& page, bool acknowledged)
    {
        (void)nowUs;
        (void)page;
        return acknowledged ? std::vector<uint8_t> { 5 } : std::vector<uint8_t> {};
    }
};

} // namespace kivo::sim
