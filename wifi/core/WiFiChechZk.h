// The internet and captive-portal probe: a thread that asks the outside
// probe ZK_GetHttpStatus (library httptest) whether the sync service's 204
// page answers, and reports only through CheckBrowserStatus.ini:
// "LaunchBrowser=1" internet, "=0" captive portal (probed again every
// 3 seconds), "=2" no internet.
//
// At most one probe judges: constructing a probe stops the one before
// without waiting for it (its call to the outside probe may hang), and a
// stopped probe never writes its verdict, so a later join cannot be judged
// by the probe of an earlier one.
#pragma once

#include <QMutex>
#include <QPointer>
#include <QSettings>
#include <QThread>
#include <QWaitCondition>

class WiFiChechZk : public QThread {
    Q_OBJECT
public:
    // The URL of the sync service's page that answers with status 204.
    static const char16_t* const PROBE_URL;
    // The status the probe expects from it.
    static const char* const PROBE_EXPECTED;
    // Pause between two probes while a captive portal answers.
    static constexpr int ROUND_INTERVAL_MS = 3000;

    // Stops the probe running before (without waiting for it), then becomes
    // the running one. Reads the log switch from DebugSetting.ini.
    WiFiChechZk();
    // Stops the probe and waits for its thread.
    ~WiFiChechZk() override;

    // The probe loop (run by the thread).
    void CheckLauchZKInit();
    // One probe: ZK_GetHttpStatus(PROBE_URL, "204"); -1 when the probe
    // library or its function is missing.
    int getHttpStatus();
    // Replaces CheckBrowserStatus.ini by the verdict for a probe result.
    void writeBrowserStatus(int status);
    // One line to WifiThreadLog.txt when the log switch is on.
    void writeThreadLog(const QString& text);

    // Ends the loop: a pause wakes at once, and a probe still in progress is
    // not written once it returns. Safe from any thread.
    void requestStop();
    bool isStopRequested() const;
    // The last probe result.
    int status() const;

    // Stops the running probe, if any, without waiting for its thread: from
    // then on it writes nothing, and its thread ends when its outside probe
    // call returns (or with the process). Always true.
    static bool stopActiveProbe();
    // The same, for a join: a new join makes the running probe's verdict stale.
    static void requestStopActiveProbe();

    // Tests only: shortens the pause between probes (0 or less restores it).
    static void setRoundIntervalForTesting(int ms);

protected:
    void run() override;

private:
    // stopActiveProbe with the running probe's lock already held.
    static bool stopActiveLocked();

    int m_status;
    bool m_stop;
    QPointer<QSettings> m_debugSettings;
    bool m_log;

    mutable QMutex m_lock; // guards m_status, m_stop and the verdict write
    QWaitCondition m_wake;
};
