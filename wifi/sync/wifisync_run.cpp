// The sync run and what it does on the device for the server: the action
// list, deletions, downloads into the Tracks folder and uploads.
#include "wifi/sync/wifisync.h"

#include "wifi/sync/actionlist.h"
#include "wifi/sync/chttpsdownloader.h"
#include "wifi/sync/connecttoserver.h"
#include "wifi/sync/devicefile.h"
#include "wifi/sync/responsewait.h"
#include "wifi/sync/testfaults.h"
#include "wifi/sync/wifisynclogfile.h"

#include "platform/paths.h"
#include "platform/types.h"
#include "platform/wm.h"

#include <QDate>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTime>

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <exception>
#include <fstream>
#include <sstream>

namespace {

constexpr ce::UINT WM_SYNC_FINISHED = ce::WM_USER + 111;
const char kUnableToConnect[] = "E123001:Unable to connect to server.Please check your network.";
const char kShortOfSpace[] = "Insufficient space on your device. Please delete some files to get more space.";

QString exceptionMessage(const std::exception& e)
{
    return QString::fromLocal8Bit(e.what());
}

bool fileExists(const QString& devicePath)
{
    return QFileInfo::exists(kivo::sync::localPath(devicePath));
}

bool removeFile(const QString& devicePath)
{
    return QFile::remove(kivo::sync::localPath(devicePath));
}

// The path of a GPX file's side file: its last four characters replaced.
QString sideFile(const QString& gpxPath, const char* extension)
{
    return gpxPath.left(gpxPath.size() - 4) + extension;
}

// A copy across file systems fills a hidden file in the Tracks folder
// first (the scans skip hidden entries) and gives it its name only when
// it is whole: a run killed meanwhile leaves no cut-off track under a real
// name, and the next run removes what it left.
const char kCopyPrefix[] = ".sync-copy-";
const char kCopySuffix[] = ".part";

bool isLeftoverCopy(const QString& name)
{
    return name.startsWith(QLatin1String(kCopyPrefix)) && name.endsWith(QLatin1String(kCopySuffix));
}

// Ends a failed copy: the hidden file goes, the device's last error and
// the reason keep the errno that made it fail.
bool copyFailed(int error, const QByteArray& partial, QString* reason)
{
    if (!partial.isEmpty())
        ::unlink(partial.constData());
    ce::setLastErrorFromErrno(error);
    *reason = QString::fromLocal8Bit(std::strerror(error));
    return false;
}

// Removes what copies of a run that was killed left in the Tracks folder;
// returns their names.
QStringList removeLeftoverCopies(const QString& tracksFolder)
{
    QStringList removed;
    const QString local = kivo::sync::localPath(tracksFolder);
    if (local.isEmpty())
        return removed;
    const QFileInfoList entries = QDir(local).entryInfoList(QDir::Files | QDir::Hidden | QDir::System, QDir::Unsorted);
    for (const QFileInfo& entry : entries)
        if (isLeftoverCopy(entry.fileName()) && QFile::remove(entry.filePath()))
            removed << entry.fileName();
    return removed;
}

bool writeAll(int fd, const char* data, size_t size)
{
    const kivo::sync::CopyFaults& faults = kivo::sync::copyFaults();
    while (size > 0) {
        ssize_t n;
        if (faults.writeErrno) {
            errno = faults.writeErrno;
            n = -1;
        } else {
            n = ::write(fd, data, size);
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        data += n;
        size -= size_t(n);
    }
    return true;
}

// Gives the whole hidden file its name; never replaces a file there.
bool nameWithoutReplacing(const QByteArray& partial, const QByteArray& target)
{
    if (::link(partial.constData(), target.constData()) == 0) {
        ::unlink(partial.constData());
        return true;
    }
    if (errno != EPERM && errno != EMLINK && errno != ENOTSUP)
        return false;
    // A file system without links: a rename that refuses an existing name.
    return ::renameat2(AT_FDCWD, partial.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0;
}

// Copies the file from to a new file to; false, leaving nothing new at to
// and the reason in *reason and the last error, when that fails or to
// exists. On one file system the copy is a second link to the same data:
// no bytes are moved and nothing is half written.
bool copyNew(const QString& from, const QString& to, QString* reason)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    const kivo::sync::CopyFaults& faults = kivo::sync::copyFaults();
    int linked;
    if (faults.linkErrno) {
        errno = faults.linkErrno;
        linked = -1;
    } else {
        linked = ::link(source.constData(), target.constData());
    }
    if (linked == 0) {
        ce::setLastErrorFromErrno(0);
        return true;
    }
    if (errno != EXDEV && errno != EPERM && errno != EMLINK && errno != ENOTSUP)
        return copyFailed(errno, QByteArray(), reason);

    const int in = ::open(source.constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return copyFailed(errno, QByteArray(), reason);
    static std::atomic<unsigned> s_copies { 0 };
    const QByteArray partial = QFile::encodeName(QFileInfo(to).path() + "/" + kCopyPrefix
        + QString::number(::getpid()) + "-" + QString::number(s_copies++) + kCopySuffix);
    ::unlink(partial.constData());
    const int out = ::open(partial.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (out < 0) {
        const int error = errno;
        ::close(in);
        return copyFailed(error, QByteArray(), reason);
    }
    char buffer[65536];
    int error = 0;
    for (;;) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = errno;
            break;
        }
        if (n == 0)
            break;
        if (!writeAll(out, buffer, size_t(n))) {
            error = errno;
            break;
        }
        if (faults.afterBlock)
            faults.afterBlock();
    }
    ::close(in);
    // Whole on the medium before it takes its name.
    if (!error && ::fsync(out) != 0)
        error = errno;
    if (::close(out) != 0 && !error)
        error = errno;
    if (!error && !nameWithoutReplacing(partial, target))
        error = errno;
    if (error)
        return copyFailed(error, partial, reason);
    ce::setLastErrorFromErrno(0);
    return true;
}

} // namespace

// ---- signals of the end of a run

void WiFiSync::emitErrorEnd(const QString& code)
{
    m_bRunEnded = true;
    emit wifiSyncErrorSignal(code);
}

void WiFiSync::sendSignToWiFiSetting(int nActionType, QString szError)
{
    try {
        QString detail;
        QString error;
        switch (nActionType) {
        case 0:
            detail = QString("%1,%2").arg(m_nSuccessUploadedNum).arg(m_nSuccessDownloadNum);
            break;
        case 1:
            error = "E123002";
            break;
        case 2:
            error = "E123003";
            break;
        case 3:
            error = "E123004";
            break;
        case 4:
            error = szError;
            break;
        default:
            return;
        }
        m_bRunEnded = true;
        emit wifiSyncStatusSignal(nActionType, detail, error);
    } catch (const std::exception& e) {
        writeLog(QString("sendSignToWiFiSetting failed: %1").arg(exceptionMessage(e)));
    }
}

// ---- the run

void WiFiSync::WiFiSyncInit(QString szSessionID)
{
    m_bRunEnded = false;
    try {
        runSync(szSessionID);
    } catch (const std::exception& e) {
        writeLog(QString("WiFiSyncInit failed: %1").arg(exceptionMessage(e)));
    }
    // A run that stopped without saying so would leave the sync screen
    // waiting for ever.
    if (!m_bRunEnded)
        emitErrorEnd(QString());
}

void WiFiSync::runSync(const QString& givenSessionID)
{
    writeLog(QString("Start wifi sync.call by API:WiFiSyncInit(szSessionID = %1)").arg(givenSessionID));
    deleteRCFFileAndTCFFile();
    resetSyncState();
    for (const QString& name : removeLeftoverCopies(tracksFolder()))
        writeLog(QString("Removed a copy left unfinished: %1").arg(tracksFolder() + "/" + name));
    scanOwnRecordings(tracksFolder());
    scan3rdPartyTracks(tracksFolder());
    writeLog(QString("Kivo gpx: %1, 3rd gpx: %2").arg(m_listOwnGpx.size()).arg(m_list3rdGpx.size()));
    if (m_listOwnGpx.isEmpty() && m_list3rdGpx.isEmpty())
        writeLog("Can't find GPX file in device.");
    generateRCFFile(catalogFolder());
    generateTCFFile(catalogFolder());

    QString sessionID = givenSessionID;
    if (sessionID.isEmpty()) {
        QString code;
        if (!getSessionID(sessionID, code)) {
            if (code.contains("E123002"))
                sendSignToWiFiSetting(1, code);
            else
                sendSignToWiFiSetting(4, code);
            cleanTempFiles();
            return;
        }
    }

    if (!checkServerUploadSetting(sessionID))
        writeLog("checkServerUploadSetting return false,set m_bUploadSetting_DeleteFile = false");

    QString trackList;
    if (!getTrackList(sessionID, trackList)) {
        writeLog("getTrackList return false, exit.");
        cleanTempFiles();
        sendSignToWiFiSetting(4, kUnableToConnect);
        return;
    }

    QList<DownloadEntry> downloads;
    QStringList uploads;
    QStringList deletes;
    // From the text the run holds: temp.json may not have been written
    // whole (a full drive), and an empty list would end the run as
    // "nothing to sync" though the service asked for work.
    getActionList(trackList.toStdString(), &downloads, &uploads, &deletes);
    m_nNeedDownloadNum = downloads.size();
    m_nNeedUploadNum = uploads.size();
    m_nNeedDeleteNum = deletes.size();
    emit wifiSyncFinishSignal(m_nNeedUploadNum, m_nNeedDownloadNum, 0, m_nNeedUploadNum + m_nNeedDownloadNum, QString());

    writeLog("start deleteTrack");
    deleteTrack(deletes);
    writeLog("deleteTrack finish.");
    writeLog(QString("The quantity of files needed to download is: %1, and the one needed to upload is: %2")
                 .arg(m_nNeedDownloadNum)
                 .arg(m_nNeedUploadNum));

    if (m_nNeedDownloadNum == 0 && m_nNeedUploadNum == 0) {
        sendSignToWiFiSetting(2, QString());
        writeLog("No recordings and saved tracks need sync.");
        cleanTempFiles();
        return;
    }
    if (!getDataDriveFreeSize(3072)) {
        sendSignToWiFiSetting(3, QString());
        writeLog("Lack of 3 MB space in device.Please delete some files in device.");
        cleanTempFiles();
        return;
    }
    if (!startDownloadGpxFile(downloads)) {
        writeLog("download gpx file failed,return.");
        cleanTempFiles();
        return;
    }
    if (!startUploadGpxFile(sessionID, uploads)) {
        writeLog("upload gpx file failed, return.");
        cleanTempFiles();
        return;
    }

    sendSignToWiFiSetting(0, QString());
    const QString date = QDate::currentDate().toString("yyyy-MM-dd");
    const QString time = QTime::currentTime().toString();
    writeLog(QString("%1 GPX file uploaded successfully,%2 GPX file downloaded successfully.")
                 .arg(m_nSuccessUploadedNum)
                 .arg(m_nSuccessDownloadNum));
    emit wifiSyncAllGpxSyncFinishedSignal(m_nSuccessUploadedNum, m_nSuccessDownloadNum, QString("%1 %2").arg(time, date));
    cleanTempFiles();
    ce::postMessage(ce::HWND_BROADCAST, WM_SYNC_FINISHED, 0, 0);
}

bool WiFiSync::getDataDriveFreeSize(int nMinKB)
{
    try {
        // A drive that is not there has no free space to report (the
        // platform's answer would be that of the drive holding the root).
        const QString drive = kivo::sync::localPath("/DataDrive/");
        const std::optional<uint64_t> freeBytes
            = QFileInfo(drive).isDir() ? ce::freeSpace("/DataDrive/") : std::nullopt;
        if (!freeBytes) {
            writeLog("Call to GetDiskFreeSpaceEx() failed.");
            return false;
        }
        const uint64_t freeKB = *freeBytes >> 10;
        writeLog(QString("DataDrive Free Size : %1 KB").arg(freeKB));
        return nMinKB <= 0 || freeKB >= uint64_t(nMinKB);
    } catch (const std::exception& e) {
        writeLog(QString("getDataDriveFreeSize failed: %1").arg(exceptionMessage(e)));
        return false;
    }
}

bool WiFiSync::deleteRCFFileAndTCFFile()
{
    try {
        if (!QFileInfo(kivo::sync::localPath(catalogFolder())).isDir()) {
            if (!kivo::sync::makeDevicePath(catalogFolder())) {
                writeLog("Create a dir in Falmo failed.");
                return false;
            }
            return true;
        }
        const QString rcf = catalogFolder() + "/RCF.txt";
        if (fileExists(rcf) && !removeFile(rcf))
            writeLog(QString("delete RCF failed: %1").arg(rcf));
        const QString tcf = catalogFolder() + "/TCF.txt";
        if (fileExists(tcf) && !removeFile(tcf))
            writeLog(QString("delete TCF failed: %1").arg(tcf));
        return true;
    } catch (const std::exception& e) {
        writeLog(QString("deleteRCFFileAndTCFFile failed: %1").arg(exceptionMessage(e)));
        return false;
    }
}

void WiFiSync::resetSyncState()
{
    m_listOwnGpx.clear();
    m_list3rdGpx.clear();
    m_nSuccessUploadedNum = 0;
    m_nSuccessDownloadNum = 0;
    m_nNeedDownloadNum = 0;
    m_nNeedUploadNum = 0;
    m_nNeedDeleteNum = 0;
    m_bUploadSetting_DeleteFile = false;
}

bool WiFiSync::deleteDirectory(QString path, bool bKeepRoot)
{
    const QString local = kivo::sync::localPath(path);
    QDir dir(local);
    if (local.isEmpty() || !dir.exists()) {
        writeLog(QString("!filedir.exists():%1").arg(path));
        return true;
    }
    const QFileInfoList entries
        = dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QFileInfo& entry : entries) {
        if (entry.isDir() && !entry.isSymLink()) {
            // Paths go through Latin-1 on the device: a folder whose path
            // holds other characters is not found there and stays.
            const QString sub = QString::fromLatin1((path + "/" + entry.fileName()).toLatin1());
            if (!deleteDirectory(sub, false))
                return false;
            continue;
        }
        QFile file(entry.absoluteFilePath());
        file.setPermissions(file.permissions() | QFileDevice::WriteOwner | QFileDevice::WriteUser
            | QFileDevice::WriteGroup | QFileDevice::WriteOther);
        if (!file.remove()) {
            writeLog(QString("The following file is locked:%1").arg(path + "/" + entry.fileName()));
            return false;
        }
    }
    if (!bKeepRoot && dir.exists() && !QDir().rmdir(local))
        return false;
    return true;
}

