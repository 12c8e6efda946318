#include "platform/dialogs/dialog.h"

#include "platform/debug.h"
#include "platform/qt/qt_message_pump.h"

#include <QApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QThread>

namespace ce::dlg {

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
    m_widget = new QWidget(nullptr, Qt::Dialog | Qt::FramelessWindowHint);
    m_widget->setWindowTitle(QString::fromStdString(m_title));
    m_hwnd = createWindow("Dialog", m_title,
        [this](HWND, UINT message, WPARAM wParam, LPARAM lParam) { return windowProc(message, wParam, lParam); });
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
