// The wireless layer against the simulated adapter: joins with the key forms
// the layer encodes, the events and the join notification, the visible and
// preferred lists, address state, Zero Config on and off, the radio device,
// the event thread and the log.

#include "tests/wifi/core/wireless_test_support.h"

#include "platform/msgqueue.h"
#include "platform/paths.h"

#include <QFile>
#include <QRegularExpression>

#include <cstring>
#include <fstream>

namespace {

using kivo::test::EventLog;
using kivo::test::NoteWindow;
using kivo::test::pumpFor;
using kivo::test::pumpUntil;
namespace sim = kivo::sim::wzc;

const char* const kWorld = R"({
  "adapter": { "name": "WLAN1", "description": "Sim adapter" },
  "scanDelayMs": 20, "associationDelayMs": 30, "addressDelayMs": 150,
  "networks": [
    { "ssid": "Home", "privacy": "AES", "authentication": "WPA2PSK", "rssi": -48, "key": "correct horse",
      "address": "192.168.1.20", "mask": "255.255.255.0", "gateway": "192.168.1.1", "dhcpServer": "192.168.1.254" },
    { "ssid": "Raw", "privacy": "TKIP", "authentication": "WPAPSK",
      "key": "00112233445566778899aabbccddeeff00112233445566778899AABBCCDDEEFF", "address": "10.0.0.5" },
    { "ssid": "Wep5", "privacy": "WEP", "authentication": "Open", "key": "ab#de", "address": "10.0.1.5" },
    { "ssid": "Wep26", "privacy": "WEP", "authentication": "Shared", "key": "00112233445566778899aabbcc",
      "keyIndex": 3, "address": "10.0.2.5" },
    { "ssid": "Cafe", "privacy": "none", "authentication": "Open", "rssi": -70, "address": "172.16.0.9" },
    { "ssid": "NoDhcp", "privacy": "none", "authentication": "Open" },
    { "ssid": "Corp", "privacy": "AES", "authentication": "WPA2PSK", "authData": "0a0b0c", "eapType": 25 },
    { "ssid": "b", "privacy": "none", "rssi": -60 },
    { "ssid": "B", "privacy": "none", "rssi": -60 },
    { "ssid": "a", "privacy": "none", "rssi": -40 },
    { "ssid": "a", "privacy": "none", "rssi": -70 },
    { "ssid": "    ", "privacy": "none" },
    { "ssid": "", "privacy": "none" }
  ]
})";

class WirelessSim : public ::testing::Test {
protected:
    void SetUp() override
    {
        kivo::test::wirelessTestApp();
        CMyConfigWiFi::setDelayScaleForTests(0.1);
        m_root.writeFile(sim::kWorldFile, world());
        sim::reload();
    }
    void TearDown() override { CMyConfigWiFi::setDelayScaleForTests(1.0); }
    virtual std::string world() const { return kWorld; }

    // Starts the layer and waits for the first scan.
    void start(CMyConfigWiFi& wifi)
    {
        ASSERT_TRUE(wifi.startWzc());
        ASSERT_TRUE(pumpUntil([&] {
            wifi.refreshVisibleList();
            return wifi.visibleCount() > 0;
        }));
    }

    // Starts the layer and waits until its event thread reads the queue: the
    // thread creates the queue's read end, and writes before that are lost.
    void startEventThread(CMyConfigWiFi& wifi, EventLog& events)
    {
        ASSERT_TRUE(wifi.startWzc());
        ASSERT_TRUE(pumpUntil([] { return sim::writeEvent(12, "probe"); }));
        ASSERT_TRUE(pumpUntil([&] { return events.has("WZC_VISIBLE_NETWORK"); }));
        events.names.clear();
    }

    // Waits until no event came for 300 ms.
    static void settle(const EventLog& events)
    {
        for (;;) {
            int before = events.names.size();
            pumpFor(300);
            if (events.names.size() == before)
                return;
        }
    }

    int visibleIndex(CMyConfigWiFi& wifi, const char* ssid)
    {
        for (int i = 0; i < wifi.visibleCount(); ++i)
            if (std::strcmp(reinterpret_cast<const char*>(wifi.visibleList()[i].Ssid.Ssid), ssid) == 0)
                return i;
        return -1;
    }

    kivo::test::TempDeviceRoot m_root;
};

