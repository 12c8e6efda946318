// Debug output: one line to stderr, as the device's debug channel.
#pragma once

#include <string>

namespace ce {

void debugOutput(const std::string& line);
// printf-style convenience.
void debugPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));

} // namespace ce
