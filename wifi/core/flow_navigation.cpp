#include "wifi/core/flow_navigation.h"

#include "wifi/core/flow_ids.h"

bool isScreenViewId(int id)
{
    return (id >= MAIN_VIEW_ID && id <= LIST_VIEW_ID) || (id >= SEARCHING_VIEW_ID && id <= KEYBOARD_VIEW_ID);
}

const char* viewLogName(int id)
{
    switch (id) {
    case MAIN_VIEW_ID:
        return "WLAN Settings";
    case JOIN_VIEW_ID:
        return "Add Network";
    case CONNECTING_VIEW_ID:
        return "Connecting View";
    case SECURITY_VIEW_ID:
        return "Security View";
    case INFO_VIEW_ID:
        return "Network Info";
    case LIST_VIEW_ID:
        return "List View";
    case SEARCHING_VIEW_ID:
        return "WLAN Sync(Searching)";
    case ALERT_VIEW_ID:
        return "Alert View";
    case SYNC_VIEW_ID:
        return "WLAN Sync";
    case KEYBOARD_VIEW_ID:
        return "Keyboard View";
    default:
        return "";
    }
}

namespace kivowifi {

void ViewNavigator::enter(int id, int mode)
{
    if (mode != BACK_VIEW_MODE)
        m_stack.push_back(id);
    m_previous = m_current;
    m_current = id;
}

std::optional<int> ViewNavigator::top() const
{
    if (m_stack.empty())
        return std::nullopt;
    return m_stack.back();
}

BackStep ViewNavigator::back(const BackConditions& c)
{
    BackStep step;
    switch (m_current) {
    case MAIN_VIEW_ID:
        if (c.connected) {
            step.kind = BackStep::Switch;
            if (c.loginPending && c.loginResult != 1) {
                step.log = "[In WifiSetting - onBackBtnClick()] is connecting, but can't connct to internet";
                step.view = SEARCHING_VIEW_ID;
            } else {
                step.log = "[In WifiSetting - onBackBtnClick()] is connecting";
                step.emptyLastSyncTime = true;
                step.view = SYNC_VIEW_ID;
            }
        } else {
            step.log = "[In WifiSetting - onBackBtnClick()] isn't connecting";
            if (!c.savedNetworksPresent) {
                step.kind = BackStep::Exit;
            } else {
                step.kind = BackStep::Switch;
                step.reloadSavedNetworks = true;
                step.view = SEARCHING_VIEW_ID;
            }
        }
        return step;
    case JOIN_VIEW_ID:
        step.log = "[In JoinNetwork - onBackBtnClick()]";
        step.kind = BackStep::Switch;
        step.clearJoinEdit = true;
        step.view = MAIN_VIEW_ID;
        return step;
    case INFO_VIEW_ID:
        step.log = "[In NetworkInfo - onBackBtnClick()]";
        if (top() == ALERT_VIEW_ID)
            m_stack.pop_back();
        step.kind = BackStep::Switch;
        step.view = MAIN_VIEW_ID;
        return step;
    default:
        // The stack is empty only after every screen was released; there is
        // nothing to go back to then.
        if (m_stack.empty())
            return step;
        if (m_stack.back() == KEYBOARD_VIEW_ID && m_previous == JOIN_VIEW_ID) {
            step.log = "[In Keyboard - onBackBtnClick()]";
            step.takeKeyboardResult = true;
        }
        if (m_stack.size() > 1)
            m_stack.pop_back();
        step.kind = BackStep::Switch;
        step.view = m_stack.back();
        step.mode = BACK_VIEW_MODE;
        return step;
    }
}

bool isWiFiStateReported(int oldState, int newState)
{
    if (oldState == KIVOWIFI_DISABLEND)
        return newState == KIVOWIFI_ENABLEND;
    return newState != oldState;
}

} // namespace kivowifi
