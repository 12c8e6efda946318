// The simulated wireless adapter as a program meets it: through the libraries
// loaded by name, the radio device and the event queue; the world from its
// file.

#include "sim/wzc/wzc_sim.h"

#include "platform/device.h"
#include "platform/loader.h"
#include "platform/msgqueue.h"
#include "platform/paths.h"
#include "platform/wzc/iphlpapi.h"
#include "platform/wzc/wzc_types.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>
#include <vector>

namespace {

namespace sim = kivo::sim::wzc;

struct Service {
    ce::HMODULE lib = ce::loadLibrary("wzcsapi.dll");
    template <typename F> F fn(const char* name) { return reinterpret_cast<F>(ce::getProcAddress(lib, name)); }
    ce::PFN_WZCEnumInterfaces enumInterfaces = fn<ce::PFN_WZCEnumInterfaces>("WZCEnumInterfaces");
    ce::PFN_WZCQueryInterfaceEx query = fn<ce::PFN_WZCQueryInterfaceEx>("WZCQueryInterfaceEx");
    ce::PFN_WZCSetInterfaceEx set = fn<ce::PFN_WZCSetInterfaceEx>("WZCSetInterfaceEx");
    ce::PFN_WZCDeleteIntfObjEx release = fn<ce::PFN_WZCDeleteIntfObjEx>("WZCDeleteIntfObjEx");
    ce::PFN_WZCPassword2Key password2Key = fn<ce::PFN_WZCPassword2Key>("WZCPassword2Key");
    ce::PFN_WZCQueryContext queryContext = fn<ce::PFN_WZCQueryContext>("WZCQueryContext");
    ce::PFN_WZCSetContext setContext = fn<ce::PFN_WZCSetContext>("WZCSetContext");
    ~Service() { ce::freeLibrary(lib); }

