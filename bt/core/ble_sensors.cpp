#include "bt/core/ble_sensors.h"

#include "bt/core/bt_copydata.h"
#include "bt/core/bt_ipc.h"
#include "bt/core/bt_manager.h"
#include "bt/core/bt_messages.h"
#include "bt/core/bt_sdk.h"

#include "platform/debug.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace kivo::bt {

namespace {

constexpr uint16_t kHeartRateService = 0x180D;
constexpr uint16_t kSpeedCadenceService = 0x1816;
constexpr uint16_t kBatteryService = 0x180F;
constexpr uint16_t kHeartRateMeasurement = 0x2A37;
constexpr uint16_t kCscMeasurement = 0x2A5B;
constexpr uint16_t kBatteryLevel = 0x2A19;
constexpr uint16_t kClientConfiguration = 0x2902;
constexpr int kBusyPolls = 50;
constexpr ce::DWORD kBusyPollMs = 100;
constexpr ce::DWORD kBatteryPollMs = 5000;

// One connected sensor of a kind. The flags and handles are read by the
// stack's threads and the workers; the measurement is copied under g_m.
struct Sensor {
    std::atomic<int> handle { 0 };
    std::atomic<int> characteristic { 0 };
    std::atomic<int> notification { 0 };
    std::atomic<int> battery { 0 };
    std::atomic<int> polling { 0 };
    SensorDataRecord record {};
};

struct Ble {
    std::atomic<int> scanKind { 0 };
    std::atomic<int> scanning { 0 };
    std::atomic<int> advertBusy { 0 };
    std::atomic<int> connectBusy { 0 };
    Sensor hr, csc;
    // Under g_m:
    BleDeviceRecord ring[kBleAdvertSlots] {};
    int ringNext = 0;
    BleDeviceRecord table[kBleDeviceTableSize] {};
    int tableNext = 0;
    int hrList[kBleHandleListSize] {};
    int hrCount = 0;
    int cscList[kBleHandleListSize] {};
    int cscCount = 0;
};

std::mutex g_m;
// Orders a link event against a connection's failure, so a sensor whose
// connection failed is never reported connected after its failure.
std::mutex g_linkOrder;
Ble& ble()
{
    static Ble* b = new Ble; // never destroyed: the stack's threads may call in at exit
    return *b;
}

void log(const char* text)
{
    ce::debugOutput(text);
}

// Waits while flag is set, at most 50 x 100 ms, then takes it anyway.
void takeBusy(std::atomic<int>& flag)
{
    for (int i = 0; i < kBusyPolls && flag.exchange(1); ++i)
        SleepScaled(kBusyPollMs);
    flag = 1;
}

bool listHas(const int* list, int count, int handle)
{
    return std::find(list, list + count, handle) != list + count;
}

// Adds a handle to a kind's list unless it is there; the hundredth entry
// sends the count back to 0, so the list starts over.
void addHandleLocked(int kind, int handle)
{
    Ble& b = ble();
    int* list = kind == kBleHeartRate ? b.hrList : b.cscList;
    int& count = kind == kBleHeartRate ? b.hrCount : b.cscCount;
    if (listHas(list, count, handle))
        return;
    list[count++] = handle;
    if (count == kBleHandleListSize) {
        log(kind == kBleHeartRate ? "--->s_hrDevCnt = 100---0 \r\n" : "--->s_cscDevCnt = 100---0 \r\n");
        count = 0;
    }
}

void advertWorker(int slot)
{
    Ble& b = ble();
    takeBusy(b.advertBusy);
    BleDeviceRecord record;
    {
        std::lock_guard<std::mutex> l(g_m);
        record = b.ring[slot];
    }
    const int kind = b.scanKind;
    int found = 1;
    if (kind == kBleHeartRate || kind == kBleSpeedCadence) {
        BtBleService service {};
        found = BtSdk::BLEGetServiceByUUID(
            record.handle, &service, kind == kBleHeartRate ? kHeartRateService : kSpeedCadenceService);
    }
    BtSdk::BLEEnd(record.handle, 0);
    if (found == 0) {
        int count;
        {
            std::lock_guard<std::mutex> l(g_m);
            b.table[b.tableNext] = record;
            b.tableNext = (b.tableNext + 1) % kBleDeviceTableSize;
            count = kind == kBleHeartRate ? b.hrCount : b.cscCount;
        }
        record.name[64] = 0;
        const std::string name = Utf8(fieldText(record.name, 65));
        for (ce::HWND w : InternalWindows()) {
            ce::debugPrintf("BLE Device Name (%s)\r\n", name.c_str());
            ce::postMessage(w, WM_STKOUTMSG_BLEDEVFIND, 1, reinterpret_cast<ce::LPARAM>(&b.ring[slot]));
        }
        ce::debugPrintf("s_hrDevCnt = %d \r\n", count);
        std::lock_guard<std::mutex> l(g_m);
        addHandleLocked(kind, record.handle);
    }
    b.advertBusy = 0;
}

void batteryWorker(int kind)
{
    Sensor& s = kind == kBleHeartRate ? ble().hr : ble().csc;
    const bool hr = kind == kBleHeartRate;
    const int handle = s.handle;
    if (!handle)
        return;
    log(hr ? "***[BTManager] Before Get Battery Service \r\n" : "***[BTManager] Before Get CSC Battery Service \r\n");
    BtBleService service {};
    if (BtSdk::BLEGetServiceByUUID(handle, &service, kBatteryService) != 0)
        return;
    log(hr ? "***[BTManager] Get Battery Service OK\r\n" : "***[BTManager] Get CSC Battery Service OK\r\n");
    BtBleCharacteristic level {};
    if (BtSdk::BLEGetCharacterByUUID(handle, &service, &level, kBatteryLevel) != 0)
        return;
    log(hr ? "***[BTManager] Get Battery Char OK\r\n" : "***[BTManager] Get CSC Battery Char OK\r\n");
    while (s.polling && s.handle) {
        BtBleValue value {};
        if (BtSdk::BLEGetCharacteristicValue(handle, &level, 104, &value) == 0) {
            const int percent = value.data && value.length > 0 ? value.data[0] : 0;
            ce::debugPrintf(hr ? "***[BTManager] Battery Value(%d)\r\n" : "***[BTManager] CSC Battery Value(%d)\r\n",
                percent);
            s.battery = percent;
            if (!hr)
                log("***bt:sac battery...\r\n");
            PostInternal(WM_STKOUTMSG_BLEDEVBATTERY, ce::WPARAM(kind), percent);
        }
        std::free(value.data);
        SleepScaled(kBatteryPollMs);
    }
}

int connectWorker(int handle)
{
    Ble& b = ble();
    if (b.connectBusy.exchange(1))
        return 0;
    int kind = 0;
    {
        std::lock_guard<std::mutex> l(g_m);
        if (listHas(b.hrList, kBleHandleListSize, handle) && handle)
            kind = kBleHeartRate;
        else if (listHas(b.cscList, kBleHandleListSize, handle) && handle)
            kind = kBleSpeedCadence;
    }
    bool ok = false;
    BtBleCharacteristic measurement {};
    if (kind) {
        Sensor& s = kind == kBleHeartRate ? b.hr : b.csc;
        s.handle = handle;
        b.scanKind = kind;
        BtBleService service {};
        if (BtSdk::BLEGetServiceByUUID(
                handle, &service, kind == kBleHeartRate ? kHeartRateService : kSpeedCadenceService) == 0) {
            log(kind == kBleHeartRate ? "***[BTManager] Get HR Service OK\r\n" : "***[BTManager] Get CSC Service OK\r\n");
            if (BtSdk::BLEGetCharacterByUUID(handle, &service, &measurement,
                    kind == kBleHeartRate ? kHeartRateMeasurement : kCscMeasurement) == 0) {
                s.characteristic = measurement.handle;
                ok = true;
            }
        }
    }
    if (!ok) {
        std::lock_guard<std::mutex> order(g_linkOrder);
        // A sensor whose service or measurement is missing is not connected.
        if (kind)
            (kind == kBleHeartRate ? b.hr : b.csc).handle = 0;
        const int scanKind = b.scanKind;
        if (scanKind == kBleHeartRate || scanKind == kBleSpeedCadence)
            PostInternal(WM_STKOUTMSG_CONNECT_RESULT, 3, scanKind == kBleHeartRate ? kBtKindHeartRate : kBtKindSpeedCadence);
    } else {
        log("***[BTManager] GetCharacter OK\r\n");
        BtBleDescriptor descriptor {};
        if (BtSdk::BLEGetDescriptorByUUID(handle, &measurement, &descriptor, kClientConfiguration) == 0) {
            log("***[BTManager] GetDescriptor OK\r\n");
            if (BtSdk::BLESetDescriptorValue(handle, &descriptor, 1) != 0) {
                log("***[BTManager] Open Notification Fail\r\n");
            } else {
                log("***[BTManager] Open Notification OK\r\n");
                Sensor& s = kind == kBleHeartRate ? b.hr : b.csc;
                int notification = 0;
                const int r = kind == kBleHeartRate
                    ? BtSdk::BLERegNotification(handle, &measurement, &notification, &OnHeartRateNotify, 1)
                    : BtSdk::BLERegNotification(handle, &measurement, &notification, &OnCscNotify, 2);
                if (r == 0)
                    s.notification = notification;
                log(r == 0 ? "***[BTManager] Reg Notification OK\r\n" : "***[BTManager] Reg Notification Fail\r\n");
            }
        }
    }
    b.connectBusy = 0;
    return 1;
}

void notify(int kind, uint16_t characteristic, const uint8_t* data)
{
    Sensor& s = kind == kBleHeartRate ? ble().hr : ble().csc;
    if (!data || characteristic != s.characteristic)
        return;
    SensorDataRecord r;
    std::memcpy(r.bytes, data, sizeof r.bytes);
    {
        std::lock_guard<std::mutex> l(g_m);
        s.record = r;
    }
    auto u16 = [&](int at) { return int(r.bytes[at] | r.bytes[at + 1] << 8); };
    if (kind == kBleHeartRate) {
        ce::debugPrintf("***[BTManager] HR DATA(%d)\r\n", u16(4));
    } else {
        uint32_t wheel;
        std::memcpy(&wheel, r.bytes, 4);
        ce::debugPrintf("***[BTManager] CSC DATA:CCR(%d), CWR(%d), LCE(%d), LWE(%d)\r\n", u16(6), int(wheel), u16(8),
            u16(4));
    }
    PostInternal(WM_STKOUTMSG_BLEDATA, ce::WPARAM(kind), reinterpret_cast<ce::LPARAM>(&s.record));
}

} // namespace

