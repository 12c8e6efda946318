#include "platform/device.h"
#include "platform/registry.h"
#include "platform/sync.h"

#include "tests/platform/peer.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

// An in-process device: control 0x10 answers with 4 bytes, anything else fails.
class Recorder : public ce::DeviceSession {
public:
    explicit Recorder(std::vector<std::string>* log)
        : m_log(log)
    {
    }
    bool read(std::vector<uint8_t>&, size_t, ce::DWORD) override { return true; }
    bool write(const uint8_t* d, size_t n) override
    {
        m_log->push_back(std::string(reinterpret_cast<const char*>(d), n));
        return true;
    }
    bool ioControl(
        ce::DWORD code, const std::vector<uint8_t>&, std::vector<uint8_t>& out, size_t, ce::DWORD* error) override
    {
        if (code != 0x10) {
            *error = ce::ERROR_NOT_SUPPORTED;
            return false;
        }
        out = { 1, 2, 3, 4 };
        return true;
    }
    void close() override { }

private:
    std::vector<std::string>* m_log;
};

class RecorderDriver : public ce::DeviceDriver {
public:
    std::vector<std::string> log;
    std::unique_ptr<ce::DeviceSession> open(ce::DWORD, ce::DWORD*) override { return std::make_unique<Recorder>(&log); }
};

// A misbehaving device: every read hands back more than one frame can carry.
class FloodSession : public ce::DeviceSession {
public:
    bool read(std::vector<uint8_t>& out, size_t, ce::DWORD) override
    {
        out.assign(3u << 20, 'f');
        return true;
    }
    bool write(const uint8_t*, size_t) override { return true; }
    bool ioControl(ce::DWORD, const std::vector<uint8_t>&, std::vector<uint8_t>&, size_t, ce::DWORD* error) override
    {
        *error = ce::ERROR_NOT_SUPPORTED;
        return false;
    }
    void close() override { }
};

class FloodDriver : public ce::DeviceDriver {
public:
    std::unique_ptr<ce::DeviceSession> open(ce::DWORD, ce::DWORD*) override { return std::make_unique<FloodSession>(); }
};

bool startServing(kivo::test::Peer& peer)
{
    return peer.readLine() == "ready";
}

} // namespace

TEST(Device, InProcessDriver)
{
    kivo::test::TempDeviceRoot root;
    auto driver = std::make_shared<RecorderDriver>();
    ce::registerDevice("HSC2:", driver);
    ce::HANDLE h = ce::openDevice("hsc2:", ce::GENERIC_READ | ce::GENERIC_WRITE);
    ASSERT_NE(h, ce::INVALID_HANDLE_VALUE);
    ce::DWORD n = 0;
    EXPECT_TRUE(ce::writeDevice(h, "abc", 3, &n));
    EXPECT_EQ(n, 3u);
    uint8_t out[2];
    EXPECT_TRUE(ce::deviceIoControl(h, 0x10, nullptr, 0, out, sizeof out, &n));
    EXPECT_EQ(n, 2u); // never more than the caller's buffer
    EXPECT_EQ(out[1], 2);
    EXPECT_FALSE(ce::deviceIoControl(h, 0x11, nullptr, 0, nullptr, 0, &n));
    EXPECT_EQ(ce::getLastError(), ce::ERROR_NOT_SUPPORTED);
    ce::closeHandle(h);
    ce::unregisterDevice("HSC2:");
    EXPECT_EQ(driver->log, std::vector<std::string> { "abc" });
    EXPECT_EQ(ce::openDevice("HSC2:", 0), ce::INVALID_HANDLE_VALUE);
    EXPECT_EQ(ce::getLastError(), ce::ERROR_DEV_NOT_EXIST);
}

TEST(Device, ServedByAnotherProcess)
{
    kivo::test::TempDeviceRoot root;
    auto peer = kivo::test::startPeer({ "device-serve", "COM3:" });
    ASSERT_TRUE(startServing(peer));
    ce::HANDLE h = ce::openDevice("COM3:", ce::GENERIC_READ | ce::GENERIC_WRITE);
    ASSERT_NE(h, ce::INVALID_HANDLE_VALUE);
    ce::DWORD n = 0;
    ASSERT_TRUE(ce::writeDevice(h, "hello", 5, &n));
    char buf[16];
    std::string got;
    while (got.size() < 5 && ce::readDevice(h, buf, sizeof buf, &n))
        got.append(buf, n);
    EXPECT_EQ(got, "hello");
    uint8_t in[3] = { 1, 2, 3 }, out[8];
    ASSERT_TRUE(ce::deviceIoControl(h, 1, in, 3, out, sizeof out, &n));
    ASSERT_EQ(n, 3u);
    EXPECT_EQ(out[0], 3);
    EXPECT_FALSE(ce::deviceIoControl(h, 2, nullptr, 0, nullptr, 0, &n));
    EXPECT_EQ(ce::getLastError(), ce::ERROR_NOT_SUPPORTED);

    // A read with a time-out returns with nothing; closing wakes a blocked read.
    ce::setDeviceTimeouts(h, { 30 });
    EXPECT_TRUE(ce::readDevice(h, buf, sizeof buf, &n));
    EXPECT_EQ(n, 0u);
    ce::setDeviceTimeouts(h, { 0 });
    std::atomic<int> blocked { -1 };
    std::thread reader([&] { blocked = ce::readDevice(h, buf, sizeof buf, &n); });
    ce::sleep(50);
    ce::closeHandle(h);
    reader.join();
    EXPECT_EQ(blocked, 0);
}

