// An ANT-FS client in a process of its own, on a simulated radio of its own
// that joined the device root's air, for the two-process round trip.
//
// It opens the client's beacon on channel 0 and prints one line per client
// event ("event CODE PARAMETER"). Commands on stdin, one a line:
//   erase-response CODE   answer the host's erase request
//   rf                    print "rf N", the RF of its channel 0
//   quit                  close everything and end (exit code 0)
// Anything that fails prints "error: ..." and ends with exit code 1.
#include "ant/core/ant_library.h"
#include "ant/senvoy.h"
#include "ant/senvoy_antfs.h"

#include "platform/paths.h"
#include "sim/ant_radio/ant_radio_sim.h"
#include "tests/ant/antfs/antfs_round_trip.h"

#include <cstdio>
#include <iostream>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::mutex g_out;
std::vector<uint8_t> g_directory;
std::vector<uint8_t> g_file5;

void say(const std::string& line)
{
    std::lock_guard<std::mutex> lock(g_out);
    std::cout << line << std::endl;
}

void onEvent(uint32_t, uint32_t code, uintptr_t parameter, void*)
{
    say("event " + std::to_string(code) + " " + std::to_string(parameter));
}

void files(uint16_t index, uint32_t, uint32_t, const uint8_t** data, uint32_t* length)
{
    const std::vector<uint8_t>* f = index == 0 ? &g_directory : index == 5 ? &g_file5 : nullptr;
    *data = f ? f->data() : nullptr;
    *length = f ? uint32_t(f->size()) : 0;
}

int fail(const std::string& what)
{
    say("error: " + what);
    return 1;
}

} // namespace

int main()
{
    using kivo::sim::AntRadioSim;
    g_directory = kivo::test::antfsClientDirectory();
    g_file5 = kivo::test::antfsClientFile5();

    AntRadioSim sim;
    sim.install();
    if (!sim.joinAir())
        return fail("no place on the air");
    sim.setAnswerMode(AntRadioSim::AnswerMode::Immediate);
    if (ANTLIB_Init() != 1)
        return fail("the library did not start");
    uint32_t event = 0;
    if (!senvoy::ANTLIB_Manager()->waitEvent(20000, &event))
        return fail("the radio did not come up");
    sim.startClock();

    if (ANTFSClient_InitEx(nullptr, &onEvent) != 1)
        return fail("no client");
    ANTFSClient_SetGetFileDataCallback(&files);
    const ANTFSClientConfig c = kivo::test::antfsClientConfig();
    if (ANTFSClient_Config(&c) != 1 || ANTFSClient_Open(0) != 1 || ANTFSClient_OpenBeacon() != 1)
        return fail("the client did not open");

    int code = 0;
    for (std::string line; std::getline(std::cin, line);) {
        std::istringstream in(line);
        std::string cmd;
        in >> cmd;
        if (cmd == "quit")
            break;
        unsigned value = 0;
        if (cmd == "erase-response" && in >> value && value <= 0xFF) {
            if (ANTFSClient_SendEraseResponse(uint8_t(value)) != 1) {
                code = fail("the erase response was not taken");
                break;
            }
        } else if (cmd == "rf") {
            uint8_t rf = 0;
            sim.withModel([&](kivo::sim::AntRadioModel& m) { rf = m.channel(0).rf; });
            say("rf " + std::to_string(rf));
        } else {
            code = fail("unknown command: " + line);
            break;
        }
    }
    ANTFSClient_Close();
    ANTFSClient_DeinitEx();
    sim.stopClock();
    ANTLIB_Deinit();
    return code;
}