TEST_F(WirelessSim, CorrectKeyAssociatesThenNotifiesOnceWithAUsableAddress)
{
    CMyConfigWiFi wifi;
    EventLog events(wifi);
    NoteWindow window;
    start(wifi);

    EXPECT_TRUE(wifi.connectNetwork(
        window.hwnd(), 0x8123, "Home", "correct horse", ce::NDIS_PRIVACY_AES_ENABLED, ce::NDIS_AUTH_WPA2PSK, 1, false));
    ASSERT_TRUE(pumpUntil([&] { return !window.notes.empty(); }));
    EXPECT_EQ(window.notes[0].message, 0x8123u);
    EXPECT_EQ(window.notes[0].wParam, 1u) << "the address came within the bounded checks";
    EXPECT_EQ(window.notes[0].ssid, u"Home");
    ASSERT_TRUE(pumpUntil([&] { return events.has("WZC_CONFIGURED"); }));
    EXPECT_EQ(events.names.mid(0, 2), QStringList({ "WZC_ASSOCIATING", "WZC_SUCCESSFUL_ASSOCIATION" }));
    pumpFor(200);
    EXPECT_EQ(window.notes.size(), 1u) << "one join, one notification";

    EXPECT_TRUE(wifi.isAssociated());
    EXPECT_TRUE(wifi.isConnected());
    bool usable = false;
    QString name, descr, dhcp, ip, gw, mask, dhcp2;
    EXPECT_EQ(wifi.getIPInfo(&usable, &name, &descr, &dhcp, &ip, &gw, &mask, &dhcp2), 0);
    EXPECT_TRUE(usable);
    EXPECT_EQ(QStringList({ name, descr, dhcp, ip, gw, mask, dhcp2 }),
        QStringList({ "WLAN1", "Sim adapter", "192.168.1.254", "192.168.1.20", "192.168.1.1", "255.255.255.0",
            "192.168.1.254" }));
    ce::WZC_WLAN_CONFIG first {};
    ASSERT_TRUE(wifi.firstPreferredNetwork(&first));
    EXPECT_EQ(wifi.indexOfVisible(first), visibleIndex(wifi, "Home"));
}

TEST_F(WirelessSim, WrongKeyReportsFailureAndNotifiesZero)
{
    CMyConfigWiFi wifi;
    EventLog events(wifi);
    NoteWindow window;
    start(wifi);
    EXPECT_TRUE(wifi.connectNetwork(
        window.hwnd(), 0x8124, "Home", "wrong horse", ce::NDIS_PRIVACY_AES_ENABLED, ce::NDIS_AUTH_WPA2PSK, 1, false));
    ASSERT_TRUE(pumpUntil([&] { return !window.notes.empty(); }));
    EXPECT_EQ(window.notes[0].wParam, 0u);
    EXPECT_EQ(window.notes[0].ssid, u"Home");
    EXPECT_EQ(events.names, QStringList({ "WZC_ASSOCIATING", "WZC_FAILED_ASSOCIATION" }));
    EXPECT_FALSE(wifi.isAssociated());
    EXPECT_FALSE(wifi.isConnected());
}

// Every key form the layer writes is read back by the service as the key the
// network accepts; a network that gives no address notifies 0.
TEST_F(WirelessSim, KeyFormsJoin)
{
    struct Case {
        const char* ssid;
        const char* key;
        ce::DWORD privacy, auth;
        int keyIndex;
        ce::WPARAM expected;
    };
    const std::vector<Case> cases = {
        { "Raw", "00112233445566778899AABBCCDDEEFF00112233445566778899aabbccddeeff", 4, 4, 1, 1 },
        { "Wep5", "ab#de", 0, 0, 1, 1 }, { "Wep26", "00112233445566778899AABBCC", 0, 1, 3, 1 },
        { "Wep26", "00112233445566778899AABBCC", 0, 1, 1, 0 }, // key at the wrong index
        { "Wep5", "ab#dd", 0, 0, 1, 0 }, { "Cafe", "", 1, 0, 1, 1 },
        { "Cafe", "", 4, 4, 1, 0 }, // wrong security for the network
        { "NoDhcp", "", 1, 0, 1, 0 }, // associates, never gets an address
    };
    CMyConfigWiFi wifi;
    EventLog events(wifi);
    NoteWindow window;
    start(wifi);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.ssid) + " / " + c.key);
        window.notes.clear();
        wifi.connectNetwork(window.hwnd(), 0x8125, c.ssid, c.key, c.privacy, c.auth, c.keyIndex, false);
        ASSERT_TRUE(pumpUntil([&] { return !window.notes.empty(); }));
        EXPECT_EQ(window.notes[0].wParam, c.expected);
        // The join's late events (an address, "configured") would otherwise
        // reach the next join's target.
        settle(events);
    }
    EXPECT_TRUE(wifi.isAssociated()) << "NoDhcp associated";
    EXPECT_FALSE(wifi.isConnected()) << "without an address";
}

