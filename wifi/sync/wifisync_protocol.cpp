// The sync engine's requests to the service: session, upload setting and
// track list, the answer texts of response.xml, and the device identity.
#include "wifi/sync/wifisync.h"

#include "wifi/sync/connecttoserver.h"
#include "wifi/sync/devicefile.h"
#include "wifi/sync/devicexmlhandler.h"
#include "wifi/sync/responsexmlhandler.h"
#include "wifi/sync/testfaults.h"
#include "wifi/sync/wifisynclogfile.h"

#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <exception>

namespace {

QString exceptionMessage(const std::exception& e)
{
    return QString::fromLocal8Bit(e.what());
}

} // namespace

WiFiSync::Answer WiFiSync::readAnswer(int kind, QString& text)
{
    const QString path = logFolder() + "/response.xml";
    const QFileInfo info(kivo::sync::localPath(path));
    if (!info.exists() || info.size() == 0)
        return Answer::Missing;
    text.clear();
    getServerResponse(path, kind, text);
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return Answer::Empty;
    if (trimmed.toLower().contains("error"))
        return Answer::Error;
    return Answer::Good;
}

bool WiFiSync::getSessionID(QString& sessionID, QString& code)
{
    try {
        writeLog("getSessionID");
        kivo::sync::raiseTestFault("getSessionID");
        if (!m_connect2Server) {
            writeLog("get SessionID failed.");
            code = "E123001";
            return false;
        }
        if (m_szUuid.isEmpty() || m_szSkuid.isEmpty()) {
            writeLog("Some essential parameter missing, check device.xml existed or not.");
            code = "E123005";
            return false;
        }
        QString error;
        if (!m_connect2Server->getSessionID(m_szUuid, m_szSkuid, m_szModelName, m_szFirmwareVersion, error)) {
            writeLog("m_connect2Server->getSessionID return false,Please check your network. E123001");
            code = "E123001";
            return false;
        }
        QString text;
        switch (readAnswer(kResponseSessionId, text)) {
        case Answer::Missing:
            writeLog("Unable to connect to server.Please check your network.return E123001");
            code = "E123001";
            return false;
        case Answer::Empty:
            writeLog("Server return SessionID is NULL,return error code E123002.");
            code = "E123002";
            return false;
        case Answer::Error:
            writeLog(QString("Server return Error code: %1,return to wifisetting E123002").arg(text));
            code = "E123002";
            return false;
        case Answer::Good:
            break;
        }
        sessionID = text;
        writeLog(QString("get sessionID success. %1").arg(text));
        return true;
    } catch (const std::exception& e) {
        writeLog(QString("getSessionID failed: %1").arg(exceptionMessage(e)));
        // A failure must carry a code, or the caller takes it for success.
        code = "E123001";
        return false;
    }
}

QString WiFiSync::checkServerStatus(QString& sessionID)
{
    try {
        writeLog("check the device connect with server or not.call by API:checkConnectServerStatus()");
        QString code;
        const bool ok = getSessionID(sessionID, code);
        for (const char* known : { "E123001", "E123002", "E123005" })
            if (code.contains(known))
                return known;
        if (!ok)
            return "E123001";
        writeLog("device can be connected with server.");
        return "S000000";
    } catch (const std::exception& e) {
        writeLog(QString("checkServerStatus failed: %1").arg(exceptionMessage(e)));
        return "E123001";
    }
}

bool WiFiSync::checkServerUploadSetting(const QString& sessionID)
{
    try {
        writeLog("getServerSetting");
        kivo::sync::raiseTestFault("checkServerUploadSetting");
        if (!m_connect2Server) {
            writeLog("checkServerUploadSetting failed.");
            return false;
        }
        if (m_szUuid.isEmpty()) {
            writeLog("Some essential parameter missing, check device.xml existed or not.");
            return false;
        }
        QString error;
        if (!m_connect2Server->checkServerUploadSetting(m_szUuid, sessionID, error)) {
            writeLog("m_connect2Server->checkServerUploadSetting return false,Please check your network.");
            return false;
        }
        QString text;
        switch (readAnswer(kResponseUploadAction, text)) {
        case Answer::Missing:
            writeLog("Unable to connect to server.Please check your network.");
            return false;
        case Answer::Empty:
            writeLog("checkServerUploadSetting: Server return value is NULL.");
            return false;
        case Answer::Error:
            writeLog(QString("Server return Error code: %1").arg(text));
            return false;
        case Answer::Good:
            break;
        }
        writeLog(QString("Check server upload setting success: %1").arg(text));
        const QString setting = text.toLower();
        if (setting == "dont_delete_after_upload") {
            m_bUploadSetting_DeleteFile = false;
        } else if (setting == "delete_after_upload") {
            m_bUploadSetting_DeleteFile = true;
            if (m_bDebugMode)
                writeLog(QString("m_bUploadSetting_DeleteFile = true: %1").arg(text));
        } else {
            writeLog("The return value is anomalous.");
            m_bUploadSetting_DeleteFile = false;
        }
        return true;
    } catch (const std::exception& e) {
        writeLog(QString("checkServerUploadSetting failed: %1").arg(exceptionMessage(e)));
        return false;
    }
}

