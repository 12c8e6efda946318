#include "platform/device.h"

#include "platform/debug.h"
#include "platform/endpoint.h"
#include "platform/handles.h"
#include "platform/loader.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/text.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <thread>

namespace ce {

namespace {

// ---- wire format between a device's client and its server --------------
// Every frame: type (1), id (4), a (4), b (4), length (4), then length bytes.
enum FrameType : uint8_t { Open = 1, OpenReply, Read, ReadReply, Write, WriteReply, Ioctl, IoctlReply };
constexpr uint32_t kMaxFrame = 1u << 20;

struct Frame {
    uint8_t type = 0;
    uint32_t id = 0, a = 0, b = 0;
    std::vector<uint8_t> data;
};

void put32(uint8_t* p, uint32_t v)
{
    std::memcpy(p, &v, 4);
}
uint32_t get32(const uint8_t* p)
{
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

bool sendFrame(int fd, std::mutex& m, const Frame& f)
{
    uint8_t h[17];
    h[0] = f.type;
    put32(h + 1, f.id);
    put32(h + 5, f.a);
    put32(h + 9, f.b);
    put32(h + 13, uint32_t(f.data.size()));
    std::lock_guard<std::mutex> lock(m);
    return detail::sendAll(fd, h, sizeof h) && (f.data.empty() || detail::sendAll(fd, f.data.data(), f.data.size()));
}

// False on a closed peer or a malformed frame (which ends the connection).
bool recvFrame(int fd, Frame& f)
{
    uint8_t h[17];
    if (!detail::recvAll(fd, h, sizeof h))
        return false;
    f.type = h[0];
    f.id = get32(h + 1);
    f.a = get32(h + 5);
    f.b = get32(h + 9);
    uint32_t len = get32(h + 13);
    if (f.type < Open || f.type > IoctlReply || len > kMaxFrame) {
        debugPrintf("device: malformed frame (type %u, length %u) dropped with its connection", h[0], len);
        return false;
    }
    f.data.resize(len);
    return len == 0 || detail::recvAll(fd, f.data.data(), len);
}

std::string upperName(std::string name)
{
    while (!name.empty() && name.back() == ':')
        name.pop_back();
    return detail::asciiUpper(name);
}

std::string socketPath(const std::string& name)
{
    return deviceRoot() + "/dev/" + upperName(name);
}

std::mutex g_registryMutex;
std::map<std::string, std::shared_ptr<DeviceDriver>> g_drivers;

std::shared_ptr<DeviceDriver> registeredDriver(const std::string& key)
{
    std::lock_guard<std::mutex> lock(g_registryMutex);
    auto it = g_drivers.find(key);
    return it == g_drivers.end() ? nullptr : it->second;
}

// Driver libraries loaded so far, by lower-case name: each is loaded once
// and stays loaded, as drivers do.
std::mutex g_driverLibsMutex;
std::map<std::string, HMODULE> g_driverLibs;

// As the device's boot loads its built-in stream drivers: a key under
// HKEY_LOCAL_MACHINE\Drivers\BuiltIn with "Prefix" ("HSC"), "Index" (2) and
// "Dll" names the library that serves "HSC2:". Loading it lets the library
// register the device (when it loads, and each time its export
// "KivoRegisterDriver" is called: the device is looked for again after it
// was unregistered).
bool loadBuiltInDriver(const std::string& key)
{
    size_t digits = key.find_first_of("0123456789");
    if (digits == 0 || digits == std::string::npos)
        return false;
    std::string prefix = key.substr(0, digits);
    uint32_t index = uint32_t(std::strtoul(key.c_str() + digits, nullptr, 10));
    const std::string builtIn = "Drivers\\BuiltIn";
    for (const auto& sub : reg::subKeys(reg::Root::LocalMachine, builtIn)) {
        std::string entry = builtIn + "\\" + sub;
        auto p = reg::getString(reg::Root::LocalMachine, entry, "Prefix");
        auto i = reg::getDword(reg::Root::LocalMachine, entry, "Index");
        auto dll = reg::getString(reg::Root::LocalMachine, entry, "Dll");
        if (!p || !i || !dll || upperName(*p) != prefix || *i != index)
            continue;
        std::lock_guard<std::mutex> lock(g_driverLibsMutex);
        HMODULE& module = g_driverLibs[detail::asciiLower(*dll)];
        if (!module)
            module = loadLibrary(*dll);
        if (!module) {
            debugPrintf("device %s: driver library %s not found", key.c_str(), dll->c_str());
            return false;
        }
        if (auto reg = reinterpret_cast<void (*)()>(getProcAddress(module, "KivoRegisterDriver")))
            reg();
        return true;
    }
    return false;
}

// ---- client side of a device served by another process -----------------
class RemoteSession : public DeviceSession {
public:
    explicit RemoteSession(int fd)
        : m_fd(fd)
    {
        m_receiver = std::thread([this] { receive(); });
    }
    ~RemoteSession() override
    {
        close();
        if (m_receiver.joinable())
            m_receiver.join();
        ::close(m_fd);
    }
    bool handshake(DWORD access, DWORD* error)
    {
        Frame reply;
        if (!call(Frame { Open, 0, access, 0, {} }, reply)) {
            *error = ERROR_DEV_NOT_EXIST;
            return false;
        }
        *error = reply.b;
        return reply.a != 0;
    }
    bool read(std::vector<uint8_t>& out, size_t maxBytes, DWORD timeoutMs) override
    {
        Frame reply;
        if (!call(Frame { Read, 0, uint32_t(std::min<size_t>(maxBytes, kMaxFrame)), timeoutMs, {} }, reply) || !reply.a)
            return false;
        out = std::move(reply.data);
        if (out.size() > maxBytes)
            out.resize(maxBytes);
        return true;
    }
    bool write(const uint8_t* data, size_t size) override
    {
        if (size > kMaxFrame)
            return false;
        Frame reply;
        return call(Frame { Write, 0, 0, 0, std::vector<uint8_t>(data, data + size) }, reply) && reply.a;
    }
    bool ioControl(
        DWORD code, const std::vector<uint8_t>& in, std::vector<uint8_t>& out, size_t outSize, DWORD* error) override
    {
        Frame reply;
        if (in.size() > kMaxFrame
            || !call(Frame { Ioctl, 0, code, uint32_t(std::min<size_t>(outSize, kMaxFrame)), in }, reply)) {
            *error = ERROR_GEN_FAILURE;
            return false;
        }
        if (!reply.a) {
            *error = reply.b;
            return false;
        }
        out = std::move(reply.data);
        if (out.size() > outSize)
            out.resize(outSize);
        return true;
    }
    void close() override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_closed) {
            m_closed = true;
            ::shutdown(m_fd, SHUT_RDWR);
        }
        m_cv.notify_all();
    }

private:
    bool call(Frame request, Frame& reply)
    {
        uint32_t id;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_closed)
                return false;
            id = ++m_nextId;
            m_pending[id] = nullptr;
        }
        request.id = id;
        bool sent = sendFrame(m_fd, m_sendMutex, request);
        std::unique_lock<std::mutex> lock(m_mutex);
        if (sent)
            m_cv.wait(lock, [&] { return m_closed || m_pending[id] != nullptr; });
        auto got = std::move(m_pending[id]);
        m_pending.erase(id);
        if (!got)
            return false;
        reply = std::move(*got);
        return true;
    }
    void receive()
    {
        for (;;) {
            auto f = std::make_unique<Frame>();
            if (!recvFrame(m_fd, *f))
                break;
            std::lock_guard<std::mutex> lock(m_mutex);
            auto it = m_pending.find(f->id);
            if (it != m_pending.end() && !it->second)
                it->second = std::move(f);
            m_cv.notify_all();
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        m_closed = true; // the server went away: every call fails from now on
        m_cv.notify_all();
    }

    int m_fd;
    std::mutex m_sendMutex;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::map<uint32_t, std::unique_ptr<Frame>> m_pending;
    uint32_t m_nextId = 0;
    bool m_closed = false;
    std::thread m_receiver;
};

