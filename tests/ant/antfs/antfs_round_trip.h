// What the ANT-FS round-trip tests share: the client's configuration and
// what it serves (an empty directory of two entries as index 0, a
// 1000-byte file as index 5), and a collector of ANT-FS events.
#pragma once

#include "ant/senvoy_antfs.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

namespace kivo::test {

inline std::vector<uint8_t> antfsClientDirectory()
{
    uint32_t size = 0;
    void* image = ANTFSDir_NewDirectory(2, 0, 0, &size);
    std::vector<uint8_t> bytes(static_cast<uint8_t*>(image), static_cast<uint8_t*>(image) + size);
    ANTFSDir_DeleteDirectory(image);
    return bytes;
}

inline std::vector<uint8_t> antfsClientFile5()
{
    std::vector<uint8_t> bytes(1000);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = uint8_t(i * 7 + 3);
    return bytes;
}

// Serial 0x12345678, device type 1, its beacon on 2450 MHz at 8 Hz, pairing
// on, data available, pass-through authentication.
inline ANTFSClientConfig antfsClientConfig()
{
    ANTFSClientConfig c;
    std::memset(&c, 0, sizeof c);
    c.serialNumber = 0x12345678;
    c.deviceType = 1;
    c.beaconRfFrequency = 50;
    c.beaconPeriodCode = 4;
    c.pairingEnabled = 1;
    c.dataAvailable = 1;
    c.linkTimeoutSeconds = 60;
    c.pairingTimeoutSeconds = 5;
    return c;
}

// What a host of serial 0xAABBCCDD sends a client: its Link (to 2420 MHz,
// period code 4) and its pass-through authentication.
inline const std::vector<uint8_t> kAntfsHostLink { 0x44, 0x02, 0x14, 0x04, 0xDD, 0xCC, 0xBB, 0xAA };
inline const std::vector<uint8_t> kAntfsHostPassThrough { 0x44, 0x04, 0x00, 0x00, 0xDD, 0xCC, 0xBB, 0xAA };

// Progress events (104, 108) are skipped by every wait for an event.
inline bool antfsProgressEvent(uint32_t code)
{
    return code == 104 || code == 108;
}

// The events an ANT-FS callback gets, in order; a host's device found (115)
// is kept.
struct AntfsEvents {
    static constexpr uint32_t kWaitMs = 20000;
    std::mutex m;
    std::condition_variable cv;
    std::vector<std::pair<uint32_t, uintptr_t>> all;
    size_t cursor = 0;
    ANTFSHostDeviceInfo info {};

    static void callback(uint32_t, uint32_t code, uintptr_t parameter, void* context)
    {
        auto* self = static_cast<AntfsEvents*>(context);
        std::lock_guard<std::mutex> lock(self->m);
        if (code == 115 && parameter)
            self->info = *reinterpret_cast<const ANTFSHostDeviceInfo*>(parameter);
        self->all.emplace_back(code, parameter);
        self->cv.notify_all();
    }
    // The next event other than progress; 0 when none came in kWaitMs.
    uint32_t next(uintptr_t* parameter = nullptr)
    {
        std::unique_lock<std::mutex> lock(m);
        for (;;) {
            if (!cv.wait_for(lock, std::chrono::milliseconds(kWaitMs), [&] { return all.size() > cursor; }))
                return 0;
            auto e = all[cursor++];
            if (antfsProgressEvent(e.first))
                continue;
            if (parameter)
                *parameter = e.second;
            return e.first;
        }
    }
};

} // namespace kivo::test
