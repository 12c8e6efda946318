// A client's answer to the ANT-FS host's upload request, as the host reads it
// before it sends a block. Input: the answer's bytes.
// fuzz-links: senvoy_objects
#include "ant/antfs/antfs_host_engine.h"

#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // A copy of its own size, so reading past the answer is caught.
    std::vector<uint8_t> answer(data, data + size);
    senvoy::ANTFSUploadAnswer a;
    if (!senvoy::ANTFSHost_ReadUploadAnswer(answer.data(), answer.size(), &a))
        return 0;
    if (answer.size() < 3 || a.code != answer[2])
        std::abort(); // a code the bytes do not hold
    if (a.code == 0 && answer.size() < 24)
        std::abort(); // fields the bytes do not hold
    return 0;
}
