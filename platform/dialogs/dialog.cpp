#include "platform/dialogs/dialog.h"

#include "platform/debug.h"
#include "platform/qt/qt_message_pump.h"

#include <QApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QMouseEvent>
#include <QPainter>
#include <QThread>

namespace ce::dlg {

// The dialog's own widget: paints and takes pen-downs through the dialog.
class DialogWidget : public QWidget {
public:
    explicit DialogWidget(Dialog* dialog)
        : QWidget(nullptr, Qt::Dialog | Qt::FramelessWindowHint)
        , m_dialog(dialog)
    {
        setProperty("ce_dialog", QVariant::fromValue(static_cast<void*>(dialog)));
    }
    void detach()
    {
        m_dialog = nullptr;
        setProperty("ce_dialog", QVariant());
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        if (!m_dialog)
            return;
        QPainter p(this);
        m_dialog->onPaint(p);
    }
    void mousePressEvent(QMouseEvent* e) override
    {
        if (m_dialog && e->button() == Qt::LeftButton)
            m_dialog->onPenDown(e->pos());
    }

private:
    Dialog* m_dialog;
};

namespace {

bool onGuiThread()
{
    return QCoreApplication::instance() && QThread::currentThread() == QCoreApplication::instance()->thread();
}

} // namespace

void runOnGuiThread(const std::function<void()>& fn)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || onGuiThread()) {
        fn();
        return;
    }
    QMetaObject::invokeMethod(app, fn, Qt::BlockingQueuedConnection);
}

Dialog::Dialog(int templateId, std::string title)
    : m_templateId(templateId)
    , m_title(std::move(title))
{
}

Dialog::~Dialog()
{
    if (m_hwnd || m_widget)
        runOnGuiThread([this] { finish(); });
}

void Dialog::onMessage(UINT message, Handler handler)
{
    m_map[message] = std::move(handler);
}

void Dialog::onRegisteredMessage(const std::string& name, Handler handler)
{
    const UINT id = registerWindowMessage(name);
    if (id == 0) {
        debugPrintf("dialog %d: cannot register %s", m_templateId, name.c_str());
        return;
    }
    m_map[id] = std::move(handler);
}

void Dialog::keepMessagesInProcess(const std::vector<UINT>& messages)
{
    m_keptInProcess.insert(m_keptInProcess.end(), messages.begin(), messages.end());
    if (m_hwnd)
        ce::keepMessagesInProcess(m_hwnd, messages);
}

LRESULT Dialog::windowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    auto it = m_map.find(message);
    if (it != m_map.end())
        return it->second(wParam, lParam);
    if (message == WM_CLOSE)
        onCancel();
    return 0;
}

bool Dialog::makeWindow()
{
    if (m_hwnd)
        return false;
    m_widget = new DialogWidget(this);
    m_widget->setWindowTitle(QString::fromStdString(m_title));
    m_hwnd = createWindow("Dialog", m_title,
        [this](HWND, UINT message, WPARAM wParam, LPARAM lParam) { return windowProc(message, wParam, lParam); },
        true, m_keptInProcess);
    if (!m_hwnd) {
        delete m_widget;
        return false;
    }
    kivo::QtWindowBinding::bind(m_hwnd, m_widget);
    m_hidden = false;
    m_ended = false;
    // The return value only tells whether the dialog set the focus itself.
    (void)onInitDialog();
    if (!m_hidden && !m_ended)
        m_widget->show();
    return true;
}

void Dialog::finish()
{
    if (m_hwnd) {
        kivo::QtWindowBinding::unbind(m_hwnd);
        ce::destroyWindow(m_hwnd);
        m_hwnd = nullptr;
    }
    if (m_widget)
        static_cast<DialogWidget*>(m_widget.data())->detach();
    delete m_widget;
    onDestroy();
}

intptr_t Dialog::doModal()
{
    if (!onGuiThread()) {
        intptr_t result = -1;
        runOnGuiThread([&] { result = doModal(); });
        return result;
    }
    if (!makeWindow())
        return -1;
    if (!m_ended) {
        QEventLoop loop;
        m_loop = &loop;
        loop.exec(QEventLoop::DialogExec);
        m_loop = nullptr;
    }
    const intptr_t result = m_result;
    finish();
    return result;
}

bool Dialog::create()
{
    bool made = false;
    runOnGuiThread([&] { made = makeWindow(); });
    return made;
}

void Dialog::destroyWindow()
{
    runOnGuiThread([this] { finish(); });
}

void Dialog::endDialog(intptr_t result)
{
    auto end = [this, result] {
        m_result = result;
        m_ended = true;
        if (m_widget)
            m_widget->hide();
        if (m_loop)
            m_loop->exit(0);
    };
    if (onGuiThread() || !QCoreApplication::instance())
        end();
    else
        QMetaObject::invokeMethod(QCoreApplication::instance(), end, Qt::QueuedConnection);
}

void Dialog::showWindow(int command)
{
    m_hidden = command == SW_HIDE;
    if (!m_widget)
        return;
    if (m_hidden)
        m_widget->hide();
    else
        m_widget->show();
}

void Dialog::moveWindow(int x, int y, int width, int height)
{
    if (m_widget)
        m_widget->setGeometry(x, y, width, height);
}

} // namespace ce::dlg

namespace ce::dlg {

void Dialog::setZOrder(bool top)
{
    if (!m_widget)
        return;
    if (top)
        m_widget->raise();
    else
        m_widget->lower();
}

void Dialog::setTopmost()
{
    if (!m_widget)
        return;
    // Changing a window's flags hides it.
    const bool shown = m_widget->isVisible();
    m_widget->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    if (shown)
        m_widget->show();
    m_widget->raise();
}

bool Dialog::isVisible() const
{
    return m_widget && m_widget->isVisible();
}

void Dialog::invalidate()
{
    if (m_widget)
        m_widget->update();
}

void Dialog::onClicked(int controlId, std::function<void()> handler)
{
    m_clicks[controlId] = std::move(handler);
}

void Dialog::command(int controlId)
{
    auto it = m_clicks.find(controlId);
    if (it != m_clicks.end()) {
        // The handler may end the dialog or set another handler.
        const std::function<void()> handler = it->second;
        handler();
    } else if (controlId == IDOK) {
        onOK();
    } else if (controlId == IDCANCEL) {
        onCancel();
    }
}

Dialog* Dialog::fromWidget(QWidget* widget)
{
    if (!widget)
        return nullptr;
    return static_cast<Dialog*>(widget->property("ce_dialog").value<void*>());
}

} // namespace ce::dlg
