// The manager's hidden message window, titled "KivoBT": clients find it by
// that title, register through it and post their requests to it; it makes
// the controller window PhoneConnection once and starts the power monitor.
#pragma once

#include "platform/dialogs/dialog.h"

namespace kivo::bt {

class PhoneConnection;

constexpr const char* kManagerTitle = "KivoBT";
constexpr const char* kRegistryKeyName = "Quorin BlueTooth Application";
// Sent by other programs: every manager screen is to close.
constexpr ce::UINT kMsgUserWake1 = ce::WM_USER + 34;
constexpr ce::UINT kMsgUserWake2 = ce::WM_USER + 35;
constexpr ce::UINT kMsgCloseScreens = 9001;

// The controller window, made once by the first CDlgKivoBT; null before.
PhoneConnection* ThePhoneConnection();
// Destroys it at the end of the program.
void DestroyPhoneConnection();

class CDlgKivoBT : public ce::dlg::Dialog {
public:
    CDlgKivoBT();
    ~CDlgKivoBT() override;

    ce::LRESULT OnCopyData(const ce::COPYDATASTRUCT* cds);
    ce::LRESULT OnUserWake();

protected:
    bool onInitDialog() override;

private:
    // Posts a client request on to PhoneConnection (nothing without it).
    ce::LRESULT ForwardRequest(ce::UINT message, ce::WPARAM wParam, ce::LPARAM lParam);
};

// The program's start-up: a second copy raises the first copy's phone
// window and ends; the first runs the message window until it closes.
// The exit code.
int RunKivoBT();
const char* RegistryKeyName();

} // namespace kivo::bt
