// Targets that touch the device root use the one in KIVO_DEVICE_ROOT (the
// tests and scripts/fuzz give each target its own); run by hand without one,
// they get a fresh folder so they never write into a real device root.
#pragma once

#include <cstdlib>
#include <string>

namespace kivo::fuzz {

inline std::string ensureDeviceRoot()
{
    if (const char* root = std::getenv("KIVO_DEVICE_ROOT"); root && *root)
        return root;
    char pattern[] = "/tmp/kivo-fuzz-root-XXXXXX";
    const char* made = ::mkdtemp(pattern);
    if (!made)
        std::abort();
    ::setenv("KIVO_DEVICE_ROOT", made, 1);
    return made;
}

} // namespace kivo::fuzz
