// The simulated Bluetooth stack behind "BCESDK.dll" (bin/BCESDK.so) and the
// buzzer "BUZ1:", with one simulated phone.
//
// The world is the JSON file \SystemDrive\sim\bt.json under the device root
// (see README.md in this folder), read when the library starts
// (BCESDK_Init) or on reload(); a missing file gives the default world, a
// malformed one is logged and gives the default world too. Tests may set the
// world directly and drive the phone through this API; the programs reach
// the simulator only through the library's exports, as they would reach the
// real stack. Callbacks run on the simulator's own thread, in order.
#pragma once

#include "platform/bt/bcesdk.h"
#include "platform/device.h"

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace kivo::sim::bt {

constexpr const char* kWorldFile = "\\SystemDrive\\sim\\bt.json";
// The buzzer's beep control and the value it takes.
constexpr uint32_t kBuzzerIoctl = 0x8020243Cu;

struct Shortcut {
    std::array<uint8_t, 6> address {};
    std::u16string name;
    int type = 2;
};

// A BLE sensor: kind 1 heart rate (services 0x180D and 0x180F), kind 2
// speed and cadence (0x1816 and 0x180F). It advertises while the stack
// scans; once its notifications are on it sends its measurement every
// intervalMs (0: only when a test says so).
struct BleSensor {
    std::array<uint8_t, 6> address {};
    std::u16string name;
    int handle = 0;
    int kind = 1;
    int battery = 100;
    int intervalMs = 0;
    std::array<uint8_t, kBtBleMeasurementBytes> measurement {};
};

// The attribute handles of the measurements and of the battery level.
constexpr uint16_t kHeartRateMeasurementHandle = 0x0012;
constexpr uint16_t kCscMeasurementHandle = 0x0022;
constexpr uint16_t kBatteryLevelHandle = 0x0032;

struct World {
    bool initSucceeds = true;
    std::vector<Shortcut> shortcuts; // the last one is the last phone
    std::u16string remoteName; // what the phone calls itself; empty: its shortcut name
    std::set<int> refusedProfiles; // BCESDK_Connect profiles the phone refuses
    int contacts = 0;
    std::vector<std::u16string> tracks; // the now-playing list
    std::string savePath = "\\SystemDrive\\BtSdk\\Save"; // the stack's save folder (device path)
    // Export name (without "BCESDK_") -> the result it always gives instead
    // of its own. For PIMSendSMS a failure also reports the send as failed.
    // A GATT look-up fails for one UUID alone with a key such as
    // "BLEGetServiceByUUID/180F" (four hex digits).
    std::map<std::string, int> failures;
    // The serial port of a companion phone's application, "COM<n>:", served
    // in this process once the stack is asked for it (unless a test serves
    // companionDriver() through the device socket instead).
    int companionPort = 4;
    bool companionInProcess = true;
    std::vector<BleSensor> sensors;
};

// Reads a world; false with a message for malformed text (w untouched).
bool parseWorld(const std::string& json, World* w, std::string* error);

// Replaces the world from the file and forgets every link, callback and
// call of the log. The buzzer count stays.
void reload();
// Replaces the world; links, callbacks and the log stay.
void setWorld(const World& w);
World world();

// The phone's side, delivered on the simulator's thread. The address of
// connection events is the last phone's (zeros when there is none).
void connectionEvent(int connected, int kind);
// A hands-free event with a call record, or without one (null record).
void handsFreeEvent(int event, const std::u16string& name, const std::u16string& number);
void handsFreeEventWithoutRecord(int event);
// Message events: 1 new SMS (with the record), 3/5 send failed, 4 sent.
void newSms(const std::u16string& name, const std::u16string& number, const std::u16string& text,
    const std::u16string& date = {});
void messageEvent(int event);
void pimEvent(int event, int value);
void musicEvent(int event, const std::vector<uint8_t>& data);
// Returns once every event queued so far has been delivered.
void waitIdle();
// True when no event waits or runs (for callers that must keep pumping
// their messages while the callbacks send to them).
bool idle();

// Link kinds the phone holds now (from connects, disconnects and events).
std::set<int> connectedKinds();
bool callbacksRegistered();

// The call log: every export called, with its integer arguments and, for
// dial strings, SMS and names, its text (UTF-8).
struct Call {
    std::string name; // without "BCESDK_"
    std::vector<long> args;
    std::string text;
};
std::vector<Call> calls();
int countCalls(const std::string& name);
void clearCalls();

// ---- the companion application on the serial port ----------------------------------------------
// Frames the manager wrote, one entry per write.
std::vector<std::vector<uint8_t>> companionFrames();
void clearCompanionFrames();
// Queues bytes for the manager to read, cut into reads of the given sizes
// (one read never returns more than one piece; the rest goes in one piece).
void companionSend(const std::vector<uint8_t>& bytes, const std::vector<size_t>& pieces = {});
// A frame: AF FA, command, length, payload.
std::vector<uint8_t> companionFrame(uint8_t command, const std::vector<uint8_t>& payload = {});
// Whether the port is open, and whether a read of it is waiting for data.
bool companionOpen();
bool companionReading();
// Makes the manager's writes fail (true) or succeed again.
void companionFailWrites(bool fail);
std::shared_ptr<ce::DeviceDriver> companionDriver();

// ---- BLE sensors --------------------------------------------------------------------------------
// Advertises a sensor again (only while scanning).
void bleAdvertise(int handle);
// A notification of a sensor whose notifications are on, of its own
// measurement characteristic or of the one given.
void bleNotify(int handle, const std::array<uint8_t, kBtBleMeasurementBytes>& data, int characteristic = -1);
// A kind-9 link event with the sensor's address.
void bleLinkEvent(int handle, int connected);
bool bleScanning();
// Sensors whose notifications are on.
std::set<int> bleNotifying();

// Beep controls the buzzer took since the last reset.
int buzzerBeeps();
void resetBuzzer();

// One phone-book entry as the simulator fills it (index from 0).
std::vector<uint8_t> phonebookEntry(int index);
// One now-playing entry: an 8-byte identifier, then the title (UTF-16).
std::vector<uint8_t> nowPlayingEntry(int index, const std::u16string& title);
// An entry read back: its identifier (the track's place in the phone's list
// from 1) and its title up to its first zero or the entry's end. False, with
// out untouched, for fewer bytes than an entry.
struct NowPlayingItem {
    uint64_t id = 0;
    std::u16string title;
};
bool readNowPlayingEntry(const uint8_t* bytes, size_t size, NowPlayingItem* out);

} // namespace kivo::sim::bt
