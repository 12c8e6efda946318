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

#include <array>
#include <cstdint>
#include <map>
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
    std::map<std::string, int> failures;
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

// Beep controls the buzzer took since the last reset.
int buzzerBeeps();
void resetBuzzer();

// One phone-book entry as the simulator fills it (index from 0).
std::vector<uint8_t> phonebookEntry(int index);
// One now-playing entry: an 8-byte identifier, then the title (UTF-16).
std::vector<uint8_t> nowPlayingEntry(int index, const std::u16string& title);

} // namespace kivo::sim::bt
