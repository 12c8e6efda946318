#include "wifi/core/WiFiChechZk.h"

#include "platform/debug.h"
#include "platform/loader.h"
#include "platform/paths.h"
#include "wifi/core/probe_files.h"
#include "wifi/sync/servicehost.h"

#include <QDeadlineTimer>

#include <atomic>
#include <cstdlib>

namespace {

using ZkGetHttpStatusFn = int (*)(const char16_t* url, const char* expected);

// The longest a stop waits for a probe thread: the outside probe call
// cannot be interrupted, but its own time-out bounds it.
constexpr unsigned long STOP_WAIT_MS = 20000;

std::atomic<int> g_roundIntervalMs { WiFiChechZk::ROUND_INTERVAL_MS };

QMutex g_activeLock;
WiFiChechZk* g_active = nullptr;

ZkGetHttpStatusFn probeFunction()
{
    // Resolved once for the process; the library stays loaded.
    static ce::HMODULE module = nullptr;
    static ZkGetHttpStatusFn fn = [] {
        module = ce::loadLibrary("httptest.dll");
        if (!module) {
            ce::debugOutput("[WiFiChechZk] httptest.dll not loaded");
            return ZkGetHttpStatusFn(nullptr);
        }
        auto f = reinterpret_cast<ZkGetHttpStatusFn>(ce::getProcAddress(module, "ZK_GetHttpStatus"));
        if (!f) {
            ce::debugOutput("[WiFiChechZk] ZK_GetHttpStatus missing in httptest.dll");
            ce::freeLibrary(module);
            module = nullptr;
        }
        return f;
    }();
    return fn;
}

QString outcomeText(int status)
{
    if (status == 0)
        return QStringLiteral("get_status = 0, captive portal: LaunchBrowser=0");
    if (status < 0)
        return QStringLiteral("get_status = %1, no internet: LaunchBrowser=2").arg(status);
    return QStringLiteral("get_status = %1, internet reachable: LaunchBrowser=1").arg(status);
}

} // namespace

const char16_t* const WiFiChechZk::PROBE_URL = u"http://" KIVO_SYNC_PRODUCTION_HOST "/v1/generate_204.php";
const char* const WiFiChechZk::PROBE_EXPECTED = "204";

WiFiChechZk::WiFiChechZk()
    : QThread(nullptr)
    , m_status(0)
    , m_stop(false)
    , m_log(false)
{
    // The program ends without deleting its probes: the running one is
    // stopped before the services it logs through are torn down.
    static const bool stopAtExit = (std::atexit([] { WiFiChechZk::stopActiveProbe(); }), true);
    (void)stopAtExit;

    {
        // Stopping the previous probe and taking its place is one step, so no
        // other probe can start in between.
        QMutexLocker locker(&g_activeLock);
        stopActiveLocked();
        g_active = this;
    }
    std::string settings = ce::resolvePath("\\SystemDrive\\Falmo\\program\\wifi\\DebugSetting.ini");
    m_debugSettings = new QSettings(QString::fromStdString(settings), QSettings::IniFormat, this);
    if (m_debugSettings)
        m_log = m_debugSettings->value(QStringLiteral("EnableLog")).toString() == QLatin1String("true");
}

WiFiChechZk::~WiFiChechZk()
{
    {
        QMutexLocker locker(&g_activeLock);
        if (g_active == this)
            g_active = nullptr;
    }
    requestStop();
    if (!wait(QDeadlineTimer(STOP_WAIT_MS))) {
        ce::debugOutput("[WiFiChechZk] probe thread overran its stop; waiting for the probe call to return");
        wait();
    }
}

void WiFiChechZk::run()
{
    CheckLauchZKInit();
}

void WiFiChechZk::CheckLauchZKInit()
{
    if (isStopRequested())
        return;
    for (;;) {
        writeThreadLog(QStringLiteral("[In CheckLauchZK - CheckLauchZKInit()] get_status START ====>"));
        int status = getHttpStatus();
        {
            QMutexLocker locker(&m_lock);
            // Stopped while probing: the verdict belongs to a connection that
            // is no longer the one being judged.
            if (m_stop)
                break;
            m_status = status;
            writeBrowserStatus(status);
            if (status != 0)
                m_stop = true;
        }
        writeThreadLog(QStringLiteral("[In CheckLauchZK - CheckLauchZKInit()] get_status GET"));
        writeThreadLog(QStringLiteral("[In CheckLauchZK - CheckLauchZKInit()] ") + outcomeText(status));
        writeThreadLog(QStringLiteral("[In CheckLauchZK - CheckLauchZKInit()] get_status END <====="));

        QMutexLocker locker(&m_lock);
        QDeadlineTimer pause(g_roundIntervalMs.load());
        while (!m_stop && !pause.hasExpired())
            m_wake.wait(&m_lock, pause);
        if (m_stop)
            break;
    }
}

int WiFiChechZk::getHttpStatus()
{
    ZkGetHttpStatusFn fn = probeFunction();
    if (!fn)
        return -1;
    return fn(PROBE_URL, PROBE_EXPECTED);
}

void WiFiChechZk::writeBrowserStatus(int status)
{
    if (!kivowifi::writeLaunchBrowser(kivowifi::launchBrowserValueForProbe(status)))
        writeThreadLog(QStringLiteral("[In CheckLauchZK - writeBrowserStatus()] CheckBrowserStatus.ini not written"));
}

void WiFiChechZk::writeThreadLog(const QString& text)
{
    if (!m_log)
        return;
    kivowifi::appendLogLine(
        QString::fromLatin1(kivowifi::LOG_FOLDER) + QStringLiteral("/WifiThreadLog.txt"), text, false);
}

void WiFiChechZk::requestStop()
{
    QMutexLocker locker(&m_lock);
    m_stop = true;
    m_wake.wakeAll();
}

bool WiFiChechZk::isStopRequested() const
{
    QMutexLocker locker(&m_lock);
    return m_stop;
}

int WiFiChechZk::status() const
{
    QMutexLocker locker(&m_lock);
    return m_status;
}

bool WiFiChechZk::stopActiveProbe()
{
    // Held for the whole stop so two callers cannot pass each other.
    QMutexLocker locker(&g_activeLock);
    return stopActiveLocked();
}

bool WiFiChechZk::stopActiveLocked()
{
    // Told to stop, not waited for: a probe call that hangs must not hold up
    // the caller (the GUI thread, the exit). Its late verdict is discarded,
    // and its thread ends when the call returns (or with the process).
    WiFiChechZk* probe = g_active;
    g_active = nullptr;
    if (probe)
        probe->requestStop();
    return true;
}

void WiFiChechZk::requestStopActiveProbe()
{
    QMutexLocker locker(&g_activeLock);
    if (g_active)
        g_active->requestStop();
}

void WiFiChechZk::setRoundIntervalForTesting(int ms)
{
    g_roundIntervalMs = ms > 0 ? ms : ROUND_INTERVAL_MS;
}
