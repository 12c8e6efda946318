#include "wifi/sync/actionlist.h"
#include "wifi/sync/catalogreader.h"
#include "wifi/sync/gpxxmlhandler.h"

#include "tests/wifi/sync/wifisync_test_support.h"

#include <QCryptographicHash>

#include <json/json.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using kivo::test::kLogDir;
using kivo::test::kRcf;
using kivo::test::kTcf;
using kivo::test::kTracks;
using kivo::test::SyncFixture;
using kivo::test::TestSync;

const char* const kFieldNames[TrackSummaryRecord::kFieldCount] = { "type", "profile", "time", "length", "timelength",
    "minlat", "minlon", "maxlat", "maxlon", "avgspeed", "maxspeed", "minacceleration", "maxacceleration",
    "minaltitude", "maxaltitude", "totalascent", "totaldescent", "calories", "avggrade", "avgcadence", "maxcadence",
    "avgheartrate", "minheartrate", "maxheartrate" };

using Summary = std::vector<std::string>; // record order; empty: element left out

Summary fullSummary()
{
    return { "Cycling", "Profile1", "2013-05-04T17:03:21Z", "12.5", "3600", "47.1", "8.2", "47.3", "8.5", "12.5",
        "40.1", "-1.2", "2.3", "400", "900", "500", "480", "700", "1.5", "80", "110", "140", "90", "180" };
}

Summary withoutHeartRate()
{
    Summary s = fullSummary();
    s[21] = s[22] = s[23] = "";
    return s;
}

// A recording as the device writes it: the summary in trk/extensions before
// the track points.
std::string recording(const Summary& s)
{
    std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gpx version=\"1.1\"><trk>";
    if (!s[0].empty())
        x += "<type>" + s[0] + "</type>";
    x += "<extensions>";
    for (int i = 1; i < TrackSummaryRecord::kFieldCount; ++i)
        if (!s[i].empty())
            x += std::string("<") + kFieldNames[i] + ">" + s[i] + "</" + kFieldNames[i] + ">";
    x += "</extensions>\n<trkseg>\n<trkpt lat=\"47.1\" lon=\"8.2\"><ele>400</ele></trkpt>\n</trkseg></trk></gpx>\n";
    return x;
}

std::string hashOf(const std::string& content)
{
    return QCryptographicHash::hash(QByteArray::fromStdString(content.substr(0, 1499)), QCryptographicHash::Sha512)
        .toHex()
        .toStdString();
}

// The exact node the catalog must hold for a recording of these values.
std::string rcfNode(const std::string& name, const std::string& location, const std::string& size,
    const std::string& hash, const Summary& s)
{
    std::string node = "{\"o_file\":\"" + name + "\",\"o_file_location\":\"" + location + "\",\"o_filesize\":\""
        + size + "\",\"o_track_name\":\"" + name.substr(0, name.size() - 4) + "\"";
    const bool heartRate = !s[21].empty() || !s[22].empty() || !s[23].empty();
    for (int i = 0; i < (heartRate ? 24 : 21); ++i)
        node += std::string(",\"o_") + kFieldNames[i] + "\":\"" + s[i] + "\"";
    return node + ",\"o_hash\":\"" + hash + "\"}";
}

std::string rcfNode(const std::string& name, const std::string& location, const std::string& content, const Summary& s)
{
    return rcfNode(name, location, std::to_string(content.size()), hashOf(content), s);
}

std::string tcfNode(const std::string& name, const std::string& location, const std::string& content)
{
    return "{\"o_file\":\"" + name + "\",\"o_file_location\":\"" + location + "\",\"o_filesize\":\""
        + std::to_string(content.size()) + "\",\"o_track_name\":\"" + name.substr(0, name.size() - 4)
        + "\",\"o_hash\":\"" + hashOf(content) + "\"}";
}

