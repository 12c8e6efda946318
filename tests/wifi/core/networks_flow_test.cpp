// The flow's saved networks and joins against the simulated adapter: reading,
// saving and forgetting WiFiSettings.ini, joining the record in use, the
// visible-network getters, the portal verdict, KivoMap's keyboard targets and
// device.xml.
#include "wifi/core/KivoWiFiFlow.h"

#include "platform/paths.h"
#include "sim/httptest/httptest_sim.h"
#include "sim/wzc/wzc_sim.h"
#include "tests/sim/httptest/local_http_server.h"
#include "tests/support/temp_root.h"
#include "tests/wifi/core/wireless_test_support.h"
#include "wifi/core/WiFiChechZk.h"
#include "wifi/core/probe_files.h"

#include <QApplication>
#include <QSettings>

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

namespace sim = kivo::sim::wzc;
using kivo::test::pumpUntil;

const char* const kWorld = R"({
  "adapter": { "name": "WLAN1", "description": "Sim adapter" },
  "scanDelayMs": 20, "associationDelayMs": 30, "addressDelayMs": 100,
  "networks": [
    { "ssid": "Home", "privacy": "AES", "authentication": "WPA2PSK", "rssi": -48, "key": "correct horse",
      "address": "192.168.1.20", "mask": "255.255.255.0", "gateway": "192.168.1.1", "dhcpServer": "192.168.1.254" },
    { "ssid": "Lobby", "privacy": "AES", "authentication": "WPA2", "rssi": -60, "address": "10.9.0.7",
      "authData": "0a0b0c", "eapType": 25 },
    { "ssid": "Cafe", "privacy": "none", "authentication": "Open", "rssi": -70, "address": "172.16.0.9" },
    { "ssid": "Old", "privacy": "WEP", "authentication": "Shared", "rssi": -80, "key": "ab#de", "keyIndex": 3,
      "address": "10.0.1.5" }
  ]
})";

const char* const kDir = "\\SystemDrive\\Falmo\\program\\wifi\\";

void ensureApplication()
{
    static int argc = 1;
    static char name[] = "networks_flow_test";
    static char* argv[] = { name, nullptr };
    if (!qApp)
        new QApplication(argc, argv);
}

WiFiSettings record(const char* enc, const char* auth, const char* index, const char* name, const char* password)
{
    return { QLatin1String(enc), QLatin1String(auth), QLatin1String(index), QLatin1String(name), QStringLiteral("User"),
        QLatin1String(password) };
}

class NetworksFlow : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ensureApplication();
        CMyConfigWiFi::setDelayScaleForTests(0.01);
        KivoWiFiFlow::setProcessExitHandler([](int) {});
    }

    void SetUp() override
    {
        ce::setProgramDirectory("\\SystemDrive\\Falmo\\program\\wifi");
        root.writeFile(std::string(kDir) + "DebugSetting.ini", "EnableLog=true\n");
        root.writeFile(sim::kWorldFile, kWorld);
        sim::reload();
    }

    void TearDown() override
    {
        WiFiChechZk::stopActiveProbe();
        flow.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void makeFlow()
    {
        flow.reset(new KivoWiFiFlow);
        flow->setAttribute(Qt::WA_DeleteOnClose, false);
        ASSERT_TRUE(pumpUntil([&] {
            flow->configWiFi().refreshVisibleList();
            return flow->getAPCount() == 4;
        }));
    }

    std::string file(const char* name) const { return root.readFile(std::string(kDir) + name); }
    std::string connectLog() const { return file("Log\\WifiConnectLog.txt"); }
    bool logged(const std::string& text) const { return connectLog().find(" - " + text + "\r\n") != std::string::npos; }

    void writeSaved(const std::vector<WiFiSettings>& records, const char* name = "WiFiSettings.ini")
    {
        QSettings ini(QString::fromStdString(ce::resolvePath(std::string(kDir) + name, true)), QSettings::IniFormat);
        for (size_t i = 0; i < records.size(); ++i)
            kivowifi::writeSlot(ini, int(i), records[i]);
    }

    bool joined(const char* ssid, int timeoutMs = 5000)
    {
        return pumpUntil([&] { return flow->isConnectStatus() && sim::status().associatedSsid == ssid; }, timeoutMs);
    }

    kivo::test::TempDeviceRoot root;
    std::unique_ptr<KivoWiFiFlow> flow;
};

