// The connecting screen (view 2): joins the network set up on the add-network
// screen, animates while it waits for the connection, has the probe judge it
// and, by the verdict, saves the network and opens the sync screen, starts
// the captive-portal browser, or returns to the network list. Without a
// connection or a verdict in time it shows a failure message whose OK leads
// back to the add-network screen.
#pragma once

#include "wifi/views/KivoWiFiBaseVirtualList.h"

#include <QBasicTimer>
#include <QPixmap>
#include <QTimer>

class KivoWiFiFlow;
class QLabel;
class WiFiConnectView480x272Class;
class phxIcon;
class phxPushButton;
struct WiFiConnectViewTestAccess;

class WiFiConnectView : public KivoWiFiBaseVirtualList {
    Q_OBJECT
public:
    static constexpr int POLL_MS = 3000;
    static constexpr int ICON_FRAME_MS = 150;

    WiFiConnectView(const QString& resolution, KivoWiFiFlow* flow);
    ~WiFiConnectView() override;

    // Run by the switch to this screen once the record to join is in place.
    void setupView();
    void stopTimers();
    void startCheckBrowser();

    void setStyleSheets(const QString&) override { }
    int getRowCount(const QModelIndex&) override { return 0; }
    void updateItemCtrl(const QModelIndex&, KivoWiFiBaseVLItem*, const QStyleOptionViewItem&) override { }

public slots:
    void onDisConnectBtnClick();
    void onDisConnectBtnClick2();
    void ConnectIcon();

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    friend struct WiFiConnectViewTestAccess;

    QString shownName() const;
    void showFailure();
    void writeLog(const QString& text);

    WiFiConnectView480x272Class* m_form;
    QLabel* m_message;
    phxPushButton* m_cancelBtn;
    phxPushButton* m_okBtn;
    phxIcon* m_icon;
    KivoWiFiFlow* m_pFlow;
    QBasicTimer m_pollTimer;
    int m_pollMs = 0; // the poll timer's interval before the time scale
    int m_probeTicks = 0;
    int m_probeState = 0;
    int m_notConnectedTicks = 0;
    QTimer m_iconTimer;
    QPixmap m_iconPixmap;
    int m_iconFrame = 1;
    QString m_shortName;
};

// What tests drive and read of the connecting screen.
struct WiFiConnectViewTestAccess {
    // One poll, as if the timer had fired; false while it is stopped.
    static bool tick(WiFiConnectView& v);
    static bool iconAnimating(const WiFiConnectView& v) { return v.m_iconTimer.isActive(); }
    static int probeState(const WiFiConnectView& v) { return v.m_probeState; }
    static int pollMs(const WiFiConnectView& v) { return v.m_pollMs; }
};
