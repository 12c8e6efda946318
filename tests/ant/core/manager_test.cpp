// The library core and its exports against the simulated radio.
#include "ant/core/ant_command.h"
#include "ant/core/ant_library.h"
#include "ant/senvoy.h"

#include "sim/ant_radio/ant_radio_sim.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

#include <dirent.h>

#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

using namespace senvoy;
using kivo::sim::AntRadioModel;
using kivo::sim::AntRadioSim;
using Bytes = std::vector<uint8_t>;

namespace {

constexpr uint32_t kWaitMs = 10000;

// Records what the core hands it.
class RecordingHandler : public ANTChannelHandler {
public:
    explicit RecordingHandler(bool enabled = true)
        : m_enabled(enabled)
    {
    }
    void attach(ANTFramer* framer, uint8_t channel) override
    {
        m_channel = channel;
        this->framer = framer;
    }
    void detach() override { ++detached; }
    void onMessage(const uint8_t* message, uint16_t length) override
    {
        std::lock_guard<std::mutex> lock(m);
        messages.emplace_back(message, message + 1 + length);
        cv.notify_all();
    }
    void onManagerEvent(uint32_t event, uint32_t) override
    {
        std::lock_guard<std::mutex> lock(m);
        events.push_back(event);
    }
    int isEnabled() const override { return m_enabled; }

    bool waitMessages(size_t n)
    {
        std::unique_lock<std::mutex> lock(m);
        return cv.wait_for(lock, std::chrono::milliseconds(kWaitMs), [&] { return messages.size() >= n; });
    }

    std::mutex m;
    std::condition_variable cv;
    std::vector<Bytes> messages;
    std::vector<uint32_t> events;
    ANTFramer* framer = nullptr;
    int detached = 0;

private:
    bool m_enabled;
};

size_t threadCount()
{
    size_t n = 0;
    if (DIR* d = ::opendir("/proc/self/task")) {
        while (dirent* e = ::readdir(d))
            if (e->d_name[0] != '.')
                ++n;
        ::closedir(d);
    }
    return n;
}

struct LibraryFixture : ::testing::Test {
    kivo::test::TempDeviceRoot root;
    AntRadioSim sim;

    void SetUp() override
    {
        sim.install();
        sim.setAnswerMode(AntRadioSim::AnswerMode::Immediate);
    }
    void TearDown() override
    {
        ANTLIB_Deinit();
        ANTLIB_SetManagerFactoryForTests(nullptr);
    }
    // Starts the library and waits until the radio is open.
    ANTDeviceManager* initOpen()
    {
        EXPECT_EQ(ANTLIB_Init(), 1);
        ANTDeviceManager* manager = ANTLIB_Manager();
        uint32_t event = 0;
        EXPECT_TRUE(manager && manager->waitEvent(kWaitMs, &event));
        EXPECT_EQ(event, ANT_STATE_EVENT_OPENED);
        return manager;
    }
};

} // namespace

TEST_F(LibraryFixture, ExportsNeedTheLibraryAndInitMakesOneCore)
{
    ANTLIB_Deinit(); // nothing to do
    EXPECT_EQ(ANTLIB_InitCWTestMode(), 0);
    EXPECT_EQ(ANTLIB_SetCWTestMode(3, 66), 0);
    EXPECT_EQ(ANTLIB_RxTxTest(), 0);
    EXPECT_TRUE(sim.takeSentMessages().empty());

    ANTDeviceManager* first = initOpen();
    EXPECT_EQ(ANTLIB_Init(), 1);
    EXPECT_EQ(ANTLIB_Manager(), first);
    EXPECT_EQ(sim.startCount(), 1);
    ANTLIB_Deinit();
    EXPECT_EQ(ANTLIB_Manager(), nullptr);
    EXPECT_EQ(ANTLIB_RxTxTest(), 0);
    // Stopping an open radio resets it first.
    EXPECT_EQ(sim.takeSentMessages().back(), (Bytes { 0x4A, 0x00 }));
    EXPECT_FALSE(sim.sessionOpen());
    initOpen();
    EXPECT_EQ(sim.startCount(), 2);
}

