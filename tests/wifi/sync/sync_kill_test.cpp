// Whole runs of the sync_run program killed (SIGKILL) at each request they
// make and in the middle of copying a large download into Tracks, then run
// again: Tracks ends with every track once, byte for byte, and nothing cut
// off or left half made. Tracks lies on another file system than the
// downloads, as on the device: /dev/shm where that is one, else the copy's
// link step is made to fail as it does across file systems.
#include "tests/platform/wm_test_util.h"
#include "tests/wifi/sync/sync_service_fixture.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <sstream>

namespace {

using kivo::sim::HttpRequest;
using kivo::sim::HttpResponse;
using kivo::sim::SyncAction;
using kivo::sim::SyncService;
using kivo::test::kUuid;

const std::string kTracks = "/DataDrive/Falmo/Tracks";

std::string recordingGpx(const std::string& name)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gpx version=\"1.1\"><trk><type>Cycling</type><extensions>"
           "<profile>Profile1</profile><time>2013-05-04T17:03:21Z</time><length>12.5</length>"
           "<minlat>47.1</minlat><minlon>8.2</minlon><avgspeed>20.1</avgspeed></extensions>\n<trkseg>\n"
           "<trkpt lat=\"47.1\" lon=\"8.2\"><name>"
        + name + "</name></trkpt>\n</trkseg></trk></gpx>\n";
}

std::string bigTrack()
{
    std::string gpx = "<?xml version=\"1.0\"?><gpx><trk><name>Big</name><trkseg>\n";
    for (int i = 0; gpx.size() < 8 * 1024 * 1024; ++i)
        gpx += "<trkpt lat=\"47." + std::to_string(i) + "\" lon=\"8." + std::to_string(i % 977) + "\"/>\n";
    return gpx + "</trkseg></trk></gpx>\n";
}

