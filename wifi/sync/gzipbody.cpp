#include "wifi/sync/gzipbody.h"

#include <array>

namespace kivo::sync {

namespace {

std::array<uint32_t, 256> makeCrcTable()
{
    std::array<uint32_t, 256> table {};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

const std::array<uint32_t, 256>& crcTable()
{
    static const std::array<uint32_t, 256> table = makeCrcTable();
    return table;
}

} // namespace

uint32_t crc32Update(uint32_t crc, unsigned char byte)
{
    return crcTable()[(crc ^ byte) & 0xFF] ^ (crc >> 8);
}

uint32_t gzipCrc32(const QByteArray& data)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (char c : data)
        crc = crc32Update(crc, static_cast<unsigned char>(c));
    return ~crc;
}

QByteArray littleEndian32(uint32_t value)
{
    QByteArray out(4, '\0');
    for (int i = 0; i < 4; ++i)
        out[i] = char((value >> (8 * i)) & 0xFF);
    return out;
}

QByteArray gzipCompress(const QByteArray& data)
{
    // qCompress gives a 4-byte length, the 2-byte zlib header, the deflate
    // stream and the 4-byte Adler-32: keep only the deflate stream.
    // Empty data gets the empty final block qCompress does not write.
    const QByteArray zlibData = qCompress(data, -1);
    const QByteArray deflate = data.isEmpty() ? QByteArray("\x03\x00", 2) : zlibData.mid(6, zlibData.size() - 10);

    static const char header[10] = { '\x1F', '\x8B', '\x08', '\x00', '\x00', '\x00', '\x00', '\x00', '\x02', '\xFF' };
    QByteArray out;
    out.reserve(deflate.size() + 18);
    out.append(header, sizeof(header));
    out.append(deflate);
    out.append(littleEndian32(gzipCrc32(data)));
    out.append(littleEndian32(uint32_t(data.size())));
    return out;
}

} // namespace kivo::sync
