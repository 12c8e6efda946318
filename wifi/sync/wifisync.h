// The sync engine of KivoWiFi: one object serves one call (a server check or
// one whole sync run) in the GUI thread, and reports through its signals.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

struct TrackSummaryRecord;
class WiFiSyncLogFile;

namespace kivo::sync {
class CatalogIndex;
class TrackFile;
}

class WiFiSync : public QObject {
    Q_OBJECT
public:
    WiFiSync();
    ~WiFiSync() override;

    // Sets the two drive roots ("/SystemDrive", "/DataDrive"); fixed.
    void getDeviceRootPath();
    // Debug mode (extra detail lines in the sync log) while betaserver.ini
    // lies in the Log folder.
    void isDebugMode();

    // Folders of a run, built from the roots.
    QString tracksFolder() const;
    QString logFolder() const;
    QString catalogFolder() const;

    // ---- The device's tracks

    // Appends the GPX files lying below folder in sub-folders whose path
    // contains "profile" (any case) to the own-recordings list, in name
    // order with folders first. False when the folder is missing or its
    // listing is empty.
    bool scanOwnRecordings(const QString& folder);
    // Appends the GPX files lying directly in folder to the 3rdParty list.
    bool scan3rdPartyTracks(const QString& folder);

    // The track hash: SHA-512 of the first 1499 characters of the file, read
    // as UTF-8, encoded back to UTF-8 and cut to 1499 bytes (and to the first
    // NUL), as 128 lower-case hex digits appended to hash. False, with hash
    // unchanged, when the file cannot be opened.
    bool generateHash512(const QString& gpxFilePath, QString& hash);

    // The file's text for an upload, in XML-escaped pieces of at most 2048
    // characters before escaping; content is replaced. False when the file
    // cannot be opened.
    bool getGpxContent(const QString& gpxFilePath, QStringList& content);

    // ---- The catalogs RCF.txt (own recordings) and TCF.txt (3rdParty
    // tracks): JSON arrays of flat objects of strings, one per listed file,
    // written afresh in the catalog folder.

    // Writes RCF.txt from the own-recordings list; false (nothing written)
    // when the list is empty. catalogFolderPath is the folder the run passes,
    // always catalogFolder(), where the look-ups read.
    bool generateRCFFile(const QString& catalogFolderPath);
    // Writes TCF.txt from the 3rdParty list; false when it is empty.
    bool generateTCFFile(const QString& catalogFolderPath);

    // Appends a recording's node, with the summary its GPX file holds, to
    // node. False when the file is missing, or with "E123007" put into
    // errorCode when its summary lacks time, position and speed.
    bool generateRcfNode(const QString& fileLocation, const QString& fileName, const QString& fileSize,
        const QString& trackName, const QString& hash, QString& node, QString& errorCode);
    // Appends a track's five-key node to node. Always true.
    bool generateTcfNode(const QString& fileName, const QString& fileLocation, const QString& fileSize,
        const QString& trackName, const QString& hash, QString& node);

    // Replace the catalog with text. False when the catalog folder cannot
    // be made or the file cannot be written.
    bool saveToRCFFile(const QString& text);
    bool saveToTCFFile(const QString& text);

    // The whole text of RCF.txt (rcf) or TCF.txt; false and empty when it
    // cannot be opened.
    bool getRCFOrTCFContent(bool rcf, QString& content);

    // Finds the first entry of the catalog whose "o_hash" is hash. A match in
    // RCF rebuilds the node from the GPX file as it is now (errorCode gets
    // "E123007" when that fails and node stays empty), a match in TCF from
    // the stored values; the node and the stored "o_file_location" are
    // appended. False when the catalog is missing or not a valid catalog, or
    // has no such entry.
    bool getRcfNodeViaHashCode(
        bool rcf, const QString& hash, QString& node, QString& fileLocation, QString& errorCode);
    // Appends the location of the first entry with that hash; deletes nothing.
    bool deleteTrackViaHashCode(bool rcf, const QString& hash, QString& fileLocation);

protected:
    void writeLog(const QString& message);

    QStringList m_listOwnGpx;
    QStringList m_list3rdGpx;
    QString m_szSystemRoot;
    QString m_szDataRoot;
    bool m_bDebugMode;
    WiFiSyncLogFile* m_pLogFile;

private:
    bool scanFolder(const QString& folder, bool own);
    // The file behind a listed path: where the scan found it, else resolved.
    QString localFileOf(const QString& devicePath) const;
    // The hash from the head of an opened file (read here when head is
    // null), with generateHash512's log lines.
    bool hashTrackFile(
        const QString& gpxFilePath, kivo::sync::TrackFile& file, const QByteArray* head, QString& hash);
    // The node of a recording whose summary has been read.
    bool appendRcfNode(const TrackSummaryRecord& summary, const QString& fileLocation, const QString& fileName,
        const QString& fileSize, const QString& trackName, const QString& hash, QString& node, QString& errorCode);
    // One catalog's text from a scan list; every file is opened once.
    QString catalogText(bool rcf);
    bool saveCatalog(bool rcf, const QString& text);
    // The catalog's index, read again whenever the file has changed; null
    // (the parse failure logged under operation's name) when the file is
    // missing or not a valid catalog.
    const kivo::sync::CatalogIndex* catalogIndex(bool rcf, const char* operation);

    // Device path to file on this machine, for the files the scans listed.
    QHash<QString, QString> m_scannedFiles;
    std::unique_ptr<kivo::sync::CatalogIndex> m_catalogIndex[2];
};
