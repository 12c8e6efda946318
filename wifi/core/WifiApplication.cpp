#include "wifi/core/WifiApplication.h"

#include "platform/qt/qt_message_pump.h"
#include "wifi/core/KivoWiFiFlow.h"
#include "wifi/core/SystemHelper.h"

#include <QMouseEvent>
#include <QWindow>

// What the filter acts upon: the flow, reached through its accessor.
class WifiApplication::FlowTarget : public kivowifi::MessageFilterTarget {
public:
    static KivoWiFiFlow* flow() { return KivoWiFiFlow::existingInstance(); }

    bool flowExists() const override { return flow() != nullptr; }
    int currentView() const override { return flow()->currentViewId(); }
    bool screenShown() const override { return flow()->isScreenShown(); }
    bool loginPending() const override { return flow()->isLoginPending(); }
    void exitPressed() override { flow()->onExitBtnClick(); }
    void backPressed() override { flow()->onBackBtnClick(); }

    void keyboardText(const QString& text) override { flow()->onKeyboardText(text); }

    void browserLoginFinished() override
    {
        KivoWiFiFlow* f = flow();
        f->setLoginResult(1);
        if (f->currentViewId() == SEARCHING_VIEW_ID) {
            // The index of the joined network: a network saved while hidden
            // is looked up by name in the scan, any other was noted for its
            // slot when the searching screen picked it.
            WiFiSettings inUse = f->getWiFiSettings();
            if (inUse.userName == QLatin1String("Hidden")) {
                for (int i = 0, n = f->getAPCount(); i < n; ++i)
                    if (f->getAPName(i) == inUse.network) {
                        f->setSavedAPIndex(i);
                        break;
                    }
            } else if (inUse.userName == QLatin1String("User")) {
                f->setSavedAPIndex(f->slotVisibleIndex(f->savedNetworkCursor()));
            }
        }
        f->saveWiFiSettings();
        f->readWiFiSettings();
        f->writeLog(QStringLiteral("[In WifiApplication - kivowifi->saveWiFiSettings()] Save AP!"));
        f->restartStatusTimer();
        f->setScreenShown(false);
        f->setLoginPending(false);
        f->writeLog(QStringLiteral("WM_BROWSER_EXIT_LOGIN_SUCESSFULLY"));
        f->switchView(SYNC_VIEW_ID, 0);
    }

    void browserLoginUnfinished() override
    {
        KivoWiFiFlow* f = flow();
        f->clearEapolSettings();
        f->setScreenShown(false);
        f->restartStatusTimer();
        f->writeLog(QStringLiteral("WM_BROWSER_EXIT_LOGIN_UNFINISHED"));
    }

    void activated() override
    {
        SystemHelper* system = SystemHelper::instance();
        system->setLanguage(system->readLanguage());
        system->setDayNight(system->readDayNight());
        flow()->writeLog(
            QStringLiteral("[In WifiApplication - winEventFilter()] WM_ACTIVATE: language and day/night reloaded"));
    }

    void broadcast(ce::UINT message) override { ce::postMessage(ce::HWND_BROADCAST, message, 0, 0); }

    void log(const QString& text) override
    {
        if (KivoWiFiFlow* f = flow())
            f->writeLog(text);
    }
};

// Turns left-button presses on the program's windows into WM_LBUTTONDOWN for
// the filter, as the device delivers them.
class WifiApplication::TouchWatcher : public QObject {
public:
    explicit TouchWatcher(WifiApplication* app)
        : m_app(app)
    {
        app->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // A press reaches the program's window once, before any widget.
        if (event->type() == QEvent::MouseButtonPress && qobject_cast<QWindow*>(watched)) {
            auto* me = static_cast<QMouseEvent*>(event);
            if (me->button() == Qt::LeftButton) {
                KivoWiFiFlow* flow = KivoWiFiFlow::existingInstance();
                QPoint at = me->pos();
                ce::MSG msg { flow ? flow->flowWindow() : nullptr, ce::WM_LBUTTONDOWN, 1,
                    ce::LPARAM((at.x() & 0xFFFF) | ((at.y() & 0xFFFF) << 16)), 0 };
                if (m_app->winEventFilter(msg))
                    return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    WifiApplication* m_app;
};

WifiApplication::WifiApplication(int& argc, char** argv)
    : QApplication(argc, argv)
    , m_target(new FlowTarget)
    , m_filter(new kivowifi::SystemMessageFilter(*m_target))
{
    ce::setThreadMessageFilter([this](const ce::MSG& msg) { return winEventFilter(msg); });
    // Window messages reach the filter while the Qt event loop runs.
    kivo::QtMessagePump::install(this);
    m_touchWatcher.reset(new TouchWatcher(this));
}

WifiApplication::~WifiApplication()
{
    ce::setThreadMessageFilter(nullptr);
    m_touchWatcher.reset();
}

bool WifiApplication::winEventFilter(const ce::MSG& msg)
{
    return m_filter->filter(msg);
}
