#include "platform/endpoint.h"

#include "platform/paths.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace ce::detail {

namespace {

uint64_t fnv1a(const std::string& text)
{
    uint64_t h = 1469598103934665603ull;
    for (unsigned char c : text) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

std::string hex16(uint64_t h)
{
    std::string out(16, '0');
    for (int i = 0; i < 16; ++i)
        out[size_t(i)] = "0123456789abcdef"[(h >> (60 - 4 * i)) & 15];
    return out;
}

} // namespace

std::string nameHash(const std::string& name)
{
    return hex16(fnv1a(name));
}

bool heldByAnotherAccount(const sockaddr* addr, socklen_t len, int type)
{
    int probe = ::socket(AF_UNIX, type | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    bool other = probe >= 0 && ::connect(probe, addr, len) == 0 && !peerIsSameUser(probe);
    if (probe >= 0)
        ::close(probe);
    return other;
}

socklen_t abstractAddress(const std::string& kind, const std::string& name, sockaddr_un* out)
{
    // A hash of the root keeps the address short whatever the root's length.
    std::string full = "kivo:" + hex16(fnv1a(deviceRoot())) + ":" + kind + ":" + name;
    std::memset(out, 0, sizeof *out);
    out->sun_family = AF_UNIX;
    const size_t room = sizeof(out->sun_path) - 1; // sun_path[0] = 0: abstract
    if (full.size() > room) {
        // Too long to keep whole: the start and a hash of the whole name, so
        // that names differing only past the room still meet apart.
        std::string tail = ":" + hex16(fnv1a(full));
        full = full.substr(0, room - tail.size()) + tail;
    }
    std::memcpy(out->sun_path + 1, full.data(), full.size());
    return socklen_t(offsetof(sockaddr_un, sun_path) + 1 + full.size());
}

bool pathAddress(const std::string& path, sockaddr_un* out, socklen_t* len)
{
    std::memset(out, 0, sizeof *out);
    out->sun_family = AF_UNIX;
    if (path.size() >= sizeof(out->sun_path))
        return false;
    std::memcpy(out->sun_path, path.data(), path.size());
    *len = socklen_t(offsetof(sockaddr_un, sun_path) + path.size() + 1);
    return true;
}

namespace {

// Moves exactly size bytes through op (send or recv), retrying on EINTR.
template <typename Byte, typename Op> bool transferAll(Byte* p, size_t size, Op op)
{
    while (size > 0) {
        ssize_t n = op(p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        size -= size_t(n);
    }
    return true;
}

} // namespace

bool sendAll(int fd, const void* data, size_t size)
{
    return transferAll(
        static_cast<const char*>(data), size, [fd](const char* p, size_t n) { return ::send(fd, p, n, MSG_NOSIGNAL); });
}

bool recvAll(int fd, void* data, size_t size)
{
    return transferAll(static_cast<char*>(data), size, [fd](char* p, size_t n) { return ::recv(fd, p, n, 0); });
}

bool peerIsSameUser(int fd)
{
    ucred cred {};
    socklen_t len = sizeof cred;
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) == 0 && cred.uid == ::getuid();
}

} // namespace ce::detail