    // The listed interface names.
    std::vector<std::u16string> interfaces()
    {
        ce::INTFS_KEY_TABLE t {};
        EXPECT_EQ(enumInterfaces(nullptr, &t), 0u);
        std::vector<std::u16string> names;
        for (ce::DWORD i = 0; i < t.dwNumIntfs; ++i) {
            names.push_back(t.pIntfs[i].wszGuid);
            ce::wzcFreeMemory(t.pIntfs[i].wszGuid);
        }
        ce::wzcFreeMemory(t.pIntfs);
        return names;
    }
};

bool waitFor(const std::function<bool()>& pred, int ms = 5000)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

ce::WZC_WLAN_CONFIG network(const char* ssid, ce::DWORD privacy, ce::DWORD auth)
{
    ce::WZC_WLAN_CONFIG r {};
    r.Length = sizeof r;
    r.Ssid.SsidLength = ce::DWORD(std::strlen(ssid));
    std::memcpy(r.Ssid.Ssid, ssid, r.Ssid.SsidLength);
    r.InfrastructureMode = 1;
    r.Privacy = privacy;
    r.AuthenticationMode = auth;
    return r;
}

class SimWzc : public ::testing::Test {
protected:
    void world(const std::string& json)
    {
        m_root.writeFile(sim::kWorldFile, json);
        sim::reload();
    }
    kivo::test::TempDeviceRoot m_root;
    Service m_svc;
};

TEST_F(SimWzc, LibraryExportsAllTwelveNames)
{
    for (const char* name : { "WZCDeleteIntfObj", "WZCDeleteIntfObjEx", "WZCEnumInterfaces", "WZCPassword2Key",
             "WZCQueryContext", "WZCQueryInterface", "WZCQueryInterfaceEx", "WZCRefreshInterface",
             "WZCRefreshInterfaceEx", "WZCSetContext", "WZCSetInterface", "WZCSetInterfaceEx" })
        EXPECT_NE(ce::getProcAddress(m_svc.lib, name), nullptr) << name;
}

TEST_F(SimWzc, MalformedOrMissingWorldGivesNoAdapter)
{
    world("{}");
    EXPECT_EQ(m_svc.interfaces(), std::vector<std::u16string> { u"WLAN1" }) << "a valid world has the default adapter";

    const char* bad[] = {
        "{",
        "[]",
        R"({ "networks": 5 })",
        R"({ "networks": [ { "ssid": "123456789012345678901234567890123" } ] })",
        R"({ "networks": [ { "ssid": "a", "privacy": "bogus" } ] })",
        R"({ "networks": [ { "ssid": "a", "bssid": "zz:00" } ] })",
        R"({ "networks": [ { "ssid": "a", "keyIndex": 9 } ] })",
        R"({ "networks": [ { "ssid": "a", "rssi": "loud" } ] })",
        R"({ "networks": [ { "ssid": "a", "authData": "0g" } ] })",
        R"({ "adapter": "x" })",
        R"({ "adapter": { "name": "" } })",
        R"({ "radioOn": "yes" })",
        "",
    };
    std::vector<std::string> texts(std::begin(bad), std::end(bad));
    texts.push_back(R"({ "networks": )" + std::string(2000, '[') + std::string(2000, ']') + "}");
    for (const std::string& text : texts) {
        SCOPED_TRACE(text.substr(0, 60));
        world(text);
        EXPECT_TRUE(m_svc.interfaces().empty());
        EXPECT_FALSE(sim::status().adapterPresent);
    }
    m_root.writeFile(sim::kWorldFile, "{}");
    std::remove(ce::resolvePath(sim::kWorldFile).c_str());
    sim::reload();
    EXPECT_TRUE(m_svc.interfaces().empty());
}

TEST_F(SimWzc, AnAdapterKeyIsComparedUpToItsOwnEnd)
{
    // A NUL inside the configured name: the caller's shorter key must be
    // read no further than its own terminator (a heap key here, so a read
    // past it is caught).
    world(R"({"adapter": {"name": "WL\u0000AN"}})");
    std::vector<char16_t> shortKey { u'W', u'L', u'\0' };
    ce::INTF_ENTRY_EX e {};
    e.wszGuid = shortKey.data();
    ce::DWORD out = 0;
    EXPECT_EQ(m_svc.query(nullptr, ce::WZC_FIELD_ALL, &e, &out), ce::ERROR_FILE_NOT_FOUND);
    m_svc.release(&e);
}

TEST_F(SimWzc, DemoWorldLoads)
{
    std::ifstream f(KIVO_WZC_DEMO_WORLD);
    std::stringstream content;
    content << f.rdbuf();
    world(content.str());
    ASSERT_TRUE(waitFor([&] { return !m_svc.interfaces().empty(); }));
    EXPECT_EQ(m_svc.interfaces(), std::vector<std::u16string> { u"WLAN1" });
}

TEST_F(SimWzc, PassphraseKeyIsTheStandardDerivation)
{
    // The 802.11i test vector: passphrase "password", SSID "IEEE".
    const std::vector<ce::BYTE> expected
        = { 0xf4, 0x2c, 0x6f, 0xc5, 0x2d, 0xf0, 0xeb, 0xef, 0x9e, 0xbb, 0x4b, 0x90, 0xb3, 0x8a, 0x5f, 0x90, 0x2e, 0x83,
              0xfe, 0x1b, 0x13, 0x5a, 0x70, 0xe2, 0x3a, 0xed, 0x76, 0x2e, 0x97, 0x10, 0xa1, 0x2e };
    EXPECT_EQ(sim::derivePassphraseKey("password", "IEEE"), expected);
    ce::WZC_WLAN_CONFIG r = network("IEEE", 6, 7);
    ASSERT_TRUE(m_svc.password2Key(&r, "password"));
    EXPECT_EQ(std::vector<ce::BYTE>(r.KeyMaterial, r.KeyMaterial + 32), expected);
    EXPECT_FALSE(m_svc.password2Key(nullptr, "password"));
}

TEST_F(SimWzc, RadioDeviceSwitchesTheAdapter)
{
    world(R"({ "adapter": { "appearDelayMs": 50 } })");
    ASSERT_TRUE(waitFor([&] { return !m_svc.interfaces().empty(); }));
    ce::HANDLE dev = ce::openDevice(ce::WZC_RADIO_DEVICE, ce::GENERIC_READ | ce::GENERIC_WRITE);
    ASSERT_NE(dev, ce::INVALID_HANDLE_VALUE);
    ce::DWORD off = 0, on = 1, ret = 0;
    ASSERT_TRUE(ce::deviceIoControl(dev, ce::IOCTL_WIFI_POWER_OFF, &off, 4, nullptr, 0, &ret));
    EXPECT_FALSE(sim::status().radioOn);
    EXPECT_TRUE(m_svc.interfaces().empty());
    ASSERT_TRUE(ce::deviceIoControl(dev, ce::IOCTL_WIFI_POWER_ON, &on, 4, nullptr, 0, &ret));
    EXPECT_TRUE(sim::status().radioOn);
    EXPECT_TRUE(m_svc.interfaces().empty()) << "the adapter takes its time to appear";
    EXPECT_TRUE(waitFor([&] { return !m_svc.interfaces().empty(); }));

    EXPECT_FALSE(ce::deviceIoControl(dev, ce::IOCTL_WIFI_POWER_ON, &on, 2, nullptr, 0, &ret));
    EXPECT_EQ(ce::getLastError(), ce::ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(ce::deviceIoControl(dev, 0x1234, &on, 4, nullptr, 0, &ret));
    EXPECT_EQ(ce::getLastError(), ce::ERROR_NOT_SUPPORTED);
    ce::closeHandle(dev);
}

TEST_F(SimWzc, AdapterInfoAsksForRoomThenChainsTheAdapters)
{
    world(R"({ "otherAdapters": [ { "name": "RNDIS1", "address": "10.1.1.2", "mask": "255.0.0.0" } ] })");
    ce::DWORD size = 0;
    EXPECT_EQ(ce::GetAdaptersInfo(nullptr, &size), ce::ERROR_BUFFER_OVERFLOW);
    ASSERT_EQ(size, 2 * sizeof(ce::IP_ADAPTER_INFO));
    std::vector<ce::IP_ADAPTER_INFO> buf(2);
    ASSERT_EQ(ce::GetAdaptersInfo(buf.data(), &size), ce::ERROR_SUCCESS);
    EXPECT_STREQ(buf[0].AdapterName, "WLAN1");
    EXPECT_STREQ(buf[0].IpAddressList.IpAddress, "0.0.0.0") << "not joined";
    EXPECT_EQ(buf[0].Next, &buf[1]);
    EXPECT_STREQ(buf[1].AdapterName, "RNDIS1");
    EXPECT_STREQ(buf[1].IpAddressList.IpMask, "255.0.0.0");
    EXPECT_EQ(buf[1].Next, nullptr);

    world(R"({ "adapter": null })");
    EXPECT_EQ(ce::GetAdaptersInfo(buf.data(), &size), ce::ERROR_NO_DATA);
    EXPECT_EQ(ce::GetAdaptersInfo(buf.data(), nullptr), ce::ERROR_INVALID_PARAMETER);
}

class SimWzcJoin : public SimWzc {
protected:
    void SetUp() override
    {
        world(R"({ "scanDelayMs": 10, "associationDelayMs": 10, "addressDelayMs": 10, "networks": [
            { "ssid": "Open1", "privacy": "none", "bssid": "02:11:22:33:44:55", "address": "10.0.0.7",
              "gateway": "10.0.0.1", "dhcpServer": "10.0.0.1" },
            { "ssid": "Wpa", "privacy": "AES", "authentication": "WPA2PSK", "key": "secret99", "authData": "aabb" },
            { "ssid": "   ", "privacy": "none" } ] })");
        ce::MSGQUEUEOPTIONS o { sizeof o, ce::MSGQUEUE_ALLOW_BROKEN, 16, sizeof(ce::WZC_EVENT_MESSAGE), 1 };
        m_queue = ce::createMsgQueue(ce::WZC_EVENT_QUEUE_NAME, &o);
        ASSERT_NE(m_queue, nullptr);
        ASSERT_TRUE(waitFor([&] { return !m_svc.interfaces().empty(); }));
    }
    void TearDown() override { ce::closeMsgQueue(m_queue); }