class DeviceObject : public detail::KernelObject {
public:
    explicit DeviceObject(std::unique_ptr<DeviceSession> s)
        : session(std::move(s))
    {
    }
    void onClose() override { session->close(); }
    std::unique_ptr<DeviceSession> session;
    std::atomic<DWORD> readTimeout { 0 };
    // Serial-port state: bytes a port-event wait took from the session and
    // no read has taken yet, the time-outs as set, the event mask.
    std::mutex commMutex;
    std::vector<uint8_t> arrived;
    COMMTIMEOUTS timeouts;
    std::atomic<DWORD> commMask { 0 };
};

// The open device behind h for one call: *count cleared first, null with
// the last error set for a bad handle or a missing buffer.
std::shared_ptr<DeviceObject> device(HANDLE h, bool buffersGiven, DWORD* count)
{
    auto d = detail::lookupAs<DeviceObject>(h);
    if (!d) {
        setLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (count)
        *count = 0;
    if (!buffersGiven) {
        setLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return d;
}

// Hands a call's result to the caller's buffer, never more than it holds.
BOOL copyOut(const std::vector<uint8_t>& data, void* buffer, DWORD size, DWORD* count)
{
    size_t n = std::min<size_t>(data.size(), size);
    if (n)
        std::memcpy(buffer, data.data(), n);
    if (count)
        *count = DWORD(n);
    return 1;
}

} // namespace

HANDLE openDevice(const std::string& name, DWORD access)
{
    std::string key = upperName(name);
    if (key.empty()) {
        setLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::shared_ptr<DeviceDriver> driver = registeredDriver(key);
    std::unique_ptr<DeviceSession> session;
    DWORD error = ERROR_DEV_NOT_EXIST;
    bool served = false;
    if (!driver) {
        sockaddr_un addr;
        socklen_t len;
        int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd >= 0 && detail::pathAddress(socketPath(key), &addr, &len)
            && ::connect(fd, reinterpret_cast<sockaddr*>(&addr), len) == 0) {
            served = true;
            if (!detail::peerIsSameUser(fd)) {
                // Whoever could write the folder could serve the name: the
                // server must be of this account, or nothing is said to it.
                debugPrintf("device %s: served by another account; not opened", key.c_str());
                ::close(fd);
                error = ERROR_ACCESS_DENIED;
            } else {
                auto remote = std::make_unique<RemoteSession>(fd);
                if (remote->handshake(access, &error))
                    session = std::move(remote);
            }
        } else if (fd >= 0) {
            ::close(fd);
        }
        if (!served && loadBuiltInDriver(key))
            driver = registeredDriver(key);
    }
    if (driver)
        session = driver->open(access, &error);
    if (!session) {
        setLastError(error ? error : ERROR_DEV_NOT_EXIST);
        return INVALID_HANDLE_VALUE;
    }
    HANDLE h = detail::addHandle(std::make_shared<DeviceObject>(std::move(session)));
    return h ? h : INVALID_HANDLE_VALUE;
}

BOOL readDevice(HANDLE h, void* buffer, DWORD size, DWORD* bytesRead)
{
    auto d = device(h, buffer || !size, bytesRead);
    if (!d)
        return 0;
    std::vector<uint8_t> data;
    {
        std::lock_guard<std::mutex> lock(d->commMutex);
        if (!d->arrived.empty()) {
            const size_t n = std::min<size_t>(size, d->arrived.size());
            data.assign(d->arrived.begin(), d->arrived.begin() + long(n));
            d->arrived.erase(d->arrived.begin(), d->arrived.begin() + long(n));
            return copyOut(data, buffer, size, bytesRead);
        }
    }
    if (!d->session->read(data, size, d->readTimeout)) {
        setLastError(d->closed() ? ERROR_INVALID_HANDLE : ERROR_READ_FAULT);
        return 0;
    }
    return copyOut(data, buffer, size, bytesRead);
}

BOOL writeDevice(HANDLE h, const void* buffer, DWORD size, DWORD* bytesWritten)
{
    auto d = device(h, buffer || !size, bytesWritten);
    if (!d)
        return 0;
    if (!d->session->write(static_cast<const uint8_t*>(buffer), size)) {
        setLastError(ERROR_WRITE_FAULT);
        return 0;
    }
    if (bytesWritten)
        *bytesWritten = size;
    return 1;
}

BOOL deviceIoControl(HANDLE h, DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize, DWORD* bytesReturned)
{
    auto d = device(h, (in || !inSize) && (out || !outSize), bytesReturned);
    if (!d)
        return 0;
    std::vector<uint8_t> input(static_cast<const uint8_t*>(in), static_cast<const uint8_t*>(in) + (in ? inSize : 0));
    std::vector<uint8_t> output;
    DWORD error = ERROR_GEN_FAILURE;
    if (!d->session->ioControl(code, input, output, outSize, &error)) {
        setLastError(error ? error : ERROR_GEN_FAILURE);
        return 0;
    }
    return copyOut(output, out, outSize, bytesReturned);
}

BOOL setDeviceTimeouts(HANDLE h, const DeviceTimeouts& timeouts)
{
    auto d = device(h, true, nullptr);
    if (!d)
        return 0;
    d->readTimeout = timeouts.readTimeoutMs;
    return 1;
}

BOOL getCommTimeouts(HANDLE h, COMMTIMEOUTS* timeouts)
{
    auto d = device(h, timeouts != nullptr, nullptr);
    if (!d)
        return 0;
    std::lock_guard<std::mutex> lock(d->commMutex);
    *timeouts = d->timeouts;
    return 1;
}

BOOL setCommTimeouts(HANDLE h, const COMMTIMEOUTS* timeouts)
{
    auto d = device(h, timeouts != nullptr, nullptr);
    if (!d)
        return 0;
    std::lock_guard<std::mutex> lock(d->commMutex);
    d->timeouts = *timeouts;
    const bool returnAtOnce = timeouts->ReadIntervalTimeout == 0xFFFFFFFFu
        && !timeouts->ReadTotalTimeoutMultiplier && !timeouts->ReadTotalTimeoutConstant;
    // The multiplier is taken per byte of a typical read of the port.
    const uint64_t total = uint64_t(timeouts->ReadTotalTimeoutMultiplier) * 1024 + timeouts->ReadTotalTimeoutConstant;
    d->readTimeout = returnAtOnce ? 1 : DWORD(std::min<uint64_t>(total, 0xFFFFFFFEu));
    return 1;
}

BOOL setCommMask(HANDLE h, DWORD mask)
{
    auto d = device(h, true, nullptr);
    if (!d)
        return 0;
    d->commMask = mask;
    return 1;
}

BOOL waitCommEvent(HANDLE h, DWORD* mask)
{
    auto d = device(h, mask != nullptr, nullptr);
    if (!d)
        return 0;
    *mask = 0;
    if (!(d->commMask & EV_RXCHAR)) {
        setLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(d->commMutex);
            if (!d->arrived.empty()) {
                *mask = EV_RXCHAR;
                return 1;
            }
        }
        // Only this wait reads while nothing has arrived; what it gets is
        // kept for the reads that follow.
        std::vector<uint8_t> data;
        if (!d->session->read(data, 4096, 0)) {
            setLastError(ERROR_INVALID_HANDLE);
            return 0;
        }
        std::lock_guard<std::mutex> lock(d->commMutex);
        d->arrived.insert(d->arrived.end(), data.begin(), data.end());
    }
}

