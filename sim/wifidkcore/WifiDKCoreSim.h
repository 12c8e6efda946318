// Where the Wi-Fi support stand-in records its calls: one line per call,
// "102" for the start call and "135 <argument>" for the mode call.
#pragma once

#include "platform/paths.h"

#include <string>

namespace kivo::sim {

inline std::string wifiDkCoreCallLog()
{
    return ce::deviceRoot() + "/sim/wifidkcore/calls.txt";
}

} // namespace kivo::sim
