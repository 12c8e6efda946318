#include "wifi/sync/chttpget.h"

#include "wifi/sync/devicefile.h"
#include "wifi/sync/httpshared.h"

#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

CHttpGet::CHttpGet()
    : QObject(nullptr)
    , m_pHttp(new QNetworkAccessManager(this))
    , m_bDone(false)
    , m_pReply(nullptr)
    , m_bFailed(false)
{
}

CHttpGet::~CHttpGet()
{
    abort();
}

bool CHttpGet::getFile(const QString& urlText, const QString& savePath)
{
    m_bDone = false;
    m_bFailed = false;
    m_szError.clear();
    abort();

    const QUrl url(urlText);
    if (!url.isValid() || url.path().isEmpty())
        return false;

    const QString target = savePath.isEmpty()
        ? QString("/SystemDrive/Falmo/Program/WiFi/Log") + "/" + QFileInfo(url.path()).fileName()
        : savePath;
    m_file.setFileName(kivo::sync::localPath(target));
    if (m_file.fileName().isEmpty() || !m_file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        m_szError = writeErrorText();
        return false;
    }

    // The query is part of what names the resource: a track's URL may
    // carry its id or its access key there.
    QNetworkRequest get(kivo::sync::requestUrl(url, true));
    get.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    // One transfer per connection.
    get.setRawHeader("Connection", "close");

    QNetworkReply* reply = m_pHttp->get(get);
    m_pReply = reply;
    connect(reply, &QNetworkReply::readyRead, this, [this, reply] {
        if (!kivo::sync::appendReplyData(reply, m_file)) {
            // A file cut short by a full disk is no track: the abort ends
            // the transfer as failed.
            m_szError = writeErrorText();
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::downloadProgress, this, &CHttpGet::dataReadProgress);
#ifndef QT_NO_SSL
    connect(reply, &QNetworkReply::sslErrors, this, &CHttpGet::httpsslErrors);
#endif
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        if (reply != m_pReply)
            return;
        // A write error found before the abort stands.
        if (m_szError.isEmpty())
            m_szError = finishError(reply);
        m_pReply = nullptr;
        reply->deleteLater();
        httpDone(!m_szError.isEmpty());
    });
    return true;
}

void CHttpGet::httpDone(bool error)
{
    if (error) {
        // An error page or a cut-off transfer is no file to keep.
        m_bFailed = true;
        if (m_file.isOpen())
            m_file.resize(0);
    }
    m_file.close();
    m_bDone = true;
}

void CHttpGet::abort()
{
    if (m_pReply) {
        QNetworkReply* reply = m_pReply;
        m_pReply = nullptr;
        kivo::sync::dropReply(reply, this);
        // What arrived of an abandoned transfer is no file to keep.
        if (m_file.isOpen())
            m_file.resize(0);
    }
    if (m_file.isOpen())
        m_file.close();
}

QString CHttpGet::finishError(QNetworkReply* reply)
{
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid() && (status.toInt() < 200 || status.toInt() > 299))
        return QString("HTTP status %1").arg(status.toInt());
    if (reply->error() != QNetworkReply::NoError)
        return reply->errorString();
    if (!kivo::sync::appendReplyData(reply, m_file))
        return writeErrorText();
    return QString();
}

QString CHttpGet::writeErrorText() const
{
    return QString("Cannot write %1: %2").arg(m_file.fileName(), m_file.errorString());
}

void CHttpGet::httpsslErrors(const QList<QSslError>&) { }
