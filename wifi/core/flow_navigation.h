// The flow's navigation state: the stack of view ids behind the back button,
// the current and previous view, and the rules of the back button. Plain
// logic without widgets; KivoWiFiFlow carries out what it decides.
#pragma once

#include <optional>
#include <vector>

namespace kivowifi {

// What the back button finds about the adapter and the saved networks.
struct BackConditions {
    bool connected = false; // associated with a usable address
    bool loginPending = false; // a captive-portal login is outstanding
    int loginResult = 0; // 1 login successful, 2 unfinished
    bool savedNetworksPresent = false;
};

// One back press, decided.
struct BackStep {
    enum Kind { None, Switch, Exit };
    Kind kind = None;
    int view = -1; // Switch: the view to show
    int mode = 0; // Switch: 0 or BACK_VIEW_MODE
    const char* log = nullptr; // the line to log, if any
    bool emptyLastSyncTime = false; // network list -> sync: check and sync anew
    bool reloadSavedNetworks = false; // cursor to 0 and saved networks read again
    bool clearJoinEdit = false; // leaving the add-network screen
    bool takeKeyboardResult = false; // keyboard -> add network: hand the text back
};

class ViewNavigator {
public:
    // A view switch: pushes id unless mode is the back mode; the current view
    // becomes the previous one.
    void enter(int id, int mode);
    void push(int id) { m_stack.push_back(id); }
    void clear() { m_stack.clear(); }
    // Makes id the current view without a switch (and without pushing it).
    void setCurrent(int id) { m_current = id; }

    int current() const { return m_current; }
    int previous() const { return m_previous; }
    const std::vector<int>& stack() const { return m_stack; }
    std::optional<int> top() const;

    // Decides the back button on the current view and pops the stack as the
    // step requires. The caller then performs the step (which switches with
    // enter()).
    BackStep back(const BackConditions& conditions);

private:
    std::vector<int> m_stack;
    int m_current = 0;
    int m_previous = 0;
};

// Whether a Wi-Fi state change is reported to KivoMap (and stored): from 0
// any other state; from 1 only 0; from any other state any different one.
// Once Wi-Fi is reported off, the poll's states wait until it is on again.
bool isWiFiStateReported(int oldState, int newState);

} // namespace kivowifi