    // The next events within timeoutMs, as code:SSID.
    std::vector<std::string> events(size_t count, ce::DWORD timeoutMs = 3000)
    {
        std::vector<std::string> out;
        while (out.size() < count) {
            ce::WZC_EVENT_MESSAGE m {};
            ce::DWORD n = 0, flags = 0;
            if (!ce::readMsgQueue(m_queue, &m, sizeof m, &n, timeoutMs, &flags))
                break;
            EXPECT_EQ(n, sizeof m);
            out.push_back(std::to_string(m.dwEventCode) + ":" + m.szSsid);
        }
        return out;
    }

    ce::DWORD setPreferred(const std::vector<ce::WZC_WLAN_CONFIG>& list)
    {
        std::vector<ce::BYTE> buf(ce::wzcConfigListSize(ce::DWORD(list.size())));
        ce::DWORD n = ce::DWORD(list.size());
        std::memcpy(buf.data(), &n, 4);
        if (n)
            std::memcpy(buf.data() + 8, list.data(), n * sizeof(ce::WZC_WLAN_CONFIG));
        ce::INTF_ENTRY_EX e {};
        e.wszGuid = const_cast<char16_t*>(u"WLAN1");
        e.rdStSSIDList = { ce::DWORD(buf.size()), buf.data() };
        ce::DWORD out = 0;
        return m_svc.set(nullptr, ce::WZC_FIELD_PREFERRED_LIST, &e, &out);
    }

    ce::HANDLE m_queue = nullptr;
};