TEST_F(LibraryFixture, AFailedStartLeavesNothingBehindSoInitCanRetry)
{
    ANTLIB_SetManagerFactoryForTests([] { return new ANTDeviceManager(nullptr); });
    EXPECT_EQ(ANTLIB_Init(), 0);
    EXPECT_EQ(ANTLIB_Manager(), nullptr);
    EXPECT_EQ(ANTLIB_Init(), 0);
    ANTLIB_SetManagerFactoryForTests(nullptr);
    initOpen();
    EXPECT_EQ(ANTLIB_RxTxTest(), 1);
}

TEST_F(LibraryFixture, RadioTestExportsAwaitTheRadio)
{
    initOpen();
    sim.clearLog();
    EXPECT_EQ(ANTLIB_RxTxTest(), 1);
    EXPECT_EQ(ANTLIB_InitCWTestMode(), 1);
    EXPECT_EQ(ANTLIB_SetCWTestMode(3, 66), 1);
    EXPECT_EQ(sim.takeSentMessages(), (std::vector<Bytes> { { 0x4D, 0, 0x54 }, { 0x53, 0 }, { 0x48, 0, 3, 66 } }));
    sim.withModel([](AntRadioModel& m) {
        m.dropMessages(0x4D, 1);
        m.setResponseCode(0x53, 0x28, 1);
    });
    EXPECT_EQ(ANTLIB_RxTxTest(), 0); // after its second of silence
    EXPECT_EQ(ANTLIB_InitCWTestMode(), 0);
}

TEST_F(LibraryFixture, ARadioErrorResetsTheLinkAndTellsEveryHandler)
{
    struct Fault {
        const char* name;
        std::function<void(AntRadioSim&)> raise;
    };
    const Fault faults[] = {
        { "checksum",
            [](AntRadioSim& s) {
                s.corruptNextChecksums(1);
                s.injectFrame(0x4E, { 0, 1, 2, 3, 4, 5, 6, 7, 8 });
            } },
        { "serial error", [](AntRadioSim& s) { s.injectSerialError(0x02); } },
    };
    for (const Fault& f : faults) {
        ANTDeviceManager* manager = initOpen();
        RecordingHandler a, b;
        ASSERT_EQ(manager->registerChannel(0, &a), 1);
        ASSERT_EQ(manager->registerChannel(5, &b), 1);
        sim.clearLog();
        f.raise(sim);
        uint32_t event = 0;
        ASSERT_TRUE(manager->waitEvent(kWaitMs, &event)) << f.name;
        EXPECT_EQ(event, ANT_STATE_EVENT_RESET) << f.name;
        EXPECT_EQ(a.events, std::vector<uint32_t> { ANT_MANAGER_EVENT_RESET }) << f.name;
        EXPECT_EQ(b.events, std::vector<uint32_t> { ANT_MANAGER_EVENT_RESET }) << f.name;
        // Without auto-retry the link stays closed, and the radio was not
        // sent a reset command on the way.
        EXPECT_EQ(manager->connectionState(), ANT_CONNECTION_CLOSED) << f.name;
        EXPECT_FALSE(sim.sessionOpen()) << f.name;
        EXPECT_TRUE(sim.takeSentMessages().empty()) << f.name;
        EXPECT_TRUE(a.messages.empty()) << f.name;
        manager->unregisterChannel(&a);
        manager->unregisterChannel(&b);
        ANTLIB_Deinit();
    }
}

