#include "sim/sync_server/sync_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>

namespace kivo::sim {

namespace {

constexpr size_t kMaxHeaderBytes = 64 * 1024;
constexpr size_t kMaxBodyBytes = 64 * 1024 * 1024;
// A chunk-size line or a trailer line longer than this is refused.
constexpr size_t kMaxLineBytes = 1024;

// How reading one part of a request ended.
enum class ReadResult { Ok, Closed, Bad, TooLarge };

std::string lower(std::string s)
{
    for (char& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string trim(const std::string& s)
{
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos)
        return {};
    size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

bool startsWith(const std::string& s, const std::string& prefix)
{
    return s.compare(0, prefix.size(), prefix) == 0;
}

} // namespace

std::string HttpRequest::header(const std::string& name) const
{
    const std::string key = lower(name);
    for (const auto& h : headers)
        if (lower(h.first) == key)
            return h.second;
    return {};
}

bool HttpRequest::hasHeader(const std::string& name) const
{
    const std::string key = lower(name);
    return std::any_of(headers.begin(), headers.end(), [&](const auto& h) { return lower(h.first) == key; });
}

HttpResponse HttpResponse::text(int status, std::string body, std::string contentType)
{
    HttpResponse r;
    r.status = status;
    r.body = std::move(body);
    if (!contentType.empty())
        r.headers.emplace_back("Content-Type", std::move(contentType));
    return r;
}

bool gunzip(const std::string& in, std::string* out)
{
    out->clear();
    z_stream zs;
    std::memset(&zs, 0, sizeof(zs));
    if (inflateInit2(&zs, 16 + MAX_WBITS) != Z_OK)
        return false;
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    zs.avail_in = uInt(in.size());
    char buffer[16384];
    int rc = Z_OK;
    while (rc == Z_OK) {
        zs.next_out = reinterpret_cast<Bytef*>(buffer);
        zs.avail_out = sizeof(buffer);
        rc = inflate(&zs, Z_NO_FLUSH);
        if (rc != Z_OK && rc != Z_STREAM_END)
            break;
        out->append(buffer, sizeof(buffer) - zs.avail_out);
        if (out->size() > kMaxBodyBytes) {
            rc = Z_MEM_ERROR;
            break;
        }
        if (rc == Z_OK && zs.avail_in == 0 && zs.avail_out != 0) {
            rc = Z_BUF_ERROR; // input ended before the member did
            break;
        }
    }
    const bool ok = rc == Z_STREAM_END && zs.avail_in == 0;
    inflateEnd(&zs);
    return ok;
}

std::string SyncServer::reasonPhrase(int status)
{
    static const std::map<int, std::string> phrases = {
        { 100, "Continue" },
        { 200, "OK" },
        { 204, "No Content" },
        { 301, "Moved Permanently" },
        { 302, "Found" },
        { 303, "See Other" },
        { 307, "Temporary Redirect" },
        { 400, "Bad Request" },
        { 403, "Forbidden" },
        { 404, "Not Found" },
        { 413, "Payload Too Large" },
        { 431, "Request Header Fields Too Large" },
        { 500, "Internal Server Error" },
        { 503, "Service Unavailable" },
    };
    auto it = phrases.find(status);
    return it == phrases.end() ? std::string("Status") : it->second;
}

SyncServer::SyncServer()
{
    addRoute("GET", "/v1/generate_204.php", [](const HttpRequest&) { return HttpResponse::text(204, {}, {}); });
}

SyncServer::~SyncServer()
{
    stop();
}

std::string SyncServer::baseUrl() const
{
    return "http://127.0.0.1:" + std::to_string(m_port);
}

bool SyncServer::start(uint16_t port)
{
    if (m_running)
        return true;
    m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listenFd < 0)
        return false;
    int one = 1;
    ::setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
    sockaddr_in addr {};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof(addr);
    if (::bind(m_listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0
        || ::listen(m_listenFd, SOMAXCONN) != 0
        || ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        ::close(m_listenFd);
        m_listenFd = -1;
        return false;
    }
    m_port = ntohs(addr.sin_port);
    m_wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_wakeFd < 0) {
        ::close(m_listenFd);
        m_listenFd = -1;
        return false;
    }
    m_running = true;
    m_acceptThread = std::thread([this] { acceptLoop(); });
    return true;
}

void SyncServer::stop()
{
    if (!m_running)
        return;
    uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(m_wakeFd, &one, sizeof(one));
    if (m_acceptThread.joinable())
        m_acceptThread.join();
    // No connection comes after this. The wake-up ends every wait; the
    // shutdown also ends a send blocked on a peer that does not read.
    std::vector<Connection> connections;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (int fd : m_connectionFds)
            ::shutdown(fd, SHUT_RDWR);
        connections.swap(m_connections);
    }
    for (auto& c : connections)
        if (c.thread.joinable())
            c.thread.join();
    ::close(m_listenFd);
    ::close(m_wakeFd);
    m_listenFd = -1;
    m_wakeFd = -1;
    m_running = false;
}

void SyncServer::addRoute(const std::string& method, const std::string& path, Handler handler)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_routes.insert(m_routes.begin(), Route { method, path, std::move(handler) });
}

