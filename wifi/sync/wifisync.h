// The sync engine of KivoWiFi: one object serves one call (a server check or
// one whole sync run) in the GUI thread, and reports through its signals.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class ConnectToServer;
struct TrackSummaryRecord;
class WiFiSyncLogFile;

// The answer text of response.xml one request reads.
enum ServerResponseKind {
    kResponseSessionId = 1110,
    kResponseTrackList = 1111,
    kResponseUploadTrack = 1112,
    kResponseUploadAction = 1113,
};

// A track the server asks the device to download: the file name it gets
// (already made safe) and where to fetch it.
struct DownloadEntry {
    QString name;
    QString url;
};

namespace kivo::sync {
class CatalogIndex;
class TrackFile;
}

class WiFiSync : public QObject {
    Q_OBJECT
public:
    WiFiSync();
    ~WiFiSync() override;

    // ---- The sync run

    // Runs one whole sync; an empty session ID makes the run obtain one.
    // Every run ends with exactly one status or error signal.
    void WiFiSyncInit(QString szSessionID);

    // Emits wifiSyncStatusSignal for status 0 to 4 (see the .cpp).
    void sendSignToWiFiSetting(int nActionType, QString szError);
    // Whether /DataDrive has at least nMinKB kilobytes free.
    bool getDataDriveFreeSize(int nMinKB);
    // Makes the catalog folder, or removes the catalogs of an earlier run.
    bool deleteRCFFileAndTCFFile();
    void resetSyncState();
    bool deleteDirectory(QString path, bool bKeepRoot);
    // The end-of-run clean-up: with logging off, the catalog and Log
    // folders go. Always true.
    bool cleanTempFiles();

    // ---- The service protocol

    // A session for this device. False with a code: "E123005" without device
    // identity, "E123001" without an answer, "E123002" for an empty or error
    // answer.
    bool getSessionID(QString& sessionID, QString& code);
    // Reads the server's delete-after-upload setting into
    // m_bUploadSetting_DeleteFile.
    bool checkServerUploadSetting(const QString& sessionID);
    // "S000000" when the server hands out a session (put into sessionID),
    // else the failure's code.
    QString checkServerStatus(QString& sessionID);
    // Sends both catalogs; the server's action list is appended to text and
    // saved as temp.json.
    bool getTrackList(const QString& sessionID, QString& text);
    // Appends the return text of kind from the response file at path.
    void getServerResponse(const QString& path, int kind, QString& text);
    bool saveToJsonTempFile(const QString& text);
    // Reads the device identity from device.xml.
    void getDeviceInfo();

    // ---- Server actions and transfers

    // Reads temp.json into the three lists; false (lists untouched) when it
    // is not a JSON array.
    bool getActionList(QList<DownloadEntry>* downloads, QStringList* uploads, QStringList* deletes);
    // The same from the track list's text itself, as the run holds it.
    bool getActionList(
        const std::string& text, QList<DownloadEntry>* downloads, QStringList* uploads, QStringList* deletes);
    // The first of name, name(1), name(2)... whose .gpx is not in Tracks.
    QString checkDuplicateFileName(QString name);
    // The file name a track title becomes.
    QString downloadFileName(const QString& title);
    bool deleteTrack(const QStringList& hashes);
    bool startDownloadGpxFile(const QList<DownloadEntry>& entries);
    bool uploadTrack(const QString& sessionID, const QString& hash);
    bool startUploadGpxFile(const QString& sessionID, const QStringList& hashes);

    QString uuid() const { return m_szUuid; }
    QString skuid() const { return m_szSkuid; }
    QString modelName() const { return m_szModelName; }
    QString firmwareVersion() const { return m_szFirmwareVersion; }
    bool uploadSettingDeleteFile() const { return m_bUploadSetting_DeleteFile; }

signals:
    void wifiSyncStatusSignal(int nActionType, QString szDetail, QString szError);
    void wifiSyncFinishSignal(int nNeedUploadNum, int nNeedDownloadNum, int nCurrent, int nTotal, QString szError);
    void wifiSyncErrorSignal(QString szError);
    void wifiSyncAllGpxSyncFinishedSignal(int nSuccessUploadedNum, int nSuccessDownloadNum, QString szSyncDate);

public:

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
    QString m_szFirmwareVersion;
    QString m_szModelName;
    QString m_szUuid;
    QString m_szSkuid;
    QString m_szSystemRoot;
    QString m_szDataRoot;
    int m_nSuccessUploadedNum = 0;
    int m_nSuccessDownloadNum = 0;
    int m_nNeedDownloadNum = 0;
    int m_nNeedUploadNum = 0;
    int m_nNeedDeleteNum = 0;
    bool m_bDebugMode;
    bool m_bUploadSetting_DeleteFile = false;
    QString m_szUploadGpxPath;
    WiFiSyncLogFile* m_pLogFile;
    ConnectToServer* m_connect2Server = nullptr;
    // Whether the run being made has emitted its end signal.
    bool m_bRunEnded = false;

private:
    void runSync(const QString& givenSessionID);
    // Emits wifiSyncErrorSignal as the end of the run.
    void emitErrorEnd(const QString& code);

    // How a request's answer in response.xml turned out.
    enum class Answer { Missing, Empty, Error, Good };
    // Reads the return text of kind into text (replacing it).
    Answer readAnswer(int kind, QString& text);

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
