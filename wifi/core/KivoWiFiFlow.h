// KivoWiFi's main window and the controller of its screens: it owns the
// wireless configuration layer, one cached instance of every screen and the
// stack of view ids behind the back button; it decides which screen is shown,
// what back and exit do, polls the adapter every 3 seconds for the Wi-Fi
// state it reports to KivoMap, and ends the program.
//
// GUI thread only. Created once through instance() and never deleted.
#pragma once

#include "platform/wm.h"
#include "wifi/core/MyConfigWiFi.h"
#include "wifi/core/flow_ids.h"
#include "wifi/core/flow_navigation.h"
#include "wifi/core/flow_views.h"
#include "wifi/core/saved_networks.h" // saved networks (flow_networks.cpp)

#include <QBasicTimer>
#include <QModelIndex>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QVector>
#include <QWidget>

#include <functional>

class QLabel;
class QSettings;

class KivoWiFiFlow : public QWidget {
    Q_OBJECT
public:
    // The status poll's and the exit timer's intervals.
    static constexpr int STATUS_INTERVAL_MS = 3000;
    static constexpr int EXIT_DELAY_MS = 1500;

    // The one flow; the first call creates it (without parent).
    static KivoWiFiFlow* instance();
    // The flow if it was created, else null.
    static KivoWiFiFlow* existingInstance();

    // Screens register here, before the flow is created, to replace the
    // placeholder of their id.
    static void setViewOps(int id, FlowViewOps ops);

    // Constructs everything the program needs (blocks while the adapter is
    // searched for). Use instance(); tests may construct their own.
    KivoWiFiFlow();
    ~KivoWiFiFlow() override;

    // Checks that Zero Config is enabled, opens the searching screen, reports
    // the Wi-Fi state and shows the window.
    void Start();

    // Shows screen id; mode BACK_VIEW_MODE goes back (the id is not pushed),
    // other values go to the option chooser as its list kind.
    void switchView(int id, int mode);
    void pushViewId(int id);
    void hideAllViews();
    // Releases every cached screen by deferred deletion and empties the stack.
    void releaseViews();
    // Reports a Wi-Fi state to KivoMap when the reporting rule lets it through.
    void notifyWiFiStatus(int state);

    void setJoinText(const QString& text, int inputType);
    void setKeyboardText(const QString& text, int inputType);
    void setKeyboardResult(const QString& text, int inputType);
    QString joinText() const { return m_joinText; }
    QString keyboardText() const { return m_keyboardText; }
    QString keyboardResult() const { return m_keyboardResult; }
    int inputType() const { return m_inputType; }
    int rowIndex() const { return m_rowIndex; }
    void setRowIndex(int row) { m_rowIndex = row; }

    // The window for a resolution text: "480x272" is shown as a portrait
    // window, "800x480" as is, anything else as 480 x 272.
    static QSize windowSizeForResolution(const QString& resolution);
    QString currentResolution() const;
    QString currentDayNightMode() const;

    // Navigation state.
    int currentViewId() const { return m_nav.current(); }
    int previousViewId() const { return m_nav.previous(); }
    // Sets the current view without showing it: the next switch takes it as
    // the view it comes from.
    void setCurrentViewId(int id) { m_nav.setCurrent(id); }
    QVector<int> viewStack() const;
    // The cached screen of an id (a placeholder until the id has a screen),
    // null when not created.
    QWidget* view(int id) const;

    // The connecting or alert screen is shown (cleared by every switch).
    bool isScreenShown() const { return m_AlertSign; }
    void setScreenShown(bool shown) { m_AlertSign = shown; }

    // Wi-Fi state last reported (KIVOWIFI_STATE_UNKNOWN before the first).
    int wifiState() const { return m_wifiState; }
    int currentNetworkIndex() const { return m_currentNetworkIndex; }
    void setCurrentNetworkIndex(int index) { m_currentNetworkIndex = index; }
    bool isWiFiConnected() const { return m_connected; }
    // Keeps the current network index for that many not-associated polls.
    void setStatusGraceCount(int polls) { m_graceCount = polls; }
    int statusGraceCount() const { return m_graceCount; }
    void restartStatusTimer();
    // The network list and the searching screen hold the poll at times.
    void stopStatusTimer() { m_statusTimer.stop(); }
    bool isStatusTimerActive() const { return m_statusTimer.isActive(); }

