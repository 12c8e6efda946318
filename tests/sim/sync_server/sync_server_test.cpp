#include "sim/sync_server/sync_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using kivo::sim::HttpResponse;
using kivo::sim::SyncServer;

// A connected socket, or -1.
int connectTo(uint16_t port)
{
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr {};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Sends raw bytes on a fresh connection and reads until the server closes it.
// leave: the peer sends nothing more after the bytes (half-close).
std::string exchange(uint16_t port, const std::string& bytes, bool leave = false)
{
    const int fd = connectTo(port);
    if (fd < 0)
        return "<connect failed>";
    ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (leave)
        ::shutdown(fd, SHUT_WR);
    std::string out;
    char buf[4096];
    ssize_t n;
    while ((n = ::recv(fd, buf, sizeof(buf), 0)) > 0)
        out.append(buf, size_t(n));
    ::close(fd);
    return out;
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

TEST(SyncServer, RecordsRequestsAndUnpacksGzipBodies)
{
    SyncServer server;
    ASSERT_TRUE(server.start());
    server.addRoute("POST", "/v2/SyncService.php",
        [](const kivo::sim::HttpRequest& r) { return HttpResponse::text(200, "<echo>" + r.body + "</echo>"); });

    const std::string body = gzip("<soap>payload</soap>");
    const std::string reply = exchange(server.port(),
        "POST /v2/SyncService.php?a=1 HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Encoding: gzip\r\n"
        "Expect: 100-continue\r\nConnection: close\r\nContent-Length: "
            + std::to_string(body.size()) + "\r\n\r\n" + body);
    EXPECT_EQ(reply.rfind("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\n", 0), 0u) << reply;
    EXPECT_NE(reply.find("\r\n\r\n<echo><soap>payload</soap></echo>"), std::string::npos) << reply;

    // Chunked upload, a broken gzip body, and the portal probe.
    exchange(server.port(),
        "POST /v2/SyncService.php HTTP/1.1\r\nContent-Encoding: gzip\r\nTransfer-Encoding: chunked\r\n"
        "Connection: close\r\n\r\n5\r\nnot g\r\n3\r\nzip\r\n0\r\n\r\n");
    EXPECT_EQ(exchange(server.port(), "GET /v1/generate_204.php HTTP/1.1\r\nConnection: close\r\n\r\n")
                  .rfind("HTTP/1.1 204 No Content\r\n", 0),
        0u);

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].path, "/v2/SyncService.php");
    EXPECT_EQ(requests[0].query, "a=1");
    EXPECT_EQ(requests[0].header("content-encoding"), "gzip");
    EXPECT_EQ(requests[0].rawBody, body);
    EXPECT_TRUE(requests[0].bodyDecoded);
    EXPECT_EQ(requests[0].body, "<soap>payload</soap>");
    EXPECT_EQ(requests[1].rawBody, "not gzip");
    EXPECT_FALSE(requests[1].bodyDecoded);
    EXPECT_EQ(requests[2].path, "/v1/generate_204.php");
}

TEST(SyncServer, ServesFilesAndScriptedAnswersAndRefusesBadInput)
{
    const std::string dir = std::filesystem::temp_directory_path() / ("sync-server-files-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir + "/a.gpx") << "<gpx/>";
    SyncServer server;
    server.serveFiles("/tracks", dir);
    ASSERT_TRUE(server.start());
    auto get = [&](const std::string& target) {
        return exchange(server.port(), "GET " + target + " HTTP/1.1\r\nConnection: close\r\n\r\n");
    };
    EXPECT_NE(get("/tracks/a.gpx").find("200 OK"), std::string::npos);
    EXPECT_NE(get("/tracks/a.gpx").find("\r\n\r\n<gpx/>"), std::string::npos);
    EXPECT_NE(get("/tracks/../a.gpx").find("404"), std::string::npos);
    EXPECT_NE(get("/tracks/none.gpx").find("404"), std::string::npos);
    EXPECT_NE(get("/elsewhere").find("404"), std::string::npos);

    server.scriptNext(HttpResponse::text(500, "boom"));
    EXPECT_EQ(get("/tracks/a.gpx").rfind("HTTP/1.1 500 Internal Server Error\r\n", 0), 0u);
    HttpResponse drop;
    drop.closeWithoutAnswer = true;
    server.scriptNext(drop);
    EXPECT_EQ(get("/tracks/a.gpx"), "");
    EXPECT_NE(get("/tracks/a.gpx").find("200 OK"), std::string::npos); // script used up

    EXPECT_NE(exchange(server.port(), "garbage\r\n\r\n").find("400"), std::string::npos);
    EXPECT_NE(exchange(server.port(), "GET / HTTP/1.1\r\nno colon here\r\n\r\n").find("400"), std::string::npos);
    EXPECT_NE(exchange(server.port(), "POST / HTTP/1.1\r\nContent-Length: -5\r\n\r\n").find("413"), std::string::npos);
    EXPECT_NE(exchange(server.port(), std::string(70000, 'A')).find("431"), std::string::npos);
    std::filesystem::remove_all(dir);
}

TEST(SyncServer, StopEndsStalledAnswersAndLeavesTheRecord)
{
    SyncServer server;
    ASSERT_TRUE(server.start());
    HttpResponse stall;
    stall.stall = true;
    server.scriptNext(stall);
    std::string reply = "<pending>";
    std::thread client([&] { reply = exchange(server.port(), "GET /x HTTP/1.1\r\n\r\n"); });
    ASSERT_TRUE(server.waitForRequests(1, 10000));
    server.stop(); // joins the connection thread, which was waiting
    client.join();
    EXPECT_EQ(reply, "");
    EXPECT_EQ(server.requests().at(0).path, "/x");

    // A peer that takes nothing of a large answer: the send blocks until stop.
    ASSERT_TRUE(server.start());
    server.scriptNext(HttpResponse::text(200, std::string(32 << 20, 'b')));
    const int fd = connectTo(server.port());
    ASSERT_GE(fd, 0);
    const std::string request = "GET /big HTTP/1.1\r\n\r\n";
    ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    ASSERT_TRUE(server.waitForRequests(1, 10000));
    server.stop();
    ::close(fd);
}

} // namespace