void SyncServer::scriptNext(HttpResponse response)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_script.push_back(std::move(response));
}

void SyncServer::clearScript()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_script.clear();
}

void SyncServer::serveFiles(const std::string& urlPrefix, const std::string& dir)
{
    std::string prefix = urlPrefix;
    if (prefix.empty() || prefix.back() != '/')
        prefix += '/';
    addRoute("GET", prefix, [prefix, dir](const HttpRequest& request) {
        const std::string name = request.path.substr(prefix.size());
        if (name.empty() || name.find('/') != std::string::npos || name.find("..") != std::string::npos)
            return HttpResponse::text(404, "not found\n", "text/plain");
        std::ifstream file(dir + "/" + name, std::ios::binary);
        if (!file)
            return HttpResponse::text(404, "not found\n", "text/plain");
        std::stringstream content;
        content << file.rdbuf();
        return HttpResponse::text(200, content.str(), "application/octet-stream");
    });
}

void SyncServer::setSendContinue(bool on)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_sendContinue = on;
}

void SyncServer::setIdleTimeout(int ms)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_idleTimeoutMs = ms > 0 ? ms : 1;
}

std::vector<HttpRequest> SyncServer::requests() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

size_t SyncServer::requestCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests.size();
}

void SyncServer::clearRequests()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_requests.clear();
}

bool SyncServer::waitForRequests(size_t count, int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_requestsChanged.wait_for(
        lock, std::chrono::milliseconds(timeoutMs), [&] { return m_requests.size() >= count; });
}

HttpResponse SyncServer::answer(const HttpRequest& request)
{
    Handler handler;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_script.empty()) {
            HttpResponse r = std::move(m_script.front());
            m_script.pop_front();
            return r;
        }
        for (const Route& route : m_routes) {
            if (route.method != "*" && route.method != request.method)
                continue;
            const bool prefix = !route.path.empty() && route.path.back() == '/';
            if (prefix ? startsWith(request.path, route.path) : request.path == route.path) {
                handler = route.handler;
                break;
            }
        }
    }
    if (!handler)
        return HttpResponse::text(404, "not found\n", "text/plain");
    try {
        return handler(request);
    } catch (const std::exception& e) {
        return HttpResponse::text(500, std::string("handler failed: ") + e.what() + "\n", "text/plain");
    } catch (...) {
        return HttpResponse::text(500, "handler failed\n", "text/plain");
    }
}

