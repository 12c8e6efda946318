#include "wifi/sync/connecttoserver.h"

#include "wifi/sync/devicefile.h"
#include "wifi/sync/qnavwebresponse.h"
#include "wifi/sync/servicehost.h"

#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <exception>

namespace {

const char kDeclaration[] = "<?xml version=\"1.0\" encoding=\"utf-8\"?>";
const char kEnvelopeStart[] = "<soapenv:Envelope xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\""
                              " xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\""
                              " xmlns:soapenv=\"http://schemas.xmlsoap.org/soap/envelope/\"";
const char kBodyStart[] = "<soapenv:Header/><soapenv:Body>";
const char kEncoding[] = " soapenv:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\"";
const char kEnvelopeEnd[] = "</soapenv:Body></soapenv:Envelope>";

// Element content: a value must not end the element or start markup.
QString escaped(const QString& value)
{
    QString out;
    out.reserve(value.size() + value.size() / 8);
    for (const QChar c : value) {
        switch (c.unicode()) {
        case '&':
            out += QLatin1String("&amp;");
            break;
        case '<':
            out += QLatin1String("&lt;");
            break;
        case '>':
            out += QLatin1String("&gt;");
            break;
        default:
            out += c;
        }
    }
    return out;
}

QString parameter(const char* name, const QString& value)
{
    return QString("<%1 xsi:type=\"xsd:string\">").arg(QLatin1String(name)) + escaped(value)
        + QString("</%1>").arg(QLatin1String(name));
}

// The envelope up to and including the operation's start tag.
QString envelopeHead(const QString& operation, bool serviceNamespace)
{
    QString head = QLatin1String(kDeclaration) + QLatin1String(kEnvelopeStart);
    if (serviceNamespace)
        head += QString(" xmlns:en=\"%1\"").arg(QLatin1String(ConnectToServer::kServiceNamespace));
    head += QLatin1String(">") + QLatin1String(kBodyStart) + "<" + operation + QLatin1String(kEncoding) + ">";
    return head;
}

QString envelopeTail(const QString& operation)
{
    return "</" + operation + ">" + QLatin1String(kEnvelopeEnd);
}

} // namespace

const char ConnectToServer::kServiceNamespace[] = "urn:KivoShareSyncService";

QString ConnectToServer::productionUrl()
{
    return QStringLiteral("http://" KIVO_SYNC_PRODUCTION_HOST "/v2/SyncService.php");
}

QString ConnectToServer::sandboxUrl()
{
    return QStringLiteral("http://" KIVO_SYNC_SANDBOX_HOST "/pedara/sandbox/wifisync/v1/SyncService.php");
}

ConnectToServer::ConnectToServer(const QString& rootPath)
    : QObject(nullptr)
    , m_pTransport(new QNavWebResponse(rootPath))
    , m_pLogFile(new WiFiSyncLogFile(rootPath))
    , m_szRootPath(rootPath)
{
    readServerUrl();
}

ConnectToServer::~ConnectToServer()
{
    delete m_pTransport;
    delete m_pLogFile;
}

bool ConnectToServer::betaServerMarked() const
{
    return QFileInfo::exists(kivo::sync::localPath(m_szRootPath + "/Falmo/Program/WiFi/Log/betaserver.ini"));
}

void ConnectToServer::readServerUrl()
{
    QString url = productionUrl();
    try {
        const bool sandbox = betaServerMarked();
        if (sandbox) {
            url = sandboxUrl();
            m_pLogFile->writeLog("Find betaserver.ini file.");
        }
        QFile settings(kivo::sync::localPath(kivo::sync::applicationDirectory() + "/DebugSetting.ini"));
        if (settings.open(QIODevice::ReadOnly | QIODevice::Text)) {
            QTextStream in(&settings);
            const QString wanted = sandbox ? "betaurl" : "productionurl";
            while (!in.atEnd()) {
                const QStringList parts = in.readLine().split('=');
                if (parts.size() != 2 || parts[0].trimmed().toLower() != wanted)
                    continue;
                const QString value = parts[1].trimmed();
                if (!value.isEmpty()) {
                    url = value;
                    break;
                }
            }
        }
    } catch (const std::exception&) {
        // The URL chosen so far stands.
    }
    m_pLogFile->writeLog(QString("Server URL: %1").arg(url));
    m_szURL = url;
}

bool ConnectToServer::sendRequest(const QStringList& pieces, QString& error)
{
    m_pTransport->resetFinished();
    if (m_szURL.trimmed().isEmpty()) {
        m_pLogFile->writeLog("m_szURL is empty: %1");
        m_szURL = betaServerMarked() ? sandboxUrl() : productionUrl();
    }
    m_pTransport->post(pieces, m_szURL);
    // A request that ran out of time is aborted by the wait.
    if (!m_pTransport->waitForFinished())
        error = "Time out";
    return m_pTransport->isFinished();
}

bool ConnectToServer::getSessionID(
    const QString& uuid, const QString& skuid, const QString& modelName, const QString& firmwareVersion, QString& error)
{
    try {
        const QString op = "getSessionID";
        return sendRequest({ envelopeHead(op, false) + parameter("uuid", uuid) + parameter("skuid", skuid)
                                 + parameter("modelName", modelName) + parameter("firmwareVersion", firmwareVersion)
                                 + envelopeTail(op) },
            error);
    } catch (const std::exception& e) {
        error = QString::fromLocal8Bit(e.what());
        return false;
    }
}

bool ConnectToServer::getTrackList(const QString& sessionID, const QString& uuid, const QString& metaDataRcf,
    const QString& metaDataTcf, QString& error)
{
    try {
        const QString op = "en:getTrackList";
        return sendRequest({ envelopeHead(op, true) + parameter("sessionID", sessionID) + parameter("uuid", uuid)
                                 + parameter("metaData_rcf", metaDataRcf) + parameter("metaData_tcf", metaDataTcf)
                                 + envelopeTail(op) },
            error);
    } catch (const std::exception& e) {
        error = QString::fromLocal8Bit(e.what());
        return false;
    }
}

bool ConnectToServer::uploadTrack(const QString& sessionID, const QString& uuid, const QString& sha512,
    const QString& metaType, const QString& metaData, const QStringList& trackContent, QString& error)
{
    try {
        const QString op = "uploadTrack";
        QStringList pieces;
        pieces.reserve(trackContent.size() + 2);
        pieces << envelopeHead(op, false) + parameter("sessionID", sessionID) + parameter("uuid", uuid)
                + parameter("sha512", sha512) + parameter("metaType", metaType) + parameter("metaData", metaData)
                + "<trackContent xsi:type=\"xsd:string\">";
        pieces += trackContent;
        pieces << "</trackContent>" + envelopeTail(op);
        return sendRequest(pieces, error);
    } catch (const std::exception& e) {
        error = QString::fromLocal8Bit(e.what());
        return false;
    }
}

bool ConnectToServer::checkServerUploadSetting(const QString& uuid, const QString& sessionID, QString& error)
{
    try {
        const QString op = "en:getUploadAction";
        return sendRequest(
            { envelopeHead(op, true) + parameter("sessionID", sessionID) + parameter("uuid", uuid) + envelopeTail(op) },
            error);
    } catch (const std::exception& e) {
        error = QString::fromLocal8Bit(e.what());
        return false;
    }
}
