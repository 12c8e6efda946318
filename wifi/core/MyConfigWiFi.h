// The wireless configuration layer: KivoWiFi's only door to the wireless
// adapter. It drives the Zero Config service (loaded by name at run time),
// keeps the networks of the last scan, puts the network to join first in the
// service's preferred list with its key material, reports association and
// address state, and runs one thread that reads the service's event queue and
// forwards every event as a Qt signal.
#pragma once

#include "platform/types.h"
#include "platform/wm.h"
#include "platform/wzc/wzc_types.h"

#include <QString>
#include <QThread>

#include <atomic>
#include <deque>
#include <mutex>
#include <vector>

namespace ce {
struct ModuleTag;
}

class CMyConfigWiFi : public QThread {
    Q_OBJECT

public:
    // Switches the radio on; nothing loaded yet.
    CMyConfigWiFi();
    // Stops the event thread (bounded), frees the visible list and the library.
    ~CMyConfigWiFi() override;

    // First call: loads the library, starts the event thread. Every call: findAdapter.
    bool startWzc();
    // Asks the event thread to end and waits for it (at most 5 s); true when
    // it ended. Safe to call more than once; the destructor calls it too.
    bool stopWzc();
    // Up to 60 attempts one second apart to find the adapter.
    bool findAdapter();

    bool IsEnableWzcServer();
    // The service's result; a non-zero error without library or adapter.
    ce::DWORD enableWzcServer(bool on);
    ce::DWORD refreshInterface();
    ce::DWORD refreshVisibleList();
    const ce::WZC_WLAN_CONFIG* visibleList() const;
    int visibleCount() const;

    static bool isSameNetwork(const ce::WZC_WLAN_CONFIG& a, const ce::WZC_WLAN_CONFIG& b);
    int indexOfVisible(const ce::WZC_WLAN_CONFIG& record) const;
    bool firstPreferredNetwork(ce::WZC_WLAN_CONFIG* out);
    bool isAssociated();
    // The SSID of the network the adapter is associated with (8-bit text as
    // the scan shows it); empty when not associated.
    QString associatedSsid();
    // Adapter data for the Wi-Fi adapter; every given text receives, in
    // order: adapter name, description, DHCP server, IP address, gateway,
    // subnet mask, DHCP server again. On any failure the texts are empty and
    // the address is not usable. Always returns 0.
    int getIPInfo(bool* usable, QString* adapterName = nullptr, QString* description = nullptr,
        QString* dhcpServer = nullptr, QString* ipAddress = nullptr, QString* gateway = nullptr,
        QString* subnetMask = nullptr, QString* dhcpServer2 = nullptr);
    bool isConnected();

    // Fills the key fields of record from key (an empty key is no key);
    // keyIndex 1-4. *autoFlag is set when the key is "auto". False for a key
    // the record cannot take.
    bool setKeyMaterial(ce::WZC_WLAN_CONFIG* record, const QString& key, int keyIndex, bool* autoFlag);

    ce::DWORD clearPreferredList();
    ce::DWORD AddToPreferredNetworkList(const ce::WZC_WLAN_CONFIG& record);

    // Joins by explicit settings; the result is setKeyMaterial's (false too
    // without library or adapter). The window gets message once the join
    // succeeded (wParam 1 with a usable address, else 0) or failed (0).
    bool connectNetwork(ce::HWND window, ce::UINT message, const QString& ssid, const QString& key, ce::DWORD privacy,
        ce::DWORD authenticationMode, int keyIndex, bool adHoc);
    // Joins the visible network at index (an empty key means "auto"); false
    // when the index is outside the list or the key was refused.
    bool connectVisibleNetwork(int index, const QString& key, ce::HWND window, ce::UINT message);

    // The layer's log file (MyConfigWiFiLog.txt); off by default.
    void setLogEnabled(bool on) { m_logEnabled = on; }
    void writeLog(const QString& message);

    // The Zero Config event names, by event code ("default" for unknown codes).
    static QString eventName(ce::DWORD code);
    // Whether an address counts as usable: a dotted quad that is not
    // 0.0.0.0, 127.0.0.1, 255.255.255.255 nor 169.x.x.x.
    static bool isUsableAddress(const QString& address);

    // Tests only: scales the pauses of the adapter search, the address wait
    // and the event loop (1.0 = as in the product).
    static void setDelayScaleForTests(double scale);

signals:
    void PostWZCMessage(QString const& event);

protected:
    void run() override;

private:
    bool loadLibrary();
    void freeLibrary();
    bool usable() const;
    ce::DWORD unusableError() const;
    QString interfaceName() const;
    void switchRadio(bool on);
    // An entry keyed by the adapter's name (GUI thread).
    ce::INTF_ENTRY_EX adapterEntry() const;
    // Queries the adapter's fields into entry: the service's result, or
    // unusableError() without library or adapter. A failed query's reply is
    // already released.
    ce::DWORD queryInterface(ce::DWORD flags, ce::INTF_ENTRY_EX* entry, ce::DWORD* outFlags);
    void releaseInterface(ce::INTF_ENTRY_EX* entry);
    void handleEvent(const ce::WZC_EVENT_MESSAGE& message);
    void notifyJoin(ce::WPARAM wParam);
    bool waitForStop(ce::DWORD ms);
    void setJoinTarget(ce::HWND window, ce::UINT message);
    static ce::DWORD scaled(ce::DWORD ms);

    std::atomic<bool> m_logEnabled { false };
    ce::ModuleTag* m_library = nullptr;

    ce::PFN_WZCDeleteIntfObj m_WZCDeleteIntfObj = nullptr;
    ce::PFN_WZCDeleteIntfObjEx m_WZCDeleteIntfObjEx = nullptr;
    ce::PFN_WZCEnumInterfaces m_WZCEnumInterfaces = nullptr;
    ce::PFN_WZCPassword2Key m_WZCPassword2Key = nullptr;
    ce::PFN_WZCQueryContext m_WZCQueryContext = nullptr;
    ce::PFN_WZCQueryInterface m_WZCQueryInterface = nullptr;
    ce::PFN_WZCQueryInterfaceEx m_WZCQueryInterfaceEx = nullptr;
    ce::PFN_WZCRefreshInterface m_WZCRefreshInterface = nullptr;
    ce::PFN_WZCRefreshInterfaceEx m_WZCRefreshInterfaceEx = nullptr;
    ce::PFN_WZCSetContext m_WZCSetContext = nullptr;
    ce::PFN_WZCSetInterface m_WZCSetInterface = nullptr;
    ce::PFN_WZCSetInterfaceEx m_WZCSetInterfaceEx = nullptr;

    ce::HANDLE m_stopEvent = nullptr;
    bool m_started = false;

    // Written by the GUI thread when a join starts, taken by the event thread.
    mutable std::mutex m_mutex;
    ce::HWND m_joinWindow = nullptr;
    ce::UINT m_joinMessage = 0;
    std::u16string m_interfaceName; // empty while no adapter was found

    std::vector<ce::WZC_WLAN_CONFIG> m_visible;

    std::mutex m_logMutex;
    // Event thread only: the SSID of the event being handled, and the texts
    // that join notifications pointed their lParam to. The receiver reads a
    // text later in its own thread, so each one is kept (unchanged, in
    // place) while the next notifications are posted.
    std::u16string m_eventSsid;
    std::deque<std::u16string> m_notifiedSsids;
};
