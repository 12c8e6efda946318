// The reply frames a sender reads back from another process's window
// endpoint: the input is what the connection carries, cut into reads of
// any size. A sender takes a reply only when a whole, well-formed one has
// come; anything else ends the connection.
//
// Checked beyond "no crash": after the connection is declared broken no
// reply comes out of it, and no more replies come out than whole frames
// fit in the bytes read.
// fuzz-links: kivo_platform

#include "fuzz/support/fuzz_input.h"
#include "platform/wm_internal.h"

#include <sys/socket.h>
#include <unistd.h>

using kivo::fuzz::FuzzInput;
using namespace ce::wm;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    int fds[2];
    FUZZ_CHECK(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds) == 0);
    // Most inputs are sound replies with one field from the input, so that
    // the checks past the header are reached.
    std::vector<uint8_t> stream;
    while (!in.empty() && stream.size() < 4096) {
        const uint8_t mode = in.byte();
        if (mode < 128) {
            FrameHeader h { kFrameMagic, kFrameVersion, kFrameReply, sizeof(ReplyBody) };
            if (mode % 5 == 0)
                h.magic = in.u32();
            if (mode % 5 == 1)
                h.version = in.u16();
            if (mode % 5 == 2)
                h.kind = in.u16();
            if (mode % 5 == 3)
                h.bodyBytes = in.u32();
            ReplyBody b { int64_t(in.u32()), in.u32() % 8, in.u32(), };
            const auto* hp = reinterpret_cast<const uint8_t*>(&h);
            const auto* bp = reinterpret_cast<const uint8_t*>(&b);
            stream.insert(stream.end(), hp, hp + sizeof h);
            stream.insert(stream.end(), bp, bp + sizeof b);
        } else {
            const std::vector<uint8_t> raw = in.bytes(in.byte() % 48);
            stream.insert(stream.end(), raw.begin(), raw.end());
        }
    }
    ReplyReader reader;
    size_t written = 0, replies = 0;
    bool broken = false;
    FuzzInput cuts(data, size);
    while (written < stream.size() || !broken) {
        if (written < stream.size()) {
            const size_t n = std::min(stream.size() - written, size_t(1 + cuts.byte() % 64));
            FUZZ_CHECK(::send(fds[1], stream.data() + written, n, MSG_NOSIGNAL) == ssize_t(n));
            written += n;
        } else {
            ::close(fds[1]);
            fds[1] = -1;
        }
        for (;;) {
            const int got = reader.feed(fds[0]);
            if (got < 0) {
                broken = true;
                break;
            }
            if (got == 0)
                break;
            FUZZ_CHECK(!broken);
            ++replies;
        }
        if (broken)
            break;
    }
    FUZZ_CHECK(replies * (sizeof(FrameHeader) + sizeof(ReplyBody)) <= written);
    ::close(fds[0]);
    if (fds[1] >= 0)
        ::close(fds[1]);
    return 0;
}
