// One simulated radio's place on the air shared by the radios of every
// process of a device root: a datagram socket in <run>/ant-air, one per
// radio. What a radio sends goes to every other live radio in the order
// sent; what comes in is checked (ant_air_frames.h) and handed on, and a
// frame that is not valid is dropped with a log line.
#pragma once

#include "sim/ant_radio/ant_air_frames.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kivo::sim {

class AntAirLink {
public:
    // A valid frame from the radio named from, on the link's own thread.
    using FrameHandler = std::function<void(const std::string& from, const AirFrame& frame)>;
    // A radio found gone (its socket no longer answers), on the sending thread.
    using GoneHandler = std::function<void(const std::string& radio)>;

    AntAirLink(FrameHandler onFrame, GoneHandler onGone);
    ~AntAirLink(); // tells the others it leaves, and stops
    AntAirLink(const AntAirLink&) = delete;
    AntAirLink& operator=(const AntAirLink&) = delete;

    // Takes a place on the air; false (and a log line) when it cannot.
    bool open();

    // Queued and sent on the link's sending thread, so a caller never waits
    // for a slow receiver: to every other radio, or to one.
    void sendToAll(std::vector<uint8_t> frame);
    void sendTo(const std::string& radio, std::vector<uint8_t> frame);

    struct Impl;

private:
    std::unique_ptr<Impl> d;
};

} // namespace kivo::sim
