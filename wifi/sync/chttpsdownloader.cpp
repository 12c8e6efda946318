#include "wifi/sync/chttpsdownloader.h"

#include "wifi/sync/chttpget.h"
#include "wifi/sync/responsewait.h"

#include "platform/types.h"

#include <QUrl>

#include <exception>

CHttpsDownloader::CHttpsDownloader(const QString& rootPath)
    : QObject(nullptr)
    , m_pHttpGet(nullptr)
    , m_szRootPath(rootPath)
    , m_logFile(rootPath)
{
    m_pHttpGet = new CHttpGet();
    connect(m_pHttpGet, &CHttpGet::dataReadProgress, this, &CHttpsDownloader::httpDataReadProgress);
}

CHttpsDownloader::~CHttpsDownloader()
{
    delete m_pHttpGet;
}

void CHttpsDownloader::httpDataReadProgress(qint64, qint64)
{
    m_time.restart();
}

bool CHttpsDownloader::download(const QString& url, const QString& savePath, QString& error)
{
    try {
        if (QUrl(url).path().isEmpty()) {
            error = "This URL is not a valid value.";
            return false;
        }
        // When the GET cannot start, the wait below ends by time-out; a
        // file that cannot be made fails at once, as no transfer could
        // ever reach it.
        if (!m_pHttpGet->getFile(url, savePath) && !m_pHttpGet->errorString().isEmpty()) {
            error = m_pHttpGet->errorString();
            return false;
        }
        m_time.start();
        const bool finished = kivo::sync::waitForFlag(m_pHttpGet->doneFlag(), m_time);
        m_pHttpGet->clearDone();
        if (!finished) {
            // A transfer left running would go on writing into the file.
            m_pHttpGet->abort();
            error = "Time out.";
            return false;
        }
        if (m_pHttpGet->failed()) {
            error = m_pHttpGet->errorString();
            return false;
        }
        return true;
    } catch (const std::exception& e) {
        error = QString::fromLocal8Bit(e.what());
        m_logFile.writeLog(QString("Download file error: %1, %2").arg(error).arg(ce::getLastError()));
        return false;
    }
}
