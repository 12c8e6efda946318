// The sync engine's HTTP transport against the bare work: a SOAP POST through
// QNavWebResponse beside a plain Qt POST of the same gzip body and beside a
// batch of them in one curl, and a 10 MB track download beside a plain Qt GET
// and beside a batch of them in one curl, all to the same local sync service.
#include "bench/bench_sync_common.h"

#include "wifi/sync/chttpsdownloader.h"
#include "wifi/sync/devicefile.h"
#include "wifi/sync/gzipbody.h"
#include "wifi/sync/qnavwebresponse.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <QFileInfo>
#include <QStringList>

namespace {

using kivo::bench::BenchDeviceRoot;
using kivo::bench::PlainClient;
using kivo::sim::HttpRequest;
using kivo::sim::HttpResponse;
using kivo::sim::SyncServer;

const char kSoapPath[] = "/v2/SyncService.php";
const char kResponse[] = "/SystemDrive/Falmo/Program/WiFi/Log/response.xml";

// A track-list request with catalogs of a few recordings: the size of a
// typical request of a run.
QStringList envelope()
{
    QString catalog = "[";
    for (int i = 0; i < 12; ++i)
        catalog += QString("{\"o_hash\":\"%1\",\"o_file_name\":\"Ride %2.gpx\",\"o_length\":\"%3\"},")
                       .arg(QString(128, QChar('a' + i % 6)))
                       .arg(i)
                       .arg(1000 * i);
    catalog += "]";
    return { "<?xml version=\"1.0\" encoding=\"utf-8\"?><soapenv:Envelope><soapenv:Body><en:getTrackList>"
             "<sessionID xsi:type=\"xsd:string\">0123456789abcdef</sessionID><metaData_rcf xsi:type=\"xsd:string\">"
        + catalog + "</metaData_rcf></en:getTrackList></soapenv:Body></soapenv:Envelope>" };
}

std::string soapAnswer()
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><SOAP-ENV:Envelope><SOAP-ENV:Body><ns1:getTrackListResponse>"
           "<return>[{\"o_action\":\"delete\",\"o_hash\":\""
        + std::string(128, 'b') + "\"}]</return></ns1:getTrackListResponse></SOAP-ENV:Body></SOAP-ENV:Envelope>";
}

// The local service for one benchmark: SOAP answers and a served folder.
struct Service {
    BenchDeviceRoot root;
    SyncServer server;
    std::string files;

    Service()
    {
        const std::string answer = soapAnswer();
        server.addRoute("POST", kSoapPath, [answer](const HttpRequest&) { return HttpResponse::text(200, answer); });
        files = root.path() + "/served";
        root.writeFile("served/.keep", "");
        server.serveFiles("/tracks/", files);
        server.start();
    }
    QString url(const std::string& path) const { return QString::fromStdString(server.baseUrl() + path); }
};

void enginePost(benchmark::State& state, QNavWebResponse& transport, const QStringList& pieces, const QString& url)
{
    transport.resetFinished();
    transport.post(pieces, url);
    if (!transport.waitForFinished() || !QFile::exists(kivo::sync::localPath(kResponse)))
        state.SkipWithError("the SOAP request failed");
}

void SoapPost(benchmark::State& state)
{
    Service service;
    QNavWebResponse transport("/SystemDrive");
    const QStringList pieces = envelope();
    const QString url = service.url(kSoapPath);
    for (auto _ : state)
        enginePost(state, transport, pieces, url);
}
BENCHMARK(SoapPost)->Unit(benchmark::kMicrosecond)->UseRealTime();

void SoapPost_Floor(benchmark::State& state)
{
    Service service;
    PlainClient client;
    const QByteArray body = kivo::sync::gzipCompress(envelope().join("").toUtf8());
    const QString url = service.url(kSoapPath);
    const QString answer = kivo::sync::localPath(kResponse);
    kivo::sync::makeDevicePath("/SystemDrive/Falmo/Program/WiFi/Log");
    for (auto _ : state)
        if (!client.post(url, body, answer))
            state.SkipWithError("the plain POST failed");
}
BENCHMARK(SoapPost_Floor)->Unit(benchmark::kMicrosecond)->UseRealTime();

// curl runs a whole batch on one kept connection, as the engine does over a
// run; its start-up is spread over the batch.
void SoapPostBatchVsCurl(benchmark::State& state)
{
    Service service;
    QNavWebResponse transport("/SystemDrive");
    const QStringList pieces = envelope();
    const QString url = service.url(kSoapPath);
    for (auto _ : state)
        for (int64_t i = 0; i < state.range(0); ++i)
            enginePost(state, transport, pieces, url);
}
BENCHMARK(SoapPostBatchVsCurl)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime();

