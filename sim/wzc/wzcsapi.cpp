// The exports of the simulated Zero Config library (bin/wzcsapi.so, loaded as
// "wzcsapi.dll"). Built a second time without one name
// (KIVO_WZC_INCOMPLETE: no WZCSetInterfaceEx) and a third time without
// WZCQueryContext (KIVO_WZC_NO_CONTEXT), to exercise a caller's checks.

#include "sim/wzc/wzc_service.h"

#include <cstring>
#include <type_traits>

namespace svc = kivo::sim::wzc::service;
using ce::DWORD;

namespace {

// The plain interface entry is the leading part of the extended one.
ce::INTF_ENTRY_EX widen(const ce::INTF_ENTRY* e)
{
    ce::INTF_ENTRY_EX x {};
    std::memcpy(&x, e, sizeof *e);
    return x;
}

void narrow(const ce::INTF_ENTRY_EX& x, ce::INTF_ENTRY* e)
{
    std::memcpy(e, &x, sizeof *e);
}

} // namespace

extern "C" {

__attribute__((visibility("default"))) DWORD WZCEnumInterfaces(const char16_t*, ce::INTFS_KEY_TABLE* table)
{
    return svc::enumInterfaces(table);
}

__attribute__((visibility("default"))) DWORD WZCQueryInterface(
    const char16_t*, DWORD inFlags, ce::INTF_ENTRY* e, DWORD* outFlags)
{
    if (!e)
        return ce::ERROR_INVALID_PARAMETER;
    ce::INTF_ENTRY_EX x = widen(e);
    DWORD r = svc::queryInterface(inFlags, &x, outFlags);
    narrow(x, e);
    return r;
}

__attribute__((visibility("default"))) DWORD WZCQueryInterfaceEx(
    const char16_t*, DWORD inFlags, ce::INTF_ENTRY_EX* e, DWORD* outFlags)
{
    return svc::queryInterface(inFlags, e, outFlags);
}

__attribute__((visibility("default"))) DWORD WZCSetInterface(
    const char16_t*, DWORD inFlags, ce::INTF_ENTRY* e, DWORD* outFlags)
{
    if (!e)
        return ce::ERROR_INVALID_PARAMETER;
    ce::INTF_ENTRY_EX x = widen(e);
    return svc::setInterface(inFlags, &x, outFlags);
}

#ifndef KIVO_WZC_INCOMPLETE
__attribute__((visibility("default"))) DWORD WZCSetInterfaceEx(
    const char16_t*, DWORD inFlags, ce::INTF_ENTRY_EX* e, DWORD* outFlags)
{
    return svc::setInterface(inFlags, e, outFlags);
}
#endif

__attribute__((visibility("default"))) DWORD WZCRefreshInterface(
    const char16_t*, DWORD inFlags, ce::INTF_ENTRY* e, DWORD* outFlags)
{
    if (!e)
        return ce::ERROR_INVALID_PARAMETER;
    ce::INTF_ENTRY_EX x = widen(e);
    return svc::refreshInterface(inFlags, &x, outFlags);
}

__attribute__((visibility("default"))) DWORD WZCRefreshInterfaceEx(
    const char16_t*, DWORD inFlags, ce::INTF_ENTRY_EX* e, DWORD* outFlags)
{
    return svc::refreshInterface(inFlags, e, outFlags);
}

#ifndef KIVO_WZC_NO_CONTEXT
__attribute__((visibility("default"))) DWORD WZCQueryContext(
    const char16_t*, DWORD inFlags, ce::WZC_CONTEXT* c, DWORD* outFlags)
{
    return svc::queryContext(inFlags, c, outFlags);
}
#endif

__attribute__((visibility("default"))) DWORD WZCSetContext(
    const char16_t*, DWORD inFlags, ce::WZC_CONTEXT* c, DWORD* outFlags)
{
    return svc::setContext(inFlags, c, outFlags);
}

__attribute__((visibility("default"))) ce::BOOL WZCPassword2Key(ce::WZC_WLAN_CONFIG* config, const char* passphrase)
{
    return svc::password2Key(config, passphrase);
}

__attribute__((visibility("default"))) void WZCDeleteIntfObj(ce::INTF_ENTRY* e)
{
    if (!e)
        return;
    ce::INTF_ENTRY_EX x = widen(e);
    svc::deleteInterface(&x);
    narrow(x, e);
}

__attribute__((visibility("default"))) void WZCDeleteIntfObjEx(ce::INTF_ENTRY_EX* e)
{
    svc::deleteInterface(e);
}

} // extern "C"

// Every signature matches the type callers resolve it as.
static_assert(std::is_same_v<decltype(&WZCEnumInterfaces), ce::PFN_WZCEnumInterfaces>);
static_assert(std::is_same_v<decltype(&WZCQueryInterfaceEx), ce::PFN_WZCQueryInterfaceEx>);
static_assert(std::is_same_v<decltype(&WZCRefreshInterfaceEx), ce::PFN_WZCRefreshInterfaceEx>);
static_assert(std::is_same_v<decltype(&WZCPassword2Key), ce::PFN_WZCPassword2Key>);
static_assert(std::is_same_v<decltype(&WZCDeleteIntfObjEx), ce::PFN_WZCDeleteIntfObjEx>);
static_assert(std::is_same_v<decltype(&WZCSetContext), ce::PFN_WZCSetContext>);
