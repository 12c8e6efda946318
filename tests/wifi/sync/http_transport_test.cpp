#include "wifi/sync/chttpget.h"
#include "wifi/sync/chttpsdownloader.h"
#include "wifi/sync/gzipbody.h"
#include "wifi/sync/qnavwebresponse.h"
#include "wifi/sync/responsewait.h"

#include "sim/sync_server/sync_server.h"
#include "tests/support/temp_root.h"
#include "tests/wifi/sync/qt_app.h"

#include "platform/paths.h"
#include "platform/wm.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using kivo::sim::HttpResponse;

const char kLogDir[] = "/SystemDrive/Falmo/Program/WiFi/Log";
const char kResponseFile[] = "/SystemDrive/Falmo/Program/WiFi/Log/response.xml";
const char kSoapPath[] = "/v2/SyncService.php";

// Shortened limit for the waits; the product keeps 60000 ms.
constexpr int kTestTimeoutMs = 1000;

class HttpTransportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        kivo::test::qtApp();
        kivo::sync::setResponseTimeoutForTesting(kTestTimeoutMs);
        m_root.writeFile(std::string(kLogDir) + "/betaserver.ini", ""); // logging on
        ASSERT_TRUE(m_server.start());
    }
    void TearDown() override
    {
        m_server.stop();
        kivo::sync::setResponseTimeoutForTesting(0);
    }

    QString url(const std::string& path) const { return QString::fromStdString(m_server.baseUrl() + path); }
    bool exists(const std::string& devicePath) const { return std::filesystem::exists(ce::resolvePath(devicePath)); }
    std::string log() const { return m_root.readFile(std::string(kLogDir) + "/WifiLog.txt"); }

    // Keeps serving Qt events for a while, as the GUI thread would.
    static void spin(int ms)
    {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) {
            QCoreApplication::processEvents();
            QThread::msleep(5);
        }
    }

    bool postAndWait(QNavWebResponse& transport, const QStringList& pieces, const std::string& path = kSoapPath)
    {
        transport.resetFinished();
        transport.post(pieces, url(path));
        return transport.waitForFinished();
    }

    kivo::test::TempDeviceRoot m_root;
    kivo::sim::SyncServer m_server;
};

std::string inflateRaw(const std::string& deflate)
{
    z_stream zs {};
    EXPECT_EQ(inflateInit2(&zs, -MAX_WBITS), Z_OK);
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(deflate.data()));
    zs.avail_in = uInt(deflate.size());
    std::string out(1 << 20, '\0');
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = uInt(out.size());
    EXPECT_EQ(inflate(&zs, Z_FINISH), Z_STREAM_END);
    out.resize(zs.total_out);
    inflateEnd(&zs);
    return out;
}

TEST(GzipBody, FramingAndChecksumsMatchZlib)
{
    EXPECT_EQ(kivo::sync::gzipCrc32("123456789"), 0xCBF43926u);
    const QByteArray samples[] = { QByteArray(), QByteArray("a"), QByteArray("<soapenv:Envelope/>"),
        QByteArray(100000, 'z') + QByteArray("\x00\xFF\x80 tail", 9) };
    for (const QByteArray& data : samples) {
        SCOPED_TRACE(data.size());
        const QByteArray gz = kivo::sync::gzipCompress(data);
        ASSERT_GE(gz.size(), 18);
        EXPECT_EQ(gz.left(10), QByteArray("\x1F\x8B\x08\x00\x00\x00\x00\x00\x02\xFF", 10));
        EXPECT_EQ(gz.right(4), kivo::sync::littleEndian32(uint32_t(data.size())));
        EXPECT_EQ(gz.mid(gz.size() - 8, 4), kivo::sync::littleEndian32(kivo::sync::gzipCrc32(data)));
        EXPECT_EQ(inflateRaw(gz.mid(10, gz.size() - 18).toStdString()), data.toStdString());
        if (!data.isEmpty()) { // the same stream as zlib's default level gives
            const QByteArray zlibData = qCompress(data, -1);
            EXPECT_EQ(gz.mid(10, gz.size() - 18), zlibData.mid(6, zlibData.size() - 10));
        }
        std::string unpacked;
        EXPECT_TRUE(kivo::sim::gunzip(gz.toStdString(), &unpacked));
        EXPECT_EQ(unpacked, data.toStdString());
    }
}

