// Messages from the air as the ANT-FS host takes them: beacons, channel
// events and a client's answer bursts (of any length), in every state of the
// engine. Input: a state byte, then messages as [data length][id][data].
// fuzz-links: senvoy_objects
#include "ant/antfs/antfs_host_engine.h"
#include "fuzz/support/antfs_air.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    kivo::fuzz::feedAir<senvoy::ANTFSHostEngine>(data, size, 12);
    return 0;
}