class CatalogTest : public SyncFixture {
protected:
    // Writes a recording into Tracks/Profile1 and lists it.
    std::string addRecording(const std::string& name, const std::string& content)
    {
        const std::string location = std::string(kTracks) + "/Profile1/" + name;
        sync().m_listOwnGpx.append(put(location, content));
        return location;
    }
    std::string addTrack(const std::string& name, const std::string& content)
    {
        const std::string location = std::string(kTracks) + "/" + name;
        sync().m_list3rdGpx.append(put(location, content));
        return location;
    }
    void writeCatalogs()
    {
        sync().generateRCFFile(sync().catalogFolder());
        sync().generateTCFFile(sync().catalogFolder());
    }
};

TEST_F(CatalogTest, ExactBytesOfRecordingsAndTracks)
{
    const std::string a = recording(fullSummary());
    const std::string b = recording(withoutHeartRate());
    const std::string bad = "<gpx><trk><trkseg/></trk></gpx>"; // no summary
    const std::string la = addRecording("Ride.gpx", a);
    addRecording("Broken.gpx", bad);
    const std::string lb = addRecording("Evening.GPX", b);
    const std::string t1 = "<gpx>downloaded</gpx>";
    const std::string lt1 = addTrack("Alps.gpx", t1);
    const std::string lt2 = addTrack("RideGPX", t1);
    writeCatalogs();

    EXPECT_EQ(read(kRcf),
        "[" + rcfNode("Ride.gpx", la, a, fullSummary()) + "," + rcfNode("Evening.GPX", lb, b, withoutHeartRate())
            + "]");
    // The track name drops exactly four characters.
    EXPECT_EQ(read(kTcf), "[" + tcfNode("Alps.gpx", lt1, t1) + ",{\"o_file\":\"RideGPX\",\"o_file_location\":\"" + lt2
            + "\",\"o_filesize\":\"21\",\"o_track_name\":\"Rid\",\"o_hash\":\"" + hashOf(t1) + "\"}]");

    QString content;
    EXPECT_TRUE(sync().getRCFOrTCFContent(false, content));
    EXPECT_EQ(content.toStdString(), read(kTcf));
}

TEST_F(CatalogTest, FailedRecordingsDropOutWithTheirComma)
{
    const std::string good = recording(fullSummary());
    const std::string bad = recording(Summary(24)); // an empty summary
    const struct {
        const char* pattern; // g good, b bad
    } cases[] = { { "ggb" }, { "bgg" }, { "gbg" }, { "bbb" }, { "b" }, { "g" } };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pattern);
        m_sync.reset();
        std::string expected = "[";
        for (int i = 0; c.pattern[i]; ++i) {
            const std::string name = "R" + std::to_string(i) + ".gpx";
            const std::string location = addRecording(name, c.pattern[i] == 'g' ? good : bad);
            if (c.pattern[i] == 'g')
                expected += (expected.size() > 1 ? "," : "") + rcfNode(name, location, good, fullSummary());
        }
        EXPECT_TRUE(sync().generateRCFFile(sync().catalogFolder()));
        EXPECT_EQ(read(kRcf), expected + "]");
    }
}

