// The outside Wi-Fi support library "WifiDKCore.dll", called by ordinal:
// 102 at start, 135 with 2 at start and with 0 before the program ends.
// Nothing it returns is used; a missing library or ordinal is only logged.
#pragma once

namespace kivowifi {

void wifiDkCoreStart(); // ordinal 102, no argument
void wifiDkCoreMode(int mode); // ordinal 135

} // namespace kivowifi
