// The sync engine's log writer: appends dated lines to WifiLog.txt in the
// program's Log folder while logging is switched on.
#pragma once

#include <QObject>
#include <QString>

class WiFiSyncLogFile : public QObject {
    Q_OBJECT
public:
    // rootPath: the device drive the program's folders lie under ("/SystemDrive").
    explicit WiFiSyncLogFile(const QString& rootPath);

    // Appends "yyyy-MM-dd - hh:mm:ss - message\r\n" when enabled. The Log
    // folder is created even while logging is off.
    void writeLog(const QString& message);

    // Logging is on when betaserver.ini lies in the Log folder, or when
    // DebugSetting.ini's first "enablelog" line says "true".
    bool readLogSetting();

    bool isEnabled() const { return m_bEnabled; }

    QString logFolder() const;
    QString logFilePath() const;

    // Above this size the log file is deleted before the next line.
    static constexpr qint64 kMaxLogBytes = 0x200000;

private:
    // Makes sure the Log folder exists; false when it cannot be made.
    bool ensureLogFolder();

    QString m_szRootPath;
    bool m_bEnabled;
    QString m_szLocalFolder; // where the Log folder was found last

};
