// The message screens: SMS (a new text message arrived), SMSNContent (one
// stored message in full, with steps to the previous and next) and Message
// (one text and OK).
#pragma once

#include "bt/core/bt_records.h"
#include "bt/ui/screen_frame.h"

namespace kivo::bt {

// A sender as the message screens show it: 19 or more characters are cut to
// 18 followed by "..."; an empty name is the number.
std::u16string SenderShown(const std::u16string& name, const std::u16string& number);
// The stored-message record of an SMS, as the notification store holds it.
NotificationRecord MessageRecord(const SmsRecord& sms);

class SMS : public BtScreen {
public:
    explicit SMS(const SmsRecord& record);
    ~SMS() override;
    // A newer message: shown, and the 10 seconds start again.
    void Show(const SmsRecord& record);

    CBmpBtn& Sender() { return m_sender; }
    CBmpBtn& Text() { return m_text; }
    CBmpBtn& View() { return m_view; }
    CBmpBtn& Ignore() { return m_ignore; }

protected:
    void initScreen() override;
    void destroyScreen() override;

private:
    SmsRecord m_record;
    CBmpBtn m_sender;
    CBmpBtn m_text;
    CBmpBtn m_view;
    CBmpBtn m_ignore;
};

class SMSNContent : public BtScreen {
public:
    explicit SMSNContent(const NotificationRecord& record);
    // Shows a message (its place found among the stored ones whole).
    void Show(const NotificationRecord& record);

    CBmpBtn& Header() { return m_header; }
    CBmpBtn& Sender() { return m_sender; }
    CBmpBtn& Position() { return m_position; }
    CBmpBtn& Text() { return m_text; }
    CBmpBtn& Up() { return m_up; }
    CBmpBtn& Down() { return m_down; }
    CBmpBtn& Call() { return m_call; }

protected:
    void initScreen() override;
    void destroyScreen() override;

private:
    // The stored message before (-1) or after (+1) the shown one.
    bool neighbour(int direction, NotificationRecord* out) const;
    void step(int direction);
    void setButtons();

    NotificationRecord m_record;
    CBmpBtn m_header;
    CBmpBtn m_from;
    CBmpBtn m_sender;
    CBmpBtn m_position;
    CBmpBtn m_text;
    CBmpBtn m_up;
    CBmpBtn m_call;
    CBmpBtn m_down;
};

class Message : public BtScreen {
public:
    Message();
    CBmpBtn& Ok() { return m_ok; }

protected:
    void initScreen() override;

private:
    CBmpBtn m_text;
    CBmpBtn m_ok;
};

// The paged list of missed calls and messages.
class Notification : public BtScreen, private CBmpBtnListener {
public:
    Notification();
    // Makes the rows anew from the store, keeping the page shown.
    void Rebuild();

    CBmpBtn& Header() { return m_header; }
    CBmpBtn& Up() { return m_up; }
    CBmpBtn& Down() { return m_down; }
    CBmpBtn& CloseButton() { return m_close; }
    CBmpBtnGroup& Rows() { return m_rows; }
    int Page() const { return m_paging.Page(); }
    int Pages() const { return m_paging.Pages(); }

protected:
    void initScreen() override;
    void destroyScreen() override;

private:
    void OnBmpBtnClick(int controlId) override;
    void build();

    CBmpBtn m_header;
    CBmpBtn m_up;
    CBmpBtn m_close;
    CBmpBtn m_down;
    CBmpBtnGroup m_rows;
    // The rows' notifications; each row's user value points at its own.
    std::vector<NotificationRecord> m_items;
    RowPaging m_paging { m_rows, m_up, m_down };
};

// The name of a notification row: cut to whole characters within room
// (10 beside a date, 14 beside a time), "..." included.
std::u16string RowName(const std::u16string& name, int room);
// The row's third text: the time when the date is today's, else the date.
std::u16string RowWhen(const std::u16string& date, const std::u16string& today);

SMS* TheSmsScreen();
Notification* TheNotificationScreen();
// Asks the open notification screen, if any, to rebuild its list.
void RebuildNotificationScreen();
SMSNContent* TheMessageTextScreen();

// Fills the controller's hooks for these screens.
void InstallMessageScreens();

} // namespace kivo::bt