TEST_F(LibraryFixture, MessagesReachOnlyTheHandlerOfTheirChannel)
{
    ANTDeviceManager* manager = initOpen();
    RecordingHandler two, zeroDisabled(false), other;
    ASSERT_EQ(manager->registerChannel(2, &two), 1);
    ASSERT_EQ(manager->registerChannel(0, &zeroDisabled), 1);
    EXPECT_EQ(two.framer, manager->framer());
    EXPECT_EQ(manager->registerChannel(8, &other), 0);
    EXPECT_EQ(manager->registerChannel(2, &other), 0);
    EXPECT_EQ(manager->unregisterChannel(&other), 0);

    sim.injectFrame(0x4E, { 0x08, 1, 1, 1, 1, 1, 1, 1, 1 }); // channel 8: beyond the table
    sim.injectFrame(0x4E, { 0x09, 1, 1, 1, 1, 1, 1, 1, 1 }); // channel 9: nobody's
    sim.injectFrame(0x4E, { 0x00, 2, 2, 2, 2, 2, 2, 2, 2 }); // disabled handler
    sim.injectFrame(0x40, { 0x02, 0x46, 0x00 }); // radio-wide response
    sim.injectFrame(0x4E, { 0x22, 3, 3, 3, 3, 3, 3, 3, 3 }); // channel bits 0-4: 2
    sim.injectFrame(0x40, { 0x02, 0x01, 0x07 });
    ASSERT_TRUE(two.waitMessages(2));
    EXPECT_EQ(two.messages,
        (std::vector<Bytes> { { 0x4E, 0x22, 3, 3, 3, 3, 3, 3, 3, 3 }, { 0x40, 0x02, 0x01, 0x07 } }));
    EXPECT_TRUE(zeroDisabled.messages.empty());

    EXPECT_EQ(manager->unregisterChannel(&two), 1);
    EXPECT_EQ(two.detached, 1);
    EXPECT_EQ(manager->registerChannel(2, &other), 1);
    manager->unregisterChannel(&other);
    manager->unregisterChannel(&zeroDisabled);
}

TEST_F(LibraryFixture, UnregisteringWaitsForADispatchInProgress)
{
    ANTDeviceManager* manager = initOpen();
    // The handler is busy with a message when another thread unregisters it.
    // Unregistering asks the handler for its channel first; from then on the
    // handler gives the unregistering thread a while to (wrongly) return
    // before it finishes its message.
    struct Busy : RecordingHandler {
        std::promise<void> entered;
        mutable std::promise<void> unregistering;
        mutable std::atomic<bool> asked { false };
        std::atomic<bool> left { false };
        std::mutex m2;
        std::condition_variable cv2;
        bool unregistered = false;
        uint8_t channel() const override
        {
            if (!asked.exchange(true))
                unregistering.set_value();
            return m_channel;
        }
        void onMessage(const uint8_t*, uint16_t) override
        {
            entered.set_value();
            unregistering.get_future().wait();
            std::unique_lock<std::mutex> lock(m2);
            cv2.wait_for(lock, std::chrono::milliseconds(300), [&] { return unregistered; });
            left = true;
        }
    } handler;
    ASSERT_EQ(manager->registerChannel(1, &handler), 1);
    sim.injectFrame(0x4E, { 0x01, 0, 0, 0, 0, 0, 0, 0, 0 });
    handler.entered.get_future().wait();

    bool leftWhenUnregistered = false;
    std::thread disconnect([&] {
        manager->unregisterChannel(&handler);
        leftWhenUnregistered = handler.left.load();
        std::lock_guard<std::mutex> lock(handler.m2);
        handler.unregistered = true;
        handler.cv2.notify_all();
    });
    disconnect.join();
    EXPECT_TRUE(leftWhenUnregistered);
}

TEST_F(LibraryFixture, DeinitLeavesNoThreadRunning)
{
    size_t before = threadCount();
    for (int i = 0; i < 3; ++i) {
        initOpen();
        EXPECT_GT(threadCount(), before);
        ANTLIB_Deinit();
        EXPECT_EQ(threadCount(), before);
    }
}
