// The manager's controller window: takes the core's internal messages and
// the requests CDlgKivoBT forwards, opens the screens, and is the phone
// page a client brings up with WM_BTIN_PHONEWND_SHOW: Bluetooth On and Off,
// the last or connected phone and a button to pair a new one. Made hidden
// at start-up.
#pragma once

#include "bt/core/bt_records.h"
#include "bt/ui/screen_frame.h"

#include <atomic>
#include <string>

namespace kivo::bt {

constexpr const char* kPhoneWindowTitle = "PhoneConnection";

// The phone's name as the phone page shows it: more than 22 characters are
// cut to 22 followed by "...".
std::u16string PhoneNameShown(const std::u16string& name);

class PhoneConnection : public ce::dlg::Dialog, private CBmpBtnListener {
public:
    PhoneConnection();
    ~PhoneConnection() override;

    // What the page shows, as the refresh found it.
    struct PageState {
        bool on = false; // the stack is initialised and Bluetooth started
        bool known = false; // a phone is linked or a last phone exists
        bool linked = false;
        std::u16string name;
    };
    // Reads the state (reading an empty name up to 5 times, 1000 ms apart,
    // when wait is set) and shows it; from a worker thread the showing is
    // passed to the user-interface thread.
    static PageState ReadPageState(bool wait);
    void ShowPageState(const PageState& state);

    CBmpBtn& Control(int controlId);

protected:
    bool onInitDialog() override;
    void onDestroy() override;
    void onPaint(QPainter& painter) override;
    void onPenDown(const QPoint&) override;
    ce::LRESULT windowProc(ce::UINT message, ce::WPARAM wParam, ce::LPARAM lParam) override;

private:
    void OnBmpBtnClick(int) override { }
    void showPhonePage();
    void moveBehind(ce::WPARAM wParam, ce::LPARAM lParam);
    void buildLayout();
    void setCaptions();
    void refresh();
    bool handleScreenRow(ce::UINT message, ce::WPARAM wParam, ce::LPARAM lParam);
    void dialerScreens(ce::WPARAM event, const CallRecord& record);
    void onBluetoothOn();
    void onBluetoothOff();

    ce::HWND m_self = nullptr;
    std::atomic<unsigned> m_refreshes { 0 };
    Bitmap m_background;
    CBmpBtn m_title;
    CBmpBtn m_off;
    CBmpBtn m_on;
    CBmpBtn m_phoneLabel;
    CBmpBtn m_phoneName;
    CBmpBtn m_hint;
    CBmpBtn m_pair;
    CBmpBtn m_back;
};

} // namespace kivo::bt