void SyncServer::acceptLoop()
{
    for (;;) {
        pollfd fds[2] = { { m_listenFd, POLLIN, 0 }, { m_wakeFd, POLLIN, 0 } };
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[1].revents)
            return;
        if (!(fds[0].revents & POLLIN))
            continue;
        reapConnections();
        int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            // Out of descriptors or memory: back off instead of spinning.
            if (errno != EINTR && errno != EAGAIN && errno != ECONNABORTED) {
                pollfd wake = { m_wakeFd, POLLIN, 0 };
                ::poll(&wake, 1, 100);
            }
            continue;
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_connections.size() >= kMaxConnections) {
            static const char kBusy[] = "HTTP/1.1 503 Service Unavailable\r\nConnection: close\r\n"
                                        "Content-Length: 0\r\n\r\n";
            [[maybe_unused]] ssize_t sent = ::send(fd, kBusy, sizeof(kBusy) - 1, MSG_NOSIGNAL | MSG_DONTWAIT);
            ::close(fd);
            continue;
        }
        // A peer that stops reading cannot hold a send forever.
        const timeval sendLimit = { m_idleTimeoutMs / 1000, (m_idleTimeoutMs % 1000) * 1000 };
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &sendLimit, sizeof(sendLimit));
        // Answers go out as soon as they are written, not after the peer's
        // acknowledgement of the previous segment.
        int noDelay = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof(noDelay));
        m_connectionFds.push_back(fd);
        auto finished = std::make_shared<bool>(false);
        m_connections.push_back(Connection { std::thread([this, fd, finished] {
                                                serveConnection(fd);
                                                std::lock_guard<std::mutex> lock(m_mutex);
                                                *finished = true;
                                            }),
            finished });
    }
}

void SyncServer::reapConnections()
{
    std::vector<Connection> ended;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto it = m_connections.begin(); it != m_connections.end();) {
            if (*it->finished) {
                ended.push_back(std::move(*it));
                it = m_connections.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto& c : ended)
        c.thread.join();
}

bool SyncServer::pause(int fd, int ms)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        const auto left
            = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (ms >= 0 && left.count() <= 0)
            return true;
        pollfd fds[2] = { { m_wakeFd, POLLIN, 0 }, { fd, POLLRDHUP, 0 } };
        int rc = ::poll(fds, 2, ms < 0 ? -1 : int(left.count()) + 1);
        if (rc < 0 && errno != EINTR)
            return false;
        if (rc > 0 && (fds[0].revents || fds[1].revents))
            return false;
    }
}

bool SyncServer::sendAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

