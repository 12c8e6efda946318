// Checksums of ANT frames and ANT-FS data.
#pragma once

#include <cstddef>
#include <cstdint>

namespace senvoy {

// XOR of n bytes (0 when n < 1): the checksum byte of an ANT frame.
uint8_t Checksum_Xor(const uint8_t* bytes, int n);

// CRC-16/ARC (polynomial 0x8005 reflected, initial 0, no final XOR), a
// nibble at a time: the CRC of ANT-FS file data.
uint16_t Crc16_Calc(const uint8_t* bytes, size_t n);
uint16_t Crc16_Update(uint16_t crc, const uint8_t* bytes, size_t n);

// CRC-8 (polynomial 0x07, initial 0, table driven).
uint8_t Crc8_Calc(const uint8_t* bytes, size_t n);

// CRC-32 (polynomial 0xEDB88320 reflected, bitwise, initial 0, no final
// inversion).
uint32_t Crc32_Calc(const uint8_t* bytes, size_t n);

} // namespace senvoy
