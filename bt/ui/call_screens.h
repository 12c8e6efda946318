// The call screens: CALL (an incoming call rings: answer or ignore),
// OutCall (dialling out) and InCallN (a call in progress). Each keeps its
// own copy of the call record, follows the manager's call events and
// closes when the call ends.
#pragma once

#include "bt/core/bt_records.h"
#include "bt/ui/screen_frame.h"

#include <atomic>

namespace kivo::bt {

// The name as the call screens show it: 19 or more characters are cut to 15
// followed by "...".
std::u16string CallNameShown(const std::u16string& name);
// "%s(%d)": the text with the number of missed calls plus messages.
std::u16string CountedHeader(int textId);

class CALL : public BtScreen {
public:
    explicit CALL(const CallRecord& record);
    // A further ringing event: new name and number, repainted.
    void Update(const CallRecord& record);
    // The call ended (5) or became active (6): acts once, however many
    // times it is told.
    void OnCallEnded(int event);

    CBmpBtn& Name() { return m_name; }
    CBmpBtn& Number() { return m_number; }
    CBmpBtn& Answer() { return m_answer; }
    CBmpBtn& Ignore() { return m_ignore; }

protected:
    void initScreen() override;
    void destroyScreen() override;

private:
    void showRecord();
    CallRecord m_record;
    bool m_ended = false;
    CBmpBtn m_name;
    CBmpBtn m_number;
    CBmpBtn m_answer;
    CBmpBtn m_ignore;
};

// What OutCall and InCallN share: the header, name, number, strip,
// Minimise, End and the volume buttons of the serial link.
class ActiveCallScreen : public BtScreen {
public:
    CBmpBtn& Header() { return m_header; }
    CBmpBtn& Name() { return m_name; }
    CBmpBtn& Number() { return m_number; }
    CBmpBtn& Minimise() { return m_minimise; }
    CBmpBtn& End() { return m_end; }
    CBmpBtn& VolumeDown() { return m_down; }
    CBmpBtn& VolumeUp() { return m_up; }
    const CallRecord& Record() const { return m_record; }

protected:
    struct Ids {
        int header, headerText, name, number, strip, minimise, end, down, up;
    };
    ActiveCallScreen(int templateId, std::string title, int backgroundId, const Ids& ids, const CallRecord& record);
    void initScreen() override;
    // Minimise: the call goes on behind; the record is kept to show again.
    void saveAndMinimise();
    void close() { closeScreen(ce::dlg::IDCANCEL); }

    CallRecord m_record;
    Ids m_ids;
    CBmpBtn m_header;
    CBmpBtn m_name;
    CBmpBtn m_number;
    CBmpBtn m_strip;
    CBmpBtn m_minimise;
    CBmpBtn m_end;
    CBmpBtn m_down;
    CBmpBtn m_up;
};

class OutCall : public ActiveCallScreen {
public:
    explicit OutCall(const CallRecord& record);

protected:
    void initScreen() override;
    void destroyScreen() override;

private:
    CBmpBtn m_calling;
};

class InCallN : public ActiveCallScreen {
public:
    explicit InCallN(const CallRecord& record);

protected:
    void initScreen() override;
    void destroyScreen() override;
};

// The open screens (null when none), for the controller and tests.
CALL* TheCallScreen();
OutCall* TheOutCallScreen();
InCallN* TheInCallScreen();

// Fills the controller's call-screen hooks.
void InstallCallScreens();

} // namespace kivo::bt
