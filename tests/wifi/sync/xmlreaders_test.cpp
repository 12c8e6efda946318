#include "wifi/sync/devicexmlhandler.h"
#include "wifi/sync/gpxxmlhandler.h"
#include "wifi/sync/responsexmlhandler.h"

#include "tests/support/temp_root.h"
#include "tests/wifi/sync/qt_app.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr size_t kChunk = 51200;

// Pads `before` with a comment so that the text `marker` that follows starts
// `offsetInMarker` bytes before the first chunk boundary.
std::string straddle(const std::string& before, const std::string& marker, size_t offsetInMarker)
{
    const size_t target = kChunk - offsetInMarker;
    const std::string open = "<!--", close = "-->";
    const size_t fill = target - before.size() - open.size() - close.size();
    return before + open + std::string(fill, ' ') + close + marker;
}

class XmlReaderTest : public ::testing::Test {
protected:
    std::string put(const std::string& name, const std::string& content)
    {
        const std::string path = "/SystemDrive/xml/" + name;
        m_root.writeFile(path, content);
        return path;
    }
    kivo::test::TempDeviceRoot m_root;
};

// ---- device.xml

const char kDeviceHead[] = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<device>\n"
                           "  <kernel><version>K1.2</version></kernel>\n"
                           "  <bootloader><version>B3</version></bootloader>\n";

TEST_F(XmlReaderTest, DeviceTwoSkuBlocksShareTheVersions)
{
    const std::string xml = std::string(kDeviceHead)
        + "  <hardware><displayname>Pedara 1</displayname><id>HW-1</id></hardware>\n"
          "  <sku><skuid>SKU-A</skuid><mapregion>EU</mapregion></sku>\n"
          "  <hardware><displayname>Pedara 2</displayname><id>HW-2</id></hardware>\n"
          "  <sku><skuid>SKU-B</skuid></sku>\n"
          "</device>\n";
    DeviceXmlHandler handler;
    ASSERT_TRUE(handler.parseFile(QString::fromStdString(put("device.xml", xml))));
    EXPECT_FALSE(handler.hasError()) << handler.errorString().toStdString();
    const QList<DeviceInfoRecord> records = handler.records();
    ASSERT_EQ(records.size(), 2);
    EXPECT_EQ(records[0].kernelVersion, "K1.2");
    EXPECT_EQ(records[0].bootloaderVersion, "B3");
    EXPECT_EQ(records[0].displayName, "Pedara 1");
    EXPECT_EQ(records[0].hardwareId, "HW-1");
    EXPECT_EQ(records[0].skuId, "SKU-A");
    EXPECT_EQ(records[1].kernelVersion, "K1.2");
    EXPECT_EQ(records[1].bootloaderVersion, "B3");
    EXPECT_EQ(records[1].displayName, "Pedara 2");
    EXPECT_EQ(records[1].hardwareId, "HW-2");
    EXPECT_EQ(records[1].skuId, "SKU-B");

    // The same handler reading the file again starts from nothing.
    ASSERT_TRUE(handler.parseFile(QString::fromStdString(put("device.xml", xml))));
    ASSERT_EQ(handler.records().size(), 2);
    EXPECT_EQ(handler.records()[0].kernelVersion, "K1.2");
    EXPECT_EQ(handler.records()[1].bootloaderVersion, "B3");
}

