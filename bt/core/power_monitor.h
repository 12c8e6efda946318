// The thread that brings Bluetooth back after the device resumes from
// suspend. Only one runs per device: the queue "MonitorSysPower" it reads
// can have one reader.
#pragma once

#include "platform/types.h"

namespace kivo::bt {

constexpr unsigned kPowerStopMessage = 0x10001;

// What one record of the monitor's queue asks for.
enum class PowerRecord {
    None, // no record came (the wait ran out or the queue is gone)
    Stop, // the stop message
    Resume, // a transition into a resumed state: Bluetooth is brought back
    Other, // anything else, an oversized record included: ignored
};
// Reads the next record of the monitor's queue, waiting up to timeoutMs.
PowerRecord ReadPowerRecord(ce::HANDLE queue, ce::DWORD timeoutMs);

// Starts MonitorSysPowerThread.
void StartPowerMonitor();
// Writes the stop message to the queue and waits (bounded) for this
// process's monitor to end. Harmless when none runs.
void StopPowerMonitor();
// True while this process's monitor thread runs.
bool PowerMonitorRunning();

} // namespace kivo::bt