bool WiFiSync::cleanTempFiles()
{
    if (m_pLogFile->readLogSetting())
        return true;
    deleteDirectory(catalogFolder(), false);
    deleteDirectory(logFolder(), false);
    return true;
}

// ---- the action list

bool WiFiSync::getActionList(QList<DownloadEntry>* downloads, QStringList* uploads, QStringList* deletes)
{
    try {
        std::ifstream file(kivo::sync::localPath(logFolder() + "/temp.json").toStdString(), std::ios::binary);
        std::stringstream text;
        if (file)
            text << file.rdbuf();
        if (!file) {
            writeLog("getActionList -> reader.parse failed");
            return false;
        }
        return getActionList(text.str(), downloads, uploads, deletes);
    } catch (const std::exception& e) {
        writeLog(QString("getActionList failed: %1").arg(exceptionMessage(e)));
        return false;
    }
}

bool WiFiSync::getActionList(
    const std::string& text, QList<DownloadEntry>* downloads, QStringList* uploads, QStringList* deletes)
{
    try {
        std::vector<kivo::sync::ActionItem> items;
        std::string error;
        if (!kivo::sync::readActionList(text, &items, &error)) {
            writeLog("getActionList -> reader.parse failed");
            return false;
        }
        QList<DownloadEntry> newDownloads;
        QStringList newUploads;
        QStringList newDeletes;
        for (const kivo::sync::ActionItem& item : items) {
            const QString action = QString::fromUtf8(item.action.c_str()).toLower();
            const QString hash = QString::fromUtf8(item.hash.c_str());
            if (action == "download") {
                const QString url = QString::fromUtf8(item.url.c_str());
                if (url.isEmpty() || url == "?") {
                    writeLog("URL includes abnormal character or empty, ignore this file.");
                    continue;
                }
                newDownloads.append({ downloadFileName(QString::fromUtf8(item.title.c_str())), url });
            } else if (action == "upload" && !hash.isEmpty()) {
                newUploads.append(hash);
            } else if (action == "delete" && !hash.isEmpty()) {
                newDeletes.append(hash);
            }
        }
        *downloads += newDownloads;
        *uploads += newUploads;
        *deletes += newDeletes;
        return true;
    } catch (const std::exception& e) {
        writeLog(QString("getActionList failed: %1").arg(exceptionMessage(e)));
        return false;
    }
}

