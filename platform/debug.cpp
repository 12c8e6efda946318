#include "platform/debug.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace ce {

void debugOutput(const std::string& line)
{
    static std::mutex m;
    std::lock_guard<std::mutex> lock(m);
    std::fprintf(stderr, "%s\n", line.c_str());
}

void debugPrintf(const char* format, ...)
{
    char buffer[2048];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    debugOutput(buffer);
}

} // namespace ce
