// The device's tracks: the two folder scans, the track hash and the escaped
// text of a GPX file for an upload.
#include "wifi/sync/wifisync.h"

#include "wifi/sync/devicefile.h"
#include "wifi/sync/trackhash.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <exception>

namespace {

// An upload carries the file in pieces of at most this many characters.
constexpr int kContentPieceChars = 2048;

bool isGpxName(const QString& name)
{
    return name.right(3).toUpper() == QLatin1String("GPX");
}

QString exceptionText(const std::exception& e)
{
    return QString::fromLocal8Bit(e.what());
}

} // namespace

bool WiFiSync::scanOwnRecordings(const QString& folder)
{
    return scanFolder(folder, true);
}

bool WiFiSync::scan3rdPartyTracks(const QString& folder)
{
    return scanFolder(folder, false);
}

bool WiFiSync::scanFolder(const QString& folder, bool own)
{
    const QString local = kivo::sync::localPath(folder);
    if (local.isEmpty() || !QFileInfo(local).isDir())
        return false;
    // Hidden entries are not listed; names sort case-sensitively, folders
    // first.
    const QFileInfoList entries
        = QDir(local).entryInfoList(QDir::Dirs | QDir::Files, QDir::Name | QDir::DirsFirst);
    if (entries.isEmpty())
        return false;

    // The device path of the folder decides, not where the device root
    // happens to lie on this machine.
    const bool profileFolder = folder.toLower().contains(QLatin1String("profile"));
    for (const QFileInfo& entry : entries) {
        const QString name = entry.fileName();
        if (name == QLatin1String(".") || name == QLatin1String(".."))
            continue;
        const QString path = folder + "/" + name;
        if (entry.isDir()) {
            // A linked folder could lead back up the tree and never end.
            if (own && !entry.isSymLink())
                scanFolder(path, true);
            continue;
        }
        if (!isGpxName(name))
            continue;
        if (!own)
            m_list3rdGpx.append(path);
        else if (profileFolder)
            m_listOwnGpx.append(path);
        else
            continue;
        m_scannedFiles.insert(path, entry.filePath());
    }
    return true;
}

bool WiFiSync::generateHash512(const QString& gpxFilePath, QString& hash)
{
    try {
        writeLog("generateHash512");
        kivo::sync::TrackFile file(kivo::sync::localPath(gpxFilePath));
        return hashTrackFile(gpxFilePath, file, nullptr, hash);
    } catch (const std::exception& e) {
        writeLog(QString("generateHash512 failed: %1").arg(exceptionText(e)));
        return false;
    }
}

bool WiFiSync::hashTrackFile(
    const QString& gpxFilePath, kivo::sync::TrackFile& file, const QByteArray* head, QString& hash)
{
    QByteArray read;
    if (file.isOpen() && !head) {
        if (file.readHead(read, kivo::sync::kTrackHashHeadBytes))
            head = &read;
    }
    if (!head) {
        writeLog(QString("The input GPX file can't be found: %1").arg(gpxFilePath));
        return false;
    }
    const kivo::sync::TrackHash digest = kivo::sync::trackHash(head->constData(), size_t(head->size()));
    if (m_bDebugMode) {
        writeLog(QString("Snippet number of characters:%1, number of byte: %2")
                     .arg(digest.characters)
                     .arg(digest.encodedBytes));
        writeLog(QString("szGPXFilePath:%1, Hash:%2").arg(gpxFilePath, digest.hex));
    }
    hash += digest.hex;
    return true;
}

bool WiFiSync::getGpxContent(const QString& gpxFilePath, QStringList& content)
{
    try {
        content.clear();
        QFile file(kivo::sync::localPath(gpxFilePath));
        if (!file.open(QIODevice::ReadOnly))
            return false;
        QTextStream in(&file);
        in.setCodec("UTF-8");
        // The pieces are encoded one by one, so a surrogate pair must not
        // straddle two of them: a piece ending in the first half of a pair
        // leaves it to the next one.
        QString carried;
        while (!in.atEnd()) {
            QString piece = carried + in.read(kContentPieceChars - carried.size());
            carried.clear();
            if (!piece.isEmpty() && QChar(piece.back()).isHighSurrogate() && !in.atEnd()) {
                carried = QChar(piece.back());
                piece.chop(1);
            }
            piece.replace(QLatin1String("&"), QLatin1String("&amp;"));
            piece.replace(QLatin1String("<"), QLatin1String("&lt;"));
            piece.replace(QLatin1String(">"), QLatin1String("&gt;"));
            piece.replace(QLatin1String("\""), QLatin1String("&quot;"));
            content.append(piece);
        }
        file.close();
        return true;
    } catch (const std::exception& e) {
        writeLog(QString("getGpxContent failed: %1").arg(exceptionText(e)));
        return false;
    }
}
