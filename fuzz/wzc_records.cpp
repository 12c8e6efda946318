// What KivoWiFi reads from the wireless adapter's service, and the simulated
// world file behind it. The first byte picks:
//   - a counted list of network records as a reply carries it (any count,
//     any length, any SSID length or bytes): read, merged into the visible
//     list, sorted, and put first in a preferred list;
//   - the world file (\SystemDrive\sim\wzc.json), read by the simulator.
//
// Checked: a list never yields more records than its bytes hold; SSID texts
// are at most 32 characters; the visible list holds no hidden network and no
// SSID twice, in ascending order; a preferred list holds the chosen record
// first and every other once. A world of any content loads or is refused.
// fuzz-links: kivo_wifi_wireless kivo_sim_wzc

#include "fuzz/support/device_root.h"
#include "fuzz/support/fuzz_input.h"
#include "platform/paths.h"
#include "sim/wzc/wzc_sim.h"
#include "wifi/core/wireless_rules.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <memory>

using kivo::fuzz::FuzzInput;
namespace wl = kivo::wireless;

namespace {

void records(FuzzInput& in)
{
    const std::vector<uint8_t> bytes = in.bytes(in.u16());
    const ce::DWORD claimed = in.flag() ? ce::DWORD(bytes.size()) : ce::DWORD(in.below(uint32_t(bytes.size()) + 1));
    // The reply's bytes on the heap, exactly as long as they are.
    std::unique_ptr<ce::BYTE[]> copy(new ce::BYTE[bytes.size() + 1]);
    std::copy(bytes.begin(), bytes.end(), copy.get());
    ce::RAW_DATA raw { claimed, bytes.empty() ? nullptr : copy.get() };

    const ce::WZC_WLAN_CONFIG* list = nullptr;
    ce::DWORD count = 0, index = 0;
    bool truncated = false;
    if (!wl::readConfigList(raw, &list, &count, &index, &truncated))
        return;
    FUZZ_CHECK(ce::WZC_CONFIG_LIST_HEADER + size_t(count) * sizeof(ce::WZC_WLAN_CONFIG) <= claimed);

    std::vector<ce::WZC_WLAN_CONFIG> visible;
    for (ce::DWORD k = 0; k < count; ++k) {
        ce::WZC_WLAN_CONFIG record;
        std::memcpy(&record, &list[k], sizeof record);
        FUZZ_CHECK(wl::ssidText(record).size() <= 32);
        wl::addVisibleNetwork(visible, record);
    }
    wl::sortVisibleNetworks(visible);
    for (size_t k = 0; k < visible.size(); ++k) {
        FUZZ_CHECK(!wl::isHiddenSsid(visible[k]));
        if (k > 0)
            FUZZ_CHECK(wl::compareSsid(visible[k - 1], visible[k]) < 0);
    }

    if (count == 0)
        return;
    ce::WZC_WLAN_CONFIG chosen;
    std::memcpy(&chosen, &list[in.below(count)], sizeof chosen);
    wl::PreferredMove move;
    const std::vector<ce::BYTE> preferred = wl::buildPreferredList(true, list, count, index, chosen, &move);
    ce::RAW_DATA again { ce::DWORD(preferred.size()), const_cast<ce::BYTE*>(preferred.data()) };
    const ce::WZC_WLAN_CONFIG* out = nullptr;
    ce::DWORD outCount = 0, outIndex = 0;
    FUZZ_CHECK(wl::readConfigList(again, &out, &outCount, &outIndex, &truncated) && !truncated);
    FUZZ_CHECK(std::memcmp(&out[0], &chosen, sizeof chosen) == 0);
    FUZZ_CHECK(outCount == (move == wl::PreferredMove::MovedToTop ? count : count + 1));
}

void world(FuzzInput& in)
{
    const std::vector<uint8_t> content = in.rest();
    {
        std::ofstream f(ce::resolvePath(kivo::sim::wzc::kWorldFile, true), std::ios::binary | std::ios::trunc);
        f.write(reinterpret_cast<const char*>(content.data()), std::streamsize(content.size()));
    }
    kivo::sim::wzc::reload();
    const kivo::sim::wzc::Status s = kivo::sim::wzc::status();
    FUZZ_CHECK(!s.associated && !s.hasAddress);
    FUZZ_CHECK(s.associatedSsid.empty());
    FUZZ_CHECK(!kivo::sim::wzc::hasPreferredList());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    kivo::fuzz::ensureDeviceRoot();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    if (in.byte() & 1)
        world(in);
    else
        records(in);
    return 0;
}