QString WiFiSync::downloadFileName(const QString& title)
{
    QString name = title;
    for (const QChar c : { '\\', '/', ':', '*', '?', '"', '>', '<', '|' })
        name.replace(c, '_');
    if (name.trimmed().isEmpty()) {
        name = checkDuplicateFileName("New Track");
        writeLog(QString("File name is empty, rename to: %1").arg(name));
    }
    return name;
}

QString WiFiSync::checkDuplicateFileName(QString name)
{
    try {
        if (name.trimmed().isEmpty())
            return QString();
        QString candidate = name;
        for (int n = 1; n < 999; ++n) {
            if (!fileExists(tracksFolder() + "/" + candidate + ".gpx"))
                break;
            candidate = QString("%1(%2)").arg(name).arg(n);
        }
        if (candidate != name)
            writeLog(QString("File \"%1\" already exists,rename to: %2").arg(name, candidate));
        return candidate;
    } catch (const std::exception& e) {
        writeLog(QString("checkDuplicateFileName failed: %1").arg(exceptionMessage(e)));
        return name;
    }
}

// ---- deletions

bool WiFiSync::deleteTrack(const QStringList& hashes)
{
    try {
        writeLog(QString("The quantity of files needed to delete is: %1").arg(hashes.size()));
        for (const QString& hash : hashes) {
            QString path;
            const char* kind = nullptr;
            if (deleteTrackViaHashCode(false, hash, path)) {
                kind = "track";
            } else {
                path.clear();
                if (deleteTrackViaHashCode(true, hash, path))
                    kind = "recording";
            }
            if (!kind) {
                writeLog("Can't find this Hash code in RCF&TCF.");
                continue;
            }
            if (!fileExists(path))
                continue;
            if (!removeFile(path)) {
                writeLog(QString("Delete %1 failed: %2").arg(QLatin1String(kind), path));
                continue;
            }
            writeLog(QString("Delete %1 success: %2").arg(QLatin1String(kind), path));
            const QString bin = sideFile(path, ".bin");
            if (fileExists(bin) && !removeFile(bin))
                writeLog("Delete bin file failed.");
            const QString fit = sideFile(path, ".fit");
            if (fileExists(fit) && !removeFile(fit))
                writeLog("Delete fit file failed.");
        }
        return true;
    } catch (const std::exception& e) {
        writeLog(QString("deleteTrack failed: %1").arg(exceptionMessage(e)));
        return false;
    }
}