TEST_F(HttpTransportTest, PostSendsTheGzipBodyWithTheListedHeaders)
{
    const std::string answer = "<SOAP-ENV:Envelope><SOAP-ENV:Body/></SOAP-ENV:Envelope>";
    m_server.scriptNext(HttpResponse::text(200, answer));
    const QStringList pieces = { "<?xml version=\"1.0\" encoding=\"utf-8\"?><a>",
        QString::fromUtf8("\xC3\xA9\xE4\xB8\xAD"), QString(70000, 'x'), "</a>" };
    QNavWebResponse transport("/SystemDrive");
    ASSERT_TRUE(postAndWait(transport, pieces));

    ASSERT_EQ(m_server.requestCount(), 1u);
    const kivo::sim::HttpRequest request = m_server.requests()[0];
    const std::string envelope = pieces.join("").toUtf8().toStdString();
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.path, kSoapPath);
    EXPECT_TRUE(request.bodyDecoded);
    EXPECT_EQ(request.body, envelope);
    ASSERT_GE(request.rawBody.size(), 18u);
    EXPECT_EQ(request.rawBody.substr(0, 10), std::string("\x1F\x8B\x08\x00\x00\x00\x00\x00\x02\xFF", 10));
    EXPECT_EQ(request.rawBody.substr(request.rawBody.size() - 4),
        kivo::sync::littleEndian32(uint32_t(envelope.size())).toStdString());

    EXPECT_EQ(request.header("Host"), "127.0.0.1");
    EXPECT_EQ(request.header("Content-Type"), "text/xml; charset=utf-8");
    EXPECT_EQ(request.header("User-Agent"),
        "Mozilla/4.0 (compatible; MSIE 6.0; MS Web Services Client Protocol 2.0.50727.3082)");
    EXPECT_EQ(request.header("Connection"), "Keep-Alive");
    EXPECT_EQ(request.header("Expect"), "100-continue");
    EXPECT_TRUE(request.hasHeader("SOAPAction"));
    EXPECT_EQ(request.header("SOAPAction"), "");
    EXPECT_EQ(request.header("Content-Encoding"), "gzip");
    EXPECT_EQ(request.header("Content-Length"), std::to_string(request.rawBody.size()));
    std::vector<std::string> names;
    for (const auto& h : request.headers)
        names.push_back(h.first);
    const std::vector<std::string> listed = { "Host", "Content-Type", "User-Agent", "Connection", "Expect",
        "SOAPAction", "Content-Encoding", "Content-Length" };
    ASSERT_GE(names.size(), listed.size());
    EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + long(listed.size())), listed);

    EXPECT_EQ(m_root.readFile(kResponseFile), answer);
    EXPECT_NE(log().find(" - content len: 4\r\n"), std::string::npos);
    EXPECT_NE(
        log().find(" - contentzipped len: " + std::to_string(request.rawBody.size()) + "\r\n"), std::string::npos);
}

TEST_F(HttpTransportTest, RequestLineCarriesOnlyThePath)
{
    const std::string hostPort = m_server.baseUrl().substr(std::string("http://").size());
    const std::string urls[] = {
        "http://" + hostPort + kSoapPath + "?wsdl=1&x=2#part", "http://user:secret@" + hostPort + kSoapPath,
        "soap://" + hostPort + kSoapPath, // any scheme but https is plain HTTP
    };
    QNavWebResponse transport("/SystemDrive");
    for (const std::string& u : urls) {
        SCOPED_TRACE(u);
        m_server.clearRequests();
        m_server.scriptNext(HttpResponse::text(200, "<ok/>"));
        transport.resetFinished();
        transport.post({ "<x/>" }, QString::fromStdString(u));
        ASSERT_TRUE(transport.waitForFinished());
        ASSERT_EQ(m_server.requestCount(), 1u);
        EXPECT_EQ(m_server.requests()[0].target, kSoapPath);
        EXPECT_FALSE(m_server.requests()[0].hasHeader("Authorization"));
        EXPECT_EQ(m_root.readFile(kResponseFile), "<ok/>");
    }
}

