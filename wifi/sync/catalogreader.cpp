#include "wifi/sync/catalogreader.h"

#include <QFile>

#include <json/json.h>

#include <sys/stat.h>

#include <cstring>
#include <memory>

namespace kivo::sync {

namespace {

// A member the look-ups read: a string, or missing/null as empty.
bool readMember(const Json::Value& object, const char* key, QString& out)
{
    const Json::Value* value = object.find(key, key + std::strlen(key));
    if (!value || value->isNull()) {
        out.clear();
        return true;
    }
    if (!value->isString())
        return false;
    const char* begin = nullptr;
    const char* end = nullptr;
    value->getString(&begin, &end);
    out = QString::fromUtf8(begin, int(end - begin));
    return true;
}

} // namespace

bool parseCatalog(const char* begin, const char* end, QVector<CatalogEntry>& entries, QString& error)
{
    Json::CharReaderBuilder builder;
    builder["collectComments"] = false;
    // A second value behind the array means a damaged file, not a catalog.
    builder["failIfExtra"] = true;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value root;
    std::string errors;
    bool parsed = false;
    try {
        parsed = reader->parse(begin, end, &root, &errors);
    } catch (const Json::Exception& e) {
        // The reader throws instead of failing when values nest too deep.
        errors = e.what();
    }
    if (!parsed) {
        error = QString::fromStdString(errors).trimmed();
        return false;
    }
    if (!root.isArray()) {
        error = QStringLiteral("the catalog is not a JSON array");
        return false;
    }
    QVector<CatalogEntry> read;
    read.reserve(int(root.size()));
    for (Json::ArrayIndex i = 0; i < root.size(); ++i) {
        const Json::Value& element = root[i];
        if (!element.isObject()) {
            error = QStringLiteral("entry %1 is not an object").arg(i);
            return false;
        }
        CatalogEntry entry;
        const bool strings = readMember(element, "o_file", entry.file)
            && readMember(element, "o_file_location", entry.fileLocation)
            && readMember(element, "o_filesize", entry.fileSize)
            && readMember(element, "o_track_name", entry.trackName) && readMember(element, "o_hash", entry.hash);
        if (!strings) {
            error = QStringLiteral("entry %1 has a value that is not a string").arg(i);
            return false;
        }
        read.append(std::move(entry));
    }
    entries = std::move(read);
    return true;
}

void appendJsonString(QString& out, const QString& value)
{
    static const char kHex[] = "0123456789abcdef";
    out += QLatin1Char('"');
    for (const QChar c : value) {
        const ushort u = c.unicode();
        switch (u) {
        case '"':
            out += QLatin1String("\\\"");
            break;
        case '\\':
            out += QLatin1String("\\\\");
            break;
        case '\b':
            out += QLatin1String("\\b");
            break;
        case '\f':
            out += QLatin1String("\\f");
            break;
        case '\n':
            out += QLatin1String("\\n");
            break;
        case '\r':
            out += QLatin1String("\\r");
            break;
        case '\t':
            out += QLatin1String("\\t");
            break;
        default:
            if (u < 0x20) {
                out += QLatin1String("\\u00");
                out += QLatin1Char(kHex[u >> 4]);
                out += QLatin1Char(kHex[u & 0xf]);
            } else {
                out += c;
            }
        }
    }
    out += QLatin1Char('"');
}

void appendJsonPair(QString& out, const char* key, const QString& value)
{
    out += QLatin1Char('"');
    out += QLatin1String(key);
    out += QLatin1String("\":");
    appendJsonString(out, value);
}

bool CatalogIndex::Stamp::operator==(const Stamp& other) const
{
    return device == other.device && inode == other.inode && size == other.size && modifiedNs == other.modifiedNs
        && changedNs == other.changedNs;
}

CatalogIndex::State CatalogIndex::refresh(const QString& localPath)
{
    struct stat st;
    if (localPath.isEmpty() || ::stat(QFile::encodeName(localPath).constData(), &st) != 0) {
        clear();
        return State::Missing;
    }
    Stamp stamp;
    stamp.device = st.st_dev;
    stamp.inode = st.st_ino;
    stamp.size = st.st_size;
    stamp.modifiedNs = (long long)st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec;
    stamp.changedNs = (long long)st.st_ctim.tv_sec * 1000000000LL + st.st_ctim.tv_nsec;
    if (m_known && m_path == localPath && m_stamp == stamp)
        return m_state;

    clear();
    QFile file(localPath);
    if (!file.open(QIODevice::ReadOnly))
        return State::Missing;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        m_error = file.errorString();
        return State::Invalid;
    }
    m_path = localPath;
    m_stamp = stamp;
    m_known = true;
    if (!parseCatalog(bytes.constData(), bytes.constData() + bytes.size(), m_entries, m_error)) {
        m_entries.clear();
        m_state = State::Invalid;
        return m_state;
    }
    m_firstByHash.reserve(m_entries.size());
    for (int i = 0; i < m_entries.size(); ++i) {
        if (!m_firstByHash.contains(m_entries[i].hash))
            m_firstByHash.insert(m_entries[i].hash, i);
    }
    m_state = State::Ready;
    return m_state;
}

void CatalogIndex::clear()
{
    m_path.clear();
    m_stamp = Stamp();
    m_known = false;
    m_state = State::Missing;
    m_error.clear();
    m_entries.clear();
    m_firstByHash.clear();
}

const CatalogEntry* CatalogIndex::find(const QString& hash) const
{
    const auto it = m_firstByHash.constFind(hash);
    return it == m_firstByHash.constEnd() ? nullptr : &m_entries[it.value()];
}

} // namespace kivo::sync
