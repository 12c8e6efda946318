// The catalogs RCF.txt and TCF.txt: written for each run from the scan
// lists, sent whole with the track list, and looked up by track hash.
#include "wifi/sync/wifisync.h"

#include "wifi/sync/catalogreader.h"
#include "wifi/sync/devicefile.h"
#include "wifi/sync/gpxxmlhandler.h"
#include "wifi/sync/trackhash.h"
#include "wifi/sync/wifisynclogfile.h"

#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <exception>
#include <memory>

using kivo::sync::appendJsonPair;
using kivo::sync::CatalogEntry;
using kivo::sync::CatalogIndex;

namespace {

const char kRcfName[] = "RCF.txt";
const char kTcfName[] = "TCF.txt";

QString exceptionText(const std::exception& e)
{
    return QString::fromLocal8Bit(e.what());
}

// The file name less its last four characters ("Ride.gpx" gives "Ride").
QString trackNameOf(const QString& fileName)
{
    return fileName.left(qMax(0, fileName.size() - 4));
}

// The summary keys of a recording's node, in the record's order; the last
// three only when one of them holds something.
const char* const kSummaryKeys[TrackSummaryRecord::kFieldCount] = { "o_type", "o_profile", "o_time", "o_length",
    "o_timelength", "o_minlat", "o_minlon", "o_maxlat", "o_maxlon", "o_avgspeed", "o_maxspeed", "o_minacceleration",
    "o_maxacceleration", "o_minaltitude", "o_maxaltitude", "o_totalascent", "o_totaldescent", "o_calories",
    "o_avggrade", "o_avgcadence", "o_maxcadence", "o_avgheartrate", "o_minheartrate", "o_maxheartrate" };
constexpr int kFirstHeartRateField = 21;

} // namespace

bool WiFiSync::generateRCFFile(const QString& catalogFolderPath)
{
    Q_UNUSED(catalogFolderPath);
    try {
        if (m_listOwnGpx.isEmpty()) {
            writeLog("The KIVO GPX file can't be found.");
            return false;
        }
        saveToRCFFile(catalogText(true));
        return true;
    } catch (const std::exception& e) {
        writeLog(QString("generateRCFFile failed: %1").arg(exceptionText(e)));
        return false;
    }
}

bool WiFiSync::generateTCFFile(const QString& catalogFolderPath)
{
    Q_UNUSED(catalogFolderPath);
    try {
        if (m_list3rdGpx.isEmpty()) {
            writeLog("The 3rdParty GPX file can't be found.");
            return false;
        }
        saveToTCFFile(catalogText(false));
        return true;
    } catch (const std::exception& e) {
        writeLog(QString("generateTCFFile failed: %1").arg(exceptionText(e)));
        return false;
    }
}

QString WiFiSync::localFileOf(const QString& devicePath) const
{
    const auto it = m_scannedFiles.constFind(devicePath);
    return it != m_scannedFiles.constEnd() ? it.value() : kivo::sync::localPath(devicePath);
}

// Each listed file is hashed and described as generateHash512 and
// generateRcfNode/generateTcfNode do, with the same log lines, but opened
// once: the first chunk the GPX reader takes also holds what the hash needs.
QString WiFiSync::catalogText(bool rcf)
{
    const QStringList& list = rcf ? m_listOwnGpx : m_list3rdGpx;
    // With logging off a line would only make sure the Log folder exists,
    // which writing the catalog does anyway.
    const bool logging = m_pLogFile->isEnabled();
    QString text = "[";
    text.reserve(list.size() * (rcf ? 1024 : 384));
    bool first = true;
    QByteArray head;
    for (const QString& path : list) {
        if (logging)
            writeLog("generateHash512");
        QString local = localFileOf(path);
        auto file = std::make_unique<kivo::sync::TrackFile>(local);
        if (!file->isOpen()) {
            // Moved since the scan: look again.
            const QString resolved = kivo::sync::localPath(path);
            if (resolved != local) {
                local = resolved;
                file = std::make_unique<kivo::sync::TrackFile>(local);
            }
        }
        const size_t limit = rcf ? size_t(GpxXmlHandler::kChunkBytes) : kivo::sync::kTrackHashHeadBytes;
        const bool readable
            = file->isOpen() && file->readHead(head, size_t(qMin<qint64>(file->size(), qint64(limit))));
        QString hash;
        hashTrackFile(path, *file, readable ? &head : nullptr, hash);

        const QString fileName = QFileInfo(path).fileName();
        const QString size = QString::number(file->isOpen() ? file->size() : QFileInfo(local).size());
        QString node;
        if (!rcf) {
            generateTcfNode(fileName, path, size, trackNameOf(fileName), hash, node);
        } else {
            QString errorCode;
            TrackSummaryRecord summary;
            if (!file->isOpen() && !QFileInfo(local).isFile()) {
                writeLog("The Kivo gpx file can't be found.");
                continue;
            }
            if (!readable) {
                writeLog("Parse gpx file failed.");
            } else {
                GpxXmlHandler handler;
                handler.parseOpenedFile(path, file->stream(), head.constData(), size_t(head.size()));
                if (handler.hasError())
                    writeLog(handler.errorString());
                if (!handler.records().isEmpty())
                    summary = handler.records().first();
            }
            if (!appendRcfNode(summary, path, fileName, size, trackNameOf(fileName), hash, node, errorCode))
                continue;
        }
        // A recording that cannot be described is left out; its neighbours
        // stay joined by one comma.
        if (!first)
            text += ",";
        text += node;
        first = false;
    }
    text += "]";
    return text;
}

