// The wireless Zero Config service as this device's platform offers it: the
// records it exchanges, its field and flag values, the event record of its
// event queue and the signatures of its twelve entry points (resolved by name
// from "wzcsapi.dll" at run time).
//
// Records use fixed-width integers and char16_t for UTF-16 text so their
// layout does not depend on the host's wchar_t.
//
// Memory the service hands out (the interface key table and the strings in
// it) is released with wzcFreeMemory; the data of an interface entry that a
// query filled is released with WZCDeleteIntfObj(Ex). The interface key
// (wszGuid) of an entry always belongs to the caller.
#pragma once

#include "platform/types.h"

#include <cstdlib>
#include <cstring>

namespace ce {

// ---- records -----------------------------------------------------------------

// Buffers the service fills or takes: a length and the bytes.
struct RAW_DATA {
    DWORD dwDataLen;
    BYTE* pData;
};

struct NDIS_802_11_SSID {
    DWORD SsidLength; // bytes in use, 0 to 32
    BYTE Ssid[32];
};
static_assert(sizeof(NDIS_802_11_SSID) == 36, "an SSID is 36 bytes");

struct NDIS_802_11_CONFIGURATION_FH {
    DWORD Length;
    DWORD HopPattern;
    DWORD HopSet;
    DWORD DwellTime;
};

struct NDIS_802_11_CONFIGURATION {
    DWORD Length;
    DWORD BeaconPeriod;
    DWORD ATIMWindow;
    DWORD DSConfig; // channel frequency in kHz
    NDIS_802_11_CONFIGURATION_FH FHConfig;
};
static_assert(sizeof(NDIS_802_11_CONFIGURATION) == 32, "the radio configuration block is 32 bytes");

// 802.1X settings of one network. pbAuthData points into memory owned by
// whoever built the record; a copy taken out of a service reply must not keep
// it once the reply is released.
#pragma pack(push, 4)
struct WZC_EAPOL_PARAMS {
    BYTE bEnable8021x;
    BYTE bReserved[3];
    DWORD dwEapFlags;
    DWORD dwEapType;
    DWORD dwAuthDataLen;
    BYTE* pbAuthData;
};
#pragma pack(pop)
static_assert(sizeof(WZC_EAPOL_PARAMS) == 24, "802.1X parameters are 24 bytes");

// One network: a scan result or a preferred network. Packed to 4 bytes, so
// that the record keeps its size with 8-byte pointers: read pbAuthData by
// value, never bind a reference to it.
#pragma pack(push, 4)
struct WZC_WLAN_CONFIG {
    DWORD Length; // sizeof(WZC_WLAN_CONFIG)
    DWORD dwCtlFlags; // WZC_CFG_* below
    BYTE MacAddress[6]; // the access point's BSSID
    BYTE Reserved[2];
    NDIS_802_11_SSID Ssid;
    DWORD Privacy; // NDIS_PRIVACY_* below
    int32_t Rssi; // dBm
    DWORD NetworkTypeInUse;
    NDIS_802_11_CONFIGURATION Configuration;
    DWORD InfrastructureMode; // 0 ad hoc, 1 infrastructure
    BYTE SupportedRates[8];
    DWORD KeyIndex; // 0-based
    DWORD KeyLength; // bytes of KeyMaterial in use (WEP 5 or 13, WPA 32 or the passphrase length)
    BYTE KeyMaterial[32];
    DWORD AuthenticationMode; // NDIS_AUTH_* below
    WZC_EAPOL_PARAMS EapolParams;
    DWORD WPAMCastCipher;
    DWORD dwReserved[4]; // room the service keeps for itself
};
#pragma pack(pop)
static_assert(sizeof(WZC_WLAN_CONFIG) == 196, "a network configuration record is 196 bytes");

// A counted list of records, as found in RAW_DATA::pData: NumberOfItems
// records follow the header. An empty list is just the 8-byte header.
struct WZC_802_11_CONFIG_LIST {
    DWORD NumberOfItems;
    DWORD Index; // the record the service tries first
    WZC_WLAN_CONFIG Config[1];
};
constexpr DWORD WZC_CONFIG_LIST_HEADER = 8;
static_assert(offsetof(WZC_802_11_CONFIG_LIST, Config) == WZC_CONFIG_LIST_HEADER, "list header is 8 bytes");
constexpr DWORD wzcConfigListSize(DWORD items)
{
    return WZC_CONFIG_LIST_HEADER + items * DWORD(sizeof(WZC_WLAN_CONFIG));
}

// The state of one wireless interface.
struct INTF_ENTRY {
    char16_t* wszGuid; // the interface key; the caller's
    char16_t* wszDescr;
    DWORD ulMediaState;
    DWORD ulMediaType;
    DWORD ulPhysicalMediaType;
    int32_t nInfraMode;
    int32_t nAuthMode;
    int32_t nWepStatus;
    DWORD dwCtlFlags; // WZC_CTL_* below
    DWORD dwCapabilities;
    RAW_DATA rdSSID; // SSID bytes of the network in use
    RAW_DATA rdBSSID; // 6 bytes: MAC address of the access point in use
    RAW_DATA rdBSSIDList; // WZC_802_11_CONFIG_LIST: the visible networks
    RAW_DATA rdStSSIDList; // WZC_802_11_CONFIG_LIST: the preferred networks
    RAW_DATA rdCtrlData;
};

struct INTF_ENTRY_EX {
    char16_t* wszGuid;
    char16_t* wszDescr;
    DWORD ulMediaState;
    DWORD ulMediaType;
    DWORD ulPhysicalMediaType;
    int32_t nInfraMode;
    int32_t nAuthMode;
    int32_t nWepStatus;
    DWORD dwCtlFlags;
    DWORD dwCapabilities;
    RAW_DATA rdSSID;
    RAW_DATA rdBSSID;
    RAW_DATA rdBSSIDList;
    RAW_DATA rdStSSIDList;
    RAW_DATA rdCtrlData;
    BOOL bInitialized;
    DWORD dwReserved[7];
};

struct INTF_KEY_ENTRY {
    char16_t* wszGuid;
};

// Filled by WZCEnumInterfaces; pIntfs and every wszGuid in it are released
// with wzcFreeMemory.
struct INTFS_KEY_TABLE {
    DWORD dwNumIntfs;
    INTF_KEY_ENTRY* pIntfs;
};

// The service's timers, in milliseconds.
struct WZC_CONTEXT {
    DWORD tmTr; // scan time-out
    DWORD tmTp; // association time-out
    DWORD tmTc; // retry period
    DWORD tmTf; // failure wait
};

// One message of the event queue "WzcEventLoggingQueue".
struct WZC_EVENT_MESSAGE {
    DWORD dwEventCode; // WZC_EVENT_* below
    DWORD dwReserved;
    char szSsid[64]; // SSID of the network concerned, 8-bit, NUL-terminated
    char16_t wszDetail[256]; // free text of the service
};
static_assert(sizeof(WZC_EVENT_MESSAGE) == 584, "an event message is 584 bytes");
static_assert(offsetof(WZC_EVENT_MESSAGE, szSsid) == 8, "the SSID of an event starts at byte 8");

constexpr const char* WZC_EVENT_QUEUE_NAME = "WzcEventLoggingQueue";
constexpr DWORD WZC_EVENT_QUEUE_MAX_MESSAGES = 16;

// ---- values --------------------------------------------------------------------

// Privacy (NDIS encryption status).
constexpr DWORD NDIS_PRIVACY_WEP_ENABLED = 0;
constexpr DWORD NDIS_PRIVACY_WEP_DISABLED = 1;
constexpr DWORD NDIS_PRIVACY_WEP_KEY_ABSENT = 2;
constexpr DWORD NDIS_PRIVACY_WEP_NOT_SUPPORTED = 3;
constexpr DWORD NDIS_PRIVACY_TKIP_ENABLED = 4;
constexpr DWORD NDIS_PRIVACY_TKIP_KEY_ABSENT = 5;
constexpr DWORD NDIS_PRIVACY_AES_ENABLED = 6;
constexpr DWORD NDIS_PRIVACY_AES_KEY_ABSENT = 7;

// Authentication modes.
constexpr DWORD NDIS_AUTH_OPEN = 0;
constexpr DWORD NDIS_AUTH_SHARED = 1;
constexpr DWORD NDIS_AUTH_AUTOSWITCH = 2;
constexpr DWORD NDIS_AUTH_WPA = 3;
constexpr DWORD NDIS_AUTH_WPAPSK = 4;
constexpr DWORD NDIS_AUTH_WPANONE = 5;
constexpr DWORD NDIS_AUTH_WPA2 = 6;
constexpr DWORD NDIS_AUTH_WPA2PSK = 7;

constexpr DWORD NDIS_INFRA_ADHOC = 0;
constexpr DWORD NDIS_INFRA_INFRASTRUCTURE = 1;

// Multicast cipher: TKIP.
constexpr DWORD NDIS_ENCRYPTION2_ENABLED = 4;

// WZC_WLAN_CONFIG::dwCtlFlags.
constexpr DWORD WZC_CFG_KEY_PRESENT = 0x01; // KeyMaterial holds the key
constexpr DWORD WZC_CFG_KEY_PASSPHRASE = 0x02; // the key was derived from a passphrase
constexpr DWORD WZC_CFG_KEY_MASKED = 0x10; // a WPA key is masked (a WEP key always is)

// 802.1X values.
constexpr DWORD WZC_EAP_FLAG_ENABLED = 0x80000000u;
constexpr DWORD WZC_EAP_TYPE_TLS = 13;

// Field selectors of the query, set and refresh calls (in and out flags).
constexpr DWORD WZC_FIELD_DESCRIPTION = 0x00000001;
constexpr DWORD WZC_FIELD_MEDIA_STATE = 0x00000002;
constexpr DWORD WZC_FIELD_MEDIA_TYPE = 0x00000004;
constexpr DWORD WZC_FIELD_PHYSICAL_MEDIA = 0x00000008;
constexpr DWORD WZC_FIELD_INFRA_MODE = 0x00000010;
constexpr DWORD WZC_FIELD_AUTH_MODE = 0x00000020;
constexpr DWORD WZC_FIELD_WEP_STATUS = 0x00000040;
constexpr DWORD WZC_FIELD_CONTROL_FLAGS = 0x00008000; // dwCtlFlags, Zero Config on or off
constexpr DWORD WZC_FIELD_CAPABILITIES = 0x00010000;
constexpr DWORD WZC_FIELD_PREFERRED_LIST = 0x00040000; // rdStSSIDList
constexpr DWORD WZC_FIELD_SSID = 0x01000000; // rdSSID
constexpr DWORD WZC_FIELD_BSSID = 0x02000000; // rdBSSID
constexpr DWORD WZC_FIELD_VISIBLE_LIST = 0x04000000; // rdBSSIDList
constexpr DWORD WZC_FIELD_ALL = 0x7FFFFFFF;
// What a set of the preferred list writes back: every settable field.
constexpr DWORD WZC_FIELD_SET_PREFERRED = 0x0004FFFF;

// INTF_ENTRY(_EX)::dwCtlFlags: Zero Config manages the interface.
constexpr DWORD WZC_CTL_ENABLED = 0x00008000;

// Event codes of the event queue.
constexpr DWORD WZC_EVENT_ASSOCIATING = 1;
constexpr DWORD WZC_EVENT_FAILED_ASSOCIATION = 2;
constexpr DWORD WZC_EVENT_SUCCESSFUL_ASSOCIATION = 3;
constexpr DWORD WZC_EVENT_CLOSE_EAPOL_SESSION = 4;
constexpr DWORD WZC_EVENT_AUTHENTICATING = 5;
constexpr DWORD WZC_EVENT_AUTHENTICATED = 6;
constexpr DWORD WZC_EVENT_CANCEL_AUTH = 7;
constexpr DWORD WZC_EVENT_ASSOCIATION_TIMEOUT = 8;
constexpr DWORD WZC_EVENT_ASSOCIATION_LOST = 9;
constexpr DWORD WZC_EVENT_PREFERRED_LIST_EXHAUSTED = 10;
constexpr DWORD WZC_EVENT_REAUTHENTICATING = 11;
constexpr DWORD WZC_EVENT_VISIBLE_NETWORK = 12;
constexpr DWORD WZC_EVENT_ASSOCIATED_REQUIRES_8021X = 13;
constexpr DWORD WZC_EVENT_CONFIGURED = 14;
constexpr DWORD WZC_EVENT_STARTED = 0xFFFFFFFFu;

// The radio power device and its two controls (input: a 32-bit 1 or 0).
constexpr const char* WZC_RADIO_DEVICE = "HSC2:";
constexpr DWORD IOCTL_WIFI_POWER_ON = 0x80182E38u;
constexpr DWORD IOCTL_WIFI_POWER_OFF = 0x80182E3Cu;

// ---- key masking -------------------------------------------------------------

// The service expects the key material of a WEP key and of a passphrase-derived
// WPA key XOR-masked: byte i with byte (7 * i) mod 13 of a 13-byte mask. The
// mask is computed when needed rather than stored.
constexpr int WZC_KEY_MASK_LENGTH = 13;
inline void wzcBuildKeyMask(BYTE (&mask)[WZC_KEY_MASK_LENGTH])
{
    BYTE v = 0x3D;
    for (int i = 0; i < WZC_KEY_MASK_LENGTH; ++i) {
        v = BYTE(v * 5 + 0x47);
        mask[i] = BYTE(v ^ (0xA5 >> (i % 4)));
    }
}
// Masks or unmasks (the operation is its own inverse) the 32 key bytes.
inline void wzcMaskKeyMaterial(BYTE (&key)[32])
{
    BYTE mask[WZC_KEY_MASK_LENGTH];
    wzcBuildKeyMask(mask);
    for (int i = 0; i < 32; ++i)
        key[i] ^= mask[(7 * i) % WZC_KEY_MASK_LENGTH];
    std::memset(mask, 0, sizeof mask);
}

inline void wzcFreeMemory(void* p)
{
    std::free(p);
}

// ---- entry points ------------------------------------------------------------
// Results are 0 (ERROR_SUCCESS) or an error code. pSrvAddr is always null (the
// local service). dwInFlags selects WZC_FIELD_* fields; *pdwOutFlags receives
// the fields that were handled.

extern "C" {
using PFN_WZCEnumInterfaces = DWORD (*)(const char16_t* pSrvAddr, INTFS_KEY_TABLE* pIntfs);
using PFN_WZCQueryInterface
    = DWORD (*)(const char16_t* pSrvAddr, DWORD dwInFlags, INTF_ENTRY* pIntf, DWORD* pdwOutFlags);
using PFN_WZCQueryInterfaceEx
    = DWORD (*)(const char16_t* pSrvAddr, DWORD dwInFlags, INTF_ENTRY_EX* pIntf, DWORD* pdwOutFlags);
using PFN_WZCSetInterface = DWORD (*)(const char16_t* pSrvAddr, DWORD dwInFlags, INTF_ENTRY* pIntf, DWORD* pdwOutFlags);
using PFN_WZCSetInterfaceEx
    = DWORD (*)(const char16_t* pSrvAddr, DWORD dwInFlags, INTF_ENTRY_EX* pIntf, DWORD* pdwOutFlags);
using PFN_WZCRefreshInterface
    = DWORD (*)(const char16_t* pSrvAddr, DWORD dwInFlags, INTF_ENTRY* pIntf, DWORD* pdwOutFlags);
using PFN_WZCRefreshInterfaceEx
    = DWORD (*)(const char16_t* pSrvAddr, DWORD dwInFlags, INTF_ENTRY_EX* pIntf, DWORD* pdwOutFlags);
using PFN_WZCQueryContext
    = DWORD (*)(const char16_t* pSrvAddr, DWORD dwInFlags, WZC_CONTEXT* pContext, DWORD* pdwOutFlags);
using PFN_WZCSetContext
    = DWORD (*)(const char16_t* pSrvAddr, DWORD dwInFlags, WZC_CONTEXT* pContext, DWORD* pdwOutFlags);
// Derives the WPA key of the record's SSID from an 8-bit passphrase into
// KeyMaterial (unmasked).
using PFN_WZCPassword2Key = BOOL (*)(WZC_WLAN_CONFIG* pConfig, const char* szPassphrase);
// Releases what a query put into the entry (not wszGuid).
using PFN_WZCDeleteIntfObj = void (*)(INTF_ENTRY* pIntf);
using PFN_WZCDeleteIntfObjEx = void (*)(INTF_ENTRY_EX* pIntf);
}

} // namespace ce