bool WiFiSync::getTrackList(const QString& sessionID, QString& text)
{
    try {
        writeLog("start getTrackList");
        kivo::sync::raiseTestFault("getTrackList");
        if (!m_connect2Server) {
            writeLog("get Track List failed.");
            return false;
        }
        if (m_szUuid.isEmpty() || sessionID.isEmpty()) {
            writeLog("Some essential parameter missing, check user.xml existed or not.");
            return false;
        }
        QString rcf;
        QString tcf;
        getRCFOrTCFContent(true, rcf);
        getRCFOrTCFContent(false, tcf);
        QString error;
        if (!m_connect2Server->getTrackList(sessionID, m_szUuid, rcf, tcf, error))
            return false;
        QString answer;
        switch (readAnswer(kResponseTrackList, answer)) {
        case Answer::Missing:
            writeLog("Could not connect to the server. No response from server.");
            return false;
        case Answer::Empty:
            writeLog("server return TrackList is NULL.");
            return false;
        case Answer::Error:
            writeLog(QString("Server return Error code: %1").arg(answer));
            return false;
        case Answer::Good:
            break;
        }
        text += answer;
        // The run takes its action list from the text; the file is the
        // record of it.
        saveToJsonTempFile(answer);
        return true;
    } catch (const std::exception& e) {
        writeLog(QString("getTrackList failed: %1").arg(exceptionMessage(e)));
        return false;
    }
}

void WiFiSync::getServerResponse(const QString& path, int kind, QString& text)
{
    try {
        if (!QFileInfo::exists(kivo::sync::localPath(path))) {
            writeLog("The response.xml file can't be found.");
            return;
        }
        ResponseXmlHandler handler;
        if (!handler.parseFile(path))
            return;
        const ServerResponseRecord& r = handler.response();
        switch (kind) {
        case kResponseSessionId:
            text += r.sessionIdText;
            break;
        case kResponseTrackList:
            text += r.trackListText;
            break;
        case kResponseUploadAction:
            text += r.uploadActionText;
            break;
        default:
            text += r.uploadTrackText;
            break;
        }
    } catch (const std::exception& e) {
        writeLog(QString("getServerResponse failed: %1").arg(exceptionMessage(e)));
    }
}

bool WiFiSync::saveToJsonTempFile(const QString& text)
{
    try {
        if (!kivo::sync::makeDevicePath(logFolder())) {
            writeLog("saveToJsonTempFile: cannot make the log folder.");
            return false;
        }
        const QString path = logFolder() + "/temp.json";
        QFile file(kivo::sync::localPath(path));
        const QByteArray bytes = text.toUtf8();
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()
            || !file.flush()) {
            writeLog(QString("saveToJsonTempFile: cannot write %1: %2").arg(path, file.errorString()));
            // Nothing cut short stays behind to be taken for the list.
            file.close();
            file.remove();
            return false;
        }
        file.close();
        return true;
    } catch (const std::exception& e) {
        writeLog(QString("saveToJsonTempFile failed: %1").arg(exceptionMessage(e)));
        return false;
    }
}

void WiFiSync::getDeviceInfo()
{
    try {
        const QString path = m_szSystemRoot + "/" + "device.xml";
        if (!QFileInfo::exists(kivo::sync::localPath(path))) {
            writeLog("The device.xml file can't be found.");
            return;
        }
        DeviceXmlHandler handler;
        if (!handler.parseFile(path) || handler.records().isEmpty())
            return;
        const DeviceInfoRecord record = handler.records().first();
        m_szFirmwareVersion = QString("%1 %2").arg(record.kernelVersion, record.bootloaderVersion);
        m_szModelName = record.displayName;
        m_szUuid = record.hardwareId;
        m_szSkuid = record.skuId;
        if (record.kernelVersion.isEmpty() && record.bootloaderVersion.isEmpty())
            m_szFirmwareVersion = "R01.00.00 R01";
        writeLog(QString("Hardware ID is:%1, Kernel version is:%2").arg(m_szUuid, m_szFirmwareVersion));
    } catch (const std::exception& e) {
        writeLog(QString("getDeviceInfo failed: %1").arg(exceptionMessage(e)));
    }
}
