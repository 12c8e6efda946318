#include "bt/core/dlg_kivobt.h"

#include "bt/core/bt_copydata.h"
#include "bt/core/bt_ipc.h"
#include "bt/core/bt_manager.h"
#include "bt/core/bt_messages.h"
#include "bt/core/phone_rows.h"
#include "bt/core/power_monitor.h"
#include "bt/ui/phone_connection.h"

#include "platform/debug.h"
#include "platform/single_instance.h"

#include <atomic>

namespace kivo::bt {

namespace {

std::atomic<PhoneConnection*> g_phone { nullptr };
const char* g_registryKey = nullptr;
// How long a second start waits for the first one's window.
constexpr int kFirstCopyWaitMs = 20000;

} // namespace

PhoneConnection* ThePhoneConnection()
{
    return g_phone;
}

void DestroyPhoneConnection()
{
    PhoneConnection* phone = g_phone.exchange(nullptr);
    if (!phone)
        return;
    phone->destroyWindow();
    delete phone;
}

CDlgKivoBT::CDlgKivoBT()
    : Dialog(288, kManagerTitle)
{
    onMessage(ce::WM_COPYDATA,
        [this](ce::WPARAM, ce::LPARAM l) { return OnCopyData(reinterpret_cast<const ce::COPYDATASTRUCT*>(l)); });
    onMessage(kMsgUserWake1, [this](ce::WPARAM, ce::LPARAM) { return OnUserWake(); });
    onMessage(kMsgUserWake2, [this](ce::WPARAM, ce::LPARAM) { return OnUserWake(); });
    for (ce::UINT id : { WM_BTIN_QUERY_PHONE_STATE, WM_BTIN_PHONEWND_SHOW, WM_BTIN_NOTIWND_SHOW,
             WM_BTIN_MUSICWND_SHOW, WM_BTIN_VOICEINSTR_DATA, WM_BTIN_VOICEINSTR_AUDIODATA, WM_BTIN_SEND_EMERGENCYMSG,
             WM_BTIN_PHONEBOOK_LIST, WM_BTIN_RESTORE_FACTORYRESET, WM_BTIN_LANGUGE_SETTING, WM_BTIN_BLE_SCAN,
             WM_BTIN_BLE_SCAN_CANCEL, WM_BTIN_BLE_CONNECT, WM_BTIN_BLE_DISCONNECT, WM_BTIN_BT_VERSION })
        onMessage(id, [this, id](ce::WPARAM w, ce::LPARAM l) { return ForwardRequest(id, w, l); });
}

CDlgKivoBT::~CDlgKivoBT()
{
    StopPowerMonitor();
}

bool CDlgKivoBT::onInitDialog()
{
    moveWindow(0, 0, 0, 0);
    showWindow(ce::SW_HIDE);
    if (!g_phone) {
        auto* phone = new PhoneConnection;
        if (phone->create()) {
            phone->showWindow(ce::SW_HIDE);
            g_phone = phone;
        } else {
            ce::debugOutput("***[BTManager] the phone window cannot be made\r\n");
            delete phone;
        }
    }
    StartPowerMonitor();
    return true;
}

ce::LRESULT CDlgKivoBT::OnCopyData(const ce::COPYDATASTRUCT* cds)
{
    if (!cds)
        return 0;
    if (cds->dwData == WM_BTIN_REGISTER || cds->dwData == WM_BTIN_UNREGISTER) {
        const auto title = CopyDataText(cds, 256);
        if (!title) {
            ce::debugPrintf("***[BTManager] registration refused: %u bytes\r\n", unsigned(cds->cbData));
        } else {
            const std::string name = Utf8(*title);
            ce::debugOutput("window name is " + name + "\r\n");
            ce::HWND client = name.empty() ? nullptr : ce::findWindow(nullptr, name.c_str());
            if (client && cds->dwData == WM_BTIN_REGISTER)
                RegisterClientWindow(client);
            else if (client)
                UnregisterClientWindow(client);
        }
    }
    PhoneConnection* phone = g_phone;
    if (!phone || !phone->hwnd())
        return 0;
    return ce::sendMessage(phone->hwnd(), ce::WM_COPYDATA, 0, reinterpret_cast<ce::LPARAM>(cds));
}

ce::LRESULT CDlgKivoBT::OnUserWake()
{
    if (ce::HWND front = ce::getForegroundWindow()) {
        SleepScaled(200);
        ce::postMessage(front, kMsgCloseScreens, 0, 0);
    }
    return 1;
}

ce::LRESULT CDlgKivoBT::ForwardRequest(ce::UINT message, ce::WPARAM wParam, ce::LPARAM lParam)
{
    PhoneConnection* phone = g_phone;
    if (!phone || !phone->hwnd())
        return 0;
    if (message == WM_BTIN_LANGUGE_SETTING)
        return ce::sendMessage(phone->hwnd(), message, wParam, lParam);
    if (message == WM_BTIN_BT_VERSION)
        return ce::postMessage(phone->hwnd(), WM_BTIN_BT_VERSION, reinterpret_cast<ce::WPARAM>(VersionText()),
            kVersionTextBytes);
    return ce::postMessage(phone->hwnd(), message, wParam, lParam);
}

const char* RegistryKeyName()
{
    return g_registryKey;
}

int RunKivoBT()
{
    // The lock decides which start runs: two at the same instant could both
    // find no window. The later one waits for the first one's window (it
    // may still be starting) to bring its phone window to the front.
    ce::SingleInstance single(kManagerTitle);
    if (!single.acquire()) {
        if (ce::HWND running = ce::waitForWindow(nullptr, kManagerTitle, kFirstCopyWaitMs))
            ce::postMessage(running, WM_BTIN_PHONEWND_SHOW, 0, 0);
        return 0;
    }
    g_registryKey = kRegistryKeyName;
    {
        CDlgKivoBT dialog;
        dialog.doModal();
    }
    DestroyPhoneConnection();
    return 0;
}

} // namespace kivo::bt
