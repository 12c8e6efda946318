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
    kivo::test::expectNoService(wifi, window.hwnd());
    ce::WZC_WLAN_CONFIG r {};
    r.Privacy = ce::NDIS_PRIVACY_AES_ENABLED;
    r.AuthenticationMode = ce::NDIS_AUTH_WPA2PSK;
    EXPECT_FALSE(wifi.setKeyMaterial(&r, "a passphrase", 1, nullptr)) << "no service to derive the key";
    pumpFor(100);
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
