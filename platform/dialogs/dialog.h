// Dialogs bound to a window handle, drawn with a Qt widget: the layer the
// Bluetooth manager's windows are written on. A dialog's window belongs to
// the GUI thread, whose Qt event loop pumps its window messages (install
// kivo::QtMessagePump first); messages reach the dialog through its message
// map. A dialog runs modal (a nested event loop until endDialog, so modal
// dialogs nest) or modeless, and may stay hidden. Opened from a worker
// thread, it runs on the GUI thread while the worker waits.
#pragma once

#include "platform/wm.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <map>
#include <string>
#include <vector>

class QEventLoop;
class QPainter;

namespace ce::dlg {

constexpr intptr_t IDOK = 1;
constexpr intptr_t IDCANCEL = 2;

// Runs fn on the GUI thread and returns when it has run (at once when
// called there).
void runOnGuiThread(const std::function<void()>& fn);

class Dialog {
public:
    // templateId names the dialog's layout; title is its window title (how
    // other programs find it).
    Dialog(int templateId, std::string title);
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Creates the window, runs onInitDialog, shows the dialog unless it hid
    // itself, and runs until endDialog; the window is destroyed before the
    // result is returned. -1 when the window cannot be made.
    intptr_t doModal();
    // Creates the window and runs onInitDialog; shows it unless it hid
    // itself. False when it cannot be made or exists already.
    bool create();
    // Ends a modal run with result (from any thread, also from
    // onInitDialog, before the run begins).
    void endDialog(intptr_t result);
    // Destroys a modeless dialog's window (on the GUI thread).
    void destroyWindow();

    HWND hwnd() const { return m_hwnd; }
    QWidget* widget() const { return m_widget; }
    int templateId() const { return m_templateId; }
    const std::string& title() const { return m_title; }
    bool isModal() const { return m_loop != nullptr; }

    // On the GUI thread.
    void showWindow(int command);
    void moveWindow(int x, int y, int width, int height);
    // Top (true) or bottom of the z-order, without moving or resizing.
    void setZOrder(bool top);
    // Above every window that is not topmost, and at the top of those
    // that are, without moving or resizing.
    void setTopmost();
    bool isVisible() const;
    // Repaints the dialog's own face (what onPaint draws).
    void invalidate();

    // A child control's click (as the button control notifies its dialog):
    // runs the handler set with onClicked; IDOK and IDCANCEL without one
    // run onOK and onCancel.
    void command(int controlId);
    // The dialog a widget shows, or null.
    static Dialog* fromWidget(QWidget* widget);

protected:
    virtual bool onInitDialog() { return true; }
    virtual void onOK() { endDialog(IDOK); }
    virtual void onCancel() { endDialog(IDCANCEL); }
    // Runs after the window is gone.
    virtual void onDestroy() { }
    // Draws the dialog's face (nothing by default).
    virtual void onPaint(QPainter&) { }
    // A pen-down on the dialog itself, outside its controls.
    virtual void onPenDown(const QPoint&) { }
    void onClicked(int controlId, std::function<void()> handler);

    // The message map: one handler per message. A registered message is
    // mapped by its name. Messages without a handler return 0 (WM_CLOSE:
    // onCancel).
    using Handler = std::function<LRESULT(WPARAM, LPARAM)>;
    void onMessage(UINT message, Handler handler);
    void onRegisteredMessage(const std::string& name, Handler handler);
    // Messages the dialog's window takes from its own process only (see
    // ce::keepMessagesInProcess); named before the window is made, they are
    // kept so from its creation on.
    void keepMessagesInProcess(const std::vector<UINT>& messages);
    virtual LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam);

private:
    bool makeWindow();
    void finish();

    const int m_templateId;
    const std::string m_title;
    HWND m_hwnd = nullptr;
    QPointer<QWidget> m_widget;
    std::map<UINT, Handler> m_map;
    std::map<int, std::function<void()>> m_clicks;
    std::vector<UINT> m_keptInProcess;
    friend class DialogWidget;
    QEventLoop* m_loop = nullptr;
    bool m_hidden = false;
    bool m_ended = false;
    intptr_t m_result = 0;
};

} // namespace ce::dlg