// ---- downloads

bool WiFiSync::startDownloadGpxFile(const QList<DownloadEntry>& entries)
{
    try {
        writeLog("start download gpx.");
        kivo::sync::raiseTestFault("startDownloadGpxFile");
        CHttpsDownloader downloader(m_szSystemRoot);
        QString error;
        auto fail = [&](const QString& url) {
            writeLog(QString("download file failed msg: %1, url: %2").arg(error, url));
            if (getDataDriveFreeSize(500)) {
                emitErrorEnd(QString());
            } else {
                emitErrorEnd("E123006");
                writeLog(kShortOfSpace);
            }
            return false;
        };
        kivo::sync::makeDevicePath(tracksFolder());
        for (const DownloadEntry& entry : entries) {
            kivo::sync::pumpMessages();
            QString name = entry.name;
            const QString temp = logFolder() + "/" + name + ".gpx";
            QString dest = tracksFolder() + "/" + name + ".gpx";
            const QString tempLocal = kivo::sync::localPath(temp);
            if (QFileInfo::exists(tempLocal))
                QFile::remove(tempLocal);
            writeLog(QString("Begin download:URL = %1, save Path: %2").arg(entry.url, temp));
            if (!downloader.download(entry.url, temp, error) && !downloader.download(entry.url, temp, error))
                return fail(entry.url);

            if (QFileInfo(tempLocal).size() == 0 && !getDataDriveFreeSize(500)) {
                emitErrorEnd("E123006");
                writeLog(kShortOfSpace);
                return false;
            }
            QString destLocal = kivo::sync::localPath(dest);
            if (QFileInfo::exists(destLocal)) {
                name = checkDuplicateFileName(name);
                dest = tracksFolder() + "/" + name + ".gpx";
                destLocal = kivo::sync::localPath(dest);
                writeLog(QString("destFile.exists().rename download file name to: %1").arg(dest));
            }
            // The copy never replaces a file: a destination that appeared
            // meanwhile, or a copy that fails, leaves what is there alone.
            QString reason;
            if (!copyNew(tempLocal, destLocal, &reason)) {
                writeLog(QString("copy file failed: %1,Error info: %2").arg(dest).arg(ce::getLastError()));
                error = QString("cannot copy into %1: %2").arg(dest, reason);
                return fail(entry.url);
            }
            if (!QFile::remove(tempLocal)) {
                writeLog(QString("delete temp path file failed: %1").arg(temp));
                continue;
            }
            ++m_nSuccessDownloadNum;
            writeLog("Download one GPX file successfully.");
            emit wifiSyncFinishSignal(m_nNeedUploadNum, m_nNeedDownloadNum, m_nSuccessDownloadNum,
                m_nNeedUploadNum + m_nNeedDownloadNum, QString());
        }
        return true;
    } catch (const std::exception& e) {
        writeLog(QString("startDownloadGpxFile failed: %1").arg(exceptionMessage(e)));
        return false;
    }
}

