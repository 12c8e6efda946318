// The binding of the Bluetooth stack library: the module and one entry point
// per export. Until a load succeeds every typed entry point is a stand-in
// that fails (returns -1, fills nothing), so callers never reach a null
// pointer.
#pragma once

#include "platform/bt/bcesdk.h"
#include "platform/loader.h"

#include <string>

namespace kivo::bt {

class BtSdk {
public:
    // Loads the library and resolves all 121 names in order. 1, or 0 at the
    // first missing name (or a missing library); on 0 the module is freed
    // and every entry point is its failing stand-in again.
    static int Load(const std::string& library = "BCESDK.dll");
    static void Free();
    static bool IsLoaded();
    // The resolved address of an export by its name without "BCESDK_"; null
    // while not loaded.
    static void* Entry(const std::string& name);

#define KIVO_BTSDK_MEMBER(name, result, params) static result(*name) params;
    BCESDK_TYPED_EXPORTS(KIVO_BTSDK_MEMBER)
#undef KIVO_BTSDK_MEMBER
};

} // namespace kivo::bt
