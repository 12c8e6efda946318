// Messages from the air as the ANT-FS host takes them: beacons, channel
// events and a client's answer bursts (of any length), in every state of the
// engine. Input: a state byte, then messages as [data length][id][data].
// fuzz-links: senvoy_objects
#include "ant/antfs/antfs_host_engine.h"
#include "ant/core/ant_framer.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

// A port that takes every frame (the engine's beacons) and answers nothing.
class SinkPort : public senvoy::ANTPort {
public:
    int configure(uint32_t, uint32_t) override { return 1; }
    void setListener(senvoy::ANTPortListener*) override { }
    int open() override { return 1; }
    void close() override { }
    int write(const uint8_t*, uint32_t) override { return 1; }
    uint32_t setting() const override { return 0; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    SinkPort port;
    senvoy::ANTFramer framer;
    framer.setPort(&port);
    senvoy::ANTFSHostEngine engine;
    engine.enterStateForFuzzing(uint8_t(data[0] % 12), &framer, 0);
    size_t pos = 1;
    uint8_t message[senvoy::ANT_MESSAGE_SIZE];
    while (pos + 2 <= size) {
        size_t n = data[pos] % (senvoy::ANT_MAX_DATA + 1);
        if (pos + 2 + n > size)
            n = size - pos - 2;
        message[0] = data[pos + 1];
        std::memcpy(message + 1, data + pos + 2, n);
        engine.onMessage(message, uint16_t(n));
        pos += 2 + n;
    }
    return 0;
}