TEST(Device, PeerThatDisappearsFailsCallsInsteadOfHanging)
{
    kivo::test::TempDeviceRoot root;
    auto peer = kivo::test::startPeer({ "device-serve", "ANT1:" });
    ASSERT_TRUE(startServing(peer));
    ce::HANDLE h = ce::openDevice("ANT1:", ce::GENERIC_READ | ce::GENERIC_WRITE);
    ASSERT_NE(h, ce::INVALID_HANDLE_VALUE);
    std::atomic<int> blocked { -1 };
    std::thread reader([&] {
        char buf[4];
        ce::DWORD n;
        blocked = ce::readDevice(h, buf, sizeof buf, &n);
    });
    ce::sleep(50);
    peer.kill();
    reader.join();
    EXPECT_EQ(blocked, 0);
    ce::DWORD n;
    EXPECT_FALSE(ce::writeDevice(h, "x", 1, &n));
    EXPECT_FALSE(ce::deviceIoControl(h, 1, "x", 1, nullptr, 0, &n));
    ce::closeHandle(h);
    // Nobody serves the name now (the socket file may be left behind).
    EXPECT_EQ(ce::openDevice("ANT1:", 0), ce::INVALID_HANDLE_VALUE);
}

TEST(Device, BuiltInDriverIsLoadedFromTheRegistry)
{
    kivo::test::TempDeviceRoot root;
    ce::DWORD n = 0;
    EXPECT_EQ(ce::openDevice("TDV7:", 0), ce::INVALID_HANDLE_VALUE); // no entry yet
    EXPECT_EQ(ce::getLastError(), ce::ERROR_DEV_NOT_EXIST);

    const std::string key = "Drivers\\BuiltIn\\TestDriver";
    ce::reg::setString(ce::reg::Root::LocalMachine, key, "Prefix", "TDV");
    ce::reg::setDword(ce::reg::Root::LocalMachine, key, "Index", 6);
    ce::reg::setString(ce::reg::Root::LocalMachine, key, "Dll", "PlatformTestDriver.dll");
    EXPECT_EQ(ce::openDevice("TDV7:", 0), ce::INVALID_HANDLE_VALUE); // another index
    ce::reg::setDword(ce::reg::Root::LocalMachine, key, "Index", 7);

    ce::HANDLE h = ce::openDevice("tdv7:", ce::GENERIC_READ);
    ASSERT_NE(h, ce::INVALID_HANDLE_VALUE);
    char out[4] = {};
    EXPECT_TRUE(ce::deviceIoControl(h, 5, nullptr, 0, out, sizeof out, &n));
    EXPECT_EQ(std::string(out, n), "ok");
    ce::closeHandle(h);
    ce::unregisterDevice("TDV7:");
}

TEST(Device, AServedNameKeepsItsFirstServer)
{
    kivo::test::TempDeviceRoot root;
    auto recorder = std::make_shared<RecorderDriver>();
    auto first = std::make_unique<ce::DeviceServer>("BUZ1:", recorder);
    ASSERT_TRUE(first->ok());
    {
        ce::DeviceServer second("buz1:", std::make_shared<FloodDriver>());
        EXPECT_FALSE(second.ok());
    }
    // The first one still answers, also after the refused one is gone.
    ce::HANDLE h = ce::openDevice("BUZ1:", ce::GENERIC_WRITE);
    ASSERT_NE(h, ce::INVALID_HANDLE_VALUE);
    uint8_t out[4];
    ce::DWORD n = 0;
    EXPECT_TRUE(ce::deviceIoControl(h, 0x10, nullptr, 0, out, sizeof out, &n));
    ce::closeHandle(h);
    first.reset();
    ce::DeviceServer again("BUZ1:", recorder); // the name is free once its server ends
    EXPECT_TRUE(again.ok());
}

TEST(Device, AServedReadNeverCarriesMoreThanAsked)
{
    kivo::test::TempDeviceRoot root;
    ce::DeviceServer server("FLD1:", std::make_shared<FloodDriver>());
    ASSERT_TRUE(server.ok());
    ce::HANDLE h = ce::openDevice("FLD1:", ce::GENERIC_READ);
    ASSERT_NE(h, ce::INVALID_HANDLE_VALUE);
    char buf[16];
    for (int i = 0; i < 2; ++i) { // the connection survives the oversized answer
        ce::DWORD n = 0;
        EXPECT_TRUE(ce::readDevice(h, buf, sizeof buf, &n)) << i;
        EXPECT_EQ(n, sizeof buf) << i;
    }
    ce::closeHandle(h);
}
