#include "bt/core/bt_sdk.h"

#include "platform/debug.h"

#include <map>
#include <mutex>

namespace kivo::bt {

namespace {

// A stand-in for each typed export: fails without touching its arguments.
template <typename F>
struct Failing;
template <typename R, typename... A>
struct Failing<R (*)(A...)> {
    static R call(A...) { return R(-1); }
};

std::mutex g_mutex;
ce::HMODULE g_module = nullptr;
std::map<std::string, void*> g_entries;

void resetEntries()
{
#define KIVO_BTSDK_RESET(name, result, params) BtSdk::name = &Failing<result(*) params>::call;
    BCESDK_TYPED_EXPORTS(KIVO_BTSDK_RESET)
#undef KIVO_BTSDK_RESET
    g_entries.clear();
}

} // namespace

#define KIVO_BTSDK_DEFINE(name, result, params) result(*BtSdk::name) params = &Failing<result(*) params>::call;
BCESDK_TYPED_EXPORTS(KIVO_BTSDK_DEFINE)
#undef KIVO_BTSDK_DEFINE

int BtSdk::Load(const std::string& library)
{
    std::lock_guard<std::mutex> l(g_mutex);
    if (g_module) {
        ce::freeLibrary(g_module);
        g_module = nullptr;
    }
    resetEntries();
    ce::HMODULE module = ce::loadLibrary(library);
    if (!module) {
        ce::debugOutput("***[BTManager] " + library + " cannot be loaded\r\n");
        return 0;
    }
    std::map<std::string, void*> entries;
    static const char* const kNames[] = {
#define KIVO_BTSDK_NAME(name) #name,
        BCESDK_EXPORTS(KIVO_BTSDK_NAME)
#undef KIVO_BTSDK_NAME
    };
    static_assert(sizeof kNames / sizeof kNames[0] == kBcesdkExportCount, "the library has 121 exports");
    for (const char* name : kNames) {
        void* p = ce::getProcAddress(module, (std::string("BCESDK_") + name).c_str());
        if (!p) {
            ce::debugOutput(std::string("***[BTManager] BCESDK_") + name + " is missing\r\n");
            ce::freeLibrary(module);
            return 0;
        }
        entries[name] = p;
    }
    g_module = module;
    g_entries = std::move(entries);
#define KIVO_BTSDK_TAKE(name, result, params)                                                                        \
    BtSdk::name = reinterpret_cast<result(*) params>(g_entries[#name]);
    BCESDK_TYPED_EXPORTS(KIVO_BTSDK_TAKE)
#undef KIVO_BTSDK_TAKE
    return 1;
}

void BtSdk::Free()
{
    std::lock_guard<std::mutex> l(g_mutex);
    resetEntries();
    if (g_module)
        ce::freeLibrary(g_module);
    g_module = nullptr;
}

bool BtSdk::IsLoaded()
{
    std::lock_guard<std::mutex> l(g_mutex);
    return g_module != nullptr;
}

void* BtSdk::Entry(const std::string& name)
{
    std::lock_guard<std::mutex> l(g_mutex);
    auto it = g_entries.find(name);
    return it == g_entries.end() ? nullptr : it->second;
}

} // namespace kivo::bt
