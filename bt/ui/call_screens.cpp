#include "bt/ui/call_screens.h"

#include "bt/core/bt_manager.h"
#include "bt/core/bt_messages.h"
#include "bt/core/dlg_kivobt.h"
#include "bt/core/phone_link.h"
#include "bt/ui/message_screens.h"
#include "bt/ui/screen_hooks.h"

#include <QString>

namespace kivo::bt {

namespace {

std::atomic<CALL*> g_call { nullptr };
std::atomic<OutCall*> g_outCall { nullptr };
std::atomic<InCallN*> g_inCall { nullptr };

std::u16string nameOf(const CallRecord& r)
{
    return fieldText(r.name, 32);
}

std::u16string numberOf(const CallRecord& r)
{
    return fieldText(r.number, 41);
}

// Labels of the call screens: one centred line.
void centred(CBmpBtn& label)
{
    label.SetTextPlacement(true, true, 0, 0, false);
}

} // namespace

std::u16string CallNameShown(const std::u16string& name)
{
    return name.size() >= 19 ? Utf16Prefix(name, 15) + u"..." : name;
}

std::u16string CountedHeader(int textId)
{
    return QStringLiteral("%1(%2)")
        .arg(QString::fromStdU16String(LangString(textId)))
        .arg(MissedCallCount() + MessageCount())
        .toStdU16String();
}

CALL* TheCallScreen()
{
    return g_call;
}

OutCall* TheOutCallScreen()
{
    return g_outCall;
}

InCallN* TheInCallScreen()
{
    return g_inCall;
}

// ---- CALL -----------------------------------------------------------------------------

CALL::CALL(const CallRecord& record)
    : BtScreen(107, "CALL", 254, true, true)
    , m_record(record)
{
    onClicked(1016, [this] {
        AnswerCall();
        // The answered call is no longer a missed one.
        if (NotificationRecord* missed = FindMissedCall(m_record.number))
            RemoveNotification(missed);
    });
    onClicked(1017, [this] {
        RejectOrHangUp();
        m_ended = true;
        closeScreen(ce::dlg::IDCANCEL);
        RebuildNotificationScreen();
    });
    onMessage(WM_STKOUTMSG_DIALERINFO, [this](ce::WPARAM event, ce::LPARAM l) {
        delete reinterpret_cast<CallRecord*>(l);
        if (event == 5 || event == 6)
            OnCallEnded(int(event));
        return ce::LRESULT(0);
    });
}

void CALL::initScreen()
{
    g_call = this;
    const Font font = ArialFont(20, 400);
    bindLabel(m_name, 1070, {}, ArialFont(20, 700));
    bindLabel(m_number, 1096, {}, font);
    centred(m_name);
    centred(m_number);
    bindButton(m_answer, 1016, 153, 156, LangString(10201), font);
    bindButton(m_ignore, 1017, 154, 0, LangString(10202), font);
    showRecord();
}

void CALL::destroyScreen()
{
    CALL* self = this;
    g_call.compare_exchange_strong(self, nullptr);
}

void CALL::showRecord()
{
    m_name.SetCaption(CallNameShown(nameOf(m_record)));
    m_number.SetCaption(numberOf(m_record));
    m_name.invalidate();
    m_number.invalidate();
}

void CALL::Update(const CallRecord& record)
{
    m_record = record;
    showRecord();
}

void CALL::OnCallEnded(int event)
{
    if (m_ended)
        return;
    m_ended = true;
    if (event == 6) {
        // The thread owns its copy of the record.
        RunWorker([copy = m_record] { InCallN(copy).doModal(); });
    }
    closeScreen(ce::dlg::IDCANCEL);
    if (event == 5)
        RebuildNotificationScreen();
}

// ---- OutCall and InCallN --------------------------------------------------------------

ActiveCallScreen::ActiveCallScreen(
    int templateId, std::string title, int backgroundId, const Ids& ids, const CallRecord& record)
    : BtScreen(templateId, std::move(title), backgroundId, true, true)
    , m_record(record)
    , m_ids(ids)
{
    onClicked(ids.minimise, [this] { saveAndMinimise(); });
    onClicked(ids.end, [this] {
        RejectOrHangUp();
        close();
    });
    onClicked(ids.down, [] { CallVolumeDown(); });
    onClicked(ids.up, [] { CallVolumeUp(); });
}

void ActiveCallScreen::initScreen()
{
    const Font font = ArialFont(20, 400);
    bindLabel(m_header, m_ids.header, CountedHeader(m_ids.headerText), ArialFont(15, 700), 139);
    bindLabel(m_name, m_ids.name, CallNameShown(nameOf(m_record)), ArialFont(20, 700));
    bindLabel(m_number, m_ids.number, numberOf(m_record), font);
    centred(m_name);
    centred(m_number);
    bindLabel(m_strip, m_ids.strip, {}, font, 1111);
    bindButton(m_minimise, m_ids.minimise, 275, 276, {}, nullptr);
    bindButton(m_end, m_ids.end, 269, 270, {}, nullptr);
    bindButton(m_down, m_ids.down, 255, 256, {}, nullptr);
    bindButton(m_up, m_ids.up, 258, 259, {}, nullptr);
    // The stack has no call volume of its own; the companion link has.
    const bool serial = GetManagerState().mode == kModeSerial;
    m_down.showWindow(serial);
    m_up.showWindow(serial);
}

void ActiveCallScreen::saveAndMinimise()
{
    SetCallMinimised(true);
    SavedCallRecord() = m_record;
    close();
}

OutCall::OutCall(const CallRecord& record)
    : ActiveCallScreen(298, "OutCall", 278, { 1083, 10062, 1106, 1107, 1069, 1084, 1104, 1071, 1070 }, record)
{
    onMessage(WM_STKOUTMSG_DIALERINFO, [this](ce::WPARAM event, ce::LPARAM l) {
        delete reinterpret_cast<CallRecord*>(l);
        if (event == 5) {
            close();
        } else if (event == 6) {
            const CallRecord answered = m_record;
            // Out of the internal list while the in-call screen runs, so
            // its events are not taken twice.
            close();
            InCallN(answered).doModal();
        }
        return ce::LRESULT(0);
    });
}

void OutCall::initScreen()
{
    g_outCall = this;
    ActiveCallScreen::initScreen();
    bindLabel(m_calling, 1068, LangString(10061), ArialFont(20, 400));
    centred(m_calling);
}

void OutCall::destroyScreen()
{
    OutCall* self = this;
    g_outCall.compare_exchange_strong(self, nullptr);
}

InCallN::InCallN(const CallRecord& record)
    : ActiveCallScreen(109, "InCallN", 296, { 1056, 10091, 1036, 1041, 1037, 1021, 1020, 1034, 1032 }, record)
{
    onMessage(WM_STKOUTMSG_DIALERINFO, [this](ce::WPARAM event, ce::LPARAM l) {
        delete reinterpret_cast<CallRecord*>(l);
        const ManagerState s = GetManagerState();
        if (event == 5 || (event == 6 && s.twoCallsHeld && s.callMinimised))
            close();
        return ce::LRESULT(0);
    });
    onMessage(WM_INCALLMINMSG, [this](ce::WPARAM, ce::LPARAM) {
        saveAndMinimise();
        return ce::LRESULT(0);
    });
    // Left while the call goes on: kept to show again, even when another
    // window is in front and this one stays.
    onMessage(kMsgCloseScreens, [this](ce::WPARAM, ce::LPARAM) {
        SetCallMinimised(true);
        SavedCallRecord() = m_record;
        if (ce::getForegroundWindow() == hwnd())
            close();
        return ce::LRESULT(0);
    });
}

void InCallN::initScreen()
{
    g_inCall = this;
    ActiveCallScreen::initScreen();
}

void InCallN::destroyScreen()
{
    InCallN* self = this;
    g_inCall.compare_exchange_strong(self, nullptr);
}

// ---- the controller's hooks ------------------------------------------------------------

void InstallCallScreens()
{
    ScreenHooks& s = Screens();
    s.updateIncomingCall = [](const CallRecord& r) {
        CALL* open = g_call;
        if (!open)
            return false;
        open->Update(r);
        return true;
    };
    s.openIncomingCall = [](const CallRecord& r) { CALL(r).doModal(); };
    s.closeIncomingCall = [](int event) {
        if (CALL* open = g_call)
            open->OnCallEnded(event);
    };
    s.openOutgoingCall = [](const CallRecord& r) {
        if (!g_outCall)
            OutCall(r).doModal();
    };
    s.openInCall = [](const CallRecord& r) {
        if (!g_inCall)
            InCallN(r).doModal();
    };
}

} // namespace kivo::bt
