// The host API object behind the ANTFSHost_ exports: owns the engine,
// registers it on a channel and pumps its responses into a queue that the
// exports' event thread turns into events.
#pragma once

#include "ant/antfs/antfs_host_engine.h"

namespace senvoy {

class ANTFSHostApi;

// The host engine of the exports, or null.
ANTFSHostEngine* ANTFSHost_CurrentEngine();
// Closes the host before the library core goes away.
void ANTFSHost_LibraryClosing();

} // namespace senvoy