TEST_F(SimWzcJoin, JoinsTheFirstPreferredNetworkInRange)
{
    ASSERT_EQ(setPreferred({ network("Elsewhere", 1, 0), network("Open1", 1, 0) }), 0u);
    EXPECT_EQ(events(3), (std::vector<std::string> { "1:Open1", "3:Open1", "14:Open1" }));
    auto st = sim::status();
    EXPECT_TRUE(st.associated && st.hasAddress);
    EXPECT_EQ(st.associatedSsid, "Open1");

    ce::INTF_ENTRY_EX e {};
    e.wszGuid = const_cast<char16_t*>(u"WLAN1");
    ce::DWORD out = 0;
    ASSERT_EQ(m_svc.query(nullptr, ce::WZC_FIELD_BSSID, &e, &out), 0u);
    ASSERT_EQ(e.rdBSSID.dwDataLen, 6u);
    const ce::BYTE bssid[6] = { 0x02, 0x11, 0x22, 0x33, 0x44, 0x55 };
    EXPECT_EQ(std::memcmp(e.rdBSSID.pData, bssid, 6), 0);
    m_svc.release(&e);

    ASSERT_EQ(setPreferred({}), 0u);
    EXPECT_FALSE(sim::status().associated) << "an empty preferred list disassociates";
    EXPECT_TRUE(events(1, 100).empty());

    ASSERT_EQ(setPreferred({ network("Elsewhere", 1, 0) }), 0u);
    EXPECT_EQ(events(1), (std::vector<std::string> { "10:" }));
}

TEST_F(SimWzcJoin, OldAssociationLingersAfterTheListChangesUntilReplacedOrTimedOut)
{
    const std::string networks = R"("networks": [
        { "ssid": "Open1", "privacy": "none", "address": "10.0.0.7", "dhcpServer": "10.0.0.1" },
        { "ssid": "Open2", "privacy": "none", "address": "10.0.0.8", "dhcpServer": "10.0.0.1" },
        { "ssid": "Wpa", "privacy": "AES", "authentication": "WPA2PSK", "key": "secret99" } ] })";
    world(R"({ "scanDelayMs": 10, "associationDelayMs": 10, "addressDelayMs": 10, "associationLingerMs": 600000, )"
        + networks);
    ASSERT_TRUE(waitFor([&] { return !m_svc.interfaces().empty(); }));
    ASSERT_EQ(setPreferred({ network("Open1", 1, 0) }), 0u);
    EXPECT_EQ(events(3), (std::vector<std::string> { "1:Open1", "3:Open1", "14:Open1" }));

    // A join that fails (no key) leaves the old network associated, address and all.
    ASSERT_EQ(setPreferred({}), 0u);
    ASSERT_EQ(setPreferred({ network("Wpa", 6, 7) }), 0u);
    EXPECT_EQ(events(2), (std::vector<std::string> { "1:Wpa", "2:Wpa" }));
    auto st = sim::status();
    EXPECT_TRUE(st.associated && st.hasAddress);
    EXPECT_EQ(st.associatedSsid, "Open1");

    // A join that succeeds replaces it, its own address coming later.
    ASSERT_EQ(setPreferred({ network("Open2", 1, 0) }), 0u);
    EXPECT_EQ(events(3), (std::vector<std::string> { "1:Open2", "3:Open2", "14:Open2" }));
    EXPECT_EQ(sim::status().associatedSsid, "Open2");

    // Without a join the association ends once the linger time is over.
    world(R"({ "scanDelayMs": 10, "associationDelayMs": 10, "addressDelayMs": 10, "associationLingerMs": 20, )"
        + networks);
    ASSERT_TRUE(waitFor([&] { return !m_svc.interfaces().empty(); }));
    ASSERT_EQ(setPreferred({ network("Open1", 1, 0) }), 0u);
    EXPECT_EQ(events(3).size(), 3u);
    ASSERT_EQ(setPreferred({ network("Elsewhere", 1, 0) }), 0u);
    EXPECT_TRUE(waitFor([] { return !sim::status().associated; }));
    EXPECT_FALSE(sim::status().hasAddress);
}

