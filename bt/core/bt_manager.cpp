#include "bt/core/bt_manager.h"

#include "bt/core/ble_sensors.h"
#include "bt/core/bt_ipc.h"
#include "bt/core/bt_messages.h"
#include "bt/core/bt_sdk.h"
#include "bt/core/event_list.h"
#include "bt/core/phone_link.h"

#include "platform/debug.h"
#include "platform/device.h"
#include "platform/paths.h"
#include "platform/sync.h"

#include <QString>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <ctime>
#include <mutex>
#include <optional>

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kivo::bt {

namespace {

constexpr ce::DWORD kAutoConnectLimitMs = 180000;
constexpr ce::DWORD kBuzzerBeep = 0x8020243Cu;

// Process-wide state. Flags are atomics written by one thread and read by
// others; records and text sit under g_data.
struct State {
    std::atomic<int> mode { kModeNone };
    std::atomic<int> callState { -1 };
    std::atomic<int> serialLink { 0 }, handsFree { 0 }, audio { 0 }, messages { 0 };
    std::atomic<int> bluetoothOn { 1 }, stackInitialised { 0 }, started { 0 }, phoneLinked { 0 };
    std::atomic<int> reconnectAllowed { 1 };
    std::atomic<int> playing { 0 }, phonebookDelivering { 0 }, smsNotifyAttempts { 0 };
    std::atomic<int> phoneState { 0 };
    std::atomic<int> waitingCall { 0 }, twoCallsHeld { 0 }, heldCall { 0 }, outgoing { 0 };
    std::atomic<int> previousCallEnded { 1 }, callMinimised { 0 };
    std::atomic<int> lastEventPosted { 0 };
    std::atomic<int> autoConnectBusy { 0 };
    std::atomic<int> announced { 0 };
    std::atomic<int> messageId { 0 };
    std::atomic<int> missed { 0 }, messagesHeld { 0 };
    std::atomic<int> service[5] { { 1 }, { 1 }, { 1 }, { 1 }, { 1 } };
    std::atomic<int> settings[5] { { 0 }, { 0 }, { 0 }, { 0 }, { 0 } };
};

State g;
std::mutex g_data;
// The configuration file has writers on several threads (the settings
// screen, Bluetooth's on and off on workers): each load-change-save is one
// step under this lock, and so is every save.
std::mutex g_config;
char16_t g_connectedName[33] = {}; // 32 code units and the terminator
char16_t g_lastPhoneName[33] = {}; // lParam of WM_STKOUTMSG_AUTOCONNECTING; stays valid
CallRecord g_current {};
CallRecord g_waiting {};
TrackBlock g_track {};
uint8_t g_playStatus[kBtPlayStatusSize] = {};
std::vector<std::array<uint8_t, kBtNowPlayingEntrySize>> g_nowPlaying;
std::vector<uint8_t> g_phonebook;
bool g_phonebookCached = false;

// One list for the whole run: stop empties it, nothing destroys it, so a
// late callback or a second stop always finds it.
EventList& notifications()
{
    static EventList* list = new EventList;
    return *list;
}

// ---- time and workers -----------------------------------------------------------------------

std::atomic<double> g_scale { 1.0 };
std::mutex g_workersMutex;
std::condition_variable g_workersCv;
int g_workers = 0;

uint64_t nowScaledMs()
{
    const auto real = std::chrono::steady_clock::now().time_since_epoch();
    const double ms = double(std::chrono::duration_cast<std::chrono::microseconds>(real).count()) / 1000.0;
    return uint64_t(ms / g_scale.load());
}

void startWorker(std::function<void()> fn)
{
    {
        std::lock_guard<std::mutex> l(g_workersMutex);
        ++g_workers;
    }
    ce::HANDLE h = ce::createThread([fn = std::move(fn)]() -> ce::DWORD {
        fn();
        std::lock_guard<std::mutex> l(g_workersMutex);
        --g_workers;
        g_workersCv.notify_all();
        return 0;
    });
    if (h) {
        ce::closeHandle(h);
    } else {
        std::lock_guard<std::mutex> l(g_workersMutex);
        --g_workers;
        g_workersCv.notify_all();
    }
}

void log(const char* text)
{
    ce::debugOutput(text);
}

// ---- clients ------------------------------------------------------------------------------------

void sendPhoneState(int state, const std::u16string& name = {})
{
    PhoneStateRecord r {};
    r.state = state;
    setField(r.name, 64, Utf16Prefix(name, 32));
    ExternalSendRecord(WM_BTOUT_PHONE_STATE, &r, sizeof r);
}

void sendCount()
{
    ExternalPostMessage(WM_BTOUT_COUNT_NOTIFICATIONS, ce::WPARAM(g.missed + g.messagesHeld), 0);
}

// ---- the last phone ---------------------------------------------------------------------------

bool readLastPhone(BtShortcut* out)
{
    int count = 0;
    if (BtSdk::GetAllShortCuts(nullptr, &count) != 0 || count <= 0 || count > 1000) {
        log("\r\nEEEEEEEEEEEEEEEEE:No Shortcut!!!!!!!!!!!!!!!!!!!!!!!\r\n");
        return false;
    }
    std::vector<BtShortcut> list(static_cast<size_t>(count));
    int filled = count;
    if (BtSdk::GetAllShortCuts(list.data(), &filled) != 0 || filled <= 0 || filled > count) {
        log("\r\nEEEEEEEEEEEEEEEEE:No Shortcut!!!!!!!!!!!!!!!!!!!!!!!\r\n");
        return false;
    }
    *out = list[size_t(filled - 1)];
    out->name[64] = 0;
    if (out->type == 1)
        log("\r\nEEEEEEEEEEEEEEEEE:Invalid Phone Type!!!!!!!!!!!!!!!!!!!!!!!\r\n");
    std::lock_guard<std::mutex> l(g_data);
    setField(g_lastPhoneName, 33, fieldText(out->name, 32));
    return true;
}

} // namespace

bool LastPhoneName(std::u16string* name)
{
    BtShortcut phone {};
    if (!readLastPhone(&phone))
        return false;
    if (name)
        *name = fieldText(phone.name, 32);
    return true;
}

namespace {

int lastPhoneType()
{
    BtShortcut sc {};
    return readLastPhone(&sc) ? sc.type : 0;
}

void readRemoteName(const uint8_t* address)
{
    char16_t name[33] = {};
    if (BtSdk::GetRemoteName(address, name, 33) != 0 || !name[0])
        BtSdk::GetRemoteName(address, name, 33);
    name[32] = 0;
    std::lock_guard<std::mutex> l(g_data);
    setField(g_connectedName, 33, Utf16Prefix(fieldText(name, 32), 32));
}

bool anyLink()
{
    return g.serialLink || g.handsFree || g.audio || g.messages;
}

// ---- worker bodies -----------------------------------------------------------------------------

void autoConnect()
{
    if (g.autoConnectBusy.exchange(1))
        return;
    if (!g.bluetoothOn) {
        g.autoConnectBusy = 0;
        return;
    }
    const uint64_t start = nowScaledMs();
    BtShortcut phone {};
    if (readLastPhone(&phone) && phone.type != 1) {
        sendPhoneState(3);
        g.phoneState = 3;
    }
    bool connected = false;
    while (g.reconnectAllowed && g.stackInitialised) {
        if (!g.bluetoothOn || g.serialLink || g.handsFree)
            break;
        SleepScaled(2000);
        if (!g.bluetoothOn)
            break;
        if (!readLastPhone(&phone)) {
            if (nowScaledMs() - start >= kAutoConnectLimitMs)
                break;
            SleepScaled(1000);
            continue;
        }
        PostInternal(WM_STKOUTMSG_AUTOCONNECTING, 1, reinterpret_cast<ce::LPARAM>(g_lastPhoneName));
        int result;
        if (phone.type == 2) {
            BtSdk::Connect(phone.address, kBtConnectAudioGateway);
            result = BtSdk::Connect(phone.address, kBtConnectHandsFree);
            if (result != 0)
                result = BtSdk::Connect(phone.address, kBtConnectHandsFree);
        } else if (phone.type == 3) {
            result = BtSdk::Connect(phone.address, kBtConnectSerial);
        } else {
            break;
        }
        if (result == 0) {
            connected = true;
            break;
        }
        if (nowScaledMs() - start >= kAutoConnectLimitMs) {
            if (g.reconnectAllowed)
                PostInternal(WM_STKOUTMSG_AUTOCONNECTING, 0, reinterpret_cast<ce::LPARAM>(g_lastPhoneName));
            break;
        }
        SleepScaled(1000);
    }
    // A phone that answered is reported by its connection events; only a
    // round that gave up (or was stopped) takes the auto-connecting state back.
    if (!connected && !anyLink() && g.phoneState == 3) {
        sendPhoneState(1);
        g.phoneState = 1;
    }
    g.autoConnectBusy = 0;
}

void startAutoConnect()
{
    if (g.autoConnectBusy || !g.bluetoothOn)
        return;
    startWorker(autoConnect);
}

void startPhonebookDownload()
{
    BtSdk::PIMStartUpdateContacts();
}

void smsNotify()
{
    if (!g.messages && g.smsNotifyAttempts < 3) {
        ++g.smsNotifyAttempts;
        if (BtSdk::PIMStartSMSNotify() != 0) {
            SleepScaled(3000);
            ++g.smsNotifyAttempts;
            BtSdk::PIMStartSMSNotify();
        }
    }
    for (int i = 0; i < 10 && !g.messages && g.bluetoothOn; ++i)
        SleepScaled(1000);
    if (!g.phonebookDelivering && g.smsNotifyAttempts <= 2)
        startPhonebookDownload();
}

// What the manager asks the player's capabilities with, wherever it asks.
constexpr int kMusicCapabilities = 1;

// The now-playing list emptied and asked for anew, after the player's
// capabilities when they are wanted too.
void requestNowPlaying(bool capabilities)
{
    if (capabilities)
        BtSdk::AVRCP_GetCapabilities(kMusicCapabilities);
    {
        std::lock_guard<std::mutex> l(g_data);
        g_nowPlaying.clear();
    }
    BtSdk::AVRCP_NowPlayingListItems();
}

void musicSetup()
{
    BtSdk::AVRCP_RegCallBack(&OnMusicEvent);
    requestNowPlaying(true);
}

// A now-playing entry: an 8-byte identifier, then the title as UTF-16 text
// to the end of the entry.
constexpr size_t kEntryTitleOffset = 8;
constexpr size_t kEntryTitleUnits = (kBtNowPlayingEntrySize - kEntryTitleOffset) / 2;

std::u16string entryTitle(const std::array<uint8_t, kBtNowPlayingEntrySize>& entry)
{
    char16_t title[kEntryTitleUnits];
    std::memcpy(title, entry.data() + kEntryTitleOffset, sizeof title);
    return fieldText(title, kEntryTitleUnits);
}

// The 1-based place of the first entry titled as the current track, 0 when
// none is. The track keeps fewer code units of its title than an entry
// holds: titles are compared as far as the track keeps them. g_data held.
int currentPlaceLocked()
{
    constexpr size_t kKept = std::size(g_track.title);
    const std::u16string title = fieldText(g_track.title, std::size(g_track.title));
    if (title.empty())
        return 0;
    for (size_t i = 0; i < g_nowPlaying.size(); ++i)
        if (entryTitle(g_nowPlaying[i]).substr(0, kKept) == title)
            return int(i) + 1;
    return 0;
}

// Names the entry at index to the player. The stack gets a copy, taken
// under the lock: the list may change while it works. The stack's answer;
// none when there is no such entry (nothing asked).
std::optional<int> playEntry(int index, bool current)
{
    std::array<uint8_t, kBtNowPlayingEntrySize> entry;
    {
        std::lock_guard<std::mutex> l(g_data);
        if (current)
            index = currentPlaceLocked() - 1;
        if (index < 0 || size_t(index) >= g_nowPlaying.size())
            return std::nullopt;
        entry = g_nowPlaying[size_t(index)];
    }
    return BtSdk::AVRCP_PlayListItems(entry.data(), index);
}

void releaseNotification(void* record)
{
    delete static_cast<NotificationRecord*>(record);
}

void emptyNotifications()
{
    notifications().Clear(releaseNotification);
    g.missed = 0;
    g.messagesHeld = 0;
}

void dateNow(char16_t* field, size_t units)
{
    const std::time_t t = std::time(nullptr);
    std::tm tm {};
    localtime_r(&t, &tm);
    char text[40];
    std::snprintf(text, sizeof text, "%02d/%02d/%04d %02d:%02d", tm.tm_mon + 1, tm.tm_mday, tm.tm_year + 1900,
        tm.tm_hour, tm.tm_min);
    setField(field, units, QString::fromLatin1(text).toStdU16String());
}

// Each internal window gets its own heap copy; the receiver frees it.
template <typename Record>
void postCopies(ce::UINT message, ce::WPARAM wParam, const Record* record)
{
    for (ce::HWND w : InternalWindows()) {
        Record* copy = record ? new (std::nothrow) Record(*record) : nullptr;
        if (!ce::postMessage(w, message, wParam, reinterpret_cast<ce::LPARAM>(copy)))
            delete copy;
    }
}

std::string configurationDevicePath()
{
    return ProgramDirectoryPath() + "\\BravikConfig.dat";
}

bool isDriveRoot(const std::string& linuxPath)
{
    const std::string root = ce::deviceRoot();
    std::string p = linuxPath;
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    if (p == root)
        return true;
    // A drive: one component below the root.
    return p.size() > root.size() && p.compare(0, root.size() + 1, root + "/") == 0
        && p.find('/', root.size() + 1) == std::string::npos;
}

int deleteTree(const std::string& linuxPath, bool removeRoot)
{
    struct stat st {};
    if (::lstat(linuxPath.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return 0;
    DIR* dir = ::opendir(linuxPath.c_str());
    if (!dir)
        return -1;
    bool ok = true;
    while (dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        const std::string child = linuxPath + "/" + name;
        struct stat cst {};
        if (::lstat(child.c_str(), &cst) != 0) {
            ok = false;
            continue;
        }
        if (S_ISDIR(cst.st_mode))
            ok = deleteTree(child, true) == 1 && ok;
        else
            ok = ::unlink(child.c_str()) == 0 && ok;
    }
    ::closedir(dir);
    if (removeRoot && ::rmdir(linuxPath.c_str()) != 0)
        ok = false;
    return ok ? 1 : -1;
}

} // namespace

// ---- fields --------------------------------------------------------------------------------------

std::u16string fieldText(const char16_t* field, size_t units)
{
    size_t n = 0;
    while (n < units && field[n])
        ++n;
    return std::u16string(field, n);
}

void setField(char16_t* field, size_t units, const std::u16string& text)
{
    if (!units)
        return;
    setFullField(field, units - 1, text);
    field[units - 1] = u'\0';
}

void setFullField(char16_t* field, size_t units, const std::u16string& text)
{
    const size_t n = std::min(text.size(), units);
    std::fill(field, field + units, u'\0');
    std::copy_n(text.begin(), n, field);
}

// ---- time ------------------------------------------------------------------------------------------

void SetTimeScale(double scale)
{
    if (scale > 0)
        g_scale = scale;
}

void SleepScaled(ce::DWORD ms)
{
    ce::sleep(ce::DWORD(std::ceil(double(ms) * g_scale.load())));
}

void RunWorker(std::function<void()> fn)
{
    startWorker(std::move(fn));
}

bool WaitForWorkers(ce::DWORD timeoutMs)
{
    std::unique_lock<std::mutex> l(g_workersMutex);
    return g_workersCv.wait_for(l, std::chrono::milliseconds(timeoutMs), [] { return g_workers == 0; });
}

// ---- start and stop -----------------------------------------------------------------------------

namespace {

// Records whether Bluetooth is on in the configuration, and tells the phone
// controller and the clients.
void announceBluetooth(int on)
{
    StoreBluetoothOn(on);
    PostInternal(WM_STKOUTMSG_BTSTATUS, on, 0);
    sendPhoneState(on);
    g.phoneState = on;
}

} // namespace

int BtManagerStart()
{
    if (g.stackInitialised) {
        BtSdk::SetPairable(1, 1, 1);
    } else {
        if (BtSdk::Init() != 0) {
            log("***[BTManager] BCESDK_Init failed\r\n");
            return 0;
        }
        g.stackInitialised = 1;
    }
    g.bluetoothOn = 1;
    g.started = 1;
    notifications();

    BtSdk::RegisterConnectCallback(&OnConnectionEvent);
    BtSdk::HFAP_RegisterCallback(&OnHandsFreeEvent, 0);
    BtSdk::PIMRegisterCallbackEx(&OnPimCallback, -1, &OnNewMessage);

    announceBluetooth(1);

    BtShortcut phone {};
    if (readLastPhone(&phone)) {
        {
            std::lock_guard<std::mutex> l(g_data);
            setField(g_connectedName, 33, Utf16Prefix(fieldText(phone.name, 32), 32));
        }
        startAutoConnect();
    }
    return 1;
}

int BtManagerStop()
{
    BtSdk::SetPairable(0, 0, 0);
    g.bluetoothOn = 0;
    BtShortcut phone {};
    if (readLastPhone(&phone))
        BtSdk::Disconnect(phone.address, kBtDisconnectPhone);
    g.phonebookDelivering = 0;
    emptyNotifications();
    sendCount();
    announceBluetooth(0);
    g.started = 0;
    return 1;
}

int GetPhoneState()
{
    return g.phoneState;
}

void SetPhoneState(int state)
{
    g.phoneState = state;
}

int GetConnectedPhoneName(char16_t* buffer)
{
    std::lock_guard<std::mutex> l(g_data);
    if (!g.phoneLinked) {
        std::fill(buffer, buffer + 33, u'\0');
        return 0;
    }
    std::copy_n(g_connectedName, 33, buffer);
    buffer[32] = 0;
    return 1;
}

std::u16string ConnectedPhoneName()
{
    std::lock_guard<std::mutex> l(g_data);
    return fieldText(g_connectedName, 32);
}

// ---- calls and music --------------------------------------------------------------------------

namespace {

// Writes a command of the serial link, logging a failed write when the
// operation has a log line for it.
int linkCommand(uint8_t command, const char* failure = nullptr, const std::vector<uint8_t>& payload = {})
{
    if (WritePhoneLinkFrame(command, payload))
        return 1;
    if (failure)
        log(failure);
    return 0;
}

} // namespace

int DialNumber(const std::u16string& number)
{
    if (!g.service[0])
        return 0;
    if (g.mode != kModeStack)
        return linkCommand(kLinkDial, "hr: Write Com failed!\r\n", DialPayload(number));
    // The dial string goes out in the 8-bit code page (UTF-8 here).
    const QByteArray text = QString::fromStdU16String(number).toUtf8();
    return BtSdk::HFAP_Dial(text.constData(), text.size()) == 0 ? 1 : 0;
}

int AnswerCall()
{
    if (g.mode != kModeStack)
        return linkCommand(kLinkAnswer);
    if (g.waitingCall) {
        // The state first: the phone's answer to the switch may come at once.
        g.twoCallsHeld = 1;
        g.waitingCall = 0;
        BtSdk::HFAP_3WayCalling(2, 0);
        if (g.callMinimised)
            PostInternal(WM_INCALLMINMSG, 0, 0);
        return 1;
    }
    return BtSdk::HFAP_AnswerCall() == 0 ? 1 : 0;
}

int RejectOrHangUp()
{
    if (g.mode != kModeStack)
        return linkCommand(kLinkReject, "reject: Write Com failed!\r\n");
    if (g.twoCallsHeld) {
        g.twoCallsHeld = 0;
        BtSdk::HFAP_3WayCalling(1, 0);
        return 1;
    }
    if (g.waitingCall) {
        g.waitingCall = 0;
        g.heldCall = 1;
        BtSdk::HFAP_3WayCalling(0, 0);
        return 1;
    }
    return BtSdk::HFAP_CancelCall() == 0 ? 1 : 0;
}

// Volume and voice language exist only on the serial link.
int CallVolumeUp()
{
    return g.mode == kModeSerial ? linkCommand(kLinkCallVolumeUp, "up: Write Com failed!\r\n") : 0;
}

int CallVolumeDown()
{
    return g.mode == kModeSerial ? linkCommand(kLinkCallVolumeDown, "down: Write Com failed!\r\n") : 0;
}

int MusicVolumeUp()
{
    return g.mode == kModeSerial ? linkCommand(kLinkMusicVolumeUp, "volume up: Write Com failed!\r\n") : 0;
}

int MusicVolumeDown()
{
    return g.mode == kModeSerial ? linkCommand(kLinkMusicVolumeDown, "volume down: Write Com failed!\r\n") : 0;
}

int SetVoiceLanguage(int languageId)
{
    return linkCommand(kLinkVoiceLanguage, nullptr, VoiceLanguagePayload(languageId));
}

int MusicPlayPause()
{
    if (g.mode != kModeStack)
        return linkCommand(g.playing ? kLinkPause : kLinkPlay, "playorpause: Write Com failed!\r\n");
    return (g.playing ? BtSdk::AVRCPForcePause() : BtSdk::AVRCPForcePlay()) == 0 ? 1 : 0;
}

int MusicPrevious()
{
    if (g.mode != kModeStack)
        return linkCommand(kLinkPrevious, "last: Write Com failed!\r\n");
    return BtSdk::AVRCPPlayLast() == 0 ? 1 : 0;
}

int MusicNext()
{
    if (g.mode != kModeStack)
        return linkCommand(kLinkNext, "next: Write Com failed!\r\n");
    return BtSdk::AVRCPPlayNext() == 0 ? 1 : 0;
}

int SendEmergencyMessage(const std::u16string& number, const std::u16string& text)
{
    if (g.mode == kModeSerial)
        return linkCommand(kLinkSms, nullptr, SmsPayload(number, text));
    if (g.mode != kModeStack)
        return 0;
    const std::u16string n = Utf16Prefix(number, 29);
    const std::u16string t = Utf16Prefix(text, 1023);
    return BtSdk::PIMSendSMS(n.c_str(), t.c_str()) == 0 ? 1 : 0;
}

int DisconnectPhone()
{
    if (!anyLink())
        return 0;
    BtShortcut phone {};
    if (!readLastPhone(&phone))
        return 0;
    return BtSdk::Disconnect(phone.address, kBtDisconnectPhone) == 0 ? 1 : 0;
}

// ---- notifications ----------------------------------------------------------------------------

NotificationRecord* AddNotification(int type, const void* record)
{
    if (!record || (type != kNotificationMissedCall && type != kNotificationMessage))
        return nullptr;
    auto* n = new (std::nothrow) NotificationRecord {};
    if (!n)
        return nullptr;
    n->type = type;
    if (type == kNotificationMissedCall) {
        const auto* call = static_cast<const CallRecord*>(record);
        setField(n->number, 41, fieldText(call->number, 41));
        setField(n->name, 32, fieldText(call->name, 32));
        dateNow(n->date, 32);
        ++g.missed;
    } else {
        const auto* sms = static_cast<const SmsRecord*>(record);
        n->id = sms->id;
        setField(n->name, 32, fieldText(sms->name, 32));
        setField(n->number, 41, fieldText(sms->number, 41));
        setField(n->text, 1024, fieldText(sms->text, 1024));
        setField(n->date, 32, fieldText(sms->date, 33));
        ++g.messagesHeld;
    }
    sendCount();
    notifications().Append(n);
    return n;
}

int RemoveNotification(const NotificationRecord* record)
{
    if (!record)
        return 0;
    void* found = notifications().Find([&](void* p) {
        const auto* n = static_cast<const NotificationRecord*>(p);
        if (n->type != record->type || std::memcmp(n->number, record->number, sizeof n->number) != 0
            || std::memcmp(n->date, record->date, 32) != 0)
            return true;
        if (n->type == kNotificationMessage && std::memcmp(n, record, kNotificationComparedBytes) != 0)
            return true;
        return false;
    });
    if (!found || !notifications().Unlink(found))
        return 0;
    const int type = static_cast<NotificationRecord*>(found)->type;
    delete static_cast<NotificationRecord*>(found);
    if (type == kNotificationMissedCall)
        g.missed = std::max(0, g.missed - 1);
    else
        g.messagesHeld = std::max(0, g.messagesHeld - 1);
    sendCount();
    return 1;
}

NotificationRecord* FindMissedCall(const char16_t* number)
{
    char16_t key[41] = {};
    setField(key, 41, fieldText(number, 41));
    return static_cast<NotificationRecord*>(notifications().FindLast([&](void* p) {
        const auto* n = static_cast<const NotificationRecord*>(p);
        return n->type == kNotificationMissedCall && std::memcmp(n->number, key, sizeof key) == 0;
    }));
}

std::vector<NotificationRecord> NotificationsCopy()
{
    std::vector<NotificationRecord> out;
    notifications().Find([&](void* p) {
        out.push_back(*static_cast<const NotificationRecord*>(p));
        return true;
    });
    return out;
}

int MarkMessageRead(const NotificationRecord* record)
{
    int position = 0;
    int result = 0;
    notifications().Find([&](void* p) {
        auto* n = static_cast<NotificationRecord*>(p);
        if (n->type != kNotificationMessage)
            return true;
        ++position;
        if (std::memcmp(n, record, kNotificationComparedBytes) != 0)
            return true;
        n->read = 1;
        result = position;
        return false;
    });
    return result;
}

int MissedCallCount()
{
    return g.missed;
}

int MessageCount()
{
    return g.messagesHeld;
}

// ---- configuration ----------------------------------------------------------------------------

std::string ProgramDirectoryPath()
{
    std::string dir = ce::programDirectory();
    while (dir.size() > 1 && (dir.back() == '\\' || dir.back() == '/'))
        dir.pop_back();
    return dir;
}

int ProgramDirectory(char16_t* buffer, int size)
{
    if (!buffer || size <= 0)
        return 0;
    setField(buffer, size_t(size), QString::fromStdString(ProgramDirectoryPath()).toStdU16String());
    return 1;
}

std::string ConfigurationPath()
{
    return configurationDevicePath();
}

namespace {

enum class ConfigFile { Whole, Missing, Unreadable };

// Whether this process has removed what killed saves of an earlier run left
// beside the file (only a dead process leaves them: once is enough).
std::atomic<bool> g_leftoversRemoved { false };

// Reads the record: whole (24 bytes, more are not read), missing (the
// defaults), or unreadable (the defaults too: a file cut short holds
// nothing to trust). At the first read, what killed writers left beside it
// goes first.
ConfigFile readConfiguration(BtConfigRecord* record, size_t* bytesRead = nullptr)
{
    *record = BtConfigRecord {};
    const std::string path = ce::resolvePath(configurationDevicePath());
    if (!g_leftoversRemoved.exchange(true))
        ce::removeStaleTemporaries(path);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? ConfigFile::Missing : ConfigFile::Unreadable;
    BtConfigRecord read;
    uint8_t* bytes = reinterpret_cast<uint8_t*>(&read);
    size_t got = 0;
    bool failed = false;
    while (got < sizeof read) {
        const ssize_t n = ::read(fd, bytes + got, sizeof read - got);
        if (n < 0 && errno == EINTR)
            continue;
        failed = n < 0;
        if (n <= 0)
            break;
        got += size_t(n);
    }
    ::close(fd);
    if (bytesRead)
        *bytesRead = got;
    if (failed || got != sizeof read)
        return ConfigFile::Unreadable;
    *record = read;
    return ConfigFile::Whole;
}

// Writes the record; g_config held.
int saveLocked(const BtConfigRecord* record)
{
    const std::string devicePath = configurationDevicePath();
    const std::string path = ce::resolvePath(devicePath, true);
    bool noSpace = false;
    bool ok = false;
    struct stat st {};
    const bool exists = ::stat(path.c_str(), &st) == 0;
    const auto free = ce::freeSpace(devicePath);
    if (!exists && free && *free < sizeof(BtConfigRecord)) {
        noSpace = true;
    } else {
        // Replaced whole, so a kill or a full drive part-way leaves the old
        // settings, never a record cut short.
        const int error = ce::replaceFileWhole(path, record, sizeof *record);
        ok = error == 0;
        noSpace = error == ENOSPC || error == EDQUOT;
    }
    if (noSpace) {
        ce::setLastError(ce::ERROR_NOT_ENOUGH_MEMORY);
        ExternalPostMessage(WM_BTOUT_MEMORY_FULL, 0, 0);
    }
    return ok ? 1 : 0;
}

// Loads the record, changes it and saves it, as one step. A file there that
// cannot be read whole is not written over with guesses for what it held:
// only a change that knows every field (complete) replaces it.
template <typename Change>
int updateConfiguration(Change change, bool complete)
{
    std::lock_guard<std::mutex> l(g_config);
    BtConfigRecord cfg;
    size_t got = 0;
    const ConfigFile file = readConfiguration(&cfg, &got);
    if (file == ConfigFile::Unreadable && !complete) {
        char text[128];
        std::snprintf(text, sizeof text, "***[BTManager] BravikConfig.dat unreadable (%zu bytes): not written\r\n", got);
        log(text);
        return 0;
    }
    change(cfg, file);
    return saveLocked(&cfg);
}

} // namespace

int LoadConfiguration(BtConfigRecord* record)
{
    return readConfiguration(record) == ConfigFile::Whole ? 1 : 0;
}

int SaveConfiguration(const BtConfigRecord* record)
{
    std::lock_guard<std::mutex> l(g_config);
    return saveLocked(record);
}

int StoreServiceSettings(int call, int messageAlerts, int musicControl, int voiceInstruction, int message)
{
    const int values[5] = { call, messageAlerts, musicControl, voiceInstruction, message };
    for (int i = 0; i < 5; ++i)
        g.service[i] = values[i];
    // Bluetooth's field is kept; in place of a file that is missing or
    // cannot be read, whether Bluetooth is on now (the defaults' off would
    // start the next run with Bluetooth off).
    const int on = g.started;
    return updateConfiguration(
        [&](BtConfigRecord& cfg, ConfigFile file) {
            cfg.call = call;
            cfg.messageAlerts = messageAlerts;
            cfg.musicControl = musicControl;
            cfg.voiceInstruction = voiceInstruction;
            cfg.message = message;
            if (file != ConfigFile::Whole)
                cfg.bluetoothOn = on;
        },
        true);
}

int StoreBluetoothOn(int on)
{
    return updateConfiguration([on](BtConfigRecord& cfg, ConfigFile) { cfg.bluetoothOn = on; }, false);
}

// ---- buzzer and reset -------------------------------------------------------------------------

int Buzz(int type)
{
    const int cycles = type == 1 ? 3 : type == 2 ? 1 : 0;
    for (int c = 0; c < cycles; ++c) {
        for (int beep = 0; beep < 5; ++beep) {
            ce::HANDLE h = ce::openDevice("BUZ1:", ce::GENERIC_READ);
            if (h) {
                const uint32_t value = 15;
                ce::deviceIoControl(h, kBuzzerBeep, &value, sizeof value, nullptr, 0, nullptr);
                ce::closeHandle(h);
            }
            SleepScaled(50);
        }
        SleepScaled(500);
    }
    return cycles ? 1 : 0;
}

int FactoryReset()
{
    const std::string dir = ProgramDirectoryPath();
    {
        // Not while a save is on its way; with what killed saves left.
        std::lock_guard<std::mutex> l(g_config);
        for (const char* name : { "\\BravikConfig.dat", "\\HRData.txt", "\\CSCData.txt" }) {
            const std::string path = ce::resolvePath(dir + name);
            struct stat st {};
            if (::lstat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode))
                ::unlink(path.c_str());
        }
        ce::removeStaleTemporaries(ce::resolvePath(configurationDevicePath()));
    }
    char16_t save[260] = {};
    if (BtSdk::GetSavePath(save, 260) != 0 || !save[0])
        return 0;
    save[259] = 0;
    const std::string devicePath = QString::fromStdU16String(fieldText(save, 260)).toStdString();
    return DeleteDirectoryTree(devicePath, true) == 1 ? 1 : 0;
}

int DeleteDirectoryTree(const std::string& devicePath, bool removeRoot)
{
    if (devicePath.empty())
        return 0;
    const std::string path = ce::resolvePath(devicePath);
    // The whole device, or one of its drives, is never a stack's save folder.
    if (path.empty() || isDriveRoot(path))
        return -1;
    return deleteTree(path, removeRoot);
}

// ---- callbacks ------------------------------------------------------------------------------------

void OnConnectionEvent(int connected, const uint8_t* address, int kind)
{
    if (kind == kBtKindBle) {
        OnBleLinkEvent(connected, address); // sensors are handled apart
        return;
    }
    if (connected && address)
        readRemoteName(address);
    if (connected)
        g.reconnectAllowed = 1;
    switch (kind) {
    case kBtKindHandsFree:
        if (connected) {
            g.handsFree = 1;
            if (lastPhoneType() == 2) {
                g.mode = kModeStack;
                startWorker(smsNotify);
            } else {
                startWorker([] {
                    g.reconnectAllowed = 0;
                    DisconnectPhone();
                });
            }
        } else {
            g.smsNotifyAttempts = 0;
            g.phonebookDelivering = 0;
            g.handsFree = 0;
        }
        break;
    case kBtKindAudio:
        if (connected) {
            g.audio = 1;
            if (lastPhoneType() == 2) {
                g.mode = kModeStack;
                startWorker(musicSetup);
            }
        } else {
            g.audio = 0;
            std::lock_guard<std::mutex> l(g_data);
            g_nowPlaying.clear();
            g_track = TrackBlock {};
        }
        break;
    case kBtKindSerial:
        if (connected) {
            g.mode = kModeSerial;
            g.serialLink = g.handsFree = g.audio = g.messages = 1;
            startWorker(OpenPhoneLinkPort);
            startWorker(startPhonebookDownload);
        } else {
            g.phonebookDelivering = 0;
            g.serialLink = g.handsFree = g.audio = g.messages = 0;
            {
                std::lock_guard<std::mutex> l(g_data);
                g_track = TrackBlock {};
            }
            ClosePhoneLinkPort();
        }
        break;
    case kBtKindMessages:
        g.messages = connected ? 1 : 0;
        break;
    case kBtKindLinkLost:
        if (!connected) {
            BtShortcut phone {};
            if (readLastPhone(&phone))
                PostInternal(WM_STKOUTMSG_AUTOCONNECTING, 0, reinterpret_cast<ce::LPARAM>(g_lastPhoneName));
        }
        break;
    default:
        break;
    }
    // The link state is the new one before the result is posted: the page
    // refreshes on it from another thread and must not read the old one.
    const bool linked = connected || anyLink();
    if (linked) {
        g.phoneLinked = 1;
    } else {
        g.phoneLinked = 0;
        g.mode = kModeNone;
        std::lock_guard<std::mutex> l(g_data);
        std::fill(std::begin(g_connectedName), std::end(g_connectedName), u'\0');
        g_phonebook.clear();
        g_phonebook.shrink_to_fit();
        g_phonebookCached = false;
    }
    PostInternal(WM_STKOUTMSG_CONNECT_RESULT, ce::WPARAM(connected), kind);
    if (linked)
        return;
    startAutoConnect();
    emptyNotifications();
}

void OnHandsFreeEvent(int event, const BtCallRecord* record)
{
    bool post = true;
    switch (event) {
    case 3:
        if (BtSdk::HFAP_GetAudioStatus() == 0) {
            log("***Transfer\r\n");
            if (BtSdk::HFAP_Transfer() != 0)
                log("***Trans Fail\r\n");
        }
        post = g.lastEventPosted;
        break;
    case 5: {
        g.previousCallEnded = 1;
        const int state = g.callState;
        if (g.callMinimised || (g.mode == kModeSerial && state == kCallOutgoing) || state == kCallActive) {
            char16_t number[41];
            {
                std::lock_guard<std::mutex> l(g_data);
                std::copy_n(g_current.number, 41, number);
            }
            if (NotificationRecord* missed = FindMissedCall(number))
                RemoveNotification(missed);
            std::lock_guard<std::mutex> l(g_data);
            g_current = CallRecord {};
            g_waiting = CallRecord {};
            g.callMinimised = 0;
        }
        // Every call end clears the mark, answered or not: a stale mark would
        // keep the next unanswered call out of the missed calls.
        g.outgoing = 0;
        g.callState = kCallEnded;
        break;
    }
    case 6:
        g.callState = kCallActive;
        if (g.outgoing && g.mode == kModeStack && !g.heldCall) {
            CallRecord current;
            {
                std::lock_guard<std::mutex> l(g_data);
                current = g_current;
            }
            AddNotification(kNotificationMissedCall, &current);
        }
        g.heldCall = 0;
        break;
    case 7:
        g.outgoing = 1;
        g.callState = kCallOutgoing;
        break;
    case 8:
        g.callState = kCallRinging;
        break;
    case 10:
    case 11:
        if (record) {
            std::lock_guard<std::mutex> l(g_data);
            g_current = *record;
        }
        if (!g.outgoing && g.previousCallEnded && g.service[0]) {
            g.previousCallEnded = 0;
            CallRecord current;
            {
                std::lock_guard<std::mutex> l(g_data);
                current = g_current;
            }
            AddNotification(kNotificationMissedCall, &current);
        }
        break;
    case 15:
        break;
    case 16:
        if (record) {
            {
                std::lock_guard<std::mutex> l(g_data);
                g_waiting = *record;
            }
            AddNotification(kNotificationMissedCall, record);
        }
        g.waitingCall = 1;
        break;
    case 17:
        g.waitingCall = 0;
        g.heldCall = 1;
        post = g.lastEventPosted;
        break;
    default:
        g.lastEventPosted = 0;
        return;
    }
    g.lastEventPosted = post ? 1 : 0;
    if (!post || !g.service[0])
        return;
    CallRecord copy;
    {
        std::lock_guard<std::mutex> l(g_data);
        copy = g.waitingCall ? g_waiting : g_current;
    }
    postCopies(WM_STKOUTMSG_DIALERINFO, ce::WPARAM(event), &copy);
}

void OnNewMessage(int event, const void* data)
{
    if (event == 1) {
        if (!data)
            return;
        if (g.settings[1]) {
            ExternalPostMessage(WM_TOUCHEVENT_MOUSE_LBUTTONDOWN, 0, 0);
            startWorker([] { Buzz(2); });
        }
        SmsRecord sms = *static_cast<const SmsRecord*>(data);
        sms.id = ++g.messageId;
        if (!g.service[1])
            return;
        if (!sms.date[0])
            dateNow(sms.date, 33);
        if (AddNotification(kNotificationMessage, &sms))
            postCopies(WM_STKMAPMSG_NEWMSG, 1, &sms);
    } else if (event == 3 || event == 5) {
        PostInternal(WM_STKOUTMSG_SENDMSGRESULT, 0, 0);
    } else if (event == 4) {
        PostInternal(WM_STKOUTMSG_SENDMSGRESULT, 1, 0);
    }
}

void OnPimCallback(int event, int, int)
{
    if (event == 1) {
        int count = 0;
        if (BtSdk::PIMGetContacts(nullptr, &count) == 0 && count > 0)
            g.phonebookDelivering = 1;
    }
    if (g.phonebookDelivering)
        PostInternal(WM_BTOUT_SERVICE_PHONEBOOK_AVAILABLITY, 0, 0);
    if (event == 1 || event == 2) {
        if (event == 2)
            g.phonebookDelivering = 0;
        const std::vector<uint8_t> book = PhonebookCopy();
        ExternalSendRecord(WM_BTOUT_PHONEBOOK_LIST, book.empty() ? nullptr : book.data(), ce::DWORD(book.size()));
    } else if (event == 8) {
        PostInternal(WM_STKOUTMSG_SENDMSGRESULT, 0, 0);
    }
    if (g.mode == kModeStack && !g.messages)
        startWorker(smsNotify);
}

void OnMusicEvent(int event, const void* data)
{
    switch (event) {
    case 0:
    case 6:
    case 7: {
        if (!data)
            return;
        char16_t* field = nullptr;
        TrackBlock block;
        {
            std::lock_guard<std::mutex> l(g_data);
            field = event == 0 ? g_track.title : event == 6 ? g_track.artist : g_track.album;
            setFullField(field, 64, fieldText(static_cast<const char16_t*>(data), 64));
            block = g_track;
        }
        if (g.service[2])
            postCopies(WM_STKOUTMSG_MUSICINFO, ce::WPARAM(event), &block);
        break;
    }
    case 3: {
        if (!data)
            return;
        PlayStatus status;
        std::memcpy(status.bytes, data, sizeof status.bytes);
        int32_t fourth = 0;
        std::memcpy(&fourth, status.bytes + 12, 4);
        {
            std::lock_guard<std::mutex> l(g_data);
            std::memcpy(g_playStatus, status.bytes, sizeof g_playStatus);
        }
        g.playing = fourth == 1;
        if (g.service[2])
            postCopies(WM_STKOUTMSG_MUSICINFO, 3, &status);
        break;
    }
    case 4:
        // The player asks for its list item again: the current track's
        // entry, or none when the current title is not in the list.
        startWorker([] {
            if (!playEntry(0, true))
                BtSdk::AVRCP_PlayListItems(nullptr, 0);
        });
        break;
    case 8:
        log("*** reject...\r\n");
        break;
    case 9: {
        if (!data)
            return;
        std::array<uint8_t, kBtNowPlayingEntrySize> entry;
        std::memcpy(entry.data(), data, entry.size());
        std::lock_guard<std::mutex> l(g_data);
        if (g_nowPlaying.size() < 100 && std::find(g_nowPlaying.begin(), g_nowPlaying.end(), entry) == g_nowPlaying.end())
            g_nowPlaying.push_back(entry);
        break;
    }
    case 10:
        startWorker([] { requestNowPlaying(false); });
        break;
    case 11: {
        if (!data)
            return;
        int32_t first = 0;
        std::memcpy(&first, data, 4);
        g.playing = first == 1;
        if (g.service[2])
            PostInternal(WM_STKOUTMSG_MUSICINFO, 32, g.playing);
        break;
    }
    default:
        break;
    }
}

std::vector<uint8_t> PhonebookCopy()
{
    std::lock_guard<std::mutex> l(g_data);
    if (!g_phonebookCached) {
        int count = 0;
        if (BtSdk::PIMGetContacts(nullptr, &count) != 0 || count <= 0 || count > 10000)
            return {};
        std::vector<uint8_t> book(size_t(count) * kBtPhonebookEntrySize);
        int filled = count;
        if (BtSdk::PIMGetContacts(book.data(), &filled) != 0 || filled <= 0 || filled > count)
            return {};
        book.resize(size_t(filled) * kBtPhonebookEntrySize);
        g_phonebook = std::move(book);
        g_phonebookCached = true;
    }
    return g_phonebook;
}

// ---- state for the windows ---------------------------------------------------------------------

ManagerState GetManagerState()
{
    std::lock_guard<std::mutex> l(g_data);
    return ManagerState { g.mode, g.callState, g.serialLink, g.handsFree, g.audio, g.messages, g.bluetoothOn,
        g.stackInitialised, g.started, g.phoneLinked, g.reconnectAllowed, g.playing, g.phonebookDelivering,
        g.waitingCall, g.twoCallsHeld, g.heldCall, g.outgoing, g.previousCallEnded, g.callMinimised,
        int(g_nowPlaying.size()) };
}

void SetReconnectAllowed(bool allowed)
{
    g.reconnectAllowed = allowed ? 1 : 0;
}

void SetCallMinimised(bool minimised)
{
    g.callMinimised = minimised ? 1 : 0;
}

int ServiceFlag(int field)
{
    return field >= 0 && field < 5 ? g.service[field].load() : 0;
}

void SetSettingsCopies(int call, int messageAlerts, int musicControl, int voiceInstruction, int message)
{
    const int values[5] = { call, messageAlerts, musicControl, voiceInstruction, message };
    for (int i = 0; i < 5; ++i)
        g.settings[i] = values[i];
}

int SettingsCallCopy()
{
    return g.settings[0];
}

void SetSettingsCallCopy(int call)
{
    g.settings[0] = call;
}

bool PhoneAnnounced()
{
    return g.announced;
}

void SetPhoneAnnounced(bool announced)
{
    g.announced = announced ? 1 : 0;
}

TrackBlock CurrentTrack()
{
    std::lock_guard<std::mutex> l(g_data);
    return g_track;
}

void SetCurrentTrack(const TrackBlock& track)
{
    std::lock_guard<std::mutex> l(g_data);
    g_track = track;
}

std::vector<std::u16string> NowPlayingTitles()
{
    std::lock_guard<std::mutex> l(g_data);
    std::vector<std::u16string> titles;
    for (const auto& entry : g_nowPlaying)
        titles.push_back(entryTitle(entry));
    return titles;
}

int CurrentTrackPlace()
{
    std::lock_guard<std::mutex> l(g_data);
    return currentPlaceLocked();
}

int PlayNowPlayingEntry(int index)
{
    return playEntry(index, false) == 0 ? 1 : 0;
}

int AskMusicCapabilities()
{
    return BtSdk::AVRCP_GetCapabilities(kMusicCapabilities) == 0 ? 1 : 0;
}

void RefreshNowPlaying()
{
    startWorker([] { requestNowPlaying(true); });
}

void SetStackInitialised()
{
    g.stackInitialised = 1;
}

void SetLinkTrack(int status, const TrackBlock* block)
{
    // The track is stored before anything is posted, so whoever takes the
    // playing state reads the track that came with it.
    TrackBlock copy;
    {
        std::lock_guard<std::mutex> l(g_data);
        g_track = block ? *block : TrackBlock {};
        copy = g_track;
    }
    if (block) {
        if (status == 0)
            g.playing = 1;
        else if (status == 1)
            g.playing = 0;
        PostInternal(WM_STKOUTMSG_MUSICINFO, 32, g.playing);
    }
    if (g.service[2])
        postCopies(WM_STKOUTMSG_MUSICINFO, 31, &copy);
}

void ResetManagerForTests()
{
    g_leftoversRemoved = false;
    ResetBleForTests();
    ClosePhoneLinkPort();
    WaitForWorkers(60000);
    emptyNotifications();
    std::lock_guard<std::mutex> l(g_data);
    g.mode = kModeNone;
    g.callState = -1;
    g.serialLink = g.handsFree = g.audio = g.messages = 0;
    g.bluetoothOn = 1;
    g.stackInitialised = g.started = g.phoneLinked = 0;
    g.reconnectAllowed = 1;
    g.playing = g.phonebookDelivering = g.smsNotifyAttempts = 0;
    g.phoneState = 0;
    g.waitingCall = g.twoCallsHeld = g.heldCall = g.outgoing = 0;
    g.previousCallEnded = 1;
    g.callMinimised = 0;
    g.lastEventPosted = 0;
    g.autoConnectBusy = 0;
    g.announced = 0;
    for (auto& f : g.service)
        f = 1;
    for (auto& f : g.settings)
        f = 0;
    std::fill(std::begin(g_connectedName), std::end(g_connectedName), u'\0');
    g_current = g_waiting = CallRecord {};
    g_track = TrackBlock {};
    g_nowPlaying.clear();
    g_phonebook.clear();
    g_phonebookCached = false;
}

} // namespace kivo::bt
