// A client's answer to the ANT-FS host's download request, as the host reads
// it before taking its block. Input: a flags byte (bit 0: legacy mode), the
// size a legacy request asked for (u16), then the answer's bytes.
// fuzz-links: senvoy_objects
#include "ant/antfs/antfs_host_engine.h"

#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    const bool legacy = data[0] & 1;
    const uint32_t asked = uint32_t(data[1] | data[2] << 8);
    // A copy of its own size, so reading past the answer is caught.
    std::vector<uint8_t> answer(data + 3, data + size);
    senvoy::ANTFSDownloadAnswer a;
    if (!senvoy::ANTFSHost_ReadDownloadAnswer(answer.data(), answer.size(), legacy, asked, &a) || a.code != 0)
        return 0;
    if (uint64_t(a.header) + a.length > answer.size())
        std::abort(); // a block the bytes do not hold
    volatile uint8_t sum = 0;
    for (uint32_t i = 0; i < a.length; ++i)
        sum = uint8_t(sum + answer[a.header + i]);
    return 0;
}
