// The music screens: CMusicList (the phone player's now-playing list, paged,
// a tap plays a track) and SONGITEM (the player: the current track with
// previous, play/pause, next and, on the serial link, volume). Both follow
// the manager's music reports while open.
#pragma once

#include "bt/core/bt_records.h"
#include "bt/ui/screen_frame.h"

#include <vector>

namespace kivo::bt {

class CMusicList : public BtScreen, private CBmpBtnListener {
public:
    CMusicList();

    CBmpBtn& Up() { return m_up; }
    CBmpBtn& NowPlaying() { return m_nowPlaying; }
    CBmpBtn& Down() { return m_down; }
    CBmpBtnGroup& Rows() { return m_rows; }
    int Page() const { return m_paging.Page(); }
    int Pages() const { return m_paging.Pages(); }

protected:
    void initScreen() override;
    void destroyScreen() override;

private:
    void OnBmpBtnClick(int controlId) override;

    CBmpBtn m_up;
    CBmpBtn m_nowPlaying;
    CBmpBtn m_down;
    CBmpBtnGroup m_rows;
    RowPaging m_paging { m_rows, m_up, m_down };
};

class SONGITEM : public BtScreen {
public:
    SONGITEM();

    CBmpBtn& Position() { return m_position; }
    CBmpBtn& Title() { return m_title; }
    CBmpBtn& Artist() { return m_artist; }
    CBmpBtn& Album() { return m_album; }
    CBmpBtn& VolumeDown() { return m_volumeDown; }
    CBmpBtn& VolumeUp() { return m_volumeUp; }
    CBmpBtn& Previous() { return m_previous; }
    CBmpBtn& PlayPause() { return m_playPause; }
    CBmpBtn& Next() { return m_next; }

protected:
    void initScreen() override;
    void destroyScreen() override;

private:
    void onMusicInfo(ce::WPARAM what, const TrackBlock* block);
    void onConnectResult(ce::WPARAM connected, ce::LPARAM kind);
    // The serial link's whole track: an empty one is called unknown. A
    // reported one is kept as the manager's current track.
    void showLinkTrack(const TrackBlock& block, bool store);
    // Count and place again: the position line, and with steps the
    // Previous and Next buttons at the ends of the list.
    void showPlace(bool steps);
    void showPlace(bool steps, int count, int place);
    void previous();
    void next();

    CBmpBtn m_position;
    CBmpBtn m_title;
    CBmpBtn m_artist;
    CBmpBtn m_album;
    CBmpBtn m_volumeDown;
    CBmpBtn m_volumeUp;
    CBmpBtn m_previous;
    CBmpBtn m_playPause;
    CBmpBtn m_next;
};

// The open screens (null when none), for the controller and tests.
CMusicList* TheMusicListScreen();
SONGITEM* TheSongScreen();

// Fills the controller's music hook.
void InstallMusicScreens();

} // namespace kivo::bt
