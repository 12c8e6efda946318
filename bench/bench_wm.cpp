// Window messages to another process: a send's round trip and a 64 KB
// WM_COPYDATA record, each beside the same request and reply on a kept
// Unix-domain socket to the same process.
#include "bench/bench_peer.h"
#include "platform/endpoint.h"
#include "platform/paths.h"
#include "platform/wm.h"

#include <benchmark/benchmark.h>

#include <sys/socket.h>
#include <sys/uio.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace {

// A fresh device root with the peer process running in it.
class PeerProcess {
public:
    PeerProcess()
    {
        std::string tmpl = (std::filesystem::temp_directory_path() / "kivo-bench-wm-XXXXXX").string();
        if (!mkdtemp(tmpl.data()))
            return;
        m_root = tmpl;
        m_previous = ce::deviceRoot();
        ce::setDeviceRoot(m_root);
        ::setenv("KIVO_DEVICE_ROOT", m_root.c_str(), 1);
        m_program.emplace(KIVO_BENCH_WM_PEER, std::vector<std::string> {});
        if (m_program->ready())
            m_window = ce::findWindow("KivoBenchPeer", nullptr);
    }
    ~PeerProcess()
    {
        if (m_socket >= 0)
            ::close(m_socket);
        m_program.reset();
        if (!m_root.empty()) {
            ce::setDeviceRoot(m_previous);
            std::error_code ec;
            std::filesystem::remove_all(m_root, ec);
        }
    }
    ce::HWND window() const { return m_window; }

    // The floor's kept connection.
    int socket()
    {
        if (m_socket >= 0)
            return m_socket;
        const std::string path = m_root + "/bench-echo.sock";
        sockaddr_un address;
        socklen_t length = 0;
        if (!ce::detail::pathAddress(path, &address, &length))
            return -1;
        m_socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (::connect(m_socket, reinterpret_cast<sockaddr*>(&address), length) != 0) {
            ::close(m_socket);
            m_socket = -1;
        }
        return m_socket;
    }

private:
    std::string m_root;
    std::string m_previous;
    std::optional<kivo::bench::PeerProgram> m_program;
    ce::HWND m_window = nullptr;
    int m_socket = -1;
};

// One request and its answer on the kept socket; head and body go out in
// one call, as a window message's do.
int64_t socketRequest(int fd, uint64_t w, uint64_t l, const std::vector<char>& body)
{
    const uint64_t head[3] = { w, l, body.size() };
    iovec parts[2] = { { const_cast<uint64_t*>(head), sizeof head },
        { const_cast<char*>(body.data()), body.size() } };
    const size_t total = sizeof head + body.size();
    ssize_t sent = ::writev(fd, parts, body.empty() ? 1 : 2);
    if (sent < 0)
        return -1;
    // The rest of a write the socket took only in part.
    if (size_t(sent) < sizeof head
        && !ce::detail::sendAll(fd, reinterpret_cast<const char*>(head) + sent, sizeof head - size_t(sent)))
        return -1;
    const size_t bodyDone = size_t(sent) > sizeof head ? size_t(sent) - sizeof head : 0;
    if (size_t(sent) < total && !ce::detail::sendAll(fd, body.data() + bodyDone, body.size() - bodyDone))
        return -1;
    int64_t answer = -1;
    if (!ce::detail::recvAll(fd, &answer, sizeof answer))
        return -1;
    return answer;
}

void WindowSend(benchmark::State& state)
{
    PeerProcess peer;
    if (!peer.window()) {
        state.SkipWithError("no peer window");
        return;
    }
    for (auto _ : state) {
        if (ce::sendMessage(peer.window(), ce::WM_USER, 2, 3) != 5) {
            state.SkipWithError("wrong answer");
            break;
        }
    }
}
BENCHMARK(WindowSend)->UseRealTime();

void WindowSend_Floor(benchmark::State& state)
{
    PeerProcess peer;
    int fd = peer.socket();
    if (fd < 0) {
        state.SkipWithError("no peer socket");
        return;
    }
    const std::vector<char> none;
    for (auto _ : state) {
        if (socketRequest(fd, 2, 3, none) != 5) {
            state.SkipWithError("wrong answer");
            break;
        }
    }
}
BENCHMARK(WindowSend_Floor)->UseRealTime();

void WindowCopyData(benchmark::State& state)
{
    PeerProcess peer;
    if (!peer.window()) {
        state.SkipWithError("no peer window");
        return;
    }
    std::vector<char> record(size_t(state.range(0)), 'k');
    ce::COPYDATASTRUCT copy { 7, ce::DWORD(record.size()), record.data() };
    for (auto _ : state) {
        if (ce::sendMessage(peer.window(), ce::WM_COPYDATA, 0, reinterpret_cast<ce::LPARAM>(&copy))
            != ce::LRESULT(record.size())) {
            state.SkipWithError("wrong answer");
            break;
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}
BENCHMARK(WindowCopyData)->Arg(64 << 10)->UseRealTime();

void WindowCopyData_Floor(benchmark::State& state)
{
    PeerProcess peer;
    int fd = peer.socket();
    if (fd < 0) {
        state.SkipWithError("no peer socket");
        return;
    }
    const std::vector<char> record(size_t(state.range(0)), 'k');
    for (auto _ : state) {
        if (socketRequest(fd, 7, 0, record) != int64_t(record.size())) {
            state.SkipWithError("wrong answer");
            break;
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}
BENCHMARK(WindowCopyData_Floor)->Arg(64 << 10)->UseRealTime();

} // namespace