// expat hands text over in pieces at entities, line ends and chunk ends; the
// record must carry the whole skuid, once.
TEST_F(XmlReaderTest, DeviceSkuidDeliveredInPiecesGivesOneWholeRecord)
{
    const std::string hardware = "<hardware><displayname>Pedara</displayname><id>HW-9</id></hardware>";
    struct Case {
        const char* name;
        std::string xml;
        QString skuId;
    } cases[] = {
        { "entity", std::string(kDeviceHead) + hardware + "<sku><skuid>006-&amp;B1</skuid></sku></device>", "006-&B1" },
        { "line break", std::string(kDeviceHead) + hardware + "<sku><skuid>006\n-B1</skuid></sku></device>",
            "006\n-B1" },
        { "chunk boundary",
            straddle(std::string(kDeviceHead) + hardware + "<sku>", "<skuid>0123456789</skuid></sku></device>", 12),
            "0123456789" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DeviceXmlHandler handler;
        ASSERT_TRUE(handler.parseFile(QString::fromStdString(put("device.xml", c.xml))));
        const QList<DeviceInfoRecord> records = handler.records();
        ASSERT_EQ(records.size(), 1);
        EXPECT_EQ(records[0].skuId, c.skuId);
        EXPECT_EQ(records[0].displayName, "Pedara");
        EXPECT_EQ(records[0].hardwareId, "HW-9");
    }
}

TEST_F(XmlReaderTest, DeviceWithoutUsableSkuidGivesNoRecord)
{
    const char* bodies[] = {
        "<sku><skuid></skuid></sku></device>",
        "<sku><skuid/></sku></device>",
        "<skuid>not under sku</skuid></device>",
        "<sku><SkuId>wrong case</SkuId></sku></device>",
        "</device>",
    };
    for (const char* body : bodies) {
        SCOPED_TRACE(body);
        DeviceXmlHandler handler;
        ASSERT_TRUE(handler.parseFile(QString::fromStdString(put("device.xml", std::string(kDeviceHead) + body))));
        EXPECT_TRUE(handler.records().isEmpty());
    }
}

TEST_F(XmlReaderTest, DeviceMalformedOrTruncatedKeepsWhatCameBefore)
{
    const std::string first = std::string(kDeviceHead) + "<sku><skuid>SKU-A</skuid></sku>";
    const std::string bad[] = {
        first + "<sku><skuid>SKU-B</sku></device>", // mismatched tag
        first + "<sku><skuid>SKU-B", // truncated
        first + "<sku><skuid>SKU-B</skuid></sku></device><device>", // junk after the root
        first + std::string("\xFF\xFE<<", 4), // not text
    };
    for (const std::string& xml : bad) {
        SCOPED_TRACE(xml);
        DeviceXmlHandler handler;
        ASSERT_TRUE(handler.parseFile(QString::fromStdString(put("device.xml", xml))));
        EXPECT_TRUE(handler.hasError());
        EXPECT_TRUE(handler.errorString().contains("line")) << handler.errorString().toStdString();
        const QList<DeviceInfoRecord> records = handler.records();
        ASSERT_GE(records.size(), 1);
        EXPECT_EQ(records[0].skuId, "SKU-A");
    }
}

TEST_F(XmlReaderTest, MissingFileIsReportedAndEmptyFileIsAnError)
{
    DeviceXmlHandler device;
    EXPECT_FALSE(device.parseFile("/SystemDrive/xml/none.xml"));
    EXPECT_FALSE(device.parseFile(""));
    ResponseXmlHandler response;
    ASSERT_TRUE(response.parseFile(QString::fromStdString(put("empty.xml", ""))));
    EXPECT_TRUE(response.hasError());
    EXPECT_TRUE(response.response().sessionIdText.isEmpty());
}

// ---- GPX summaries

const char* const kFieldNames[]
    = { "type", "profile", "time", "length", "timelength", "minlat", "minlon", "maxlat", "maxlon", "avgspeed",
          "maxspeed", "minacceleration", "maxacceleration", "minaltitude", "maxaltitude", "totalascent", "totaldescent",
          "calories", "avggrade", "avgcadence", "maxcadence", "avgheartrate", "minheartrate", "maxheartrate" };

std::string extensionsXml()
{
    std::string out = "<extensions>";
    for (int i = 1; i < TrackSummaryRecord::kFieldCount; ++i)
        out += std::string("<") + kFieldNames[i] + ">v" + std::to_string(i) + "</" + kFieldNames[i] + ">";
    return out + "</extensions>";
}

std::string trackPoints(size_t bytes, bool whitespace = true)
{
    std::string out;
    const std::string point = "<trkpt lat=\"47.1\" lon=\"8.5\"><ele>400</ele></trkpt>";
    while (out.size() < bytes)
        out += whitespace ? "\n      " + point : point;
    return out;
}

std::string gpx(const std::string& trkBody)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gpx version=\"1.1\">\n<trk>\n<name>Ride</name>\n" + trkBody
        + "\n</trk>\n</gpx>\n";
}

void expectAllFields(const TrackSummaryRecord& r)
{
    EXPECT_EQ(r.type, "Cycling");
    for (int i = 1; i < TrackSummaryRecord::kFieldCount; ++i)
        EXPECT_EQ(r.field(i), QString("v%1").arg(i)) << kFieldNames[i];
}

TEST_F(XmlReaderTest, GpxSummaryBeforeTheTrackPoints)
{
    // Longer than two chunks, with junk at the end: reading stops after the
    // chunk in which the segment begins, so the junk is never seen.
    const std::string xml
        = gpx("<type>Cycling</type>" + extensionsXml() + "<trkseg>" + trackPoints(3 * kChunk) + "</trkseg>")
        + "<<<not xml";
    GpxXmlHandler handler;
    ASSERT_TRUE(handler.parseFile(QString::fromStdString(put("a.gpx", xml))));
    EXPECT_FALSE(handler.hasError()) << handler.errorString().toStdString();
    const QList<TrackSummaryRecord> records = handler.records();
    ASSERT_EQ(records.size(), 1);
    expectAllFields(records[0]);
}