TEST_F(WirelessSim, ScanDropsHiddenMergesDuplicatesSortsAndKeepsTheListOnAnEmptyScan)
{
    CMyConfigWiFi wifi;
    start(wifi);
    std::vector<std::string> names;
    for (int i = 0; i < wifi.visibleCount(); ++i)
        names.push_back(reinterpret_cast<const char*>(wifi.visibleList()[i].Ssid.Ssid));
    EXPECT_EQ(
        names, (std::vector<std::string> { "B", "Cafe", "Corp", "Home", "NoDhcp", "Raw", "Wep26", "Wep5", "a", "b" }));
    EXPECT_EQ(wifi.visibleList()[visibleIndex(wifi, "a")].Rssi, -70);

    m_root.writeFile(sim::kWorldFile, R"({ "networks": [] })");
    sim::reloadNetworks();
    EXPECT_EQ(wifi.refreshInterface(), 0u);
    pumpFor(100);
    EXPECT_EQ(wifi.refreshVisibleList(), 0u);
    EXPECT_EQ(wifi.visibleCount(), 10) << "an empty scan keeps the previous list";

    ce::WZC_WLAN_CONFIG unknown {};
    unknown.Ssid.SsidLength = 3;
    std::memcpy(unknown.Ssid.Ssid, "Zed", 3);
    EXPECT_EQ(wifi.indexOfVisible(unknown), -1);
}

TEST_F(WirelessSim, AddingMovesTheNetworkFirstInTheServiceListAndLogs)
{
    CMyConfigWiFi wifi;
    wifi.setLogEnabled(true);
    ASSERT_TRUE(wifi.startWzc());
    std::vector<ce::WZC_WLAN_CONFIG> five;
    for (const char* s : { "P0", "P1", "P2", "P3", "P4" }) {
        ce::WZC_WLAN_CONFIG r {};
        r.Length = sizeof r;
        r.InfrastructureMode = 1;
        r.Privacy = 1;
        r.Ssid.SsidLength = 2;
        std::memcpy(r.Ssid.Ssid, s, 2);
        five.push_back(r);
    }
    ce::BYTE authData[3] = { 7, 8, 9 };
    five[2].EapolParams.pbAuthData = authData;
    five[2].EapolParams.dwAuthDataLen = 3;
    sim::setPreferredList(five, 4);
    EXPECT_EQ(wifi.AddToPreferredNetworkList(five[2]), 0u);
    std::vector<std::string> order;
    for (const auto& r : sim::preferredList())
        order.push_back(std::string(reinterpret_cast<const char*>(r.Ssid.Ssid), r.Ssid.SsidLength));
    EXPECT_EQ(order, (std::vector<std::string> { "P2", "P0", "P1", "P3", "P4" }));
    ce::WZC_WLAN_CONFIG first {};
    ASSERT_TRUE(wifi.firstPreferredNetwork(&first));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(first.Ssid.Ssid), 2), "P2");
    // The copy outlives the reply its auth data lay in: it keeps no pointer.
    EXPECT_TRUE(first.EapolParams.pbAuthData == nullptr); // packed: compared by value
    EXPECT_EQ(first.EapolParams.dwAuthDataLen, 0u);

    EXPECT_EQ(wifi.clearPreferredList(), 0u);
    EXPECT_TRUE(sim::preferredList().empty());
    EXPECT_FALSE(wifi.firstPreferredNetwork(&first));

    QFile log(QString::fromStdString(ce::resolvePath("/SystemDrive/Falmo/program/wifi/Log/MyConfigWiFiLog.txt")));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(log.readAll());
    const QStringList lines = text.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 3);
    const QRegularExpression shape(QStringLiteral(R"(^\d{4}-\d{2}-\d{2} - \d{2}:\d{2}:\d{2} - \[In MyConfigWiFi)"));
    for (const QString& l : lines)
        EXPECT_TRUE(shape.match(l).hasMatch()) << l.toStdString();
    EXPECT_TRUE(text.contains(
        "[In MyConfigWiFi - AddToPreferredNetworkList()]already in the [Preferred Networks] list,make it to top | P2"));
    EXPECT_TRUE(text.contains("[In MyConfigWiFi - AddToPreferredNetworkList()] FINISH!!! | P2"));
    EXPECT_TRUE(text.endsWith(QStringLiteral("\r\n")));
}