TEST_F(NetworksFlow, VisibleNetworkGetters)
{
    makeFlow();
    // Sorted by SSID: Cafe, Home, Lobby, Old.
    EXPECT_EQ(flow->getAPName(0), QStringLiteral("Cafe"));
    EXPECT_EQ(flow->getAPName(3), QStringLiteral("Old"));
    EXPECT_EQ(flow->getAPSignalStrength(1), -48);
    EXPECT_EQ(flow->getAPPrivacy(1), 6);
    EXPECT_EQ(flow->getAPEncryptionText(1), QStringLiteral("Encryption 3 enabled"));
    EXPECT_EQ(flow->getAPAuthenticationText(1), QStringLiteral("WPA2 PSK"));
    EXPECT_EQ(flow->getAPEncryptionText(0), QStringLiteral("WEP disabled"));
    EXPECT_EQ(flow->getAPAuthenticationText(3), QStringLiteral("Shared"));
    EXPECT_TRUE(flow->getAPKeyIndexText(3).startsWith(QStringLiteral("Key index ")));
    for (int outside : { -1, 4, 1000 }) {
        EXPECT_EQ(flow->getAPName(outside), QString());
        EXPECT_EQ(flow->getAPSignalStrength(outside), 0);
        EXPECT_EQ(flow->getAPPrivacy(outside), 0);
        EXPECT_EQ(flow->getAPEncryptionText(outside), QString());
        EXPECT_EQ(flow->getAPAuthenticationText(outside), QString());
        EXPECT_EQ(flow->getAPKeyIndexText(outside), QString());
    }
    EXPECT_EQ(flow->refreshAPList(), 0);
}

TEST_F(NetworksFlow, ReadFallsBackToDefaultsAndPlaceholders)
{
    // No WiFiSettings.ini: the defaults fill the slots they hold, the rest
    // are empty slots.
    writeSaved({ record("WEP disabled", "Open", "Key index 1", "Cafe", "0") }, "WiFiSettingsDefault.ini");
    makeFlow();
    EXPECT_EQ(flow->readWiFiSettings(), 0);
    EXPECT_FALSE(flow->hasSavedNetworks());
    EXPECT_TRUE(logged("[In WifiFlow - readWiFiSettings()] WiFiSettings.ini doesn't exist!"));
    EXPECT_EQ(flow->savedSettings(0).network, QStringLiteral("Cafe"));
    EXPECT_EQ(flow->savedSettings(1), kivowifi::placeholderSettings());
    EXPECT_EQ(flow->getWiFiSettings().network, QStringLiteral("Cafe"));
    EXPECT_EQ(flow->savedSettings(-1), kivowifi::placeholderSettings());

    // A slot with only its encryption text missing is read from the defaults.
    WiFiSettings half = record("", "WPA2 PSK", "Key index 1", "Half", "x");
    writeSaved({ record("Encryption 3 enabled", "WPA2 PSK", "Key index 1", "Home", "correct horse"), half });
    EXPECT_EQ(flow->readWiFiSettings(), 0);
    EXPECT_TRUE(flow->hasSavedNetworks());
    EXPECT_EQ(flow->savedSettings(0).network, QStringLiteral("Home"));
    EXPECT_EQ(flow->savedSettings(1), kivowifi::placeholderSettings());
    EXPECT_EQ(flow->savedNetworkCursor(), 0);
}

TEST_F(NetworksFlow, SaveMarksHiddenNetworksAndForgetClearsThePresentFlag)
{
    makeFlow();
    flow->readWiFiSettings();
    // Two saves without a read between: both networks stay.
    flow->setWiFiSettings(record("Encryption 3 enabled", "WPA2 PSK", "Key index 1", "Home", "correct horse"));
    flow->saveWiFiSettings();
    flow->setWiFiSettings(record("WEP disabled", "Open", "Key index 1", "Attic", "0"));
    flow->saveWiFiSettings();
    EXPECT_EQ(flow->readWiFiSettings(), 0);
    EXPECT_EQ(flow->savedSettings(0).network, QStringLiteral("Attic"));
    EXPECT_EQ(flow->savedSettings(0).userName, QStringLiteral("Hidden"));
    EXPECT_EQ(flow->savedSettings(1).network, QStringLiteral("Home"));
    EXPECT_EQ(flow->savedSettings(1).userName, QStringLiteral("User"));

    // Saving Home again moves it back to the front.
    flow->setWiFiSettings(flow->savedSettings(1));
    flow->saveWiFiSettings();
    EXPECT_TRUE(logged("[In WifiFlow - saveWiFiSettings()] Update this Home."));
    EXPECT_EQ(flow->savedSettings(0).network, QStringLiteral("Home"));
    EXPECT_EQ(flow->savedSettings(1).network, QStringLiteral("Attic"));

    flow->setJoiningName(QStringLiteral("Home"));
    flow->forgetWiFiSettings();
    EXPECT_TRUE(flow->hasSavedNetworks());
    EXPECT_TRUE(logged("[In WifiFlow - forgetWiFiSettings()] Attic isn't defult."));
    flow->setJoiningName(QStringLiteral("Attic"));
    flow->forgetWiFiSettings();
    EXPECT_FALSE(flow->hasSavedNetworks());
    EXPECT_TRUE(logged("[In WifiFlow - forgetWiFiSettings()] All default settings."));
    QSettings ini(
        QString::fromStdString(ce::resolvePath(std::string(kDir) + "WiFiSettings.ini")), QSettings::IniFormat);
    for (int slot = 0; slot < kivowifi::SAVED_NETWORK_COUNT; ++slot)
        EXPECT_EQ(kivowifi::readSlot(ini, slot), kivowifi::placeholderSettings()) << slot;
}