std::string fileText(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class SyncKillTest : public kivo::test::SyncServiceFixture {
protected:
    void SetUp() override
    {
        SyncServiceFixture::SetUp();
        struct stat root {};
        struct stat shm {};
        if (::stat(m_root.path().c_str(), &root) == 0 && ::stat("/dev/shm", &shm) == 0 && root.st_dev != shm.st_dev) {
            char folder[] = "/dev/shm/kivo-datadrive-XXXXXX";
            if (::mkdtemp(folder)) {
                m_dataDrive = folder;
                std::filesystem::remove(m_root.path() + "/DataDrive");
                std::filesystem::create_directory_symlink(m_dataDrive, m_root.path() + "/DataDrive");
            }
        }
        if (m_dataDrive.empty())
            ::setenv("KIVO_SYNC_TEST_CROSS_DEVICE", "1", 1);
        m_server.addRoute("GET", "/files/", [this](const HttpRequest& r) { return serve(r); });
        m_downloads = { { "Big", bigTrack() }, { "Small", "<gpx><trk><name>Small</name></trk></gpx>" } };
        m_recordings = { { "Ride", recordingGpx("Ride") }, { "Hill", recordingGpx("Hill") } };
    }
    void TearDown() override
    {
        ::unsetenv("KIVO_SYNC_TEST_CROSS_DEVICE");
        ::unsetenv("KIVO_SYNC_TEST_STOP_IN_COPY");
        SyncServiceFixture::TearDown();
        if (!m_dataDrive.empty())
            std::filesystem::remove_all(m_dataDrive);
    }

    HttpResponse serve(const HttpRequest& request)
    {
        const std::string name = request.path.substr(std::string("/files/").size());
        std::lock_guard<std::mutex> lock(m_mutex);
        if (name == m_stallDownload) {
            m_stallDownload.clear();
            HttpResponse stall;
            stall.stall = true;
            return stall;
        }
        auto it = m_downloads.find(name);
        if (it == m_downloads.end())
            return HttpResponse::text(404, "");
        return HttpResponse::text(200, it->second, "application/gpx+xml");
    }

    // The device before a scenario: two recordings to upload, no downloads.
    void freshDevice()
    {
        std::filesystem::remove_all(ce::resolvePath(kTracks));
        std::filesystem::remove_all(ce::resolvePath(kivo::test::kSyncLogDir));
        writeDebugSetting("enablelog=true\n");
        for (const auto& [name, content] : m_recordings)
            m_root.writeFile(kTracks + "/Profile1/" + name + ".gpx", content);
    }

    // The actions a service asks for, given the tracks the device holds
    // (it learns them from the catalogs): the downloads not yet there
    // whole, an upload of each recording.
    void setActions()
    {
        std::set<std::string> held;
        for (const auto& e : std::filesystem::recursive_directory_iterator(ce::resolvePath(kTracks)))
            if (e.is_regular_file())
                held.insert(fileText(e.path()));
        std::vector<SyncAction> actions;
        for (const auto& [name, content] : m_downloads)
            if (!held.count(content))
                actions.push_back({ "download", name, m_server.baseUrl() + "/files/" + name, "" });
        for (const auto& [name, content] : m_recordings) {
            const std::string hash = QCryptographicHash::hash(QByteArray::fromStdString(content.substr(0, 1499)),
                QCryptographicHash::Sha512)
                                         .toHex()
                                         .toStdString();
            actions.push_back({ "upload", "", "", hash });
        }
        m_service->setActions(kUuid, actions);
    }

    // A whole run to its end.
    void runToTheEnd()
    {
        setActions();
        kivo::test::Child child("sync_run", {});
        std::string output;
        for (std::string line; !(line = child.readLine(120000)).empty();)
            output += line + "\n";
        EXPECT_EQ(child.wait(), 0) << output;
    }

    // Tracks holds the recordings and every download once, byte for byte,
    // and nothing else.
    void expectEveryTrackOnce()
    {
        std::map<std::string, std::string> expected;
        for (const auto& [name, content] : m_recordings)
            expected["Profile1/" + name + ".gpx"] = content;
        for (const auto& [name, content] : m_downloads)
            expected[name + ".gpx"] = content;
        const std::filesystem::path tracks = ce::resolvePath(kTracks);
        std::map<std::string, std::string> found;
        for (const auto& e : std::filesystem::recursive_directory_iterator(tracks))
            if (!e.is_directory())
                found[e.path().lexically_relative(tracks).string()] = fileText(e.path());
        EXPECT_EQ(found.size(), expected.size());
        for (const auto& [name, content] : found) {
            auto it = expected.find(name);
            EXPECT_TRUE(it != expected.end() && it->second == content)
                << name << " (" << content.size() << " bytes) is not a whole track of the device";
        }
    }

    std::string m_dataDrive;
    std::mutex m_mutex;
    std::string m_stallDownload;
    std::map<std::string, std::string> m_downloads;
    std::map<std::string, std::string> m_recordings;
};

TEST_F(SyncKillTest, KilledWhileCopyingALargeDownload)
{
    freshDevice();
    setActions();
    ::setenv("KIVO_SYNC_TEST_STOP_IN_COPY", "1", 1);
    kivo::test::Child child("sync_run", {});
    ::unsetenv("KIVO_SYNC_TEST_STOP_IN_COPY");
    // The run stops itself once the copy wrote its first block.
    int status = 0;
    ASSERT_TRUE(kivo::test::waitUntil(
        [&] { return ::waitpid(child.pid(), &status, WUNTRACED | WNOHANG) == child.pid(); }, 120000, 5));
    ASSERT_TRUE(WIFSTOPPED(status));
    std::vector<std::string> hidden;
    for (const auto& e : std::filesystem::directory_iterator(ce::resolvePath(kTracks)))
        if (e.path().filename().string()[0] == '.')
            hidden.push_back(e.path().filename().string());
    EXPECT_EQ(hidden.size(), 1u);
    for (const std::string& name : hidden)
        EXPECT_EQ(name.rfind(".sync-copy-", 0), 0u) << name;
    EXPECT_FALSE(std::filesystem::exists(ce::resolvePath(kTracks + "/Big.gpx")));
    child.kill();

    runToTheEnd();
    expectEveryTrackOnce();
}

TEST_F(SyncKillTest, KilledAtEachRequest)
{
    auto stallOperation = [&](const char* operation) {
        return [this, operation] {
            HttpResponse stall;
            stall.stall = true;
            m_service->scriptHttp(operation, stall);
        };
    };
    auto stallDownload = [&](const char* name) {
        return [this, name] {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stallDownload = name;
        };
    };
    struct Point {
        const char* name;
        std::function<void()> arrange;
        size_t requests; // the stalled one is the last of these
    } points[] = {
        { "session", stallOperation("getSessionID"), 1 },
        { "setting", stallOperation("getUploadAction"), 2 },
        { "track list", stallOperation("getTrackList"), 3 },
        { "first download", stallDownload("Big"), 4 },
        { "second download", stallDownload("Small"), 5 },
        { "first upload", stallOperation("uploadTrack"), 6 },
        { "second upload",
            [&] {
                m_service->scriptHttp(
                    "uploadTrack", HttpResponse::text(200, SyncService::answerEnvelope("uploadTrack", "success")));
                stallOperation("uploadTrack")();
            },
            7 },
    };
    for (const Point& p : points) {
        SCOPED_TRACE(p.name);
        freshDevice();
        setActions();
        m_server.clearRequests();
        p.arrange();
        {
            kivo::test::Child child("sync_run", {});
            ASSERT_TRUE(m_server.waitForRequests(p.requests, 120000));
            child.kill();
        }
        runToTheEnd();
        expectEveryTrackOnce();
    }
}

} // namespace