TEST_F(HttpTransportTest, StatusDecidesWhetherTheBodyIsTheAnswer)
{
    struct Case {
        int status;
        bool kept;
    } cases[] = { { 200, true }, { 301, true }, { 302, true }, { 303, true }, { 307, true }, { 204, false },
        { 401, false }, { 404, false }, { 500, false }, { 503, false } };
    QNavWebResponse transport("/SystemDrive");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        HttpResponse r = HttpResponse::text(c.status, "<body status=\"" + std::to_string(c.status) + "\"/>");
        if (c.status / 100 == 3)
            r.headers.emplace_back("Location", m_server.baseUrl() + "/elsewhere");
        if (c.status == 401) // no credentials are offered
            r.headers.emplace_back("WWW-Authenticate", "Basic realm=\"sync\"");
        m_server.scriptNext(r);
        ASSERT_TRUE(postAndWait(transport, { "<x/>" }));
        EXPECT_TRUE(transport.isFinished());
        EXPECT_EQ(exists(kResponseFile), c.kept);
        if (c.kept) {
            EXPECT_EQ(m_root.readFile(kResponseFile), "<body status=\"" + std::to_string(c.status) + "\"/>");
        }
        const std::string line = " - connect to server error: " + std::to_string(c.status) + "\r\n";
        EXPECT_EQ(log().find(line) != std::string::npos, !c.kept) << log();
    }
    // Redirects are not followed.
    EXPECT_EQ(m_server.requestCount(), std::size(cases));
}

TEST_F(HttpTransportTest, TransportFailuresFinishWithoutAnswer)
{
    QNavWebResponse transport("/SystemDrive");
    m_root.writeFile(kResponseFile, "old answer");

    HttpResponse dropped;
    dropped.closeWithoutAnswer = true;
    m_server.scriptNext(dropped);
    ASSERT_TRUE(postAndWait(transport, { "<x/>" }));
    EXPECT_FALSE(exists(kResponseFile));

    HttpResponse cut = HttpResponse::text(200, std::string(5000, 'a'));
    cut.closeAfterBodyBytes = 100;
    m_server.scriptNext(cut);
    ASSERT_TRUE(postAndWait(transport, { "<x/>" }));
    EXPECT_FALSE(exists(kResponseFile));

    for (const char* bad : { "", "not a url", "http:///v2/SyncService.php" }) {
        SCOPED_TRACE(bad);
        m_root.writeFile(kResponseFile, "old answer");
        transport.resetFinished();
        transport.post({ "<x/>" }, bad);
        ASSERT_TRUE(transport.waitForFinished());
        EXPECT_FALSE(exists(kResponseFile));
    }

    const std::string closedUrl = m_server.baseUrl();
    m_server.stop();
    transport.resetFinished();
    transport.post({ "<x/>" }, QString::fromStdString(closedUrl + kSoapPath));
    ASSERT_TRUE(transport.waitForFinished());
    EXPECT_FALSE(exists(kResponseFile));
}

// The answer's file lies on a full disk: links to /dev/full, which takes no data.
TEST_F(HttpTransportTest, AnswerThatCannotBeWrittenWholeIsNoAnswer)
{
    std::filesystem::create_directories(ce::resolvePath(kLogDir));
    std::filesystem::create_symlink("/dev/full", ce::resolvePath(kResponseFile));
    m_server.scriptNext(HttpResponse::text(200, std::string(20000, 'r')));
    QNavWebResponse transport("/SystemDrive");
    ASSERT_TRUE(postAndWait(transport, { "<x/>" }));
    EXPECT_FALSE(std::filesystem::is_symlink(ce::resolvePath(kResponseFile)));
    EXPECT_FALSE(exists(kResponseFile));
}

TEST_F(HttpTransportTest, StalledAnswerTimesOutAndItsLateAnswerIsDropped)
{
    QNavWebResponse transport("/SystemDrive");
    HttpResponse late = HttpResponse::text(200, "LATE");
    late.delayMs = kTestTimeoutMs + 300;
    m_server.scriptNext(late);
    EXPECT_FALSE(postAndWait(transport, { "<first/>" }));
    EXPECT_FALSE(transport.isFinished());
    EXPECT_FALSE(exists(kResponseFile));

    m_server.scriptNext(HttpResponse::text(200, "FRESH"));
    ASSERT_TRUE(postAndWait(transport, { "<second/>" }));
    EXPECT_EQ(m_root.readFile(kResponseFile), "FRESH");

    // Past the moment the first answer would have come.
    transport.resetFinished();
    spin(600);
    EXPECT_EQ(m_root.readFile(kResponseFile), "FRESH");
    EXPECT_FALSE(transport.isFinished());

    HttpResponse stall;
    stall.stall = true;
    m_server.scriptNext(stall);
    EXPECT_FALSE(postAndWait(transport, { "<third/>" }));
    EXPECT_FALSE(exists(kResponseFile));
}

