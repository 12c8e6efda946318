// BravikConfig.dat, the Bluetooth manager's six settings, as any bytes.
//
// Checked: a file of a whole record (or more) gives its first 24 bytes, a
// shorter one the defaults; what the manager then saves reads back the same.
// fuzz-links: kivo_bt

#include "bt/core/bt_manager.h"
#include "fuzz/support/device_root.h"
#include "fuzz/support/fuzz_input.h"
#include "platform/paths.h"

#include <cstring>
#include <fstream>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    kivo::fuzz::ensureDeviceRoot();
    ce::setProgramDirectory("\\SystemDrive\\Falmo\\program\\bt");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using kivo::bt::BtConfigRecord;
    const std::string path = ce::resolvePath(kivo::bt::ConfigurationPath(), true);
    {
        std::ofstream f(path, std::ios::binary | std::ios::trunc);
        f.write(reinterpret_cast<const char*>(data), std::streamsize(size));
        FUZZ_CHECK(f.good());
    }
    BtConfigRecord read;
    BtConfigRecord expected;
    if (size >= sizeof expected)
        std::memcpy(&expected, data, sizeof expected);
    FUZZ_CHECK(kivo::bt::LoadConfiguration(&read) == (size >= sizeof expected ? 1 : 0));
    FUZZ_CHECK(std::memcmp(&read, &expected, sizeof read) == 0);

    FUZZ_CHECK(kivo::bt::SaveConfiguration(&read) == 1);
    BtConfigRecord again;
    kivo::bt::LoadConfiguration(&again);
    FUZZ_CHECK(std::memcmp(&read, &again, sizeof read) == 0);
    return 0;
}
