// BLE sensors through the controller's rows: a scan lists the devices of
// the scanned kind, a connection reports its state, measurements and the
// battery every 5 s (on a clock a hundred times faster), and a disconnect
// ends it; failures report a failed connection.
#include "tests/bt/bt_test_support.h"

#include "bt/core/ble_sensors.h"
#include "platform/debug.h"

#include <mutex>

using namespace kivo::bt;
using namespace kivo::bt::test;
namespace sim = kivo::sim::bt;

namespace {

using Measurement = std::array<uint8_t, kBtBleMeasurementBytes>;

sim::BleSensor sensor(int handle, int kind, const std::u16string& name, int battery)
{
    sim::BleSensor s;
    s.address = { 0xC0, 0x00, 0x00, 0x00, uint8_t(handle >> 8), uint8_t(handle) };
    s.name = name;
    s.handle = handle;
    s.kind = kind;
    s.battery = battery;
    return s;
}

class Ble : public CoreFixture {
protected:
    void SetUp() override
    {
        CoreFixture::SetUp();
        m_hook = ce::addDebugOutputHook([this](const std::string& line) {
            std::lock_guard<std::mutex> l(m_logMutex);
            m_log.push_back(line);
        });
        sim::World w;
        w.sensors = { sensor(101, 1, u"HR Strap", 87), sensor(102, 1, u"HR Watch", 60),
            sensor(201, 2, u"Cadence", 55) };
        sim::setWorld(w);
    }
    void TearDown() override
    {
        ResetBleForTests(); // ends a battery poller still running
        ce::removeDebugOutputHook(m_hook);
        CoreFixture::TearDown();
    }
    // A client request as CDlgKivoBT forwards it. (No settling here: a
    // connected sensor's battery poller runs until it disconnects.)
    void request(ce::UINT message, ce::WPARAM w)
    {
        ce::sendMessage(internal.hwnd(), message, w, 0);
    }
    // Handles of the devices found, in order.
    std::vector<int> found() const
    {
        std::vector<int> out;
        for (const Note& n : client.notes)
            if (n.name == "copydata WM_BTOUT_BLE_DEVICE_FOUND") {
                EXPECT_EQ(n.data.size(), 144u);
                BtBleDevice d;
                std::memcpy(&d, n.data.data(), sizeof d);
                out.push_back(d.handle);
            }
        return out;
    }
    std::vector<int> posted(const std::string& name) const
    {
        std::vector<int> out;
        for (const Note& n : client.notes)
            if (n.name == name)
                out.push_back(int(n.w));
        return out;
    }
    bool logged(const std::string& part)
    {
        std::lock_guard<std::mutex> l(m_logMutex);
        for (const std::string& line : m_log)
            if (line.find(part) != std::string::npos)
                return true;
        return false;
    }
    void scanAndConnect(int kind, int handle)
    {
        request(WM_BTIN_BLE_SCAN, ce::WPARAM(kind));
        ASSERT_TRUE(pumpUntil([&] { return !found().empty(); }));
        settle();
        request(WM_BTIN_BLE_CONNECT, ce::WPARAM(handle));
        const char* state = kind == 1 ? "WM_BTOUT_HRS_STATE" : "WM_BTOUT_SACS_STATE";
        ASSERT_TRUE(pumpUntil([&] { return !posted(state).empty() && !sim::bleNotifying().empty(); }));
    }

private:
    int m_hook = 0;
    std::mutex m_logMutex;
    std::vector<std::string> m_log;
};

} // namespace

