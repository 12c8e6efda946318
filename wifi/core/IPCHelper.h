// KivoWiFi's messages to KivoMap, the device's navigation program: the Wi-Fi
// state notification and the request to open KivoMap's on-screen keyboard
// (whose typed text comes back by WM_COPYDATA).
//
// GUI thread only. Created on first use through instance() and never freed.
#pragma once

#include "platform/wm.h"

#include <QObject>
#include <QString>

#include <cstddef>
#include <cstdint>

// The data of the WM_COPYDATA that asks KivoMap for its keyboard.
struct KeyboardRequestRecord {
    uint32_t kind; // always 3
    char16_t title[514]; // UTF-16, NUL-terminated, rest zero
    uint32_t one; // always 1
    uint32_t inputType; // 2 for a password, else 0
    uint8_t reserved[520]; // zero
};
static_assert(sizeof(KeyboardRequestRecord) == 1560, "keyboard request record size");
static_assert(offsetof(KeyboardRequestRecord, title) == 4, "title offset");
static_assert(offsetof(KeyboardRequestRecord, one) == 1032, "offset 1032");
static_assert(offsetof(KeyboardRequestRecord, inputType) == 1036, "offset 1036");
static_assert(offsetof(KeyboardRequestRecord, reserved) == 1040, "offset 1040");

class IPCHelper : public QObject {
    Q_OBJECT
public:
    enum Result {
        Success = 0,
        NoKivoMapWindow = 7,
    };

    static IPCHelper* instance();

    // Posts "WM_KIVOWIFI_NOTIFY_STATUS" (wParam = the Wi-Fi state, lParam 0)
    // to KivoMap's window. 0, or 7 when KivoMap has no window.
    int notifyStatus(int state);
    // Sends the keyboard request to KivoMap's window (7 when none) with the
    // flow's window as wParam; nothing is sent while the flow has no window.
    int createKeyboard(bool password, const QString& text);

    // The window KivoMap answers to: the flow's window (null until the flow
    // registers it).
    static void setFlowWindow(ce::HWND window);
    static ce::HWND flowWindow();

    // KivoMap's window: the top-level window of class "KivoMap", else the
    // window titled "KivoMap"; null when neither exists.
    static ce::HWND findKivoMapWindow();
    // The request record for a title (the translated "Enter password" when
    // empty; cut to 513 characters).
    static KeyboardRequestRecord makeKeyboardRequest(bool password, const QString& text);

protected:
    IPCHelper() = default;
    ~IPCHelper() override = default;
};