void BleScanEnable(int kind)
{
    ce::debugPrintf("***[BTManager] ScanEnable Init(%d)\r\n", kind);
    if (!GetManagerState().stackInitialised && BtSdk::Init() == 0) {
        log("***[BTManager] ScanEnable Init Ok\r\n");
        SetStackInitialised();
        BtSdk::SetPairable(0, 0, 0);
    }
    if (!GetManagerState().stackInitialised)
        return;
    Ble& b = ble();
    b.scanKind = kind;
    BtSdk::RegisterConnectCallback(&OnConnectionEvent);
    BtSdk::ScanedBLERegisterCb(kind, &OnBleScanResult);
    for (int i = 0; i < kBusyPolls && b.connectBusy; ++i)
        SleepScaled(kBusyPollMs);
    BtSdk::SetScan(1);
    log("***[BTManager] ScanEnable set Ok\r\n");
    b.scanning = 1;
}

void BleScanDisable()
{
    Ble& b = ble();
    ce::debugPrintf("***[BTManager] ScanDisable (%d)\r\n", b.scanning.load());
    if (!b.scanning)
        return;
    BtSdk::SetScan(0);
    log("***[BTManager] ScanDisable set Ok\r\n");
    b.scanning = 0;
    PostInternal(WM_STKOUTMSG_BLEDEVFIND, 0, 0);
}

