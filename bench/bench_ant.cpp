// The ANT receive path: every radio byte goes through the framer's parser,
// and every ANT-FS block through CRC-16, each beside the plain way.
#include "ant/core/ant_framer.h"
#include "ant/core/checksums.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// A stream of 8-byte broadcast frames on channel 0, as a sensor sends them.
std::vector<uint8_t> broadcastStream(int frames)
{
    std::vector<uint8_t> out;
    for (int f = 0; f < frames; ++f) {
        uint8_t frame[13] = { 0xA4, 9, 0x4E, 0, 1, 2, 3, 4, 5, 6, 7, uint8_t(f), 0 };
        frame[12] = senvoy::Checksum_Xor(frame, 12);
        out.insert(out.end(), frame, frame + 13);
    }
    return out;
}

// The radio's bytes arrive in queue messages of up to 41 bytes, each handed
// to the framer as one chunk.
void FramerParseAndRead(benchmark::State& state)
{
    senvoy::ANTFramer framer;
    framer.setPort(nullptr);
    const std::vector<uint8_t> stream = broadcastStream(int(state.range(0)));
    uint8_t message[64];
    for (auto _ : state) {
        for (size_t at = 0; at < stream.size(); at += 41)
            framer.onBytes(stream.data() + at, uint32_t(std::min<size_t>(41, stream.size() - at)));
        while (framer.readMessage(message, sizeof message) < 65534) { }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(stream.size()));
}
BENCHMARK(FramerParseAndRead)->Arg(64)->Arg(4096);

// The bare work on the same bytes: find each frame, check its checksum and
// copy its message out.
void FramerParseAndRead_Floor(benchmark::State& state)
{
    const std::vector<uint8_t> stream = broadcastStream(int(state.range(0)));
    uint8_t message[64];
    for (auto _ : state) {
        size_t good = 0;
        for (size_t at = 0; at + 4 <= stream.size();) {
            if (stream[at] != 0xA4) {
                ++at;
                continue;
            }
            const size_t n = stream[at + 1];
            if (at + n + 4 > stream.size())
                break;
            uint8_t x = 0;
            for (size_t i = 0; i < n + 3; ++i)
                x ^= stream[at + i];
            if (x == stream[at + n + 3]) {
                std::memcpy(message, &stream[at + 2], n + 1);
                ++good;
            }
            at += n + 4;
        }
        benchmark::DoNotOptimize(good);
        benchmark::DoNotOptimize(message);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(stream.size()));
}
BENCHMARK(FramerParseAndRead_Floor)->Arg(64)->Arg(4096);

void Crc16(benchmark::State& state)
{
    std::vector<uint8_t> block(size_t(state.range(0)), 0x5A);
    for (auto _ : state)
        benchmark::DoNotOptimize(senvoy::Crc16_Calc(block.data(), block.size()));
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}
BENCHMARK(Crc16)->Arg(512)->Arg(65536);

// The same CRC (reflected, polynomial 0xA001, starting at 0) the common way:
// a table of 256 entries, one look-up per byte.
struct Crc16Table {
    uint16_t entry[256];
    constexpr Crc16Table()
        : entry()
    {
        for (int i = 0; i < 256; ++i) {
            uint16_t c = uint16_t(i);
            for (int bit = 0; bit < 8; ++bit)
                c = uint16_t(c & 1 ? (c >> 1) ^ 0xA001 : c >> 1);
            entry[i] = c;
        }
    }
};
constexpr Crc16Table kCrc16Table;

uint16_t tableCrc16(const uint8_t* bytes, size_t n)
{
    uint16_t c = 0;
    for (size_t i = 0; i < n; ++i)
        c = uint16_t((c >> 8) ^ kCrc16Table.entry[(c ^ bytes[i]) & 0xFF]);
    return c;
}

void Crc16_Floor(benchmark::State& state)
{
    std::vector<uint8_t> block(size_t(state.range(0)), 0x5A);
    if (tableCrc16(block.data(), block.size()) != senvoy::Crc16_Calc(block.data(), block.size())) {
        state.SkipWithError("the table CRC differs");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(tableCrc16(block.data(), block.size()));
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}
BENCHMARK(Crc16_Floor)->Arg(512)->Arg(65536);

} // namespace
