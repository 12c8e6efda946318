// One heart-rate page from the radio to the caller's callback, in one
// process: the simulated radio queues the frame, the port's reader hands its
// bytes to the framer, the receive thread dispatches the message to the
// heart-rate profile, which decodes it and calls the sensor callback. Its
// floor makes the same hops between threads the plainest way, with the same
// parse and the profile's own decode and report (bench_ant_hops.h).
#include "ant/core/ant_framer.h"
#include "ant/core/ant_library.h"
#include "ant/core/ant_sensor_profile.h"
#include "ant/profiles/hrm_sensor.h"
#include "ant/senvoy.h"
#include "bench/bench_ant_hops.h"

#include "sim/ant_radio/ant_radio_sim.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace {

using kivo::sim::AntRadioSim;

using kivo::bench::Delivered;
using kivo::bench::onRecord;

// A page with a new beat each time, so each one is reported.
std::vector<uint8_t> page(uint32_t n)
{
    uint16_t time = uint16_t(n * 853);
    return { 0, uint8_t(0x04 | ((n / 4) & 1) << 7), 0xFF, uint8_t(time - 853), uint8_t((time - 853) >> 8),
        uint8_t(time), uint8_t(time >> 8), uint8_t(n), 72 };
}

void HrmPageToCallback(benchmark::State& state)
{
    AntRadioSim sim;
    Delivered delivered;
    if (!kivo::bench::openSensorOnRadio(state, sim, delivered, &ANTHRM_Connect))
        return;
    uint32_t n = 1;
    sim.injectFrame(0x4E, page(n++)); // the first page only starts the decoder
    for (auto _ : state) {
        if (!delivered.sendAndAwait([&] { return sim.injectFrame(0x4E, page(n++)); })) {
            state.SkipWithError("the radio took no frame");
            break;
        }
    }
    ANTSENSOR_Deinit();
    ANTLIB_Deinit();
}
BENCHMARK(HrmPageToCallback)->UseRealTime();

void HrmPageToCallback_Floor(benchmark::State& state)
{
    Delivered delivered;
    senvoy::ANTSensor_SetCallback(&onRecord, &delivered);
    senvoy::HRMSensor hrm;
    hrm.attach(nullptr, 0);
    uint32_t n = 1;
    hrm.receivePage(page(n++).data() + 1); // the first page only starts the decoder
    {
        kivo::bench::PlainPageHops hops([&](const uint8_t* message, uint16_t length) {
            if (message[0] == 0x4E && length == 9)
                hrm.receivePage(message + 2);
        });
        for (auto _ : state) {
            if (!delivered.sendAndAwait([&] { return hops.send(AntRadioSim::receivedFrame(0x4E, page(n++))); })) {
                state.SkipWithError("the queue took no chunk");
                break;
            }
        }
    }
    senvoy::ANTSensor_SetCallback(nullptr, nullptr);
}
BENCHMARK(HrmPageToCallback_Floor)->UseRealTime();

} // namespace
