#include "sim/wifidkcore/WifiDKCoreSim.h"

#include "platform/loader.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <sstream>

namespace {

std::string readAll(const std::string& file)
{
    std::ifstream in(file);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(WifiDkCoreSim, RecordsEachOrdinalCallInOrder)
{
    kivo::test::TempDeviceRoot root;
    ce::HMODULE lib = ce::loadLibrary("WifiDKCore.dll");
    ASSERT_NE(lib, nullptr);

    auto start = reinterpret_cast<uint32_t (*)()>(ce::getProcAddressOrdinal(lib, 102));
    auto mode = reinterpret_cast<uint32_t (*)(uint32_t)>(ce::getProcAddressOrdinal(lib, 135));
    ASSERT_NE(start, nullptr);
    ASSERT_NE(mode, nullptr);
    EXPECT_EQ(ce::getProcAddressOrdinal(lib, 103), nullptr);

    start();
    mode(2);
    mode(0);
    EXPECT_EQ(readAll(kivo::sim::wifiDkCoreCallLog()), "102\n135 2\n135 0\n");
    ce::freeLibrary(lib);
}

} // namespace
