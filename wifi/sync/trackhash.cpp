#include "wifi/sync/trackhash.h"

#include "wifi/sync/sha2.h"

#include <QFile>
#include <QTextCodec>

#include <sys/stat.h>

#include <algorithm>

namespace kivo::sync {

TrackHash trackHash(const char* head, size_t size)
{
    // Decoded as a UTF-8 text stream decodes a file: the codec chosen by a
    // byte-order mark at the start, the mark itself dropped, a sequence cut
    // off by the end of the data left out.
    static QTextCodec* const utf8 = QTextCodec::codecForName("UTF-8");
    const int length = int(std::min(size, kTrackHashHeadBytes));
    QTextCodec* codec = QTextCodec::codecForUtfText(QByteArray::fromRawData(head, length), utf8);
    QTextCodec::ConverterState state;
    QString text = codec->toUnicode(head, length, &state);
    text.truncate(kTrackHashChars);

    TrackHash result;
    result.characters = text.size();
    QByteArray bytes = text.toUtf8();
    result.encodedBytes = bytes.size();
    if (bytes.size() > kTrackHashChars)
        bytes.truncate(kTrackHashChars);

    // The digest takes a C string: the bytes end at the first NUL.
    char hex[Sha2::kHexBufferSize] = {};
    Sha2().hashToHex(bytes.constData(), hex);
    result.hex = QString::fromLatin1(hex);
    return result;
}

TrackFile::TrackFile(const QString& localPath)
{
    if (localPath.isEmpty())
        return;
    m_file = std::fopen(QFile::encodeName(localPath).constData(), "rbe");
    if (!m_file)
        return;
    struct stat st;
    if (::fstat(fileno(m_file), &st) != 0 || !S_ISREG(st.st_mode)) {
        std::fclose(m_file);
        m_file = nullptr;
        return;
    }
    m_size = qint64(st.st_size);
    // Reads go straight into the caller's buffer.
    std::setvbuf(m_file, nullptr, _IONBF, 0);
}

TrackFile::~TrackFile()
{
    if (m_file)
        std::fclose(m_file);
}

bool TrackFile::readHead(QByteArray& into, size_t limit)
{
    into.resize(int(limit));
    const size_t got = limit ? std::fread(into.data(), 1, limit, m_file) : 0;
    into.resize(int(got));
    return std::ferror(m_file) == 0;
}

} // namespace kivo::sync
