#include "ant/core/checksums.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace senvoy;

namespace {
std::vector<uint8_t> bytesOf(const std::string& s)
{
    return std::vector<uint8_t>(s.begin(), s.end());
}
} // namespace

TEST(Checksums, Xor)
{
    const uint8_t startup[] = { 0xA4, 0x01, 0x6F, 0x20 };
    EXPECT_EQ(Checksum_Xor(startup, 4), 0xEA);
    EXPECT_EQ(Checksum_Xor(startup, 0), 0);
    EXPECT_EQ(Checksum_Xor(startup, -3), 0);
    EXPECT_EQ(Checksum_Xor(nullptr, 4), 0);
    const uint8_t reset[] = { 0xA4, 0x01, 0x4A, 0x00 };
    EXPECT_EQ(Checksum_Xor(reset, 4), 0xEF);
}

TEST(Checksums, CrcTable)
{
    struct Case {
        std::string input;
        uint16_t crc16;
        uint8_t crc8;
        uint32_t crc32;
    };
    const Case cases[] = {
        { "123456789", 0xBB3D, 0xF4, 0x2DFD2D88 },
        { "A", 0x30C0, 0xC0, 0x01DB7106 },
        { std::string(1, '\0'), 0x0000, 0x00, 0x00000000 },
        { "\xFF\xFF", 0xB001, 0x24, 0xBE2612FF },
        { "", 0x0000, 0x00, 0x00000000 },
    };
    for (const auto& c : cases) {
        auto b = bytesOf(c.input);
        SCOPED_TRACE(c.input);
        EXPECT_EQ(Crc16_Calc(b.data(), b.size()), c.crc16);
        EXPECT_EQ(Crc8_Calc(b.data(), b.size()), c.crc8);
        EXPECT_EQ(Crc32_Calc(b.data(), b.size()), c.crc32);
    }
}

TEST(Checksums, Crc16UpdateContinuesARunningCrc)
{
    auto b = bytesOf("123456789");
    for (size_t split = 0; split <= b.size(); ++split) {
        uint16_t crc = Crc16_Calc(b.data(), split);
        EXPECT_EQ(Crc16_Update(crc, b.data() + split, b.size() - split), 0xBB3D) << split;
    }
}
