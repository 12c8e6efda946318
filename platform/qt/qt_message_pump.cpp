#include "platform/qt/qt_message_pump.h"

#include "platform/debug.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSocketNotifier>
#include <QThread>
#include <QWidget>

namespace kivo {

namespace {
thread_local QtMessagePump* t_pump = nullptr;
} // namespace

QtMessagePump* QtMessagePump::install(QCoreApplication* app)
{
    if (t_pump)
        return t_pump;
    if (!app) {
        ce::debugOutput("window messages: no application to pump for");
        return nullptr;
    }
    if (QThread::currentThread() != app->thread()) {
        // The pump is the application's child and lives in its event loop.
        ce::debugOutput("window messages: the Qt pump belongs on the application's thread");
        return nullptr;
    }
    t_pump = new QtMessagePump(app);
    return t_pump;
}

QtMessagePump* QtMessagePump::current()
{
    return t_pump;
}

QtMessagePump::QtMessagePump(QCoreApplication* app)
    : QObject(app)
{
    int fd = ce::messageWakeFd();
    if (fd < 0) {
        ce::debugOutput("window messages: this thread has no message queue to watch");
        return;
    }
    m_notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] { drain(); });
    // Whatever arrived before the loop started.
    drain();
}

QtMessagePump::~QtMessagePump()
{
    if (t_pump == this)
        t_pump = nullptr;
}

void QtMessagePump::drain()
{
    ce::pumpMessages();
    ce::MSG msg;
    if (ce::peekMessage(&msg, nullptr, ce::WM_QUIT, ce::WM_QUIT, ce::PM_REMOVE))
        QCoreApplication::exit(int(msg.wParam));
}

void QtWindowBinding::bind(ce::HWND window, QWidget* widget)
{
    QPointer<QWidget> w(widget);
    ce::setWindowActions(
        window,
        [w](int command) {
            if (w)
                w->setVisible(command != ce::SW_HIDE);
        },
        [w] {
            if (!w)
                return;
            w->show();
            w->raise();
            w->activateWindow();
        });
}

void QtWindowBinding::unbind(ce::HWND window)
{
    ce::setWindowActions(window, {}, {});
}

} // namespace kivo