TEST_F(Ble, AScanListsEachAdvertOfItsKindAndKeepsEachHandleOnce)
{
    request(WM_BTIN_BLE_SCAN, 1);
    // The stack was started for the scan, not made pairable.
    EXPECT_EQ(GetManagerState().stackInitialised, 1);
    EXPECT_EQ(sim::countCalls("Init"), 1);
    ASSERT_TRUE(pumpUntil([&] { return found().size() == 2; }));
    settle();
    std::vector<int> handles = found();
    std::sort(handles.begin(), handles.end());
    EXPECT_EQ(handles, (std::vector<int> { 101, 102 })); // the cadence sensor is not a heart-rate one
    // Every look-up at an advert is ended.
    EXPECT_EQ(sim::countCalls("BLEEnd"), 3);

    // The same sensor again: posted again, listed once.
    sim::bleAdvertise(101);
    ASSERT_TRUE(pumpUntil([&] { return found().size() == 3; }));
    settle();
    EXPECT_EQ(internal.count("WM_STKOUTMSG_BLEDEVFIND"), 3);
    EXPECT_EQ(GetBleState().hrHandles, 2);
    BtBleDevice d;
    std::memcpy(&d, client.last("copydata WM_BTOUT_BLE_DEVICE_FOUND")->data.data(), sizeof d);
    EXPECT_EQ(fieldText(d.name, 65), u"HR Strap");

    request(WM_BTIN_BLE_SCAN_CANCEL, 0);
    EXPECT_FALSE(sim::bleScanning());
    settle();
    EXPECT_EQ(internal.last("WM_STKOUTMSG_BLEDEVFIND")->w, 0u);
    EXPECT_EQ(found().size(), 3u); // the end of the scan is not passed on
}

TEST_F(Ble, AConnectedHeartRateSensorReportsItsRateAndBatteryUntilDisconnected)
{
    scanAndConnect(1, 101);
    EXPECT_EQ(posted("WM_BTOUT_HRS_STATE"), std::vector<int> { 2 });
    EXPECT_EQ(sim::bleNotifying(), std::set<int> { 101 });
    for (const sim::Call& c : sim::calls()) {
        if (c.name == "BLEGetDescriptorByUUID") {
            EXPECT_EQ(c.args, (std::vector<long> { 101, 0x2902 }));
        }
    }
    // The measurement's client configuration set to 1: notifications on.
    const std::vector<sim::Call> enabled = callsTo("BLESetDescriptorValue");
    ASSERT_EQ(enabled.size(), 1u);
    EXPECT_EQ(enabled[0].args, (std::vector<long> { 101, 0x2902, 1 }));

    Measurement m {};
    m[4] = 72;
    sim::bleNotify(101, m);
    ASSERT_TRUE(pumpUntil([&] { return client.count("copydata WM_BTOUT_HRS_DATA") == 1; }));
    const Note* data = client.last("copydata WM_BTOUT_HRS_DATA");
    ASSERT_EQ(data->data.size(), 12u);
    EXPECT_EQ(data->data[4], 72);
    // Another characteristic of the sensor: not its measurement.
    m[4] = 99;
    sim::bleNotify(101, m, 0x0099);
    sim::bleNotify(101, m);
    ASSERT_TRUE(pumpUntil([&] { return client.count("copydata WM_BTOUT_HRS_DATA") == 2; }));
    sim::waitIdle();
    ce::pumpMessages();
    EXPECT_EQ(client.count("copydata WM_BTOUT_HRS_DATA"), 2);
    EXPECT_TRUE(logged("HR DATA(99)"));

    // The battery, every 5 s while connected.
    ASSERT_TRUE(pumpUntil([&] { return posted("WM_BTOUT_HRS_BATTERY").size() >= 2; }));
    EXPECT_EQ(posted("WM_BTOUT_HRS_BATTERY")[0], 87);
    EXPECT_EQ(GetBleState().hrBattery, 87);

    request(WM_BTIN_BLE_DISCONNECT, 101);
    ASSERT_TRUE(pumpUntil([&] { return posted("WM_BTOUT_HRS_STATE").size() == 2; }));
    settle(); // the poller ends with the link
    EXPECT_EQ(posted("WM_BTOUT_HRS_STATE"), (std::vector<int> { 2, 0 }));
    EXPECT_EQ(GetBleState().hrHandle, 0);
    EXPECT_EQ(GetBleState().hrBattery, 0);
    EXPECT_TRUE(sim::bleNotifying().empty());
    const size_t batteries = posted("WM_BTOUT_HRS_BATTERY").size();
    settle();
    EXPECT_EQ(posted("WM_BTOUT_HRS_BATTERY").size(), batteries);
}

