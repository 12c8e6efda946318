// Shared by the tests of the searching and connecting screens: a real flow on
// the simulated adapter, the probe routed to a local HTTP server standing in
// for the sync service's 204 page, the portal browser stand-in in place, the
// saved networks, and the screens' timers driven tick by tick (their own
// intervals are scaled so far that they never fire by themselves).
#pragma once

#include "controls/core/LibraryInternal.h"
#include "platform/paths.h"
#include "sim/httptest/httptest_sim.h"
#include "sim/wzc/wzc_sim.h"
#include "sim/zk_launcher/zk_launcher_sim.h"
#include "tests/sim/httptest/local_http_server.h"
#include "tests/support/temp_root.h"
#include "tests/wifi/core/wireless_test_support.h"
#include "tests/wifi/views/views_test_support.h"
#include "wifi/core/KivoWiFiFlow.h"
#include "wifi/core/WiFiChechZk.h"
#include "wifi/core/WifiApplication.h"
#include "wifi/core/probe_files.h"
#include "wifi/views/portal_steps.h"
#include "wifi/views/register_views.h"

#include <QSettings>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace join_test {

namespace wzc = kivo::sim::wzc;
using kivo::test::LocalHttpServer;
using kivo::test::pumpUntil;

constexpr const char* kDir = "\\SystemDrive\\Falmo\\program\\wifi\\";

// The world: "Office" refuses the key the tests save for it; "Hidden" is a
// network that does not show its name; the long names are 15 and 16
// characters.
inline std::string world(int lingerMs = 0)
{
    return R"({ "adapter": { "name": "WLAN1" }, "scanDelayMs": 10, "associationDelayMs": 20, "addressDelayMs": 20,
      "associationLingerMs": )"
        + std::to_string(lingerMs) + R"(, "networks": [
    { "ssid": "HomeNet", "privacy": "AES", "authentication": "WPA2PSK", "rssi": -48, "key": "ridebikes",
      "address": "192.168.1.20", "dhcpServer": "192.168.1.1" },
    { "ssid": "CafeGuest", "privacy": "none", "authentication": "Open", "rssi": -67, "address": "10.20.0.31",
      "dhcpServer": "10.20.0.1" },
    { "ssid": "Office", "privacy": "TKIP", "authentication": "WPAPSK", "rssi": -74, "key": "not-your-key",
      "address": "10.1.0.4", "dhcpServer": "10.1.0.1" },
    { "ssid": "OldRouter", "privacy": "WEP", "authentication": "Open", "rssi": -80, "key": "12345",
      "address": "192.168.0.5", "dhcpServer": "192.168.0.1" },
    { "ssid": "Riverside Cafe1", "privacy": "none", "authentication": "Open", "address": "10.30.0.2" },
    { "ssid": "Riverside Cafe12", "privacy": "none", "authentication": "Open", "address": "10.30.0.3" },
    { "ssid": "", "privacy": "AES", "authentication": "WPA2PSK", "rssi": -60 } ] })";
}
// The network without a name is not listed.
constexpr int kVisibleCount = 6;

inline WiFiSettings saved(const char* name, const char* user = "User")
{
    const std::string n = name;
    WiFiSettings s;
    if (n == "HomeNet" || n == "Secret")
        s = { "Encryption 3 enabled", "WPA2 PSK", "Key index 1", name, user, "ridebikes" };
    else if (n == "Office")
        s = { "Encryption 2 enabled", "WPAPSK", "Key index 1", name, user, "wrong-key-9" };
    else if (n == "OldRouter")
        s = { "WEP enabled", "Open", "Key index 1", name, user, "54321" };
    else
        s = { "WEP disabled", "Open", "Key index 1", name, user, "0" };
    return s;
}

