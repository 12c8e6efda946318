// gzip framing (RFC 1952) of request bodies sent with "Content-Encoding: gzip".
#pragma once

#include <QByteArray>

#include <cstdint>

namespace kivo::sync {

// One gzip member: the fixed 10-byte header 1F 8B 08 00 00000000 02 FF, the
// raw deflate stream at the default level, the CRC-32 and the length of the
// data, both least significant byte first.
QByteArray gzipCompress(const QByteArray& data);

// The CRC-32 of ISO 3309 / RFC 1952 (reflected polynomial 0xEDB88320).
uint32_t gzipCrc32(const QByteArray& data);

// Four bytes, least significant first.
QByteArray littleEndian32(uint32_t value);

} // namespace kivo::sync