TEST_F(SimWzcJoin, KeyDecidesTheAssociation)
{
    ce::WZC_WLAN_CONFIG good = network("Wpa", 6, 7);
    ASSERT_TRUE(m_svc.password2Key(&good, "secret99"));
    ce::WZC_WLAN_CONFIG masked = good;
    ce::wzcMaskKeyMaterial(masked.KeyMaterial);
    masked.dwCtlFlags = ce::WZC_CFG_KEY_PRESENT | ce::WZC_CFG_KEY_PASSPHRASE | ce::WZC_CFG_KEY_MASKED;
    ce::WZC_WLAN_CONFIG raw = good;
    raw.dwCtlFlags = ce::WZC_CFG_KEY_PRESENT;
    ce::WZC_WLAN_CONFIG unmaskedAsMasked = good;
    unmaskedAsMasked.dwCtlFlags = masked.dwCtlFlags;
    ce::WZC_WLAN_CONFIG noKey = network("Wpa", 6, 7);

    const std::vector<std::pair<ce::WZC_WLAN_CONFIG, const char*>> cases = {
        { masked, "3:Wpa" }, { raw, "3:Wpa" }, { unmaskedAsMasked, "2:Wpa" }, { noKey, "2:Wpa" },
        { network("Wpa", 4, 4), "2:Wpa" }, // the network's security differs
    };
    for (const auto& [rec, outcome] : cases) {
        SCOPED_TRACE(outcome);
        ASSERT_EQ(setPreferred({ rec }), 0u);
        auto got = events(2);
        ASSERT_EQ(got.size(), 2u);
        EXPECT_EQ(got[0], "1:Wpa");
        EXPECT_EQ(got[1], outcome);
    }
}

TEST_F(SimWzcJoin, RepliesCarryTheScanWithAuthDataAndRefuseBadLists)
{
    ASSERT_TRUE(waitFor([&] {
        ce::INTF_ENTRY_EX e {};
        e.wszGuid = const_cast<char16_t*>(u"WLAN1");
        ce::DWORD out = 0;
        m_svc.query(nullptr, ce::WZC_FIELD_ALL, &e, &out);
        bool ready = e.rdBSSIDList.pData != nullptr;
        m_svc.release(&e);
        return ready;
    }));
    ce::INTF_ENTRY_EX e {};
    e.wszGuid = const_cast<char16_t*>(u"WLAN1");
    ce::DWORD out = 0;
    ASSERT_EQ(m_svc.query(nullptr, ce::WZC_FIELD_ALL, &e, &out), 0u);
    EXPECT_EQ(out, ce::WZC_FIELD_ALL);
    EXPECT_EQ(e.dwCtlFlags & ce::WZC_CTL_ENABLED, ce::WZC_CTL_ENABLED);
    ASSERT_GE(e.rdBSSIDList.dwDataLen, ce::wzcConfigListSize(3));
    auto* list = reinterpret_cast<ce::WZC_802_11_CONFIG_LIST*>(e.rdBSSIDList.pData);
    ASSERT_EQ(list->NumberOfItems, 3u) << "the service reports hidden networks too";
    ce::WZC_WLAN_CONFIG wpa;
    std::memcpy(&wpa, &list->Config[1], sizeof wpa);
    EXPECT_EQ(wpa.Length, 196u);
    ce::BYTE* auth = wpa.EapolParams.pbAuthData;
    ASSERT_EQ(wpa.EapolParams.dwAuthDataLen, 2u);
    EXPECT_TRUE(auth >= e.rdBSSIDList.pData && auth + 2 <= e.rdBSSIDList.pData + e.rdBSSIDList.dwDataLen);
    EXPECT_EQ(auth[0], 0xAA);
    EXPECT_EQ(e.rdStSSIDList.pData, nullptr) << "no preferred list yet";
    m_svc.release(&e);
    EXPECT_EQ(e.rdBSSIDList.pData, nullptr);

    e.wszGuid = const_cast<char16_t*>(u"WLAN2");
    EXPECT_EQ(m_svc.query(nullptr, ce::WZC_FIELD_ALL, &e, &out), ce::ERROR_FILE_NOT_FOUND);

    std::vector<ce::BYTE> claimsTwo(ce::wzcConfigListSize(1));
    claimsTwo[0] = 2;
    e = {};
    e.wszGuid = const_cast<char16_t*>(u"WLAN1");
    e.rdStSSIDList = { ce::DWORD(claimsTwo.size()), claimsTwo.data() };
    EXPECT_EQ(m_svc.set(nullptr, ce::WZC_FIELD_PREFERRED_LIST, &e, &out), ce::ERROR_INVALID_DATA);
    EXPECT_FALSE(sim::hasPreferredList());

    ce::WZC_CONTEXT c { 1, 2, 3, 4 };
    ASSERT_EQ(m_svc.setContext(nullptr, 0xF, &c, &out), 0u);
    ce::WZC_CONTEXT back {};
    ASSERT_EQ(m_svc.queryContext(nullptr, 0xF, &back, &out), 0u);
    EXPECT_EQ(back.tmTc, 3u);
}

} // namespace