class JoinScreens : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        views_test::registerSkins();
        CMyConfigWiFi::setDelayScaleForTests(0.01);
        KivoWiFiFlow::setProcessExitHandler([](int) {});
        kivowifi::registerViews();
        WiFiChechZk::setRoundIntervalForTesting(30);
        // The screens' own timers never fire by themselves: tests tick them.
        ZyrelleControls::Internal::SetTimeScale(10000);
    }
    static void TearDownTestSuite()
    {
        ZyrelleControls::Internal::SetTimeScale(1);
        WiFiChechZk::setRoundIntervalForTesting(0);
    }

    void SetUp() override
    {
        ce::setProgramDirectory("\\SystemDrive\\Falmo\\program\\wifi");
        root.writeFile(std::string(kDir) + "DebugSetting.ini", "EnableLog=true\n");
        setWorld(0);
        route(server.port());
        server.setAnswer(LocalHttpServer::status(204, "No Content"));
        browserResult("none");
        namespace fs = std::filesystem;
        const std::string self = fs::read_symlink("/proc/self/exe").parent_path().string();
        const std::string place = ce::resolvePath(std::string(kDir) + "browser\\zk_launcher", true);
        fs::remove(place);
        fs::remove(ce::resolvePath(std::string(kDir) + "WiFiSettings.ini"));
        fs::remove(ce::resolvePath(std::string(kDir) + "CheckBrowserStatus.ini"));
        fs::remove(ce::resolvePath(std::string(kDir) + "Log\\WifiConnectLog.txt"));
        fs::remove(ce::resolvePath(kivo::sim::ZK_LAUNCHER_LOG));
        fs::create_symlink(self + "/zk_launcher", place);
    }

    void TearDown() override
    {
        WiFiChechZk::stopActiveProbe();
        EXPECT_TRUE(pumpUntil([] { return kivowifi::livePortalProbes() == 0; }, 10000));
        flow.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void setWorld(int lingerMs)
    {
        root.writeFile(wzc::kWorldFile, world(lingerMs));
        wzc::reload();
    }
    void route(uint16_t port, int timeoutMs = 20000)
    {
        root.writeFile(kivo::sim::HTTPTEST_CONFIG, "[hosts]\nws.kivoshare.com=127.0.0.1:" + std::to_string(port)
                + "\n[probe]\ntimeout_ms=" + std::to_string(timeoutMs) + "\n");
    }
    void browserResult(const char* result)
    {
        root.writeFile(kivo::sim::ZK_LAUNCHER_CONFIG,
            std::string("[browser]\nresult=") + result + "\ndelay_ms=0\ntarget=class:KivoWiFi\n");
    }

    void writeSaved(const std::vector<WiFiSettings>& records)
    {
        QSettings ini(QString::fromStdString(ce::resolvePath(std::string(kDir) + "WiFiSettings.ini", true)),
            QSettings::IniFormat);
        for (size_t i = 0; i < records.size(); ++i)
            kivowifi::writeSlot(ini, int(i), records[i]);
    }
    std::vector<QString> savedNames()
    {
        QSettings ini(QString::fromStdString(ce::resolvePath(std::string(kDir) + "WiFiSettings.ini")),
            QSettings::IniFormat);
        std::vector<QString> names;
        for (int slot = 0; slot < kivowifi::SAVED_NETWORK_COUNT; ++slot)
            names.push_back(kivowifi::readSlot(ini, slot).network);
        return names;
    }

    // A flow with the saved networks, once the adapter has scanned.
    void makeFlow(const std::vector<WiFiSettings>& records, int startMode = 0)
    {
        if (!records.empty())
            writeSaved(records);
        flow.reset(new KivoWiFiFlow);
        flow->setAttribute(Qt::WA_DeleteOnClose, false);
        flow->setStartMode(startMode);
        flow->show();
        ASSERT_TRUE(pumpUntil([&] {
            flow->configWiFi().refreshVisibleList();
            return flow->getAPCount() == kVisibleCount;
        }));
    }

    std::string file(const std::string& name) const { return root.readFile(std::string(kDir) + name); }
    std::string verdict() const { return file("CheckBrowserStatus.ini"); }
    bool waitForVerdict(const std::string& value, int ms = 10000)
    {
        return pumpUntil([&] { return verdict() == "LaunchBrowser=" + value; }, ms);
    }
    bool waitConnectedTo(const char* ssid, int ms = 10000)
    {
        return pumpUntil([&] { return flow->isConnectedTo(QLatin1String(ssid)); }, ms);
    }
    int browserStarts() const
    {
        const std::string log = root.readFile(kivo::sim::ZK_LAUNCHER_LOG);
        int n = 0;
        for (size_t at = 0; (at = log.find("started", at)) != std::string::npos; ++at)
            ++n;
        return n;
    }
    bool logged(const std::string& text) const
    {
        return file("Log\\WifiConnectLog.txt").find(" - " + text + "\r\n") != std::string::npos;
    }

    kivo::test::TempDeviceRoot root;
    LocalHttpServer server;
    std::unique_ptr<KivoWiFiFlow> flow;
};

// The test program's application is KivoWiFi's own, so the browser's window
// messages reach the flow through its message filter.
inline int runTests(int argc, char** argv)
{
    static int appArgc = 1;
    static char name[] = "join_screens_test";
    static char* appArgv[] = { name, nullptr };
    WifiApplication app(appArgc, appArgv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

} // namespace join_test
