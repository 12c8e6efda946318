// Window messages in Qt programs.
//
// QtMessagePump watches the GUI thread's window-message queue from its
// Qt event loop and dispatches what arrives (through the thread's message
// filter, see ce::setThreadMessageFilter), so posted and sent messages reach
// a Qt program while its event loop runs, modal loops included. A WM_QUIT
// ends the application's event loop with its exit code. ce::pumpMessages() works
// alongside it, for waits that block the event loop.
//
// QtWindowBinding ties a window handle to the widget that shows it, so that
// ce::setForegroundWindow (from any process) raises and activates the widget
// and ce::showWindow shows or hides it.
#pragma once

#include "platform/wm.h"

#include <QObject>

class QCoreApplication;
class QSocketNotifier;
class QWidget;

namespace kivo {

class QtMessagePump : public QObject {
public:
    // Installs the pump for the application's (GUI) thread, which must be
    // the calling thread (else null); it lives as long as app. Calling it
    // again returns the same pump.
    static QtMessagePump* install(QCoreApplication* app);
    // The calling thread's pump, or null.
    static QtMessagePump* current();

    // Dispatches everything pending now.
    void drain();

    ~QtMessagePump() override;

private:
    explicit QtMessagePump(QCoreApplication* app);
    QSocketNotifier* m_notifier = nullptr;
};

class QtWindowBinding {
public:
    // Bringing window to the front shows, raises and activates widget;
    // showing or hiding window shows or hides it. Call on the thread that
    // owns window (the GUI thread). The binding ends with the widget.
    static void bind(ce::HWND window, QWidget* widget);
    static void unbind(ce::HWND window);
};

} // namespace kivo
