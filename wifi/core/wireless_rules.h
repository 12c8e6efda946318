// The rules of the wireless layer that need no service: visible-list merge
// and order, preferred-list moves, key encoding, event names and address
// checks.
#pragma once

#include "platform/wzc/wzc_types.h"

#include <QString>

#include <vector>

namespace kivo::wireless {

// SSID bytes up to the first NUL within the 32-byte field, compared as bytes.
int compareSsid(const ce::WZC_WLAN_CONFIG& a, const ce::WZC_WLAN_CONFIG& b);
// An SSID of length 0, or whose bytes are all 0x00 or 0x20: a hidden network.
bool isHiddenSsid(const ce::WZC_WLAN_CONFIG& record);
// SSID as text, each byte one Latin-1 character, at most 32.
QString ssidText(const ce::WZC_WLAN_CONFIG& record);

// Adds one scan record to the visible list: hidden networks are dropped; a
// record whose SSID is already kept replaces the kept one only when its Rssi
// is lower. The copy keeps no 802.1X auth-data pointer.
void addVisibleNetwork(std::vector<ce::WZC_WLAN_CONFIG>& list, const ce::WZC_WLAN_CONFIG& record);
// Ascending byte order of the SSIDs (upper case before lower case).
void sortVisibleNetworks(std::vector<ce::WZC_WLAN_CONFIG>& list);

// Reads a counted list out of a reply. False when there is no list (no data
// or shorter than its header). A count larger than the data holds is cut to
// what it holds and *truncated is set.
bool readConfigList(
    const ce::RAW_DATA& data, const ce::WZC_WLAN_CONFIG** records, ce::DWORD* count, ce::DWORD* index, bool* truncated);

enum class PreferredMove {
    NewList, // there was no list: a list of one
    MovedToTop, // already in the list: moved first, the others keep their order
    Added, // not in the list: added first
};
// The new preferred list (a counted list's bytes) with record first.
std::vector<ce::BYTE> buildPreferredList(bool hasList, const ce::WZC_WLAN_CONFIG* old, ce::DWORD count, ce::DWORD index,
    const ce::WZC_WLAN_CONFIG& record, PreferredMove* move);

bool isSameNetwork(const ce::WZC_WLAN_CONFIG& a, const ce::WZC_WLAN_CONFIG& b);

// Fills the key fields of record (see CMyConfigWiFi::setKeyMaterial).
// password2Key derives a WPA key from a passphrase; without it a passphrase
// is refused.
bool setKeyMaterial(ce::WZC_WLAN_CONFIG* record, const QString& key, int keyIndex, bool* autoFlag,
    ce::PFN_WZCPassword2Key password2Key);

QString eventName(ce::DWORD code);
bool isUsableAddress(const QString& address);

// Reads one message of the service's event queue into *msg (zeroed first).
// False when none is waiting. Otherwise *valid says whether it was a whole
// event; a message of the wrong size is dropped, and *dropped says why.
bool readEventMessage(ce::HANDLE queue, ce::WZC_EVENT_MESSAGE* msg, ce::DWORD timeoutMs, bool* valid, QString* dropped);
// The SSID an event names, as shown: its bytes up to the first NUL within 32,
// "[No SSID]" when there are none.
QString eventSsid(const ce::WZC_EVENT_MESSAGE& message);

} // namespace kivo::wireless
