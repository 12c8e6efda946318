// Debug output: one line to stderr, as the device's debug channel.
#pragma once

#include <functional>
#include <string>

namespace ce {

void debugOutput(const std::string& line);
// printf-style convenience.
void debugPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Sees every line before it is written (for tests and tools); empty to
// remove. Called on the thread that writes the line.
void setDebugOutputHook(std::function<void(const std::string&)> hook);

} // namespace ce
