// The registered message names file (run/wm-messages): one name a line, the
// n-th line being id 0xC000 + n, appended to by every process of the device
// root. The input is the file as another process (or a damaged disk) left
// it; then names are looked up and registered against it, and ids turned
// back into names.
//
// Checked beyond "no crash": every id handed out is a registered one
// (0xC000..0xFFFF); a name registered twice gets the same id; an id handed
// out for a name gives that name back, up to case.
// fuzz-links: kivo_platform

#include "fuzz/support/device_root.h"
#include "fuzz/support/fuzz_input.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/wm.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

using kivo::fuzz::FuzzInput;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    kivo::fuzz::ensureDeviceRoot();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Ids are remembered per run folder (the file is only ever appended
    // to): a fresh root for each input keeps one input from deciding the
    // next one's ids. The root is taken from the environment once, so it is
    // set through the platform.
    static unsigned long serial = 0;
    const std::string base = kivo::fuzz::ensureDeviceRoot();
    const std::string root = base + "/names-" + std::to_string(++serial);
    ce::setDeviceRoot(root);
    FuzzInput in(data, size);
    const size_t fileBytes = in.below(uint32_t(size) + 1);
    const std::vector<uint8_t> file = in.bytes(fileBytes);
    std::ofstream(ce::runDirectory() + "/wm-messages", std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));

    for (int i = 0; i < 4 && !in.empty(); ++i) {
        const std::string name = in.text(in.byte() % 40);
        const ce::UINT id = ce::registerWindowMessage(name);
        if (id == 0)
            continue;
        FUZZ_CHECK(id >= 0xC000 && id <= 0xFFFF);
        FUZZ_CHECK(ce::registerWindowMessage(name) == id);
        FUZZ_CHECK(ce::detail::asciiLower(ce::getRegisteredMessageName(id)) == ce::detail::asciiLower(name));
    }
    ce::getRegisteredMessageName(ce::UINT(0xC000 + in.u16() % 0x4000));
    ce::setDeviceRoot(base);
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
    return 0;
}
