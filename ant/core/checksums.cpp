#include "ant/core/checksums.h"

#include <array>

namespace senvoy {

namespace {

constexpr uint16_t kCrc16Nibbles[16] = {
    0x0000,
    0xCC01,
    0xD801,
    0x1400,
    0xF001,
    0x3C00,
    0x2800,
    0xE401,
    0xA001,
    0x6C00,
    0x7800,
    0xB401,
    0x5000,
    0x9C01,
    0x8801,
    0x4400,
};

constexpr std::array<uint8_t, 256> makeCrc8Table()
{
    std::array<uint8_t, 256> t {};
    for (int i = 0; i < 256; ++i) {
        uint8_t c = uint8_t(i);
        for (int bit = 0; bit < 8; ++bit)
            c = uint8_t((c & 0x80) ? (c << 1) ^ 0x07 : c << 1);
        t[size_t(i)] = c;
    }
    return t;
}

constexpr std::array<uint8_t, 256> kCrc8Table = makeCrc8Table();

} // namespace

uint8_t Checksum_Xor(const uint8_t* bytes, int n)
{
    uint8_t x = 0;
    if (!bytes)
        return 0;
    for (int i = 0; i < n; ++i)
        x ^= bytes[i];
    return x;
}

uint16_t Crc16_Update(uint16_t crc, const uint8_t* bytes, size_t n)
{
    if (!bytes)
        return crc;
    uint16_t c = crc;
    for (size_t i = 0; i < n; ++i) {
        uint8_t b = bytes[i];
        c = uint16_t(kCrc16Nibbles[c & 0xF] ^ kCrc16Nibbles[b & 0xF] ^ (c >> 4));
        c = uint16_t(kCrc16Nibbles[c & 0xF] ^ kCrc16Nibbles[b >> 4] ^ (c >> 4));
    }
    return c;
}

uint16_t Crc16_Calc(const uint8_t* bytes, size_t n)
{
    return Crc16_Update(0, bytes, n);
}

uint8_t Crc8_Calc(const uint8_t* bytes, size_t n)
{
    uint8_t c = 0;
    if (!bytes)
        return 0;
    for (size_t i = 0; i < n; ++i)
        c = kCrc8Table[c ^ bytes[i]];
    return c;
}

uint32_t Crc32_Calc(const uint8_t* bytes, size_t n)
{
    uint32_t c = 0;
    if (!bytes)
        return 0;
    for (size_t i = 0; i < n; ++i) {
        c ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit)
            c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
    }
    return c;
}

} // namespace senvoy
