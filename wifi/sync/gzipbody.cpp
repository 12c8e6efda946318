#include "wifi/sync/gzipbody.h"

#include <zlib.h>

#include <cstring>

namespace kivo::sync {

uint32_t gzipCrc32(const QByteArray& data)
{
    // zlib computes the same CRC-32, several bytes per step.
    return uint32_t(::crc32(0, reinterpret_cast<const Bytef*>(data.constData()), uInt(data.size())));
}

QByteArray littleEndian32(uint32_t value)
{
    QByteArray out(4, '\0');
    for (int i = 0; i < 4; ++i)
        out[i] = char((value >> (8 * i)) & 0xFF);
    return out;
}

namespace {

// One raw deflate stream per thread, reset for each body: setting a stream
// up allocates some 256 KB of state, which would otherwise be taken from and
// handed back to the system for every request.
class Deflater {
public:
    Deflater()
    {
        std::memset(&m_stream, 0, sizeof(m_stream));
        m_ready = deflateInit2(&m_stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK;
    }
    ~Deflater()
    {
        if (m_ready)
            deflateEnd(&m_stream);
    }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    // Appends the raw deflate stream of data to out; false when zlib fails.
    bool deflateInto(const QByteArray& data, QByteArray& out)
    {
        if (!m_ready || deflateReset(&m_stream) != Z_OK)
            return false;
        const int start = out.size();
        const uLong bound = deflateBound(&m_stream, uLong(data.size()));
        out.resize(start + int(bound));
        m_stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
        m_stream.avail_in = uInt(data.size());
        m_stream.next_out = reinterpret_cast<Bytef*>(out.data() + start);
        m_stream.avail_out = uInt(bound);
        // The bound holds the whole stream, so one call finishes it.
        const int rc = deflate(&m_stream, Z_FINISH);
        out.resize(start + int(m_stream.total_out));
        return rc == Z_STREAM_END;
    }

private:
    z_stream m_stream;
    bool m_ready = false;
};

} // namespace

QByteArray gzipCompress(const QByteArray& data)
{
    static const char header[10] = { '\x1F', '\x8B', '\x08', '\x00', '\x00', '\x00', '\x00', '\x00', '\x02', '\xFF' };
    thread_local Deflater deflater;
    QByteArray out;
    out.reserve(int(compressBound(uLong(data.size()))) + 32);
    out.append(header, sizeof(header));
    if (!deflater.deflateInto(data, out)) {
        // Out of memory in zlib: a body the server cannot read is worse than
        // none, and an empty body fails the request visibly.
        return QByteArray();
    }
    out.append(littleEndian32(gzipCrc32(data)));
    out.append(littleEndian32(uint32_t(data.size())));
    return out;
}

} // namespace kivo::sync