TEST_F(NetworksFlow, JoiningASavedWpaNetworkAssociatesAndGetsAnAddress)
{
    writeSaved({ record("Encryption 3 enabled", "WPA2 PSK", "Key index 1", "Home", "correct horse") });
    makeFlow();
    ASSERT_EQ(flow->readWiFiSettings(), 0);
    EXPECT_EQ(flow->joinNetwork(), 0);
    ASSERT_TRUE(joined("Home"));
    bool usable = false;
    QString ip;
    flow->getAdapterInfo(&usable, nullptr, nullptr, nullptr, &ip, nullptr, nullptr, nullptr);
    EXPECT_TRUE(usable);
    EXPECT_EQ(ip, QStringLiteral("192.168.1.20"));
    flow->setJoiningName(QStringLiteral("Home"));
    flow->CurrentNetworkStatus();
    EXPECT_TRUE(logged("[In WifiFlow - CurrentNetworkStatus()] Home is connected, signal strength: -48"));
}

TEST_F(NetworksFlow, WrongKeysFail)
{
    makeFlow();
    // A passphrase the network refuses: the join is made, association fails.
    flow->setWiFiSettings(record("Encryption 3 enabled", "WPA2 PSK", "Key index 1", "Home", "wrong horse"));
    EXPECT_EQ(flow->joinNetwork(), 0);
    EXPECT_FALSE(joined("Home", 1000));
    EXPECT_FALSE(sim::status().associated);

    // A key the layer cannot use: joined again through the visible list,
    // which refuses it too.
    flow->setWiFiSettings(record("Encryption 3 enabled", "WPA2 PSK", "Key index 1", "Home", "short"));
    EXPECT_EQ(flow->joinNetwork(), KivoWiFiFlow::RESULT_JOIN_RETRIED);
    EXPECT_TRUE(logged("[In WifiFlow - joinNetwork()] config error"));
    EXPECT_TRUE(logged("[In WifiFlow - joinNetwork()] m_WiFiSetting_Home = str_Home"));
    EXPECT_TRUE(logged("[In WifiFlow - joinNetwork()] Do connect!!!"));
    EXPECT_EQ(flow->statusGraceCount(), 2);
    EXPECT_FALSE(joined("Home", 1000));
}

TEST_F(NetworksFlow, KeysIndexesAndBlankKeysJoin)
{
    makeFlow();
    // WEP with its key at index 3.
    flow->setWiFiSettings(record("WEP enabled", "Shared", "Key index 3", "Old", "ab#de"));
    EXPECT_EQ(flow->joinNetwork(), 0);
    EXPECT_TRUE(joined("Old"));
    // An open network saved without a password.
    flow->setWiFiSettings(record("WEP disabled", "Open", "Key index 1", "Cafe", "0"));
    EXPECT_EQ(flow->joinNetwork(), 0);
    EXPECT_TRUE(joined("Cafe"));
    // An 802.1X network, saved without a password (stored as "0"): the
    // explicit join has no key to give, so it goes through the visible list
    // with an automatic key, which carries the network's 802.1X settings.
    flow->setWiFiSettings(record("Encryption 3 enabled", "WPA2", "Key index 1", "Lobby", "0"));
    EXPECT_EQ(flow->joinNetwork(), KivoWiFiFlow::RESULT_JOIN_RETRIED);
    EXPECT_TRUE(joined("Lobby"));
    auto preferred = sim::preferredList();
    ASSERT_EQ(preferred.size(), 1u);
    EXPECT_EQ(preferred[0].EapolParams.bEnable8021x, 1);
    EXPECT_EQ(preferred[0].EapolParams.dwEapType, 25u);
}