// ---- uploads

bool WiFiSync::uploadTrack(const QString& sessionID, const QString& hash)
{
    try {
        writeLog("start uploadTrack");
        if (!m_connect2Server) {
            writeLog("uploadTrack failed.");
            return false;
        }
        if (m_szUuid.isEmpty() || sessionID.isEmpty()) {
            writeLog("Some essential parameter missing, check user.xml existed or not.");
            return false;
        }
        QString metaType = "RCF";
        QString node;
        QString path;
        QString errorCode;
        // A recording whose record cannot be rebuilt any more counts as
        // not found in RCF.txt.
        if (!getRcfNodeViaHashCode(true, hash, node, path, errorCode) || errorCode.contains("E123007")) {
            const QString recordingPath = path;
            path.clear();
            node.clear();
            if (getRcfNodeViaHashCode(false, hash, node, path, errorCode)) {
                metaType = "TCF";
            } else if (errorCode.contains("E123007")) {
                writeLog(QString("ignore this file: %1.").arg(recordingPath));
                return true;
            } else {
                writeLog("can't find this Hash code in RCF&TCF.");
                return false;
            }
        }
        m_szUploadGpxPath = path;
        QStringList content;
        if (!getGpxContent(path, content)) {
            writeLog("get Gpx content failed.");
            return false;
        }
        writeLog(QString("Begin upload: %1").arg(path));
        QString error;
        if (!m_connect2Server->uploadTrack(sessionID, m_szUuid, hash, metaType, node, content, error)) {
            writeLog(QString("upload gpx file failed: %1").arg(error));
            return false;
        }
        QString answer;
        switch (readAnswer(kResponseUploadTrack, answer)) {
        case Answer::Missing:
            writeLog("Could not connect to the server. No response from server.");
            return false;
        case Answer::Empty:
            writeLog("server return TrackList is NULL.");
            return false;
        case Answer::Error:
            writeLog(QString("Server return Error code: %1").arg(answer.trimmed()));
            return false;
        case Answer::Good:
            break;
        }
        return answer.trimmed().toLower().contains("success");
    } catch (const std::exception& e) {
        writeLog(QString("uploadTrack failed: %1").arg(exceptionMessage(e)));
        return false;
    }
}

