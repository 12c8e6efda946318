// A whole sync of N tracks to download and N recordings to upload (N = 1,000
// and 10,000) against the local sync service, beside a plain Qt client
// sending the very HTTP requests of such a run (recorded from one) with no
// sync logic: each SOAP answer written to response.xml as the engine's are,
// each download saved in the Log folder and moved into Tracks. Both print
// their time per track; the run at 10,000 also prints how that compares
// with the run at 1,000 ("per_track_vs_1000"), which stays near 1 while the
// run's cost grows linearly with the tracks.
#include "bench/bench_sync_common.h"

#include "wifi/sync/devicefile.h"
#include "wifi/sync/responsewait.h"
#include "wifi/sync/wifisync.h"

#include "sim/sync_server/sync_service.h"

#include "platform/paths.h"

#include <benchmark/benchmark.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

using kivo::sim::SyncAction;

const char kUuid[] = "BENCH-0001";
const char kLogFolder[] = "/SystemDrive/Falmo/Program/WiFi/Log";
const char kTracksFolder[] = "/DataDrive/Falmo/Tracks";

std::string recordingGpx(int i)
{
    std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gpx version=\"1.1\"><trk><type>Cycling</type>"
                    "<extensions><profile>Profile1</profile><time>2013-05-04T17:"
        + std::to_string(10 + i % 50) + ":21Z</time><length>" + std::to_string(i)
        + ".5</length><timelength>3600</timelength><minlat>47.1</minlat><minlon>8.2</minlon><maxlat>47.3</maxlat>"
          "<maxlon>8.5</maxlon><avgspeed>20.1</avgspeed><maxspeed>41.0</maxspeed><calories>700</calories>"
          "</extensions>\n<trkseg>\n";
    for (int p = 0; p < 20; ++p)
        x += "<trkpt lat=\"47." + std::to_string(1000 + p) + "\" lon=\"8." + std::to_string(2000 + i) + "\"><ele>"
            + std::to_string(400 + p) + "</ele></trkpt>\n";
    return x + "</trkseg></trk></gpx>\n";
}

std::string hashOf(const std::string& content)
{
    return QCryptographicHash::hash(QByteArray::fromStdString(content.substr(0, 1499)), QCryptographicHash::Sha512)
        .toHex()
        .toStdString();
}

// A device with `tracks` recordings and a service that has as many tracks
// for it and wants every recording.
struct World {
    kivo::bench::BenchDeviceRoot root;
    kivo::sim::SyncServer server;
    std::unique_ptr<kivo::sim::SyncService> service;
    std::set<std::string> original; // the Tracks folder before a run
    std::map<std::string, std::string> downloadNames; // served path -> title
    QString session;
    const int tracks;

    explicit World(int count)
        : tracks(count)
    {
        ce::setProgramDirectory("\\SystemDrive\\Falmo\\program\\wifi");
        service = std::make_unique<kivo::sim::SyncService>(server, root.path() + "/service");
        server.start();
        root.writeFile("SystemDrive/device.xml",
            "<device><kernel><version>6.0</version></kernel><bootloader><version>2.1</version></bootloader>"
            "<hardware><displayname>Pedara 10</displayname><id>"
                + std::string(kUuid) + "</id></hardware><sku><skuid>KV-1</skuid></sku></device>");
        // Logging off, so every run cleans up as in the field.
        root.writeFile("SystemDrive/Falmo/program/wifi/DebugSetting.ini",
            "productionurl=" + server.baseUrl() + kivo::sim::SyncService::kProductionPath + "\n");
        std::vector<SyncAction> actions;
        for (int i = 0; i < tracks; ++i) {
            const std::string gpx = recordingGpx(i);
            root.writeFile("DataDrive/Falmo/Tracks/Profile1/Ride " + std::to_string(i) + ".gpx", gpx);
            actions.push_back({ "upload", "", "", hashOf(gpx) });
            const std::string title = "Track " + std::to_string(i);
            const std::string url = service->addDownload(
                "<gpx><trk><name>" + title + "</name><trkseg>" + std::string(1500, ' ') + "</trkseg></trk></gpx>");
            actions.push_back({ "download", title, url, "" });
            const std::string path = url.substr(server.baseUrl().size());
            downloadNames[path.substr(0, path.find('?'))] = title;
        }
        service->setActions(kUuid, actions);
        original = trackFiles();
        if (WiFiSync().checkServerStatus(session) != "S000000")
            session.clear();
    }

