// A directory image as a host receives it from a client: checked whole,
// counted, read by position and by index, and searched for activity files.
// fuzz-links: senvoy_objects
#include "ant/antfs/antfs_directory.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace senvoy;
    (void)ANTFSDir_IsWhole(data, size);
    uint32_t n = ANTFSDir_EntryCount(data, size);
    ANTFSDirEntry e;
    for (uint32_t p = 0; p <= n && p < 4096; ++p)
        (void)ANTFSDir_EntryAt(data, size, p, &e);
    (void)ANTFSDir_EntryByIndex(data, size, size > 17 ? uint16_t(data[16] | (data[17] << 8)) : 0, &e);
    (void)ANTFSDir_EntryByIndex(data, size, 0xFFFF, &e);
    (void)ANTFSDir_ActivityFiles(data, size);
    return 0;
}
