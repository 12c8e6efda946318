// Posts one SOAP envelope as a gzip-compressed body and streams the answer
// into response.xml in the program's Log folder. One request at a time.
#pragma once

#include "wifi/sync/wifisynclogfile.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <QAuthenticator>
class QFile;
class QNetworkAccessManager;
class QNetworkReply;
#include <QSslError>

class QNavWebResponse : public QObject {
    Q_OBJECT
public:
    explicit QNavWebResponse(const QString& rootPath);
    ~QNavWebResponse() override;

    // Starts a POST of the pieces (joined, UTF-8, gzip) to url. A request
    // still running is abandoned first: its answer is dropped.
    void post(const QStringList& pieces, const QString& url);

    void resetFinished() { m_bFinished = false; }
    bool isFinished() const { return m_bFinished; }

    // Waits for the current request with the SOAP response wait. On time-out
    // the request is aborted and its partial answer removed, so a late answer
    // cannot overwrite the response of a later request.
    bool waitForFinished();

    // Aborts the current request, if any, and removes its partial answer.
    void abandonRequest();

    // The device path of the response file.
    QString responseFilePath() const;

    // Statuses whose body is taken as the answer (redirects are not followed).
    static bool isAcceptedStatus(int status);

public slots:
    void httpRequestFinished(int requestId, bool error);
    void readResponseHeader(int requestId, int statusCode);
    void updateDataReadProgress(qint64 bytesRead, qint64 totalBytes);
    void slotAuthenticationRequired(QNetworkReply* reply, QAuthenticator* authenticator);
    void httpStateChanged(int stat);
    void httpsslErrors(const QList<QSslError>& errors);

private:
    // Moves the answer's data into response.xml; false when it could not
    // be written whole.
    bool writeBody(int requestId);

    bool m_bFinished;
    QFile* m_pResponseFile;
    QNetworkAccessManager* m_pHttp;
    int m_nRequestId;
    QString m_szRootPath;
    WiFiSyncLogFile m_logFile;
    QNetworkReply* m_pReply;
    int m_nLastRequestId;
};
