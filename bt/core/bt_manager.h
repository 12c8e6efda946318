// The Bluetooth manager core: Bluetooth on and off, the phone link, the
// stack's callbacks, calls and music through the stack, the notification
// list, auto-connect, the configuration file, the buzzer and the factory
// reset. Process-wide state; reports to the internal windows and to the
// registered clients.
#pragma once

#include "bt/core/bt_records.h"
#include "platform/types.h"

#include <functional>
#include <string>
#include <vector>

namespace kivo::bt {

// Back-end modes.
constexpr int kModeNone = 0;
constexpr int kModeStack = 1;
constexpr int kModeSerial = 2;

// Call states.
constexpr int kCallRinging = 0;
constexpr int kCallOutgoing = 1;
constexpr int kCallActive = 2;
constexpr int kCallEnded = 3;

int BtManagerStart();
int BtManagerStop();

int GetPhoneState();
void SetPhoneState(int state);
// Copies the name (up to 32 code units and a terminator: the buffer holds
// 33) and returns 1 while a phone is linked, else 0 (buffer emptied).
int GetConnectedPhoneName(char16_t* buffer);
std::u16string ConnectedPhoneName();
// The last paired phone of the stack: true when there is one, with its name
// (which may still be empty while the stack has not read it).
bool LastPhoneName(std::u16string* name);

int DialNumber(const std::u16string& number);
int AnswerCall();
int RejectOrHangUp();
int CallVolumeUp();
int CallVolumeDown();
int MusicPlayPause();
int MusicPrevious();
int MusicNext();
int MusicVolumeUp();
int MusicVolumeDown();
int SetVoiceLanguage(int languageId);
int SendEmergencyMessage(const std::u16string& number, const std::u16string& text);
int DisconnectPhone();

// The notification list. Add takes a CallRecord (type 1) or an SmsRecord
// (type 2); null when memory is short.
NotificationRecord* AddNotification(int type, const void* record);
// Removes the first record of the same type whose number and date match
// (a message only when it is equal whole); 1 when one was removed.
int RemoveNotification(const NotificationRecord* record);
NotificationRecord* FindMissedCall(const char16_t* number);
// 1-based position of the message among the messages, or 0.
int MarkMessageRead(const NotificationRecord* record);
// Copies of the held notifications in store order.
std::vector<NotificationRecord> NotificationsCopy();
int MissedCallCount();
int MessageCount();

// 1 when the file was read whole; else the defaults (a missing file, or one
// that cannot be read whole) and 0.
int LoadConfiguration(BtConfigRecord* record);
// 1 when written; on a write that failed for lack of space the clients get
// WM_BTOUT_MEMORY_FULL.
int SaveConfiguration(const BtConfigRecord* record);
// Each loads the file, changes its fields and saves it as one step, safe
// from any thread. StoreServiceSettings sets fields 0-16; StoreBluetoothOn
// field 20, and leaves a file it cannot read whole as it is (0).
int StoreServiceSettings(int call, int messageAlerts, int musicControl, int voiceInstruction, int message);
int StoreBluetoothOn(int on);
std::string ConfigurationPath();

int Buzz(int type);
int FactoryReset();
// The program's directory (device path, without a trailing separator).
int ProgramDirectory(char16_t* buffer, int size);
std::string ProgramDirectoryPath();
// 1 removed, 0 not a directory, -1 failed.
int DeleteDirectoryTree(const std::string& devicePath, bool removeRoot);

// The stack's callbacks.
void OnConnectionEvent(int connected, const uint8_t* address, int kind);
void OnHandsFreeEvent(int event, const BtCallRecord* record);
void OnNewMessage(int event, const void* data);
void OnPimCallback(int event, int reserved, int value);
void OnMusicEvent(int event, const void* data);

// State that the windows read.
struct ManagerState {
    int mode;
    int callState;
    int serialLink, handsFree, audio, messages;
    int bluetoothOn, stackInitialised, started, phoneLinked, reconnectAllowed;
    int playing, phonebookDelivering;
    int waitingCall, twoCallsHeld, heldCall, outgoing, previousCallEnded, callMinimised;
    int nowPlayingCount;
};
ManagerState GetManagerState();
void SetReconnectAllowed(bool allowed);
void SetCallMinimised(bool minimised);
// The working copy of the call flag and the settings screen's copies.
int ServiceFlag(int field); // 0 call .. 4 message
void SetSettingsCopies(int call, int messageAlerts, int musicControl, int voiceInstruction, int message);
int SettingsCallCopy();
void SetSettingsCallCopy(int call);
// Whether the connected phone was announced to the clients (state 2).
bool PhoneAnnounced();
void SetPhoneAnnounced(bool announced);
TrackBlock CurrentTrack();
// Replaces the current track's title, artist and album, telling no one.
void SetCurrentTrack(const TrackBlock& track);
// The titles of the player's now-playing list, in its order.
std::vector<std::u16string> NowPlayingTitles();
// The 1-based place of the first now-playing entry titled as the current
// track, 0 when none is.
int CurrentTrackPlace();
// Asks the stack to play the now-playing entry at index (from 0), naming
// the entry and its index; 1 when asked, 0 for an index outside the list
// or a failing stack.
int PlayNowPlayingEntry(int index);
// Asks the stack for the player's capabilities (with 1, as everywhere).
int AskMusicCapabilities();
// On a short thread: the capabilities again, the now-playing list emptied
// and asked for anew.
void RefreshNowPlaying();
// The serial link's music information: status 0 playing, 1 paused (other
// values leave the flag), the block the new track; a null block clears the
// track information.
void SetLinkTrack(int status, const TrackBlock* block);
// The stack library was initialised by someone other than the start.
void SetStackInitialised();
// The phone book, fetched on first use and kept until the link ends.
std::vector<uint8_t> PhonebookCopy();

// Test hooks: every wait of the core and its threads is divided by scale
// (clock readings multiplied), and a way to wait for the workers to end.
void SetTimeScale(double scale);
void SleepScaled(ce::DWORD ms);
bool WaitForWorkers(ce::DWORD timeoutMs);
// Runs fn on a short worker thread of the core.
void RunWorker(std::function<void()> fn);
// Puts the process-wide state back to its values at program start.
void ResetManagerForTests();

} // namespace kivo::bt
