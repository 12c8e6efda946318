// The foreground window of the device root: the last window brought to the
// front by any process, kept in one small file of the run folder so every
// process sees the same one.
#include "platform/paths.h"
#include "platform/wm_internal.h"

#include <cstdio>
#include <fstream>
#include <mutex>
#include <string>

#include <unistd.h>

namespace ce {

namespace wm {

namespace {

std::mutex g_mutex; // threads of this process; rename keeps other processes' reads whole

std::string foregroundFile()
{
    return runDirectory() + "/wm-foreground";
}

} // namespace

void noteForeground(HWND window)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    const std::string path = foregroundFile();
    const std::string temp = path + "." + std::to_string(::getpid()) + ".tmp";
    std::ofstream out(temp, std::ios::trunc);
    out << std::hex << handleValue(window) << "\n";
    // Only a record written whole replaces the last one: on a full device
    // root the write fails at the close, and an empty file would lose it.
    out.close();
    if (out.fail() || std::rename(temp.c_str(), path.c_str()) != 0)
        std::remove(temp.c_str());
}

} // namespace wm

HWND getForegroundWindow()
{
    uint64_t value = 0;
    {
        std::lock_guard<std::mutex> lock(wm::g_mutex);
        std::ifstream in(wm::foregroundFile());
        if (!(in >> std::hex >> value))
            return nullptr;
    }
    HWND window = reinterpret_cast<HWND>(uintptr_t(value));
    // A window that is gone leaves no foreground window behind.
    return value != 0 && isWindow(window) ? window : nullptr;
}

} // namespace ce