    int alertType() const { return m_alertType; }
    void setAlertType(int type) { m_alertType = type; }
    int savedNetworkCursor() const { return m_savedCursor; }
    void setSavedNetworkCursor(int slot) { m_savedCursor = slot; }
    // The visible-list index of the network being joined from a saved slot,
    // and the index the searching screen found for each saved slot (-1 while
    // none; a slot outside 0-4 reads -1 and is not written).
    int savedAPIndex() const { return m_GetSaveAPIndex; }
    void setSavedAPIndex(int index) { m_GetSaveAPIndex = index; }
    int slotVisibleIndex(int slot) const;
    void setSlotVisibleIndex(int slot, int index);
    QString joiningName() const { return m_joiningName; }
    void setJoiningName(const QString& name) { m_joiningName = name; }
    QString lastSyncTime() const { return m_lastSyncTime; }
    void setLastSyncTime(const QString& text) { m_lastSyncTime = text; }
    // Tracks uploaded and downloaded by the last successful sync (alert 6).
    int uploadedCount() const { return m_uploadedCount; }
    int downloadedCount() const { return m_downloadedCount; }
    void setSyncCounts(int uploaded, int downloaded)
    {
        m_uploadedCount = uploaded;
        m_downloadedCount = downloaded;
    }
    int loadingFrame() const { return m_loadingFrame; }
    void setLoadingFrame(int frame) { m_loadingFrame = frame; }
    QString securityChoice() const { return m_securityChoice; }
    void setSecurityChoice(const QString& choice) { m_securityChoice = choice; }
    bool hasSavedNetworks() const { return m_savedNetworksPresent; }
    void setSavedNetworksPresent(bool present) { m_savedNetworksPresent = present; }
    bool isBrowserLaunched() const { return m_browserLaunched; }
    void setBrowserLaunched(bool launched) { m_browserLaunched = launched; }
    bool isLoginPending() const { return m_Need_Pop_Browser; }
    void setLoginPending(bool pending) { m_Need_Pop_Browser = pending; }
    // 1 login successful, 2 login unfinished, 0 none.
    int loginResult() const { return m_loginResult; }
    void setLoginResult(int result) { m_loginResult = result; }
    // 100 in the auto-sync start mode, else 0.
    int startMode() const { return m_startMode; }
    void setStartMode(int mode) { m_startMode = mode; }
    bool isLogEnabled() const { return m_logEnabled; }

    CMyConfigWiFi& configWiFi() { return m_configWiFi; }
    // The flow's window for window messages (found by class "KivoWiFi").
    ce::HWND flowWindow() const { return m_window; }
    QLabel* statusLabel() const { return m_statusLabel; }

    // Adapter helpers the navigation needs.
    // Index in the visible list of the adapter's first preferred network, -1
    // when none.
    int currentAPIndex();
    bool isConnectStatus();
    // Connected (associated with a usable address) to the network named
    // ssid: an association that lingers from another network does not count.
    bool isConnectedTo(const QString& ssid);
    // Empties the preferred list, the login state and the EAPOL registry group.
    void clearEapolSettings();
    // One line to the connection log, when logging is on.
    void writeLog(const QString& text);

    // How the program ends; tests replace it to keep their process.
    static void setProcessExitHandler(std::function<void(int)> handler);

    // The registry group of the 802.1X settings, emptied at start and exit.
    static void clearEapolRegistry();

public slots:
    void ListItemSelected(QModelIndex index);
    void onBackBtnClick();
    void onExitBtnClick();
    // The end for any way out other than the exit button (a WM_QUIT from
    // another process, the event loop ending): the same orderly end, at once.
    void endOrderly();
    void refreshStatus();
    void ShowWiFiConnectingStatus(QString const& eventName);

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    QWidget* ensureView(int id);
    const FlowViewOps& ops(int id) const;
    QWidget* existingView(int id) const;
    void prepareView(int id, int mode, QWidget* view);
    void raiseStatusLabel();
    // Connecting screen opened from the add-network screen: its join record
    // becomes the record in use.
    void takeJoinRecord();
    void endProgram();

    static constexpr int kSlotCount = 5;

    CMyConfigWiFi m_configWiFi;
    QPointer<QWidget> m_views[KEYBOARD_VIEW_ID + 1];
    kivowifi::ViewNavigator m_nav;
    unsigned m_switchGeneration = 0; // counts switches, so a nested one is noticed
    bool m_AlertSign = false;
    int m_wifiState = KIVOWIFI_STATE_UNKNOWN;
    QTimer m_statusTimer;
    QBasicTimer m_exitTimer;
    int m_currentNetworkIndex = -1;
    bool m_connected = false;
    int m_graceCount = 0;
    int m_alertType = 0;
    QString m_joinText;
    QString m_keyboardText;
    QString m_keyboardResult;
    int m_inputType = -1;
    int m_rowIndex = -1;
    int m_savedCursor = 0;
    int m_GetSaveAPIndex = -1;
    int m_slotVisibleIndex[kSlotCount] = { -1, -1, -1, -1, -1 };
    QString m_joiningName;
    QString m_lastSyncTime;
    int m_uploadedCount = 0;
    int m_downloadedCount = 0;
    int m_loadingFrame = 1;
    QString m_securityChoice;
    bool m_savedNetworksPresent = false;
    bool m_browserLaunched = false;
    bool m_Need_Pop_Browser = false;
    int m_loginResult = 0;
    bool m_logEnabled = false;
    QSettings* m_debugSettings = nullptr;
    int m_startMode = 0;
    QLabel* m_statusLabel = nullptr;
    ce::HWND m_window = nullptr;

