// A datagram from another process's simulated radio on the shared air, as a
// radio reads it: checked whole, then a valid frame is taken into a radio
// with a slave and a master channel open.
// fuzz-links: kivo_ant_radio_sim
#include "sim/ant_radio/ant_air_frames.h"
#include "sim/ant_radio/ant_radio_model.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using kivo::sim::AirFrame;
using kivo::sim::AntRadioModel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    AirFrame frame;
    std::string error;
    if (!kivo::sim::parseAirFrame(data, size, &frame, &error))
        return 0;
    // What is read is what was sent: writing the frame again gives its bytes.
    std::vector<uint8_t> again = frame.kind == AirFrame::Kind::Channels
        ? kivo::sim::airChannelsFrame(frame.channels)
        : frame.kind == AirFrame::Kind::Transmission ? kivo::sim::airTransmissionFrame(frame.transmission)
                                                     : kivo::sim::airLeavingFrame();
    if (again != std::vector<uint8_t>(data, data + size))
        std::abort();

    AntRadioModel model;
    model.handle(0x42, { 0, 0x00, 0 }); // a slave on channel 0
    model.handle(0x4B, { 0 });
    model.handle(0x42, { 1, 0x10, 0 }); // a master on channel 1
    model.handle(0x4B, { 1 });
    switch (frame.kind) {
    case AirFrame::Kind::Channels:
        model.setRemoteChannels("other", frame.channels);
        model.advance(1000000);
        model.handle(0x4D, { 0, 0x51 });
        break;
    case AirFrame::Kind::Transmission:
        for (const auto& m : model.receiveFromAir(frame.transmission))
            if (m.data.size() != 9 || (m.data[0] & 0x1F) >= AntRadioModel::kChannels)
                std::abort();
        break;
    case AirFrame::Kind::Leaving:
        model.setRemoteChannels("other", {});
        break;
    }
    return 0;
}
