// The sync screen (view 13). On a fresh visit it has one sync engine check
// the server and obtain a session, then runs the sync with a second engine,
// shows its progress and hands the outcome to the alert screen. When a last
// sync time is known it shows that instead and, a minute later, goes back to
// the searching screen for the next sync.
//
// The check and the run block inside this screen's own calls while they pump
// events, so the exit, "WIFI Settings", the hardware key or a release of the
// screens can come in meanwhile: the screen then stays alive until the call
// has returned, does nothing more and is deleted afterwards.
#pragma once

#include "wifi/views/KivoWiFiBaseVirtualList.h"

#include <QBasicTimer>
#include <QElapsedTimer>
#include <QPixmap>
#include <QString>
#include <QTimer>

#include <functional>

class KivoWiFiFlow;
class QLabel;
class QPushButton;
class WiFiSync;
class WiFiSyncView480x272Class;
class phxIcon;
class phxPushButton;
struct WiFiSyncViewTestAccess;

class WiFiSyncView : public KivoWiFiBaseVirtualList {
    Q_OBJECT
public:
    static constexpr int STEP_MS = 1000;
    static constexpr int LOADING_FRAME_MS = 150;
    static constexpr int RESYNC_MS = 60000;

    WiFiSyncView(const QString& resolution, KivoWiFiFlow* flow);
    ~WiFiSyncView() override;

    // Has a fresh engine check the server: code becomes "S000000" (and the
    // session ID is kept for the run) or an error code E123001 to E123007.
    void checkConnectServerStatus(QString& code);
    // Runs one whole sync with a fresh engine and the session of the check.
    void startWiFiSync();
    // The flow's hideAllViews: the check and the run go on while hidden.
    void stopTimers() { }

    void setStyleSheets(const QString& mode) override;
    int getRowCount(const QModelIndex&) override { return 0; }
    void updateItemCtrl(const QModelIndex&, KivoWiFiBaseVLItem*, const QStyleOptionViewItem&) override { }

    // For tests only: what the run does with its engine in place of the
    // engine's own run (null restores it).
    using RunForTests = std::function<void(WiFiSync& engine, const QString& sessionID)>;
    static void setRunForTests(RunForTests run);
    // For tests only: what the check returns in place of the engine's own
    // check (null restores it); it may set the session ID.
    using CheckForTests = std::function<QString(QString& sessionID)>;
    static void setCheckForTests(CheckForTests check);

public slots:
    void backBtnClick();
    void onSyncAsStartupBtnClick();
    void onWiFiSyncStatusSlot(int nActionType, QString szDetail, QString szError);
    void onWiFiSyncFinishSlot(int nNeedUploadNum, int nNeedDownloadNum, int nCurrent, int nTotal, QString szError);
    void onWiFiSyncErrorSlot(QString szError);
    void onWiFiSyncSucessSlot(int nSuccessUploadedNum, int nSuccessDownloadNum, QString szSyncDate);
    void onAutoSyncBtnClick();
    void loadpic();
    void GotoReSync();

protected:
    void timerEvent(QTimerEvent* event) override;
    bool event(QEvent* event) override;

private:
    friend struct WiFiSyncViewTestAccess;
    class Busy;

    void showinfo();
    // The outcome: the alert type, then the alert screen.
    void showAlert(int type);
    // The flow let this screen go (or it was asked to be deleted) during a
    // call: whatever comes afterwards is not for it.
    bool isReleased() const;
    // The last sync time becomes now ("time date"); returns it.
    QString syncTimeNow();
    QString elapsedSeconds() const;
    void writeLog(const QString& text);

    WiFiSyncView480x272Class* m_form;
    QLabel* m_message;
    QLabel* m_title;
    QPushButton* m_settingsBtn;
    phxPushButton* m_exitBtn;
    phxPushButton* m_autoSyncBtn;
    phxIcon* m_tick;
    phxIcon* m_loading;
    KivoWiFiFlow* m_flow;
    QBasicTimer m_stepTimer;
    int m_stepMs = 0; // the step timer's interval before the time scale
    int m_step = 0;
    QTimer m_animationTimer;
    QTimer m_resyncTimer;
    QPixmap m_framePixmap;
    QElapsedTimer m_stopwatch;
    QString m_sessionID;

    int m_busy = 0; // depth of the check and run calls under way
    bool m_deleteWhenIdle = false;
    bool m_outcomeShown = false;
};

// What tests read of the sync screen.
struct WiFiSyncViewTestAccess {
    static bool stepTimerActive(const WiFiSyncView& v) { return v.m_stepTimer.isActive(); }
    static bool resyncTimerActive(const WiFiSyncView& v) { return v.m_resyncTimer.isActive(); }
    static int stepMs(const WiFiSyncView& v) { return v.m_stepMs; }
    static int resyncInterval(const WiFiSyncView& v) { return v.m_resyncTimer.interval(); }
    static bool animating(const WiFiSyncView& v) { return v.m_animationTimer.isActive(); }
    static int step(const WiFiSyncView& v) { return v.m_step; }
};
