#include "wifi/sync/connecttoserver.h"
#include "wifi/sync/testfaults.h"

#include "tests/wifi/sync/sync_service_fixture.h"

#include <gtest/gtest.h>

namespace {

using kivo::sim::HttpResponse;
using kivo::test::kSyncLogDir;
using kivo::test::kUuid;

const std::string kHead = "<?xml version=\"1.0\" encoding=\"utf-8\"?><soapenv:Envelope "
                          "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
                          "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
                          "xmlns:soapenv=\"http://schemas.xmlsoap.org/soap/envelope/\"";
const std::string kEn = " xmlns:en=\"urn:KivoShareSyncService\"";
const std::string kBody = "><soapenv:Header/><soapenv:Body>";
const std::string kStyle = " soapenv:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\">";
const std::string kTail = "</soapenv:Body></soapenv:Envelope>";

std::string param(const std::string& name, const std::string& value)
{
    return "<" + name + " xsi:type=\"xsd:string\">" + value + "</" + name + ">";
}

class SyncProtocolTest : public kivo::test::SyncServiceFixture {
protected:
    std::string lastBody() const
    {
        const auto requests = m_server.requests();
        return requests.empty() ? std::string() : requests.back().body;
    }
};

TEST_F(SyncProtocolTest, ServiceUrlChoice)
{
    const QString production = ConnectToServer::productionUrl();
    const QString sandbox = ConnectToServer::sandboxUrl();
    EXPECT_EQ(production, "http://ws.kivoshare.com/v2/SyncService.php");
    EXPECT_EQ(sandbox, "http://sandbox.kivoshare.com/pedara/sandbox/wifisync/v1/SyncService.php");
    struct Case {
        bool beta;
        const char* setting; // nullptr: no DebugSetting.ini
        QString url;
    } cases[] = {
        { false, nullptr, production },
        { true, nullptr, sandbox },
        { false, "  ProductionURL =  http://10.0.0.1/p.php  \n", "http://10.0.0.1/p.php" },
        { true, "productionurl=http://10.0.0.1/p.php\n", sandbox },
        { true, "BetaUrl= http://10.0.0.2/b.php\n", "http://10.0.0.2/b.php" },
        { false, "betaurl=http://10.0.0.2/b.php\n", production },
        { false, "productionurl=http://10.0.0.1/p.php?a=b\n", production }, // three parts
        { false, "productionurl=\nproductionurl = http://10.0.0.3/\n", "http://10.0.0.3/" },
        { false, "productionurl=http://first/\nproductionurl=http://second/\n", "http://first/" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.setting ? c.setting : "(none)");
        std::filesystem::remove(ce::resolvePath(kivo::test::kDebugSettingFile));
        std::filesystem::remove(ce::resolvePath(std::string(kSyncLogDir) + "/betaserver.ini"));
        clearLog();
        if (c.setting)
            m_root.writeFile(kivo::test::kDebugSettingFile, std::string("enablelog=true\n") + c.setting);
        if (c.beta)
            m_root.writeFile(std::string(kSyncLogDir) + "/betaserver.ini", "");
        ConnectToServer client("/SystemDrive");
        EXPECT_EQ(client.url(), c.url);
        if (c.setting || c.beta) { // logging is on
            EXPECT_TRUE(logged("Server URL: " + c.url.toStdString())) << log();
        }
        EXPECT_EQ(logged("Find betaserver.ini file."), c.beta);
    }
}

TEST_F(SyncProtocolTest, EnvelopesByteForByte)
{
    ConnectToServer client("/SystemDrive");
    QString error;

    ASSERT_TRUE(client.getSessionID("U-1", "S&K", "Model <5>", "K1 B2", error));
    EXPECT_EQ(lastBody(),
        kHead + kBody + "<getSessionID" + kStyle + param("uuid", "U-1") + param("skuid", "S&amp;K")
            + param("modelName", "Model &lt;5&gt;") + param("firmwareVersion", "K1 B2") + "</getSessionID>" + kTail);

    const QString rcf = R"([{"o_file_name":"Tom & Jerry.gpx","o_name":"<b>"}])";
    ASSERT_TRUE(client.getTrackList("sess", "U-1", rcf, "[]", error));
    EXPECT_EQ(lastBody(),
        kHead + kEn + kBody + "<en:getTrackList" + kStyle + param("sessionID", "sess") + param("uuid", "U-1")
            + param("metaData_rcf", R"([{"o_file_name":"Tom &amp; Jerry.gpx","o_name":"&lt;b&gt;"}])")
            + param("metaData_tcf", "[]") + "</en:getTrackList>" + kTail);

    ASSERT_TRUE(client.checkServerUploadSetting("U-1", "sess", error));
    EXPECT_EQ(lastBody(),
        kHead + kEn + kBody + "<en:getUploadAction" + kStyle + param("sessionID", "sess") + param("uuid", "U-1")
            + "</en:getUploadAction>" + kTail);

    // The track's pieces come escaped already and go out as they are.
    const std::string hash(128, 'c');
    ASSERT_TRUE(client.uploadTrack("sess", "U-1", QString::fromStdString(hash), "TCF", R"({"o_title":"A&B"})",
        { "&lt;gpx&gt;&amp;", QString::fromUtf8("\xC3\xA9&lt;/gpx&gt;") }, error));
    EXPECT_EQ(lastBody(),
        kHead + kBody + "<uploadTrack" + kStyle + param("sessionID", "sess") + param("uuid", "U-1")
            + param("sha512", hash) + param("metaType", "TCF") + param("metaData", R"({"o_title":"A&amp;B"})")
            + "<trackContent xsi:type=\"xsd:string\">&lt;gpx&gt;&amp;\xC3\xA9&lt;/gpx&gt;</trackContent></uploadTrack>" + kTail);

    // The service reads every value back as it was meant.
    EXPECT_TRUE(m_service->faults().empty());
    const auto calls = m_service->calls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].param("skuid"), "S&K");
    EXPECT_EQ(calls[1].param("metaData_rcf"), rcf.toStdString());
    EXPECT_EQ(calls[3].param("trackContent"), "<gpx>&\xC3\xA9</gpx>");
}

