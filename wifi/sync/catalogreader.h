// Reading and writing the text of the track catalogs RCF.txt and TCF.txt:
// JSON arrays of flat objects whose values are strings.
#pragma once

#include <QHash>
#include <QString>
#include <QVector>

#include <sys/types.h>

namespace kivo::sync {

// What the look-ups read back of a catalog entry; a missing key reads as an
// empty string.
struct CatalogEntry {
    QString file;
    QString fileLocation;
    QString fileSize;
    QString trackName;
    QString hash;
};

// Parses a catalog's bytes (UTF-8 JSON, comments dropped). Anything but an
// array of objects whose read keys hold strings (or are missing or null),
// or text after the array, is refused with a reason in error; entries is
// only changed on success.
bool parseCatalog(const char* begin, const char* end, QVector<CatalogEntry>& entries, QString& error);

// Appends value as a JSON string literal: in quotation marks, with the
// quotation mark, the backslash and control characters escaped.
void appendJsonString(QString& out, const QString& value);

// Appends "key":"value" (value escaped).
void appendJsonPair(QString& out, const char* key, const QString& value);

// A catalog file's entries with the first entry of each hash, read again
// only when the file has changed, so that a run's look-ups cost one read of
// the catalog instead of one per look-up.
class CatalogIndex {
public:
    enum class State { Missing, Invalid, Ready };

    // Brings the index up to date with the file at localPath.
    State refresh(const QString& localPath);
    // Forgets what was read (the file is being rewritten).
    void clear();

    // The reason of the last Invalid state.
    QString error() const { return m_error; }
    // The first entry whose hash equals hash exactly, or null.
    const CatalogEntry* find(const QString& hash) const;
    int size() const { return m_entries.size(); }

private:
    struct Stamp {
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = -1;
        long long modifiedNs = -1;
        long long changedNs = -1;
        bool operator==(const Stamp& other) const;
    };

    QString m_path;
    Stamp m_stamp;
    bool m_known = false;
    State m_state = State::Missing;
    QString m_error;
    QVector<CatalogEntry> m_entries;
    QHash<QString, int> m_firstByHash;
};

} // namespace kivo::sync
