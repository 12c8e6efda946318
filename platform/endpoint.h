// Internal: names of run-time endpoints of one device root.
#pragma once

#include <sys/socket.h>
#include <sys/un.h>

#include <string>

namespace ce::detail {

// An abstract Unix-domain socket address private to this device root:
// "kivo:<hash of the root>:<kind>:<name>". Abstract names need no file and
// vanish with the socket, so a killed process leaves nothing stale behind.
socklen_t abstractAddress(const std::string& kind, const std::string& name, sockaddr_un* out);

// A short hash of a name (16 hex digits), for file names derived from it.
std::string nameHash(const std::string& name);

// Whether a process of another account listens at the address (it then
// holds a name this account's programs would use).
bool heldByAnotherAccount(const sockaddr* addr, socklen_t len, int type);

// A file-system socket address; false when the path is too long.
bool pathAddress(const std::string& path, sockaddr_un* out, socklen_t* len);

// Writes or reads exactly size bytes of a stream socket (EINTR retried);
// false when the peer is gone or the socket fails.
bool sendAll(int fd, const void* data, size_t size);
bool recvAll(int fd, void* data, size_t size);

// Whether the process at the other end of an accepted connection runs under
// this process's user. Abstract socket names carry no file permissions, so
// every endpoint checks this before it trusts a connection.
bool peerIsSameUser(int fd);

} // namespace ce::detail