int BleConnect(int handle)
{
    BleScanDisable();
    RunWorker([handle] { connectWorker(handle); });
    return 1;
}

int BleDisconnect(int handle)
{
    log("***[BTManager] Disconnect BLE\r\n");
    Ble& b = ble();
    for (Sensor* s : { &b.hr, &b.csc })
        if (handle && handle == s->handle)
            return BtSdk::BLEEnd(handle, s->notification) == 0 ? 1 : 0;
    return 0;
}

void OnBleScanResult(const BtBleDevice* record)
{
    if (!record)
        return;
    int slot;
    {
        std::lock_guard<std::mutex> l(g_m);
        slot = ble().ringNext;
        ce::debugPrintf("------> nCount = %d \r\n ", slot);
        ble().ring[slot] = *record;
        ble().ringNext = (slot + 1) % kBleAdvertSlots;
    }
    RunWorker([slot] { advertWorker(slot); });
}

void OnHeartRateNotify(uint16_t characteristic, const uint8_t* data)
{
    notify(kBleHeartRate, characteristic, data);
}

void OnCscNotify(uint16_t characteristic, const uint8_t* data)
{
    notify(kBleSpeedCadence, characteristic, data);
}

void OnBleLinkEvent(int connected, const uint8_t* address)
{
    if (!address)
        return;
    Ble& b = ble();
    int handle = 0;
    {
        std::lock_guard<std::mutex> l(g_m);
        for (const BleDeviceRecord& r : b.table)
            if (r.handle && std::memcmp(r.address, address, 6) == 0) {
                handle = r.handle;
                break;
            }
    }
    if (!handle)
        return;
    std::lock_guard<std::mutex> order(g_linkOrder);
    const bool hr = handle == b.hr.handle;
    const bool csc = handle == b.csc.handle;
    if (connected) {
        if (hr && b.scanKind == kBleHeartRate) {
            log("***[BTManager] HR Connected\r\n");
            b.hr.polling = 1;
            PostInternal(WM_STKOUTMSG_CONNECT_RESULT, 2, kBtKindHeartRate);
            RunWorker([] { batteryWorker(kBleHeartRate); });
        } else if (csc && b.scanKind == kBleSpeedCadence) {
            log("***[BTManager] CSC Connected\r\n");
            b.csc.polling = 1;
            PostInternal(WM_STKOUTMSG_CONNECT_RESULT, 2, kBtKindSpeedCadence);
            RunWorker([] { batteryWorker(kBleSpeedCadence); });
        }
        return;
    }
    if (hr || csc) {
        Sensor& s = hr ? b.hr : b.csc;
        log(hr ? "***[BTManager] HR DisConnected\r\n" : "***[BTManager] CSC DisConnected\r\n");
        s.battery = 0;
        s.polling = 0;
        s.handle = 0;
        s.notification = 0;
        PostInternal(WM_STKOUTMSG_CONNECT_RESULT, 0, hr ? kBtKindHeartRate : kBtKindSpeedCadence);
    }
}

