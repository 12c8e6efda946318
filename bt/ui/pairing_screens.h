// The screens around connecting the phone: PairNew (waits for a new phone
// to pair), ReTryConn (reconnecting failed: retry or leave Bluetooth off)
// and CDlgWaiting (a busy animation while Bluetooth is switched).
#pragma once

#include "bt/ui/screen_frame.h"

namespace kivo::bt {

// The busy animation of icon 1074: eight frames turned one a tick.
class BusyAnimation {
public:
    void Bind(BtScreen& screen, CBmpBtn& icon);
    // Shows frame (tick + 1) mod 8.
    void Turn(int tick);
    int FrameId(int index) const;
    // The index of the frame shown (0 .. 7).
    int Shown() const { return m_shown; }

private:
    CBmpBtn* m_icon = nullptr;
    int m_shown = 0;
    Bitmap m_frames[8];
};

class CDlgWaiting : public BtScreen {
public:
    CDlgWaiting();
    CBmpBtn& Icon() { return m_icon; }
    CBmpBtn& Label() { return m_label; }
    const BusyAnimation& Animation() const { return m_animation; }

protected:
    void initScreen() override;
    void destroyScreen() override;

private:
    CBmpBtn m_label;
    CBmpBtn m_icon;
    BusyAnimation m_animation;
    int m_ticks = 0;
};

class PairNew : public BtScreen {
public:
    PairNew();
    CBmpBtn& Label() { return m_label; }
    CBmpBtn& Icon() { return m_icon; }
    CBmpBtn& Cancel() { return m_cancel; }
    CBmpBtn& Ok() { return m_ok; }

protected:
    void initScreen() override;
    void destroyScreen() override;

private:
    void tick();
    CBmpBtn m_label;
    CBmpBtn m_icon;
    CBmpBtn m_cancel;
    CBmpBtn m_ok;
    BusyAnimation m_animation;
    int m_ticks = 0;
};

class ReTryConn : public BtScreen {
public:
    ReTryConn();
    CBmpBtn& Label() { return m_label; }
    CBmpBtn& Retry() { return m_retry; }
    CBmpBtn& CloseBluetooth() { return m_close; }

protected:
    void initScreen() override;

private:
    CBmpBtn m_label;
    CBmpBtn m_retry;
    CBmpBtn m_close;
};

// The open screens, or null.
CDlgWaiting* TheWaitingScreen();
PairNew* ThePairingScreen();

// Fills the controller's hooks for these screens.
void InstallPairingScreens();

} // namespace kivo::bt
