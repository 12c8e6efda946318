#include "wifi/sync/wifisynclogfile.h"

#include "wifi/sync/devicefile.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTextStream>

#include <exception>

WiFiSyncLogFile::WiFiSyncLogFile(const QString& rootPath)
    : QObject(nullptr)
    , m_szRootPath(rootPath)
    , m_bEnabled(false)
{
    m_bEnabled = readLogSetting();
}

QString WiFiSyncLogFile::logFolder() const
{
    return m_szRootPath + "/Falmo/Program/WiFi/Log";
}

QString WiFiSyncLogFile::logFilePath() const
{
    return logFolder() + "/" + "WifiLog.txt";
}

bool WiFiSyncLogFile::ensureLogFolder()
{
    // The folder found last time, if it is still there, is one look-up;
    // finding a device folder afresh matches every component's name.
    if (!m_szLocalFolder.isEmpty() && QFileInfo(m_szLocalFolder).isDir())
        return true;
    if (!kivo::sync::makeDevicePath(logFolder())) {
        m_szLocalFolder.clear();
        return false;
    }
    m_szLocalFolder = kivo::sync::localPath(logFolder());
    return true;
}

void WiFiSyncLogFile::writeLog(const QString& message)
{
    if (!ensureLogFolder())
        return;
    if (!m_bEnabled)
        return;

    const QString path = kivo::sync::localPath(logFilePath());
    QFileInfo info(path);
    if (info.exists() && info.size() > kMaxLogBytes)
        QFile::remove(path);

    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    const QDateTime now = QDateTime::currentDateTime();
    QTextStream out(&file);
    out.setCodec("utf8");
    out << now.date().toString("yyyy-MM-dd") << " - " << now.time().toString(Qt::TextDate) << " - " << message
        << "\r\n";
    out.flush();
    file.close();
}

bool WiFiSyncLogFile::readLogSetting()
{
    try {
        kivo::sync::makeDevicePath(logFolder());
        if (QFileInfo::exists(kivo::sync::localPath(logFolder() + "/betaserver.ini")))
            return true;

        QFile settings(kivo::sync::localPath(kivo::sync::applicationDirectory() + "/DebugSetting.ini"));
        if (!settings.open(QIODevice::ReadOnly | QIODevice::Text))
            return false;
        QTextStream in(&settings);
        while (!in.atEnd()) {
            const QStringList parts = in.readLine().split("=", Qt::KeepEmptyParts);
            if (parts.size() != 2)
                continue;
            if (parts.at(0).trimmed().toLower() == "enablelog")
                return parts.at(1).trimmed().toLower() == "true";
        }
        return false;
    } catch (const std::exception&) {
        return false;
    }
}
