#include "platform/debug.h"

#include <cstdarg>
#include <cstdio>
#include <functional>
#include <map>
#include <mutex>

namespace ce {

namespace {

std::mutex& outputMutex()
{
    static std::mutex* m = new std::mutex; // lines may be written during exit
    return *m;
}

using Hooks = std::map<int, std::function<void(const std::string&)>>;

Hooks& hooks()
{
    static auto* h = new Hooks;
    return *h;
}

int g_nextHook = 1;

} // namespace

int addDebugOutputHook(std::function<void(const std::string&)> hook)
{
    std::lock_guard<std::mutex> lock(outputMutex());
    int id = g_nextHook++;
    hooks()[id] = std::move(hook);
    return id;
}

void removeDebugOutputHook(int id)
{
    std::lock_guard<std::mutex> lock(outputMutex());
    hooks().erase(id);
}

void debugOutput(const std::string& line)
{
    Hooks now;
    {
        std::lock_guard<std::mutex> lock(outputMutex());
        std::fprintf(stderr, "%s\n", line.c_str());
        now = hooks();
    }
    for (auto& [id, h] : now)
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
