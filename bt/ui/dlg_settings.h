// The service settings screen: call handling, message alerts, music
// control and voice instructions switched on and off. What it shows is
// kept process-wide and stored in the configuration file when it closes.
#pragma once

#include "bt/ui/screen_frame.h"

#include <vector>

namespace kivo::bt {

class CDlgSettings;
// The open settings screen, or null.
CDlgSettings* TheSettingsScreen();

class CDlgSettings : public BtScreen {
public:
    CDlgSettings();

    // Lays the controls out again from the portrait or landscape template,
    // by the screen's shape; windows is the set to move (by control id).
    static void SizeRelayout(const std::vector<ce::dlg::Control*>& controls);

    CBmpBtn& Toggle(int index) { return m_toggles[index]; }
    CBmpBtn& BackButton() { return m_back; }

protected:
    void initScreen() override;
    void destroyScreen() override;
    void onCancel() override { close(); }
    void onOK() override { close(); }

private:
    enum { Call, Alerts, Music, Voice };
    void close();
    void flip(int index);
    // Bitmaps and enabled state of one toggle from its flag and link.
    void showToggle(int index, bool linked);
    int& flag(int index);
    bool linkUp(int index) const;
    void onConnectResult(ce::WPARAM connected, ce::LPARAM kind);

    CBmpBtn m_title;
    CBmpBtn m_toggles[4];
    CBmpBtn m_back;
    int m_call = 0;
    int m_alerts = 0;
    int m_music = 0;
    int m_voice = 0;
    int m_message = 0;
};

} // namespace kivo::bt
