// A sync engine over a fresh device root, with its lists and the sync log
// in reach of the tests.
#pragma once

#include "wifi/sync/wifisync.h"

#include "tests/support/temp_root.h"
#include "tests/wifi/sync/qt_app.h"

#include "platform/paths.h"

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>

#include <filesystem>
#include <memory>
#include <string>

namespace kivo::test {

class TestSync : public WiFiSync {
public:
    using WiFiSync::m_bDebugMode;
    using WiFiSync::m_list3rdGpx;
    using WiFiSync::m_listOwnGpx;
};

inline const char kTracks[] = "/DataDrive/Falmo/Tracks";
inline const char kLogDir[] = "/SystemDrive/Falmo/Program/WiFi/Log";
inline const char kRcf[] = "/SystemDrive/Falmo/Program/WiFi/Log/RCF_TCF/RCF.txt";
inline const char kTcf[] = "/SystemDrive/Falmo/Program/WiFi/Log/RCF_TCF/TCF.txt";

class SyncFixture : public ::testing::Test {
protected:
    SyncFixture() { qtApp(); }

    // Turns the sync log on (betaserver.ini also sets debug mode) for the
    // engines made afterwards.
    void enableLog() { m_root.writeFile(std::string(kLogDir) + "/betaserver.ini", ""); }

    TestSync& sync()
    {
        if (!m_sync)
            m_sync = std::make_unique<TestSync>();
        return *m_sync;
    }

    // Writes a file at a device path and returns that path.
    QString put(const std::string& devicePath, const std::string& content)
    {
        m_root.writeFile(devicePath, content);
        return QString::fromStdString(devicePath);
    }
    std::string read(const std::string& devicePath) const { return m_root.readFile(devicePath); }
    bool exists(const std::string& devicePath) const { return std::filesystem::exists(ce::resolvePath(devicePath)); }
    std::string log() const { return read(std::string(kLogDir) + "/WifiLog.txt"); }

    TempDeviceRoot m_root;
    std::unique_ptr<TestSync> m_sync;
};

} // namespace kivo::test