BOOL purgeComm(HANDLE h, DWORD flags)
{
    auto d = device(h, true, nullptr);
    if (!d)
        return 0;
    if (flags & PURGE_RXCLEAR) {
        {
            std::lock_guard<std::mutex> lock(d->commMutex);
            d->arrived.clear();
        }
        // Whatever the session already holds goes too; a bounded number of
        // short reads, so a peer that keeps sending cannot hold the call.
        for (int i = 0; i < 16; ++i) {
            std::vector<uint8_t> data;
            if (!d->session->read(data, 4096, 1) || data.empty())
                break;
        }
    }
    return 1;
}

void registerDevice(const std::string& name, std::shared_ptr<DeviceDriver> driver)
{
    std::lock_guard<std::mutex> lock(g_registryMutex);
    g_drivers[upperName(name)] = std::move(driver);
}

void unregisterDevice(const std::string& name)
{
    std::lock_guard<std::mutex> lock(g_registryMutex);
    g_drivers.erase(upperName(name));
}

// ---- server side --------------------------------------------------------

struct DeviceServer::Impl {
    std::string path;
    std::shared_ptr<DeviceDriver> driver;
    int listenFd = -1;
    int wakeFd = -1;
    std::thread acceptor;
    std::mutex mutex;
    struct Connection {
        int fd;
        std::thread thread;
        std::atomic<bool> done { false };
    };
    std::vector<std::unique_ptr<Connection>> connections;