bool WiFiSync::startUploadGpxFile(const QString& sessionID, const QStringList& hashes)
{
    try {
        writeLog("start upload gpx.");
        kivo::sync::raiseTestFault("startUploadGpxFile");
        for (const QString& hash : hashes) {
            m_szUploadGpxPath.clear();
            if (!uploadTrack(sessionID, hash)) {
                emitErrorEnd(QString());
                return false;
            }
            writeLog("upload one GPX file successfully.");
            ++m_nSuccessUploadedNum;
            if (m_bUploadSetting_DeleteFile && !m_szUploadGpxPath.isEmpty() && fileExists(m_szUploadGpxPath)) {
                if (removeFile(m_szUploadGpxPath)) {
                    writeLog(QString("Delete GPX file successfully: %1").arg(m_szUploadGpxPath));
                    const QString bin = sideFile(m_szUploadGpxPath, ".bin");
                    if (fileExists(bin))
                        writeLog(removeFile(bin) ? QString("Delete bin file successfully: %1").arg(bin)
                                                 : QString("Delete bin file failed."));
                    const QString fit = sideFile(m_szUploadGpxPath, ".fit");
                    if (fileExists(fit))
                        writeLog(removeFile(fit) ? QString("Delete fit file successfully: %1").arg(fit)
                                                 : QString("Delete fit file failed."));
                } else {
                    writeLog("Server setting: delete recordings is true, but Delete GPX file failed.");
                }
            }
            emit wifiSyncFinishSignal(m_nNeedUploadNum, m_nNeedDownloadNum, m_nSuccessDownloadNum + m_nSuccessUploadedNum,
                m_nNeedUploadNum + m_nNeedDownloadNum, QString());
        }
        writeLog("upload track finish.");
        return true;
    } catch (const std::exception& e) {
        writeLog(QString("startUploadGpxFile failed: %1").arg(exceptionMessage(e)));
        return false;
    }
}
