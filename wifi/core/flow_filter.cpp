#include "wifi/core/flow_filter.h"

#include "wifi/core/flow_ids.h"

#include <cstring>

namespace kivowifi {

std::optional<QString> keyboardTextFromRecord(const void* data, std::size_t size)
{
    if (!data || size < KEYBOARD_RECORD_MIN_SIZE)
        return std::nullopt;
    const auto* bytes = static_cast<const unsigned char*>(data);
    QString text;
    for (std::size_t at = KEYBOARD_TEXT_OFFSET; at + 2 <= size; at += 2) {
        char16_t unit;
        std::memcpy(&unit, bytes + at, sizeof unit);
        if (unit == 0)
            break;
        text.append(QChar(unit));
    }
    return text;
}

SystemMessageFilter::SystemMessageFilter(MessageFilterTarget& target)
    : m_target(target)
    , m_loginSuccess(ce::registerWindowMessage("WM_BROWSER_EXIT_LOGIN_SUCESSFULLY"))
    , m_loginUnfinished(ce::registerWindowMessage("WM_BROWSER_EXIT_LOGIN_UNFINISHED"))
    , m_touch(ce::registerWindowMessage("WM_TOUCHEVENT_MOUSE_LBUTTONDOWN"))
    , m_keyboardData(ce::registerWindowMessage("WM_KEYBD_OUT_GETKEYBDDATA"))
    , m_statusQuery(ce::registerWindowMessage("WM_KIVOMAP_OUT_GETWIFISTATUS"))
{
}

bool SystemMessageFilter::filter(const ce::MSG& msg)
{
    switch (msg.message) {
    case ce::WM_COPYDATA:
        return copyData(msg);
    case ce::WM_ACTIVATE:
        if ((msg.wParam & 0xFFFF) == 1 && m_target.flowExists())
            m_target.activated();
        return false;
    case WM_HARDWARE_KEY:
        return hardwareKey();
    case ce::WM_LBUTTONDOWN:
        m_target.broadcast(m_touch);
        return false;
    default:
        break;
    }
    // Registered messages have run-time ids; 0 means registration failed.
    if (msg.message == 0 || !m_target.flowExists())
        return false;
    if (msg.message == m_loginSuccess) {
        m_target.browserLoginFinished();
        return true;
    }
    if (msg.message == m_loginUnfinished) {
        m_target.browserLoginUnfinished();
        return true;
    }
    return false;
}

bool SystemMessageFilter::copyData(const ce::MSG& msg)
{
    const auto* cds = reinterpret_cast<const ce::COPYDATASTRUCT*>(msg.lParam);
    if (!cds || !cds->lpData || cds->cbData == 0)
        return false;
    if (m_keyboardData != 0 && cds->dwData == m_keyboardData) {
        if (!m_target.flowExists())
            return false;
        auto text = keyboardTextFromRecord(cds->lpData, cds->cbData);
        if (!text) {
            m_target.log(QStringLiteral("[In WifiApplication - winEventFilter()] keyboard data refused: %1 bytes")
                             .arg(cds->cbData));
            return true;
        }
        m_target.keyboardText(*text);
        return true;
    }
    if (m_statusQuery != 0 && cds->dwData == m_statusQuery)
        return true;
    return false;
}

bool SystemMessageFilter::hardwareKey()
{
    if (++m_keyCount < HARDWARE_KEY_PRESSES_PER_ACTION)
        return true;
    m_keyCount = 0;
    m_target.broadcast(m_touch);
    if (!m_target.flowExists())
        return true;
    int view = m_target.currentView();
    if (view == SEARCHING_VIEW_ID || view == SYNC_VIEW_ID)
        m_target.exitPressed();
    else if (m_target.screenShown())
        m_target.log(QStringLiteral("[In WifiApplication - kivowifi->m_AlertSign == true] HW press!"));
    else if (m_target.loginPending())
        m_target.log(QStringLiteral("[In WifiApplication - kivowifi->m_Need_Pop_Browser = true] HW press!"));
    else
        m_target.backPressed();
    return true;
}

} // namespace kivowifi
