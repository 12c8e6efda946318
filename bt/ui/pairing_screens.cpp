#include "bt/ui/pairing_screens.h"

#include "bt/core/bt_manager.h"
#include "bt/core/bt_messages.h"
#include "bt/core/bt_sdk.h"
#include "bt/ui/dlg_settings.h"
#include "bt/ui/screen_hooks.h"

#include "platform/dialogs/services.h"

#include <atomic>
#include <mutex>

namespace kivo::bt {

namespace {

constexpr int kFrameIds[8] = { 151, 289, 310, 311, 312, 313, 314, 309 };
constexpr int kTimer = 1;

std::atomic<PairNew*> g_pairing { nullptr };

// The waiting screen runs in a thread of its own while Bluetooth is
// switched in another: an end that comes before the screen has started
// closes it at its start.
std::mutex g_waitLock;
CDlgWaiting* s_dlg_wait = nullptr;
bool g_waitWanted = false;

} // namespace

// ---- the busy animation ---------------------------------------------------------------

void BusyAnimation::Bind(BtScreen& screen, CBmpBtn& icon)
{
    m_icon = &icon;
    for (int i = 0; i < 8; ++i)
        m_frames[i] = ce::dlg::loadBitmap(kFrameIds[i]);
    icon.attach(screen, 1074);
    screen.placeOnBackground(icon);
    icon.SetBitmaps(kFrameIds[0], kFrameIds[0], kWhite);
    icon.enableWindow(false);
}

void BusyAnimation::Turn(int tick)
{
    if (!m_icon)
        return;
    m_shown = (tick + 1) % 8;
    const Bitmap& frame = m_frames[m_shown];
    m_icon->SetBitmapHandles(frame, frame, kWhite);
    m_icon->invalidate();
}

int BusyAnimation::FrameId(int index) const
{
    return kFrameIds[index % 8];
}

// ---- CDlgWaiting ----------------------------------------------------------------------

CDlgWaiting* TheWaitingScreen()
{
    std::lock_guard<std::mutex> lock(g_waitLock);
    return s_dlg_wait;
}

CDlgWaiting::CDlgWaiting()
    : BtScreen(308, "CDlgWaiting", 261, false, false)
{
}

void CDlgWaiting::initScreen()
{
    bindLabel(m_label, 1069, LangString(10101), ArialFont(20, 400));
    m_label.SetTextPlacement(true, true, 0, 0, false);
    m_animation.Bind(*this, m_icon);
    {
        std::lock_guard<std::mutex> lock(g_waitLock);
        if (!g_waitWanted) {
            endDialog(0);
            return;
        }
        s_dlg_wait = this;
    }
    ce::dlg::setTimer(this, kTimer, 200, [this] { m_animation.Turn(m_ticks++); });
}

void CDlgWaiting::destroyScreen()
{
    ce::dlg::killTimers(this);
    std::lock_guard<std::mutex> lock(g_waitLock);
    if (s_dlg_wait == this)
        s_dlg_wait = nullptr;
}

// ---- PairNew --------------------------------------------------------------------------

PairNew* ThePairingScreen()
{
    return g_pairing;
}

PairNew::PairNew()
    : BtScreen(299, "PairNew", 261, false, true)
{
    onClicked(1075, [this] { closeScreen(ce::dlg::IDCANCEL); });
    onClicked(1108, [this] { closeScreen(ce::dlg::IDOK); });
    onMessage(WM_STKOUTMSG_CONNECT_RESULT, [this](ce::WPARAM connected, ce::LPARAM kind) {
        if (connected == 0 || (kind != 1 && kind != 2 && kind != 5 && kind != 8))
            return ce::LRESULT(0);
        if (!TheSettingsScreen())
            RunWorker([] {
                if (!TheSettingsScreen())
                    CDlgSettings().doModal();
            });
        closeScreen(ce::dlg::IDOK);
        return ce::LRESULT(0);
    });
}

void PairNew::initScreen()
{
    g_pairing = this;
    bindLabel(m_label, 1069, LangString(10051), ArialFont(20, 400));
    m_label.SetTextPlacement(true, false, 2, 2, true);
    m_animation.Bind(*this, m_icon);
    const Font font = ArialFont(20, 400);
    bindButton(m_cancel, 1075, 154, 262, LangString(10052), font);
    bindButton(m_ok, 1108, 153, 156, LangString(10032), font);
    m_ok.showWindow(false);
    ce::dlg::setTimer(this, kTimer, 1000, [this] { tick(); });
    BtSdk::SetPairable(1, 1, 1);
}

void PairNew::tick()
{
    const int k = m_ticks++;
    if (k != 179) {
        m_animation.Turn(k);
        return;
    }
    // Three minutes without a phone: only OK is left.
    m_label.SetCaption(LangString(10053));
    const QRect r = m_label.windowRect();
    m_label.moveWindow(QRect(r.x(), r.y(), 200, 60));
    m_icon.showWindow(false);
    m_cancel.showWindow(false);
    m_ok.showWindow(true);
    m_label.invalidate();
}

void PairNew::destroyScreen()
{
    ce::dlg::killTimers(this);
    BtSdk::SetPairable(1, 0, 1);
    PairNew* self = this;
    g_pairing.compare_exchange_strong(self, nullptr);
}

// ---- ReTryConn ------------------------------------------------------------------------

ReTryConn::ReTryConn()
    : BtScreen(111, "ReTryConn", 261, true, false)
{
    onClicked(1047, [this] {
        RunWorker([] { BtManagerStart(); });
        closeScreen(ce::dlg::IDOK);
    });
    onClicked(1040, [this] {
        BtManagerStop();
        closeScreen(ce::dlg::IDCANCEL);
    });
}

void ReTryConn::initScreen()
{
    const Font font = ArialFont(20, 400);
    bindLabel(m_label, 1058, LangString(10041), font);
    m_label.SetTextPlacement(true, false, 2, 2, true);
    bindButton(m_retry, 1047, 153, 156, LangString(10042), font);
    bindButton(m_close, 1040, 154, 262, LangString(10043), font);
}

// ---- the controller's hooks -------------------------------------------------------------

void InstallPairingScreens()
{
    ScreenHooks& s = Screens();
    s.openPairing = [] { PairNew().doModal(); };
    s.openRetry = [] { ReTryConn().doModal(); };
    s.showWaiting = [] {
        {
            std::lock_guard<std::mutex> lock(g_waitLock);
            g_waitWanted = true;
        }
        RunWorker([] { CDlgWaiting().doModal(); });
    };
    s.closeWaiting = [] {
        std::lock_guard<std::mutex> lock(g_waitLock);
        g_waitWanted = false;
        if (!s_dlg_wait)
            return false;
        s_dlg_wait->endDialog(0);
        return true;
    };
}

} // namespace kivo::bt