TEST_F(HttpTransportTest, WaitKeepsServingWindowMessagesAndQtEvents)
{
    int handled = 0;
    ce::HWND window
        = ce::createWindow("SyncWaitTest", "sync wait", [&](ce::HWND, ce::UINT message, ce::WPARAM, ce::LPARAM) {
              if (message == ce::WM_USER + 7)
                  ++handled;
              return ce::LRESULT(0);
          });
    ASSERT_NE(window, nullptr);
    bool timerFired = false;
    QTimer::singleShot(10, [&] { timerFired = true; });

    HttpResponse stall;
    stall.stall = true;
    m_server.scriptNext(stall);
    QNavWebResponse transport("/SystemDrive");
    // Pending when the wait begins: only the wait's pump can deliver it.
    ASSERT_TRUE(ce::postMessage(window, ce::WM_USER + 7, 0, 0));
    EXPECT_FALSE(postAndWait(transport, { "<x/>" }));
    EXPECT_EQ(handled, 1);
    EXPECT_TRUE(timerFired);
    ce::destroyWindow(window);
}

// The wait sleeps between events: with the product's 60 s limit, only being
// woken by what ends it lets these waits end well before the limit.
TEST_F(HttpTransportTest, WaitIsWokenByAWindowMessageAndByAQtEvent)
{
    kivo::sync::setResponseTimeoutForTesting(0);
    bool flag = false;
    ce::HWND window
        = ce::createWindow("SyncWakeTest", "sync wake", [&](ce::HWND, ce::UINT message, ce::WPARAM, ce::LPARAM) {
              if (message == ce::WM_USER + 9)
                  flag = true;
              return ce::LRESULT(0);
          });
    ASSERT_NE(window, nullptr);
    // Posted from another thread once the wait has begun.
    QTimer::singleShot(0, [window] { std::thread([window] { ce::postMessage(window, ce::WM_USER + 9, 0, 0); }).detach(); });
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(kivo::sync::waitForFlag(flag, clock));
    EXPECT_LT(clock.elapsed(), kivo::sync::kResponseTimeoutMs);

    // A queued call from another thread is a Qt event for this one.
    flag = false;
    QObject target;
    std::thread poster([&] { QMetaObject::invokeMethod(&target, [&] { flag = true; }, Qt::QueuedConnection); });
    clock.restart();
    EXPECT_TRUE(kivo::sync::waitForFlag(flag, clock));
    poster.join();
    ce::destroyWindow(window);
}

// ---- downloads

class DownloadTest : public HttpTransportTest {
protected:
    void SetUp() override
    {
        HttpTransportTest::SetUp();
        m_files = m_root.path() + "/served";
        std::filesystem::create_directories(m_files);
        m_server.serveFiles("/tracks/", m_files);
    }
    std::string serve(const std::string& name, size_t size)
    {
        std::string content;
        for (size_t i = 0; content.size() < size; ++i)
            content += "<trkpt n=\"" + std::to_string(i) + "\"/>\n";
        content.resize(size);
        std::ofstream(m_files + "/" + name, std::ios::binary) << content;
        return content;
    }
    std::string m_files;
    const std::string m_save = std::string(kLogDir) + "/temp.gpx";
};

TEST_F(DownloadTest, DownloadSavesTheFileAndKeepsTheQuery)
{
    const std::string content = serve("ride.gpx", 300000);
    CHttpsDownloader downloader("/SystemDrive");
    QString error;
    ASSERT_TRUE(downloader.download(url("/tracks/ride.gpx?token=1&x=2"), QString::fromStdString(m_save), error))
        << error.toStdString();
    EXPECT_EQ(m_root.readFile(m_save), content);
    ASSERT_EQ(m_server.requestCount(), 1u);
    EXPECT_EQ(m_server.requests()[0].target, "/tracks/ride.gpx?token=1&x=2");

    // Without a save path the file lands in the Log folder under its own name.
    CHttpGet get;
    ASSERT_TRUE(get.getFile(url("/tracks/ride.gpx"), QString()));
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(kivo::sync::waitForFlag(get.doneFlag(), clock));
    EXPECT_FALSE(get.failed());
    EXPECT_EQ(m_root.readFile(std::string(kLogDir) + "/ride.gpx"), content);
}

