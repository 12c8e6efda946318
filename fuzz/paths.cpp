// Device paths from anywhere (settings, window messages, files of the
// peers): any bytes, "\" and "/" mixed, NULs, "." and "..", also in the
// program directory that relative names are joined to.
//
// Checked: a resolved path, and any folder made for it, always lies inside
// the device root; it holds no NUL, no empty, "." or ".." component.
// fuzz-links: kivo_platform

#include "fuzz/support/device_root.h"
#include "fuzz/support/fuzz_input.h"
#include "platform/paths.h"

#include <filesystem>
#include <string>

using kivo::fuzz::FuzzInput;
namespace fs = std::filesystem;

namespace {

std::string g_root;

void checkInside(const std::string& path)
{
    if (path.empty())
        return;
    FUZZ_CHECK(path.find('\0') == std::string::npos);
    FUZZ_CHECK(path.compare(0, g_root.size(), g_root) == 0);
    FUZZ_CHECK(path.size() == g_root.size() || path[g_root.size()] == '/');
    size_t at = g_root.size();
    while (at < path.size()) {
        const size_t next = std::min(path.find('/', at + 1), path.size());
        const std::string component = path.substr(at + 1, next - at - 1);
        FUZZ_CHECK(!component.empty() && component != "." && component != "..");
        at = next;
    }
    // What exists of it, with every link followed, is inside the root too.
    std::error_code ec;
    fs::path existing(path);
    while (!existing.empty() && !fs::exists(existing, ec))
        existing = existing.parent_path();
    const std::string real = fs::weakly_canonical(existing, ec).string();
    FUZZ_CHECK(real.compare(0, g_root.size(), g_root) == 0);
}

// Mostly separators, dots and a few letters, so the fuzzer reaches deep
// paths; any byte may come through.
std::string devicePath(FuzzInput& in, size_t length, bool anyByte = true)
{
    static const char kAlphabet[] = "\\/..\\/.aB\0:";
    std::string s;
    for (size_t i = 0; i < length && !in.empty(); ++i) {
        const uint8_t b = in.byte();
        s += b < 128 || !anyByte ? kAlphabet[b % (sizeof kAlphabet - 1)] : char(b);
        if (!anyByte && s.back() == '\0')
            s.back() = 'a';
    }
    return s;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    kivo::fuzz::ensureDeviceRoot();
    g_root = fs::weakly_canonical(ce::deviceRoot()).string();
    ce::setDeviceRoot(g_root);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    const uint8_t mode = in.byte();
    // The program directory is the program's own constant: no NUL there.
    const std::string program = (mode & 1) ? devicePath(in, in.byte() % 32, false) : std::string("\\SystemDrive");
    ce::setProgramDirectory(program);
    const std::string path = devicePath(in, in.remaining());

    checkInside(ce::resolvePath(path));
    (void)ce::freeSpace(path);
    if (mode & 2) {
        checkInside(ce::resolvePath(path, true));
        checkInside(ce::ensureDirectory(path));
        // Whatever was made lies inside the root; start the next input afresh.
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(g_root, ec))
            fs::remove_all(entry.path(), ec);
    }
    return 0;
}
