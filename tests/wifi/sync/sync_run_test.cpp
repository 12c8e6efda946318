// Whole sync runs against the local sync service.
#include "wifi/sync/testfaults.h"

#include "tests/platform/wm_test_util.h"
#include "tests/wifi/sync/sync_service_fixture.h"

#include <QCryptographicHash>
#include <QDate>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <cerrno>
#include <optional>

namespace {

using kivo::sim::HttpRequest;
using kivo::sim::HttpResponse;
using kivo::sim::SyncAction;
using kivo::test::kSyncLogDir;
using kivo::test::kUuid;

const std::string kTracks = "/DataDrive/Falmo/Tracks";
const std::string kCatalogs = std::string(kSyncLogDir) + "/RCF_TCF";

std::string recordingGpx(const std::string& name)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gpx version=\"1.1\"><trk><type>Cycling</type><extensions>"
           "<profile>Profile1</profile><time>2013-05-04T17:03:21Z</time><length>12.5</length>"
           "<minlat>47.1</minlat><minlon>8.2</minlon><avgspeed>20.1</avgspeed></extensions>\n<trkseg>\n"
           "<trkpt lat=\"47.1\" lon=\"8.2\"><name>"
        + name + " &amp; co</name></trkpt>\n</trkseg></trk></gpx>\n";
}

std::string trackGpx(const std::string& name)
{
    return "<?xml version=\"1.0\"?><gpx><trk><name>" + name + "</name><trkseg/></trk></gpx>";
}

std::string hashOf(const std::string& content)
{
    return QCryptographicHash::hash(QByteArray::fromStdString(content.substr(0, 1499)), QCryptographicHash::Sha512)
        .toHex()
        .toStdString();
}

class SyncRunTest : public kivo::test::SyncServiceFixture {
protected:
    void TearDown() override
    {
        ce::setFreeSpaceOverride("DataDrive", std::nullopt);
        kivo::sync::setCopyFaultsForTesting({});
        SyncServiceFixture::TearDown();
    }

    // A file at a device path; returns its content.
    std::string put(const std::string& devicePath, const std::string& content)
    {
        m_root.writeFile(devicePath, content);
        return content;
    }
    std::string recording(const std::string& name, bool sideFiles = true)
    {
        const std::string base = kTracks + "/Profile1/" + name;
        if (sideFiles) {
            put(base + ".bin", "bin");
            put(base + ".fit", "fit");
        }
        return put(base + ".gpx", recordingGpx(name));
    }
    std::string track(const std::string& name, bool sideFiles = false)
    {
        if (sideFiles)
            put(kTracks + "/" + name + ".bin", "bin");
        return put(kTracks + "/" + name + ".gpx", trackGpx(name));
    }
    bool has(const std::string& devicePath) const { return exists(devicePath); }
    // The hidden entries of the Tracks folder.
    std::vector<std::string> hiddenInTracks() const
    {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(ce::resolvePath(kTracks)))
            if (e.path().filename().string()[0] == '.')
                names.push_back(e.path().filename().string());
        return names;
    }

    // Runs one sync and returns its signals, one line each.
    std::vector<std::string> run(const QString& sessionID = QString())
    {
        auto sync = engine();
        std::vector<std::string> seen;
        QObject::connect(sync.get(), &WiFiSync::wifiSyncStatusSignal, [&](int n, QString detail, QString error) {
            seen.push_back("status " + std::to_string(n) + " [" + detail.toStdString() + "] [" + error.toStdString()
                + "]");
        });
        QObject::connect(sync.get(), &WiFiSync::wifiSyncFinishSignal, [&](int up, int down, int cur, int total, QString e) {
            if (seen.empty() && m_onActionList)
                m_onActionList();
            seen.push_back("progress " + std::to_string(up) + " " + std::to_string(down) + " " + std::to_string(cur)
                + " " + std::to_string(total) + e.toStdString());
        });
        QObject::connect(sync.get(), &WiFiSync::wifiSyncErrorSignal,
            [&](QString error) { seen.push_back("error [" + error.toStdString() + "]"); });
        QObject::connect(
            sync.get(), &WiFiSync::wifiSyncAllGpxSyncFinishedSignal, [&](int up, int down, QString date) {
                m_syncDate = date;
                seen.push_back("finished " + std::to_string(up) + " " + std::to_string(down));
            });
        sync->WiFiSyncInit(sessionID);
        return seen;
    }

    // Logging off: the run cleans up after itself.
    void loggingOff() { writeDebugSetting(""); }

    QString m_syncDate;
    // Runs when the run has read its action list.
    std::function<void()> m_onActionList;
};

