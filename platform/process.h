// Starting another program by its device path. A program on the device is a
// file under the device root (typically a link to a binary this project
// builds); ".exe" is optional in the name looked for.
#pragma once

#include <string>
#include <vector>

namespace ce {

// Starts the program with the given arguments and returns at once; true when
// it started. The child gets the same device root. Ended children are reaped.
bool launchProcess(const std::string& devicePath, const std::vector<std::string>& args = {});

} // namespace ce
