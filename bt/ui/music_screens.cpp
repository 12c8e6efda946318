#include "bt/ui/music_screens.h"

#include "bt/core/bt_manager.h"
#include "bt/core/bt_messages.h"
#include "bt/core/dlg_kivobt.h"
#include "bt/ui/screen_hooks.h"

#include "platform/debug.h"

#include <QString>

#include <atomic>

namespace kivo::bt {

namespace {

std::atomic<CMusicList*> g_list { nullptr };
std::atomic<SONGITEM*> g_song { nullptr };
constexpr int kRowsPerPage = 7;

bool musicControlOn()
{
    BtConfigRecord cfg;
    LoadConfiguration(&cfg);
    return cfg.musicControl != 0;
}

bool onStack()
{
    return GetManagerState().mode == kModeStack;
}

int trackCount()
{
    return GetManagerState().nowPlayingCount;
}

void centred(CBmpBtn& label)
{
    label.SetTextPlacement(true, true, 0, 0, false);
}

} // namespace

CMusicList* TheMusicListScreen()
{
    return g_list;
}

SONGITEM* TheSongScreen()
{
    return g_song;
}

// ---- CMusicList -----------------------------------------------------------------------

CMusicList::CMusicList()
    : BtScreen(106, "CMusicList", 138, false, true)
{
    quietPen();
    onClicked(1009, [this] { m_paging.Up(); });
    onClicked(1008, [this] { m_paging.Down(); });
    onClicked(1005, [] { SONGITEM().doModal(); });
    // Leaves at once, in front or not.
    onMessage(kMsgCloseScreens, [this](ce::WPARAM, ce::LPARAM) {
        closeScreen(ce::dlg::IDCANCEL);
        return ce::LRESULT(0);
    });
    onMessage(WM_STKOUTMSG_MUSICINFO, [this](ce::WPARAM what, ce::LPARAM l) {
        FreeInternalRecord(WM_STKOUTMSG_MUSICINFO, what, l);
        if (what != 0)
            return ce::LRESULT(0);
        // A track the list does not hold: the list is no longer the player's.
        const int place = CurrentTrackPlace();
        if (place == 0)
            closeScreen(ce::dlg::IDCANCEL);
        else
            m_rows.Select(place - 1);
        return ce::LRESULT(0);
    });
}

void CMusicList::initScreen()
{
    g_list = this;
    const std::vector<std::u16string> titles = NowPlayingTitles();
    const int count = int(titles.size());
    bindButton(m_up, 1009, 144, 144, {}, nullptr);
    bindButton(m_nowPlaying, 1005, 170, 171, {}, nullptr);
    bindButton(m_down, 1008, 147, 147, {}, nullptr);
    if (count > 0) {
        m_rows.Init(widget(), this, QRect(0, 27, 240, 348 - 27), kRowsPerPage, Background(), 317, 274, 272, count);
        for (const std::u16string& title : titles)
            m_rows.Add(Shortened(title, 18), {}, nullptr);
        const int place = CurrentTrackPlace();
        if (place > 0)
            m_rows.Select(place - 1);
    }
    m_paging.Reset(count, kRowsPerPage);
}

void CMusicList::OnBmpBtnClick(int controlId)
{
    // A row, not one of the keys.
    const int index = m_rows.IndexOfId(controlId);
    if (index < 0)
        return;
    m_rows.Select(index);
    PlayNowPlayingEntry(index);
    closeScreen(ce::dlg::IDOK);
}

void CMusicList::destroyScreen()
{
    CMusicList* self = this;
    g_list.compare_exchange_strong(self, nullptr);
}

// ---- SONGITEM -------------------------------------------------------------------------

SONGITEM::SONGITEM()
    : BtScreen(110, "SONGITEM", 252, false, true)
{
    onClicked(1026, [this] { previous(); });
    onClicked(1027, [this] { next(); });
    onClicked(1011, [] {
        if (musicControlOn())
            MusicPlayPause();
    });
    onClicked(1039, [] { MusicVolumeDown(); });
    onClicked(1072, [] { MusicVolumeUp(); });
    onMessage(WM_STKOUTMSG_MUSICINFO, [this](ce::WPARAM what, ce::LPARAM l) {
        const bool block = what == 0 || what == 6 || what == 7 || what == 31;
        onMusicInfo(what, block ? reinterpret_cast<const TrackBlock*>(l) : nullptr);
        FreeInternalRecord(WM_STKOUTMSG_MUSICINFO, what, l);
        return ce::LRESULT(0);
    });
    onMessage(WM_STKOUTMSG_CONNECT_RESULT, [this](ce::WPARAM connected, ce::LPARAM kind) {
        onConnectResult(connected, kind);
        return ce::LRESULT(0);
    });
    onMessage(kMsgUserWake2, [this](ce::WPARAM, ce::LPARAM) {
        if (ce::getForegroundWindow() == hwnd()) {
            const ce::HWND self = hwnd();
            closeScreen(ce::dlg::IDCANCEL);
            ce::postMessage(self, kMsgCloseScreens, 0, 0);
        }
        return ce::LRESULT(0);
    });
}

void SONGITEM::initScreen()
{
    g_song = this;
    const Font font = ArialFont(20, 400);
    bindLabel(m_position, 1100, {}, font);
    bindLabel(m_title, 1037, {}, ArialFont(20, 700));
    bindLabel(m_artist, 1038, {}, font);
    bindLabel(m_album, 1102, {}, font);
    centred(m_position);
    m_title.SetTextPlacement(true, false, 0, 2, true);
    centred(m_artist);
    centred(m_album);
    bindButton(m_volumeDown, 1039, 255, 256, {}, nullptr);
    bindButton(m_volumeUp, 1072, 258, 259, {}, nullptr);
    bindButton(m_previous, 1026, 239, 241, {}, nullptr);
    bindButton(m_playPause, 1011, 176, 178, {}, nullptr);
    bindButton(m_next, 1027, 236, 238, {}, nullptr);
    // Volume is the companion link's alone; the stack's player says what
    // it can do when asked.
    const bool stack = onStack();
    const bool serial = GetManagerState().mode == kModeSerial;
    m_volumeDown.showWindow(serial);
    m_volumeUp.showWindow(serial);
    const TrackBlock track = CurrentTrack();
    if (stack) {
        AskMusicCapabilities();
        m_title.SetCaption(fieldText(track.title, 64));
        m_artist.SetCaption(Shortened(fieldText(track.artist, 64), 20));
        m_album.SetCaption(Shortened(fieldText(track.album, 64), 20));
        showPlace(true);
    } else {
        m_position.showWindow(false);
        if (serial)
            showLinkTrack(track, false);
    }
}

void SONGITEM::destroyScreen()
{
    SONGITEM* self = this;
    g_song.compare_exchange_strong(self, nullptr);
}

void SONGITEM::showPlace(bool steps)
{
    showPlace(steps, trackCount(), CurrentTrackPlace());
}

void SONGITEM::showPlace(bool steps, int count, int place)
{
    if (count > 0 && place > 0) {
        m_position.SetCaption(QStringLiteral("%1/%2").arg(place).arg(count).toStdU16String());
        m_position.showWindow(true);
        m_position.invalidate();
    } else {
        m_position.showWindow(false);
    }
    if (!steps || count <= 0 || place <= 0)
        return;
    const bool first = place == 1;
    m_previous.SetBitmaps(first ? 240 : 239, first ? 240 : 241, kWhite);
    m_previous.enableWindow(!first);
    const bool last = place == count;
    m_next.SetBitmaps(last ? 237 : 236, last ? 237 : 238, kWhite);
    m_next.enableWindow(!last);
    m_previous.invalidate();
    m_next.invalidate();
}

void SONGITEM::showLinkTrack(const TrackBlock& block, bool store)
{
    TrackBlock shown = block;
    std::u16string title = fieldText(block.title, 64);
    const std::u16string artist = fieldText(block.artist, 64);
    const std::u16string album = fieldText(block.album, 64);
    if (title.empty() && artist.empty() && album.empty()) {
        title = LangString(10401);
        setField(shown.title, 64, title);
    }
    m_title.SetCaption(title);
    m_artist.SetCaption(Shortened(artist, 22));
    m_album.SetCaption(Shortened(album, 22));
    if (store)
        SetCurrentTrack(shown);
    for (CBmpBtn* b : { &m_title, &m_artist, &m_album })
        b->invalidate();
}

void SONGITEM::onMusicInfo(ce::WPARAM what, const TrackBlock* block)
{
    switch (what) {
    case 0: {
        if (!block)
            return;
        const std::u16string title = fieldText(block->title, 64);
        if (!title.empty()) {
            m_title.SetCaption(title);
            m_title.invalidate();
        }
        const int count = trackCount(), place = CurrentTrackPlace();
        ce::debugOutput(QStringLiteral("*** total(%1), pos(%2)..\r\n").arg(count).arg(place).toStdString());
        showPlace(true, count, place);
        break;
    }
    case 6:
    case 7: {
        if (!block)
            return;
        CBmpBtn& line = what == 6 ? m_artist : m_album;
        line.SetCaption(Shortened(fieldText(what == 6 ? block->artist : block->album, 64), 20));
        line.invalidate();
        break;
    }
    case 8:
        showPlace(false);
        break;
    case 31:
        if (block)
            showLinkTrack(*block, true);
        break;
    default:
        break;
    }
}

void SONGITEM::onConnectResult(ce::WPARAM connected, ce::LPARAM kind)
{
    if (kind != kBtKindAudio && kind != kBtKindSerial)
        return;
    if (connected) {
        if (kind == kBtKindAudio && !m_position.isVisible())
            m_position.showWindow(true);
        else if (kind == kBtKindSerial && m_position.isVisible())
            m_position.showWindow(false);
        return;
    }
    for (CBmpBtn* b : { &m_title, &m_artist, &m_album })
        b->SetCaption({});
    if (m_position.isVisible())
        m_position.SetCaption({});
    for (CBmpBtn* b : { &m_title, &m_artist, &m_album, &m_position })
        b->invalidate();
}

void SONGITEM::previous()
{
    if (!musicControlOn())
        return;
    if (onStack() && CurrentTrackPlace() == 1)
        return;
    MusicPrevious();
}

void SONGITEM::next()
{
    if (!musicControlOn())
        return;
    if (!onStack()) {
        MusicNext();
        return;
    }
    const int place = CurrentTrackPlace();
    if (place != 0 && place == trackCount())
        return;
    MusicNext();
    // A player that plays without a list has changed what it plays from:
    // its list is asked for again.
    if (trackCount() == 0 && GetManagerState().playing)
        RefreshNowPlaying();
}

// ---- the controller's hook ------------------------------------------------------------

void InstallMusicScreens()
{
    Screens().openMusic = [](int mode) {
        if (mode == 1 && CurrentTrackPlace() > 0)
            CMusicList().doModal();
        else
            SONGITEM().doModal();
    };
}

} // namespace kivo::bt
