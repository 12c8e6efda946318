// BravikConfig.dat, the Bluetooth manager's six settings, as any bytes.
//
// Checked: a file of a whole record (or more) gives its first 24 bytes, a
// shorter one the defaults; a record the manager saves reads back the same.
// fuzz-links: kivo_bt

#include "bt/core/bt_manager.h"
#include "fuzz/support/device_root.h"
#include "fuzz/support/fuzz_input.h"
#include "platform/paths.h"

#include <cstring>
#include <string>

#include <fcntl.h>
#include <unistd.h>

namespace {

// The file's place, resolved (and its folders made) once per process.
const std::string& configurationFile()
{
    static const std::string path = ce::resolvePath(kivo::bt::ConfigurationPath(), true);
    return path;
}

// The input becomes the file's contents. Written over and cut to its size,
// not emptied first: a file emptied and written again is flushed to the disk
// when it is closed, on most Linux file systems.
bool writeInput(const uint8_t* data, size_t size)
{
    const int fd = ::open(configurationFile().c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n <= 0)
            break;
        done += size_t(n);
    }
    const bool ok = done == size && ::ftruncate(fd, off_t(size)) == 0;
    return ::close(fd) == 0 && ok;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    kivo::fuzz::ensureDeviceRoot();
    ce::setProgramDirectory("\\SystemDrive\\Falmo\\program\\bt");
    configurationFile();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using kivo::bt::BtConfigRecord;
    FUZZ_CHECK(writeInput(data, size));
    BtConfigRecord read;
    BtConfigRecord expected;
    if (size >= sizeof expected)
        std::memcpy(&expected, data, sizeof expected);
    FUZZ_CHECK(kivo::bt::LoadConfiguration(&read) == (size >= sizeof expected ? 1 : 0));
    FUZZ_CHECK(std::memcmp(&read, &expected, sizeof read) == 0);

    // A whole record, and no more, is saved and read back. The save takes
    // the same way whatever the record holds, and each one waits for the
    // disk (the file is flushed before it replaces the old): saved at every
    // input, the target ran at tens of inputs a second on a busy disk.
    if (size == sizeof expected) {
        FUZZ_CHECK(kivo::bt::SaveConfiguration(&read) == 1);
        BtConfigRecord again;
        kivo::bt::LoadConfiguration(&again);
        FUZZ_CHECK(std::memcmp(&read, &again, sizeof read) == 0);
    }
    return 0;
}
