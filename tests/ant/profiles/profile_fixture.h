// What the profile tests share: the records the callback gets, and the
// library on the simulated radio with its world stepped by the test.
#pragma once

#include "ant/core/ant_library.h"
#include "ant/core/ant_sensor_profile.h"
#include "ant/senvoy.h"

#include "platform/registry.h"
#include "sim/ant_radio/ant_radio_sim.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <vector>

namespace profiletest {

using Bytes = std::vector<uint8_t>;
constexpr uint32_t kWaitMs = 10000;
const Bytes kKey1 { 0x21, 0x43, 0x65, 0x87, 0xA9, 0xCB, 0xED, 0x0F };
const Bytes kKey2 { 0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFE };

struct Record {
    uint32_t code;
    Bytes bytes;
};

// The callback's records, in order.
struct Records {
    std::mutex m;
    std::condition_variable cv;
    std::vector<Record> all;

    static void callback(uint32_t code, uint32_t, const uint8_t* record, uint32_t length, void* context)
    {
        auto* self = static_cast<Records*>(context);
        std::lock_guard<std::mutex> lock(self->m);
        self->all.push_back({ code, Bytes(record, record + length) });
        self->cv.notify_all();
    }
    size_t size()
    {
        std::lock_guard<std::mutex> lock(m);
        return all.size();
    }
    Record at(size_t i)
    {
        std::lock_guard<std::mutex> lock(m);
        return all.at(i);
    }
    Record last()
    {
        std::lock_guard<std::mutex> lock(m);
        return all.back();
    }
    void clear()
    {
        std::lock_guard<std::mutex> lock(m);
        all.clear();
    }
    bool waitFor(size_t n)
    {
        std::unique_lock<std::mutex> lock(m);
        return cv.wait_for(lock, std::chrono::milliseconds(kWaitMs), [&] { return all.size() >= n; });
    }
    // Until a record satisfies what (the bound only fails the wait).
    template <typename F> bool waitForRecord(F what)
    {
        std::unique_lock<std::mutex> lock(m);
        return cv.wait_for(lock, std::chrono::milliseconds(kWaitMs), [&] {
            for (const Record& r : all)
                if (what(r))
                    return true;
            return false;
        });
    }
};

template <typename T> T fieldAt(const Bytes& b, size_t offset)
{
    T v {};
    if (offset + sizeof v <= b.size())
        std::memcpy(&v, b.data() + offset, sizeof v);
    return v;
}

// Counts the messages of a channel no profile uses: once one injected after
// others arrives, the receive thread has handed on everything before it.
class Barrier : public senvoy::ANTChannelHandler {
public:
    void attach(senvoy::ANTFramer*, uint8_t channel) override { m_channel = channel; }
    void detach() override { }
    void onMessage(const uint8_t*, uint16_t) override
    {
        std::lock_guard<std::mutex> lock(m);
        ++count;
        cv.notify_all();
    }
    void onManagerEvent(uint32_t, uint32_t) override { }
    int isEnabled() const override { return 1; }
    bool pass(kivo::sim::AntRadioSim& sim)
    {
        int target;
        {
            std::lock_guard<std::mutex> lock(m);
            target = count + 1;
        }
        sim.injectFrame(0x4E, { 7, 0, 0, 0, 0, 0, 0, 0, 0 });
        std::unique_lock<std::mutex> lock(m);
        return cv.wait_for(lock, std::chrono::milliseconds(kWaitMs), [&] { return count >= target; });
    }
    std::mutex m;
    std::condition_variable cv;
    int count = 0;
};

// The library opened on the simulated radio, answering at once, keys 1 and
// 2 configured, channel 7 kept for the barrier.
struct LibraryFixture : ::testing::Test {
    kivo::test::TempDeviceRoot root;
    kivo::sim::AntRadioSim sim;
    Records records;
    Barrier barrier;

    void SetUp() override
    {
        ce::reg::setString(
            ce::reg::Root::LocalMachine, senvoy::ANT_KEY_REGISTRY_PATH, "NetworkKey1", "21436587A9CBED0F");
        ce::reg::setString(
            ce::reg::Root::LocalMachine, senvoy::ANT_KEY_REGISTRY_PATH, "NetworkKey2", "1032547698BADCFE");
        sim.install();
        sim.setAnswerMode(kivo::sim::AntRadioSim::AnswerMode::Immediate);
        ASSERT_EQ(ANTLIB_Init(), 1);
        uint32_t event = 0;
        ASSERT_TRUE(senvoy::ANTLIB_Manager()->waitEvent(kWaitMs, &event));
        ASSERT_EQ(event, senvoy::ANT_STATE_EVENT_OPENED);
        ASSERT_EQ(senvoy::ANTLIB_Manager()->registerChannel(7, &barrier), 1);
        ASSERT_EQ(ANTSENSOR_Init(&records, &Records::callback), 1);
    }
    void TearDown() override
    {
        ANTSENSOR_Deinit();
        if (senvoy::ANTLIB_Manager())
            senvoy::ANTLIB_Manager()->unregisterChannel(&barrier);
        ANTLIB_Deinit();
    }
    // Steps the world n times by ms and waits until the library has handled
    // what came.
    void step(int n, uint32_t ms)
    {
        for (int i = 0; i < n; ++i)
            sim.advanceTime(ms);
        ASSERT_TRUE(barrier.pass(sim));
    }
    // Hands frames to the library and waits until it has handled them.
    void inject(uint8_t id, const Bytes& data)
    {
        sim.injectFrame(id, data);
        ASSERT_TRUE(barrier.pass(sim));
    }
    // A data page of channel ch as the radio delivers it.
    void page(uint8_t ch, const Bytes& payload)
    {
        Bytes d { ch };
        d.insert(d.end(), payload.begin(), payload.end());
        inject(0x4E, d);
    }
    // The network key message for network n.
    static Bytes keyMessage(uint8_t network, const Bytes& key)
    {
        Bytes m { 0x46, network };
        m.insert(m.end(), key.begin(), key.end());
        return m;
    }
};

} // namespace profiletest