TEST_F(Ble, SpeedAndCadenceAlike)
{
    scanAndConnect(2, 201);
    EXPECT_EQ(found(), std::vector<int> { 201 });
    EXPECT_EQ(posted("WM_BTOUT_SACS_STATE"), std::vector<int> { 2 });
    Measurement m { 0x10, 0x27, 0, 0, 0x00, 0x04, 0x2A, 0, 0x00, 0x08, 0, 0 };
    sim::bleNotify(201, m);
    ASSERT_TRUE(pumpUntil([&] { return client.count("copydata WM_BTOUT_SAC_DATA") == 1; }));
    EXPECT_EQ(client.last("copydata WM_BTOUT_SAC_DATA")->data, std::vector<uint8_t>(m.begin(), m.end()));
    EXPECT_TRUE(logged("CSC DATA:CCR(42), CWR(10000), LCE(2048), LWE(1024)"));
    ASSERT_TRUE(pumpUntil([&] { return !posted("WM_BTOUT_SACS_BATTERY").empty(); }));
    EXPECT_EQ(posted("WM_BTOUT_SACS_BATTERY")[0], 55);
    EXPECT_EQ(client.count("WM_BTOUT_HRS_BATTERY"), 0);

    request(WM_BTIN_BLE_DISCONNECT, 201);
    ASSERT_TRUE(pumpUntil([&] { return posted("WM_BTOUT_SACS_STATE").size() == 2; }));
    EXPECT_EQ(posted("WM_BTOUT_SACS_STATE").back(), 0);
    // A handle that is not connected disconnects nothing.
    EXPECT_EQ(BleDisconnect(201), 0);
}

TEST_F(Ble, AConnectionThatCannotBeMadeIsReportedFailed)
{
    struct Case {
        const char* what;
        int handle;
        const char* failure; // a GATT look-up that fails
    };
    const Case cases[] = {
        { "a handle no scan listed", 999, nullptr },
        { "no heart-rate service", 101, "BLEGetServiceByUUID/180D" },
        { "no measurement", 102, "BLEGetCharacterByUUID/2A37" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        client.notes.clear();
        ResetBleForTests();
        sim::World w = sim::world();
        w.failures.clear();
        sim::setWorld(w);
        request(WM_BTIN_BLE_SCAN, 1);
        ASSERT_TRUE(pumpUntil([&] { return found().size() == 2; }));
        settle();
        if (c.failure) {
            w.failures[c.failure] = 1;
            sim::setWorld(w);
        }
        request(WM_BTIN_BLE_CONNECT, ce::WPARAM(c.handle));
        auto states = [&] { return posted("WM_BTOUT_HRS_STATE"); };
        ASSERT_TRUE(pumpUntil([&] { return !states().empty() && states().back() == 3; }));
        settle();
        // The link may have come up (2) before the look-up failed; it ends failed.
        EXPECT_EQ(states().back(), 3);
        EXPECT_LE(states().size(), 2u);
        EXPECT_EQ(GetBleState().hrHandle, 0);
        EXPECT_TRUE(sim::bleNotifying().empty());
    }
}

TEST_F(Ble, TheHandleListStartsOverAtAHundred)
{
    sim::World w;
    for (int i = 0; i < 101; ++i)
        w.sensors.push_back(sensor(1000 + i, 1, u"HR", 50));
    sim::setWorld(w);
    request(WM_BTIN_BLE_SCAN, 1);
    ASSERT_TRUE(pumpUntil([&] { return found().size() == 101; }, 60000));
    settle();
    EXPECT_TRUE(logged("--->s_hrDevCnt = 100---0"));
    EXPECT_EQ(GetBleState().hrHandles, 1);
    // Every listed handle still connects.
    request(WM_BTIN_BLE_CONNECT, 1005);
    ASSERT_TRUE(pumpUntil([&] { return !posted("WM_BTOUT_HRS_STATE").empty(); }));
    EXPECT_EQ(posted("WM_BTOUT_HRS_STATE"), std::vector<int> { 2 });
}