// A join by explicit settings makes its record the only preferred network:
// the SSID cut to 32 characters, each byte the low 8 bits of a character.
TEST_F(WirelessSim, ExplicitJoinRecordIsTheOnlyPreferredNetwork)
{
    CMyConfigWiFi wifi;
    ASSERT_TRUE(wifi.startWzc());
    ce::WZC_WLAN_CONFIG old {};
    old.Ssid.SsidLength = 3;
    std::memcpy(old.Ssid.Ssid, "Old", 3);
    sim::setPreferredList({ old, old });

    const QString ssid = QString(39, QChar('x')).prepend(QChar(0x0141)); // the first byte is 0x41
    EXPECT_TRUE(wifi.connectNetwork(nullptr, 0, ssid, "", ce::NDIS_PRIVACY_WEP_DISABLED, ce::NDIS_AUTH_OPEN, 1, true));
    auto list = sim::preferredList();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].Length, 196u);
    EXPECT_EQ(list[0].Ssid.SsidLength, 32u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(list[0].Ssid.Ssid), 32), "A" + std::string(31, 'x'));
    EXPECT_EQ(list[0].InfrastructureMode, ce::NDIS_INFRA_ADHOC);
    EXPECT_EQ(list[0].Privacy, ce::NDIS_PRIVACY_WEP_DISABLED);
}

TEST_F(WirelessSim, LogIsOffByDefaultAndStartsAfreshAboveTwoMegabytes)
{
    const std::string path = ce::resolvePath("/SystemDrive/Falmo/program/wifi/Log/MyConfigWiFiLog.txt");
    CMyConfigWiFi wifi;
    wifi.writeLog("quiet");
    EXPECT_FALSE(QFile::exists(QString::fromStdString(path)));

    wifi.setLogEnabled(true);
    m_root.writeFile("/SystemDrive/Falmo/program/wifi/Log/MyConfigWiFiLog.txt", std::string(0x200001, 'x'));
    wifi.writeLog("fresh");
    QFile log(QString::fromStdString(path));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    QByteArray all = log.readAll();
    EXPECT_LT(all.size(), 100);
    EXPECT_TRUE(all.endsWith(" - fresh\r\n"));
}

// A scan result's 802.1X auth data points into a reply that is released: a
// join through the visible list hands on the scalar settings only.
TEST_F(WirelessSim, VisibleJoinCopiesNoAuthDataPointer)
{
    CMyConfigWiFi wifi;
    start(wifi);
    int corp = visibleIndex(wifi, "Corp");
    ASSERT_GE(corp, 0);
    EXPECT_TRUE(wifi.visibleList()[corp].EapolParams.pbAuthData == nullptr); // packed: compared by value
    EXPECT_TRUE(wifi.connectVisibleNetwork(corp, QString(), nullptr, 0));
    auto list = sim::preferredList();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].EapolParams.bEnable8021x, 1);
    EXPECT_EQ(list[0].EapolParams.dwEapType, 25u) << "the scan record's settings, not the defaults";
    EXPECT_EQ(list[0].EapolParams.dwAuthDataLen, 0u);
    EXPECT_TRUE(list[0].EapolParams.pbAuthData == nullptr); // packed: compared by value

    EXPECT_FALSE(wifi.connectVisibleNetwork(-1, "x", nullptr, 0));
    EXPECT_FALSE(wifi.connectVisibleNetwork(wifi.visibleCount(), "x", nullptr, 0));
    EXPECT_EQ(sim::preferredList().size(), 1u) << "an index outside the list does nothing";
}