void SoapPostBatchVsCurl_Floor(benchmark::State& state)
{
    const std::string curl = kivo::bench::curlPath();
    if (curl.empty()) {
        state.SkipWithError("no curl on this machine");
        return;
    }
    Service service;
    const QByteArray body = kivo::sync::gzipCompress(envelope().join("").toUtf8());
    const std::string bodyFile = service.root.writeFile("body.gz", body.toStdString());
    std::vector<std::string> args = { curl, "-s", "-f", "-H", "Content-Type: text/xml; charset=utf-8", "-H",
        "Expect: 100-continue", "-H", "SOAPAction:", "-H", "Content-Encoding: gzip", "--data-binary", "@" + bodyFile };
    for (int64_t i = 0; i < state.range(0); ++i)
        args.push_back(service.server.baseUrl() + kSoapPath);
    for (auto _ : state)
        if (!kivo::bench::runQuiet(args))
            state.SkipWithError("curl failed");
}
BENCHMARK(SoapPostBatchVsCurl_Floor)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime();

constexpr size_t kTrackBytes = 10 * 1024 * 1024;
const char kSaved[] = "/SystemDrive/Falmo/Program/WiFi/Log/big.gpx";

void serveBigTrack(Service& service)
{
    std::string content;
    content.reserve(kTrackBytes);
    for (size_t i = 0; content.size() < kTrackBytes; ++i)
        content += "<trkpt lat=\"47." + std::to_string(i) + "\" lon=\"8." + std::to_string(i * 7) + "\"/>\n";
    content.resize(kTrackBytes);
    service.root.writeFile("served/big.gpx", content);
}

// The engine downloads the big track `batch` times per iteration; with
// `warm`, once more before the timing, as the plain GET's floor does: the
// first request of a process and of a network manager starts Qt's network
// machinery, which in a short run outweighed the download itself. The batch
// against curl keeps it in the timing, as curl's own start-up is.
void engineDownloads(benchmark::State& state, int64_t batch, bool warm)
{
    Service service;
    serveBigTrack(service);
    kivo::sync::makeDevicePath("/SystemDrive/Falmo/Program/WiFi/Log");
    CHttpsDownloader downloader("/SystemDrive");
    const QString url = service.url("/tracks/big.gpx");
    QString error;
    auto download = [&] {
        if (!downloader.download(url, kSaved, error)
            || QFileInfo(kivo::sync::localPath(kSaved)).size() != qint64(kTrackBytes))
            state.SkipWithError("the download failed");
    };
    if (warm)
        download();
    for (auto _ : state)
        for (int64_t i = 0; i < batch; ++i)
            download();
    state.SetBytesProcessed(int64_t(state.iterations()) * batch * int64_t(kTrackBytes));
}

void Download10MB(benchmark::State& state)
{
    engineDownloads(state, 1, true);
}
BENCHMARK(Download10MB)->Unit(benchmark::kMillisecond)->UseRealTime();

void Download10MB_Floor(benchmark::State& state)
{
    Service service;
    serveBigTrack(service);
    kivo::sync::makeDevicePath("/SystemDrive/Falmo/Program/WiFi/Log");
    PlainClient client;
    const QString url = service.url("/tracks/big.gpx");
    auto get = [&] {
        if (!client.get(url, kivo::sync::localPath(kSaved)))
            state.SkipWithError("the plain GET failed");
    };
    get(); // Qt's start, as the engine's first download
    for (auto _ : state)
        get();
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kTrackBytes));
}
BENCHMARK(Download10MB_Floor)->Unit(benchmark::kMillisecond)->UseRealTime();

// As with the SOAP batch: curl fetches the whole batch in one process, so
// its start-up is spread over the batch as the engine's set-up is.
void Download10MBBatchVsCurl(benchmark::State& state)
{
    engineDownloads(state, state.range(0), false);
}
BENCHMARK(Download10MBBatchVsCurl)->Arg(10)->Unit(benchmark::kMillisecond)->UseRealTime();

void Download10MBBatchVsCurl_Floor(benchmark::State& state)
{
    const std::string curl = kivo::bench::curlPath();
    if (curl.empty()) {
        state.SkipWithError("no curl on this machine");
        return;
    }
    Service service;
    serveBigTrack(service);
    kivo::sync::makeDevicePath("/SystemDrive/Falmo/Program/WiFi/Log");
    std::vector<std::string> args = { curl, "-s", "-f" };
    for (int64_t i = 0; i < state.range(0); ++i) {
        args.push_back("-o");
        args.push_back(kivo::sync::localPath(kSaved).toStdString());
        args.push_back(service.server.baseUrl() + "/tracks/big.gpx");
    }
    for (auto _ : state)
        if (!kivo::bench::runQuiet(args))
            state.SkipWithError("curl failed");
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0) * int64_t(kTrackBytes));
}
BENCHMARK(Download10MBBatchVsCurl_Floor)->Arg(10)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
