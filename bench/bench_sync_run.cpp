// A whole sync of 1,000 tracks to download and 1,000 recordings to upload
// against the local sync service, beside a plain Qt client sending the very
// HTTP requests of such a run (recorded from one) with no sync logic.
#include "bench/bench_sync_common.h"

#include "wifi/sync/devicefile.h"
#include "wifi/sync/responsewait.h"
#include "wifi/sync/wifisync.h"

#include "sim/sync_server/sync_service.h"

#include "platform/paths.h"

#include <benchmark/benchmark.h>

#include <QCryptographicHash>

#include <filesystem>
#include <set>
#include <vector>

namespace {

using kivo::sim::SyncAction;

constexpr int kTracks = 1000;
const char kUuid[] = "BENCH-0001";

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

// A device with 1,000 recordings and a service that has 1,000 tracks for it
// and wants every recording.
struct World {
    kivo::bench::BenchDeviceRoot root;
    kivo::sim::SyncServer server;
    std::unique_ptr<kivo::sim::SyncService> service;
    std::set<std::string> original; // the Tracks folder before a run
    QString session;

    World()
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
        for (int i = 0; i < kTracks; ++i) {
            const std::string gpx = recordingGpx(i);
            root.writeFile("DataDrive/Falmo/Tracks/Profile1/Ride " + std::to_string(i) + ".gpx", gpx);
            actions.push_back({ "upload", "", "", hashOf(gpx) });
            actions.push_back({ "download", "Track " + std::to_string(i),
                service->addDownload("<gpx><trk><name>Track " + std::to_string(i) + "</name><trkseg>"
                    + std::string(1500, ' ') + "</trkseg></trk></gpx>"),
                "" });
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
bool runSync(const QString& session)
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
    return status == 0 && uploaded == kTracks && downloaded == kTracks;
}

void WholeSync(benchmark::State& state)
{
    World world;
    if (world.session.isEmpty()) {
        state.SkipWithError("no session");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        world.reset();
        state.ResumeTiming();
        if (!runSync(world.session))
            state.SkipWithError("the sync failed");
    }
}
BENCHMARK(WholeSync)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

void WholeSync_Floor(benchmark::State& state)
{
    World world;
    if (world.session.isEmpty() || !runSync(world.session)) {
        state.SkipWithError("no sync to record");
        return;
    }
    // The requests of that run, answered into one scratch file each kind.
    const std::vector<kivo::sim::HttpRequest> requests = world.server.requests();
    const std::string base = world.server.baseUrl();
    const QString scratch = QString::fromStdString(world.root.path() + "/answer");
    kivo::bench::PlainClient client;
    for (auto _ : state) {
        state.PauseTiming();
        world.reset();
        state.ResumeTiming();
        for (const auto& request : requests)
            if (!client.replay(base, request, scratch))
                state.SkipWithError("a request failed");
    }
    state.counters["requests"] = double(requests.size());
}
BENCHMARK(WholeSync_Floor)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

} // namespace
