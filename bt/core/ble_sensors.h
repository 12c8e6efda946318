// BLE cycling sensors for the clients: a heart-rate sensor (kind 1,
// service 0x180D) and a speed and cadence sensor (kind 2, service 0x1816),
// at most one of each connected. Scans list the devices that carry the
// scanned kind's service; a connection turns on the measurement's
// notifications and polls the battery every 5 s.
#pragma once

#include "platform/bt/bcesdk.h"

#include <cstdint>
#include <optional>

namespace kivo::bt {

constexpr int kBleHeartRate = 1;
constexpr int kBleSpeedCadence = 2;
constexpr int kBleAdvertSlots = 254;
constexpr int kBleDeviceTableSize = 255;
constexpr int kBleHandleListSize = 100;

using BleDeviceRecord = BtBleDevice;

// The 12-byte measurement passed to clients unchanged.
struct SensorDataRecord {
    uint8_t bytes[kBtBleMeasurementBytes];
};
static_assert(sizeof(SensorDataRecord) == 12, "a sensor record is 12 bytes");

void BleScanEnable(int kind);
void BleScanDisable();
// Stops the scan and starts the connect worker. Returns 1.
int BleConnect(int handle);
// 1 when the connected sensor of that handle was ended.
int BleDisconnect(int handle);

// The stack's callbacks.
void OnBleScanResult(const BtBleDevice* record);
void OnHeartRateNotify(uint16_t characteristic, const uint8_t* data);
void OnCscNotify(uint16_t characteristic, const uint8_t* data);
// A kind-9 connection event.
void OnBleLinkEvent(int connected, const uint8_t* address);

// The records the posts of WM_STKOUTMSG_BLEDEVFIND and
// WM_STKOUTMSG_BLEDATA point to, copied whole under their guard: nothing
// for an address that is no advert slot or no kind's record.
std::optional<BleDeviceRecord> CopyAdvertSlot(const void* slot);
std::optional<SensorDataRecord> CopySensorRecord(const void* record);

struct BleState {
    int scanKind, scanning;
    int hrHandle, cscHandle;
    int hrBattery, cscBattery;
    int hrHandles, cscHandles; // entries of the handle lists
};
BleState GetBleState();
// Back to the state at program start; waits for the battery pollers.
void ResetBleForTests();

} // namespace kivo::bt