using Signals = std::vector<std::string>;

TEST_F(SyncRunTest, HappyPathDownloadsUploadsAndDeletes)
{
    kivo::test::Child listener("wmsg", { "listen", "--class", "SyncListener", "--count", "1" });
    ASSERT_EQ(listener.readLine().rfind("listening", 0), 0u);

    const std::string ride = recording("Ride");
    const std::string old = recording("Old");
    recording("Keep", false);
    const std::string gone = track("Gone", true);
    const std::string alps = track("Alps");
    const std::string first = "<gpx>first download</gpx>";
    const std::string second = "<gpx>second</gpx>";
    m_service->setUploadSetting("delete_after_upload");
    m_service->setActions(kUuid,
        {
            { "Download", "Tom & Jerry, live", m_service->addDownload(first), "" },
            { "download", "Alps", m_service->addDownload(second), "" },
            { "UPLOAD", "", "", hashOf(ride) },
            { "upload", "", "", hashOf(alps) },
            { "delete", "", "", hashOf(gone) },
            { "Delete", "", "", hashOf(old) },
            { "rename", "", "", hashOf(ride) }, // not an action
        });

    EXPECT_EQ(run(), (Signals { "progress 2 2 0 4", "progress 2 2 1 4", "progress 2 2 2 4", "progress 2 2 3 4",
                         "progress 2 2 4 4", "status 0 [2,2] []", "finished 2 2" }));
    const QStringList date = m_syncDate.split(' ');
    ASSERT_EQ(date.size(), 2);
    EXPECT_TRUE(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d$").match(date[0]).hasMatch()) << m_syncDate.toStdString();
    EXPECT_EQ(date[1], QDate::currentDate().toString("yyyy-MM-dd"));

    // The broadcast reached the other process.
    EXPECT_NE(listener.readLineStartingWith("posted").find("msg=0x046F wparam=0 lparam=0"), std::string::npos);

    // The device: downloads under safe, unique names (the title's comma is
    // part of the name); deletions and uploads with their side files.
    EXPECT_EQ(read(kTracks + "/Tom & Jerry, live.gpx"), first);
    EXPECT_EQ(read(kTracks + "/Alps(1).gpx"), second);
    for (const char* goneFile : { "/Profile1/Ride.gpx", "/Profile1/Ride.bin", "/Profile1/Ride.fit", "/Profile1/Old.gpx",
             "/Profile1/Old.bin", "/Profile1/Old.fit", "/Gone.gpx", "/Gone.bin", "/Alps.gpx" })
        EXPECT_FALSE(has(kTracks + goneFile)) << goneFile;
    EXPECT_TRUE(has(kTracks + "/Profile1/Keep.gpx"));

    // The service: what it stored, with the metadata of each upload.
    const auto uploads = m_service->uploads();
    ASSERT_EQ(uploads.size(), 2u);
    EXPECT_EQ(uploads[0].sha512, hashOf(ride));
    EXPECT_EQ(uploads[0].metaType, "RCF");
    EXPECT_EQ(uploads[0].content, ride);
    EXPECT_NE(uploads[0].metaData.find("\"o_hash\":\"" + hashOf(ride) + "\""), std::string::npos);
    EXPECT_EQ(uploads[1].metaType, "TCF");
    EXPECT_EQ(uploads[1].content, alps);
    EXPECT_TRUE(m_service->faults().empty());
    EXPECT_EQ(m_service->events(),
        (std::vector<std::string> { std::string("session ") + kUuid, std::string("setting ") + kUuid,
            std::string("tracklist ") + kUuid, "download track1.gpx", "download track2.gpx", "upload " + hashOf(ride),
            "upload " + hashOf(alps) }));
    // The catalogs it was sent name every track found.
    const auto catalogs = m_service->catalogsOf(kUuid);
    for (const std::string& content : { ride, old })
        EXPECT_NE(catalogs.first.find(hashOf(content)), std::string::npos);
    for (const std::string& content : { gone, alps })
        EXPECT_NE(catalogs.second.find(hashOf(content)), std::string::npos);

    // Logging is on: the run's files stay for inspection.
    EXPECT_TRUE(has(kCatalogs + "/RCF.txt"));
    EXPECT_TRUE(has(std::string(kSyncLogDir) + "/temp.json"));
    EXPECT_TRUE(has(std::string(kSyncLogDir) + "/response.xml"));
}

TEST_F(SyncRunTest, SessionFailuresEndWithTheirStatus)
{
    struct Case {
        const char* name;
        std::function<void()> arrange;
        Signals expected;
    } cases[] = {
        { "empty answer", [&] { m_service->scriptReturn("getSessionID", " "); }, { "status 1 [] [E123002]" } },
        { "error answer", [&] { m_service->scriptReturn("getSessionID", "ERROR 4"); }, { "status 1 [] [E123002]" } },
        { "server error", [&] { m_service->scriptHttp("getSessionID", HttpResponse::text(500, "")); },
            { "status 4 [] [E123001]" } },
        { "session step throws", [&] { kivo::sync::armTestFault("getSessionID"); }, { "status 4 [] [E123001]" } },
        { "no identity", [&] { m_root.writeFile(kivo::test::kDeviceXml, "<device/>"); }, { "status 4 [] [E123005]" } },
    };
    loggingOff();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_server.clearRequests();
        recording("Ride");
        c.arrange();
        EXPECT_EQ(run(), c.expected);
        EXPECT_FALSE(has(kSyncLogDir)); // cleaned up
        EXPECT_TRUE(has(kTracks + "/Profile1/Ride.gpx"));
    }
    // Without identity nothing was sent at all.
    EXPECT_EQ(m_server.requestCount(), 0u);
}

