// KivoBT's screens in a test: a Qt application with the window-message pump,
// a fresh device root holding the program's folder from the device template
// (bitmaps, LANGUAGE.ini, English strings), and a client window that notes
// the registered messages it gets.
#pragma once

#include "bt/core/bt_ipc.h"
#include "bt/core/bt_messages.h"
#include "bt/lang/config_file.h"
#include "bt/lang/lang_strings.h"
#include "platform/dialogs/gdi.h"
#include "platform/dialogs/services.h"
#include "platform/paths.h"
#include "platform/qt/qt_message_pump.h"
#include "platform/wm.h"
#include "tests/support/temp_root.h"

#include <QApplication>
#include <QImage>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
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

class UiTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        app();
        const std::string dest = root.path() + "/SystemDrive/Falmo/program/bt";
        std::filesystem::create_directories(dest);
        std::filesystem::copy(KIVO_TEST_DEVICE_TEMPLATE "/SystemDrive/Falmo/program/bt", dest,
            std::filesystem::copy_options::recursive);
        ce::setProgramDirectory(kProgramDir);
        ce::dlg::setResourceFile(std::string(kProgramDir) + "\\KivoBTRes.bin");
        CeConfigFileManager::ResetInstance();
        CeLangStringFileResMgr::Instance().ResetForTests();
        ce::dlg::setMessageBoxHook([this](const std::u16string& text, const std::u16string& caption, unsigned) {
            boxes.push_back(QString::fromStdU16String(caption + u": " + text).toStdString());
            return 1;
        });
    }
    void TearDown() override { ce::dlg::setMessageBoxHook(nullptr); }

    kivo::test::TempDeviceRoot root;
    std::vector<std::string> boxes;
};

// The folder ctest gives the test, read before any test moves the root.
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

} // namespace kivo::bt::test