// What each wrapper makes of each kind of answer.
TEST_F(SyncProtocolTest, OutcomeOfEachOperation)
{
    enum Kind { Stall, ServerError, Empty, ErrorText, Good };
    struct Case {
        Kind kind;
        const char* answer;
    } cases[] = { { Stall, "" }, { ServerError, "" }, { Empty, "  " }, { ErrorText, "Fatal ERROR 17" },
        { Good, " S-77 " } };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        auto script = [&](const std::string& op) {
            if (c.kind == Stall) {
                HttpResponse stall;
                stall.stall = true;
                m_service->scriptHttp(op, stall);
            } else if (c.kind == ServerError) {
                m_service->scriptHttp(op, HttpResponse::text(500, "oops"));
            } else {
                m_service->scriptReturn(op, c.answer);
            }
        };
        clearLog();
        auto sync = engine();

        script("getSessionID");
        QString session;
        QString code;
        const bool gotSession = sync->getSessionID(session, code);
        EXPECT_EQ(gotSession, c.kind == Good);
        const char* codes[] = { "E123001", "E123001", "E123002", "E123002", "" };
        EXPECT_EQ(code.toStdString(), codes[c.kind]);
        const char* sessionLines[] = { "m_connect2Server->getSessionID return false,Please check your network. E123001",
            "Unable to connect to server.Please check your network.return E123001",
            "Server return SessionID is NULL,return error code E123002.",
            "Server return Error code: Fatal ERROR 17,return to wifisetting E123002", "get sessionID success.  S-77 " };
        EXPECT_TRUE(logged(sessionLines[c.kind])) << log();
        if (c.kind == Good) {
            EXPECT_EQ(session, " S-77 "); // as read, blanks and all
        }

        script("getUploadAction");
        const bool setting = sync->checkServerUploadSetting("sess");
        EXPECT_EQ(setting, c.kind == Good);
        const char* settingLines[] = { "m_connect2Server->checkServerUploadSetting return false,Please check your network.",
            "Unable to connect to server.Please check your network.", "checkServerUploadSetting: Server return value is NULL.",
            "Server return Error code: Fatal ERROR 17", "The return value is anomalous." };
        EXPECT_TRUE(logged(settingLines[c.kind])) << log();

        script("getTrackList");
        std::filesystem::remove(ce::resolvePath(std::string(kSyncLogDir) + "/temp.json"));
        QString list = "kept:";
        const bool gotList = sync->getTrackList("sess", list);
        EXPECT_EQ(gotList, c.kind == Good);
        const char* listLines[] = { "start getTrackList", "Could not connect to the server. No response from server.",
            "server return TrackList is NULL.", "Server return Error code: Fatal ERROR 17", "start getTrackList" };
        EXPECT_TRUE(logged(listLines[c.kind])) << log();
        EXPECT_EQ(list, c.kind == Good ? QString("kept: S-77 ") : QString("kept:"));
        EXPECT_EQ(exists(std::string(kSyncLogDir) + "/temp.json"), c.kind == Good);
        if (c.kind == Good) {
            EXPECT_EQ(read(std::string(kSyncLogDir) + "/temp.json"), " S-77 ");
        }
    }
}

TEST_F(SyncProtocolTest, UploadSettingWords)
{
    struct Case {
        const char* answer;
        bool deleteFile;
        const char* line;
    } cases[] = {
        { "dont_delete_after_upload", false, "Check server upload setting success: dont_delete_after_upload" },
        { "DELETE_AFTER_UPLOAD", true, "Check server upload setting success: DELETE_AFTER_UPLOAD" },
        { " delete_after_upload", false, "The return value is anomalous." },
        { "keep", false, "The return value is anomalous." },
    };
    auto sync = engine();
    QString session;
    QString code;
    ASSERT_TRUE(sync->getSessionID(session, code));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        clearLog();
        m_service->setUploadSetting(c.answer);
        EXPECT_TRUE(sync->checkServerUploadSetting(session));
        EXPECT_EQ(sync->uploadSettingDeleteFile(), c.deleteFile);
        EXPECT_TRUE(logged(c.line)) << log();
    }
}

