#include "bt/ui/phone_connection.h"

#include "bt/core/bt_ipc.h"
#include "bt/core/bt_manager.h"
#include "bt/core/bt_messages.h"
#include "bt/core/dlg_kivobt.h"
#include "bt/core/phone_rows.h"
#include "bt/core/power_monitor.h"

#include "platform/debug.h"

namespace kivo::bt {

PhoneConnection::PhoneConnection()
    : Dialog(112, kPhoneWindowTitle)
{
}

PhoneConnection::~PhoneConnection()
{
    StopPowerMonitor();
}

bool PhoneConnection::onInitDialog()
{
    moveWindow(0, 0, 240, 400);
    m_self = hwnd();
    RegisterInternalWindow(m_self);
    moveWindow(0, 0, 0, 0);
    showWindow(ce::SW_HIDE);

    BtConfigRecord cfg;
    LoadConfiguration(&cfg);
    if (cfg.bluetoothOn == 1 && !GetManagerState().stackInitialised) {
        RunWorker([] { BtManagerStart(); });
    } else {
        PhoneStateRecord r {};
        r.state = GetPhoneState();
        ExternalSendRecord(WM_BTOUT_PHONE_STATE, &r, sizeof r);
        SetPhoneState(r.state);
    }
    SetSettingsCallCopy(cfg.call);
    return true;
}

void PhoneConnection::onDestroy()
{
    UnregisterInternalWindow(m_self);
    m_self = nullptr;
}

void PhoneConnection::showPhonePage()
{
    moveWindow(0, 0, 240, 400);
    showWindow(ce::SW_SHOW);
    ce::setForegroundWindow(hwnd());
}

void PhoneConnection::moveBehind(ce::WPARAM wParam, ce::LPARAM lParam)
{
    if (ce::getForegroundWindow() != hwnd())
        return;
    moveWindow(0, 0, 0, 0);
    showWindow(ce::SW_HIDE);
    ExternalPostMessage(WM_BTOUT_TO_BACKGROUND, wParam, lParam);
}

ce::LRESULT PhoneConnection::windowProc(ce::UINT message, ce::WPARAM wParam, ce::LPARAM lParam)
{
    ce::LRESULT result = 0;
    if (HandlePhoneRow(hwnd(), message, wParam, lParam, &result))
        return result;
    if (message == WM_BTIN_PHONEWND_SHOW) {
        showPhonePage();
        return 0;
    }
    if (message == kMsgCloseScreens) {
        moveBehind(wParam, lParam);
        return 0;
    }
    return Dialog::windowProc(message, wParam, lParam);
}

} // namespace kivo::bt