    std::set<std::string> trackFiles() const
    {
        std::set<std::string> files;
        for (const auto& e :
            std::filesystem::recursive_directory_iterator(root.path() + "/DataDrive/Falmo/Tracks"))
            if (e.is_regular_file())
                files.insert(e.path().string());
        return files;
    }
    // Removes what a run downloaded and what the service stored, so that
    // every run writes the same new files.
    void reset()
    {
        for (const std::string& f : trackFiles())
            if (!original.count(f))
                std::filesystem::remove(f);
        for (const auto& e : std::filesystem::directory_iterator(root.path() + "/service/uploads"))
            std::filesystem::remove(e.path());
        server.clearRequests();
    }
};

// Runs one sync; true when it succeeded with every transfer.
bool runSync(const QString& session, int tracks)
{
    WiFiSync sync;
    int status = -1;
    int uploaded = 0;
    int downloaded = 0;
    QObject::connect(&sync, &WiFiSync::wifiSyncStatusSignal, [&](int n, QString, QString) { status = n; });
    QObject::connect(&sync, &WiFiSync::wifiSyncAllGpxSyncFinishedSignal, [&](int up, int down, QString) {
        uploaded = up;
        downloaded = down;
    });
    sync.WiFiSyncInit(session);
    return status == 0 && uploaded == tracks && downloaded == tracks;
}

double seconds(std::chrono::steady_clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

// Seconds per track of the whole sync at 1,000 tracks, once measured.
double g_perTrackAt1000 = 0;

void reportPerTrack(benchmark::State& state, int tracks, double perTrack, bool engine)
{
    state.counters["us_per_track"] = perTrack * 1e6;
    if (!engine)
        return;
    if (tracks == 1000)
        g_perTrackAt1000 = perTrack;
    else if (g_perTrackAt1000 > 0)
        state.counters["per_track_vs_1000"] = perTrack / g_perTrackAt1000;
}

void WholeSync(benchmark::State& state)
{
    World world(int(state.range(0)));
    if (world.session.isEmpty()) {
        state.SkipWithError("no session");
        return;
    }
    std::chrono::steady_clock::duration spent {};
    for (auto _ : state) {
        state.PauseTiming();
        world.reset();
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        if (!runSync(world.session, world.tracks))
            state.SkipWithError("the sync failed");
        spent += std::chrono::steady_clock::now() - start;
    }
    reportPerTrack(state, world.tracks, seconds(spent) / double(state.iterations()) / world.tracks, true);
}
BENCHMARK(WholeSync)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

void WholeSync_Floor(benchmark::State& state)
{
    World world(int(state.range(0)));
    if (world.session.isEmpty() || !runSync(world.session, world.tracks)) {
        state.SkipWithError("no sync to record");
        return;
    }
    // The requests of that run, sent again: each answer lands where the
    // engine's does, each download goes through the Log folder into Tracks.
    const std::vector<kivo::sim::HttpRequest> requests = world.server.requests();
    const std::string base = world.server.baseUrl();
    const QString response = kivo::sync::localPath(QString(kLogFolder) + "/response.xml");
    kivo::bench::PlainClient client;
    std::chrono::steady_clock::duration spent {};
    for (auto _ : state) {
        state.PauseTiming();
        world.reset();
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        const QString log = kivo::sync::localPath(kLogFolder);
        const QString tracks = kivo::sync::localPath(kTracksFolder);
        QDir().mkpath(log);
        for (const auto& request : requests) {
            const auto download = world.downloadNames.find(request.path);
            if (download == world.downloadNames.end()) {
                if (!client.replay(base, request, response))
                    state.SkipWithError("a request failed");
                continue;
            }
            const QString name = QString::fromStdString(download->second) + ".gpx";
            const QString temp = log + "/" + name;
            if (!client.replay(base, request, temp)
                || std::rename(QFile::encodeName(temp).constData(), QFile::encodeName(tracks + "/" + name).constData())
                    != 0)
                state.SkipWithError("a download failed");
        }
        spent += std::chrono::steady_clock::now() - start;
    }
    state.counters["requests"] = double(requests.size());
    reportPerTrack(state, world.tracks, seconds(spent) / double(state.iterations()) / world.tracks, false);
}
BENCHMARK(WholeSync_Floor)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

} // namespace
