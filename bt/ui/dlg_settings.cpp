#include "bt/ui/dlg_settings.h"

#include "bt/core/bt_ipc.h"
#include "bt/core/bt_manager.h"
#include "bt/core/bt_messages.h"

#include "platform/debug.h"
#include "platform/dialogs/services.h"

#include <atomic>

namespace kivo::bt {

namespace {

constexpr int kToggleIds[4] = { 1013, 1010, 1029, 1012 };
constexpr int kToggleTexts[4] = { 10012, 10013, 10014, 10015 };

std::atomic<CDlgSettings*> g_settings { nullptr };

} // namespace

CDlgSettings* TheSettingsScreen()
{
    return g_settings;
}

void CDlgSettings::destroyScreen()
{
    CDlgSettings* self = this;
    g_settings.compare_exchange_strong(self, nullptr);
}

CDlgSettings::CDlgSettings()
    : BtScreen(102, "CDlgSettings", 138, false, true)
{
    onClicked(1003, [this] { close(); });
    for (int i = 0; i < 4; ++i)
        onClicked(kToggleIds[i], [this, i] { flip(i); });
    onMessage(WM_STKOUTMSG_CONNECT_RESULT, [this](ce::WPARAM w, ce::LPARAM l) {
        onConnectResult(w, l);
        return ce::LRESULT(0);
    });
}

int& CDlgSettings::flag(int index)
{
    int* flags[4] = { &m_call, &m_alerts, &m_music, &m_voice };
    return *flags[index];
}

bool CDlgSettings::linkUp(int index) const
{
    const ManagerState s = GetManagerState();
    const int links[4] = { s.handsFree, s.messages, s.audio, s.serialLink };
    return links[index] != 0;
}

void CDlgSettings::initScreen()
{
    g_settings = this;
    BtConfigRecord cfg;
    LoadConfiguration(&cfg);
    m_call = cfg.call;
    m_alerts = cfg.messageAlerts;
    m_music = cfg.musicControl;
    m_voice = cfg.voiceInstruction;
    m_message = cfg.message;
    SetSettingsCopies(m_call, m_alerts, m_music, m_voice, m_message);

    const Font regular = ArialFont(20, 400);
    bindLabel(m_title, 1007, LangString(10011), ArialFont(15, 700), 139);
    for (int i = 0; i < 4; ++i) {
        CBmpBtn& t = m_toggles[i];
        t.attach(*this, kToggleIds[i]);
        placeOnBackground(t);
        t.SetCaption(LangString(kToggleTexts[i]));
        t.SetFonts(regular);
        t.SetTextPlacement(false, true, 12, 0, false);
        showToggle(i, linkUp(i));
    }
    bindButton(m_back, 1003, 285, 1091, {}, nullptr);
    if (ce::dlg::screenWidth() >= ce::dlg::screenHeight())
        SizeRelayout({ &m_title, &m_toggles[0], &m_toggles[1], &m_toggles[2], &m_toggles[3], &m_back });
}

void CDlgSettings::showToggle(int index, bool linked)
{
    CBmpBtn& t = m_toggles[index];
    const bool on = flag(index) != 0;
    if (linked)
        t.SetBitmaps(on ? 290 : 292, on ? 291 : 293, kWhite);
    else
        t.SetBitmaps(on ? 294 : 295, on ? 291 : 293, kWhite);
    t.enableWindow(linkUp(index));
    t.invalidate();
}

void CDlgSettings::flip(int index)
{
    int& f = flag(index);
    f = f ? 0 : 1;
    SetSettingsCopies(m_call, m_alerts, m_music, m_voice, m_message);
    CBmpBtn& t = m_toggles[index];
    t.SetBitmaps(f ? 290 : 292, f ? 291 : 293, kWhite);
    t.invalidate();
}

void CDlgSettings::onConnectResult(ce::WPARAM connected, ce::LPARAM kind)
{
    switch (kind) {
    case 1:
        showToggle(Call, linkUp(Call));
        break;
    case 2:
        showToggle(Music, linkUp(Music));
        break;
    case 8:
        showToggle(Alerts, linkUp(Alerts));
        break;
    case 5:
        for (int i = 0; i < 4; ++i)
            showToggle(i, connected != 0);
        break;
    default:
        break;
    }
}

void CDlgSettings::close()
{
    ce::debugOutput("Start to Store Configuration...\r\n");
    StoreServiceSettings(m_call, m_alerts, m_music, m_voice, m_message);
    ce::debugOutput("End of Store Configuration\r\n");
    ExternalPostMessage(WM_BTOUT_SERVICE_CALL_AVAILABILITY, ce::WPARAM(m_call), 0);
    ExternalPostMessage(WM_BTOUT_SERVICE_MESSAGE_AVAILABILITY, ce::WPARAM(m_alerts), 0);
    ExternalPostMessage(WM_BTOUT_SERVICE_MUSICCONTROL_AVAILABILITY, ce::WPARAM(m_music), 0);
    ExternalPostMessage(WM_BTOUT_SERVICE_VOICEINSTRUCTION_AVAILABILITY, ce::WPARAM(m_voice), 0);
    closeScreen(ce::dlg::IDOK);
}

void CDlgSettings::SizeRelayout(const std::vector<ce::dlg::Control*>& controls)
{
    const int templateId = ce::dlg::screenWidth() < ce::dlg::screenHeight() ? 102 : 103;
    for (ce::dlg::Control* c : controls) {
        QRect r;
        if (c && ce::dlg::templateItem(templateId, c->id(), &r))
            c->moveWindow(r);
    }
}

} // namespace kivo::bt
