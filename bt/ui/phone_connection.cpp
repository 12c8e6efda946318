#include "bt/ui/phone_connection.h"

#include "bt/core/bt_ipc.h"
#include "bt/core/bt_manager.h"
#include "bt/core/bt_messages.h"
#include "bt/core/dlg_kivobt.h"
#include "bt/core/phone_rows.h"
#include "bt/core/power_monitor.h"
#include "bt/lang/lang_strings.h"
#include "bt/ui/call_screens.h"
#include "bt/ui/dlg_settings.h"
#include "bt/ui/message_screens.h"
#include "bt/ui/music_screens.h"
#include "bt/ui/pairing_screens.h"
#include "bt/ui/screen_hooks.h"
#include "bt/ui/templates.h"

#include "platform/debug.h"

#include <QPainter>
#include <QPointer>

namespace kivo::bt {

std::u16string PhoneNameShown(const std::u16string& name)
{
    return Shortened(name, 22);
}

PhoneConnection::PhoneConnection()
    : Dialog(112, kPhoneWindowTitle)
{
    keepMessagesInProcess(InternalAddressMessages());
    RegisterScreenTemplates();
    InstallCallScreens();
    InstallPairingScreens();
    InstallMessageScreens();
    InstallMusicScreens();
    onClicked(1048, [this] { onBluetoothOn(); });
    onClicked(1093, [this] { onBluetoothOff(); });
    onClicked(1054, [this] { moveBehind(0, 0); });
    onClicked(1071, [] {
        SetReconnectAllowed(false);
        DisconnectPhone();
        if (Screens().openPairing)
            Screens().openPairing();
    });
    onClicked(1098, [] { RunWorker([] { CDlgSettings().doModal(); }); });
}

PhoneConnection::~PhoneConnection()
{
    StopPowerMonitor();
}

bool PhoneConnection::onInitDialog()
{
    moveWindow(0, 0, 240, 400);
    setZOrder(true);
    m_self = hwnd();
    CeLangStringFileResMgr::Instance().SetLanguage(CeLangStringFileResMgr::Instance().GetLanguage());
    buildLayout();
    RegisterInternalWindow(m_self);
    moveWindow(0, 0, 0, 0);
    showWindow(ce::SW_HIDE);
    ce::setForegroundWindow(m_self);

    BtConfigRecord cfg;
    LoadConfiguration(&cfg);
    if (cfg.bluetoothOn == 1 && !GetManagerState().stackInitialised) {
        m_on.enableWindow(false);
        RunWorker([] { BtManagerStart(); });
    } else {
        PhoneStateRecord r {};
        r.state = GetPhoneState();
        ExternalSendRecord(WM_BTOUT_PHONE_STATE, &r, sizeof r);
        SetPhoneState(r.state);
    }
    SetSettingsCallCopy(cfg.call);
    invalidate();
    return true;
}

void PhoneConnection::onDestroy()
{
    UnregisterInternalWindow(m_self);
    m_self = nullptr;
}

CBmpBtn& PhoneConnection::Control(int controlId)
{
    switch (controlId) {
    case 1052:
        return m_title;
    case 1093:
        return m_off;
    case 1048:
        return m_on;
    case 1073:
        return m_phoneLabel;
    case 1098:
        return m_phoneName;
    case 1076:
        return m_hint;
    case 1071:
        return m_pair;
    default:
        return m_back;
    }
}

void PhoneConnection::buildLayout()
{
    m_background = ce::dlg::loadBitmap(138);
    const Font title = ArialFont(15, 700);
    const Font large = ArialFont(20, 400);
    const Font small = ArialFont(17, 400);
    struct Item {
        CBmpBtn& button;
        int id;
        const Font& font;
    };
    const Item items[] = {
        { m_title, 1052, title }, { m_off, 1093, large }, { m_on, 1048, large }, { m_phoneLabel, 1073, small },
        { m_phoneName, 1098, small }, { m_hint, 1076, small }, { m_pair, 1071, large }, { m_back, 1054, large },
    };
    for (const Item& item : items) {
        item.button.attach(*this, item.id);
        item.button.SetBackground(m_background);
        const QRect r = item.button.windowRect();
        item.button.SetBackgroundOrigin(r.x(), r.y());
        item.button.SetFonts(item.font);
    }
    m_title.SetBitmaps(139, 0, 0);
    m_title.enableWindow(false);
    m_phoneLabel.enableWindow(false);
    m_phoneLabel.SetTextPlacement(false, true, 0, 0, false);
    m_hint.enableWindow(false);
    m_hint.SetTextPlacement(true, false, 0, 0, true);
    m_pair.SetBitmaps(233, 234, kWhite);
    m_back.SetBitmaps(285, 1091, kWhite);
    setCaptions();
    ShowPageState(ReadPageState(false));
}

void PhoneConnection::setCaptions()
{
    m_title.SetCaption(LangString(10001));
    m_off.SetCaption(LangString(10002));
    m_on.SetCaption(LangString(10003));
    m_phoneLabel.SetCaption(LangString(10004));
    m_hint.SetCaption(LangString(10005));
    m_pair.SetCaption(LangString(10006));
}

PhoneConnection::PageState PhoneConnection::ReadPageState(bool wait)
{
    const ManagerState s = GetManagerState();
    PageState page;
    page.on = s.stackInitialised && s.started;
    if (!page.on)
        return page;
    std::u16string last;
    const bool hasLast = LastPhoneName(&last);
    page.linked = s.phoneLinked != 0;
    page.known = page.linked || hasLast;
    if (page.linked || (hasLast && s.reconnectAllowed)) {
        for (int i = 0; wait && i < 5 && last.empty(); ++i) {
            SleepScaled(1000);
            LastPhoneName(&last);
        }
    }
    const std::u16string connected = page.linked ? ConnectedPhoneName() : std::u16string();
    page.name = connected.empty() ? last : connected;
    return page;
}

void PhoneConnection::ShowPageState(const PageState& page)
{
    if (page.on) {
        m_on.SetBitmaps(284, 283, kWhite);
        m_on.enableWindow(false);
        m_off.SetBitmaps(281, 282, kWhite);
        m_off.enableWindow(true);
        m_pair.showWindow(true);
        m_phoneLabel.showWindow(page.known);
        m_phoneName.showWindow(page.known);
        m_hint.showWindow(!page.known);
        if (page.known) {
            m_phoneName.SetCaption(PhoneNameShown(page.name));
            if (page.linked)
                m_phoneName.SetBitmaps(233, 234, kWhite);
            else
                m_phoneName.SetBitmaps(297, 297, kWhite);
            m_phoneName.enableWindow(page.linked);
        }
    } else {
        m_on.SetBitmaps(283, 284, kWhite);
        m_on.enableWindow(true);
        m_off.SetBitmaps(282, 281, kWhite);
        m_off.enableWindow(false);
        for (CBmpBtn* b : { &m_phoneLabel, &m_phoneName, &m_hint, &m_pair })
            b->showWindow(false);
    }
    for (CBmpBtn* b : { &m_title, &m_off, &m_on, &m_phoneLabel, &m_phoneName, &m_hint, &m_pair, &m_back })
        b->invalidate();
}

void PhoneConnection::refresh()
{
    // Each refresh reads the state on a worker of its own, and an earlier one
    // may wait for a phone's name and end last: only the newest is shown, so
    // an older state never replaces a newer one.
    const unsigned serial = ++m_refreshes;
    QPointer<QWidget> page = widget();
    RunWorker([this, page, serial] {
        const PageState state = ReadPageState(true);
        if (page)
            QMetaObject::invokeMethod(
                page.data(),
                [this, state, serial] {
                    if (serial == m_refreshes)
                        ShowPageState(state);
                },
                Qt::QueuedConnection);
    });
}

void PhoneConnection::onPaint(QPainter& painter)
{
    if (m_background)
        painter.drawImage(QRect(0, 0, 240, 400), *m_background);
}

void PhoneConnection::onPenDown(const QPoint&)
{
    ExternalPostMessage(WM_TOUCHEVENT_MOUSE_LBUTTONDOWN, 0, 0);
}

void PhoneConnection::onBluetoothOn()
{
    const ManagerState s = GetManagerState();
    if (s.stackInitialised && s.bluetoothOn)
        return;
    RunWorker([] {
        ScreenHooks& screens = Screens();
        if (screens.showWaiting)
            screens.showWaiting();
        BtManagerStart();
        if (screens.closeWaiting)
            screens.closeWaiting();
    });
}

void PhoneConnection::onBluetoothOff()
{
    SetReconnectAllowed(false);
    RunWorker([] {
        ScreenHooks& screens = Screens();
        if (screens.showWaiting)
            screens.showWaiting();
        BtManagerStop();
        const bool closed = screens.closeWaiting && screens.closeWaiting();
        ce::debugOutput(closed ? "***[BTManager]SetAutoConnect()\r\n" : "***[BTManager]s_dlg_wait == NULL\r\n");
        SetReconnectAllowed(true);
    });
}

void PhoneConnection::showPhonePage()
{
    moveWindow(0, 0, 240, 400);
    setZOrder(true);
    showWindow(ce::SW_SHOW);
    ce::setForegroundWindow(hwnd());
}

void PhoneConnection::moveBehind(ce::WPARAM wParam, ce::LPARAM lParam)
{
    if (ce::getForegroundWindow() != hwnd())
        return;
    setZOrder(false);
    moveWindow(0, 0, 0, 0);
    showWindow(ce::SW_HIDE);
    ExternalPostMessage(WM_BTOUT_TO_BACKGROUND, wParam, lParam);
}

void PhoneConnection::dialerScreens(ce::WPARAM event, const CallRecord& record)
{
    ScreenHooks& screens = Screens();
    const ManagerState s = GetManagerState();
    if (event == 5 || event == 6) {
        if (screens.closeIncomingCall)
            screens.closeIncomingCall(int(event));
    } else if ((event == 10 || event == 11 || event == 16) && (event == 16 || s.callState == kCallRinging)) {
        if (screens.updateIncomingCall && screens.updateIncomingCall(record))
            return;
        if (screens.openIncomingCall)
            screens.openIncomingCall(record);
    } else if ((event == 10 || event == 11) && s.callState == kCallOutgoing) {
        if (s.mode == kModeStack && screens.openOutgoingCall)
            screens.openOutgoingCall(record);
        else if (s.mode == kModeSerial && screens.openInCall)
            screens.openInCall(record);
    } else if (event == 15) {
        if (screens.openMessage)
            RunWorker([] { Screens().openMessage(); });
    }
}

// The rows that open screens or change the page; the rest are the phone
// rows'. A heap record is copied before the rows free it.
bool PhoneConnection::handleScreenRow(ce::UINT message, ce::WPARAM wParam, ce::LPARAM lParam)
{
    ScreenHooks& screens = Screens();
    if (message == WM_STKOUTMSG_DIALERINFO) {
        const auto* record = reinterpret_cast<const CallRecord*>(lParam);
        const CallRecord copy = record ? *record : CallRecord {};
        ce::LRESULT ignored = 0;
        HandlePhoneRow(hwnd(), message, wParam, lParam, &ignored);
        if (record)
            dialerScreens(wParam, copy);
        return true;
    }
    if (message == WM_STKMAPMSG_NEWMSG) {
        const auto* sms = reinterpret_cast<const SmsRecord*>(lParam);
        std::unique_ptr<SmsRecord> copy(sms && wParam == 1 ? new SmsRecord(*sms) : nullptr);
        ce::LRESULT ignored = 0;
        HandlePhoneRow(hwnd(), message, wParam, lParam, &ignored);
        if (copy && screens.newMessage)
            screens.newMessage(*copy);
        return true;
    }
    if (message == WM_STKOUTMSG_BTSTATUS) {
        refresh();
    } else if (message == WM_STKOUTMSG_AUTOCONNECTING) {
        if (wParam == 0) {
            SetReconnectAllowed(false);
            BtManagerStop();
            if (screens.openRetry)
                screens.openRetry();
        }
    } else if (message == WM_BTIN_PHONEWND_SHOW) {
        showPhonePage();
    } else if (message == WM_BTIN_NOTIWND_SHOW) {
        const ManagerState s = GetManagerState();
        if (!s.callMinimised) {
            if (MissedCallCount() + MessageCount() > 0 && screens.openNotifications)
                screens.openNotifications();
        } else if (SavedCallPresent()) {
            const CallRecord call = SavedCallRecord();
            if (s.callState == kCallOutgoing && s.mode == kModeStack && screens.openOutgoingCall)
                screens.openOutgoingCall(call);
            else if ((s.callState == kCallOutgoing || s.callState == kCallActive) && screens.openInCall)
                screens.openInCall(call);
        }
    } else if (message == WM_BTIN_MUSICWND_SHOW) {
        // Clients post it bare: which screen opens follows the back-end the
        // music comes through, none while no phone plays.
        const int mode = GetManagerState().mode;
        if ((mode == kModeStack || mode == kModeSerial) && screens.openMusic)
            screens.openMusic(mode);
    } else if (message == WM_BTIN_LANGUGE_SETTING) {
        CeLangStringFileResMgr::Instance().SetLanguage(int(lParam));
        SetVoiceLanguage(int(lParam));
        setCaptions();
        for (CBmpBtn* b : { &m_title, &m_off, &m_on, &m_phoneLabel, &m_hint, &m_pair })
            b->invalidate();
        invalidate();
    } else if (message == kMsgCloseScreens) {
        moveBehind(wParam, lParam);
    } else {
        return false;
    }
    return true;
}

ce::LRESULT PhoneConnection::windowProc(ce::UINT message, ce::WPARAM wParam, ce::LPARAM lParam)
{
    if (handleScreenRow(message, wParam, lParam))
        return 0;
    ce::LRESULT result = 0;
    if (HandlePhoneRow(hwnd(), message, wParam, lParam, &result))
        return result;
    return Dialog::windowProc(message, wParam, lParam);
}

} // namespace kivo::bt
