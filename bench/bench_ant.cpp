// The ANT receive path: every radio byte goes through the framer's parser,
// and every ANT-FS block through CRC-16.
#include "ant/core/ant_framer.h"
#include "ant/core/checksums.h"

#include <benchmark/benchmark.h>

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

void FramerParseAndRead(benchmark::State& state)
{
    senvoy::ANTFramer framer;
    framer.setPort(nullptr);
    const std::vector<uint8_t> stream = broadcastStream(int(state.range(0)));
    uint8_t message[64];
    for (auto _ : state) {
        for (uint8_t b : stream)
            framer.onByte(b);
        while (framer.readMessage(message, sizeof message) < 65534) { }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(stream.size()));
}
BENCHMARK(FramerParseAndRead)->Arg(64)->Arg(4096);

void Crc16(benchmark::State& state)
{
    std::vector<uint8_t> block(size_t(state.range(0)), 0x5A);
    for (auto _ : state)
        benchmark::DoNotOptimize(senvoy::Crc16_Calc(block.data(), block.size()));
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}
BENCHMARK(Crc16)->Arg(512)->Arg(65536);

} // namespace