TEST_F(SyncRunTest, GivenSessionIsUsedAndTrackListFailureEndsTheRun)
{
    track("Alps");
    // The session the caller obtained: no session request.
    QString session;
    QString code;
    ASSERT_TRUE(engine()->getSessionID(session, code));
    m_server.clearRequests();
    m_service->scriptReturn("getTrackList", "Error: catalog refused");
    EXPECT_EQ(run(session), Signals { "status 4 [] [E123001:Unable to connect to server.Please check your network.]" });
    ASSERT_EQ(m_server.requestCount(), 2u); // upload setting, track list
    EXPECT_TRUE(logged("getTrackList return false, exit."));
}

TEST_F(SyncRunTest, ActionListsThatGiveNothingToTransfer)
{
    const std::string gone = track("Gone", true);
    // Only deletions: they happen, then nothing is left to sync.
    m_service->setActions(kUuid, { { "delete", "", "", hashOf(gone) }, { "delete", "", "", std::string(128, 'f') } });
    EXPECT_EQ(run(), (Signals { "progress 0 0 0 0", "status 2 [] [E123003]" }));
    EXPECT_FALSE(has(kTracks + "/Gone.gpx"));
    EXPECT_FALSE(has(kTracks + "/Gone.bin"));
    EXPECT_TRUE(logged("Can't find this Hash code in RCF&TCF."));

    for (const char* text : { "[{\"o_action\":\"download\",", "{\"o_action\":\"upload\"}", "not json" }) {
        SCOPED_TRACE(text);
        m_service->setActionListText(kUuid, text);
        EXPECT_EQ(run(), (Signals { "progress 0 0 0 0", "status 2 [] [E123003]" }));
        EXPECT_TRUE(logged("getActionList -> reader.parse failed"));
    }
}

TEST_F(SyncRunTest, FreeSpaceIsTestedBeforeTheTransfers)
{
    const std::string ride = recording("Ride");
    m_service->setActions(kUuid, { { "upload", "", "", hashOf(ride) } });
    ce::setFreeSpaceOverride("DataDrive", 3071 * 1024 + 1023);
    EXPECT_EQ(run(), (Signals { "progress 1 0 0 1", "status 3 [] [E123004]" }));
    EXPECT_TRUE(m_service->uploads().empty());

    ce::setFreeSpaceOverride("DataDrive", 3072 * 1024);
    EXPECT_EQ(run(), (Signals { "progress 1 0 0 1", "progress 1 0 1 1", "status 0 [1,0] []", "finished 1 0" }));
    EXPECT_EQ(m_service->uploads().size(), 1u);
    // The setting said nothing about deleting: the recording stays.
    EXPECT_TRUE(has(kTracks + "/Profile1/Ride.gpx"));
}

