// One power-meter page from the radio to the caller's callback, in one
// process: the simulated radio queues the frame, the port's reader hands its
// bytes to the framer, the receive thread dispatches the message to the
// power-meter profile, which decodes it, works out power and cadence and
// calls the sensor callback. Its floor makes the same hops between threads
// the plainest way, with the same parse and the profile's own decode and
// report (bench_ant_hops.h). A page should reach the callback well within a
// millisecond.
#include "ant/core/ant_framer.h"
#include "ant/core/ant_library.h"
#include "ant/core/ant_sensor_profile.h"
#include "ant/profiles/pwr_sensor.h"
#include "ant/senvoy.h"
#include "bench/bench_ant_hops.h"

#include "sim/ant_radio/ant_radio_sim.h"

#include <benchmark/benchmark.h>

#include <condition_variable>
#include <mutex>
#include <vector>

namespace {

using kivo::sim::AntRadioSim;

using kivo::bench::Delivered;
using kivo::bench::onRecord;

// A crank-torque page with a new event each time: every one computes power.
std::vector<uint8_t> crankPage(uint32_t n)
{
    const uint16_t period = uint16_t(n * 1365);
    const uint16_t torque = uint16_t(n * 640);
    return { 0x12, uint8_t(n), uint8_t(n), 90, uint8_t(period), uint8_t(period >> 8), uint8_t(torque),
        uint8_t(torque >> 8) };
}

// The broadcast message carrying it: the channel, then the page.
std::vector<uint8_t> crankMessage(uint32_t n)
{
    std::vector<uint8_t> data { 0 };
    const std::vector<uint8_t> page = crankPage(n);
    data.insert(data.end(), page.begin(), page.end());
    return data;
}

void PwrPageToCallback(benchmark::State& state)
{
    AntRadioSim sim;
    Delivered delivered;
    if (!kivo::bench::openSensorOnRadio(state, sim, delivered, &ANTPWR_Connect))
        return;
    uint32_t n = 1;
    for (auto _ : state) {
        if (!delivered.sendAndAwait([&] { return sim.injectFrame(0x4E, crankMessage(n++)); })) {
            state.SkipWithError("the radio took no frame");
            break;
        }
    }
    ANTSENSOR_Deinit();
    ANTLIB_Deinit();
}
BENCHMARK(PwrPageToCallback)->UseRealTime();

void PwrPageToCallback_Floor(benchmark::State& state)
{
    Delivered delivered;
    senvoy::ANTSensor_SetCallback(&onRecord, &delivered);
    senvoy::PWRSensor pwr;
    pwr.attach(nullptr, 0);
    {
        kivo::bench::PlainPageHops hops([&](const uint8_t* message, uint16_t length) {
            if (message[0] == 0x4E && length == 9)
                pwr.receivePage(message + 2);
        });
        uint32_t n = 1;
        for (auto _ : state) {
            if (!delivered.sendAndAwait([&] { return hops.send(AntRadioSim::receivedFrame(0x4E, crankMessage(n++))); })) {
                state.SkipWithError("the queue took no chunk");
                break;
            }
        }
    }
    senvoy::ANTSensor_SetCallback(nullptr, nullptr);
}
BENCHMARK(PwrPageToCallback_Floor)->UseRealTime();

} // namespace
