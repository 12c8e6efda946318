// The outside Wi-Fi support library, as a small stand-in: the program only
// calls ordinal 102 (no argument) and ordinal 135 (one integer) and relies on
// nothing they return, so each call just appends a line to a log file.
#include "sim/wifidkcore/WifiDKCoreSim.h"

#include "platform/loader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <string>

namespace {

void makeFolders(const std::string& file)
{
    for (size_t pos = 1; (pos = file.find('/', pos)) != std::string::npos; ++pos)
        ::mkdir(file.substr(0, pos).c_str(), 0755);
}

// One write of one whole line with O_APPEND, so lines from several processes
// never interleave.
void record(const std::string& line)
{
    std::string file = kivo::sim::wifiDkCoreCallLog();
    makeFolders(file);
    int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    std::string text = line + "\n";
    ssize_t n;
    do {
        n = ::write(fd, text.data(), text.size());
    } while (n < 0 && errno == EINTR);
    ::close(fd);
}

uint32_t startCall()
{
    record("102");
    return 1;
}

uint32_t modeCall(uint32_t mode)
{
    record("135 " + std::to_string(mode));
    return 1;
}

} // namespace

extern "C" {

__attribute__((visibility("default"))) KivoOrdinalEntry KivoOrdinalTable[] = {
    { 102, reinterpret_cast<void*>(&startCall) },
    { 135, reinterpret_cast<void*>(&modeCall) },
    { 0, nullptr },
};
}