std::optional<BleDeviceRecord> CopyAdvertSlot(const void* slot)
{
    const auto* first = reinterpret_cast<const uint8_t*>(&ble().ring[0]);
    const auto* p = static_cast<const uint8_t*>(slot);
    if (p < first || p >= first + sizeof ble().ring || (p - first) % sizeof(BleDeviceRecord) != 0)
        return std::nullopt;
    std::lock_guard<std::mutex> l(g_m);
    return *reinterpret_cast<const BleDeviceRecord*>(p);
}

std::optional<SensorDataRecord> CopySensorRecord(const void* record)
{
    std::lock_guard<std::mutex> l(g_m);
    if (record == &ble().hr.record)
        return ble().hr.record;
    if (record == &ble().csc.record)
        return ble().csc.record;
    return std::nullopt;
}

BleState GetBleState()
{
    Ble& b = ble();
    std::lock_guard<std::mutex> l(g_m);
    return BleState { b.scanKind, b.scanning, b.hr.handle, b.csc.handle, b.hr.battery, b.csc.battery, b.hrCount,
        b.cscCount };
}

void ResetBleForTests()
{
    Ble& b = ble();
    b.hr.polling = b.csc.polling = 0;
    WaitForWorkers(60000);
    std::lock_guard<std::mutex> l(g_m);
    b.scanKind = b.scanning = b.advertBusy = b.connectBusy = 0;
    for (Sensor* s : { &b.hr, &b.csc }) {
        s->handle = s->characteristic = s->notification = s->battery = 0;
        s->record = SensorDataRecord {};
    }
    std::fill(std::begin(b.ring), std::end(b.ring), BleDeviceRecord {});
    std::fill(std::begin(b.table), std::end(b.table), BleDeviceRecord {});
    std::fill(std::begin(b.hrList), std::end(b.hrList), 0);
    std::fill(std::begin(b.cscList), std::end(b.cscList), 0);
    b.ringNext = b.tableNext = b.hrCount = b.cscCount = 0;
}

} // namespace kivo::bt
