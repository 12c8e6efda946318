// The frames a device's clients send to its server on <device root>/dev/<NAME>
// (open, read, write, control), as a program that serves a simulated device
// to other processes reads them. The input is a run of frames written on one
// connection: most are sound (a known type, a length that matches), with
// one field from the input; some are bytes of any kind. The driver behind
// the server echoes writes back on reads and answers controls with what
// they carried.
//
// Checked beyond "no crash": every answer the server sends is a reply type
// with a length within the largest frame, a read's answer is never larger
// than the read asked for, and the server ends the connection (or keeps
// answering) rather than hanging on anything it was sent.
// fuzz-links: kivo_platform

#include "fuzz/support/device_root.h"
#include "fuzz/support/fuzz_input.h"
#include "platform/device.h"
#include "platform/endpoint.h"
#include "platform/paths.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>

using kivo::fuzz::FuzzInput;

namespace {

class Echo : public ce::DeviceSession {
public:
    bool read(std::vector<uint8_t>& out, size_t maxBytes, ce::DWORD timeoutMs) override
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        // Never long: a fuzz input must not wait on a read nobody feeds.
        m_cv.wait_for(lock, std::chrono::milliseconds(std::min<ce::DWORD>(timeoutMs ? timeoutMs : 5, 5)),
            [&] { return m_closed || !m_bytes.empty(); });
        if (m_closed)
            return false;
        while (!m_bytes.empty() && out.size() < maxBytes + 8) { // a driver that gives too much
            out.push_back(m_bytes.front());
            m_bytes.pop_front();
        }
        return true;
    }
    bool write(const uint8_t* data, size_t size) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_bytes.size() < 65536)
            m_bytes.insert(m_bytes.end(), data, data + size);
        m_cv.notify_all();
        return size % 7 != 3;
    }
    bool ioControl(ce::DWORD code, const std::vector<uint8_t>& in, std::vector<uint8_t>& out, size_t outSize,
        ce::DWORD* error) override
    {
        if (code % 5 == 0) {
            *error = ce::ERROR_INVALID_PARAMETER;
            return false;
        }
        out = in;
        out.resize(std::min(in.size() + 16, outSize + 16)); // more than room: the server cuts it
        return true;
    }
    void close() override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_closed = true;
        m_cv.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<uint8_t> m_bytes;
    bool m_closed = false;
};

class Driver : public ce::DeviceDriver {
public:
    std::unique_ptr<ce::DeviceSession> open(ce::DWORD access, ce::DWORD* error) override
    {
        if (access == 0x7F) {
            *error = ce::ERROR_ACCESS_DENIED;
            return nullptr;
        }
        return std::make_unique<Echo>();
    }
};

constexpr uint32_t kMaxFrame = 1u << 20;

struct Header {
    uint8_t type;
    uint32_t id, a, b, length;
};

void put(std::vector<uint8_t>& out, const Header& h)
{
    out.push_back(h.type);
    for (uint32_t v : { h.id, h.a, h.b, h.length }) {
        const auto* p = reinterpret_cast<const uint8_t*>(&v);
        out.insert(out.end(), p, p + 4);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    kivo::fuzz::ensureDeviceRoot();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static ce::DeviceServer* server = new ce::DeviceServer("FUZ1:", std::make_shared<Driver>());
    FUZZ_CHECK(server->ok());
    FuzzInput in(data, size);

    std::vector<uint8_t> bytes;
    std::map<uint32_t, uint32_t> readAsked; // id -> most bytes asked
    bool openFirst = in.flag();
    if (openFirst)
        put(bytes, Header { 1, 1, ce::GENERIC_READ | ce::GENERIC_WRITE, 0, 0 });
    for (uint32_t id = 2; !in.empty() && bytes.size() < 8192; ++id) {
        const uint8_t mode = in.byte();
        if (mode >= 200) { // anything
            const std::vector<uint8_t> raw = in.bytes(in.byte() % 40);
            bytes.insert(bytes.end(), raw.begin(), raw.end());
            continue;
        }
        Header h { uint8_t(1 + mode % 8), id, in.u32() % 4096, in.u16(), 0 };
        if (h.type == 3)
            readAsked[id] = h.a;
        std::vector<uint8_t> payload = in.bytes(in.byte() % 64);
        h.length = uint32_t(payload.size());
        if (mode % 23 == 22)
            h.length = in.u32(); // a length of any size
        put(bytes, h);
        bytes.insert(bytes.end(), payload.begin(), payload.end());
    }

    sockaddr_un addr;
    socklen_t len;
    FUZZ_CHECK(ce::detail::pathAddress(ce::deviceRoot() + "/dev/FUZ1", &addr, &len));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    FUZZ_CHECK(fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&addr), len) == 0);
    ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    ::shutdown(fd, SHUT_WR);

    // The answers, until the server ends the connection.
    std::vector<uint8_t> got;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (;;) {
        pollfd p { fd, POLLIN, 0 };
        FUZZ_CHECK(std::chrono::steady_clock::now() < deadline); // the server never hangs
        if (::poll(&p, 1, 100) <= 0)
            continue;
        uint8_t buf[4096];
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0)
            break;
        got.insert(got.end(), buf, buf + n);
    }
    ::close(fd);
    size_t at = 0;
    while (got.size() - at >= 17) {
        Header h {};
        h.type = got[at];
        std::memcpy(&h.id, &got[at + 1], 4);
        std::memcpy(&h.length, &got[at + 13], 4);
        FUZZ_CHECK(h.type % 2 == 0 && h.type >= 2 && h.type <= 8); // replies only
        FUZZ_CHECK(h.length <= kMaxFrame);
        if (h.type == 4 && readAsked.count(h.id))
            FUZZ_CHECK(h.length <= readAsked[h.id]);
        at += 17 + h.length;
    }
    FUZZ_CHECK(at == got.size()); // whole frames only
    return 0;
}
