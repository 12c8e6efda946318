#include "wifi/core/flow_dkcore.h"

#include "platform/debug.h"
#include "platform/loader.h"

#include <cstdint>
#include <mutex>

namespace kivowifi {

namespace {

// Loaded on first use and kept for the life of the program.
void* ordinal(uint16_t number)
{
    static std::mutex mutex;
    static ce::HMODULE library = nullptr;
    static bool tried = false;
    std::lock_guard<std::mutex> lock(mutex);
    if (!tried) {
        tried = true;
        library = ce::loadLibrary("WifiDKCore.dll");
        if (!library)
            ce::debugOutput("KivoWiFi: WifiDKCore.dll not found");
    }
    if (!library)
        return nullptr;
    void* fn = ce::getProcAddressOrdinal(library, number);
    if (!fn)
        ce::debugPrintf("KivoWiFi: WifiDKCore.dll has no ordinal %u", unsigned(number));
    return fn;
}

} // namespace

void wifiDkCoreStart()
{
    if (auto fn = reinterpret_cast<uint32_t (*)()>(ordinal(102)))
        fn();
}

void wifiDkCoreMode(int mode)
{
    if (auto fn = reinterpret_cast<uint32_t (*)(uint32_t)>(ordinal(135)))
        fn(uint32_t(mode));
}

} // namespace kivowifi