TEST_F(DownloadTest, SlowTrickleKeepsGoingButSilenceTimesOut)
{
    const std::string content = serve("slow.gpx", 4000);
    HttpResponse slow = HttpResponse::text(200, content, "application/octet-stream");
    slow.trickleBytes = 200;
    slow.trickleIntervalMs = kTestTimeoutMs / 4; // 20 pieces: five time limits in all
    m_server.scriptNext(slow);
    CHttpsDownloader downloader("/SystemDrive");
    QString error;
    EXPECT_TRUE(downloader.download(url("/tracks/slow.gpx"), QString::fromStdString(m_save), error))
        << error.toStdString();
    EXPECT_EQ(m_root.readFile(m_save), content);

    HttpResponse stall;
    stall.stall = true;
    m_server.scriptNext(stall);
    EXPECT_FALSE(downloader.download(url("/tracks/slow.gpx"), QString::fromStdString(m_save), error));
    EXPECT_EQ(error, "Time out.");
    EXPECT_EQ(m_root.readFile(m_save), "");

    // Data stops after a first piece: the limit counts from the last progress.
    HttpResponse stuck = HttpResponse::text(200, content, "application/octet-stream");
    stuck.trickleBytes = 1000;
    stuck.trickleIntervalMs = 10 * kTestTimeoutMs;
    m_server.scriptNext(stuck);
    EXPECT_FALSE(downloader.download(url("/tracks/slow.gpx"), QString::fromStdString(m_save), error));
    EXPECT_EQ(error, "Time out.");
    EXPECT_EQ(m_root.readFile(m_save), "");
}

TEST_F(DownloadTest, FailedDownloadsReportFailure)
{
    serve("ride.gpx", 5000);
    CHttpsDownloader downloader("/SystemDrive");
    QString error;

    EXPECT_FALSE(downloader.download("http://127.0.0.1", QString::fromStdString(m_save), error));
    EXPECT_EQ(error, "This URL is not a valid value.");

    // An error page is not a track.
    EXPECT_FALSE(downloader.download(url("/tracks/missing.gpx"), QString::fromStdString(m_save), error));
    EXPECT_EQ(error, "HTTP status 404");
    EXPECT_EQ(m_root.readFile(m_save), "");

    HttpResponse cut = HttpResponse::text(200, std::string(5000, 'a'));
    cut.closeAfterBodyBytes = 1000;
    m_server.scriptNext(cut);
    EXPECT_FALSE(downloader.download(url("/tracks/ride.gpx"), QString::fromStdString(m_save), error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(m_root.readFile(m_save), "");

    // A full disk: the track cannot be written whole.
    const std::string full = std::string(kLogDir) + "/full.gpx";
    std::filesystem::create_symlink("/dev/full", ce::resolvePath(full));
    EXPECT_FALSE(downloader.download(url("/tracks/ride.gpx"), QString::fromStdString(full), error));
    EXPECT_TRUE(error.startsWith("Cannot write")) << error.toStdString();
    EXPECT_TRUE(error.endsWith(": No space left on device")) << error.toStdString();

    // A save file that cannot be made fails at once with the reason:
    // nothing is sent, and no time-out is waited for.
    const struct {
        std::string path;
        const char* reason;
    } unmade[] = {
        { "/SystemDrive/no/such/folder/x.gpx", ": No such file or directory" },
        { std::string(kLogDir) + "/" + std::string(300, 'n') + ".gpx", ": File name too long" },
    };
    for (const auto& c : unmade) {
        const size_t before = m_server.requestCount();
        EXPECT_FALSE(downloader.download(url("/tracks/ride.gpx"), QString::fromStdString(c.path), error));
        EXPECT_TRUE(error.startsWith("Cannot write") && error.endsWith(c.reason)) << error.toStdString();
        EXPECT_EQ(m_server.requestCount(), before);
    }
}

} // namespace