void SyncServer::serveConnection(int fd)
{
    int idleMs;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        idleMs = m_idleTimeoutMs;
    }
    std::string buffer;
    // Reads more bytes into buffer; false at the end of the connection, on
    // stop, or when the peer sent nothing for idleMs.
    auto readMore = [&]() -> bool {
        pollfd fds[2] = { { fd, POLLIN, 0 }, { m_wakeFd, POLLIN, 0 } };
        for (;;) {
            const int rc = ::poll(fds, 2, idleMs);
            if (rc < 0 && errno == EINTR)
                continue;
            if (rc <= 0 || fds[1].revents)
                return false;
            char chunk[16384];
            ssize_t n = ::recv(fd, chunk, sizeof(chunk), 0);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            buffer.append(chunk, size_t(n));
            return true;
        }
    };
    // Takes one CRLF-ended line of at most kMaxLineBytes off the buffer.
    auto takeLine = [&](std::string* line) -> ReadResult {
        size_t eol;
        while ((eol = buffer.find("\r\n")) == std::string::npos) {
            if (buffer.size() > kMaxLineBytes)
                return ReadResult::Bad;
            if (!readMore())
                return ReadResult::Closed;
        }
        if (eol > kMaxLineBytes)
            return ReadResult::Bad;
        line->assign(buffer, 0, eol);
        buffer.erase(0, eol + 2);
        return ReadResult::Ok;
    };
    auto takeBytes = [&](size_t count, std::string* out) -> ReadResult {
        while (buffer.size() < count)
            if (!readMore())
                return ReadResult::Closed;
        out->append(buffer, 0, count);
        buffer.erase(0, count);
        return ReadResult::Ok;
    };
    auto readChunked = [&](std::string* body) -> ReadResult {
        std::string line;
        for (;;) {
            if (ReadResult r = takeLine(&line); r != ReadResult::Ok)
                return r;
            const std::string digits = trim(line.substr(0, line.find(';')));
            if (digits.empty() || digits.size() > 15
                || digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
                return ReadResult::Bad;
            const size_t size = size_t(std::stoull(digits, nullptr, 16));
            if (size > kMaxBodyBytes - body->size())
                return ReadResult::TooLarge;
            if (size == 0)
                break;
            std::string end;
            if (ReadResult r = takeBytes(size, body); r != ReadResult::Ok)
                return r;
            if (ReadResult r = takeBytes(2, &end); r != ReadResult::Ok)
                return r;
            if (end != "\r\n")
                return ReadResult::Bad;
        }
        // Trailer lines, unused, up to the empty line that ends the message.
        for (size_t trailerBytes = 0;;) {
            if (ReadResult r = takeLine(&line); r != ReadResult::Ok)
                return r;
            if (line.empty())
                return ReadResult::Ok;
            trailerBytes += line.size();
            if (trailerBytes > kMaxHeaderBytes)
                return ReadResult::Bad;
        }
    };
    auto reply = [&](int status, const std::string& text) {
        std::string out = "HTTP/1.1 " + std::to_string(status) + " " + reasonPhrase(status)
            + "\r\nContent-Type: text/plain\r\nConnection: close\r\nContent-Length: " + std::to_string(text.size())
            + "\r\n\r\n" + text;
        sendAll(fd, out.data(), out.size());
    };

    for (bool keepAlive = true; keepAlive;) {
        size_t headerEnd;
        while ((headerEnd = buffer.find("\r\n\r\n")) == std::string::npos) {
            if (buffer.size() > kMaxHeaderBytes) {
                headerEnd = buffer.size();
                break;
            }
            if (!readMore()) {
                keepAlive = false;
                break;
            }
        }
        if (!keepAlive)
            break;
        if (headerEnd > kMaxHeaderBytes) {
            reply(431, "header too large\n");
            break;
        }

        HttpRequest request;
        std::istringstream head(buffer.substr(0, headerEnd));
        buffer.erase(0, headerEnd + 4);
        std::string line;
        std::getline(head, line);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        {
            std::istringstream requestLine(line);
            requestLine >> request.method >> request.target >> request.version;
        }
        if (request.method.empty() || request.target.empty() || !startsWith(request.version, "HTTP/")) {
            reply(400, "bad request line\n");
            break;
        }
        const size_t q = request.target.find('?');
        request.path = request.target.substr(0, q);
        request.query = q == std::string::npos ? std::string() : request.target.substr(q + 1);
        bool badHeader = false;
        while (std::getline(head, line)) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            const size_t colon = line.find(':');
            if (colon == std::string::npos || colon == 0) {
                badHeader = true;
                break;
            }
            request.headers.emplace_back(line.substr(0, colon), trim(line.substr(colon + 1)));
        }
        if (badHeader) {
            reply(400, "bad header line\n");
            break;
        }

        bool sendContinue;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            sendContinue = m_sendContinue;
        }
        if (sendContinue && lower(request.header("Expect")) == "100-continue") {
            static const char kContinue[] = "HTTP/1.1 100 Continue\r\n\r\n";
            if (!sendAll(fd, kContinue, sizeof(kContinue) - 1))
                break;
        }

        // The body: chunked or by Content-Length.
        ReadResult bodyRead = ReadResult::Ok;
        if (lower(request.header("Transfer-Encoding")).find("chunked") != std::string::npos) {
            bodyRead = readChunked(&request.rawBody);
        } else if (request.hasHeader("Content-Length")) {
            const std::string text = request.header("Content-Length");
            char* end = nullptr;
            const unsigned long long length = std::strtoull(text.c_str(), &end, 10);
            if (text.empty() || *end || length > kMaxBodyBytes)
                bodyRead = ReadResult::TooLarge;
            else
                bodyRead = takeBytes(size_t(length), &request.rawBody);
        }
        if (bodyRead == ReadResult::Bad)
            reply(400, "bad chunked body\n");
        else if (bodyRead == ReadResult::TooLarge)
            reply(413, "bad or too large body length\n");
        if (bodyRead != ReadResult::Ok)
            break;

        request.body = request.rawBody;
        if (lower(request.header("Content-Encoding")) == "gzip")
            request.bodyDecoded = gunzip(request.rawBody, &request.body);

        const std::string connection = lower(request.header("Connection"));
        keepAlive = request.version == "HTTP/1.1" ? connection != "close" : connection == "keep-alive";
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_requests.push_back(request);
        }
        m_requestsChanged.notify_all();

        HttpResponse response = answer(request);
        if (response.stall) {
            pause(fd, -1);
            break;
        }
        if (response.delayMs > 0 && !pause(fd, response.delayMs))
            break;
        if (response.closeWithoutAnswer)
            break;

        std::string out = "HTTP/1.1 " + std::to_string(response.status) + " "
            + (response.reason.empty() ? reasonPhrase(response.status) : response.reason) + "\r\n";
        bool hasLength = false;
        for (const auto& h : response.headers) {
            out += h.first + ": " + h.second + "\r\n";
            hasLength = hasLength || lower(h.first) == "content-length";
        }
        const bool noBody = response.status == 204 || response.status == 304 || request.method == "HEAD";
        if (!hasLength && !noBody)
            out += "Content-Length: " + std::to_string(response.body.size()) + "\r\n";
        if (!keepAlive)
            out += "Connection: close\r\n";
        out += "\r\n";
        const bool cut
            = !noBody && response.closeAfterBodyBytes >= 0 && size_t(response.closeAfterBodyBytes) < response.body.size();
        if (noBody || (response.trickleBytes == 0 && !cut)) {
            // Head and body in one write: with the small writes of a
            // keep-alive exchange, a second write would wait for the peer's
            // delayed acknowledgement.
            if (!noBody)
                out += response.body;
            if (!sendAll(fd, out.data(), out.size()))
                break;
            continue;
        }
        if (!sendAll(fd, out.data(), out.size()))
            break;

        std::string body = response.body;
        if (cut)
            body.resize(size_t(response.closeAfterBodyBytes));
        const size_t piece = response.trickleBytes > 0 ? response.trickleBytes : std::max<size_t>(body.size(), 1);
        bool sent = true;
        for (size_t at = 0; sent && at < body.size(); at += piece) {
            if (at > 0 && response.trickleIntervalMs > 0 && !pause(fd, response.trickleIntervalMs)) {
                sent = false;
                break;
            }
            sent = sendAll(fd, body.data() + at, std::min(piece, body.size() - at));
        }
        if (!sent || cut)
            break;
    }

    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_connectionFds.erase(std::remove(m_connectionFds.begin(), m_connectionFds.end(), fd), m_connectionFds.end());
    }
    // Lingering close: what the peer still sends is read and dropped for a
    // moment, so that an answer sent before unread input is not lost to a reset.
    ::shutdown(fd, SHUT_WR);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    for (;;) {
        const auto left
            = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        pollfd fds[2] = { { fd, POLLIN, 0 }, { m_wakeFd, POLLIN, 0 } };
        if (::poll(fds, 2, int(left.count())) <= 0 || fds[1].revents)
            break;
        char sink[4096];
        if (::recv(fd, sink, sizeof(sink), 0) <= 0)
            break;
    }
    ::close(fd);
}

} // namespace kivo::sim
