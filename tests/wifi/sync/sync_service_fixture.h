// A device root with device.xml and the sync log on, and the local sync
// service that DebugSetting.ini points the engine at.
#pragma once

#include "wifi/sync/responsewait.h"
#include "wifi/sync/wifisync.h"

#include "sim/sync_server/sync_service.h"
#include "tests/support/temp_root.h"
#include "tests/wifi/sync/qt_app.h"

#include "platform/paths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

namespace kivo::test {

inline const char kSyncLogDir[] = "/SystemDrive/Falmo/Program/WiFi/Log";
inline const char kDebugSettingFile[] = "/SystemDrive/Falmo/program/wifi/DebugSetting.ini";
inline const char kDeviceXml[] = "/SystemDrive/device.xml";
inline const char kUuid[] = "HW-1234-ABCD";

inline std::string deviceXml(const std::string& uuid, const std::string& sku, const std::string& kernel = "K2.1",
    const std::string& boot = "B7")
{
    return "<?xml version=\"1.0\"?><device><kernel><version>" + kernel + "</version></kernel><bootloader><version>"
        + boot + "</version></bootloader><hardware><displayname>Pedal 500</displayname><id>" + uuid
        + "</id></hardware><sku><skuid>" + sku + "</skuid></sku></device>";
}

class SyncServiceFixture : public ::testing::Test {
protected:
    // Long enough for any answer of the local service on a loaded machine,
    // short enough for the cases that wait for it to run out.
    static constexpr int kTestTimeoutMs = 1500;

    void SetUp() override
    {
        qtApp();
        // KivoWiFi runs from its folder, where DebugSetting.ini lies.
        ce::setProgramDirectory("\\SystemDrive\\Falmo\\program\\wifi");
        kivo::sync::setResponseTimeoutForTesting(kTestTimeoutMs);
        m_store = m_root.path() + "/service-store";
        m_service = std::make_unique<kivo::sim::SyncService>(m_server, m_store);
        ASSERT_TRUE(m_server.start());
        m_root.writeFile(kDeviceXml, deviceXml(kUuid, "SKU-9"));
        // The device's drive for tracks is there before any track is.
        std::filesystem::create_directories(ce::resolvePath("/DataDrive"));
        writeDebugSetting("enablelog=true\n");
    }
    void TearDown() override
    {
        m_server.stop();
        kivo::sync::setResponseTimeoutForTesting(0);
        ce::setProgramDirectory("\\SystemDrive");
    }

    std::string serviceUrl() const { return m_server.baseUrl() + kivo::sim::SyncService::kProductionPath; }
    // DebugSetting.ini with the given lines and the service's URL.
    void writeDebugSetting(const std::string& lines)
    {
        m_root.writeFile(kDebugSettingFile, lines + "productionurl=" + serviceUrl() + "\n");
    }

    std::unique_ptr<WiFiSync> engine() { return std::make_unique<WiFiSync>(); }

    bool exists(const std::string& devicePath) const { return std::filesystem::exists(ce::resolvePath(devicePath)); }
    std::string read(const std::string& devicePath) const { return m_root.readFile(devicePath); }
    std::string log() const { return read(std::string(kSyncLogDir) + "/WifiLog.txt"); }
    bool logged(const std::string& line) const { return log().find(" - " + line + "\r\n") != std::string::npos; }
    void clearLog() const { std::filesystem::remove(ce::resolvePath(std::string(kSyncLogDir) + "/WifiLog.txt")); }

    TempDeviceRoot m_root;
    kivo::sim::SyncServer m_server;
    std::string m_store;
    std::unique_ptr<kivo::sim::SyncService> m_service;
};

} // namespace kivo::test
