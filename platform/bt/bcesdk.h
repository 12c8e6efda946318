// The Bluetooth stack library "BCESDK.dll": the records and callbacks that
// cross its interface, and the signatures of the entry points the manager
// calls. Every function returns 0 on success unless noted; callbacks come on
// the library's own threads. The other exports (bcesdk_names.h) take no
// arguments the manager relies on.
#pragma once

#include "platform/bt/bcesdk_names.h"

#include <cstddef>
#include <cstdint>

extern "C" {

// One paired phone of the shortcut list; the last entry is the last phone.
struct BtShortcut {
    uint8_t address[6];
    char16_t name[65]; // the first 32 code units are the name the manager uses
    int32_t type; // 1 invalid, 2 hands-free phone, 3 companion phone (serial link)
};
static_assert(sizeof(BtShortcut) == 140, "a shortcut is 140 bytes");
static_assert(offsetof(BtShortcut, type) == 136, "the phone type is at 136");

// A call as the hands-free profile reports it.
struct BtCallRecord {
    char16_t name[32];
    char16_t number[41];
};
static_assert(sizeof(BtCallRecord) == 146, "a call record is 146 bytes");

// A received SMS; the identifier is the manager's.
struct BtSmsRecord {
    int32_t id;
    char16_t name[32];
    char16_t number[41];
    char16_t text[1024];
    char16_t date[33];
};
static_assert(sizeof(BtSmsRecord) == 2264, "an SMS record is 2264 bytes");

constexpr int kBtPhonebookEntrySize = 2614;
// A now-playing entry as music event 9 delivers it and as the player is
// asked to play it: an 8-byte identifier, then the title as UTF-16 text to
// the entry's end (not always terminated).
constexpr int kBtNowPlayingEntrySize = 138;
constexpr int kBtPlayStatusSize = 16;

// Profile kinds of connection events.
constexpr int kBtKindHandsFree = 1;
constexpr int kBtKindAudio = 2;
constexpr int kBtKindSerial = 5;
constexpr int kBtKindMessages = 8;
constexpr int kBtKindBle = 9;
constexpr int kBtKindHeartRate = 10;
constexpr int kBtKindSpeedCadence = 11;
constexpr int kBtKindLinkLost = 13;

// Profiles asked for by BCESDK_Connect, and the disconnect mask of a phone.
constexpr int kBtConnectAudioGateway = 0x110C;
constexpr int kBtConnectHandsFree = 1;
constexpr int kBtConnectSerial = 5;
constexpr int kBtDisconnectPhone = 12;

// A BLE device as a scan reports it (passed to clients unchanged).
struct BtBleDevice {
    uint8_t address[6];
    char16_t name[65];
    int32_t handle; // the device handle every BLE call takes
    uint8_t reserved[4];
};
static_assert(sizeof(BtBleDevice) == 144, "a scanned BLE device is 144 bytes");
static_assert(offsetof(BtBleDevice, handle) == 136, "the device handle is at 136");

// GATT records the look-ups fill.
struct BtBleService {
    uint16_t uuid;
    uint16_t startHandle;
    uint16_t endHandle;
};
struct BtBleCharacteristic {
    uint16_t uuid;
    uint16_t handle; // the value's attribute handle; notifications name it
    uint8_t properties;
};
struct BtBleDescriptor {
    uint16_t uuid;
    uint16_t handle;
};
// A characteristic's value: data allocated by the library with malloc; the
// caller frees it.
struct BtBleValue {
    uint8_t* data;
    int32_t length;
};

constexpr int kBtBleMeasurementBytes = 12;

typedef void (*BtBleScanCallback)(const BtBleDevice* device);
// A notification: the characteristic's handle and its 12-byte measurement.
typedef void (*BtBleNotifyCallback)(uint16_t characteristic, const uint8_t* data);

typedef void (*BtConnectCallback)(int connected, const uint8_t* address, int kind);
typedef void (*BtHandsFreeCallback)(int event, const BtCallRecord* record);
typedef void (*BtPimCallback)(int event, int reserved, int value);
typedef void (*BtMessageCallback)(int event, const void* data);
typedef void (*BtMusicCallback)(int event, const void* data);

} // extern "C"

// The typed entry points the manager calls. X(name, result, (params)).
// AVRCP_PlayListItems asks the player to play one entry of its now-playing
// list: the entry's kBtNowPlayingEntrySize bytes (null names none) and its
// index in the list from 0. AVRCP_GetCapabilities asks what the player can
// do; the manager always asks with 1.
#define BCESDK_TYPED_EXPORTS(X) \
    X(Init, int, (void)) \
    X(SetPairable, int, (int discoverable, int connectable, int pairable)) \
    X(GetRemoteName, int, (const uint8_t* address, char16_t* name, int maxChars)) \
    X(Connect, int, (const uint8_t* address, int profile)) \
    X(Disconnect, int, (const uint8_t* address, int mask)) \
    X(GetAllShortCuts, int, (BtShortcut* list, int* count)) \
    X(RegisterConnectCallback, int, (BtConnectCallback callback)) \
    X(HFAP_RegisterCallback, int, (BtHandsFreeCallback callback, int reserved)) \
    X(HFAP_3WayCalling, int, (int action, int index)) \
    X(HFAP_AnswerCall, int, (void)) \
    X(HFAP_CancelCall, int, (void)) \
    X(HFAP_Dial, int, (const char* number, int length)) \
    X(HFAP_GetAudioStatus, int, (void)) \
    X(HFAP_Transfer, int, (void)) \
    X(PIMStartUpdateContacts, int, (void)) \
    X(PIMRegisterCallbackEx, int, (BtPimCallback pim, int reserved, BtMessageCallback message)) \
    X(PIMSendSMS, int, (const char16_t* number, const char16_t* text)) \
    X(PIMGetContacts, int, (void* entries, int* count)) \
    X(AVRCP_NowPlayingListItems, int, (void)) \
    X(AVRCP_PlayListItems, int, (const uint8_t* entry, int index)) \
    X(AVRCP_GetCapabilities, int, (int capability)) \
    X(AVRCP_RegCallBack, int, (BtMusicCallback callback)) \
    X(AVRCPPlayLast, int, (void)) \
    X(AVRCPPlayNext, int, (void)) \
    X(AVRCPForcePlay, int, (void)) \
    X(AVRCPForcePause, int, (void)) \
    X(GetSavePath, int, (char16_t* path, int maxChars)) \
    X(PIMStartSMSNotify, int, (void)) \
    X(GetClientPort, int, (uint16_t* port)) \
    X(ScanedBLERegisterCb, int, (int kind, BtBleScanCallback callback)) \
    X(SetScan, int, (int on)) \
    X(BLEGetServiceByUUID, int, (int device, BtBleService* service, uint16_t uuid)) \
    X(BLEGetCharacterByUUID, int, (int device, const BtBleService* service, BtBleCharacteristic* out, uint16_t uuid)) \
    X(BLEGetDescriptorByUUID, int, (int device, const BtBleCharacteristic* ch, BtBleDescriptor* out, uint16_t uuid)) \
    X(BLESetDescriptorValue, int, (int device, const BtBleDescriptor* descriptor, int value)) \
    X(BLEGetCharacteristicValue, int, (int device, const BtBleCharacteristic* ch, int maxLength, BtBleValue* value)) \
    X(BLERegNotification, int, (int device, const BtBleCharacteristic* ch, int* notification, BtBleNotifyCallback callback, int kind)) \
    X(BLEEnd, int, (int device, int notification))