TEST_F(NetworksFlow, AJoinStopsTheRunningProbe)
{
    kivo::test::LocalHttpServer portal;
    portal.setAnswer(kivo::test::LocalHttpServer::status(200, "OK", "<html>log in</html>"));
    root.writeFile(kivo::sim::HTTPTEST_CONFIG, "[hosts]\nws.kivoshare.com=127.0.0.1:" + std::to_string(portal.port()));
    WiFiChechZk::setRoundIntervalForTesting(20);
    makeFlow();
    auto* probe = new WiFiChechZk; // the screens start probes without keeping them
    probe->start();
    ASSERT_TRUE(pumpUntil([&] { return file("CheckBrowserStatus.ini") == "LaunchBrowser=0"; }));

    flow->setWiFiSettings(record("Encryption 3 enabled", "WPA2 PSK", "Key index 1", "Home", "correct horse"));
    flow->joinNetwork();
    EXPECT_TRUE(probe->isStopRequested());
    EXPECT_TRUE(probe->wait(5000));
    // Whatever the probe had found before the join is the old connection's;
    // from here on it writes nothing.
    kivowifi::writeLaunchBrowser(kivowifi::LAUNCH_BROWSER_NO_RESULT);
    size_t probes = portal.count();
    kivo::test::pumpFor(100);
    EXPECT_EQ(portal.count(), probes);
    EXPECT_EQ(file("CheckBrowserStatus.ini"), "LaunchBrowser=999");
    EXPECT_EQ(flow->readLaunchBrowserStatus(), 0);
    EXPECT_EQ(flow->getBrowserStatus().launchBrowser, QStringLiteral("999"));
    WiFiChechZk::setRoundIntervalForTesting(0);
    delete probe;
}

TEST_F(NetworksFlow, SettingsKeysAndKeyboardTargets)
{
    makeFlow();
    EXPECT_EQ(flow->setSetting(QStringLiteral("Settings/User name"), QStringLiteral("rider")), 0);
    EXPECT_EQ(flow->getWiFiSettings().userName, QStringLiteral("rider"));
    EXPECT_EQ(flow->setSetting(QStringLiteral("Settings/Colour"), QStringLiteral("x")), 6);

    // Without KivoMap the request is not delivered, but the target is kept.
    EXPECT_EQ(flow->requestExternalKeyboard(4, -1, QString(), true), 7);
    EXPECT_EQ(flow->keyboardTarget(), 4);
    EXPECT_EQ(flow->onKeyboardText(QStringLiteral("pa55word")), 0);
    EXPECT_EQ(flow->getWiFiSettings().password, QStringLiteral("pa55word"));
    EXPECT_EQ(flow->onKeyboardText(QString()), 0);
    EXPECT_EQ(flow->getWiFiSettings().password, QStringLiteral("pa55word"));
    flow->requestExternalKeyboard(2, -1, QStringLiteral("Network"), false);
    flow->onKeyboardText(QStringLiteral("Typed"));
    EXPECT_EQ(flow->getWiFiSettings().network, QStringLiteral("Typed"));
    flow->requestExternalKeyboard(9, -1, QString(), false);
    EXPECT_EQ(flow->onKeyboardText(QStringLiteral("x")), KivoWiFiFlow::RESULT_BAD_KEYBOARD_TARGET);

    // Target 0: the key of a visible network.
    flow->requestExternalKeyboard(0, 1, QString(), true);
    EXPECT_EQ(flow->onKeyboardText(QStringLiteral("correct horse")), 0);
    EXPECT_TRUE(joined("Home"));
}

TEST_F(NetworksFlow, EnableWiFiSwitchesZeroConfigAndReportsTheState)
{
    makeFlow();
    flow->enableWiFi(false);
    EXPECT_FALSE(sim::status().zeroConfigEnabled);
    EXPECT_EQ(flow->wifiState(), KIVOWIFI_DISABLEND);
    flow->enableWiFi(true);
    EXPECT_TRUE(sim::status().zeroConfigEnabled);
    EXPECT_EQ(flow->wifiState(), KIVOWIFI_ENABLEND);
}

TEST_F(NetworksFlow, DeviceBrandNamesTheService)
{
    struct Case {
        const char* xml;
        const char* brand;
        bool renamed;
    } cases[] = {
        { "<device><hardware><type>USA-West</type></hardware></device>", "USA-West", true },
        { "<device><hardware><type>usa</type></hardware></device>", "usa", false },
        { nullptr, "", false },
    };
    makeFlow();
    for (const auto& c : cases) {
        if (c.xml)
            root.writeFile("\\SystemDrive\\device.xml", c.xml);
        else
            std::remove(ce::resolvePath("\\SystemDrive\\device.xml").c_str());
        flow->readDeviceXml();
        EXPECT_EQ(flow->brandName(), QLatin1String(c.brand));
        EXPECT_EQ(flow->registerDeviceText().contains(QStringLiteral("Zyrelle Pedara")), c.renamed) << c.brand;
        EXPECT_EQ(flow->lastSyncedText().contains(QStringLiteral("KivoShare")), !c.renamed) << c.brand;
        EXPECT_TRUE(logged("BrandName : " + std::string(c.brand)));
    }
}

} // namespace