TEST_F(XmlReaderTest, GpxSummaryAfterTheTrackPoints)
{
    struct Case {
        const char* name;
        size_t pointBytes;
        bool whitespace;
        bool fieldsRead;
    } cases[] = {
        { "short file is read to the end", 2000, true, true },
        { "long file stops after the segment begins", 2 * kChunk, true, false },
        { "segment without whitespace is read to the end", 2 * kChunk, false, true },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string xml = gpx(
            "<type>Cycling</type><trkseg>" + trackPoints(c.pointBytes, c.whitespace) + "</trkseg>" + extensionsXml());
        GpxXmlHandler handler;
        ASSERT_TRUE(handler.parseFile(QString::fromStdString(put("b.gpx", xml))));
        const QList<TrackSummaryRecord> records = handler.records();
        ASSERT_EQ(records.size(), 1);
        if (c.fieldsRead) {
            expectAllFields(records[0]);
        } else {
            EXPECT_EQ(records[0].type, "Cycling");
            for (int i = 1; i < TrackSummaryRecord::kFieldCount; ++i)
                EXPECT_TRUE(records[0].field(i).isEmpty()) << kFieldNames[i];
        }
    }
}

TEST_F(XmlReaderTest, GpxValueAcrossTheChunkBoundaryIsWhole)
{
    const std::string before = "<?xml version=\"1.0\"?>\n<gpx><trk><type>Cycling</type><extensions>";
    const std::string xml
        = straddle(before, "<maxspeed> 12.75\n</maxspeed></extensions><trkseg>\n</trkseg></trk></gpx>", 14);
    GpxXmlHandler handler;
    ASSERT_TRUE(handler.parseFile(QString::fromStdString(put("c.gpx", xml))));
    EXPECT_FALSE(handler.hasError());
    ASSERT_EQ(handler.records().size(), 1);
    EXPECT_EQ(handler.records()[0].maxspeed, " 12.75\n"); // text kept as written
    EXPECT_EQ(handler.records()[0].type, "Cycling");
}

TEST_F(XmlReaderTest, GpxFileOfExactlyOneChunk)
{
    const std::string head = gpx("<type>Cycling</type>" + extensionsXml() + "<trkseg></trkseg>");
    const std::string xml = head + std::string(kChunk - head.size(), ' ');
    ASSERT_EQ(xml.size(), kChunk);
    GpxXmlHandler handler;
    ASSERT_TRUE(handler.parseFile(QString::fromStdString(put("d.gpx", xml))));
    EXPECT_FALSE(handler.hasError()) << handler.errorString().toStdString();
    ASSERT_EQ(handler.records().size(), 1);
    expectAllFields(handler.records()[0]);
}

TEST_F(XmlReaderTest, GpxMalformedWrongNamesAndReuse)
{
    GpxXmlHandler handler;
    // Truncated inside the extensions: what came before stays.
    ASSERT_TRUE(handler.parseFile(QString::fromStdString(put("e.gpx",
        "<?xml version=\"1.0\"?>\n<gpx><trk><type>Cycling</type><extensions><profile>Bike 1</profile><time>20"))));
    EXPECT_TRUE(handler.hasError());
    ASSERT_EQ(handler.records().size(), 1);
    EXPECT_EQ(handler.records()[0].type, "Cycling");
    EXPECT_EQ(handler.records()[0].profile, "Bike 1");

    // Prefixed or differently cased names are other elements; a second parse
    // does not keep the first file's values.
    ASSERT_TRUE(handler.parseFile(QString::fromStdString(
        put("f.gpx", "<gpx:gpx xmlns:gpx=\"http://x\"><gpx:trk><gpx:type>Run</gpx:type></gpx:trk></gpx:gpx>"))));
    EXPECT_FALSE(handler.hasError());
    ASSERT_EQ(handler.records().size(), 1);
    EXPECT_TRUE(handler.records()[0].type.isEmpty());
    EXPECT_TRUE(handler.records()[0].profile.isEmpty());

    ASSERT_TRUE(
        handler.parseFile(QString::fromStdString(put("g.gpx", gpx("<Type>Run</Type><trk><type>x</type></trk>")))));
    EXPECT_TRUE(handler.records()[0].type.isEmpty());
}

// ---- response.xml

std::string envelope(const std::string& body, const std::string& envPrefix = "SOAP-ENV")
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<" + envPrefix + ":Envelope xmlns:" + envPrefix
        + "=\"http://schemas.xmlsoap.org/soap/envelope/\" xmlns:ns1=\"urn:sync\"><" + envPrefix + ":Body>" + body + "</"
        + envPrefix + ":Body></" + envPrefix + ":Envelope>";
}