bool WiFiSync::generateRcfNode(const QString& fileLocation, const QString& fileName, const QString& fileSize,
    const QString& trackName, const QString& hash, QString& node, QString& errorCode)
{
    try {
        const QString local = kivo::sync::localPath(fileLocation);
        if (!QFileInfo(local).isFile()) {
            writeLog("The Kivo gpx file can't be found.");
            return false;
        }

        TrackSummaryRecord summary;
        GpxXmlHandler handler;
        if (!handler.parseFile(fileLocation)) {
            writeLog("Parse gpx file failed.");
        } else {
            // What precedes a fault in the XML is still the file's summary.
            if (handler.hasError())
                writeLog(handler.errorString());
            const QList<TrackSummaryRecord> records = handler.records();
            if (!records.isEmpty())
                summary = records.first();
        }
        return appendRcfNode(summary, fileLocation, fileName, fileSize, trackName, hash, node, errorCode);
    } catch (const std::exception&) {
        return false;
    }
}

bool WiFiSync::appendRcfNode(const TrackSummaryRecord& summary, const QString& fileLocation,
    const QString& fileName, const QString& fileSize, const QString& trackName, const QString& hash, QString& node,
    QString& errorCode)
{
    if (summary.time.trimmed().isEmpty() && summary.minlon.trimmed().isEmpty() && summary.minlat.trimmed().isEmpty()
        && summary.avgspeed.trimmed().isEmpty()) {
        writeLog(QString("This recording excludes extensions, it is not valid Kivo recording: %1").arg(fileName));
        errorCode = "E123007";
        return false;
    }
    const bool heartRate = !summary.avgheartrate.trimmed().isEmpty() || !summary.minheartrate.trimmed().isEmpty()
        || !summary.maxheartrate.trimmed().isEmpty();
    const int fields = heartRate ? TrackSummaryRecord::kFieldCount : kFirstHeartRateField;

    QString text;
    text.reserve(1024);
    text += "{";
    appendJsonPair(text, "o_file", fileName);
    text += ",";
    appendJsonPair(text, "o_file_location", fileLocation);
    text += ",";
    appendJsonPair(text, "o_filesize", fileSize);
    text += ",";
    appendJsonPair(text, "o_track_name", trackName);
    for (int i = 0; i < fields; ++i) {
        text += ",";
        appendJsonPair(text, kSummaryKeys[i], summary.field(i));
    }
    text += ",";
    appendJsonPair(text, "o_hash", hash);
    text += "}";
    node += text;
    return true;
}