    // ---- Saved networks, joining and the portal verdict (flow_networks.cpp) ----
public:
    // Results of these operations.
    static constexpr int RESULT_OK = 0;
    static constexpr int RESULT_NO_SETTINGS = 6; // settings object missing or key not recognised
    static constexpr int RESULT_BAD_KEYBOARD_TARGET = 8;
    static constexpr int RESULT_JOIN_RETRIED = 10; // key refused: joined again through the visible list

    // The visible networks (index into the wireless layer's visible list;
    // an index outside it, or a value outside its table, gives 0 or "").
    int refreshAPList();
    int getAPCount();
    QString getAPName(int index);
    int getAPSignalStrength(int index);
    int getAPPrivacy(int index);
    QString getAPEncryptionText(int index);
    QString getAPAuthenticationText(int index);
    QString getAPKeyIndexText(int index);
    // The wireless layer's address data: the usable flag and, in order,
    // adapter name, description, DHCP server, IP address, gateway, mask and
    // DHCP server again.
    int getAdapterInfo(bool* usable, QString* adapterName, QString* description, QString* dhcpServer,
        QString* ipAddress, QString* gateway, QString* subnetMask, QString* dhcpServer2);

    // "Settings/Encryption", "Settings/Authentication", "Settings/Key index",
    // "Settings/Network", "Settings/User name" or "Settings/Password" into
    // the record in use; 6 for any other key.
    int setSetting(const QString& key, const QString& value);
    WiFiSettings getWiFiSettings() const { return m_WiFiSettings; }
    void setWiFiSettings(const WiFiSettings& settings) { m_WiFiSettings = settings; }
    // A saved record (slot 0 the most recent); the placeholder outside 0-4.
    WiFiSettings savedSettings(int slot) const;
    // The result of the last readWiFiSettings.
    int savedSettingsReadResult() const { return m_savedReadResult; }

    BrowserStatus getBrowserStatus() const { return m_browserStatus; }
    // Reads "LaunchBrowser" from CheckBrowserStatus.ini; 6 when it cannot.
    int readLaunchBrowserStatus();

    // Zero Config on or off, then the Wi-Fi state 0 or 1 to KivoMap.
    void enableWiFi(bool on);

    // WiFiSettings.ini: read the five records (empty ones from
    // WiFiSettingsDefault.ini), save the record in use first, forget the
    // network being joined.
    int readWiFiSettings();
    void saveWiFiSettings();
    void forgetWiFiSettings();
    // Joins the network of the record in use; 10 when its key was refused
    // and the join went through the visible list instead.
    int joinNetwork();
    // Joins the visible network at index with a key (empty: automatic).
    int connectWithKey(int index, const QString& key);

    // KivoMap's keyboard: asks for it, for target 0 (the key of the visible
    // network at index), 2 network name, 3 user name or 4 password, and takes
    // the typed text back.
    int requestExternalKeyboard(int target, int index, const QString& text, bool password);
    int onKeyboardText(const QString& text);
    int keyboardTarget() const { return m_keyboardTarget; }
    int keyboardNetworkIndex() const { return m_keyboardNetworkIndex; }

    // Logs whether the network being joined is connected, and its signal.
    void CurrentNetworkStatus();

    // device.xml's brand and the two service texts made from it.
    void readDeviceXml();
    QString brandName() const { return m_brandName; }
    QString registerDeviceText() const { return m_registerDeviceText; }
    QString lastSyncedText() const { return m_lastSyncedText; }

private:
    kivowifi::SavedNetworks m_savedSettings = kivowifi::placeholderSlots();
    WiFiSettings m_WiFiSettings;
    BrowserStatus m_browserStatus;
    QSettings* m_wifiSettingsFile = nullptr;
    QSettings* m_wifiDefaultsFile = nullptr;
    int m_savedReadResult = 0;
    int m_keyboardTarget = -1;
    int m_keyboardNetworkIndex = -1;
    QString m_brandName;
    QString m_registerDeviceText;
    QString m_lastSyncedText;
    // ---- end of saved networks ----
};
