// Drives one download to completion; gives up after a time without progress.
#pragma once

#include "wifi/sync/wifisynclogfile.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>

class CHttpGet;

class CHttpsDownloader : public QObject {
    Q_OBJECT
public:
    explicit CHttpsDownloader(const QString& rootPath);
    ~CHttpsDownloader() override;

    // Downloads url into savePath (a device path). False with an error text
    // when the URL has no path ("This URL is not a valid value."), when no
    // data came for the time limit ("Time out."), or when the transfer
    // failed; a failed or timed-out transfer leaves nothing in the file.
    bool download(const QString& url, const QString& savePath, QString& error);

public slots:
    void httpDataReadProgress(qint64 done, qint64 total);

private:
    QElapsedTimer m_time;
    CHttpGet* m_pHttpGet;
    QString m_szRootPath;
    WiFiSyncLogFile m_logFile;
};
