// Requests to the local sync service, over a real connection: request line,
// headers, bodies by length or in chunks, gzip bodies. The first byte picks:
//   - raw: the input's bytes as they are, sent in pieces of random size;
//   - built: a body from the input, gzipped or not, sent by length or in
//     chunks of random size, maybe with "Expect: 100-continue".
//
// Checked: every answer starts with a status line; a built request is
// recorded once with its body unpacked to exactly the bytes that were sent.
// fuzz-links: kivo_sync_server ZLIB::ZLIB

#include "fuzz/support/fuzz_input.h"
#include "sim/sync_server/sync_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <string>

using kivo::fuzz::ChunkSplitter;
using kivo::fuzz::FuzzInput;

namespace {

kivo::sim::SyncServer& server()
{
    static kivo::sim::SyncServer* s = [] {
        auto* s = new kivo::sim::SyncServer; // lives for the whole run
        s->setIdleTimeout(5000);
        s->addRoute("POST", "/", [](const kivo::sim::HttpRequest&) {
            return kivo::sim::HttpResponse::text(200, "<ok/>");
        });
        if (!s->start())
            std::abort();
        return s;
    }();
    return *s;
}

std::string gzip(const std::string& plain)
{
    z_stream zs {};
    if (deflateInit2(&zs, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        std::abort();
    std::string out(deflateBound(&zs, uLong(plain.size())) + 32, '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(plain.data()));
    zs.avail_in = uInt(plain.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = uInt(out.size());
    FUZZ_CHECK(deflate(&zs, Z_FINISH) == Z_STREAM_END);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
}

// Sends the bytes in pieces, closes the sending side, and reads everything
// the service answers until it closes.
std::string roundTrip(const std::string& bytes, ChunkSplitter& split)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    FUZZ_CHECK(fd >= 0);
    sockaddr_in addr {};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(server().port());
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    FUZZ_CHECK(::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0);
    for (size_t at = 0; at < bytes.size();) {
        const size_t n = std::min(split.next(), bytes.size() - at);
        if (::send(fd, bytes.data() + at, n, MSG_NOSIGNAL) <= 0)
            break; // the service closed early, as it may on bad input
        at += n;
    }
    ::shutdown(fd, SHUT_WR);
    std::string answer;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd p { fd, POLLIN, 0 };
        if (::poll(&p, 1, 100) <= 0)
            continue;
        char buffer[4096];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        answer.append(buffer, size_t(n));
    }
    ::close(fd);
    return answer;
}

std::string chunked(const std::string& body, ChunkSplitter& split)
{
    std::string out;
    for (size_t at = 0; at < body.size();) {
        const size_t n = std::min(split.next(), body.size() - at);
        char size[32];
        std::snprintf(size, sizeof size, "%zx\r\n", n);
        out += size + body.substr(at, n) + "\r\n";
        at += n;
    }
    return out + "0\r\n\r\n";
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    server();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    kivo::sim::SyncServer& s = server();
    s.clearRequests();
    FuzzInput in(data, size);
    const uint8_t mode = in.byte();
    ChunkSplitter split(in.u32(), 1 + in.byte());

    if ((mode & 1) == 0) {
        const std::vector<uint8_t> raw = in.rest();
        const std::string answer = roundTrip(std::string(raw.begin(), raw.end()), split);
        FUZZ_CHECK(answer.empty() || answer.compare(0, 9, "HTTP/1.1 ") == 0);
        return 0;
    }

    const bool gzipped = mode & 2, inChunks = mode & 4, expect = mode & 8;
    const std::vector<uint8_t> plainBytes = in.rest();
    const std::string plain(plainBytes.begin(), plainBytes.end());
    const std::string sent = gzipped ? gzip(plain) : plain;
    std::string request = "POST /ws/sync HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: text/xml\r\nConnection: close\r\n";
    if (gzipped)
        request += "Content-Encoding: gzip\r\n";
    if (expect)
        request += "Expect: 100-continue\r\n";
    request += inChunks ? "Transfer-Encoding: chunked\r\n\r\n" + chunked(sent, split)
                        : "Content-Length: " + std::to_string(sent.size()) + "\r\n\r\n" + sent;
    const std::string answer = roundTrip(request, split);
    FUZZ_CHECK(answer.compare(0, 9, "HTTP/1.1 ") == 0);
    FUZZ_CHECK(answer.find("HTTP/1.1 200 ") != std::string::npos);
    const std::vector<kivo::sim::HttpRequest> got = s.requests();
    FUZZ_CHECK(got.size() == 1);
    FUZZ_CHECK(got[0].rawBody == sent);
    FUZZ_CHECK(got[0].bodyDecoded && got[0].body == plain);
    return 0;
}
