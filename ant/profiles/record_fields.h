// Writing the little-endian fields of the sensor records and reading the
// fields of received pages.
#pragma once

#include <cstdint>
#include <cstring>

namespace senvoy {

// The records are little-endian, as this machine is.
inline void putField16(uint8_t* record, size_t offset, uint16_t value)
{
    std::memcpy(record + offset, &value, 2);
}
inline void putField32(uint8_t* record, size_t offset, uint32_t value)
{
    std::memcpy(record + offset, &value, 4);
}
inline void putFieldDouble(uint8_t* record, size_t offset, double value)
{
    static_assert(sizeof(double) == 8, "records carry 8-byte doubles");
    std::memcpy(record + offset, &value, 8);
}

inline uint16_t le16(const uint8_t* p)
{
    return uint16_t(p[0] | (p[1] << 8));
}
inline uint16_t be16(const uint8_t* p)
{
    return uint16_t((p[0] << 8) | p[1]);
}
inline uint32_t le24(const uint8_t* p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16);
}
inline uint32_t be24(const uint8_t* p)
{
    return (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | uint32_t(p[2]);
}
inline uint32_t be32(const uint8_t* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

} // namespace senvoy
