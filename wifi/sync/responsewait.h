// The blocking waits of the sync engine's HTTP traffic. They run in the GUI
// thread and keep it serving window messages and Qt events while they wait.
#pragma once

#include <QElapsedTimer>

namespace kivo::sync {

// How long an HTTP answer may take (the SOAP wait), or a download may go
// without progress.
constexpr int kResponseTimeoutMs = 60000;

// The limit in force: kResponseTimeoutMs unless a test shortened it.
int responseTimeoutMs();
// For tests only: a shorter limit; 0 restores kResponseTimeoutMs.
void setResponseTimeoutForTesting(int ms);

// Dispatches every window message pending for the calling thread.
void pumpMessages();

// Serves window messages and Qt events until `flag` is set or the clock
// shows more than responseTimeoutMs(). The caller starts the clock; slots
// run inside the wait may restart it. The thread sleeps in its event
// dispatcher between events and is woken by the events themselves (a
// reply's signals), by window messages arriving for the thread, and by the
// deadline. True when the flag was set.
bool waitForFlag(const bool& flag, QElapsedTimer& clock);

} // namespace kivo::sync
