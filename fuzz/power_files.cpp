// The power registration files (run/power/<pid>-<serial>: the events asked
// for, the queue's largest message, the queue's name) that every sender of a
// power notification reads, and the records those senders write to the
// registered queues. The input is one registration file, filed under this
// process's id so that it is read rather than cleared away; a reader of the
// queue "FuzzPower" stands where a registered program would.
//
// Checked beyond "no crash": a notification reaches at most the one
// registration there is; a record that arrives holds its header and a name
// that ends within it, and is never larger than the queue takes.
// fuzz-links: kivo_platform

#include "fuzz/support/device_root.h"
#include "fuzz/support/fuzz_input.h"
#include "platform/msgqueue.h"
#include "platform/paths.h"
#include "platform/power.h"

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>

using kivo::fuzz::FuzzInput;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    kivo::fuzz::ensureDeviceRoot();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    constexpr ce::DWORD kQueueMax = 120;
    static ce::HANDLE queue = [] {
        ce::MSGQUEUEOPTIONS o { sizeof(ce::MSGQUEUEOPTIONS), 0, 0, kQueueMax, 1 };
        return ce::createMsgQueue("FuzzPower", &o);
    }();
    FUZZ_CHECK(queue != nullptr);
    FuzzInput in(data, size);
    const ce::DWORD message = in.flag() ? ce::PBT_TRANSITION : in.u32();
    const ce::DWORD flags = in.u32();
    const std::string state = in.text(in.byte() % 80);
    std::string file;
    if (in.flag()) // a sound start, so that the queue is reached
        file = std::to_string(in.u32()) + "\t" + std::to_string(in.u16() % 300) + "\tFuzzPower";
    const std::vector<uint8_t> rest = in.rest();
    file.append(rest.begin(), rest.end());

    const std::string dir = ce::runDirectory() + "/power";
    std::filesystem::create_directories(dir);
    const std::string path = dir + "/" + std::to_string(::getpid()) + "-fuzz";
    std::ofstream(path, std::ios::binary | std::ios::trunc) << file;
    const int reached = ce::notifyPower(message, flags, state);
    FUZZ_CHECK(reached >= 0 && reached <= 1);
    std::remove(path.c_str());

    uint8_t buffer[kQueueMax];
    ce::DWORD got = 0, gotFlags = 0;
    while (ce::readMsgQueue(queue, buffer, sizeof buffer, &got, 0, &gotFlags)) {
        FUZZ_CHECK(got >= ce::POWER_BROADCAST_HEADER && got <= kQueueMax);
        ce::DWORD length = 0;
        std::memcpy(&length, buffer + 8, 4);
        FUZZ_CHECK(ce::POWER_BROADCAST_HEADER + length == got);
        if (length >= 2)
            FUZZ_CHECK(buffer[got - 1] == 0 && buffer[got - 2] == 0);
    }
    return 0;
}
