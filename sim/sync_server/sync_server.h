// A stand-in for the cloud sync service: a real HTTP/1.1 server on 127.0.0.1
// for tests and the demo. It records every request (with its gzip body
// unpacked), answers from a table of routes or from scripted one-shot
// answers, and can stall, trickle a body slowly or drop the connection.
// Plain POSIX sockets and threads: it runs beside a client's Qt event loop
// without depending on it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace kivo::sim {

using HeaderList = std::vector<std::pair<std::string, std::string>>;

struct HttpRequest {
    std::string method;
    std::string target; // as sent: path and query
    std::string path;
    std::string query;
    std::string version;
    HeaderList headers; // in the order received
    std::string rawBody; // as received
    std::string body; // unpacked when "Content-Encoding: gzip", else rawBody
    bool bodyDecoded = true; // false when a gzip body would not unpack

    // The first header of that name (compared without regard to case).
    std::string header(const std::string& name) const;
    bool hasHeader(const std::string& name) const;
};

struct HttpResponse {
    int status = 200;
    std::string reason; // default text for the status when empty
    HeaderList headers; // Content-Length is added unless given
    std::string body;

    int delayMs = 0; // before the status line
    bool stall = false; // never answer (until the client leaves or the server stops)
    bool closeWithoutAnswer = false; // drop the connection instead of answering
    size_t trickleBytes = 0; // >0: send the body in pieces of this size...
    int trickleIntervalMs = 0; // ...this far apart
    long closeAfterBodyBytes = -1; // >=0: drop the connection after this much of the body

    static HttpResponse text(int status, std::string body, std::string contentType = "text/xml; charset=utf-8");
};

using Handler = std::function<HttpResponse(const HttpRequest&)>;

class SyncServer {
public:
    SyncServer();
    ~SyncServer();
    SyncServer(const SyncServer&) = delete;
    SyncServer& operator=(const SyncServer&) = delete;

    // Listens on 127.0.0.1; port 0 picks a free one. False when it cannot.
    bool start(uint16_t port = 0);
    // Closes every connection and joins every thread; a stalled answer ends.
    void stop();

    uint16_t port() const { return m_port; }
    // "http://127.0.0.1:<port>"
    std::string baseUrl() const;

    // Routes, searched in the order added; the last added for the same
    // method and path wins. method "*" matches any; a path ending in "/"
    // matches every path beneath it. Unrouted requests get 404.
    // Built in: GET "/v1/generate_204.php" answers 204.
    void addRoute(const std::string& method, const std::string& path, Handler handler);

    // One-shot answers, used in order by the next requests before any route.
    void scriptNext(HttpResponse response);
    void clearScript();

    // GET <urlPrefix><name> answers with the file <dir>/<name> (names with
    // "/" or ".." are refused with 404).
    void serveFiles(const std::string& urlPrefix, const std::string& dir);

    // Sends "HTTP/1.1 100 Continue" to requests that expect it (default on).
    void setSendContinue(bool on);

    // A connection whose peer sends nothing (or takes nothing) for this long
    // is closed; applies to connections accepted afterwards. Default 30 s.
    void setIdleTimeout(int ms);

    // Connections served at once; further ones are answered 503 and closed.
    static constexpr size_t kMaxConnections = 64;

    std::vector<HttpRequest> requests() const;
    size_t requestCount() const;
    void clearRequests();
    // Waits until at least `count` requests were recorded.
    bool waitForRequests(size_t count, int timeoutMs) const;

    static std::string reasonPhrase(int status);

private:
    struct Route {
        std::string method;
        std::string path;
        Handler handler;
    };

    void acceptLoop();
    void serveConnection(int fd);
    // Joins the threads of connections that have ended.
    void reapConnections();
    HttpResponse answer(const HttpRequest& request);
    // Sleeps up to ms, or until stop or the peer hangs up; false when the
    // connection should end.
    bool pause(int fd, int ms);
    bool sendAll(int fd, const char* data, size_t size);

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_requestsChanged;
    std::vector<Route> m_routes;
    std::deque<HttpResponse> m_script;
    std::vector<HttpRequest> m_requests;
    bool m_sendContinue = true;
    int m_idleTimeoutMs = 30000;

    int m_listenFd = -1;
    int m_wakeFd = -1; // eventfd: readable once stop begins
    uint16_t m_port = 0;
    bool m_running = false;
    std::thread m_acceptThread;
    struct Connection {
        std::thread thread;
        std::shared_ptr<bool> finished; // under m_mutex
    };
    std::vector<Connection> m_connections;
    std::vector<int> m_connectionFds;
};

// Unpacks a gzip member; false on broken framing or data.
bool gunzip(const std::string& in, std::string* out);

} // namespace kivo::sim