TEST_F(WirelessSim, VisibleJoinWithKeyAssociates)
{
    CMyConfigWiFi wifi;
    NoteWindow window;
    start(wifi);
    wifi.connectVisibleNetwork(visibleIndex(wifi, "Home"), "correct horse", window.hwnd(), 0x8126);
    ASSERT_TRUE(pumpUntil([&] { return !window.notes.empty(); }));
    EXPECT_EQ(window.notes[0].wParam, 1u);
}

// The second adapter-information call can fail too (the list grew between the
// two calls): then nothing is read from the buffer, though it holds the
// adapters of before.
TEST_F(WirelessSim, AdapterInfoFailureGivesEmptyTextsAndNotUsable)
{
    CMyConfigWiFi wifi;
    NoteWindow window;
    start(wifi);
    wifi.connectNetwork(window.hwnd(), 1, "Cafe", "", 1, 0, 1, false);
    ASSERT_TRUE(pumpUntil([&] { return !window.notes.empty(); }));
    ASSERT_TRUE(wifi.isConnected());

    sim::failNextAdapterInfoCalls(1); // the retry with the size asked for succeeds
    bool usable = false;
    QString ip;
    wifi.getIPInfo(&usable, nullptr, nullptr, nullptr, &ip);
    EXPECT_TRUE(usable);
    EXPECT_EQ(ip, "172.16.0.9");

    sim::failNextAdapterInfoCalls(2);
    QString name = "stale", dhcp = "stale";
    ip = "stale";
    wifi.getIPInfo(&usable, &name, nullptr, &dhcp, &ip);
    EXPECT_FALSE(usable);
    EXPECT_TRUE(name.isEmpty() && dhcp.isEmpty() && ip.isEmpty());
    sim::failNextAdapterInfoCalls(2);
    EXPECT_FALSE(wifi.isConnected());
}

TEST_F(WirelessSim, ZeroConfigOnAndOff)
{
    CMyConfigWiFi wifi;
    ASSERT_TRUE(wifi.startWzc());
    EXPECT_TRUE(wifi.IsEnableWzcServer());
    EXPECT_EQ(wifi.enableWzcServer(false), 0u);
    EXPECT_FALSE(wifi.IsEnableWzcServer());
    EXPECT_FALSE(sim::status().zeroConfigEnabled);
    EXPECT_EQ(wifi.enableWzcServer(true), 0u);
    EXPECT_TRUE(wifi.IsEnableWzcServer());
}

TEST_F(WirelessSim, EventThreadNamesEventsDropsBadRecordsAndStops)
{
    CMyConfigWiFi wifi;
    EventLog events(wifi);
    NoteWindow window;
    ASSERT_NO_FATAL_FAILURE(startEventThread(wifi, events));

    // Records of the wrong size are dropped; an SSID without its NUL is cut.
    ce::MSGQUEUEOPTIONS o { sizeof o, ce::MSGQUEUE_ALLOW_BROKEN, 16, 4096, 0 };
    ce::HANDLE q = ce::createMsgQueue(ce::WZC_EVENT_QUEUE_NAME, &o);
    ASSERT_NE(q, nullptr);
    ce::BYTE shortRecord[10] = { 1 };
    ASSERT_TRUE(ce::writeMsgQueue(q, shortRecord, sizeof shortRecord, 0, 0));
    std::vector<ce::BYTE> longRecord(1000, 0);
    longRecord[0] = 1;
    ASSERT_TRUE(ce::writeMsgQueue(q, longRecord.data(), ce::DWORD(longRecord.size()), 0, 0));
    ce::WZC_EVENT_MESSAGE unterminated {};
    unterminated.dwEventCode = 0xFFFFFFFFu;
    std::memset(unterminated.szSsid, 'S', sizeof unterminated.szSsid);
    ASSERT_TRUE(ce::writeMsgQueue(q, &unterminated, sizeof unterminated, 0, 0));
    ce::closeMsgQueue(q);
    ASSERT_TRUE(pumpUntil([&] { return events.has("WZC_STARTED"); }));
    pumpFor(100);
    EXPECT_EQ(events.names, QStringList { "WZC_STARTED" });

    // No preferred network in range.
    wifi.connectNetwork(window.hwnd(), 0x8127, "Nowhere", "", 1, 0, 1, false);
    ASSERT_TRUE(pumpUntil([&] { return events.has("WZC_PREFERED_LIST_EXHAUSTED"); }));
    EXPECT_TRUE(window.notes.empty());

    ASSERT_TRUE(sim::writeEvent(8, ""));
    ASSERT_TRUE(pumpUntil([&] { return !window.notes.empty(); }));
    EXPECT_EQ(window.notes[0].message, 0x8127u);
    EXPECT_EQ(window.notes[0].wParam, 0u);
    EXPECT_EQ(window.notes[0].ssid, u"[No SSID]");

    for (ce::DWORD code : { 9u, 99u, 0u })
        ASSERT_TRUE(sim::writeEvent(code, "x"));
    ASSERT_TRUE(pumpUntil([&] { return events.names.size() >= 6; }));
    pumpFor(100);
    EXPECT_EQ(events.names,
        QStringList({ "WZC_STARTED", "WZC_PREFERED_LIST_EXHAUSTED", "WZC_FAILED_ASSOCIATION", "WZC_FAILED_ASSOCIATION",
            "default", "default" }));
    EXPECT_EQ(window.notes.size(), 1u) << "one join, one notification";

    EXPECT_TRUE(wifi.stopWzc());
    EXPECT_TRUE(wifi.isFinished());
}

