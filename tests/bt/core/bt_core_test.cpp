// The manager core on the simulated stack: start, auto-connect and its
// give-up, stop, the configuration file, the buzzer, the now-playing list,
// the notification list and the factory reset.
#include "tests/bt/bt_test_support.h"

#include "bt/core/power_monitor.h"
#include "platform/debug.h"
#include "platform/paths.h"
#include "platform/power.h"
#include "platform/sync.h"
#include "tests/support/file_size_limit.h"

#include <atomic>
#include <filesystem>
#include <mutex>
#include <thread>

#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>

using namespace kivo::bt;
using namespace kivo::bt::test;
namespace sim = kivo::sim::bt;

namespace {

using States = std::vector<std::pair<int, std::u16string>>;

BtConfigRecord readConfigFile()
{
    BtConfigRecord r {};
    std::ifstream f(ce::resolvePath(ConfigurationPath()), std::ios::binary);
    f.read(reinterpret_cast<char*>(&r), sizeof r);
    return r;
}

void writeBytes(const std::string& devicePath, const std::string& bytes)
{
    std::ofstream f(ce::resolvePath(devicePath, true), std::ios::binary | std::ios::trunc);
    f << bytes;
}

std::string readDeviceBytes(const std::string& devicePath)
{
    std::ifstream f(ce::resolvePath(devicePath), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

bool exists(const std::string& devicePath)
{
    struct stat st {};
    return ::stat(ce::resolvePath(devicePath).c_str(), &st) == 0;
}

using Core = CoreFixture;

} // namespace

TEST_F(Core, StartWithoutLastPhoneReportsOnAndTriesNoConnect)
{
    setWorld({});
    ASSERT_EQ(BtManagerStart(), 1);
    settle();
    EXPECT_EQ(client.phoneStates(), (States { { 1, u"" } }));
    EXPECT_EQ(GetPhoneState(), 1);
    EXPECT_EQ(sim::countCalls("Connect"), 0);
    EXPECT_EQ(internal.names("WM_STKOUTMSG_BTSTATUS"), std::vector<std::string> { "WM_STKOUTMSG_BTSTATUS(1)" });
    EXPECT_EQ(readConfigFile().bluetoothOn, 1);
    EXPECT_TRUE(sim::callbacksRegistered());
}

TEST_F(Core, AutoConnectReachesATypeTwoPhoneAndAnnouncesItByName)
{
    setWorld({ phone(2) });
    ASSERT_EQ(BtManagerStart(), 1);
    ASSERT_TRUE(pumpUntil([&] { return GetPhoneState() == 2; }));
    settle();
    EXPECT_EQ(client.phoneStates(), (States { { 1, u"" }, { 3, u"" }, { 2, u"Pixel" } }));
    const ManagerState s = GetManagerState();
    EXPECT_EQ(s.mode, kModeStack);
    EXPECT_TRUE(s.handsFree && s.audio && s.phoneLinked);
    char16_t name[33];
    EXPECT_EQ(GetConnectedPhoneName(name), 1);
    EXPECT_EQ(fieldText(name, 32), u"Pixel");
    EXPECT_EQ(client.count("WM_BTOUT_SERVICE_CALL_AVAILABILITY"), 1);
    EXPECT_EQ(client.last("WM_BTOUT_SERVICE_CALL_AVAILABILITY")->w, 1u);
}

TEST_F(Core, AutoConnectGivesUpAfterItsTimeAndFallsBackToNoPhone)
{
    setWorld({ phone(2) }, { kBtConnectHandsFree, kBtConnectAudioGateway });
    ASSERT_EQ(BtManagerStart(), 1);
    ASSERT_TRUE(pumpUntil([&] {
        const Note* n = internal.last("WM_STKOUTMSG_AUTOCONNECTING");
        return n && n->w == 0 && WaitForWorkers(0);
    }));
    settle();
    EXPECT_EQ(client.phoneStates(), (States { { 1, u"" }, { 3, u"" }, { 1, u"" } }));
    EXPECT_EQ(GetPhoneState(), 1);
    // Each round asks for the audio gateway, then hands-free twice.
    EXPECT_GE(sim::countCalls("Connect"), 6);
    const Note* n = internal.last("WM_STKOUTMSG_AUTOCONNECTING");
    EXPECT_EQ(fieldText(reinterpret_cast<const char16_t*>(n->l), 32), u"Pixel");
}

TEST_F(Core, StopEmptiesTheOneListThatLateCallbacksAndASecondStopStillUse)
{
    setWorld({ phone(2) });
    ASSERT_EQ(BtManagerStart(), 1);
    ASSERT_TRUE(pumpUntil([&] { return GetPhoneState() == 2; }));
    settle();
    sim::handsFreeEvent(8, u"Ann", u"555");
    sim::handsFreeEvent(10, u"Ann", u"555");
    settle();
    ASSERT_EQ(MissedCallCount(), 1);

    SetReconnectAllowed(false); // as the Off button does, so no auto-connect starts
    BtManagerStop();
    settle(); // the stack's disconnect callbacks come after the stop
    EXPECT_EQ(MissedCallCount() + MessageCount(), 0);
    EXPECT_EQ(client.last("WM_BTOUT_COUNT_NOTIFICATIONS")->w, 0u);
    EXPECT_EQ(FindMissedCall(u"555"), nullptr);
    BtManagerStop();
    settle();
    EXPECT_EQ(MissedCallCount() + MessageCount(), 0);
    EXPECT_EQ(client.last("WM_BTOUT_COUNT_NOTIFICATIONS")->w, 0u);
    EXPECT_EQ(client.phoneStates().back(), std::make_pair(0, std::u16string()));
    // The list still works after the stops.
    CallRecord r {};
    setField(r.number, 41, u"777");
    EXPECT_NE(AddNotification(kNotificationMissedCall, &r), nullptr);
    EXPECT_EQ(MissedCallCount(), 1);
}

TEST_F(Core, LosingEveryLinkEmptiesTheNotificationList)
{
    setWorld({ phone(2) });
    ASSERT_EQ(BtManagerStart(), 1);
    ASSERT_TRUE(pumpUntil([&] { return GetPhoneState() == 2; }));
    settle();
    sim::handsFreeEvent(8, u"Ann", u"555");
    sim::handsFreeEvent(10, u"Ann", u"555");
    settle();
    ASSERT_EQ(MissedCallCount(), 1);

    SetReconnectAllowed(false);
    for (int kind : sim::connectedKinds())
        sim::connectionEvent(0, kind);
    settle();
    EXPECT_EQ(GetManagerState().phoneLinked, 0);
    EXPECT_EQ(MissedCallCount(), 0);
    EXPECT_EQ(FindMissedCall(u"555"), nullptr);
}

TEST_F(Core, TheLastShortcutIsTheLastPhone)
{
    sim::Shortcut old = phone(3, u"Old companion");
    old.address = { 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F };
    setWorld({ old, phone(2, u"Pixel") });
    ASSERT_EQ(BtManagerStart(), 1);
    ASSERT_TRUE(pumpUntil([&] { return GetPhoneState() == 2; }));
    settle();
    // The hands-free phone is connected as such, by its own address.
    EXPECT_EQ(GetManagerState().mode, kModeStack);
    EXPECT_EQ(client.phoneStates().back(), std::make_pair(2, std::u16string(u"Pixel")));
    std::vector<long> profiles;
    for (const sim::Call& c : sim::calls())
        if (c.name == "Connect")
            profiles.push_back(c.args[0]);
    ASSERT_FALSE(profiles.empty());
    EXPECT_EQ(profiles.front(), kBtConnectAudioGateway);
    EXPECT_EQ(std::count(profiles.begin(), profiles.end(), long(kBtConnectSerial)), 0);
    EXPECT_EQ(fieldText(reinterpret_cast<const char16_t*>(internal.last("WM_STKOUTMSG_AUTOCONNECTING")->l), 32),
        u"Pixel");
}

TEST_F(Core, APhoneNameOfThirtyTwoUnitsReachesClientsWhole)
{
    const std::u16string name = u"0123456789abcdefghijklmnopqrstuv"; // 32 code units
    sim::World w;
    w.shortcuts = { phone(2, name) };
    w.remoteName = name;
    sim::setWorld(w);
    ASSERT_EQ(BtManagerStart(), 1);
    ASSERT_TRUE(pumpUntil([&] { return GetPhoneState() == 2; }));
    settle();
    EXPECT_EQ(client.phoneStates().back(), std::make_pair(2, name));
    char16_t buffer[33];
    EXPECT_EQ(GetConnectedPhoneName(buffer), 1);
    EXPECT_EQ(fieldText(buffer, 33), name);
    // The query answers with the same name.
    client.notes.clear();
    ce::postMessage(internal.hwnd(), WM_BTIN_QUERY_PHONE_STATE, 0, 0);
    ASSERT_TRUE(pumpUntil([&] { return !client.phoneStates().empty(); }));
    EXPECT_EQ(client.phoneStates().back(), std::make_pair(2, name));
}

TEST_F(Core, ConfigurationFileIsReadWholeOrNotAtAll)
{
    struct Case {
        const char* what;
        std::string bytes; // "-" means no file
        BtConfigRecord expected;
        int whole;
    };
    auto fields = [](std::initializer_list<int32_t> v) {
        std::string s;
        for (int32_t x : v)
            s.append(reinterpret_cast<const char*>(&x), 4);
        return s;
    };
    const Case cases[] = {
        { "no file", "-", { 1, 1, 1, 1, 1, 0 }, 0 },
        { "empty file", "", { 1, 1, 1, 1, 1, 0 }, 0 },
        { "five fields and a half", fields({ 0, 0, 0, 0, 0 }) + std::string("\x01\x00", 2), { 1, 1, 1, 1, 1, 0 }, 0 },
        { "whole", fields({ 0, 1, 0, 1, 0, 1 }), { 0, 1, 0, 1, 0, 1 }, 1 },
        { "longer than a record", fields({ 0, 0, 0, 0, 0, 1, 7 }), { 0, 0, 0, 0, 0, 1 }, 1 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ::unlink(ce::resolvePath(ConfigurationPath()).c_str());
        if (c.bytes != "-")
            writeBytes(ConfigurationPath(), c.bytes);
        BtConfigRecord r;
        EXPECT_EQ(LoadConfiguration(&r), c.whole);
        EXPECT_EQ(std::memcmp(&r, &c.expected, sizeof r), 0);
    }
}

TEST_F(Core, AFileCutShortIsNotWrittenOverWithGuesses)
{
    const std::string cut("\x00\x00\x00\x00\x00\x00\x00\x00\x01", 9);
    writeBytes(ConfigurationPath(), cut);
    // Bluetooth's field alone: the service fields it would keep are lost.
    EXPECT_EQ(StoreBluetoothOn(1), 0);
    EXPECT_EQ(readDeviceBytes(ConfigurationPath()), cut);
    // The settings screen knows every field: Bluetooth's is whether it is on.
    EXPECT_EQ(StoreServiceSettings(0, 1, 0, 1, 0), 1);
    const BtConfigRecord stored = readConfigFile();
    const BtConfigRecord expected { 0, 1, 0, 1, 0, 0 };
    EXPECT_EQ(std::memcmp(&stored, &expected, sizeof stored), 0);
    EXPECT_EQ(StoreBluetoothOn(1), 1);
    EXPECT_EQ(readConfigFile().bluetoothOn, 1);
    EXPECT_EQ(readConfigFile().musicControl, 0);
}

TEST_F(Core, SettingsStoredWithoutAWholeFileSaveWhetherBluetoothIsOn)
{
    // The file gone (a factory reset while on, a first save that found the
    // drive full) or cut short: the settings screen's save writes Bluetooth's
    // field as it is now, not as the defaults have it.
    setWorld({});
    const std::string cut("\x00\x00\x00\x00\x00\x00\x00\x00\x01", 9);
    for (int on : { 1, 0 }) {
        if (on)
            ASSERT_EQ(BtManagerStart(), 1);
        else
            BtManagerStop();
        settle();
        for (const std::string* bytes : { static_cast<const std::string*>(nullptr), &cut }) {
            SCOPED_TRACE(std::string(on ? "on, " : "off, ") + (bytes ? "file cut short" : "no file"));
            ::unlink(ce::resolvePath(ConfigurationPath()).c_str());
            if (bytes)
                writeBytes(ConfigurationPath(), *bytes);
            EXPECT_EQ(StoreServiceSettings(0, 1, 0, 1, 0), 1);
            const BtConfigRecord stored = readConfigFile();
            const BtConfigRecord expected { 0, 1, 0, 1, 0, on };
            EXPECT_EQ(std::memcmp(&stored, &expected, sizeof stored), 0);
        }
    }
}

TEST_F(Core, SettingsSavedFromTwoThreadsAtOnceLoseNothing)
{
    // The settings screen on one thread, Bluetooth's on and off on another;
    // each checks that the file then holds its own fields whole.
    constexpr int kSaves = 3000;
    std::atomic<int> failed { 0 }, lost { 0 };
    std::thread settings([&] {
        for (int i = 0; i < kSaves; ++i) {
            const int v = i & 1;
            failed += StoreServiceSettings(v, v, v, v, v) != 1;
            BtConfigRecord r;
            lost += LoadConfiguration(&r) != 1 || r.call != v || r.messageAlerts != v || r.message != v;
        }
    });
    std::thread bluetooth([&] {
        for (int i = 0; i < kSaves; ++i) {
            const int on = i & 1;
            failed += StoreBluetoothOn(on) != 1;
            BtConfigRecord r;
            lost += LoadConfiguration(&r) != 1 || r.bluetoothOn != on;
        }
    });
    settings.join();
    bluetooth.join();
    EXPECT_EQ(failed, 0);
    EXPECT_EQ(lost, 0);
    const BtConfigRecord last = readConfigFile();
    const BtConfigRecord expected { 1, 1, 1, 1, 1, 1 };
    EXPECT_EQ(std::memcmp(&last, &expected, sizeof last), 0);
}

TEST_F(Core, WhatKilledSavesLeftIsClearedAtLoadAndByTheReset)
{
    const pid_t ended = ::fork();
    ASSERT_GE(ended, 0);
    if (ended == 0)
        ::_exit(0);
    ASSERT_EQ(::waitpid(ended, nullptr, 0), ended);
    const std::string file = ce::resolvePath(ConfigurationPath(), true);
    const std::string left[] = { file + ".tmp", file + "." + std::to_string(ended) + "-4.tmp" };
    auto leave = [&] {
        for (const std::string& f : left)
            std::ofstream(f) << "half";
    };
    auto anyLeft = [&] {
        struct stat st {};
        return ::stat(left[0].c_str(), &st) == 0 || ::stat(left[1].c_str(), &st) == 0;
    };
    leave();
    BtConfigRecord r;
    LoadConfiguration(&r);
    EXPECT_FALSE(anyLeft());
    leave();
    FactoryReset();
    EXPECT_FALSE(anyLeft());
    EXPECT_FALSE(exists(ConfigurationPath()));
}

TEST_F(Core, ASaveThatCannotBeWrittenWholeKeepsTheOldSettings)
{
    BtConfigRecord before;
    LoadConfiguration(&before);
    before.call = 0;
    ASSERT_EQ(SaveConfiguration(&before), 1);
    // The drive fills up part-way through the new file: the save fails and
    // the settings stay as they were, whole.
    BtConfigRecord after = before;
    after.call = 1;
    after.musicControl = 0;
    {
        kivo::test::FileSizeLimit full(10);
        EXPECT_EQ(SaveConfiguration(&after), 0);
    }
    const BtConfigRecord stored = readConfigFile();
    EXPECT_EQ(std::memcmp(&stored, &before, sizeof stored), 0);
}

TEST_F(Core, MemoryFullOnlyWhenThisSaveFailedForSpace)
{
    BtConfigRecord cfg;
    ce::setLastError(ce::ERROR_NOT_ENOUGH_MEMORY); // left over from some earlier call
    EXPECT_EQ(SaveConfiguration(&cfg), 1);
    settle();
    EXPECT_EQ(client.count("WM_BTOUT_MEMORY_FULL"), 0);

    ::unlink(ce::resolvePath(ConfigurationPath()).c_str());
    ce::setFreeSpaceOverride("SystemDrive", 0);
    EXPECT_EQ(SaveConfiguration(&cfg), 0);
    ce::setFreeSpaceOverride("SystemDrive", std::nullopt);
    settle();
    EXPECT_EQ(client.count("WM_BTOUT_MEMORY_FULL"), 1);
    EXPECT_FALSE(exists(ConfigurationPath()));

    EXPECT_EQ(StoreServiceSettings(0, 1, 0, 1, 0), 1);
    const BtConfigRecord stored = readConfigFile();
    EXPECT_EQ(stored.call, 0);
    EXPECT_EQ(stored.musicControl, 0);
    EXPECT_EQ(stored.bluetoothOn, 0);
    EXPECT_EQ(ServiceFlag(0), 0);
}

TEST_F(Core, BuzzerBeepsFiveTimesPerCycle)
{
    const std::pair<int, int> cases[] = { { 1, 15 }, { 2, 5 }, { 3, 0 }, { 0, 0 } };
    for (auto [type, beeps] : cases) {
        SCOPED_TRACE(type);
        sim::resetBuzzer();
        Buzz(type);
        EXPECT_EQ(sim::buzzerBeeps(), beeps);
    }
}

TEST_F(Core, NowPlayingListKeepsAHundredDistinctEntries)
{
    for (int i = 0; i < 101; ++i)
        OnMusicEvent(9, sim::nowPlayingEntry(i, u"Track").data());
    EXPECT_EQ(GetManagerState().nowPlayingCount, 100);

    ResetManagerForTests();
    OnMusicEvent(9, sim::nowPlayingEntry(0, u"Same").data());
    OnMusicEvent(9, sim::nowPlayingEntry(0, u"Same").data());
    EXPECT_EQ(GetManagerState().nowPlayingCount, 1);
}

// The current title, all 64 units the track keeps, against the list's
// titles as far as that: an entry's title fills 65 units, one more than the
// track keeps, and is still the current track's, found and named to the
// player when it asks for its item again (event 4).
TEST_F(Core, ASixtyFourUnitTitleIsFoundInTheListByAllItsUnits)
{
    // The sim's entries stop at 64 units: the 65th is written in here.
    auto entry = [](int index, const std::u16string& title) {
        std::vector<uint8_t> e = sim::nowPlayingEntry(index, u"");
        std::memcpy(e.data() + 8, title.data(), std::min<size_t>(title.size(), (e.size() - 8) / 2) * 2);
        return e;
    };
    const std::u16string stem(63, u'x');
    OnMusicEvent(9, entry(0, stem + u"a").data());
    OnMusicEvent(9, entry(1, stem + u"bc").data());
    ASSERT_EQ(NowPlayingTitles().at(1), stem + u"bc") << "the entry holds 65 units";
    struct Case {
        std::u16string title;
        int place;
        std::vector<long> named; // the index and identifier event 4 names, or the index alone for none
    };
    const Case cases[] = {
        { stem + u"a", 1, { 0, 1 } },
        { stem + u"b", 2, { 1, 2 } },
        { stem + u"c", 0, { 0 } },
        { stem, 0, { 0 } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.place);
        std::vector<char16_t> reported(64, u'\0');
        std::copy(c.title.begin(), c.title.end(), reported.begin());
        OnMusicEvent(0, reported.data());
        EXPECT_EQ(fieldText(CurrentTrack().title, 64), c.title);
        EXPECT_EQ(CurrentTrackPlace(), c.place);
        sim::clearCalls();
        OnMusicEvent(4, nullptr);
        ASSERT_TRUE(pumpUntil([] { return WaitForWorkers(0); }));
        const std::vector<sim::Call> played = callsTo("AVRCP_PlayListItems");
        ASSERT_EQ(played.size(), 1u);
        EXPECT_EQ(played[0].args, c.named);
    }
}

// Playing an entry names it to the phone, which plays the track its
// identifier names; the title read back stays within the entry.
TEST_F(Core, PlayingAnEntryNamesItAndItsIndexToThePhone)
{
    sim::World w;
    w.tracks = { u"One", u"Two" };
    sim::setWorld(w);
    ASSERT_EQ(BtSdk::AVRCP_RegCallBack(&OnMusicEvent), 0); // the phone's reports reach the core
    std::vector<uint8_t> full = sim::nowPlayingEntry(8, u""); // names no track of the phone
    for (size_t at = 8; at < full.size(); at += 2)
        full[at] = 'x'; // a title to the entry's end, no terminator
    OnMusicEvent(9, sim::nowPlayingEntry(0, u"One").data());
    OnMusicEvent(9, sim::nowPlayingEntry(1, u"Two").data());
    OnMusicEvent(9, full.data());

    struct Case {
        int index;
        int result;
        std::vector<long> args;
        std::string title;
    };
    const Case cases[] = {
        { 1, 1, { 1, 2 }, "Two" },
        { 2, 0, { 2, 9 }, std::string(65, 'x') },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.index);
        sim::clearCalls();
        EXPECT_EQ(PlayNowPlayingEntry(c.index), c.result);
        const std::vector<sim::Call> played = callsTo("AVRCP_PlayListItems");
        ASSERT_EQ(played.size(), 1u);
        EXPECT_EQ(played[0].args, c.args);
        EXPECT_EQ(played[0].text, c.title);
    }
    sim::waitIdle();
    EXPECT_EQ(fieldText(CurrentTrack().title, 64), u"Two") << "the phone plays the entry it was named";

    // Outside the list nothing is asked.
    sim::clearCalls();
    EXPECT_EQ(PlayNowPlayingEntry(3), 0);
    EXPECT_EQ(PlayNowPlayingEntry(-1), 0);
    EXPECT_TRUE(sim::calls().empty());
}

// Event 4: the player's list item is asked for again, the current track's
// entry when its title is in the list, else no entry (which the phone
// refuses).
TEST_F(Core, MusicEvent4AsksAgainForTheCurrentEntry)
{
    sim::World w;
    w.tracks = { u"One", u"Two" };
    sim::setWorld(w);
    ASSERT_EQ(BtSdk::AVRCP_RegCallBack(&OnMusicEvent), 0); // the phone's reports reach the core
    OnMusicEvent(9, sim::nowPlayingEntry(0, u"One").data());
    OnMusicEvent(9, sim::nowPlayingEntry(1, u"Two").data());
    struct Case {
        const char* current;
        std::u16string title;
        std::vector<long> args;
    };
    const Case cases[] = {
        { "in the list", u"Two", { 1, 2 } },
        { "not in the list", u"Elsewhere", { 0 } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.current);
        TrackBlock t {};
        setField(t.title, 64, c.title);
        SetCurrentTrack(t);
        sim::clearCalls();
        OnMusicEvent(4, nullptr);
        ASSERT_TRUE(pumpUntil([] { return WaitForWorkers(0); }));
        const std::vector<sim::Call> played = callsTo("AVRCP_PlayListItems");
        ASSERT_EQ(played.size(), 1u);
        EXPECT_EQ(played[0].args, c.args);
        sim::waitIdle(); // the phone's report of the track it played
    }
}

TEST_F(Core, RemovingAMessageLeavesAMissedCallOfTheSameNumberAndDate)
{
    CallRecord call {};
    setField(call.number, 41, u"555");
    setField(call.name, 32, u"Ann");
    NotificationRecord* missed = AddNotification(kNotificationMissedCall, &call);
    ASSERT_NE(missed, nullptr);

    SmsRecord sms {};
    setField(sms.number, 41, u"555");
    setField(sms.text, 1024, u"hello");
    std::copy_n(missed->date, 32, sms.date); // same number, same minute
    NotificationRecord* message = AddNotification(kNotificationMessage, &sms);
    ASSERT_NE(message, nullptr);
    const NotificationRecord read = *message;
    EXPECT_EQ(MarkMessageRead(&read), 1);
    EXPECT_EQ(MissedCallCount(), 1);
    EXPECT_EQ(MessageCount(), 1);

    EXPECT_EQ(RemoveNotification(&read), 1);
    EXPECT_EQ(MissedCallCount(), 1);
    EXPECT_EQ(MessageCount(), 0);
    EXPECT_EQ(FindMissedCall(u"555"), missed);

    // Nothing left to match: nothing removed, nothing counted down.
    settle();
    const int counts = client.count("WM_BTOUT_COUNT_NOTIFICATIONS");
    EXPECT_EQ(RemoveNotification(&read), 0);
    settle();
    EXPECT_EQ(MessageCount(), 0);
    EXPECT_EQ(MissedCallCount(), 1);
    EXPECT_EQ(client.count("WM_BTOUT_COUNT_NOTIFICATIONS"), counts);
}

TEST_F(Core, FactoryResetDeletesTheSettingsAndTheStacksSaveFolder)
{
    const std::string dir = "\\SystemDrive\\Falmo\\program\\bt\\";
    sim::World w;
    w.savePath = "\\SystemDrive\\BtSdk\\Save";
    sim::setWorld(w);
    for (const char* f : { "BravikConfig.dat", "HRData.txt", "CSCData.txt" })
        writeBytes(dir + f, "x");
    writeBytes("\\SystemDrive\\BtSdk\\Save\\paired\\a.dat", "x");
    writeBytes("\\SystemDrive\\BtSdk\\Save\\b.dat", "x");
    writeBytes("\\SystemDrive\\BtSdk\\keep.txt", "x");

    EXPECT_EQ(FactoryReset(), 1);
    for (const char* f : { "BravikConfig.dat", "HRData.txt", "CSCData.txt" })
        EXPECT_FALSE(exists(dir + f)) << f;
    EXPECT_FALSE(exists("\\SystemDrive\\BtSdk\\Save"));
    EXPECT_TRUE(exists("\\SystemDrive\\BtSdk\\keep.txt"));

    // No folder from the stack, or a whole drive: nothing of it is deleted.
    for (const char* save : { "", "\\SystemDrive", "\\" }) {
        SCOPED_TRACE(save);
        w.savePath = save;
        sim::setWorld(w);
        EXPECT_EQ(FactoryReset(), 0);
        EXPECT_TRUE(exists("\\SystemDrive\\BtSdk\\keep.txt"));
    }
    EXPECT_EQ(DeleteDirectoryTree("\\SystemDrive\\BtSdk\\keep.txt", true), 0);
}

TEST(BtSdkBinding, ResolvesAllNamesOrLeavesFailingEntryPoints)
{
    ce::setProgramDirectory("\\SystemDrive\\Falmo\\program\\bt");
    ASSERT_EQ(BtSdk::Load(), 1);
    EXPECT_NE(BtSdk::Entry("Reset"), nullptr);
    EXPECT_NE(BtSdk::Entry("GetSofewareVersion"), nullptr);

    for (const char* library : { "BCESDK_incomplete.dll", "NoSuchStack.dll" }) {
        SCOPED_TRACE(library);
        EXPECT_EQ(BtSdk::Load(library), 0);
        EXPECT_FALSE(BtSdk::IsLoaded());
        EXPECT_EQ(BtSdk::Entry("Init"), nullptr);
        sim::clearCalls();
        // Start calls the stack; with nothing bound it fails cleanly.
        ResetManagerForTests();
        EXPECT_EQ(BtManagerStart(), 0);
        EXPECT_EQ(GetManagerState().stackInitialised, 0);
        int count = 5;
        EXPECT_NE(BtSdk::GetAllShortCuts(nullptr, &count), 0);
        EXPECT_TRUE(sim::calls().empty());
    }
    BtSdk::Free();
}

TEST_F(Core, ResumeFromSuspendRestartsOnlyABluetoothThatIsStarted)
{
    setWorld({});
    StartPowerMonitor();
    ASSERT_TRUE(pumpUntil([] { return PowerMonitorRunning(); }));
    ASSERT_EQ(BtManagerStart(), 1);
    settle();
    sim::clearCalls();

    auto pairableCalls = [] {
        std::vector<std::vector<long>> out;
        for (const sim::Call& c : sim::calls())
            if (c.name == "SetPairable")
                out.push_back(c.args);
        return out;
    };
    // Waits for the monitor to read everything sent so far, pumping the
    // client window meanwhile (the monitor's restart reports to it).
    auto drainMonitor = [] {
        std::atomic<bool> done { false };
        std::thread stopper([&] {
            StopPowerMonitor();
            done = true;
        });
        EXPECT_TRUE(pumpUntil([&] { return done.load(); }));
        stopper.join();
    };

    EXPECT_GE(ce::notifyPower(ce::PBT_TRANSITION, 0x120000, "on"), 1);
    EXPECT_GE(ce::notifyPower(ce::PBT_TRANSITION, 0x200000, "suspend"), 1);
    drainMonitor();
    settle();
    EXPECT_EQ(pairableCalls(), (std::vector<std::vector<long>> { { 0, 0, 0 }, { 1, 1, 1 } }));
    EXPECT_EQ(GetManagerState().started, 1);

    // Turned off by the user: a wake leaves it off.
    BtManagerStop();
    settle();
    sim::clearCalls();
    StartPowerMonitor();
    ASSERT_TRUE(pumpUntil([] { return PowerMonitorRunning(); }));
    EXPECT_GE(ce::notifyPower(ce::PBT_TRANSITION, 0x200000, "suspend"), 1);
    drainMonitor();
    settle();
    EXPECT_TRUE(pairableCalls().empty());
    EXPECT_EQ(GetManagerState().started, 0);
    EXPECT_EQ(GetPhoneState(), 0);
}

// Without power notifications the monitor does not run, and says so in the
// log: Bluetooth will not be restarted after a wake.
TEST_F(Core, APowerMonitorWithoutNotificationsSaysSo)
{
    const std::string dir = ce::runDirectory() + "/power";
    std::filesystem::remove_all(dir);
    std::ofstream(dir) << "not a folder";
    std::mutex m;
    std::string said;
    const int hook = ce::addDebugOutputHook([&](const std::string& line) {
        std::lock_guard<std::mutex> l(m);
        said += line;
    });
    StartPowerMonitor();
    StopPowerMonitor();
    ce::removeDebugOutputHook(hook);
    std::filesystem::remove(dir);
    EXPECT_FALSE(PowerMonitorRunning());
    EXPECT_NE(said.find("***[BTManager] power monitor not started: no power notifications"), std::string::npos) << said;
}
