// What the ANT-FS client of the round-trip tests serves: an empty directory
// of two entries (index 0) and a 1000-byte file (index 5).
#pragma once

#include "ant/senvoy_antfs.h"

#include <cstdint>
#include <vector>

namespace kivo::test {

inline std::vector<uint8_t> antfsClientDirectory()
{
    uint32_t size = 0;
    void* image = ANTFSDir_NewDirectory(2, 0, 0, &size);
    std::vector<uint8_t> bytes(static_cast<uint8_t*>(image), static_cast<uint8_t*>(image) + size);
    ANTFSDir_DeleteDirectory(image);
    return bytes;
}

inline std::vector<uint8_t> antfsClientFile5()
{
    std::vector<uint8_t> bytes(1000);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = uint8_t(i * 7 + 3);
    return bytes;
}

} // namespace kivo::test
