// The simulated wireless adapter behind "wzcsapi.dll" (bin/wzcsapi.so),
// "iphlpapi.dll" (bin/iphlpapi.so) and the radio power device "HSC2:".
//
// Its world is the JSON file \SystemDrive\sim\wzc.json under the device root
// (see README.md in this folder). The world is read on first use, again
// whenever the device root changes, and on reload(). A missing or malformed
// file is logged and gives an empty world: no adapter, no networks.
//
// This API is for tests and tools; the programs reach the simulator only
// through the libraries above, as they would reach the real service.
#pragma once

#include "platform/wzc/wzc_types.h"

#include <string>
#include <vector>

namespace kivo::sim::wzc {

// Device path of the world file.
constexpr const char* kWorldFile = "\\SystemDrive\\sim\\wzc.json";

// Re-reads the world file and resets the adapter: radio and Zero Config as
// the file says, the adapter appearing after its delay, no preferred list,
// not associated.
void reload();
// Re-reads only the networks in range; the adapter keeps its state. The
// next scan sees them.
void reloadNetworks();

struct Status {
    bool radioOn = false;
    bool adapterPresent = false;
    bool zeroConfigEnabled = false;
    bool associated = false;
    bool hasAddress = false;
    std::string associatedSsid;
};
Status status();

// The service's preferred list (what the last set wrote). Auth data that a
// record carried is copied by the service; in these copies pbAuthData points
// to the service's copy and stays valid until the list changes.
bool hasPreferredList();
std::vector<ce::WZC_WLAN_CONFIG> preferredList();
// Replaces the preferred list without starting a join.
void setPreferredList(const std::vector<ce::WZC_WLAN_CONFIG>& list, ce::DWORD index = 0);

// The next count adapter-information calls fail with ERROR_BUFFER_OVERFLOW,
// asking for more room, as if adapters appeared between two calls; a buffer
// large enough for the adapters there before is filled all the same.
void failNextAdapterInfoCalls(int count);

// Writes one event to "WzcEventLoggingQueue" as the service does. False when
// no one reads the queue.
bool writeEvent(ce::DWORD code, const std::string& ssid);

// The service's key derivation from a passphrase (what WZCPassword2Key puts
// into KeyMaterial, unmasked).
std::vector<ce::BYTE> derivePassphraseKey(const std::string& passphrase, const std::string& ssid);

} // namespace kivo::sim::wzc
