#include "bt/ui/message_screens.h"

#include "bt/core/bt_manager.h"
#include "bt/core/dlg_kivobt.h"
#include "bt/core/phone_link.h"
#include "bt/ui/screen_hooks.h"

#include "platform/dialogs/services.h"

#include <QDate>
#include <QString>

#include <algorithm>
#include <atomic>
#include <cstring>

namespace kivo::bt {

namespace {

std::atomic<SMS*> g_sms { nullptr };
std::atomic<SMSNContent*> g_content { nullptr };
std::atomic<Notification*> g_notification { nullptr };
constexpr int kRowsPerPage = 7;
constexpr int kCloseTimer = 1;

bool sameRecord(const NotificationRecord& a, const NotificationRecord& b)
{
    return std::memcmp(&a, &b, kNotificationComparedBytes) == 0;
}

} // namespace

std::u16string SenderShown(const std::u16string& name, const std::u16string& number)
{
    if (name.empty())
        return number;
    return Shortened(name, 18);
}

NotificationRecord MessageRecord(const SmsRecord& sms)
{
    NotificationRecord n {};
    n.type = kNotificationMessage;
    n.id = sms.id;
    setField(n.name, 32, fieldText(sms.name, 32));
    setField(n.number, 41, fieldText(sms.number, 41));
    setField(n.text, 1024, fieldText(sms.text, 1024));
    setField(n.date, 32, fieldText(sms.date, 33));
    return n;
}

SMS* TheSmsScreen()
{
    return g_sms;
}

SMSNContent* TheMessageTextScreen()
{
    return g_content;
}

// ---- SMS ------------------------------------------------------------------------------

SMS::SMS(const SmsRecord& record)
    : BtScreen(108, "SMS", 261, true, false)
    , m_record(record)
{
    g_sms = this;
    onClicked(1018, [this] {
        const NotificationRecord stored = MessageRecord(m_record);
        if (SMSNContent* open = g_content) {
            open->Show(stored);
            ce::setForegroundWindow(open->hwnd());
            closeScreen(ce::dlg::IDOK);
            return;
        }
        closeScreen(ce::dlg::IDOK);
        SMSNContent(stored).doModal();
    });
    onClicked(1019, [this] { closeScreen(ce::dlg::IDCANCEL); });
}

SMS::~SMS()
{
    SMS* self = this;
    g_sms.compare_exchange_strong(self, nullptr);
}

void SMS::initScreen()
{
    const Font font = ArialFont(20, 400);
    bindLabel(m_sender, 1043, {}, ArialFont(20, 700));
    m_sender.SetTextPlacement(true, true, 0, 0, false);
    bindLabel(m_text, 1077, {}, font);
    m_text.SetTextPlacement(false, false, 5, 2, true);
    bindButton(m_view, 1018, 315, 316, LangString(10031), font);
    bindButton(m_ignore, 1019, 153, 156, LangString(10032), font);
    Show(m_record);
}

void SMS::Show(const SmsRecord& record)
{
    ce::dlg::killTimer(this, kCloseTimer);
    ce::dlg::setTimer(this, kCloseTimer, 10000, [this] { closeScreen(ce::dlg::IDCANCEL); });
    m_record = record;
    m_sender.SetCaption(SenderShown(fieldText(record.name, 32), fieldText(record.number, 41)));
    m_text.SetCaption(fieldText(record.text, 1024));
    m_sender.invalidate();
    m_text.invalidate();
}

void SMS::destroyScreen()
{
    ce::dlg::killTimers(this);
    RebuildNotificationScreen();
}

// ---- SMSNContent ----------------------------------------------------------------------

SMSNContent::SMSNContent(const NotificationRecord& record)
    : BtScreen(104, "SMSNContent", 138, false, false)
    , m_record(record)
{
    onClicked(1022, [this] { step(-1); });
    onClicked(1023, [this] { step(+1); });
    onClicked(1024, [this] {
        DialNumber(fieldText(m_record.number, 41));
        closeScreen(ce::dlg::IDOK);
    });
}

void SMSNContent::initScreen()
{
    g_content = this;
    const Font font = ArialFont(20, 400);
    bindLabel(m_header, 1045, {}, ArialFont(15, 700), 139);
    bindLabel(m_from, 1080, LangString(10021), font);
    m_from.SetTextPlacement(false, true, 2, 0, false);
    bindLabel(m_sender, 1044, {}, ArialFont(20, 700));
    m_sender.SetTextPlacement(false, true, 2, 0, false);
    bindLabel(m_position, 1063, QStringLiteral("1/%1").arg(MessageCount()).toStdU16String(), font);
    bindLabel(m_text, 1033, {}, font, 265);
    m_text.SetTextPlacement(false, false, 2, 2, true);
    m_text.SetTextColours(0x3C3C3C, 0x3C3C3C);
    // The text is the one label that takes the pen.
    m_text.enableWindow(true);
    m_text.SetTouchEnabled(false);
    bindButton(m_up, 1022, 142, 144, {}, nullptr);
    bindButton(m_call, 1024, 266, 267, {}, nullptr);
    bindButton(m_down, 1023, 145, 147, {}, nullptr);
    Show(m_record);
}

void SMSNContent::Show(const NotificationRecord& record)
{
    m_record = record;
    m_header.SetCaption(QStringLiteral("%1(%2)")
                            .arg(QString::fromStdU16String(LangString(10022)))
                            .arg(MissedCallCount() + MessageCount())
                            .toStdU16String());
    m_sender.SetCaption(SenderShown(fieldText(record.name, 32), fieldText(record.number, 41)));
    m_text.SetCaption(fieldText(record.text, 1024));
    const int place = MarkMessageRead(&m_record);
    m_position.SetCaption(QStringLiteral("%1/%2").arg(place).arg(MessageCount()).toStdU16String());
    setButtons();
    for (CBmpBtn* b : { &m_header, &m_sender, &m_text, &m_position })
        b->invalidate();
}

bool SMSNContent::neighbour(int direction, NotificationRecord* out) const
{
    std::vector<NotificationRecord> messages;
    for (const NotificationRecord& n : NotificationsCopy())
        if (n.type == kNotificationMessage)
            messages.push_back(n);
    for (size_t i = 0; i < messages.size(); ++i) {
        if (!sameRecord(messages[i], m_record))
            continue;
        const long at = long(i) + direction;
        if (at < 0 || at >= long(messages.size()))
            return false;
        *out = messages[size_t(at)];
        return true;
    }
    return false;
}

void SMSNContent::step(int direction)
{
    NotificationRecord next;
    if (neighbour(direction, &next))
        Show(next);
}

void SMSNContent::setButtons()
{
    NotificationRecord ignored;
    const bool up = neighbour(-1, &ignored);
    const bool down = neighbour(+1, &ignored);
    m_up.SetBitmaps(up ? 142 : 144, 144, kWhite);
    m_up.enableWindow(up);
    m_down.SetBitmaps(down ? 145 : 147, 147, kWhite);
    m_down.enableWindow(down);
    m_up.invalidate();
    m_down.invalidate();
}

void SMSNContent::destroyScreen()
{
    RemoveNotification(&m_record);
    SMSNContent* self = this;
    g_content.compare_exchange_strong(self, nullptr);
    RebuildNotificationScreen();
}

// ---- Notification ---------------------------------------------------------------------

Notification* TheNotificationScreen()
{
    return g_notification;
}

void RebuildNotificationScreen()
{
    if (Notification* open = g_notification)
        open->Rebuild();
}

std::u16string RowName(const std::u16string& name, int room)
{
    return int(name.size()) > room ? Utf16Prefix(name, size_t(std::max(0, room - 3))) + u"..." : name;
}

std::u16string RowWhen(const std::u16string& date, const std::u16string& today)
{
    if (date.size() >= 16 && date.compare(0, 10, today) == 0)
        return date.substr(11, 5);
    return date.substr(0, 10);
}

Notification::Notification()
    : BtScreen(105, "Notification", 138, false, false)
{
    keepZOrder();
    onClicked(1030, [this] { m_paging.Up(); });
    onClicked(1031, [this] { m_paging.Down(); });
    onClicked(1061, [this] { closeScreen(ce::dlg::IDCANCEL); });
}

void Notification::initScreen()
{
    g_notification = this;
    bindLabel(m_header, 1046, {}, ArialFont(15, 700), 139);
    bindButton(m_up, 1030, 144, 144, {}, nullptr);
    bindButton(m_close, 1061, 301, 303, {}, nullptr);
    bindButton(m_down, 1031, 147, 147, {}, nullptr);
    build();
}

void Notification::build()
{
    m_items = NotificationsCopy();
    const int count = int(m_items.size());
    m_header.SetCaption(QStringLiteral("%1(%2)")
                            .arg(QString::fromStdU16String(LangString(10071)))
                            .arg(count)
                            .toStdU16String());
    m_header.invalidate();
    if (count == 0) {
        m_rows.Clear();
        m_paging.Reset(0, kRowsPerPage);
        return;
    }
    m_rows.Init(widget(), this, QRect(0, 27, 240, 348 - 27), kRowsPerPage, Background(), 0, 1115, 1114, count);
    const Bitmap missed = ce::dlg::loadBitmap(1114);
    const Bitmap missedPressed = ce::dlg::loadBitmap(1115);
    const Bitmap message = ce::dlg::loadBitmap(1112);
    const Bitmap messagePressed = ce::dlg::loadBitmap(1113);
    const QDate now = QDate::currentDate();
    const std::u16string today = QStringLiteral("%1/%2/%3")
                                     .arg(now.month(), 2, 10, QLatin1Char('0'))
                                     .arg(now.day(), 2, 10, QLatin1Char('0'))
                                     .arg(now.year(), 4, 10, QLatin1Char('0'))
                                     .toStdU16String();
    for (NotificationRecord& n : m_items) {
        const std::u16string date = fieldText(n.date, 32);
        const std::u16string when = RowWhen(date, today);
        const int room = when.size() == 5 ? 14 : 10;
        std::u16string name = fieldText(n.name, 32);
        if (name.empty())
            name = fieldText(n.number, 41);
        const bool isCall = n.type == kNotificationMissedCall;
        const std::u16string second = isCall ? fieldText(n.number, 41) : Utf16Prefix(fieldText(n.text, 1024), 15);
        m_rows.Add(RowName(name, room), second, when, isCall ? missed : message, isCall ? missedPressed : messagePressed,
            &n);
    }
    m_paging.Reset(count, kRowsPerPage);
}

void Notification::Rebuild()
{
    const int shown = m_paging.Page();
    build();
    if (shown <= m_paging.Pages())
        while (m_paging.Page() < shown)
            m_paging.Down();
}

void Notification::OnBmpBtnClick(int controlId)
{
    const int index = m_rows.IndexOfId(controlId);
    const auto* item = static_cast<const NotificationRecord*>(m_rows.ItemAt(index));
    if (!item)
        return;
    m_rows.Select(index);
    // The whole record: a message is found again in the store by it.
    const NotificationRecord n = *item;
    if (n.type == kNotificationMissedCall) {
        DialNumber(fieldText(n.number, 41));
        RemoveNotification(&n);
    } else {
        SMSNContent(n).doModal();
    }
    if (NotificationsCopy().empty())
        closeScreen(ce::dlg::IDOK);
    else
        Rebuild();
}

void Notification::destroyScreen()
{
    Notification* self = this;
    g_notification.compare_exchange_strong(self, nullptr);
}

// ---- Message --------------------------------------------------------------------------

Message::Message()
    : BtScreen(321, "Message", 261, true, false)
{
    // The box waits for its OK: neither a tap beside it nor a request to
    // close every screen ends it.
    quietPen();
    onMessage(kMsgCloseScreens, [](ce::WPARAM, ce::LPARAM) { return ce::LRESULT(0); });
    onClicked(ce::dlg::IDOK, [this] {
        SetReconnectAllowed(false);
        DisconnectPhone();
        closeScreen(ce::dlg::IDOK);
    });
}

void Message::initScreen()
{
    const Font font = ArialFont(20, 400);
    bindLabel(m_text, 1108, LangString(10301), font);
    m_text.SetTextPlacement(true, false, 0, 2, true);
    bindButton(m_ok, ce::dlg::IDOK, 153, 156, LangString(10032), font);
}

// ---- the controller's hooks -------------------------------------------------------------

void InstallMessageScreens()
{
    ScreenHooks& s = Screens();
    s.newMessage = [](const SmsRecord& sms) {
        if (SMSNContent* content = g_content) {
            content->Show(MessageRecord(sms));
            ce::setForegroundWindow(content->hwnd());
        } else if (SMS* open = g_sms) {
            open->Show(sms);
            ce::setForegroundWindow(open->hwnd());
        } else {
            SMS(sms).doModal();
        }
    };
    s.openMessage = [] { Message().doModal(); };
    s.openNotifications = [] {
        if (!g_notification)
            Notification().doModal();
    };
}

} // namespace kivo::bt