TEST_F(SyncProtocolTest, ServerStatus)
{
    auto sync = engine();
    QString session;
    EXPECT_EQ(sync->checkServerStatus(session), "S000000");
    EXPECT_EQ(session.toStdString(), m_service->sessionOf(kUuid));
    EXPECT_TRUE(logged("device can be connected with server."));

    m_service->scriptReturn("getSessionID", "error: unknown device");
    EXPECT_EQ(sync->checkServerStatus(session), "E123002");
    m_service->scriptHttp("getSessionID", HttpResponse::text(503, ""));
    EXPECT_EQ(sync->checkServerStatus(session), "E123001");

    // A session request that fails by exception is a failure, not "S000000".
    kivo::sync::armTestFault("getSessionID");
    EXPECT_EQ(sync->checkServerStatus(session), "E123001");
    EXPECT_TRUE(logged("getSessionID failed: test fault in getSessionID")) << log();
}

TEST_F(SyncProtocolTest, DeviceIdentity)
{
    struct Case {
        std::string xml; // empty: no device.xml
        QString firmware, model, uuid, sku;
    } cases[] = {
        { kivo::test::deviceXml("HW-1", "SKU-1"), "K2.1 B7", "Pedal 500", "HW-1", "SKU-1" },
        { kivo::test::deviceXml("HW-2", "SKU-2", "", ""), "R01.00.00 R01", "Pedal 500", "HW-2", "SKU-2" },
        { kivo::test::deviceXml("HW-3", "SKU-3", "K9", ""), "K9 ", "Pedal 500", "HW-3", "SKU-3" },
        { kivo::test::deviceXml("HW-4", ""), "", "", "", "" }, // no sku: no record
        { "", "", "", "", "" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.xml);
        clearLog();
        std::filesystem::remove(ce::resolvePath(kivo::test::kDeviceXml));
        if (!c.xml.empty())
            m_root.writeFile(kivo::test::kDeviceXml, c.xml);
        auto sync = engine();
        EXPECT_EQ(sync->firmwareVersion(), c.firmware);
        EXPECT_EQ(sync->modelName(), c.model);
        EXPECT_EQ(sync->uuid(), c.uuid);
        EXPECT_EQ(sync->skuid(), c.sku);
        if (c.xml.empty()) {
            EXPECT_TRUE(logged("The device.xml file can't be found."));
        } else if (!c.uuid.isEmpty()) {
            EXPECT_TRUE(logged(("Hardware ID is:" + c.uuid + ", Kernel version is:" + c.firmware).toStdString()));
        }
    }
}

TEST_F(SyncProtocolTest, NoRequestWithoutDeviceIdentity)
{
    m_root.writeFile(kivo::test::kDeviceXml, kivo::test::deviceXml("", "SKU-1"));
    auto sync = engine();
    QString session;
    QString code;
    EXPECT_FALSE(sync->getSessionID(session, code));
    EXPECT_EQ(code, "E123005");
    EXPECT_EQ(sync->checkServerStatus(session), "E123005");
    EXPECT_FALSE(sync->checkServerUploadSetting("sess"));
    QString list;
    EXPECT_FALSE(sync->getTrackList("sess", list));
    EXPECT_TRUE(logged("Some essential parameter missing, check device.xml existed or not."));
    EXPECT_TRUE(logged("Some essential parameter missing, check user.xml existed or not."));

    // With a uuid but no session, the track list is not asked for either.
    m_root.writeFile(kivo::test::kDeviceXml, kivo::test::deviceXml("HW-1", "SKU-1"));
    EXPECT_FALSE(engine()->getTrackList("", list));
    EXPECT_EQ(m_server.requestCount(), 0u);
}

TEST_F(SyncProtocolTest, ServerResponseKinds)
{
    const std::string file = std::string(kSyncLogDir) + "/answer.xml";
    m_root.writeFile(file,
        "<SOAP-ENV:Envelope><SOAP-ENV:Body><ns1:getSessionIDResponse><return>s</return></ns1:getSessionIDResponse>"
        "<ns1:getTrackListResponse><return>t</return></ns1:getTrackListResponse><ns1:uploadTrackResponse><return>u"
        "</return></ns1:uploadTrackResponse><ns1:getUploadActionResponse><return>a</return>"
        "</ns1:getUploadActionResponse></SOAP-ENV:Body></SOAP-ENV:Envelope>");
    auto sync = engine();
    const std::pair<int, QString> kinds[] = { { 1110, "s" }, { 1111, "t" }, { 1112, "u" }, { 1113, "a" }, { 42, "u" } };
    for (const auto& [kind, text] : kinds) {
        QString out = ">";
        sync->getServerResponse(QString::fromStdString(file), kind, out);
        EXPECT_EQ(out, ">" + text) << kind;
    }
    QString out;
    sync->getServerResponse("/SystemDrive/none.xml", 1110, out);
    EXPECT_TRUE(out.isEmpty());
    EXPECT_TRUE(logged("The response.xml file can't be found."));
}

} // namespace
