// Fetches one URL with GET into a file.
#pragma once

#include <QFile>
#include <QList>
#include <QObject>
#include <QString>

class QNetworkAccessManager;
class QNetworkReply;
#include <QSslError>

class CHttpGet : public QObject {
    Q_OBJECT
public:
    CHttpGet();
    ~CHttpGet() override;

    // Starts a GET of the URL's path and query into savePath, a
    // device path; an empty savePath saves into the Log folder under the
    // URL's file name. True when the file was opened and the request sent;
    // false with errorString() when the file cannot be made.
    bool getFile(const QString& url, const QString& savePath);

    bool isDone() const { return m_bDone; }
    // The flag itself, for waits that watch it.
    const bool& doneFlag() const { return m_bDone; }
    void clearDone() { m_bDone = false; }

    // After the done flag: whether the transfer failed (network error, a
    // status other than 2xx, or a file that could not be written whole). A
    // failed transfer leaves an empty file.
    bool failed() const { return m_bFailed; }
    QString errorString() const { return m_szError; }

    // Aborts a transfer still running; nothing more reaches the file.
    void abort();

signals:
    void done(QString str);
    // Bytes received so far and expected in all (-1 when unknown).
    void dataReadProgress(qint64 done, qint64 total);

public slots:
    void httpDone(bool error);
    void httpsslErrors(const QList<QSslError>& errors);

private:
    // Why a finished transfer failed (its last data written first), or
    // empty when it did not.
    QString finishError(QNetworkReply* reply);
    QString writeErrorText() const;

    QNetworkAccessManager* m_pHttp;
    bool m_bDone;
    QFile m_file;
    QNetworkReply* m_pReply;
    bool m_bFailed;
    QString m_szError;
};
