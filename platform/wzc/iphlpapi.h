// The adapter-information call of the platform's IP helper: every network
// adapter with its addresses. The helper lives in "iphlpapi.dll", loaded by
// name on first use; GetAdaptersInfo below forwards to its export of the same
// name.
#pragma once

#include "platform/loader.h"
#include "platform/types.h"

namespace ce {

constexpr DWORD ERROR_BUFFER_OVERFLOW = 111;
constexpr DWORD ERROR_NO_DATA = 232;

constexpr int MAX_ADAPTER_NAME_CHARS = 260;
constexpr int MAX_ADAPTER_DESCRIPTION_CHARS = 132;
constexpr int MAX_ADAPTER_ADDRESS_BYTES = 8;

// One address of a chain, as dotted-quad text (8-bit, NUL-terminated).
struct IP_ADDR_STRING {
    IP_ADDR_STRING* Next;
    char IpAddress[16];
    char IpMask[16];
    DWORD Context;
};

// One adapter; Next chains the adapters in the caller's buffer.
struct IP_ADAPTER_INFO {
    IP_ADAPTER_INFO* Next;
    DWORD ComboIndex;
    char AdapterName[MAX_ADAPTER_NAME_CHARS]; // the key Zero Config knows the adapter by
    char Description[MAX_ADAPTER_DESCRIPTION_CHARS];
    UINT AddressLength;
    BYTE Address[MAX_ADAPTER_ADDRESS_BYTES];
    DWORD Index;
    UINT Type;
    UINT DhcpEnabled;
    IP_ADDR_STRING IpAddressList; // address and subnet mask
    IP_ADDR_STRING GatewayList;
    IP_ADDR_STRING DhcpServer;
};
// One adapter fits the 640 bytes callers start with.
static_assert(sizeof(IP_ADAPTER_INFO) <= 640, "one adapter record fits 640 bytes");

extern "C" {
// Fills buffer with the adapter chain. ERROR_BUFFER_OVERFLOW with *size set to
// the bytes needed when the buffer is too small; ERROR_NO_DATA without adapters.
using PFN_GetAdaptersInfo = DWORD (*)(IP_ADAPTER_INFO* buffer, DWORD* size);
}

inline DWORD GetAdaptersInfo(IP_ADAPTER_INFO* buffer, DWORD* size)
{
    // Loaded on first use and kept for the life of the process, as the
    // platform keeps it.
    static const PFN_GetAdaptersInfo f = [] {
        static HMODULE module = loadLibrary("iphlpapi.dll");
        return module ? reinterpret_cast<PFN_GetAdaptersInfo>(getProcAddress(module, "GetAdaptersInfo")) : nullptr;
    }();
    if (!f)
        return ERROR_NOT_SUPPORTED;
    return f(buffer, size);
}

} // namespace ce
