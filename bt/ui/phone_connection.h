// The manager's controller window: takes the core's internal messages and
// the requests CDlgKivoBT forwards, and is the phone page a client brings up
// with WM_BTIN_PHONEWND_SHOW. Made hidden at start-up.
#pragma once

#include "platform/dialogs/dialog.h"

namespace kivo::bt {

constexpr const char* kPhoneWindowTitle = "PhoneConnection";

class PhoneConnection : public ce::dlg::Dialog {
public:
    PhoneConnection();
    ~PhoneConnection() override;

protected:
    bool onInitDialog() override;
    void onDestroy() override;
    ce::LRESULT windowProc(ce::UINT message, ce::WPARAM wParam, ce::LPARAM lParam) override;

private:
    void showPhonePage();
    void moveBehind(ce::WPARAM wParam, ce::LPARAM lParam);
    ce::HWND m_self = nullptr;
};

} // namespace kivo::bt
