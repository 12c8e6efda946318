// The simulated stack as a program loads it: the world file, the exports,
// the phone's answers to connects, and the buzzer.
#include "platform/bt/bcesdk.h"
#include "platform/device.h"
#include "platform/loader.h"
#include "platform/paths.h"
#include "sim/bt_stack/bt_stack_sim.h"

#include <gtest/gtest.h>

#include <fstream>

namespace sim = kivo::sim::bt;

namespace {

void writeWorld(const std::string& json)
{
    std::ofstream f(ce::resolvePath(sim::kWorldFile, true), std::ios::trunc);
    f << json;
}

} // namespace

TEST(BtStackWorld, ReadsWorldsAndRefusesMalformedOnes)
{
    struct Case {
        const char* json;
        bool ok;
    };
    const Case cases[] = {
        { R"({})", true },
        { R"({"shortcuts": [{"address": "00-11-22-33-44-55", "name": "P", "type": 3}], "contacts": 2})", true },
        { R"({"failures": {"Connect": 4}, "refuse": [1, 4364], "tracks": ["a"]})", true },
        { R"({"shortcuts": [{"address": "0011223344", "name": "P"}]})", false },
        { R"({"shortcuts": [{"address": "00112233445g", "name": "P"}]})", false },
        { R"({"contacts": -1})", false },
        { R"({"init": 1})", false },
        { R"([1, 2])", false },
        { R"({"contacts": )", false },
        { R"({"tracks": [[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[["a"]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]})", false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.json);
        sim::World w;
        std::string error;
        EXPECT_EQ(sim::parseWorld(c.json, &w, &error), c.ok) << error;
        EXPECT_EQ(error.empty(), c.ok);
    }
    sim::World w;
    std::string error;
    ASSERT_TRUE(sim::parseWorld(R"({"shortcuts": [{"address": "0a:0B:0c:0d:0e:0f", "name": "Pé"}]})", &w, &error));
    EXPECT_EQ(w.shortcuts.at(0).address, (std::array<uint8_t, 6> { 10, 11, 12, 13, 14, 15 }));
    EXPECT_EQ(w.shortcuts.at(0).name, u"Pé");
    EXPECT_EQ(w.shortcuts.at(0).type, 2);
}

TEST(BtStackLibrary, ExportsEveryNameAndAnswersAsThePhone)
{
    ce::HMODULE full = ce::loadLibrary("BCESDK.dll");
    ce::HMODULE partial = ce::loadLibrary("BCESDK_incomplete.dll");
    ASSERT_TRUE(full && partial);
    static const char* const names[] = {
#define NAME(n) "BCESDK_" #n,
        BCESDK_EXPORTS(NAME)
#undef NAME
    };
    for (const char* n : names)
        EXPECT_NE(ce::getProcAddress(full, n), nullptr) << n;
    EXPECT_EQ(ce::getProcAddress(partial, "BCESDK_Reset"), nullptr);

    writeWorld(R"({"shortcuts": [{"address": "001122334455", "name": "Pixel", "type": 2}], "refuse": [5]})");
    sim::reload();
    auto connect = reinterpret_cast<int (*)(const uint8_t*, int)>(ce::getProcAddress(full, "BCESDK_Connect"));
    auto shortcuts = reinterpret_cast<int (*)(BtShortcut*, int*)>(ce::getProcAddress(full, "BCESDK_GetAllShortCuts"));
    int count = 0;
    EXPECT_EQ(shortcuts(nullptr, &count), 0);
    ASSERT_EQ(count, 1);
    BtShortcut sc {};
    EXPECT_EQ(shortcuts(&sc, &count), 0);
    EXPECT_EQ(sc.type, 2);
    EXPECT_EQ(std::u16string(sc.name), u"Pixel");

    const uint8_t stranger[6] = { 9, 9, 9, 9, 9, 9 };
    EXPECT_EQ(connect(sc.address, kBtConnectHandsFree), 0);
    EXPECT_NE(connect(sc.address, kBtConnectSerial), 0); // refused
    EXPECT_NE(connect(stranger, kBtConnectHandsFree), 0); // not paired
    sim::waitIdle();
    EXPECT_EQ(sim::connectedKinds(), (std::set<int> { kBtKindHandsFree }));
    std::vector<std::vector<long>> connects;
    for (const sim::Call& c : sim::calls())
        if (c.name == "Connect")
            connects.push_back(c.args);
    EXPECT_EQ(connects, (std::vector<std::vector<long>> { { 1 }, { 5 }, { 1 } }));

    // A malformed file gives the default world.
    writeWorld("{ not json");
    sim::reload();
    EXPECT_TRUE(sim::world().shortcuts.empty());
    EXPECT_TRUE(sim::calls().empty());
    ce::freeLibrary(full);
    ce::freeLibrary(partial);
}

TEST(BtStackBuzzer, CountsItsBeepControlsAndRefusesOthers)
{
    sim::resetBuzzer();
    ce::HANDLE h = ce::openDevice("BUZ1:", ce::GENERIC_READ);
    ASSERT_NE(h, nullptr);
    const uint32_t value = 15;
    EXPECT_TRUE(ce::deviceIoControl(h, sim::kBuzzerIoctl, &value, 4, nullptr, 0, nullptr));
    EXPECT_FALSE(ce::deviceIoControl(h, 0x1234, &value, 4, nullptr, 0, nullptr));
    EXPECT_FALSE(ce::deviceIoControl(h, sim::kBuzzerIoctl, &value, 2, nullptr, 0, nullptr));
    ce::closeHandle(h);
    EXPECT_EQ(sim::buzzerBeeps(), 1);
}
