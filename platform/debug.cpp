#include "platform/debug.h"

#include <cstdarg>
#include <cstdio>
#include <functional>
#include <mutex>

namespace ce {

namespace {

std::mutex& outputMutex()
{
    static std::mutex* m = new std::mutex; // lines may be written during exit
    return *m;
}

std::function<void(const std::string&)>& hook()
{
    static auto* h = new std::function<void(const std::string&)>;
    return *h;
}

} // namespace

void setDebugOutputHook(std::function<void(const std::string&)> h)
{
    std::lock_guard<std::mutex> lock(outputMutex());
    hook() = std::move(h);
}

void debugOutput(const std::string& line)
{
    std::function<void(const std::string&)> h;
    {
        std::lock_guard<std::mutex> lock(outputMutex());
        std::fprintf(stderr, "%s\n", line.c_str());
        h = hook();
    }
    if (h)
        h(line);
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
