// The window directory: the files other processes of the device root publish
// in run/wm, one per process ("<pid>-<start time>"), read by every lookup of
// a window by class or title. The input is one such file, filed under the
// name of a live process (this one's parent), so the content is read and
// parsed rather than cleared away as a dead process's. The first byte picks
// whether the file starts with a sound header and process line, so that the
// window lines are reached; the rest is the input as it is.
//
// Checked beyond "no crash": a file is taken whole or not at all, and every
// window it yields belongs to the process the file is filed under.
// fuzz-links: kivo_platform

#include "fuzz/support/device_root.h"
#include "fuzz/support/fuzz_input.h"
#include "platform/paths.h"
#include "platform/wm.h"
#include "platform/wm_internal.h"

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

using kivo::fuzz::FuzzInput;

namespace {

// Field 22 of /proc/<pid>/stat: the start time the directory names files by.
std::string startTime(pid_t pid)
{
    std::ifstream f("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    std::istringstream rest(text.substr(text.rfind(')') + 2));
    std::string field;
    for (int i = 3; i <= 22 && rest >> field; ++i) { }
    return field;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    kivo::fuzz::ensureDeviceRoot();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    const pid_t owner = ::getppid();
    const std::string start = startTime(owner);
    const std::string dir = ce::runDirectory() + "/wm";
    ::mkdir(dir.c_str(), 0755);
    const std::string path = dir + "/" + std::to_string(owner) + "-" + start;
    std::string content;
    if (in.flag())
        content = "kivo-wm 1\nprocess " + std::to_string(owner) + " " + start + "\n";
    const std::vector<uint8_t> rest = in.rest();
    content.append(rest.begin(), rest.end());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;

    for (const ce::wm::WindowInfo& w : ce::wm::otherProcessesWindows())
        FUZZ_CHECK(ce::wm::handlePid(w.hwnd) == uint32_t(owner));
    ce::findWindow("Fuzz", nullptr);
    std::remove(path.c_str());
    return 0;
}