TEST_F(SyncRunTest, UploadSettingDecidesWhetherUploadedFilesStay)
{
    struct Case {
        const char* name;
        std::function<void()> script;
        bool deleted;
    } cases[] = {
        { "delete", [&] { m_service->setUploadSetting("delete_after_upload"); }, true },
        { "keep", [&] { m_service->setUploadSetting("dont_delete_after_upload"); }, false },
        { "anomalous", [&] { m_service->setUploadSetting("delete"); }, false },
        { "unreadable",
            [&] {
                m_service->setUploadSetting("delete_after_upload");
                m_service->scriptHttp("getUploadAction", HttpResponse::text(500, ""));
            },
            false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string ride = recording("Ride");
        c.script();
        m_service->setActions(kUuid, { { "upload", "", "", hashOf(ride) } });
        EXPECT_EQ(run(), (Signals { "progress 1 0 0 1", "progress 1 0 1 1", "status 0 [1,0] []", "finished 1 0" }));
        for (const char* ext : { ".gpx", ".bin", ".fit" })
            EXPECT_EQ(has(kTracks + "/Profile1/Ride" + ext), !c.deleted) << ext;
    }
    EXPECT_TRUE(logged("checkServerUploadSetting return false,set m_bUploadSetting_DeleteFile = false"));
    EXPECT_EQ(m_service->uploads().size(), std::size(cases));
}

TEST_F(SyncRunTest, FailedDownloadsStopTheRunAndCopyNothing)
{
    const std::string content = "<gpx>served</gpx>";
    // A download that fails lowers the free space first, for the cases
    // that need the device short of space when the failure is judged.
    std::optional<uint64_t> spaceAfterFailure;
    auto failing = [&](HttpResponse response) {
        return [&, response](const HttpRequest&) {
            if (spaceAfterFailure)
                ce::setFreeSpaceOverride("DataDrive", *spaceAfterFailure);
            return response;
        };
    };
    HttpResponse stall;
    stall.stall = true;
    HttpResponse cut = HttpResponse::text(200, std::string(5000, 'x'));
    cut.closeAfterBodyBytes = 100;
    struct Case {
        const char* name;
        HttpResponse response;
        std::optional<uint64_t> space;
        std::string expectedError;
    } cases[] = {
        { "stall", stall, std::nullopt, "" },
        { "500", HttpResponse::text(500, "oops"), std::nullopt, "" },
        { "cut off", cut, std::nullopt, "" },
        { "500, short of space", HttpResponse::text(500, "oops"), 499 * 1024, "E123006" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ce::setFreeSpaceOverride("DataDrive", std::nullopt);
        spaceAfterFailure = c.space;
        m_server.addRoute("GET", "/broken/", failing(c.response));
        m_service->setActions(kUuid,
            { { "download", "Good", m_service->addDownload(content), "" },
                { "download", "Bad", m_server.baseUrl() + "/broken/bad.gpx?x=1", "" },
                { "download", "Never", m_service->addDownload(content), "" } });
        EXPECT_EQ(run(), (Signals { "progress 0 3 0 3", "progress 0 3 1 3", "error [" + c.expectedError + "]" }));
        EXPECT_EQ(read(kTracks + "/Good.gpx"), content);
        EXPECT_FALSE(has(kTracks + "/Bad.gpx"));
        EXPECT_FALSE(has(kTracks + "/Never.gpx"));
        std::filesystem::remove(ce::resolvePath(kTracks + "/Good.gpx"));
    }
    // Each failing download was tried twice.
    size_t brokenRequests = 0;
    for (const auto& r : m_server.requests())
        brokenRequests += r.path == "/broken/bad.gpx" && r.target == "/broken/bad.gpx?x=1";
    EXPECT_EQ(brokenRequests, 2 * std::size(cases));
}

TEST_F(SyncRunTest, EmptyDownloadIsCopiedUnlessShortOfSpace)
{
    m_service->setActions(kUuid, { { "download", "Empty", m_service->addDownload(""), "" } });
    EXPECT_EQ(run(), (Signals { "progress 0 1 0 1", "progress 0 1 1 1", "status 0 [0,1] []", "finished 0 1" }));
    EXPECT_TRUE(has(kTracks + "/Empty.gpx"));
    EXPECT_EQ(read(kTracks + "/Empty.gpx"), "");

    // Enough for the run's test, too little once the download is judged.
    m_server.addRoute("GET", "/empty/", [](const HttpRequest&) {
        ce::setFreeSpaceOverride("DataDrive", 100 * 1024);
        return HttpResponse::text(200, "");
    });
    m_service->setActions(kUuid, { { "download", "Empty2", m_server.baseUrl() + "/empty/e.gpx", "" } });
    EXPECT_EQ(run(), (Signals { "progress 0 1 0 1", "error [E123006]" }));
    EXPECT_FALSE(has(kTracks + "/Empty2.gpx"));
}

// Tracks lies where no file can be made, not even by root: the copy fails.
TEST_F(SyncRunTest, FailedCopyIsAFailedDownload)
{
    std::filesystem::create_directories(ce::resolvePath("/DataDrive/Falmo"));
    std::filesystem::create_directory_symlink("/proc/self/fdinfo", ce::resolvePath("/DataDrive/Falmo") + "/Tracks");
    m_service->setActions(kUuid, { { "download", "Ride", m_service->addDownload("<gpx/>"), "" } });
    EXPECT_EQ(run(), (Signals { "progress 0 1 0 1", "error []" }));
    EXPECT_NE(log().find(" - copy file failed: " + kTracks + "/Ride.gpx,Error info: "), std::string::npos) << log();
    EXPECT_FALSE(logged("Download one GPX file successfully."));
}

TEST_F(SyncRunTest, FailedUploadsStopTheRun)
{
    const std::string a = recording("A");
    const std::string b = recording("B");
    m_service->setUploadSetting("delete_after_upload");
    struct Case {
        const char* name;
        std::function<void()> script;
    } cases[] = {
        { "error answer", [&] { m_service->scriptReturn("uploadTrack", "error: disk full"); } },
        { "neither success nor error", [&] { m_service->scriptReturn("uploadTrack", "queued"); } },
        { "server error", [&] { m_service->scriptHttp("uploadTrack", HttpResponse::text(500, "")); } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.script();
        m_service->setActions(kUuid, { { "upload", "", "", hashOf(a) }, { "upload", "", "", hashOf(b) } });
        EXPECT_EQ(run(), (Signals { "progress 2 0 0 2", "error []" }));
        // The first failed: nothing was uploaded, nothing deleted.
        EXPECT_TRUE(has(kTracks + "/Profile1/A.gpx"));
        EXPECT_TRUE(has(kTracks + "/Profile1/B.gpx"));
    }
    EXPECT_TRUE(m_service->uploads().empty());

    // A hash neither catalog holds.
    m_service->setActions(kUuid, { { "upload", "", "", std::string(128, 'e') } });
    EXPECT_EQ(run(), (Signals { "progress 1 0 0 1", "error []" }));
    EXPECT_TRUE(logged("can't find this Hash code in RCF&TCF."));
}

// The recording loses its summary after the catalogs were written: its
// record cannot be built for the upload, and it is skipped as uploaded.
TEST_F(SyncRunTest, RecordingWhoseRecordCannotBeBuiltIsSkipped)
{
    const std::string ride = recording("Ride");
    const std::string other = recording("Other");
    m_service->setUploadSetting("delete_after_upload");
    m_service->setActions(kUuid, { { "upload", "", "", hashOf(ride) }, { "upload", "", "", hashOf(other) } });
    m_onActionList = [&] { put(kTracks + "/Profile1/Ride.gpx", "<gpx><trk><trkseg/></trk></gpx>"); };
    EXPECT_EQ(run(), (Signals { "progress 2 0 0 2", "progress 2 0 1 2", "progress 2 0 2 2", "status 0 [2,0] []",
                         "finished 2 0" }));
    EXPECT_TRUE(logged("ignore this file: " + kTracks + "/Profile1/Ride.gpx.")) << log();
    EXPECT_TRUE(has(kTracks + "/Profile1/Ride.gpx"));
    EXPECT_TRUE(has(kTracks + "/Profile1/Ride.bin"));
    EXPECT_FALSE(has(kTracks + "/Profile1/Other.gpx"));
    ASSERT_EQ(m_service->uploads().size(), 1u);
    EXPECT_EQ(m_service->uploads()[0].sha512, hashOf(other));
}

TEST_F(SyncRunTest, EveryRunEndsWithOneSignal)
{
    const std::string ride = recording("Ride");
    m_service->setActions(kUuid, { { "download", "T", m_service->addDownload("<gpx/>"), "" } });
    kivo::sync::armTestFault("startDownloadGpxFile");
    EXPECT_EQ(run(), (Signals { "progress 0 1 0 1", "error []" }));

    m_service->setActions(kUuid, { { "upload", "", "", hashOf(ride) } });
    kivo::sync::armTestFault("startUploadGpxFile");
    EXPECT_EQ(run(), (Signals { "progress 1 0 0 1", "error []" }));
    EXPECT_TRUE(logged("startUploadGpxFile failed: test fault in startUploadGpxFile"));
}

TEST_F(SyncRunTest, LoggingOffRemovesTheRunsFiles)
{
    loggingOff();
    const std::string ride = recording("Ride");
    put(std::string(kSyncLogDir) + "/leftover.txt", "x");
    std::filesystem::permissions(ce::resolvePath(std::string(kSyncLogDir) + "/leftover.txt"),
        std::filesystem::perms::owner_read);
    m_service->setActions(kUuid,
        { { "upload", "", "", hashOf(ride) }, { "download", "New", m_service->addDownload("<gpx>n</gpx>"), "" } });
    EXPECT_EQ(run(), (Signals { "progress 1 1 0 2", "progress 1 1 1 2", "progress 1 1 2 2", "status 0 [1,1] []",
                         "finished 1 1" }));
    EXPECT_FALSE(has(kSyncLogDir));
    EXPECT_EQ(read(kTracks + "/New.gpx"), "<gpx>n</gpx>");
    EXPECT_TRUE(has(kTracks + "/Profile1/Ride.gpx"));
}

// Copies into Tracks, on one file system (a second link) and across two
// (a hidden file named only when whole): a whole track or nothing new, and
// never a file that was there replaced.
TEST_F(SyncRunTest, CopiesIntoTracksLeaveWholeTracksOrNothing)
{
    std::string big;
    for (int i = 0; big.size() < 300 * 1024; ++i)
        big += "<trkpt lat=\"47." + std::to_string(i) + "\" lon=\"8.2\"/>\n";
    static std::function<void()> s_afterBlock;
    struct Case {
        const char* name;
        int linkErrno;
        int writeErrno;
        bool takenMeanwhile;
        bool shortOfSpace;
        Signals expected;
        int errorInfo;
    } cases[] = {
        { "one file system", 0, 0, false, false, { "progress 0 1 0 1", "progress 0 1 1 1", "status 0 [0,1] []", "finished 0 1" }, 0 },
        { "across", EXDEV, 0, false, false, { "progress 0 1 0 1", "progress 0 1 1 1", "status 0 [0,1] []", "finished 0 1" }, 0 },
        { "across, name taken meanwhile", EXDEV, 0, true, false, { "progress 0 1 0 1", "error []" }, 80 },
        { "across, DataDrive full", EXDEV, ENOSPC, false, true, { "progress 0 1 0 1", "error [E123006]" }, 112 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(ce::resolvePath(kTracks));
        clearLog();
        ce::setFreeSpaceOverride("DataDrive", std::nullopt);
        s_afterBlock = [&] {
            if (c.takenMeanwhile && !has(kTracks + "/Big.gpx"))
                put(kTracks + "/Big.gpx", "mine");
        };
        kivo::sync::setCopyFaultsForTesting({ c.linkErrno, c.writeErrno, [] { s_afterBlock(); } });
        // The download lowers the free space where the case wants the
        // device short of it once the copy failed.
        m_server.addRoute("GET", "/big/", [&](const HttpRequest&) {
            if (c.shortOfSpace)
                ce::setFreeSpaceOverride("DataDrive", 100 * 1024);
            return HttpResponse::text(200, big, "application/gpx+xml");
        });
        m_service->setActions(kUuid, { { "download", "Big", m_server.baseUrl() + "/big/b.gpx", "" } });
        EXPECT_EQ(run(), c.expected);
        EXPECT_EQ(read(kTracks + "/Big.gpx"), c.takenMeanwhile ? "mine" : c.errorInfo ? "" : big);
        EXPECT_EQ(has(kTracks + "/Big.gpx"), c.takenMeanwhile || !c.errorInfo);
        EXPECT_FALSE(has(kTracks + "/Big(1).gpx"));
        EXPECT_EQ(hiddenInTracks(), std::vector<std::string> {});
        if (c.errorInfo) {
            EXPECT_TRUE(logged("copy file failed: " + kTracks + "/Big.gpx,Error info: " + std::to_string(c.errorInfo)))
                << log();
        }
        if (c.writeErrno) {
            EXPECT_NE(log().find(": No space left on device, url: "), std::string::npos) << log();
        }
    }
}

// Every free name is taken up to the last one tried, which is taken too:
// the copy fails and leaves that file as it was, on one file system or two.
TEST_F(SyncRunTest, CopyNeverReplacesTheLastNameTried)
{
    put(kTracks + "/Name.gpx", "0");
    for (int n = 1; n <= 998; ++n)
        put(kTracks + "/Name(" + std::to_string(n) + ").gpx", std::to_string(n));
    for (int linkErrno : { 0, EXDEV }) {
        SCOPED_TRACE(linkErrno);
        kivo::sync::setCopyFaultsForTesting({ linkErrno, 0, nullptr });
        m_service->setActions(kUuid, { { "download", "Name", m_service->addDownload("<gpx>new</gpx>"), "" } });
        EXPECT_EQ(run(), (Signals { "progress 0 1 0 1", "error []" }));
        EXPECT_EQ(read(kTracks + "/Name(998).gpx"), "998");
        EXPECT_FALSE(has(kTracks + "/Name(999).gpx"));
        EXPECT_TRUE(logged("copy file failed: " + kTracks + "/Name(998).gpx,Error info: 80")) << log();
        EXPECT_EQ(hiddenInTracks(), std::vector<std::string> {});
    }
}

// What a killed copy left in Tracks goes with the next run; other hidden
// files there are the user's.
TEST_F(SyncRunTest, NextRunRemovesWhatAKilledCopyLeft)
{
    put(kTracks + "/.sync-copy-4242-0.part", "<gpx>cut o");
    put(kTracks + "/.mine", "keep");
    EXPECT_EQ(run(), (Signals { "progress 0 0 0 0", "status 2 [] [E123003]" }));
    EXPECT_EQ(hiddenInTracks(), std::vector<std::string> { ".mine" });
    EXPECT_TRUE(logged("Removed a copy left unfinished: " + kTracks + "/.sync-copy-4242-0.part")) << log();
}

// temp.json lies on a full drive: the run works from the list it received
// and never takes the failure for "nothing to sync".
TEST_F(SyncRunTest, ActionListThatCannotBeSavedIsStillDone)
{
    const std::string ride = recording("Ride");
    m_service->setActions(kUuid,
        { { "upload", "", "", hashOf(ride) }, { "download", "New", m_service->addDownload("<gpx>n</gpx>"), "" } });
    const std::string tempJson = std::string(kSyncLogDir) + "/temp.json";
    put(tempJson, "");
    std::filesystem::remove(ce::resolvePath(tempJson));
    std::filesystem::create_symlink("/dev/full", ce::resolvePath(tempJson));
    EXPECT_EQ(run(), (Signals { "progress 1 1 0 2", "progress 1 1 1 2", "progress 1 1 2 2", "status 0 [1,1] []",
                         "finished 1 1" }));
    EXPECT_TRUE(logged("saveToJsonTempFile: cannot write " + tempJson + ": No space left on device")) << log();
    EXPECT_FALSE(std::filesystem::is_symlink(ce::resolvePath(tempJson)));
    EXPECT_EQ(read(kTracks + "/New.gpx"), "<gpx>n</gpx>");
    EXPECT_EQ(m_service->uploads().size(), 1u);
}

// RCF.txt lies on a full drive: no cut-off catalog is left, and the
// service is sent none.
TEST_F(SyncRunTest, CatalogThatCannotBeWrittenIsNotSent)
{
    const std::string ride = recording("Ride");
    const std::string alps = track("Alps");
    auto sync = engine();
    sync->scanOwnRecordings(QString::fromStdString(kTracks));
    sync->scan3rdPartyTracks(QString::fromStdString(kTracks));
    std::filesystem::create_directories(ce::resolvePath(kCatalogs));
    std::filesystem::create_symlink("/dev/full", ce::resolvePath(kCatalogs + "/RCF.txt"));
    sync->generateRCFFile(QString::fromStdString(kCatalogs));
    sync->generateTCFFile(QString::fromStdString(kCatalogs));
    // Asserted: /dev/full would read as an endless catalog.
    ASSERT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(ce::resolvePath(kCatalogs + "/RCF.txt"))));
    EXPECT_NE(log().find("saveToRCFFile: cannot write " + kCatalogs + "/RCF.txt: No space left on device"),
        std::string::npos)
        << log();

    QString session;
    QString code;
    ASSERT_TRUE(sync->getSessionID(session, code));
    QString text;
    ASSERT_TRUE(sync->getTrackList(session, text));
    EXPECT_EQ(m_service->catalogsOf(kUuid).first, "");
    EXPECT_NE(m_service->catalogsOf(kUuid).second.find(hashOf(alps)), std::string::npos);
}

// /DataDrive is not there: no free space is reported for it.
TEST_F(SyncRunTest, MissingDataDriveHasNoFreeSpace)
{
    std::filesystem::remove(ce::resolvePath("/DataDrive"));
    auto sync = engine();
    EXPECT_FALSE(sync->getDataDriveFreeSize(0));
    EXPECT_TRUE(logged("Call to GetDiskFreeSpaceEx() failed."));
    std::filesystem::create_directories(ce::resolvePath("/DataDrive"));
    EXPECT_TRUE(sync->getDataDriveFreeSize(1));
}

// A track whose GPX file cannot be deleted keeps its side files.
TEST_F(SyncRunTest, SideFilesStayWhenTheTrackCannotBeDeleted)
{
    const std::string gone = track("Gone", true);
    m_service->setActions(kUuid, { { "delete", "", "", hashOf(gone) } });
    // A folder takes the file's place once the catalogs are made.
    m_onActionList = [&] {
        std::filesystem::remove(ce::resolvePath(kTracks + "/Gone.gpx"));
        put(kTracks + "/Gone.gpx/inside", "x");
    };
    EXPECT_EQ(run(), (Signals { "progress 0 0 0 0", "status 2 [] [E123003]" }));
    EXPECT_TRUE(logged("Delete track failed: " + kTracks + "/Gone.gpx")) << log();
    EXPECT_EQ(read(kTracks + "/Gone.bin"), "bin");
}

TEST_F(SyncRunTest, ActionListNamesAndSkippedEntries)
{
    const std::string text = kivo::sim::SyncService::actionListJson({
        { "download", "a/b:c", "http://h/1", "" },
        { "download", "x?y", "http://h/2", "" },
        { "download", "\\/:*?\"><|", "http://h/3", "" },
        { "download", "skipped", "?", "" },
        { "download", "skipped too", "", "" },
        { "download", "two marks", "??", "" },
        { "upload", "", "", "" },
        { "upload", "", "", "u1" },
        { "delete", "", "", "d1" },
    });
    QList<DownloadEntry> downloads;
    QStringList uploads;
    QStringList deletes;
    ASSERT_TRUE(engine()->getActionList(text, &downloads, &uploads, &deletes));
    std::vector<std::string> got;
    for (const auto& d : downloads)
        got.push_back(d.name.toStdString() + " " + d.url.toStdString());
    EXPECT_EQ(got,
        (std::vector<std::string> { "a_b_c http://h/1", "x_y http://h/2", "_________ http://h/3", "two marks ??" }));
    EXPECT_EQ(uploads, QStringList { "u1" });
    EXPECT_EQ(deletes, QStringList { "d1" });
}

} // namespace