// A notification's SSID text is read by its window later, in its own
// thread: it must stay readable while the event thread handles further
// events with other (longer) SSIDs.
TEST_F(WirelessSim, NotificationTextStaysReadableAfterLaterEvents)
{
    CMyConfigWiFi wifi;
    EventLog events(wifi);
    NoteWindow window;
    ASSERT_NO_FATAL_FAILURE(startEventThread(wifi, events));
    wifi.connectNetwork(window.hwnd(), 0x8128, "Nowhere", "", 1, 0, 1, false);
    ASSERT_TRUE(pumpUntil([&] { return events.has("WZC_PREFERED_LIST_EXHAUSTED"); }));

    // Qt events only: the window's messages wait until the later event was handled.
    auto qtUntil = [](const std::function<bool()>& pred) {
        for (int i = 0; i < 2000 && !pred(); ++i) {
            QCoreApplication::processEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return pred();
    };
    const std::string joined(20, 'J');
    ASSERT_TRUE(sim::writeEvent(2, joined));
    ASSERT_TRUE(qtUntil([&] { return events.has("WZC_FAILED_ASSOCIATION"); }));
    ASSERT_TRUE(sim::writeEvent(12, std::string(32, 'L')));
    ASSERT_TRUE(qtUntil([&] { return events.has("WZC_VISIBLE_NETWORK"); }));
    EXPECT_TRUE(window.notes.empty());

    ASSERT_TRUE(pumpUntil([&] { return !window.notes.empty(); }));
    EXPECT_EQ(window.notes[0].message, 0x8128u);
    EXPECT_EQ(window.notes[0].ssid, std::u16string(joined.begin(), joined.end()));
}

TEST_F(WirelessSim, StopEndsTheAddressWait)
{
    CMyConfigWiFi::setDelayScaleForTests(10.0); // the address wait would take a minute
    CMyConfigWiFi wifi;
    ASSERT_TRUE(wifi.startWzc());
    ASSERT_TRUE(pumpUntil([] { return sim::writeEvent(3, "Home"); }));
    pumpFor(100);
    EXPECT_TRUE(wifi.stopWzc());
}

class WirelessSimRadioOff : public WirelessSim {
    std::string world() const override { return R"({ "radioOn": false, "adapter": { "name": "WLAN9" } })"; }
};

TEST_F(WirelessSimRadioOff, ConstructionSwitchesTheRadioOn)
{
    EXPECT_FALSE(sim::status().radioOn);
    CMyConfigWiFi wifi;
    EXPECT_TRUE(sim::status().radioOn);
    EXPECT_TRUE(wifi.startWzc());
    QString name;
    bool usable = true;
    wifi.getIPInfo(&usable, &name);
    EXPECT_EQ(name, "WLAN9");
    EXPECT_FALSE(usable) << "no network joined";
}

class WirelessSimNoAdapter : public WirelessSim {
    std::string world() const override { return R"({ "adapter": null })"; }
};

TEST_F(WirelessSimNoAdapter, EveryAdapterOperationFails)
{
    CMyConfigWiFi::setDelayScaleForTests(0.005);
    CMyConfigWiFi wifi;
    NoteWindow window;
    EXPECT_FALSE(wifi.startWzc());
    kivo::test::expectNoService(wifi, window.hwnd());
}

} // namespace
