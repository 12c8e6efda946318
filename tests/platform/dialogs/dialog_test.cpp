#include "platform/dialogs/dialog.h"
#include "platform/qt/qt_message_pump.h"
#include "tests/support/temp_root.h"

#include <QApplication>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using namespace ce;
using ce::dlg::Dialog;

namespace {

constexpr UINT WM_FINISH = WM_USER + 1;
constexpr UINT WM_NEST = WM_USER + 2;

struct App {
    int argc = 1;
    char name[8] = "test";
    char* argv[1] = { name };
    QApplication app { argc, argv };
    App() { kivo::QtMessagePump::install(&app); }
};

App& app()
{
    static App* a = new App;
    return *a;
}

// A dialog whose map ends it with wParam, opens a nested dialog on WM_NEST,
// and notes what ran where.
class TestDialog : public Dialog {
public:
    TestDialog(int id, std::string title, std::vector<std::string>* log, bool hide = false)
        : Dialog(id, std::move(title))
        , m_log(log)
        , m_hide(hide)
    {
        onMessage(WM_FINISH, [this](WPARAM w, LPARAM) {
            m_log->push_back(this->title() + " finish");
            endDialog(intptr_t(w));
            return LRESULT(1);
        });
        onMessage(WM_NEST, [this](WPARAM, LPARAM) {
            TestDialog inner(2, "Inner", m_log);
            // Ends the inner one from another thread once it runs.
            std::thread([] {
                HWND h = nullptr;
                while (!(h = findWindow("Dialog", "Inner")))
                    QThread::msleep(5);
                postMessage(h, WM_FINISH, 7, 0);
            }).detach();
            m_log->push_back("inner returned " + std::to_string(inner.doModal()));
            return LRESULT(0);
        });
        onRegisteredMessage("WM_TEST_DIALOG_PING", [this](WPARAM, LPARAM) {
            m_log->push_back(this->title() + " ping");
            return LRESULT(42);
        });
    }
    bool initOnGuiThread = false;

protected:
    bool onInitDialog() override
    {
        initOnGuiThread = QThread::currentThread() == qApp->thread();
        m_log->push_back(title() + " init");
        if (m_hide)
            showWindow(SW_HIDE);
        return true;
    }
    void onDestroy() override { m_log->push_back(title() + " destroyed"); }

private:
    std::vector<std::string>* m_log;
    bool m_hide;
};

class Dialogs : public ::testing::Test {
protected:
    void SetUp() override { app(); }
    kivo::test::TempDeviceRoot root;
    std::vector<std::string> log;
};

} // namespace

TEST_F(Dialogs, ModalRunsUntilEndedAndNests)
{
    TestDialog outer(1, "Outer", &log);
    // Messages from another thread: first the nested dialog, then the end.
    std::thread sender([] {
        HWND h = nullptr;
        while (!(h = findWindow("Dialog", "Outer")))
            QThread::msleep(5);
        sendMessage(h, WM_NEST, 0, 0); // returns once the inner dialog has ended
        postMessage(h, WM_FINISH, 3, 0);
    });
    EXPECT_EQ(outer.doModal(), 3);
    sender.join();
    EXPECT_EQ(log, (std::vector<std::string> { "Outer init", "Inner init", "Inner finish", "Inner destroyed",
                       "inner returned 7", "Outer finish", "Outer destroyed" }));
    EXPECT_EQ(outer.hwnd(), nullptr);
    EXPECT_EQ(findWindow("Dialog", "Outer"), nullptr);
}

TEST_F(Dialogs, EndedDuringInitReturnsAtOnceAndCloseCancels)
{
    struct Quick : TestDialog {
        using TestDialog::TestDialog;
        bool onInitDialog() override
        {
            endDialog(5);
            return true;
        }
    } quick(3, "Quick", &log);
    EXPECT_EQ(quick.doModal(), 5);

    TestDialog closing(4, "Closing", &log);
    QTimer::singleShot(0, [] { postMessage(findWindow("Dialog", "Closing"), WM_CLOSE, 0, 0); });
    EXPECT_EQ(closing.doModal(), dlg::IDCANCEL);
}

TEST_F(Dialogs, ModalFromAWorkerRunsOnTheGuiThread)
{
    TestDialog d(5, "FromWorker", &log);
    std::atomic<intptr_t> result { -2 };
    std::thread worker([&] { result = d.doModal(); });
    // The GUI thread serves the dialog (its modal loop runs inside the
    // events processed here); another thread's endDialog reaches it.
    std::thread ender([&] {
        while (!findWindow("Dialog", "FromWorker"))
            QThread::msleep(5);
        d.endDialog(9);
    });
    while (result == -2)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    worker.join();
    ender.join();
    EXPECT_EQ(result, 9);
    EXPECT_TRUE(d.initOnGuiThread);
}

TEST_F(Dialogs, HiddenModelessAnswersThroughItsMap)
{
    TestDialog d(6, "KivoBT", &log, true);
    ASSERT_TRUE(d.create());
    EXPECT_FALSE(d.create()) << "one window per dialog";
    ASSERT_NE(d.hwnd(), nullptr);
    EXPECT_FALSE(d.widget()->isVisible());
    EXPECT_EQ(findWindow(nullptr, "KivoBT"), d.hwnd());

    std::atomic<LRESULT> answer { 0 };
    std::atomic<bool> done { false };
    std::thread client([&] {
        answer = sendMessage(findWindow(nullptr, "KivoBT"), registerWindowMessage("WM_TEST_DIALOG_PING"), 0, 0);
        done = true;
    });
    while (!done)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    client.join();
    EXPECT_EQ(answer, 42);
    d.destroyWindow();
    EXPECT_EQ(findWindow(nullptr, "KivoBT"), nullptr);
    EXPECT_EQ(log.back(), "KivoBT destroyed");
}
