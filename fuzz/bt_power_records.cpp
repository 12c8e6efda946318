// The power records KivoBT's power monitor reads from its queue: written
// there raw by a writer that takes larger messages than the monitor's end
// does (any length, any bytes), or sent as power notifications (any of the
// device's events, any state flags and state name) to the queue registered
// for them, as the monitor registers it. Each record is read back the way the monitor reads.
//
// Checked: every record that was written or reached the queue is read once,
// never lost and never read twice, an oversized one included (dropped without
// ending the monitor); only the stop message stops, and only a transition
// into a resumed state brings Bluetooth back.
// fuzz-links: kivo_bt

#include "bt/core/power_monitor.h"
#include "fuzz/support/device_root.h"
#include "fuzz/support/fuzz_input.h"
#include "platform/msgqueue.h"
#include "platform/power.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

using kivo::bt::PowerRecord;
using kivo::fuzz::FuzzInput;

namespace {

constexpr ce::DWORD kMonitorMax = 44; // the monitor's largest record
constexpr size_t kMaxRecords = 16;

// What a record of these bytes must be read as.
PowerRecord expected(const std::vector<uint8_t>& record)
{
    if (record.size() > kMonitorMax)
        return PowerRecord::Other;
    uint8_t head[8] = {};
    std::memcpy(head, record.data(), std::min(record.size(), sizeof head));
    ce::DWORD first = 0, flags = 0;
    std::memcpy(&first, head, 4);
    std::memcpy(&flags, head + 4, 4);
    if (first == kivo::bt::kPowerStopMessage)
        return PowerRecord::Stop;
    if (first == ce::PBT_TRANSITION && flags >= 0x200000 && flags <= 0x20FFFF)
        return PowerRecord::Resume;
    return PowerRecord::Other;
}

ce::HANDLE openEnd(bool read)
{
    ce::MSGQUEUEOPTIONS o { sizeof(ce::MSGQUEUEOPTIONS), 0, 0, read ? kMonitorMax : 220, read };
    // A name of this process's own: a registration an earlier run left in
    // the device root must not reach this run's queue.
    static const std::string name = "FuzzMonitorSysPower-" + std::to_string(::getpid());
    return ce::createMsgQueue(name.c_str(), &o);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    kivo::fuzz::ensureDeviceRoot();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static ce::HANDLE reader = openEnd(true);
    static ce::HANDLE writer = openEnd(false);
    static ce::HANDLE notifications = ce::requestPowerNotifications(reader, ce::PBT_TRANSITION);
    FUZZ_CHECK(reader && writer && notifications);

    FuzzInput in(data, size);
    size_t sent = 0;
    std::vector<PowerRecord> wanted;
    while (!in.empty() && sent < kMaxRecords) {
        if (in.flag()) {
            std::vector<uint8_t> record = in.bytes(1 + in.below(100));
            if (ce::writeMsgQueue(writer, record.data(), ce::DWORD(record.size()), 0, 0)) {
                wanted.push_back(expected(record));
                ++sent;
            }
        } else {
            static const ce::DWORD kEvents[] = { ce::PBT_TRANSITION, ce::PBT_RESUME, ce::PBT_POWERSTATUSCHANGE,
                ce::PBT_POWERINFOCHANGE };
            const ce::DWORD event = kEvents[in.byte() % 4];
            const ce::DWORD flags = in.flag() ? 0x200000 | in.u16() : in.u32();
            const std::string state = in.text(in.byte() % 40);
            const int reached = ce::notifyPower(event, flags, state);
            FUZZ_CHECK(reached >= 0 && reached <= 1);
            if (reached == 1) {
                const bool resumed = flags >= 0x200000 && flags <= 0x20FFFF;
                wanted.push_back(event == ce::PBT_TRANSITION && resumed ? PowerRecord::Resume : PowerRecord::Other);
                ++sent;
            }
            FUZZ_CHECK(reached == (event == ce::PBT_TRANSITION ? 1 : 0));
        }
    }

    size_t taken = 0;
    for (PowerRecord got; (got = kivo::bt::ReadPowerRecord(reader, 0)) != PowerRecord::None; ++taken) {
        FUZZ_CHECK(taken < sent);
        FUZZ_CHECK(got == wanted[taken]);
    }
    FUZZ_CHECK(taken == sent);
    return 0;
}
