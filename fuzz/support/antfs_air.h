// Feeds an ANT-FS engine messages from the air, in whichever state the first
// input byte picks. Input: a state byte, then messages as [data length][id]
// [data]. Shared by the client's and the host's intake targets.
#pragma once

#include "ant/core/ant_framer.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace kivo::fuzz {

// A port that takes every frame the engine sends and answers nothing.
class SinkPort : public senvoy::ANTPort {
public:
    int configure(uint32_t, uint32_t) override { return 1; }
    void setListener(senvoy::ANTPortListener*) override { }
    int open() override { return 1; }
    void close() override { }
    int write(const uint8_t*, uint32_t) override { return 1; }
    uint32_t setting() const override { return 0; }
};

// The framer and its port, made once per process: a framer's receive ring
// is megabytes, and making it anew for every input kept the targets at a few
// hundred inputs a second. setPort empties its ring, parser and error, so
// each input starts from the same framer.
struct SinkAir {
    SinkPort port;
    senvoy::ANTFramer framer;
};

inline senvoy::ANTFramer& sinkFramer()
{
    static SinkAir air;
    air.framer.setPort(&air.port);
    return air.framer;
}

template <class Engine>
void feedAir(const uint8_t* data, size_t size, uint8_t states)
{
    if (size < 1)
        return;
    senvoy::ANTFramer& framer = sinkFramer();
    Engine engine;
    engine.enterStateForFuzzing(uint8_t(data[0] % states), &framer, 0);
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
}

} // namespace kivo::fuzz
