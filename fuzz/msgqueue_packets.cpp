// Packets into a named message queue's read end from several writers: write
// ends of this layer (each with its own largest message, which may exceed the
// reader's) and raw connections that send whatever the input holds, as a
// process that does not speak the layer's packet format would.
//
// Checked: each writer's messages come out in the order written and never
// twice; every message a write accepted comes out when it fits the reader,
// and none that does not fit; a raw connection's junk cuts off only itself.
// fuzz-links: kivo_platform

#include "fuzz/support/device_root.h"
#include "fuzz/support/fuzz_input.h"
#include "platform/endpoint.h"
#include "platform/handles.h"
#include "platform/msgqueue.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cstring>
#include <map>
#include <set>
#include <vector>

using kivo::fuzz::FuzzInput;

namespace {

constexpr int kWriters = 4;
constexpr uint8_t kRawTag = 0xFF;
const char kQueueName[] = "FuzzPacketQueue";

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    kivo::fuzz::ensureDeviceRoot();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    const ce::DWORD readerMax = 5 + in.u16() % 300;
    ce::MSGQUEUEOPTIONS readOptions { 20, ce::MSGQUEUE_ALLOW_BROKEN, 0, readerMax, ce::TRUE_ };
    ce::HANDLE reader = ce::createMsgQueue(kQueueName, &readOptions);
    FUZZ_CHECK(reader != nullptr);

    ce::HANDLE writers[kWriters];
    ce::DWORD writerMax[kWriters];
    for (int w = 0; w < kWriters; ++w) {
        writerMax[w] = 5 + in.u16() % 400;
        ce::MSGQUEUEOPTIONS options { 20, 0, 0, writerMax[w], ce::FALSE_ };
        writers[w] = ce::createMsgQueue(kQueueName, &options);
        FUZZ_CHECK(writers[w] != nullptr);
    }
    // Raw connections to the read end's socket.
    int raw[2];
    for (int& fd : raw) {
        fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        sockaddr_un addr;
        std::string key = kQueueName;
        for (char& c : key)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        const socklen_t len = ce::detail::abstractAddress("mq", key, &addr);
        FUZZ_CHECK(fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&addr), len) == 0);
    }

    uint32_t nextSeq[kWriters] = {};
    std::map<std::pair<int, uint32_t>, uint32_t> expected; // (writer, seq) -> size, written and fitting
    std::map<int, int64_t> lastSeen; // writer -> last sequence read
    std::set<std::pair<int, uint32_t>> seen;

    auto readOne = [&](ce::DWORD bufferSize) {
        std::vector<uint8_t> buffer(bufferSize ? bufferSize : 1);
        ce::DWORD got = 0, flags = 7;
        if (!ce::readMsgQueue(reader, buffer.data(), ce::DWORD(buffer.size()), &got, 0, &flags)) {
            const ce::DWORD error = ce::getLastError();
            FUZZ_CHECK(error == ce::ERROR_TIMEOUT || error == ce::ERROR_INSUFFICIENT_BUFFER);
            return error != ce::ERROR_TIMEOUT;
        }
        FUZZ_CHECK(got <= buffer.size() && got <= readerMax && flags == 0);
        if (got == 0 || buffer[0] == kRawTag)
            return true; // only a raw connection sends these

        FUZZ_CHECK(buffer[0] < kWriters && got >= 5);
        uint32_t seq;
        std::memcpy(&seq, &buffer[1], 4);
        const auto id = std::make_pair(int(buffer[0]), seq);
        FUZZ_CHECK(seen.insert(id).second); // never twice
        auto it = lastSeen.find(id.first);
        FUZZ_CHECK(it == lastSeen.end() || int64_t(seq) > it->second); // writer's order kept
        lastSeen[id.first] = seq;
        const auto sent = expected.find(id);
        FUZZ_CHECK(sent != expected.end() && sent->second == got);
        for (size_t i = 5; i < got; ++i)
            FUZZ_CHECK(buffer[i] == uint8_t(seq + i));
        return true;
    };

    // Buffers large enough for every message the reader takes, unless the
    // script asks for a short one.
    std::set<std::pair<int, uint32_t>> maybeDropped;
    while (!in.empty()) {
        const uint8_t op = in.byte();
        switch (op % 4) {
        case 0:
        case 1: { // a write end writes message seq of a chosen size
            const int w = (op >> 2) % kWriters;
            const uint32_t bytes = 5 + in.u16() % 420;
            std::vector<uint8_t> msg(bytes);
            const uint32_t seq = nextSeq[w]++;
            msg[0] = uint8_t(w);
            std::memcpy(&msg[1], &seq, 4);
            for (uint32_t i = 5; i < bytes; ++i)
                msg[i] = uint8_t(seq + i);
            const ce::BOOL ok = ce::writeMsgQueue(writers[w], msg.data(), bytes, 0, 0);
            FUZZ_CHECK(ok || bytes > writerMax[w] || ce::getLastError() == ce::ERROR_TIMEOUT);
            FUZZ_CHECK(!ok || bytes <= writerMax[w]);
            if (ok && bytes <= readerMax)
                expected[{ w, seq }] = bytes;
            break;
        }
        case 2: { // a raw connection sends a packet of any bytes
            std::vector<uint8_t> packet = in.bytes(in.byte() % 64);
            if (packet.size() >= 9)
                packet[8] = kRawTag;
            const int fd = raw[(op >> 2) & 1];
            if (::send(fd, packet.data(), packet.size(), MSG_DONTWAIT | MSG_NOSIGNAL) < 0) {
                // The reader cut this connection off: fine.
            }
            break;
        }
        default: { // the reader takes one message, maybe with a short buffer
            const ce::DWORD buffer = (op >> 2) & 1 ? in.u16() % (readerMax + 1) : readerMax;
            if (buffer < readerMax) {
                // Whatever comes out next may be dropped for the short buffer.
                for (const auto& [id, bytes] : expected)
                    if (bytes > buffer)
                        maybeDropped.insert(id);
            }
            readOne(buffer);
            break;
        }
        }
    }
    while (readOne(readerMax)) {
    }

    for (const auto& [id, bytes] : expected)
        FUZZ_CHECK(seen.count(id) || maybeDropped.count(id));

    for (int fd : raw)
        ::close(fd);
    for (ce::HANDLE w : writers)
        ce::closeMsgQueue(w);
    ce::closeMsgQueue(reader);
    return 0;
}
