// The music screens on the simulated phone: the paged track list, the
// player on the stack and on the serial link, and the controller opening
// them on a client's request.
#include "bt/core/dlg_kivobt.h"
#include "bt/ui/music_screens.h"
#include "bt/ui/phone_connection.h"
#include "tests/bt/bt_test_support.h"
#include "tests/bt/ui/ui_test_support.h"

#include <QTest>

namespace kivo::bt::test {
namespace {

using Bytes = std::vector<uint8_t>;

// A title as the stack reports it: 64 UTF-16 code units.
Bytes text64(const std::u16string& text)
{
    Bytes b(128, 0);
    std::memcpy(b.data(), text.data(), std::min<size_t>(text.size(), 64) * 2);
    return b;
}

Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A text of the companion's frames: 16-bit byte count, then UTF-8.
Bytes linkText(const std::string& s)
{
    return Bytes { uint8_t(s.size() & 0xFF), uint8_t(s.size() >> 8) } + Bytes(s.begin(), s.end());
}

std::vector<std::u16string> numberedTracks(int count)
{
    std::vector<std::u16string> titles;
    for (int i = 1; i <= count; ++i)
        titles.push_back(u"Track " + QString::number(i).toStdU16String());
    return titles;
}

TrackBlock track(const std::u16string& title)
{
    TrackBlock t {};
    setField(t.title, 64, title);
    return t;
}

bool isColour(const QImage& image, int x, int y, QColor colour)
{
    return image.pixelColor(x, y) == colour;
}

// Pixels of a label's text (white on the dark page) within a rectangle.
int whitePixels(const QImage& image, const QRect& r)
{
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            n += c.red() > 200 && c.green() > 200 && c.blue() > 200;
        }
    return n;
}

const QColor kFace(46, 120, 200); // a key's normal face
const QColor kEnd(120, 124, 132); // a key at the end of the list
const QRect kPositionLine(0, 40, 240, 28);
const QRect kTitleLines(0, 76, 240, 50);

class MusicScreens : public CoreFixture {
protected:
    void SetUp() override
    {
        app();
        installTemplate();
        CoreFixture::SetUp();
    }
    // The phone's player on the stack with its now-playing list.
    void startStack(const std::vector<std::u16string>& tracks)
    {
        sim::bt::World w;
        w.shortcuts = { phone(2) };
        w.tracks = tracks;
        sim::bt::setWorld(w);
        ASSERT_EQ(BtManagerStart(), 1);
        ASSERT_TRUE(pumpUntil([&] {
            const ManagerState s = GetManagerState();
            return s.mode == kModeStack && s.nowPlayingCount == int(tracks.size());
        }));
        settle();
    }
    // A companion phone on the serial link.
    void startSerial()
    {
        setWorld({ phone(3) });
        ASSERT_EQ(BtManagerStart(), 1);
        ASSERT_TRUE(pumpUntil([] { return GetPhoneState() == 2 && sim::bt::companionReading(); }));
        settle();
        ASSERT_EQ(GetManagerState().mode, kModeSerial);
        sim::bt::clearCompanionFrames();
    }
    // The phone's player moves to a title.
    void playing(const std::u16string& title)
    {
        sim::bt::musicEvent(0, text64(title));
        settle();
    }
    void listOf(const std::vector<std::u16string>& titles)
    {
        for (size_t i = 0; i < titles.size(); ++i)
            OnMusicEvent(9, sim::bt::nowPlayingEntry(int(i), titles[i]).data());
    }
    static void click(CBmpBtn& b) { QTest::mouseClick(b.widget(), Qt::LeftButton, {}, b.clientRect().center()); }
};

TEST_F(MusicScreens, SevenTracksMakeOnePageAndEightLeaveOneOnTheSecond)
{
    struct Case {
        int tracks;
        int pages;
        int downNormal, downPressed;
    };
    for (const Case c : { Case { 7, 1, 147, 147 }, Case { 8, 2, 145, 146 } }) {
        SCOPED_TRACE(c.tracks);
        ResetManagerForTests();
        listOf(numberedTracks(c.tracks));
        CMusicList list;
        ASSERT_TRUE(list.create());
        EXPECT_EQ(list.Pages(), c.pages);
        EXPECT_EQ(list.Rows().Count(), c.tracks);
        EXPECT_FALSE(list.Up().isEnabled());
        EXPECT_EQ(list.Up().NormalId(), 144);
        EXPECT_EQ(list.Down().isEnabled(), c.tracks >= 8);
        EXPECT_EQ(list.Down().NormalId(), c.downNormal);
        EXPECT_EQ(list.Down().PressedId(), c.downPressed);
        EXPECT_EQ(list.Rows().Last(), 6);
        if (c.tracks == 8) {
            click(list.Down());
            EXPECT_EQ(list.Page(), 2);
            EXPECT_EQ(list.Rows().First(), 7);
            EXPECT_EQ(list.Rows().Last(), 7) << "the eighth alone on page 2";
            EXPECT_TRUE(list.Rows().Button(7)->isVisible());
            EXPECT_FALSE(list.Rows().Button(0)->isVisible());
            EXPECT_FALSE(list.Down().isEnabled());
            EXPECT_EQ(list.Down().NormalId(), 147);
            EXPECT_TRUE(list.Up().isEnabled());
            EXPECT_EQ(list.Up().NormalId(), 142);
            EXPECT_EQ(list.Up().PressedId(), 143);
            click(list.Up());
            EXPECT_EQ(list.Page(), 1);
            EXPECT_FALSE(list.Up().isEnabled());
            EXPECT_EQ(list.Down().NormalId(), 145);
        }
        list.destroyWindow();
    }
}

TEST_F(MusicScreens, ListRowsCutLongTitlesAndSelectTheCurrentTrack)
{
    listOf({ u"Eighteen character", u"Nineteen characters", u"Third" });
    SetCurrentTrack(track(u"Nineteen characters"));
    CMusicList list;
    ASSERT_TRUE(list.create());
    EXPECT_EQ(list.Rows().Button(0)->Caption(), u"Eighteen character");
    EXPECT_EQ(list.Rows().Button(1)->Caption(), u"Nineteen character...");
    EXPECT_EQ(list.Rows().SelectedId(), list.Rows().Button(1)->id());
    EXPECT_EQ(list.Rows().Button(1)->NormalId(), 0) << "the selected row shows the group's selected bitmap";
    const QImage shot = list.widget()->grab().toImage();
    savePng(shot, "musiclist");
    // Row 2 selected (tinted), row 1 plain, at the left edge below the text.
    EXPECT_EQ(shot.pixelColor(2, 27 + 45 + 40), QColor(190, 216, 244));
    EXPECT_EQ(shot.pixelColor(2, 27 + 40), QColor(244, 245, 247));
    // A pen-down on the list itself is no touch for the clients; on the
    // player it is.
    QTest::mouseClick(list.widget(), Qt::LeftButton, {}, QPoint(120, 5));
    settle();
    EXPECT_EQ(client.count("WM_TOUCHEVENT_MOUSE_LBUTTONDOWN"), 0);
    list.destroyWindow();
    SONGITEM song;
    ASSERT_TRUE(song.create());
    QTest::mouseClick(song.widget(), Qt::LeftButton, {}, QPoint(120, 390));
    settle();
    EXPECT_EQ(client.count("WM_TOUCHEVENT_MOUSE_LBUTTONDOWN"), 1);
    song.destroyWindow();
}

TEST_F(MusicScreens, MusicReportsMoveTheSelectionOrCloseTheList)
{
    const std::u16string longTitle(64, u'L');
    listOf({ u"One", u"Two", u"Three", longTitle });
    SetCurrentTrack(track(u"One"));
    CMusicList list;
    ASSERT_TRUE(list.create());
    EXPECT_EQ(list.Rows().SelectedId(), list.Rows().Button(0)->id());
    // Artist and album reports leave the list alone.
    OnMusicEvent(6, text64(u"Band").data());
    OnMusicEvent(0, text64(u"Three").data());
    settle();
    EXPECT_EQ(list.Rows().SelectedId(), list.Rows().Button(2)->id());
    EXPECT_TRUE(list.isVisible());
    // A title longer than the track keeps is found by as much as it keeps.
    OnMusicEvent(0, text64(longTitle).data());
    settle();
    EXPECT_EQ(CurrentTrackPlace(), 4);
    EXPECT_EQ(list.Rows().SelectedId(), list.Rows().Button(3)->id());
    EXPECT_TRUE(list.isVisible());
    // A title the list does not hold.
    OnMusicEvent(0, text64(u"Elsewhere").data());
    settle();
    EXPECT_FALSE(list.isVisible());
    EXPECT_EQ(TheMusicListScreen(), &list) << "closed, still to be destroyed";
    list.destroyWindow();
    EXPECT_EQ(TheMusicListScreen(), nullptr);
}

TEST_F(MusicScreens, Message9001ClosesTheListEvenBehindAnotherWindow)
{
    listOf({ u"One" });
    CMusicList list;
    ASSERT_TRUE(list.create());
    const ce::HWND other = ce::createWindow("BtUiTest", "in front", [](ce::HWND, ce::UINT, ce::WPARAM, ce::LPARAM) {
        return ce::LRESULT(0);
    });
    ce::setForegroundWindow(other);
    ce::sendMessage(list.hwnd(), kMsgCloseScreens, 0, 0);
    EXPECT_FALSE(list.isVisible());
    list.destroyWindow();
    ce::destroyWindow(other);
}

// The phone is named the tapped row's entry (identifier = place from 1)
// and its index, on the first page and on the second, and plays it.
TEST_F(MusicScreens, TappingARowPlaysItsEntryAndCloses)
{
    startStack(numberedTracks(9));
    for (const int row : { 1, 8 }) {
        SCOPED_TRACE(row);
        sim::bt::clearCalls();
        CMusicList list;
        ASSERT_TRUE(list.create());
        if (row >= 7)
            click(list.Down());
        click(*list.Rows().Button(row));
        EXPECT_EQ(list.Rows().SelectedId(), list.Rows().Button(row)->id());
        EXPECT_FALSE(list.isVisible());
        const std::vector<sim::bt::Call> played = callsTo("AVRCP_PlayListItems");
        ASSERT_EQ(played.size(), 1u);
        EXPECT_EQ(played[0].args, (std::vector<long> { row, row + 1 }));
        EXPECT_EQ(played[0].text, "Track " + std::to_string(row + 1));
        settle();
        EXPECT_EQ(fieldText(CurrentTrack().title, 64), numberedTracks(9)[size_t(row)]);
        list.destroyWindow();
    }
}

TEST_F(MusicScreens, PlayerOnTheFirstAndTheLastTrack)
{
    startStack({ u"Opening", u"Middle", u"Closing time" });
    playing(u"Opening");
    sim::bt::clearCalls();
    SONGITEM song;
    ASSERT_TRUE(song.create());
    ASSERT_EQ(callsTo("AVRCP_GetCapabilities").size(), 1u);
    EXPECT_EQ(callsTo("AVRCP_GetCapabilities")[0].args, std::vector<long> { 1 });
    EXPECT_EQ(song.Title().Caption(), u"Opening");
    EXPECT_EQ(song.Position().Caption(), u"1/3");
    EXPECT_TRUE(song.Position().isVisible());
    EXPECT_FALSE(song.VolumeUp().isVisible()) << "no music volume on the stack";
    EXPECT_FALSE(song.VolumeDown().isVisible());
    EXPECT_FALSE(song.Previous().isEnabled());
    EXPECT_EQ(song.Previous().NormalId(), 240);
    EXPECT_EQ(song.Previous().PressedId(), 240);
    EXPECT_TRUE(song.Next().isEnabled());
    EXPECT_EQ(song.Next().NormalId(), 236);
    QImage shot = song.widget()->grab().toImage();
    savePng(shot, "songitem_first");
    ASSERT_EQ(shot.size(), QSize(240, 400));
    EXPECT_TRUE(isColour(shot, 16, 245, kEnd)) << "Previous shows its end look";
    EXPECT_TRUE(isColour(shot, 166, 245, kFace));
    EXPECT_TRUE(isColour(shot, 91, 245, kFace)) << "Play/Pause";
    EXPECT_FALSE(isColour(shot, 16, 345, kFace)) << "no volume key";
    EXPECT_GT(whitePixels(shot, kPositionLine), 0);
    EXPECT_GT(whitePixels(shot, kTitleLines), 0);

    // Artist and album: more than 20 characters are cut.
    sim::bt::musicEvent(6, text64(u"Twenty-one characters"));
    sim::bt::musicEvent(7, text64(u"Twenty characters ok"));
    playing(u"Closing time");
    EXPECT_EQ(song.Artist().Caption(), u"Twenty-one character...");
    EXPECT_EQ(song.Album().Caption(), u"Twenty characters ok");
    EXPECT_EQ(song.Title().Caption(), u"Closing time");
    EXPECT_EQ(song.Position().Caption(), u"3/3");
    EXPECT_TRUE(song.Previous().isEnabled());
    EXPECT_EQ(song.Previous().NormalId(), 239);
    EXPECT_EQ(song.Previous().PressedId(), 241);
    EXPECT_FALSE(song.Next().isEnabled());
    EXPECT_EQ(song.Next().NormalId(), 237);
    EXPECT_EQ(song.Next().PressedId(), 237);
    shot = song.widget()->grab().toImage();
    savePng(shot, "songitem_last");
    EXPECT_TRUE(isColour(shot, 16, 245, kFace));
    EXPECT_TRUE(isColour(shot, 166, 245, kEnd)) << "Next shows its end look";

    // An empty title keeps the one shown.
    playing(u"");
    EXPECT_EQ(song.Title().Caption(), u"Closing time");
    EXPECT_FALSE(song.Position().isVisible()) << "no place without a title in the list";

    // The audio link drops: the lines empty; it comes back: the position
    // line shows again.
    sim::bt::connectionEvent(0, kBtKindAudio);
    settle();
    EXPECT_EQ(song.Title().Caption(), u"");
    EXPECT_EQ(song.Artist().Caption(), u"");
    EXPECT_EQ(song.Album().Caption(), u"");
    sim::bt::connectionEvent(1, kBtKindAudio);
    settle();
    EXPECT_TRUE(song.Position().isVisible());
    song.destroyWindow();
}

TEST_F(MusicScreens, PlayerKeysOnTheStackStopAtTheEndsAndObeyMusicControl)
{
    startStack({ u"One", u"Two" });
    playing(u"Two");
    SONGITEM song;
    ASSERT_TRUE(song.create());
    sim::bt::clearCalls();
    // The last track: Next sends nothing even when asked.
    song.command(1027);
    EXPECT_EQ(sim::bt::countCalls("AVRCPPlayNext"), 0);
    click(song.Previous());
    click(song.PlayPause());
    EXPECT_EQ(sim::bt::countCalls("AVRCPPlayLast"), 1);
    EXPECT_EQ(sim::bt::countCalls("AVRCPForcePlay"), 1);

    playing(u"One");
    click(song.Next());
    EXPECT_EQ(sim::bt::countCalls("AVRCPPlayNext"), 1);

    // Music control off: nothing goes to the phone.
    StoreServiceSettings(1, 1, 0, 1, 1);
    sim::bt::clearCalls();
    playing(u"One");
    click(song.Next());
    click(song.PlayPause());
    playing(u"Two");
    click(song.Previous());
    EXPECT_TRUE(sim::bt::calls().empty());
    song.destroyWindow();
}

TEST_F(MusicScreens, NextWithoutAListWhilePlayingAsksForTheListAgain)
{
    startStack({});
    sim::bt::musicEvent(11, Bytes { 1, 0, 0, 0 });
    settle();
    ASSERT_TRUE(GetManagerState().playing);
    SONGITEM song;
    ASSERT_TRUE(song.create());
    EXPECT_FALSE(song.Position().isVisible());
    sim::bt::World w = sim::bt::world();
    w.tracks = { u"Found later" };
    sim::bt::setWorld(w);
    sim::bt::clearCalls();
    click(song.Next());
    settle();
    EXPECT_EQ(sim::bt::countCalls("AVRCPPlayNext"), 1);
    ASSERT_EQ(callsTo("AVRCP_GetCapabilities").size(), 1u);
    EXPECT_EQ(callsTo("AVRCP_GetCapabilities")[0].args, std::vector<long> { 1 });
    EXPECT_EQ(NowPlayingTitles(), std::vector<std::u16string> { u"Found later" });
    song.destroyWindow();
}

TEST_F(MusicScreens, PlayerOnTheSerialLink)
{
    startSerial();
    SONGITEM song;
    ASSERT_TRUE(song.create());
    EXPECT_TRUE(song.VolumeDown().isVisible());
    EXPECT_TRUE(song.VolumeUp().isVisible());
    EXPECT_FALSE(song.Position().isVisible());
    EXPECT_EQ(sim::bt::countCalls("AVRCP_GetCapabilities"), 0);

    // Three empty texts: the track is unknown, and kept so.
    EXPECT_FALSE(LangString(10401).empty());
    sim::bt::companionSend(sim::bt::companionFrame(0x83, Bytes { 0x00 }));
    EXPECT_TRUE(pumpUntil([&] { return fieldText(CurrentTrack().title, 64) == LangString(10401); }));
    EXPECT_EQ(song.Title().Caption(), LangString(10401));

    // Artist and album: more than 22 characters are cut.
    sim::bt::companionSend(sim::bt::companionFrame(0x83,
        Bytes { 0x00 } + linkText("Song") + linkText("Twenty-three characters") + linkText("Twenty-two characters!")));
    EXPECT_TRUE(pumpUntil([&] { return song.Title().Caption() == u"Song"; }));
    EXPECT_EQ(song.Artist().Caption(), u"Twenty-three character...");
    EXPECT_EQ(song.Album().Caption(), u"Twenty-two characters!");
    settle();
    const QImage shot = song.widget()->grab().toImage();
    savePng(shot, "songitem_serial");
    EXPECT_TRUE(isColour(shot, 16, 345, kFace)) << "volume down";
    EXPECT_TRUE(isColour(shot, 131, 345, kFace)) << "volume up";
    EXPECT_EQ(whitePixels(shot, kPositionLine), 0);

    // Each key sends its command at once; none while music control is off.
    auto frame = [](uint8_t c) { return sim::bt::companionFrame(c); };
    sim::bt::clearCompanionFrames();
    for (CBmpBtn* b : { &song.VolumeDown(), &song.VolumeUp(), &song.Previous(), &song.Next(), &song.PlayPause() })
        click(*b);
    EXPECT_EQ(sim::bt::companionFrames(), (std::vector<Bytes> { frame(0xCB), frame(0xCA), frame(0xC5), frame(0xC6), frame(0xC7) }));
    StoreServiceSettings(1, 1, 0, 1, 1);
    sim::bt::clearCompanionFrames();
    for (CBmpBtn* b : { &song.Previous(), &song.Next(), &song.PlayPause() })
        click(*b);
    EXPECT_TRUE(sim::bt::companionFrames().empty());
    song.destroyWindow();
}

TEST_F(MusicScreens, WakeInFrontClosesThePlayer)
{
    SONGITEM song;
    ASSERT_TRUE(song.create());
    const ce::HWND other = ce::createWindow("BtUiTest", "in front", [](ce::HWND, ce::UINT, ce::WPARAM, ce::LPARAM) {
        return ce::LRESULT(0);
    });
    ce::setForegroundWindow(other);
    ce::sendMessage(song.hwnd(), kMsgUserWake2, 0, 0);
    EXPECT_TRUE(song.isVisible()) << "behind another window it stays";
    ce::setForegroundWindow(song.hwnd());
    ce::sendMessage(song.hwnd(), kMsgUserWake2, 0, 0);
    EXPECT_FALSE(song.isVisible());
    song.destroyWindow();
    ce::destroyWindow(other);
}

TEST_F(MusicScreens, AClientRequestOpensTheListOrThePlayer)
{
    UnregisterInternalWindow(internal.hwnd());
    PhoneConnection window;
    ASSERT_TRUE(window.create());
    // As a client posts it: nothing in wParam or lParam.
    auto request = [&] { ce::postMessage(window.hwnd(), WM_BTIN_MUSICWND_SHOW, 0, 0); };
    // Closes whichever music screens are open, the player first.
    auto closeAll = [] {
        onGui([] { return TheSongScreen() ? ce::sendMessage(TheSongScreen()->hwnd(), kMsgCloseScreens, 0, 0) : 0; });
        waitFor([] { return TheSongScreen() == nullptr; });
        onGui([] {
            return TheMusicListScreen() ? ce::sendMessage(TheMusicListScreen()->hwnd(), kMsgCloseScreens, 0, 0) : 0;
        });
        return waitFor([] { return TheSongScreen() == nullptr && TheMusicListScreen() == nullptr; });
    };
    // Nothing while no phone plays: by the time a later request is
    // answered, no screen.
    auto nothingOpens = [&] {
        const int answers = onGui([&] { return client.count("copydata WM_BTOUT_PHONE_STATE"); });
        request();
        ce::postMessage(window.hwnd(), WM_BTIN_QUERY_PHONE_STATE, 0, 0);
        EXPECT_TRUE(waitFor([&] { return client.count("copydata WM_BTOUT_PHONE_STATE") > answers; }));
        EXPECT_EQ(TheSongScreen(), nullptr);
        EXPECT_EQ(TheMusicListScreen(), nullptr);
    };
    runScript([&] { nothingOpens(); });
    startStack({ u"One", u"Two" });
    runScript([&] {
        // On the stack, the current title in the list: the list, and from
        // it the player.
        sim::bt::musicEvent(0, text64(u"Two"));
        sim::bt::waitIdle();
        request();
        ASSERT_TRUE(waitFor([] { return TheMusicListScreen() != nullptr; }));
        ce::dlg::runOnGuiThread([] {
            QMetaObject::invokeMethod(
                qApp, [] { TheMusicListScreen()->NowPlaying().Click(); }, Qt::QueuedConnection);
        });
        EXPECT_TRUE(waitFor([] { return TheSongScreen() != nullptr; }));
        EXPECT_TRUE(waitFor([] { return TheSongScreen() && TheSongScreen()->Position().Caption() == u"2/2"; }));
        ASSERT_TRUE(closeAll());

        // A title the list lacks: the player.
        sim::bt::musicEvent(0, text64(u"Elsewhere"));
        sim::bt::waitIdle();
        request();
        EXPECT_TRUE(waitFor([] { return TheSongScreen() != nullptr; }));
        EXPECT_EQ(TheMusicListScreen(), nullptr);
        ASSERT_TRUE(closeAll());
    });
    BtManagerStop();
    settle();
    // A companion phone on the serial link: the player.
    startSerial();
    runScript([&] {
        request();
        EXPECT_TRUE(waitFor([] { return TheSongScreen() != nullptr; }));
        EXPECT_EQ(TheMusicListScreen(), nullptr);
        ASSERT_TRUE(closeAll());
    });
    window.destroyWindow();
}

} // namespace
} // namespace kivo::bt::test
