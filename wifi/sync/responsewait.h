// The blocking waits of the sync engine's HTTP traffic. They run in the GUI
// thread and keep it serving window messages and Qt events while they wait.
#pragma once

#include <QElapsedTimer>

namespace kivo::sync {

// How long an HTTP answer may take (the SOAP wait), or a download may go
// without progress.
constexpr int kResponseTimeoutMs = 60000;
// Sleep per pass of the SOAP wait and of the download waits.
constexpr int kSoapPumpSleepMs = 1;
constexpr int kDownloadPumpSleepMs = 5;

// The limit in force: kResponseTimeoutMs unless a test shortened it.
int responseTimeoutMs();
// For tests only: a shorter limit; 0 restores kResponseTimeoutMs.
void setResponseTimeoutForTesting(int ms);

// Dispatches every window message pending for the calling thread, then
// sleeps for the given milliseconds.
void pumpMessages(int sleepMs);

// Pumps window messages and processes Qt events until `flag` is set or the
// clock shows more than responseTimeoutMs(). The caller starts the clock;
// slots run inside the wait may restart it. True when the flag was set.
bool waitForFlag(const bool& flag, int sleepMs, QElapsedTimer& clock);

} // namespace kivo::sync
