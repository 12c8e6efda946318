// Internal: the simulated service's entry points, shared by the thin export
// libraries (wzcsapi.so, iphlpapi.so) so that they meet one world.
#pragma once

#include "platform/wzc/iphlpapi.h"
#include "platform/wzc/wzc_types.h"

namespace kivo::sim::wzc::service {

ce::DWORD enumInterfaces(ce::INTFS_KEY_TABLE* table);
ce::DWORD queryInterface(ce::DWORD inFlags, ce::INTF_ENTRY_EX* entry, ce::DWORD* outFlags);
ce::DWORD setInterface(ce::DWORD inFlags, ce::INTF_ENTRY_EX* entry, ce::DWORD* outFlags);
ce::DWORD refreshInterface(ce::DWORD inFlags, ce::INTF_ENTRY_EX* entry, ce::DWORD* outFlags);
ce::DWORD queryContext(ce::DWORD inFlags, ce::WZC_CONTEXT* context, ce::DWORD* outFlags);
ce::DWORD setContext(ce::DWORD inFlags, ce::WZC_CONTEXT* context, ce::DWORD* outFlags);
ce::BOOL password2Key(ce::WZC_WLAN_CONFIG* config, const char* passphrase);
void deleteInterface(ce::INTF_ENTRY_EX* entry);
ce::DWORD adaptersInfo(ce::IP_ADAPTER_INFO* buffer, ce::DWORD* size);

} // namespace kivo::sim::wzc::service
