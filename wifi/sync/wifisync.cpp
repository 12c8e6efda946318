#include "wifi/sync/wifisync.h"

#include "wifi/sync/catalogreader.h"
#include "wifi/sync/connecttoserver.h"
#include "wifi/sync/devicefile.h"
#include "wifi/sync/wifisynclogfile.h"

#include <QFileInfo>

#include <exception>

WiFiSync::WiFiSync()
    : QObject(nullptr)
    , m_bDebugMode(false)
    , m_pLogFile(nullptr)
{
    getDeviceRootPath();
    m_pLogFile = new WiFiSyncLogFile(m_szSystemRoot);
    writeLog("******WiFiSync******");
    m_connect2Server = new ConnectToServer(m_szSystemRoot);
    resetSyncState();
    getDeviceInfo();
    m_bDebugMode = false;
    isDebugMode();
}

WiFiSync::~WiFiSync()
{
    delete m_pLogFile;
    delete m_connect2Server;
}

void WiFiSync::writeLog(const QString& message)
{
    m_pLogFile->writeLog(message);
}

void WiFiSync::getDeviceRootPath()
{
    m_szSystemRoot = "/SystemDrive";
    m_szDataRoot = "/DataDrive";
}

void WiFiSync::isDebugMode()
{
    try {
        m_bDebugMode = false;
        if (QFileInfo::exists(kivo::sync::localPath(logFolder() + "/betaserver.ini"))) {
            m_bDebugMode = true;
            writeLog("Debug mode.");
        }
    } catch (const std::exception& e) {
        writeLog(QString("isDebugMode failed: %1").arg(QString::fromLocal8Bit(e.what())));
    }
}

QString WiFiSync::tracksFolder() const
{
    return m_szDataRoot + "/Falmo/Tracks";
}

QString WiFiSync::logFolder() const
{
    return m_szSystemRoot + "/Falmo/Program/WiFi/Log";
}

QString WiFiSync::catalogFolder() const
{
    return m_szSystemRoot + "/Falmo/Program/WiFi/Log/RCF_TCF";
}
