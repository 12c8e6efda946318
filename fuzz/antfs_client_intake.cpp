// Messages from the air as the ANT-FS client takes them: channel events,
// acknowledged data and burst packets from a host, in every state of the
// engine. Input: a state byte, then messages as [data length][id][data].
// fuzz-links: senvoy_objects
#include "ant/antfs/antfs_client_engine.h"
#include "fuzz/support/antfs_air.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    kivo::fuzz::feedAir<senvoy::ANTFSClientEngine>(data, size, 14);
    return 0;
}
