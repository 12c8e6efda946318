// Programs of this build started by tests, and waits with a bound.
#pragma once

#include <spawn.h>
#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace kivo::test {

// The folder of the running test program; the build puts every program there.
std::string binFolder();

// Starts the build's program `name` with args, this process's device root
// (KIVO_DEVICE_ROOT) and Qt's offscreen platform, the rest of the
// environment as it is, and the given file actions (may be null). The
// child's pid, or -1 when it could not be started.
pid_t spawnProgram(const std::string& name, const std::vector<std::string>& args,
    const posix_spawn_file_actions_t* actions);

// Checks pred every stepMs until it holds (true) or timeoutMs pass (false).
bool waitUntil(const std::function<bool()>& pred, int timeoutMs, int stepMs = 20);

// Pumps the calling thread's window messages until done() holds (true) or
// timeoutMs pass (false), waking as soon as a message comes.
bool pumpUntil(const std::function<bool()>& done, int timeoutMs = 10000);

} // namespace kivo::test
