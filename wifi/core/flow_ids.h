// View ids and Wi-Fi states of KivoWiFi, shared by the flow and every screen.
#pragma once

// The numbers every screen passes to KivoWiFiFlow::switchView.
enum KivoWiFiViewId {
    MAIN_VIEW_ID = 0, // network list
    JOIN_VIEW_ID = 1, // add network
    CONNECTING_VIEW_ID = 2,
    SECURITY_VIEW_ID = 3,
    DISABLED_VIEW_ID = 4, // Wi-Fi off
    INFO_VIEW_ID = 5, // network information
    LIST_VIEW_ID = 6, // option chooser
    SEARCHING_VIEW_ID = 11,
    ALERT_VIEW_ID = 12,
    SYNC_VIEW_ID = 13,
    KEYBOARD_VIEW_ID = 14,
};

// switchView's mode for going back: the id is shown without being pushed.
constexpr int BACK_VIEW_MODE = 10;

// The Wi-Fi state reported to KivoMap.
enum KivoWiFiState {
    KIVOWIFI_ENABLEND = 0, // Zero Config enabled for the adapter
    KIVOWIFI_DISABLEND = 1, // Zero Config disabled
    KIVOWIFI_NOIP = 2, // associated, no usable address
    KIVOWIFI_CONNECTED = 3, // associated with a usable address
    KIVOWIFI_DISCONNECTED = 4, // not associated
};
// The state before anything was reported; never reported itself.
constexpr int KIVOWIFI_STATE_UNKNOWN = 5;

// The alert type of the exit message ("Please wait...").
constexpr int ALERT_TYPE_EXIT = 14;

// Ids that have a screen.
bool isScreenViewId(int id);
// The name a view switch logs ("WLAN Settings", ...); empty for the Wi-Fi
// off screen and for ids without a screen.
const char* viewLogName(int id);
