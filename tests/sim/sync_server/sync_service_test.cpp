#include "sim/sync_server/sync_service.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <zlib.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

using kivo::sim::SoapCall;
using kivo::sim::SyncService;

const std::string kOpen = "<?xml version=\"1.0\" encoding=\"utf-8\"?><soapenv:Envelope "
                          "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
                          "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
                          "xmlns:soapenv=\"http://schemas.xmlsoap.org/soap/envelope/\" "
                          "xmlns:en=\"urn:KivoShareSyncService\"><soapenv:Header/><soapenv:Body>";
const std::string kStyle = " soapenv:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\"";
const std::string kClose = "</soapenv:Body></soapenv:Envelope>";

std::string p(const std::string& name, const std::string& value)
{
    return "<" + name + " xsi:type=\"xsd:string\">" + value + "</" + name + ">";
}

std::string action(const std::string& params)
{
    return kOpen + "<en:getUploadAction" + kStyle + ">" + params + "</en:getUploadAction>" + kClose;
}

TEST(SyncServiceEnvelope, ReadsWellFormedCallsAndRefusesEverythingElse)
{
    SoapCall call;
    std::string reason;
    ASSERT_TRUE(SyncService::parseEnvelope(action(p("sessionID", "s&amp;1") + p("uuid", "u")), &call, &reason))
        << reason;
    EXPECT_EQ(call.operation, "getUploadAction");
    EXPECT_EQ(call.param("sessionID"), "s&1");
    ASSERT_TRUE(SyncService::parseEnvelope(kOpen + "<getSessionID" + kStyle + ">" + p("uuid", "u") + p("skuid", "k")
            + p("modelName", "") + p("firmwareVersion", "f") + "</getSessionID>" + kClose,
        &call, &reason))
        << reason;

    const std::string refused[] = {
        "",
        "not xml",
        action(p("sessionID", "s") + p("uuid", "u")).substr(0, 300), // cut off
        action(p("sessionID", "s")), // a parameter missing
        action(p("uuid", "u") + p("sessionID", "s")), // out of order
        action(p("sessionID", "s") + p("uuid", "u") + p("extra", "x")),
        action(p("sessionID", "s") + "<uuid>u</uuid>"), // untyped
        action(p("sessionID", "a<b") + p("uuid", "u")), // unescaped markup
        action(p("sessionID", "a & b") + p("uuid", "u")),
        kOpen + "<getUploadAction" + kStyle + ">" + p("sessionID", "s") + p("uuid", "u") + "</getUploadAction>"
            + kClose, // outside the service's namespace
        kOpen + "<en:getUploadAction>" + p("sessionID", "s") + p("uuid", "u") + "</en:getUploadAction>"
            + kClose, // no encoding style
        kOpen + "<en:deleteEverything" + kStyle + "/>" + kClose,
        action(p("sessionID", "s") + p("uuid", "u")) + "<more/>",
    };
    for (const std::string& body : refused) {
        SCOPED_TRACE(body);
        EXPECT_FALSE(SyncService::parseEnvelope(body, &call, &reason));
        EXPECT_FALSE(reason.empty());
    }
}

std::string gzip(const std::string& data)
{
    z_stream zs {};
    deflateInit2(&zs, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&zs, uLong(data.size())) + 32, '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    zs.avail_in = uInt(data.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = uInt(out.size());
    deflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
}

// Over HTTP: a refused envelope is a 500 and a recorded fault; a good one
// gets its answer; sessions belong to their device.
TEST(SyncServiceHttp, AnswersAndFaults)
{
    static int argc = 1;
    static char name[] = "t";
    static char* argv[] = { name, nullptr };
    QCoreApplication app(argc, argv);
    const std::string store = std::filesystem::temp_directory_path() / ("sync-service-" + std::to_string(::getpid()));
    kivo::sim::SyncServer server;
    SyncService service(server, store);
    ASSERT_TRUE(server.start());
    QNetworkAccessManager manager;
    auto post = [&](const std::string& body, bool zip, std::string* answer) {
        QNetworkRequest request(QUrl(QString::fromStdString(server.baseUrl() + SyncService::kSandboxPath)));
        request.setHeader(QNetworkRequest::ContentTypeHeader, "text/xml; charset=utf-8");
        if (zip)
            request.setRawHeader("Content-Encoding", "gzip");
        QNetworkReply* reply = manager.post(request, QByteArray::fromStdString(zip ? gzip(body) : body));
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
        *answer = reply->readAll().toStdString();
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        reply->deleteLater();
        return status;
    };
    std::string answer;
    const std::string session = kOpen + "<getSessionID" + kStyle + ">" + p("uuid", "dev-1") + p("skuid", "k")
        + p("modelName", "m") + p("firmwareVersion", "f") + "</getSessionID>" + kClose;
    EXPECT_EQ(post(session, false, &answer), 500); // not gzip-encoded
    EXPECT_EQ(post(action(p("sessionID", "s")), true, &answer), 500);
    ASSERT_EQ(service.faults().size(), 2u);
    EXPECT_EQ(service.faults()[0], "body not gzip-encoded");

    EXPECT_EQ(post(session, true, &answer), 200);
    const std::string id = service.sessionOf("dev-1");
    ASSERT_FALSE(id.empty());
    EXPECT_EQ(answer, SyncService::answerEnvelope("getSessionID", id));
    EXPECT_NE(answer.find("<ns1:getSessionIDResponse><return xsi:type=\"xsd:string\">" + id + "</return>"),
        std::string::npos);

    service.setUploadSetting("delete_after_upload");
    EXPECT_EQ(post(action(p("sessionID", id) + p("uuid", "dev-1")), true, &answer), 200);
    EXPECT_NE(answer.find(">delete_after_upload</return>"), std::string::npos);
    EXPECT_EQ(post(action(p("sessionID", id) + p("uuid", "dev-2")), true, &answer), 200);
    EXPECT_NE(answer.find(">Error: invalid session</return>"), std::string::npos);
    server.stop();
    std::filesystem::remove_all(store);
}

} // namespace