    void acceptLoop()
    {
        for (;;) {
            pollfd p[2] = { { listenFd, POLLIN, 0 }, { wakeFd, POLLIN, 0 } };
            if (::poll(p, 2, -1) < 0) {
                if (errno == EINTR)
                    continue;
                return;
            }
            if (p[1].revents)
                return;
            int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) {
                // Out of descriptors, say: the pending connection stays and
                // poll reports it again at once, so pause instead of spinning.
                if (errno != EINTR && errno != EAGAIN && errno != ECONNABORTED)
                    ::poll(&p[1], 1, 50);
                continue;
            }
            if (!detail::peerIsSameUser(fd)) {
                debugPrintf("device %s: connection from another user refused", path.c_str());
                ::close(fd);
                continue;
            }
            std::lock_guard<std::mutex> lock(mutex);
            reapLocked();
            auto c = std::make_unique<Connection>();
            c->fd = fd;
            Connection* raw = c.get();
            c->thread = std::thread([this, raw] {
                serve(raw->fd);
                raw->done = true;
            });
            connections.push_back(std::move(c));
        }
    }

    void reapLocked()
    {
        for (auto it = connections.begin(); it != connections.end();) {
            if ((*it)->done) {
                (*it)->thread.join();
                ::close((*it)->fd);
                it = connections.erase(it);
            } else {
                ++it;
            }
        }
    }

    void serve(int fd)
    {
        std::mutex sendMutex;
        std::unique_ptr<DeviceSession> session;
        // Reads may block, so they run on a thread of their own, one at a time.
        std::mutex readMutex;
        std::condition_variable readCv;
        std::vector<Frame> reads;
        bool stopping = false;
        std::thread reader;

        Frame f;
        while (recvFrame(fd, f)) {
            if (f.type == Open && !session) {
                DWORD error = ERROR_DEV_NOT_EXIST;
                session = driver->open(f.a, &error);
                sendFrame(fd, sendMutex, Frame { OpenReply, f.id, session ? 1u : 0u, session ? 0u : error, {} });
                if (!session)
                    break;
                reader = std::thread([&] {
                    for (;;) {
                        Frame r;
                        {
                            std::unique_lock<std::mutex> lock(readMutex);
                            readCv.wait(lock, [&] { return stopping || !reads.empty(); });
                            if (stopping)
                                return;
                            r = std::move(reads.front());
                            reads.erase(reads.begin());
                        }
                        // Never more than asked, and never more than one frame holds,
                        // whatever the client asks or the driver returns.
                        size_t most = std::min<size_t>(r.a, kMaxFrame);
                        std::vector<uint8_t> data;
                        bool ok = session->read(data, most, r.b);
                        if (data.size() > most)
                            data.resize(most);
                        sendFrame(fd, sendMutex, Frame { ReadReply, r.id, ok ? 1u : 0u, 0, std::move(data) });
                    }
                });
                continue;
            }
            if (!session)
                break; // anything before a successful open is a protocol error
            if (f.type == Read) {
                std::lock_guard<std::mutex> lock(readMutex);
                reads.push_back(std::move(f));
                readCv.notify_one();
            } else if (f.type == Write) {
                bool ok = session->write(f.data.data(), f.data.size());
                sendFrame(
                    fd, sendMutex, Frame { WriteReply, f.id, ok ? 1u : 0u, ok ? 0u : DWORD(ERROR_WRITE_FAULT), {} });
            } else if (f.type == Ioctl) {
                std::vector<uint8_t> out;
                DWORD error = 0;
                bool ok = session->ioControl(f.a, f.data, out, f.b, &error);
                if (out.size() > f.b)
                    out.resize(f.b);
                sendFrame(fd, sendMutex, Frame { IoctlReply, f.id, ok ? 1u : 0u, ok ? 0u : error, std::move(out) });
            } else {
                debugPrintf("device %s: unexpected frame type %u; connection dropped", path.c_str(), f.type);
                break;
            }
        }
        if (session)
            session->close();
        {
            std::lock_guard<std::mutex> lock(readMutex);
            stopping = true;
            readCv.notify_all();
        }
        if (reader.joinable())
            reader.join();
        ::shutdown(fd, SHUT_RDWR);
    }
};

