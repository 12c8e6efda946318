// KivoBT's screens in a test: a Qt application with the window-message pump,
// the program's folder fresh from the device template (bitmaps,
// LANGUAGE.ini, English strings) in the test's device root, and a client
// window that notes the messages it gets.
#pragma once

#include "bt/core/bt_ipc.h"
#include "bt/core/bt_messages.h"
#include "bt/lang/config_file.h"
#include "bt/lang/lang_strings.h"
#include "bt/ui/bmp_btn.h"
#include "platform/dialogs/dialog.h"
#include "platform/dialogs/gdi.h"
#include "platform/dialogs/services.h"
#include "platform/paths.h"
#include "platform/qt/qt_message_pump.h"
#include "platform/wm.h"

#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace kivo::bt::test {

inline QApplication& app()
{
    static int argc = 1;
    static char name[] = "test";
    static char* argv[] = { name, nullptr };
    static QApplication* a = [] {
        auto* q = new QApplication(argc, argv);
        kivo::QtMessagePump::install(q);
        return q;
    }();
    return *a;
}

constexpr const char* kProgramDir = "\\SystemDrive\\Falmo\\program\\bt";

// A client window noting the messages it gets.
class Client {
public:
    Client()
    {
        m_hwnd = ce::createWindow("BtUiTest", "client", [this](ce::HWND, ce::UINT m, ce::WPARAM w, ce::LPARAM) {
            notes.push_back({ m, w });
            return ce::LRESULT(0);
        });
        RegisterClientWindow(m_hwnd);
    }
    ~Client()
    {
        UnregisterClientWindow(m_hwnd);
        ce::destroyWindow(m_hwnd);
    }
    int count(ce::UINT message)
    {
        ce::pumpMessages();
        int n = 0;
        for (const auto& note : notes)
            n += note.first == message;
        return n;
    }
    // The messages in the order they came, with their wParam.
    std::vector<std::pair<ce::UINT, ce::WPARAM>> received()
    {
        ce::pumpMessages();
        return notes;
    }
    std::vector<std::pair<ce::UINT, ce::WPARAM>> notes;

private:
    ce::HWND m_hwnd;
};

inline std::string writeDeviceFile(const std::string& devicePath, const std::string& content)
{
    const std::string path = ce::resolvePath(devicePath, true);
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f << content;
    return path;
}

inline std::string readDeviceFile(const std::string& devicePath)
{
    std::ifstream f(ce::resolvePath(devicePath), std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

// UTF-16 little-endian with its byte-order mark, as string files are.
inline std::string utf16File(const std::u16string& text)
{
    std::string bytes = "\xFF\xFE";
    for (char16_t c : text) {
        bytes += char(c & 0xFF);
        bytes += char(c >> 8);
    }
    return bytes;
}

// The program's folder as the device template has it, the strings loaded
// from it; message boxes noted instead of shown.
inline void installTemplate(std::vector<std::string>* boxes = nullptr)
{
    const std::string dest = ce::resolvePath(kProgramDir, true);
    std::filesystem::remove_all(dest);
    std::filesystem::create_directories(dest);
    std::filesystem::copy(KIVO_TEST_DEVICE_TEMPLATE "/SystemDrive/Falmo/program/bt", dest,
        std::filesystem::copy_options::recursive);
    ce::setProgramDirectory(kProgramDir);
    ce::dlg::setResourceFile(std::string(kProgramDir) + "\\KivoBTRes.bin");
    CeConfigFileManager::ResetInstance();
    CeLangStringFileResMgr::Instance().ResetForTests();
    ce::dlg::setMessageBoxHook([boxes](const std::u16string& text, const std::u16string& caption, unsigned) {
        if (boxes)
            boxes->push_back(QString::fromStdU16String(caption + u": " + text).toStdString());
        return 1;
    });
}

class UiTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        app();
        installTemplate(&boxes);
    }
    void TearDown() override { ce::dlg::setMessageBoxHook(nullptr); }

    std::vector<std::string> boxes;
};

// Runs fn on the user-interface thread and returns its result.
template <typename F>
auto onGui(F fn)
{
    decltype(fn()) result {};
    ce::dlg::runOnGuiThread([&] { result = fn(); });
    return result;
}

inline bool waitFor(const std::function<bool()>& done)
{
    for (int i = 0; i < 2000; ++i) {
        if (onGui([&] { return done(); }))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

inline void tap(CBmpBtn& b)
{
    ce::dlg::runOnGuiThread([&] { QTest::mouseClick(b.widget(), Qt::LeftButton, {}, b.clientRect().center()); });
}

inline std::u16string caption(CBmpBtn& b)
{
    return onGui([&] { return b.Caption(); });
}

// Runs script on a thread of its own while this thread runs the event loop,
// so the modal screens' loops nest here and the script can wait on them.
inline void runScript(const std::function<void()>& script)
{
    std::atomic<bool> done { false };
    std::thread t([&] {
        script();
        done = true;
    });
    while (!done) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        ce::pumpMessages();
    }
    t.join();
}

// The folder ctest gives the test, read at start.
inline const std::string kShotFolder = [] {
    const char* dir = std::getenv("KIVO_DEVICE_ROOT");
    return std::string(dir && *dir ? dir : "/tmp");
}();

// Saves a screenshot there, for a look.
inline void savePng(const QImage& image, const std::string& name)
{
    std::filesystem::create_directories(kShotFolder);
    image.save(QString::fromStdString(kShotFolder + "/" + name + ".png"));
}

// What the button drew last shows each text whole or a start of it ending
// in "...", each line inside the button (its baseline too).
inline void expectTextShown(const CBmpBtn& b, const std::string& what)
{
    SCOPED_TRACE(what);
    const QRect client = b.clientRect();
    // A caption over two lines leaves out the blank it broke at: blanks do
    // not count.
    auto visible = [](const std::u16string& text) {
        std::u16string v;
        for (char16_t c : text)
            if (c != u'\r' && c != u'\n' && c != u' ')
                v += c;
        return v;
    };
    std::u16string joined[3];
    for (const CBmpBtn::DrawnLine& line : b.Drawn()) {
        const std::string text = QString::fromStdU16String(line.text).toStdString();
        EXPECT_GE(line.rect.left(), 0) << text;
        EXPECT_LE(line.rect.left() + line.rect.width(), client.width()) << text;
        EXPECT_LE(line.rect.top() + QFontMetrics(line.font).ascent(), client.height()) << text;
        joined[line.block] += visible(line.text);
    }
    for (int i = 0; i < 3; ++i) {
        const std::u16string whole = visible(b.BlockText(i));
        const std::u16string& shown = joined[i];
        if (shown == whole)
            continue;
        const std::string seen = QString::fromStdU16String(shown).toStdString();
        ASSERT_GE(shown.size(), 3u) << "block " << i << " shows " << seen;
        EXPECT_EQ(shown.substr(shown.size() - 3), u"...") << "block " << i << " shows " << seen;
        EXPECT_EQ(whole.compare(0, shown.size() - 3, shown, 0, shown.size() - 3), 0)
            << "block " << i << " shows " << seen;
    }
}

} // namespace kivo::bt::test
