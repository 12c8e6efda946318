// Common pages and network keys of the sensor interface.
#include "ant/core/ant_sensor_profile.h"
#include "ant/core/common_page.h"

#include "platform/registry.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

#include <cstring>
#include <tuple>
#include <vector>

using namespace senvoy;
using Bytes = std::vector<uint8_t>;

namespace {

CommonPageRecord fullRecord()
{
    CommonPageRecord r;
    const uint8_t p70[5] = { 1, 2, 3, 4, 5 };
    std::memcpy(r.page70, p70, 5);
    r.hardwareRevision = 7;
    r.manufacturerId = 0x1234;
    r.modelNumber = 0xBEEF;
    r.softwareRevision = 9;
    r.serialNumber = 0xA1B2C3D4;
    r.operatingTime = 0x00ABCDEF;
    r.batteryVoltage = 0x0A80;
    r.batteryStatus = 3;
    r.operatingTimeResolution = 2;
    r.seconds = 59;
    r.minutes = 30;
    r.hours = 23;
    r.day = 31;
    r.dayOfWeek = 6;
    r.month = 12;
    r.year = 26;
    r.memory[0] = 0x11;
    r.memory[1] = 0x22;
    r.memory[2] = 0x33;
    r.pairedIndex = 2;
    r.pairedTotal = 5;
    r.paired = 1;
    r.connectionState = 9;
    r.networkKey = 5;
    r.pairedChannelId = 0x01020304;
    return r;
}

auto fields(const CommonPageRecord& r)
{
    return std::make_tuple(Bytes(r.page70, r.page70 + 5), r.hardwareRevision, r.manufacturerId, r.modelNumber,
        r.softwareRevision, r.serialNumber, r.operatingTime, r.batteryVoltage, r.batteryStatus,
        r.operatingTimeResolution, r.seconds, r.minutes, r.hours, r.day, r.month, r.year, r.dayOfWeek,
        Bytes(r.memory, r.memory + 3), r.pairedIndex, r.pairedTotal, r.paired, r.connectionState, r.networkKey,
        r.pairedChannelId);
}

} // namespace

TEST(CommonPages, EncodeAndDecodeRoundTrip)
{
    const CommonPageRecord in = fullRecord();
    struct Case {
        uint8_t page;
        Bytes bytes;
    };
    const Case cases[] = {
        { 70, { 70, 0xFF, 0xFF, 1, 2, 3, 4, 5 } },
        { 80, { 80, 0xFF, 0xFF, 7, 0x34, 0x12, 0xEF, 0xBE } },
        { 81, { 81, 0xFF, 0xFF, 9, 0xD4, 0xC3, 0xB2, 0xA1 } },
        { 82, { 82, 0xFF, 0xFF, 0xEF, 0xCD, 0xAB, 0x80, 0xBA } },
        { 83, { 83, 0xFF, 59, 30, 23, 31 | (6 << 5), 12, 26 } },
        { 85, { 85, 0xFF, 0xFF, 0xFF, 0xFF, 0x11, 0x22, 0x33 } },
        { 86, { 86, 2, 5, 0x80 | (9 << 3) | 5, 4, 3, 2, 1 } },
    };
    CommonPageRecord out;
    for (const Case& c : cases) {
        uint8_t bytes[8] = {};
        CommonPage_Encode(&in, c.page, bytes);
        EXPECT_EQ(Bytes(bytes, bytes + 8), c.bytes) << int(c.page);
        CommonPage_Decode(&out, bytes);
    }
    // Every field went through one page and came back.
    EXPECT_TRUE(fields(in) == fields(out));

    // Another page is neither written nor read.
    uint8_t untouched[8] = { 9, 9, 9, 9, 9, 9, 9, 9 };
    CommonPage_Encode(&in, 71, untouched);
    EXPECT_EQ(Bytes(untouched, untouched + 8), Bytes(8, 9));
    CommonPageRecord same = out;
    const uint8_t other[8] = { 84, 1, 2, 3, 4, 5, 6, 7 };
    CommonPage_Decode(&out, other);
    EXPECT_TRUE(fields(same) == fields(out));

    // Battery byte 0x9A: coarse 10 V, status 1, 2-second resolution.
    const uint8_t battery[8] = { 82, 0xFF, 0xFF, 0, 0, 0, 0x40, 0x9A };
    CommonPage_Decode(&out, battery);
    EXPECT_EQ(out.batteryVoltage >> 8, 10);
    EXPECT_EQ(out.batteryVoltage & 0xFF, 0x40);
    EXPECT_EQ(out.batteryStatus, 1);
    EXPECT_EQ(out.operatingTimeResolution, 2);
}

TEST(NetworkKeys, ComeFromConfigurationOnly)
{
    struct Case {
        const char* text;
        bool ok;
    };
    const Case cases[] = {
        { "0102030405060708", true },
        { "01 02 03 04 05 06 07 08", true },
        { "01:02:03:04:05:06:07:08", true },
        { "01-02-03-04,05,06,07,08", true },
        { "010203040506070", false }, // 15 digits
        { "010203040506070809", false },
        { "01020304050607zz", false },
        { "", false },
    };
    for (const Case& c : cases) {
        uint8_t key[8] = { 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE };
        EXPECT_EQ(ANTSensor_ParseKey(c.text, key), c.ok) << c.text;
        const Bytes expected = c.ok ? Bytes { 1, 2, 3, 4, 5, 6, 7, 8 } : Bytes(8, 0xEE);
        EXPECT_EQ(Bytes(key, key + 8), expected) << c.text;
    }
    EXPECT_FALSE(ANTSensor_ParseKey(nullptr, nullptr));

    kivo::test::TempDeviceRoot root;
    uint8_t key[8];
    EXPECT_FALSE(ANTSensor_NetworkKey(1, key)); // nothing configured, nothing built in
    ASSERT_TRUE(ANTSensor_NetworkKey(0, key));
    EXPECT_EQ(Bytes(key, key + 8), Bytes(8, 0));
    ce::reg::setString(ce::reg::Root::LocalMachine, ANT_KEY_REGISTRY_PATH, "NetworkKey2", "A0A1A2A3A4A5A6A7");
    ce::reg::setString(ce::reg::Root::LocalMachine, ANT_KEY_REGISTRY_PATH, "NetworkKey1", "not a key");
    ASSERT_TRUE(ANTSensor_NetworkKey(2, key));
    EXPECT_EQ(Bytes(key, key + 8), (Bytes { 0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7 }));
    EXPECT_FALSE(ANTSensor_NetworkKey(1, key));
}
