// Bytes a companion phone sends over the serial link, as the manager's
// frame parser and frame handler take them.
//
// The first four bytes seed the cuts of the stream; the rest is the stream.
// Checked: the frames found in the whole stream are the frames found in it
// cut into reads of random length; no payload is longer than its length
// field allows; every frame goes through the handler (new SMS, call status,
// music, results, busy) without reading outside its payload, and the
// strings the payload reader returns stay within their limits. The
// manager's state is put back after each input.
// fuzz-links: kivo_bt

#include "bt/core/bt_manager.h"
#include "bt/core/phone_link.h"
#include "fuzz/support/device_root.h"
#include "fuzz/support/fuzz_input.h"

#include <memory>
#include <vector>

using kivo::fuzz::ChunkSplitter;
using kivo::fuzz::FuzzInput;
using namespace kivo::bt;

namespace {

struct Frame {
    uint8_t command;
    std::vector<uint8_t> payload;
    bool operator==(const Frame& o) const { return command == o.command && payload == o.payload; }
};

std::vector<Frame> parse(const std::vector<uint8_t>& stream, ChunkSplitter* cuts)
{
    std::vector<Frame> frames;
    FrameParser parser;
    parser.SetHandler([&](uint8_t c, const uint8_t* p, size_t n) {
        FUZZ_CHECK(n <= kMaxFramePayload);
        frames.push_back({ c, std::vector<uint8_t>(p, p + n) });
    });
    size_t at = 0;
    while (at < stream.size()) {
        const size_t n = cuts ? std::min(cuts->next(), stream.size() - at) : stream.size();
        // Each read in a buffer of its own size, so a read past it shows.
        std::unique_ptr<uint8_t[]> read(new uint8_t[n]);
        std::copy_n(stream.begin() + long(at), n, read.get());
        parser.Feed(read.get(), n);
        at += n;
    }
    return frames;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    kivo::fuzz::ensureDeviceRoot();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    ChunkSplitter cuts(in.u32(), 64);
    const std::vector<uint8_t> stream = in.rest();

    const std::vector<Frame> whole = parse(stream, nullptr);
    FUZZ_CHECK(parse(stream, &cuts) == whole);

    for (const Frame& f : whole) {
        std::unique_ptr<uint8_t[]> payload(new uint8_t[f.payload.size() + 1]);
        std::copy(f.payload.begin(), f.payload.end(), payload.get());
        OnPhoneLinkFrame(f.command, payload.get(), f.payload.size());

        PayloadReader r(payload.get(), f.payload.size());
        r.Byte();
        for (int i = 0; i < 3; ++i)
            if (const auto s = r.String(31))
                FUZZ_CHECK(s->size() <= 31);
    }
    ResetManagerForTests();
    return 0;
}
