#include "wifi/sync/qnavwebresponse.h"

#include "wifi/sync/devicefile.h"
#include "wifi/sync/gzipbody.h"
#include "wifi/sync/httpshared.h"
#include "wifi/sync/responsewait.h"

#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

namespace {
const char kUserAgent[] = "Mozilla/4.0 (compatible; MSIE 6.0; MS Web Services Client Protocol 2.0.50727.3082)";
}

QNavWebResponse::QNavWebResponse(const QString& rootPath)
    : QObject(nullptr)
    , m_bFinished(false)
    , m_pResponseFile(nullptr)
    , m_pHttp(nullptr)
    , m_nRequestId(0)
    , m_szRootPath(rootPath)
    , m_logFile(rootPath)
    , m_pReply(nullptr)
    , m_nLastRequestId(0)
{
    m_pHttp = new QNetworkAccessManager(this);
    connect(
        m_pHttp, &QNetworkAccessManager::authenticationRequired, this, &QNavWebResponse::slotAuthenticationRequired);
}

QNavWebResponse::~QNavWebResponse()
{
    abandonRequest();
}

QString QNavWebResponse::responseFilePath() const
{
    return m_szRootPath + "/Falmo/Program/WiFi/Log" + "/response.xml";
}

bool QNavWebResponse::isAcceptedStatus(int status)
{
    return status == 200 || status == 301 || status == 302 || status == 303 || status == 307;
}

void QNavWebResponse::post(const QStringList& pieces, const QString& url)
{
    abandonRequest();

    const QUrl target(url);
    QNetworkRequest request(kivo::sync::requestUrl(target));
    // Redirects are not followed: a redirect's body is the answer.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setRawHeader("Host", target.host().toUtf8());
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("text/xml; charset=utf-8"));
    request.setRawHeader("User-Agent", kUserAgent);
    request.setRawHeader("Connection", "Keep-Alive");
    request.setRawHeader("Expect", "100-continue");
    request.setRawHeader("SOAPAction", "");
    request.setRawHeader("Content-Encoding", "gzip");

    m_logFile.writeLog(QString("content len: %1").arg(pieces.size()));
    QByteArray body;
    for (const QString& piece : pieces)
        body += piece.toUtf8();
    const QByteArray zipped = kivo::sync::gzipCompress(body);
    request.setHeader(QNetworkRequest::ContentLengthHeader, zipped.size());
    m_logFile.writeLog(QString("contentzipped len: %1").arg(zipped.size()));

    const int requestId = ++m_nLastRequestId;
    m_nRequestId = requestId;
    m_pResponseFile = new QFile(kivo::sync::localPath(responseFilePath()), this);
    if (!m_pResponseFile->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        // Nowhere to keep the answer: the request ends at once without one.
        httpRequestFinished(requestId, true);
        return;
    }

    m_pReply = m_pHttp->post(request, zipped);
    QNetworkReply* reply = m_pReply;
    connect(reply, &QNetworkReply::metaDataChanged, this, [this, reply, requestId] {
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        if (status.isValid())
            readResponseHeader(requestId, status.toInt());
    });
    connect(reply, &QNetworkReply::readyRead, this, [this, requestId] {
        // An answer that cannot be kept whole is no answer: the abort ends
        // the request with an error, which removes response.xml.
        if (!writeBody(requestId) && m_pReply)
            m_pReply->abort();
    });
    connect(reply, &QNetworkReply::downloadProgress, this, &QNavWebResponse::updateDataReadProgress);
#ifndef QT_NO_SSL
    connect(reply, &QNetworkReply::sslErrors, this, &QNavWebResponse::httpsslErrors);
#endif
    connect(reply, &QNetworkReply::finished, this, [this, reply, requestId] {
        if (requestId != m_nRequestId)
            return;
        const bool written = writeBody(requestId);
        const bool error = reply->error() != QNetworkReply::NoError || !written;
        m_pReply = nullptr;
        reply->deleteLater();
        httpRequestFinished(requestId, error);
    });
}

bool QNavWebResponse::writeBody(int requestId)
{
    if (requestId != m_nRequestId || !m_pReply || !m_pResponseFile)
        return true;
    return kivo::sync::appendReplyData(m_pReply, *m_pResponseFile);
}

void QNavWebResponse::httpRequestFinished(int requestId, bool error)
{
    if (requestId != m_nRequestId)
        return;
    if (m_pResponseFile) {
        m_pResponseFile->close();
        if (error)
            m_pResponseFile->remove();
    }
    m_bFinished = true;
}

void QNavWebResponse::readResponseHeader(int requestId, int statusCode)
{
    if (requestId != m_nRequestId || !m_pReply)
        return;
    if (isAcceptedStatus(statusCode))
        return;
    m_logFile.writeLog(QString("connect to server error: %1").arg(statusCode));
    // The abort reports the request finished with an error, which removes
    // response.xml: the caller sees a finished request without an answer.
    m_pReply->abort();
}

void QNavWebResponse::abandonRequest()
{
    if (m_pReply) {
        QNetworkReply* reply = m_pReply;
        m_pReply = nullptr;
        kivo::sync::dropReply(reply, this);
        if (m_pResponseFile) {
            m_pResponseFile->close();
            m_pResponseFile->remove();
        }
    }
    // Whatever the old request still reports is no longer recognised.
    m_nRequestId = 0;
    delete m_pResponseFile;
    m_pResponseFile = nullptr;
}

bool QNavWebResponse::waitForFinished()
{
    QElapsedTimer clock;
    clock.start();
    if (kivo::sync::waitForFlag(m_bFinished, clock))
        return true;
    abandonRequest();
    return false;
}

void QNavWebResponse::updateDataReadProgress(qint64, qint64) { }

void QNavWebResponse::slotAuthenticationRequired(QNetworkReply*, QAuthenticator*) { }

void QNavWebResponse::httpStateChanged(int) { }

void QNavWebResponse::httpsslErrors(const QList<QSslError>&) { }
