// A tiny HTTP server on 127.0.0.1 for the probe tests: every request gets
// the answer set last (status and body, an optional delay, or silence), and
// is counted with its request line and Host header.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kivo::test {

class LocalHttpServer {
public:
    struct Answer {
        std::string raw; // the bytes sent back; empty: keep silent until the client leaves
        int delayMs = 0;
    };
    struct Seen {
        std::string requestLine;
        std::string host;
    };

    static Answer status(int code, const std::string& reason, const std::string& body = {})
    {
        return { "HTTP/1.1 " + std::to_string(code) + " " + reason + "\r\nContent-Type: text/html\r\nContent-Length: "
                + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body,
            0 };
    }

    LocalHttpServer()
    {
        m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int one = 1;
        ::setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in sa {};
        sa.sin_family = AF_INET;
        sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::bind(m_listen, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0 && ::listen(m_listen, 16) == 0) {
            socklen_t len = sizeof sa;
            ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&sa), &len);
            m_port = ntohs(sa.sin_port);
        }
        m_thread = std::thread([this] { loop(); });
    }
    ~LocalHttpServer()
    {
        m_stop = true;
        m_thread.join();
        ::close(m_listen);
    }
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;

    uint16_t port() const { return m_port; }
    void setAnswer(Answer a)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_answer = std::move(a);
    }
    std::vector<Seen> seen() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_seen;
    }
    size_t count() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_seen.size();
    }
    bool waitForCount(size_t n, int timeoutMs) const
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return m_seen.size() >= n; });
    }

private:
    bool waitReadable(int fd, int ms)
    {
        pollfd p { fd, POLLIN, 0 };
        return ::poll(&p, 1, ms) > 0;
    }

    void loop()
    {
        while (!m_stop) {
            if (!waitReadable(m_listen, 20))
                continue;
            int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                continue;
            serve(fd);
            ::close(fd);
        }
    }

    void serve(int fd)
    {
        std::string request;
        while (request.find("\r\n\r\n") == std::string::npos && !m_stop) {
            if (!waitReadable(fd, 20))
                continue;
            char buf[1024];
            ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n <= 0)
                return;
            request.append(buf, size_t(n));
        }
        Answer answer;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            Seen s;
            s.requestLine = request.substr(0, request.find("\r\n"));
            auto h = request.find("\r\nHost: ");
            if (h != std::string::npos)
                s.host = request.substr(h + 8, request.find("\r\n", h + 8) - h - 8);
            m_seen.push_back(s);
            answer = m_answer;
        }
        m_changed.notify_all();
        auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(answer.delayMs);
        // Silence: hold the connection until the client leaves or we stop.
        while (!m_stop && (answer.raw.empty() || std::chrono::steady_clock::now() < until)) {
            if (waitReadable(fd, 10)) {
                char c;
                if (::recv(fd, &c, 1, MSG_PEEK) <= 0)
                    return;
            }
        }
        if (!m_stop)
            ::send(fd, answer.raw.data(), answer.raw.size(), MSG_NOSIGNAL);
    }

    int m_listen = -1;
    uint16_t m_port = 0;
    std::atomic<bool> m_stop { false };
    std::thread m_thread;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    Answer m_answer = status(204, "No Content");
    std::vector<Seen> m_seen;
};

// A port on 127.0.0.1 where nothing listens.
inline uint16_t closedLoopbackPort()
{
    int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa {};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    socklen_t len = sizeof sa;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&sa), &len);
    ::close(s);
    return ntohs(sa.sin_port);
}

} // namespace kivo::test
