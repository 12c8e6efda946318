// The ANT framer's receive parser on the byte stream the radio sends.
//
// The input is a script: a list of messages, each written through the framer
// into a frame, some of them with a broken checksum, with noise between
// frames; the stream is then fed to a second framer in chunks of random
// length, reading messages out between chunks. What comes out must be every
// whole message in order, equal to what went in, and a checksum error at most
// once per broken frame and never without one. A raw mode feeds the input's
// bytes as they are, where only sound lengths are checked.
// fuzz-links: senvoy_objects

#include "ant/core/ant_framer.h"
#include "fuzz/support/fuzz_input.h"

#include <cstring>
#include <vector>

using namespace senvoy;
using kivo::fuzz::ChunkSplitter;
using kivo::fuzz::FuzzInput;

namespace {

using Bytes = std::vector<uint8_t>;

class CapturePort : public ANTPort {
public:
    Bytes written;
    int configure(uint32_t, uint32_t) override { return 1; }
    void setListener(ANTPortListener*) override { }
    int open() override { return 1; }
    void close() override { }
    int write(const uint8_t* bytes, uint32_t length) override
    {
        written.insert(written.end(), bytes, bytes + length);
        return 1;
    }
    uint32_t setting() const override { return 0; }
};

struct Read {
    bool error = false;
    Bytes bytes; // id + data, or kind + code
};

void drain(ANTFramer& framer, std::vector<Read>& out)
{
    for (;;) {
        uint8_t buffer[ANT_MESSAGE_SIZE] = {};
        const uint16_t peek = framer.peekMessage();
        const uint16_t r = framer.readMessage(buffer, 0);
        FUZZ_CHECK(r == peek || (peek == ANT_READ_ERROR && r == ANT_READ_ERROR));
        if (r == ANT_NO_MESSAGE)
            return;
        Read read;
        if (r == ANT_READ_ERROR) {
            read.error = true;
            read.bytes = { buffer[0], buffer[1] };
        } else {
            FUZZ_CHECK(r <= ANT_MAX_DATA);
            read.bytes.assign(buffer, buffer + 1 + r);
        }
        out.push_back(read);
    }
}

// Framers are large (a ring of 65536 messages): one of each, reset per input.
ANTFramer& writer()
{
    static ANTFramer framer;
    return framer;
}
ANTFramer& reader()
{
    static ANTFramer framer;
    return framer;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    CapturePort port;
    ANTFramer& rx = reader();
    rx.setPort(&port);
    const bool raw = in.byte() & 1;
    ChunkSplitter split(in.u32(), 1 + in.byte() % 64);

    Bytes stream;
    std::vector<Bytes> sent; // whole messages, in order
    size_t broken = 0;
    if (raw) {
        stream = in.rest();
    } else {
        ANTFramer& tx = writer();
        tx.setPort(&port);
        while (!in.empty()) {
            const uint8_t op = in.byte();
            const uint32_t n = in.byte() % (ANT_MAX_DATA + 1);
            Bytes msg = in.bytes(n + 1);
            msg.resize(n + 1);
            port.written.clear();
            FUZZ_CHECK(tx.writeMessage(msg.data(), n) == 1);
            Bytes frame = port.written;
            FUZZ_CHECK(frame.size() == n + 6);
            if (op & 1) {
                frame[3 + n] ^= uint8_t(1 + (op >> 1));
                ++broken;
            } else {
                sent.push_back(msg);
            }
            stream.insert(stream.end(), frame.begin(), frame.end());
            // Noise between frames: anything but a sync byte.
            const Bytes noise = in.bytes(op >> 6);
            for (uint8_t b : noise)
                stream.push_back(b == ANT_SYNC ? 0 : b);
        }
    }

    std::vector<Read> reads;
    for (size_t at = 0; at < stream.size();) {
        const size_t chunk = std::min(split.next(), stream.size() - at);
        for (size_t i = 0; i < chunk; ++i)
            rx.onByte(stream[at + i]);
        at += chunk;
        drain(rx, reads);
    }
    drain(rx, reads);

    size_t errors = 0;
    std::vector<Bytes> received;
    for (const Read& r : reads) {
        if (r.error) {
            FUZZ_CHECK(r.bytes[0] == ANT_ERROR_PORT && r.bytes[1] == ANT_CODE_CHECKSUM);
            ++errors;
        } else {
            received.push_back(r.bytes);
        }
    }
    if (!raw) {
        FUZZ_CHECK(received == sent);
        FUZZ_CHECK(errors <= broken);
        FUZZ_CHECK((errors == 0) == (broken == 0));
    }
    return 0;
}