DeviceServer::DeviceServer(const std::string& name, std::shared_ptr<DeviceDriver> driver)
    : d(new Impl)
{
    d->driver = std::move(driver);
    d->path = socketPath(name);
    std::error_code ec;
    std::filesystem::create_directories(deviceRoot() + "/dev", ec);
    sockaddr_un addr;
    socklen_t len;
    if (!detail::pathAddress(d->path, &addr, &len)) {
        debugPrintf("device server %s: path too long for a socket", d->path.c_str());
        return;
    }
    // A name is served once: a live server keeps it, a socket left by a
    // killed one (nobody answers) is replaced.
    int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    bool live = probe >= 0 && ::connect(probe, reinterpret_cast<sockaddr*>(&addr), len) == 0;
    if (probe >= 0)
        ::close(probe);
    if (live) {
        if (detail::heldByAnotherAccount(reinterpret_cast<sockaddr*>(&addr), len, SOCK_STREAM))
            debugPrintf("device server %s: the name is held by another account", d->path.c_str());
        else
            debugPrintf("device server %s: already served by another server", d->path.c_str());
        return;
    }
    ::unlink(d->path.c_str());
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), len) != 0 || ::listen(fd, 16) != 0) {
        debugPrintf("device server %s: cannot listen (%s)", d->path.c_str(), std::strerror(errno));
        if (fd >= 0)
            ::close(fd);
        return;
    }
    d->wakeFd = eventfd(0, EFD_CLOEXEC);
    if (d->wakeFd < 0) {
        debugPrintf("device server %s: no wake-up descriptor (%s)", d->path.c_str(), std::strerror(errno));
        ::unlink(d->path.c_str());
        ::close(fd);
        return;
    }
    d->listenFd = fd;
    d->acceptor = std::thread([this] { d->acceptLoop(); });
}

DeviceServer::~DeviceServer()
{
    if (d->listenFd < 0)
        return;
    detail::signalEventFd(d->wakeFd);
    d->acceptor.join();
    // Unlinked while still listening, so a server started meanwhile under
    // the same name keeps its socket.
    ::unlink(d->path.c_str());
    ::close(d->listenFd);
    std::lock_guard<std::mutex> lock(d->mutex);
    for (auto& c : d->connections)
        ::shutdown(c->fd, SHUT_RDWR);
    for (auto& c : d->connections) {
        c->thread.join();
        ::close(c->fd);
    }
    d->connections.clear();
    ::close(d->wakeFd);
}

bool DeviceServer::ok() const
{
    return d->listenFd >= 0;
}

} // namespace ce
