// Debug output: one line to stderr, as the device's debug channel.
#pragma once

#include <functional>
#include <string>

namespace ce {

void debugOutput(const std::string& line);
// printf-style convenience.
void debugPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Hooks see every line after it is written (for tests and tools), on the
// thread that writes it. add returns an id for remove.
int addDebugOutputHook(std::function<void(const std::string&)> hook);
void removeDebugOutputHook(int id);

} // namespace ce
