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

template <class Engine>
void feedAir(const uint8_t* data, size_t size, uint8_t states)
{
    if (size < 1)
        return;
    SinkPort port;
    senvoy::ANTFramer framer;
    framer.setPort(&port);
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
