// The searching screen (view 11), KivoWiFi's start screen: it joins the saved
// networks in range one after the other, has the probe judge the connection,
// hands a captive portal to the browser and opens the sync screen once the
// internet answers; failures lead to the alert screen (or the exit in the
// auto-sync start mode). It also carries the "Sync at Start-up" switch.
#pragma once

#include "wifi/views/KivoWiFiBaseVirtualList.h"

#include <QBasicTimer>
#include <QModelIndex>
#include <QPixmap>
#include <QStringList>
#include <QTimer>

class KivoWiFiFlow;
class QLabel;
class QPushButton;
class WiFiSearchingView480x272Class;
class phxIcon;
class phxPushButton;
struct WiFiSearchingViewTestAccess;

class WiFiSearchingView : public KivoWiFiBaseVirtualList {
    Q_OBJECT
public:
    static constexpr int JOIN_TICK_MS = 4000;
    static constexpr int BROWSER_TICK_MS = 2000;
    static constexpr int LOADING_FRAME_MS = 200;
    // Ticks without a connection before the next candidate is tried.
    static constexpr int TICKS_PER_CANDIDATE = 3;

    WiFiSearchingView(const QString& resolution, KivoWiFiFlow* flow);
    ~WiFiSearchingView() override;

    // Run in this order by every switch to this screen.
    void RefreshList();
    void setupView();
    // The flow's status poll, once per visit: picks the saved networks in
    // range and joins the first (or opens the sync screen when connected).
    void DoAutoConnect();
    void stopTimers();
    void startCheckBrowser();
    // The reaction to the probe's verdict: 0 portal (start the browser),
    // above 0 internet (save, sync), below 0 no internet (alert).
    void onCheckZKStatusSlot(int status);

    void setStyleSheets(const QString& mode) override;
    int getRowCount(const QModelIndex&) override { return 0; }
    void updateItemCtrl(const QModelIndex&, KivoWiFiBaseVLItem*, const QStyleOptionViewItem&) override { }

public slots:
    void onAPListItemSelected(QModelIndex modelindex);
    void onRefreshBtnClick();
    void onAutoSyncBtnClick();
    void loadpic();

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    friend struct WiFiSearchingViewTestAccess;

    void joinSlot(int slot);
    int firstCandidate() const;
    // Stops the auto-connect, status and animation timers.
    void stopAll();
    // Alert type 0, or the exit in the auto-sync start mode.
    void giveUp();
    void startAutoConnectTimer(int ms);
    void writeLog(const QString& text);

    WiFiSearchingView480x272Class* m_form;
    QLabel* m_searchInfo;
    QPushButton* m_refBtn;
    phxPushButton* m_autoSyncBtn;
    phxIcon* m_tick;
    phxIcon* m_loading;
    KivoWiFiFlow* m_pFlow;
    QBasicTimer m_autoConnectTimer;
    int m_autoConnectMs = 0;
    int m_probeState = 0;
    bool m_browserStarted = false;
    QPixmap m_framePixmap;
    QStringList m_visibleNames;
    bool m_inRange[5] = {};
    int m_tickCount = 0;
    QTimer m_animationTimer;
};

// What tests drive and read of the searching screen.
struct WiFiSearchingViewTestAccess {
    // One tick of the auto-connect timer, as if it had fired; false (and
    // nothing happens) while the timer is stopped.
    static bool tick(WiFiSearchingView& v);
    static bool autoConnectActive(const WiFiSearchingView& v) { return v.m_autoConnectTimer.isActive(); }
    static int autoConnectMs(const WiFiSearchingView& v) { return v.m_autoConnectMs; }
    static bool animating(const WiFiSearchingView& v) { return v.m_animationTimer.isActive(); }
    static int probeState(const WiFiSearchingView& v) { return v.m_probeState; }
    static bool inRange(const WiFiSearchingView& v, int slot) { return v.m_inRange[slot]; }
};
