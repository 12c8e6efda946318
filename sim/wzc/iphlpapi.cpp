// The export of the simulated IP helper (bin/iphlpapi.so, loaded as
// "iphlpapi.dll"): the adapters of the simulated world.

#include "sim/wzc/wzc_service.h"

#include <type_traits>

extern "C" __attribute__((visibility("default"))) ce::DWORD GetAdaptersInfo(
    ce::IP_ADAPTER_INFO* buffer, ce::DWORD* size)
{
    return kivo::sim::wzc::service::adaptersInfo(buffer, size);
}

static_assert(std::is_same_v<decltype(&GetAdaptersInfo), ce::PFN_GetAdaptersInfo>);
