// The thread that brings Bluetooth back after the device resumes from
// suspend. Only one runs per device: the queue "MonitorSysPower" it reads
// can have one reader.
#pragma once

namespace kivo::bt {

constexpr unsigned kPowerStopMessage = 0x10001;

// Starts MonitorSysPowerThread.
void StartPowerMonitor();
// Writes the stop message to the queue and waits (bounded) for this
// process's monitor to end. Harmless when none runs.
void StopPowerMonitor();
// True while this process's monitor thread runs.
bool PowerMonitorRunning();

} // namespace kivo::bt
