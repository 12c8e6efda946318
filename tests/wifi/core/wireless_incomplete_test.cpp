// The wireless layer with a Zero Config library that lacks a name it needs:
// the library is released and every operation gives its failure value. A
// library without only the optional WZCQueryContext is accepted.

#include "tests/wifi/core/wireless_test_support.h"

#include "platform/paths.h"

#include <unistd.h>

#include <filesystem>

namespace {

using kivo::test::NoteWindow;
using kivo::test::pumpFor;
namespace sim = kivo::sim::wzc;

std::string exeFolder()
{
    return std::filesystem::read_symlink("/proc/self/exe").parent_path().string();
}

class WirelessLibrary : public ::testing::Test {
protected:
    void SetUp() override
    {
        kivo::test::wirelessTestApp();
        CMyConfigWiFi::setDelayScaleForTests(0.01);
        m_root.writeFile(sim::kWorldFile, R"({ "scanDelayMs": 0, "associationDelayMs": 0, "addressDelayMs": 0,
            "networks": [ { "ssid": "Cafe", "privacy": "none", "address": "10.0.0.5" } ] })");
        sim::reload();
    }
    void TearDown() override { CMyConfigWiFi::setDelayScaleForTests(1.0); }

    // The program's own directory is searched first: put the variant there
    // under the name the layer loads.
    void useLibrary(const std::string& file)
    {
        std::string dir = ce::ensureDirectory(ce::programDirectory());
        std::filesystem::create_symlink(exeFolder() + "/" + file, dir + "/wzcsapi.so");
    }

    kivo::test::TempDeviceRoot m_root;
};

TEST_F(WirelessLibrary, MissingRequiredNameMakesEveryOperationFail)
{
    useLibrary("wzcsapi_incomplete.so");
    CMyConfigWiFi wifi;
    NoteWindow window;
    EXPECT_FALSE(wifi.startWzc());
    EXPECT_FALSE(wifi.findAdapter());
    EXPECT_FALSE(wifi.IsEnableWzcServer());
    EXPECT_NE(wifi.enableWzcServer(true), 0u);
    EXPECT_NE(wifi.refreshInterface(), 0u);
    EXPECT_NE(wifi.refreshVisibleList(), 0u);
    EXPECT_EQ(wifi.visibleCount(), 0);
    EXPECT_EQ(wifi.visibleList(), nullptr);
    ce::WZC_WLAN_CONFIG r {};
    EXPECT_EQ(wifi.indexOfVisible(r), -1);
    EXPECT_FALSE(wifi.firstPreferredNetwork(&r));
    EXPECT_FALSE(wifi.isAssociated());
    bool usable = true;
    QString name = "stale", ip = "stale";
    EXPECT_EQ(wifi.getIPInfo(&usable, &name, nullptr, nullptr, &ip), 0);
    EXPECT_FALSE(usable);
    EXPECT_TRUE(name.isEmpty() && ip.isEmpty());
    EXPECT_FALSE(wifi.isConnected());
    r.Privacy = ce::NDIS_PRIVACY_AES_ENABLED;
    r.AuthenticationMode = ce::NDIS_AUTH_WPA2PSK;
    EXPECT_FALSE(wifi.setKeyMaterial(&r, "a passphrase", 1, nullptr)) << "no service to derive the key";
    EXPECT_NE(wifi.clearPreferredList(), 0u);
    EXPECT_NE(wifi.AddToPreferredNetworkList(r), 0u);
    EXPECT_FALSE(wifi.connectNetwork(window.hwnd(), 1, "Cafe", "", 1, 0, 1, false));
    EXPECT_FALSE(wifi.connectVisibleNetwork(0, "", window.hwnd(), 1));
    pumpFor(100);
    EXPECT_FALSE(sim::hasPreferredList()) << "the service was never called";
    EXPECT_FALSE(sim::status().associated);
    EXPECT_TRUE(window.notes.empty());
    EXPECT_TRUE(wifi.stopWzc());
}

TEST_F(WirelessLibrary, MissingQueryContextIsAccepted)
{
    useLibrary("wzcsapi_nocontext.so");
    CMyConfigWiFi wifi;
    EXPECT_TRUE(wifi.startWzc());
    EXPECT_TRUE(wifi.IsEnableWzcServer());
}

} // namespace
