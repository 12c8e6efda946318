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

// A file-system socket address; false when the path is too long.
bool pathAddress(const std::string& path, sockaddr_un* out, socklen_t* len);

} // namespace ce::detail