namespace {

TEST(SyncServer, BadBodiesAreRefusedAndTheServerGoesOn)
{
    SyncServer server;
    server.addRoute(
        "POST", "/", [](const kivo::sim::HttpRequest& r) { return HttpResponse::text(200, "[" + r.body + "]"); });
    ASSERT_TRUE(server.start());
    const std::string chunked = "POST /u HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n";
    struct Case {
        const char* name;
        std::string bytes;
        const char* status;
    } cases[] = {
        { "size past 64 bits", chunked + "ffffffffffffffffffffff\r\nabc\r\n0\r\n\r\n", "400" },
        { "size not hex", chunked + "zz\r\nabc\r\n0\r\n\r\n", "400" },
        { "endless size line", chunked + std::string(5000, '1'), "400" },
        { "data longer than its size", chunked + "2\r\nabc\r\n0\r\n\r\n", "400" },
        { "chunks beyond the body limit", chunked + "4000001\r\n", "413" },
        { "header with its end beyond the limit", "GET / HTTP/1.1\r\nX: " + std::string(70000, 'h') + "\r\n\r\n",
            "431" },
        { "length beyond the body limit", "POST /u HTTP/1.1\r\nContent-Length: 99999999999\r\n\r\n", "413" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string reply = exchange(server.port(), c.bytes);
        EXPECT_EQ(reply.rfind(std::string("HTTP/1.1 ") + c.status, 0), 0u) << reply.substr(0, 80);
    }
    EXPECT_EQ(server.requestCount(), 0u);

    // A peer leaving in the middle of a body is no request.
    EXPECT_EQ(exchange(server.port(), "POST /u HTTP/1.1\r\nContent-Length: 1000\r\n\r\nonly this", true), "");
    EXPECT_EQ(exchange(server.port(), chunked + "a\r\nabc", true), "");
    EXPECT_EQ(server.requestCount(), 0u);

    // Chunk extensions and trailers are read past; the next request on the
    // same connection is served.
    const std::string reply = exchange(server.port(),
        chunked
            + "3;x=1\r\nabc\r\n2\r\nde\r\n0\r\nX-Sum: 1\r\n\r\n"
              "POST /v HTTP/1.1\r\nContent-Length: 2\r\nConnection: close\r\n\r\nfg");
    EXPECT_NE(reply.find("[abcde]"), std::string::npos) << reply;
    EXPECT_NE(reply.find("[fg]"), std::string::npos) << reply;

    // A handler that throws gives 500.
    server.addRoute(
        "GET", "/throws", [](const kivo::sim::HttpRequest&) -> HttpResponse { throw std::runtime_error("no"); });
    EXPECT_EQ(
        exchange(server.port(), "GET /throws HTTP/1.1\r\nConnection: close\r\n\r\n").rfind("HTTP/1.1 500", 0), 0u);
}

TEST(SyncServer, SilentPeersAreClosedAndConnectionsAreBounded)
{
    SyncServer server;
    server.setIdleTimeout(300);
    ASSERT_TRUE(server.start());
    // Nothing, or half a request header, then silence: the server hangs up.
    EXPECT_EQ(exchange(server.port(), ""), "");
    EXPECT_EQ(exchange(server.port(), "GET /v1/generate_204.php HTTP/1.1\r\n"), "");

    server.setIdleTimeout(60000);
    std::vector<int> idle;
    for (size_t i = 0; i < SyncServer::kMaxConnections + 8; ++i) {
        const int fd = connectTo(server.port());
        ASSERT_GE(fd, 0);
        idle.push_back(fd);
    }
    // Served connections stay at the bound: a further peer is turned away.
    const std::string probe = "GET /v1/generate_204.php HTTP/1.1\r\nConnection: close\r\n\r\n";
    EXPECT_EQ(exchange(server.port(), probe).rfind("HTTP/1.1 503", 0), 0u);

    // Once the idle peers leave, requests are served again.
    for (int fd : idle)
        ::close(fd);
    std::string reply;
    for (int attempt = 0; attempt < 200 && reply.rfind("HTTP/1.1 204", 0) != 0; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        reply = exchange(server.port(), probe);
    }
    EXPECT_EQ(reply.rfind("HTTP/1.1 204", 0), 0u) << reply;

    // Stop ends connections that are still open and silent.
    for (int i = 0; i < 4; ++i)
        idle[size_t(i)] = connectTo(server.port());
    server.stop();
    for (int i = 0; i < 4; ++i)
        ::close(idle[size_t(i)]);
}

} // namespace
