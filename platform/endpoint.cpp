#include "platform/endpoint.h"

#include "platform/paths.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace ce::detail {

socklen_t abstractAddress(const std::string& kind, const std::string& name, sockaddr_un* out)
{
    // FNV-1a of the root keeps the address short whatever the root's length.
    uint64_t h = 1469598103934665603ull;
    for (unsigned char c : deviceRoot()) {
        h ^= c;
        h *= 1099511628211ull;
    }
    char hash[17];
    for (int i = 0; i < 16; ++i)
        hash[i] = "0123456789abcdef"[(h >> (60 - 4 * i)) & 15];
    hash[16] = 0;
    std::string full = std::string("kivo:") + hash + ":" + kind + ":" + name;
    std::memset(out, 0, sizeof *out);
    out->sun_family = AF_UNIX;
    size_t n = std::min(full.size(), sizeof(out->sun_path) - 1);
    std::memcpy(out->sun_path + 1, full.data(), n); // sun_path[0] = 0: abstract
    return socklen_t(offsetof(sockaddr_un, sun_path) + 1 + n);
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

bool sendAll(int fd, const void* data, size_t size)
{
    auto* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = ::send(fd, p, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        size -= size_t(n);
    }
    return true;
}

bool recvAll(int fd, void* data, size_t size)
{
    auto* p = static_cast<char*>(data);
    while (size > 0) {
        ssize_t n = ::recv(fd, p, size, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        size -= size_t(n);
    }
    return true;
}

bool peerIsSameUser(int fd)
{
    ucred cred {};
    socklen_t len = sizeof cred;
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) == 0 && cred.uid == ::getuid();
}

} // namespace ce::detail