TEST_F(CatalogTest, RecordingNodeRules)
{
    Summary onlyMaxHeartRate = withoutHeartRate();
    onlyMaxHeartRate[23] = "0";
    Summary blanks(24);
    blanks[2] = " \n ";
    blanks[5] = "  ";
    blanks[6] = "\t";
    blanks[9] = " ";
    blanks[0] = "Cycling";
    Summary speedOnly(24);
    speedOnly[9] = "3.5";
    const struct {
        const char* name;
        std::string content;
        bool ok;
    } cases[] = {
        { "heart rate", recording(fullSummary()), true },
        { "without heart rate", recording(withoutHeartRate()), true },
        // One heart-rate value brings all three keys.
        { "only a maximum of 0", recording(onlyMaxHeartRate), true },
        { "one of time, position and speed is enough", recording(speedOnly), true },
        { "blank time, position and speed", recording(blanks), false },
        { "not XML", "plain text", false },
        { "no trk", "<gpx/>", false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString location = put(std::string(kTracks) + "/Profile1/N.gpx", c.content);
        QString node = "<";
        QString error;
        const bool ok = sync().generateRcfNode(location, "N.gpx", "7", "N", "h", node, error);
        EXPECT_EQ(ok, c.ok);
        if (!c.ok) {
            EXPECT_EQ(node, "<");
            EXPECT_EQ(error, "E123007");
            continue;
        }
        EXPECT_TRUE(error.isEmpty());
        GpxXmlHandler reader;
        ASSERT_TRUE(reader.parseFile(location));
        Summary s(24);
        for (int i = 0; i < 24; ++i)
            s[i] = reader.records().value(0).field(i).toStdString();
        EXPECT_EQ(node.toStdString(), "<" + rcfNode("N.gpx", location.toStdString(), "7", "h", s));
    }

    // A missing file: false, the error code untouched.
    QString node, error = "kept";
    EXPECT_FALSE(sync().generateRcfNode("/DataDrive/Falmo/Tracks/none.gpx", "none.gpx", "0", "none", "h", node, error));
    EXPECT_EQ(error, "kept");
    EXPECT_TRUE(node.isEmpty());
}

TEST_F(CatalogTest, EmptyListsWriteNothing)
{
    enableLog();
    EXPECT_FALSE(sync().generateRCFFile(sync().catalogFolder()));
    EXPECT_FALSE(sync().generateTCFFile(sync().catalogFolder()));
    EXPECT_FALSE(exists(kRcf));
    EXPECT_FALSE(exists(kTcf));
    EXPECT_NE(log().find("The KIVO GPX file can't be found."), std::string::npos);
    EXPECT_NE(log().find("The 3rdParty GPX file can't be found."), std::string::npos);

    QString content = "old", node, location, error;
    EXPECT_FALSE(sync().getRCFOrTCFContent(true, content));
    EXPECT_TRUE(content.isEmpty());
    EXPECT_FALSE(sync().getRcfNodeViaHashCode(true, "", node, location, error));
    EXPECT_FALSE(sync().deleteTrackViaHashCode(false, "", location));
    EXPECT_TRUE(node.isEmpty() && location.isEmpty() && error.isEmpty());
}

// A catalog left from an earlier run is replaced, not continued.
TEST_F(CatalogTest, CatalogsAreWrittenAfresh)
{
    put(kRcf, "[{\"o_hash\":\"stale\"}]");
    put(kTcf, std::string(5000, ' ') + "[]");
    const std::string content = recording(fullSummary());
    const std::string location = addRecording("Ride.gpx", content);
    addTrack("T.gpx", "t");
    writeCatalogs();
    EXPECT_EQ(read(kRcf), "[" + rcfNode("Ride.gpx", location, content, fullSummary()) + "]");
    EXPECT_EQ(read(kTcf), "[" + tcfNode("T.gpx", std::string(kTracks) + "/T.gpx", "t") + "]");
    QString found;
    EXPECT_FALSE(sync().deleteTrackViaHashCode(true, "stale", found));
}

// Quotation marks, backslashes, ampersands, control characters and
// non-ASCII text in names and summaries: the catalog stays valid JSON and
// every value reads back as it was.
TEST_F(CatalogTest, AwkwardNamesAndValuesRoundTrip)
{
    Summary s = fullSummary();
    s[0] = "Road &amp; \"gravel\"";   // XML text: Road & "gravel"
    s[2] = "\n    2013-05-04T17:03:21Z\n  "; // pretty-printed
    s[1] = "Prof\\il \xc3\xa9\xe6\x97\xa5";
    const std::string names[] = { "Say \"hi\" & bye.gpx", "back\\slash.gpx", "Caf\xc3\xa9 \xe6\x97\xa5\xe6\x9c\xac.gpx",
        "tab\there.gpx", std::string("ctl\x01.gpx") };
    std::vector<std::string> locations;
    for (const std::string& name : names) {
        locations.push_back(addRecording(name, recording(s) + "<!--" + name + "-->"));
        addTrack(name, "track " + name);
    }
    writeCatalogs();

    for (const char* catalog : { kRcf, kTcf }) {
        SCOPED_TRACE(catalog);
        const std::string text = read(catalog);
        Json::CharReaderBuilder builder;
        const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
        Json::Value root;
        std::string errors;
        ASSERT_TRUE(reader->parse(text.data(), text.data() + text.size(), &root, &errors)) << errors;
        ASSERT_EQ(root.size(), 5u);
        for (Json::ArrayIndex i = 0; i < root.size(); ++i) {
            EXPECT_EQ(root[i]["o_file"].asString(), names[i]);
            if (catalog == kRcf) {
                EXPECT_EQ(root[i]["o_type"].asString(), "Road & \"gravel\"");
                EXPECT_EQ(root[i]["o_time"].asString(), s[2]);
                EXPECT_EQ(root[i]["o_profile"].asString(), s[1]);
            }
        }
    }
    EXPECT_NE(read(kRcf).find("\"o_file\":\"ctl\\u0001.gpx\""), std::string::npos);

    for (size_t i = 0; i < locations.size(); ++i) {
        SCOPED_TRACE(names[i]);
        const QString hash = QString::fromStdString(hashOf(recording(s) + "<!--" + names[i] + "-->"));
        QString node, location, error;
        ASSERT_TRUE(sync().getRcfNodeViaHashCode(true, hash, node, location, error));
        EXPECT_EQ(location.toStdString(), locations[i]);
        EXPECT_TRUE(error.isEmpty());
        EXPECT_NE(read(kRcf).find(node.toStdString()), std::string::npos);

        QString deleted;
        ASSERT_TRUE(sync().deleteTrackViaHashCode(false, QString::fromStdString(hashOf("track " + names[i])), deleted));
        EXPECT_EQ(deleted.toStdString(), std::string(kTracks) + "/" + names[i]);
    }
}

TEST_F(CatalogTest, LookupsByHash)
{
    const std::string content = recording(fullSummary());
    const std::string ride = addRecording("Ride.gpx", content);
    const std::string twin = addRecording("Twin.gpx", content); // same first 1499 characters
    const std::string track = addTrack("T.gpx", "abc");
    sync().m_list3rdGpx.append(QString(kTracks) + "/gone.gpx"); // unreadable: empty hash
    writeCatalogs();
    const QString rideHash = QString::fromStdString(hashOf(content));
    const QString abc = QString::fromStdString(hashOf("abc"));

    // Appended to what the caller holds; the first of two equal hashes.
    QString node = "n:", location = "l:", error;
    ASSERT_TRUE(sync().getRcfNodeViaHashCode(true, rideHash, node, location, error));
    EXPECT_EQ(node.toStdString(), "n:" + rcfNode("Ride.gpx", ride, content, fullSummary()));
    EXPECT_EQ(location.toStdString(), "l:" + ride);

    // TCF nodes come from the stored values; the hash must match whole and in case.
    node.clear();
    location.clear();
    ASSERT_TRUE(sync().getRcfNodeViaHashCode(false, abc, node, location, error));
    EXPECT_EQ(node.toStdString(), tcfNode("T.gpx", track, "abc"));
    EXPECT_FALSE(sync().getRcfNodeViaHashCode(false, abc.toUpper(), node, location, error));
    EXPECT_FALSE(sync().getRcfNodeViaHashCode(false, abc.left(127), node, location, error));
    EXPECT_FALSE(sync().getRcfNodeViaHashCode(true, abc, node, location, error));

    // The entry of an unreadable file matches only the empty hash.
    location.clear();
    ASSERT_TRUE(sync().deleteTrackViaHashCode(false, "", location));
    EXPECT_EQ(location, QString(kTracks) + "/gone.gpx");
    EXPECT_FALSE(sync().deleteTrackViaHashCode(true, "", location));

    // An RCF match is rebuilt from the file as it is now.
    Summary changed = fullSummary();
    changed[3] = "99.9";
    put(ride, recording(changed));
    node.clear();
    ASSERT_TRUE(sync().getRcfNodeViaHashCode(true, rideHash, node, location, error));
    EXPECT_NE(node.indexOf("\"o_length\":\"99.9\""), -1);
    EXPECT_NE(node.indexOf(rideHash), -1); // the stored hash, not the file's new one

    // A rebuild that fails still finds the entry: empty node, E123007.
    put(ride, recording(Summary(24)));
    node.clear();
    location.clear();
    EXPECT_TRUE(sync().getRcfNodeViaHashCode(true, rideHash, node, location, error));
    EXPECT_TRUE(node.isEmpty());
    EXPECT_EQ(location.toStdString(), ride);
    EXPECT_EQ(error, "E123007");
    (void)twin;
}

// A damaged catalog fails every look-up with a logged reason and leaves the
// caller's strings as they were.
TEST_F(CatalogTest, DamagedCatalogs)
{
    enableLog();
    const struct {
        const char* name;
        std::string text;
    } cases[] = {
        { "empty file", "" },
        { "not JSON", "[{\"o_hash\":\"h\"" },
        { "an object", "{\"o_hash\":\"h\"}" },
        { "an element that is no object", "[{\"o_hash\":\"x\"},1]" },
        { "a number for a string", "[{\"o_hash\":\"h\",\"o_file_location\":5}]" },
        { "an object for a string", "[{\"o_hash\":{\"h\":1}}]" },
        { "a second array behind", "[{\"o_hash\":\"h\"}][]" },
        { "unescaped quotation mark", "[{\"o_hash\":\"h\",\"o_file\":\"a\"b.gpx\"}]" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        put(kTcf, c.text);
        QString node = "n", location = "l", error = "e";
        EXPECT_FALSE(sync().getRcfNodeViaHashCode(false, "h", node, location, error));
        EXPECT_FALSE(sync().deleteTrackViaHashCode(false, "h", location));
        EXPECT_EQ(node, "n");
        EXPECT_EQ(location, "l");
        EXPECT_EQ(error, "e");
    }
    EXPECT_NE(log().find("getRcfNodeViaHashCode -> reader.parse failed"), std::string::npos);
    EXPECT_NE(log().find("deleteTrackViaHashCode -> reader.parse failed"), std::string::npos);

    // Missing and null keys read as empty strings.
    put(kTcf, "[{\"o_hash\":\"h\",\"o_file\":null}]");
    QString node, location, error;
    ASSERT_TRUE(sync().getRcfNodeViaHashCode(false, "h", node, location, error));
    EXPECT_EQ(node, "{\"o_file\":\"\",\"o_file_location\":\"\",\"o_filesize\":\"\",\"o_track_name\":\"\",\"o_hash\":\"h\"}");
    EXPECT_TRUE(location.isEmpty());
}

// Look-ups see every change of the catalog file, also one of the same size.
TEST_F(CatalogTest, LookupsFollowTheFile)
{
    QString location;
    put(kTcf, "[{\"o_hash\":\"aa\",\"o_file_location\":\"/one\"}]");
    ASSERT_TRUE(sync().deleteTrackViaHashCode(false, "aa", location));
    put(kTcf, "[{\"o_hash\":\"bb\",\"o_file_location\":\"/two\"}]");
    EXPECT_FALSE(sync().deleteTrackViaHashCode(false, "aa", location));
    location.clear();
    ASSERT_TRUE(sync().deleteTrackViaHashCode(false, "bb", location));
    EXPECT_EQ(location, "/two");

    sync().saveToTCFFile("[{\"o_hash\":\"cc\",\"o_file_location\":\"/three\"}]");
    location.clear();
    ASSERT_TRUE(sync().deleteTrackViaHashCode(false, "cc", location));
    EXPECT_EQ(location, "/three");

    std::filesystem::remove(ce::resolvePath(kTcf));
    EXPECT_FALSE(sync().deleteTrackViaHashCode(false, "cc", location));
}

// The JSON reader throws where values nest past its depth; the readers of
// catalogs and action lists report that as any damaged text.
TEST(JsonReaders, ValuesNestedPastTheReadersDepthAreRefused)
{
    const std::string deep = std::string(2000, '[') + std::string(2000, ']');
    QVector<kivo::sync::CatalogEntry> entries;
    QString catalogError;
    EXPECT_FALSE(kivo::sync::parseCatalog(deep.data(), deep.data() + deep.size(), entries, catalogError));
    EXPECT_FALSE(catalogError.isEmpty());
    std::vector<kivo::sync::ActionItem> items;
    std::string actionError;
    EXPECT_FALSE(kivo::sync::readActionList(deep, &items, &actionError));
    EXPECT_FALSE(actionError.empty());
}

} // namespace