bool WiFiSync::generateTcfNode(const QString& fileName, const QString& fileLocation, const QString& fileSize,
    const QString& trackName, const QString& hash, QString& node)
{
    try {
        QString text = "{";
        appendJsonPair(text, "o_file", fileName);
        text += ",";
        appendJsonPair(text, "o_file_location", fileLocation);
        text += ",";
        appendJsonPair(text, "o_filesize", fileSize);
        text += ",";
        appendJsonPair(text, "o_track_name", trackName);
        text += ",";
        appendJsonPair(text, "o_hash", hash);
        text += "}";
        node += text;
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool WiFiSync::saveToRCFFile(const QString& text)
{
    try {
        return saveCatalog(true, text);
    } catch (const std::exception& e) {
        writeLog(QString("saveToRCFFile failed: %1").arg(exceptionText(e)));
        return false;
    }
}

bool WiFiSync::saveToTCFFile(const QString& text)
{
    try {
        return saveCatalog(false, text);
    } catch (const std::exception& e) {
        writeLog(QString("saveToTCFFile failed: %1").arg(exceptionText(e)));
        return false;
    }
}

bool WiFiSync::saveCatalog(bool rcf, const QString& text)
{
    const QString operation = rcf ? "saveToRCFFile" : "saveToTCFFile";
    if (!kivo::sync::makeDevicePath(catalogFolder()))
        return false;
    const QString path = catalogFolder() + "/" + (rcf ? kRcfName : kTcfName);
    writeLog(QString("%1 path: %2").arg(operation, path));

    if (m_catalogIndex[rcf ? 0 : 1])
        m_catalogIndex[rcf ? 0 : 1]->clear();
    // Written afresh: a catalog left behind by an earlier run must not end
    // up in front of this one.
    QFile file(kivo::sync::localPath(path));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        writeLog(QString("%1: cannot open %2: %3").arg(operation, path, file.errorString()));
        return false;
    }
    const QByteArray bytes = text.toUtf8();
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        writeLog(QString("%1: cannot write %2: %3").arg(operation, path, file.errorString()));
        // A catalog cut short is no catalog: the service is sent none.
        file.close();
        file.remove();
        return false;
    }
    file.close();
    return true;
}

bool WiFiSync::getRCFOrTCFContent(bool rcf, QString& content)
{
    try {
        content.clear();
        QFile file(kivo::sync::localPath(catalogFolder() + "/" + (rcf ? kRcfName : kTcfName)));
        if (!file.open(QIODevice::ReadOnly))
            return false;
        QTextStream in(&file);
        in.setCodec("UTF-8");
        content = in.readAll();
        file.close();
        return true;
    } catch (const std::exception& e) {
        writeLog(QString("getRCFOrTCFContent failed: %1").arg(exceptionText(e)));
        return false;
    }
}

const CatalogIndex* WiFiSync::catalogIndex(bool rcf, const char* operation)
{
    std::unique_ptr<CatalogIndex>& index = m_catalogIndex[rcf ? 0 : 1];
    if (!index)
        index = std::make_unique<CatalogIndex>();
    const QString path = kivo::sync::localPath(catalogFolder() + "/" + (rcf ? kRcfName : kTcfName));
    switch (index->refresh(path)) {
    case CatalogIndex::State::Missing:
        return nullptr;
    case CatalogIndex::State::Invalid:
        writeLog(QString("%1 -> reader.parse failed: %2").arg(QLatin1String(operation), index->error()));
        return nullptr;
    case CatalogIndex::State::Ready:
        break;
    }
    return index.get();
}

bool WiFiSync::getRcfNodeViaHashCode(
    bool rcf, const QString& hash, QString& node, QString& fileLocation, QString& errorCode)
{
    try {
        const CatalogIndex* index = catalogIndex(rcf, "getRcfNodeViaHashCode");
        if (!index)
            return false;
        const CatalogEntry* entry = index->find(hash);
        if (!entry)
            return false;
        // Copied: a rebuild may read catalogs again.
        const CatalogEntry match = *entry;
        QString rebuilt;
        if (rcf)
            generateRcfNode(
                match.fileLocation, match.file, match.fileSize, match.trackName, match.hash, rebuilt, errorCode);
        else
            generateTcfNode(match.file, match.fileLocation, match.fileSize, match.trackName, match.hash, rebuilt);
        node += rebuilt;
        fileLocation += match.fileLocation;
        return true;
    } catch (const std::exception& e) {
        writeLog(QString("getRcfNodeViaHashCode failed: %1").arg(exceptionText(e)));
        return false;
    }
}

bool WiFiSync::deleteTrackViaHashCode(bool rcf, const QString& hash, QString& fileLocation)
{
    try {
        const CatalogIndex* index = catalogIndex(rcf, "deleteTrackViaHashCode");
        if (!index)
            return false;
        const CatalogEntry* entry = index->find(hash);
        if (!entry)
            return false;
        fileLocation += entry->fileLocation;
        return true;
    } catch (const std::exception& e) {
        writeLog(QString("deleteTrackViaHashCode failed: %1").arg(exceptionText(e)));
        return false;
    }
}
