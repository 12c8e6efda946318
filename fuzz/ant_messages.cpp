// Bytes from the radio, as the library core and the command layer read
// them: parsed by the framer, handed to the channel of each message, and
// taken as the replies to requests, channel responses and transfer events.
// fuzz-links: senvoy_objects
#include "ant/core/ant_command.h"
#include "ant/core/ant_framer.h"

#include <cstddef>
#include <cstdint>

namespace {

// A port whose every write is answered by the fuzzer's bytes.
class ReplayPort : public senvoy::ANTPort {
public:
    const uint8_t* data = nullptr;
    size_t size = 0;
    senvoy::ANTPortListener* listener = nullptr;
    int configure(uint32_t, uint32_t) override { return 1; }
    void setListener(senvoy::ANTPortListener* l) override { listener = l; }
    int open() override { return 1; }
    void close() override { }
    int write(const uint8_t*, uint32_t) override
    {
        for (size_t i = 0; i < size && listener; ++i)
            listener->onByte(data[i]);
        return 1;
    }
    uint32_t setting() const override { return 0; }
};

void drain(senvoy::ANTFramer& framer)
{
    uint8_t message[senvoy::ANT_MESSAGE_SIZE];
    for (;;) {
        uint16_t n = framer.readMessage(message, senvoy::ANT_MAX_DATA);
        if (n == senvoy::ANT_NO_MESSAGE)
            break;
        if (n != senvoy::ANT_READ_ERROR)
            (void)senvoy::ANTFramer::channelOf(message, n);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // setPort empties the ring, the parser and the error, so nothing of one
    // input reaches the next.
    static senvoy::ANTFramer* framer = new senvoy::ANTFramer();
    static ReplayPort* port = new ReplayPort();
    port->data = data;
    port->size = size;
    port->setListener(framer);
    framer->setPort(port);

    uint16_t number = 0;
    uint8_t type = 0, transmission = 0, status = 0, caps[4] = {};
    senvoy::ANTCommand_RequestChannelId(framer, 1, &number, &type, &transmission, 1);
    drain(*framer);
    senvoy::ANTCommand_RequestChannelStatus(framer, 1, &status, 1);
    drain(*framer);
    senvoy::ANTCommand_RequestCapabilities(framer, caps, 1);
    drain(*framer);
    senvoy::ANTCommand_OpenChannel(framer, 1, 1);
    drain(*framer);
    senvoy::ANTCommand_CloseChannel(framer, 1, 1);
    drain(*framer);
    const uint8_t payload[16] = {};
    senvoy::ANTCommand_SendBurst(framer, 1, payload, sizeof payload, 1);
    drain(*framer);
    return 0;
}