TEST_F(XmlReaderTest, ResponseTextsByOperation)
{
    const std::string body = "<ns1:getSessionIDResponse><return xsi:type=\"xsd:string\"> abc&amp;123 "
                             "</return></ns1:getSessionIDResponse>"
                             "<ns1:getTrackListResponse><return>[{\"a\":1},</return></ns1:getTrackListResponse>"
                             "<ns1:getTrackList2Response><return>{\"b\":2}]</return></ns1:getTrackList2Response>"
                             "<ns1:uploadTrackResponse><return>ok</return></ns1:uploadTrackResponse>"
                             "<ns1:getUploadActionResponse><return>delete_after_upload</return>"
                             "</ns1:getUploadActionResponse>";
    ResponseXmlHandler handler;
    ASSERT_TRUE(handler.parseFile(QString::fromStdString(put("response.xml", envelope(body)))));
    EXPECT_FALSE(handler.hasError());
    EXPECT_EQ(handler.response().sessionIdText, " abc&123 ");
    EXPECT_EQ(handler.response().trackListText, "[{\"a\":1},{\"b\":2}]");
    EXPECT_EQ(handler.response().uploadTrackText, "ok");
    EXPECT_EQ(handler.response().uploadActionText, "delete_after_upload");
    EXPECT_TRUE(handler.records().isEmpty());
}

TEST_F(XmlReaderTest, ResponseWithOtherNamesOrBrokenXmlGivesNoText)
{
    const std::string good = "<ns1:getSessionIDResponse><return>S1</return></ns1:getSessionIDResponse>";
    struct Case {
        const char* name;
        std::string xml;
        bool error;
    } cases[] = {
        { "envelope prefix", envelope(good, "soap"), false },
        { "operation prefix",
            envelope("<ns2:getSessionIDResponse xmlns:ns2=\"urn:x\"><return>S1</return></ns2:getSessionIDResponse>"),
            false },
        { "Return", envelope("<ns1:getSessionIDResponse><Return>S1</Return></ns1:getSessionIDResponse>"), false },
        { "return under Body", envelope("<return>S1</return>"), false },
        { "nested deeper", envelope("<ns1:getSessionIDResponse><x><return>S1</return></x></ns1:getSessionIDResponse>"),
            false },
        { "html error page", "<html><body><h1>502 Bad Gateway</h1></body></html>", false },
        { "not xml", "Service Unavailable", true },
        { "truncated before the text", envelope(good).substr(0, 150), true },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ResponseXmlHandler handler;
        ASSERT_TRUE(handler.parseFile(QString::fromStdString(put("response.xml", c.xml))));
        EXPECT_EQ(handler.hasError(), c.error) << handler.errorString().toStdString();
        EXPECT_TRUE(handler.response().sessionIdText.isEmpty());
    }
}

// Nested entities that would expand to gigabytes are refused, not expanded.
TEST_F(XmlReaderTest, ResponseEntityExpansionIsRefused)
{
    // Each level refers ten times to the one below it: 10^10 characters.
    std::string doctype = "<!DOCTYPE r [<!ENTITY e0 \"0123456789\">";
    for (int i = 1; i <= 9; ++i) {
        doctype += "<!ENTITY e" + std::to_string(i) + " \"";
        for (int k = 0; k < 10; ++k)
            doctype += "&e" + std::to_string(i - 1) + ";";
        doctype += "\">";
    }
    doctype += "]>";
    const std::string xml = doctype
        + "<SOAP-ENV:Envelope><SOAP-ENV:Body><ns1:getSessionIDResponse><return>&e9;</return>"
          "</ns1:getSessionIDResponse></SOAP-ENV:Body></SOAP-ENV:Envelope>";
    ResponseXmlHandler handler;
    ASSERT_TRUE(handler.parseFile(QString::fromStdString(put("response.xml", xml))));
    EXPECT_TRUE(handler.hasError());
    EXPECT_LT(handler.response().sessionIdText.size(), 100 * 1000 * 1000);
}

TEST_F(XmlReaderTest, HandlersOfOneClassCanCoexist)
{
    const std::string a
        = put("a.xml", envelope("<ns1:uploadTrackResponse><return>A</return></ns1:uploadTrackResponse>"));
    const std::string b
        = put("b.xml", envelope("<ns1:uploadTrackResponse><return>B</return></ns1:uploadTrackResponse>"));
    ResponseXmlHandler first;
    {
        ResponseXmlHandler second;
        ASSERT_TRUE(second.parseFile(QString::fromStdString(b)));
        EXPECT_EQ(second.response().uploadTrackText, "B");
    }
    ASSERT_TRUE(first.parseFile(QString::fromStdString(a)));
    EXPECT_EQ(first.response().uploadTrackText, "A");
}

} // namespace
