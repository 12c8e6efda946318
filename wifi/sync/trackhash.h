// The track hash, the identity of a GPX file towards the sync service: the
// SHA-512 of the file's first 1499 characters, read as UTF-8 (a byte-order
// mark of UTF-8, UTF-16 or UTF-32 is honoured, as a text stream does),
// encoded back to UTF-8, cut to 1499 bytes and ended at the first NUL.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdio>

namespace kivo::sync {

constexpr int kTrackHashChars = 1499;
// Enough of a file's start to decode its first 1499 characters in any of
// those encodings (at most four bytes a character, and the mark).
constexpr size_t kTrackHashHeadBytes = 4 * kTrackHashChars + 4;

struct TrackHash {
    QString hex;          // 128 lower-case hex digits
    int characters = 0;   // characters read (fewer than 1499 in a short file)
    int encodedBytes = 0; // their UTF-8 length before the cut
};

// The hash of a file from its first bytes: head holds the whole file or at
// least its first kTrackHashHeadBytes bytes.
TrackHash trackHash(const char* head, size_t size);

// A GPX file opened for reading, with its size; only regular files open.
class TrackFile {
public:
    explicit TrackFile(const QString& localPath);
    ~TrackFile();
    TrackFile(const TrackFile&) = delete;
    TrackFile& operator=(const TrackFile&) = delete;

    bool isOpen() const { return m_file != nullptr; }
    qint64 size() const { return m_size; }
    FILE* stream() const { return m_file; }

    // Reads up to limit bytes from where the file stands; false on a read
    // error.
    bool readHead(QByteArray& into, size_t limit);

private:
    FILE* m_file = nullptr;
    qint64 m_size = 0;
};

} // namespace kivo::sync
