#include "sim/httptest/httptest_sim.h"

#include "platform/debug.h"
#include "platform/paths.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int ERR_NO_ANSWER = -1;
constexpr int ERR_ARGUMENTS = -2;
constexpr int ERR_NOT_HTTP = -3;
constexpr size_t MAX_URL_CHARS = 2048;
constexpr size_t MAX_STATUS_LINE = 1024;

std::string trim(const std::string& s)
{
    size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos)
        return {};
    size_t e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

std::string lower(std::string s)
{
    for (auto& c : s)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return s;
}

// The URL as 8-bit text; nothing when it is too long or not ASCII.
std::optional<std::string> asciiUrl(const char16_t* url)
{
    std::string out;
    for (size_t i = 0; url[i]; ++i) {
        if (i >= MAX_URL_CHARS || url[i] < 0x20 || url[i] > 0x7E)
            return std::nullopt;
        out += char(url[i]);
    }
    return out;
}

struct Target {
    std::string host; // as written in the URL, lower case
    int port = 80;
    std::string hostHeader;
    std::string path;
};

std::optional<int> parsePort(const std::string& s)
{
    if (s.empty() || s.size() > 5 || s.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    int p = std::stoi(s);
    if (p < 1 || p > 65535)
        return std::nullopt;
    return p;
}

std::optional<Target> parseUrl(const std::string& url)
{
    const std::string scheme = "http://";
    if (lower(url.substr(0, scheme.size())) != scheme)
        return std::nullopt;
    std::string rest = url.substr(scheme.size());
    size_t slash = rest.find_first_of("/?#");
    std::string authority = rest.substr(0, slash);
    Target t;
    t.path = slash == std::string::npos ? "/" : rest.substr(slash);
    if (t.path[0] != '/')
        t.path = "/" + t.path;
    if (auto hash = t.path.find('#'); hash != std::string::npos)
        t.path.resize(hash);
    if (authority.empty() || authority.find('@') != std::string::npos)
        return std::nullopt;
    t.hostHeader = authority;
    size_t colon = authority.rfind(':');
    if (colon != std::string::npos) {
        auto port = parsePort(authority.substr(colon + 1));
        if (!port)
            return std::nullopt;
        t.port = *port;
        authority.resize(colon);
    }
    if (authority.empty())
        return std::nullopt;
    t.host = lower(authority);
    return t;
}

struct Config {
    std::map<std::string, std::string> hosts; // lower-case name -> "ip:port" or "ip"
    int timeoutMs = kivo::sim::HTTPTEST_DEFAULT_TIMEOUT_MS;
};

Config readConfig()
{
    Config config;
    std::ifstream in(ce::resolvePath(kivo::sim::HTTPTEST_CONFIG));
    std::string line, section;
    while (std::getline(in, line)) {
        line = trim(line);
        if (line.empty() || line[0] == ';' || line[0] == '#')
            continue;
        if (line.front() == '[' && line.back() == ']') {
            section = lower(trim(line.substr(1, line.size() - 2)));
            continue;
        }
        size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        std::string key = lower(trim(line.substr(0, eq)));
        std::string value = trim(line.substr(eq + 1));
        if (auto semi = value.find(';'); semi != std::string::npos)
            value = trim(value.substr(0, semi));
        if (key.empty())
            continue;
        if (section == "hosts") {
            config.hosts[key] = value;
        } else if (section == "probe" && key == "timeout_ms") {
            if (!value.empty() && value.size() < 8 && value.find_first_not_of("0123456789") == std::string::npos)
                config.timeoutMs = std::max(1, std::stoi(value));
        }
    }
    return config;
}

// Where to connect for the URL's host: a mapping, a numeric address or
// localhost. Nothing when the host cannot be reached here.
std::optional<sockaddr_in> resolveTarget(const Target& t, const Config& config)
{
    std::string address = t.host;
    int port = t.port;
    if (auto it = config.hosts.find(t.host); it != config.hosts.end()) {
        std::string mapped = it->second;
        size_t colon = mapped.rfind(':');
        if (colon != std::string::npos) {
            auto p = parsePort(mapped.substr(colon + 1));
            if (!p)
                return std::nullopt;
            port = *p;
            mapped.resize(colon);
        }
        address = mapped;
    }
    if (address == "localhost")
        address = "127.0.0.1";
    sockaddr_in sa {};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(uint16_t(port));
    if (::inet_pton(AF_INET, address.c_str(), &sa.sin_addr) != 1)
        return std::nullopt;
    return sa;
}

int remainingMs(Clock::time_point deadline)
{
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? int(left) : 0;
}

bool waitFor(int fd, short events, Clock::time_point deadline)
{
    for (;;) {
        pollfd p { fd, events, 0 };
        int r = ::poll(&p, 1, remainingMs(deadline));
        if (r > 0)
            return true;
        if (r == 0 || errno != EINTR)
            return false;
    }
}

class Socket {
public:
    explicit Socket(int fd)
        : m_fd(fd)
    {
    }
    ~Socket()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

// The status code text of the answer's status line; ERR_* when none.
int fetchStatus(const sockaddr_in& sa, const Target& t, int timeoutMs, std::string* statusText)
{
    Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    Socket s(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (s.fd() < 0)
        return ERR_NO_ANSWER;
    if (::connect(s.fd(), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) {
        if (errno != EINPROGRESS || !waitFor(s.fd(), POLLOUT, deadline))
            return ERR_NO_ANSWER;
        int err = 0;
        socklen_t len = sizeof err;
        if (::getsockopt(s.fd(), SOL_SOCKET, SO_ERROR, &err, &len) != 0 || err != 0)
            return ERR_NO_ANSWER;
    }
    std::string request = "GET " + t.path + " HTTP/1.1\r\nHost: " + t.hostHeader
        + "\r\nUser-Agent: httptest\r\nAccept: */*\r\nConnection: close\r\n\r\n";
    size_t sent = 0;
    while (sent < request.size()) {
        ssize_t n = ::send(s.fd(), request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += size_t(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            if (!waitFor(s.fd(), POLLOUT, deadline))
                return ERR_NO_ANSWER;
        } else {
            return ERR_NO_ANSWER;
        }
    }
    std::string head;
    while (head.find('\n') == std::string::npos) {
        if (head.size() > MAX_STATUS_LINE)
            return ERR_NOT_HTTP;
        if (!waitFor(s.fd(), POLLIN, deadline))
            return ERR_NO_ANSWER;
        char buf[512];
        ssize_t n = ::recv(s.fd(), buf, sizeof buf, 0);
        if (n > 0)
            head.append(buf, size_t(n));
        else if (n == 0)
            break;
        else if (errno != EAGAIN && errno != EINTR)
            return ERR_NO_ANSWER;
    }
    if (head.empty())
        return ERR_NO_ANSWER;
    std::string line = trim(head.substr(0, head.find('\n')));
    // "HTTP/1.x NNN reason"
    if (line.compare(0, 5, "HTTP/") != 0)
        return ERR_NOT_HTTP;
    size_t sp = line.find(' ');
    if (sp == std::string::npos)
        return ERR_NOT_HTTP;
    std::string code = line.substr(sp + 1, 3);
    if (code.size() != 3 || code.find_first_not_of("0123456789") != std::string::npos
        || (line.size() > sp + 4 && line[sp + 4] != ' '))
        return ERR_NOT_HTTP;
    *statusText = code;
    return 0;
}

} // namespace

extern "C" __attribute__((visibility("default"))) int ZK_GetHttpStatus(const char16_t* url, const char* expected)
{
    if (!url || !expected) {
        ce::debugOutput("[httptest] ZK_GetHttpStatus: missing URL or expected status");
        return ERR_ARGUMENTS;
    }
    auto text = asciiUrl(url);
    auto target = text ? parseUrl(*text) : std::nullopt;
    if (!target) {
        ce::debugOutput("[httptest] ZK_GetHttpStatus: not a plain http URL");
        return ERR_ARGUMENTS;
    }
    Config config = readConfig();
    auto address = resolveTarget(*target, config);
    if (!address) {
        ce::debugOutput("[httptest] no route to " + target->host + " (map it in \\SystemDrive\\sim\\httptest.ini)");
        return ERR_NO_ANSWER;
    }
    std::string status;
    int err = fetchStatus(*address, *target, config.timeoutMs, &status);
    if (err < 0)
        return err;
    std::string want = trim(expected);
    if (status != want)
        return 0;
    int value = std::stoi(status);
    return value > 0 ? value : 1;
}
