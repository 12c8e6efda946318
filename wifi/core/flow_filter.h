// The system-message filter of KivoWiFi: it sees every window message of the
// GUI thread before Qt does and handles KivoMap's keyboard answer and status
// query, activation, the device's hardware key, the browser's login results
// and screen touches. What it acts upon is behind MessageFilterTarget, which
// the application implements over the flow.
#pragma once

#include "platform/wm.h"

#include <QString>

#include <cstddef>
#include <optional>

namespace kivowifi {

// The device's hardware key, as a window message.
constexpr ce::UINT WM_HARDWARE_KEY = 0x422;
// Every fourth hardware-key message acts.
constexpr int HARDWARE_KEY_PRESSES_PER_ACTION = 4;

// Where KivoMap's keyboard answer carries the typed text (NUL-terminated
// UTF-16), and the smallest record that holds at least one character there.
constexpr std::size_t KEYBOARD_TEXT_OFFSET = 1048;
constexpr std::size_t KEYBOARD_RECORD_MIN_SIZE = KEYBOARD_TEXT_OFFSET + 2;

// The typed text of a keyboard answer record: the UTF-16 text from byte 1048
// up to the first NUL or the end of the record, whichever comes first.
// Nothing for a record shorter than 1050 bytes or without data.
std::optional<QString> keyboardTextFromRecord(const void* data, std::size_t size);

class MessageFilterTarget {
public:
    virtual ~MessageFilterTarget() = default;
    // False while the flow does not exist: messages that need it pass on.
    virtual bool flowExists() const = 0;
    virtual int currentView() const = 0;
    // The connecting or alert screen is shown.
    virtual bool screenShown() const = 0;
    virtual bool loginPending() const = 0;
    virtual void exitPressed() = 0;
    virtual void backPressed() = 0;
    virtual void keyboardText(const QString& text) = 0;
    virtual void browserLoginFinished() = 0;
    virtual void browserLoginUnfinished() = 0;
    // Reload the language and the day/night mode.
    virtual void activated() = 0;
    virtual void broadcast(ce::UINT message) = 0;
    virtual void log(const QString& text) = 0;
};

class SystemMessageFilter {
public:
    // Registers the window messages the filter recognises.
    explicit SystemMessageFilter(MessageFilterTarget& target);

    // True when the message was handled here (it is then not dispatched).
    bool filter(const ce::MSG& msg);

    int keyCount() const { return m_keyCount; }
    ce::UINT touchMessage() const { return m_touch; }
    ce::UINT loginSuccessMessage() const { return m_loginSuccess; }
    ce::UINT loginUnfinishedMessage() const { return m_loginUnfinished; }
    ce::UINT keyboardDataMessage() const { return m_keyboardData; }
    ce::UINT statusQueryMessage() const { return m_statusQuery; }

private:
    bool copyData(const ce::MSG& msg);
    bool hardwareKey();

    MessageFilterTarget& m_target;
    int m_keyCount = 0;
    ce::UINT m_loginSuccess;
    ce::UINT m_loginUnfinished;
    ce::UINT m_touch;
    ce::UINT m_keyboardData;
    ce::UINT m_statusQuery;
};

} // namespace kivowifi
