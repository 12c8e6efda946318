// sync_server: the local stand-in for the cloud sync service.
//   sync_server [--port N] [--files DIR] [--prefix /tracks/]
// Prints "sync_server listening on http://127.0.0.1:<port>" once it listens
// and serves until SIGINT or SIGTERM.
#include "sim/sync_server/sync_server.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void usage()
{
    std::fprintf(stderr, "usage: sync_server [--port N] [--files DIR] [--prefix /tracks/]\n");
}

} // namespace

int main(int argc, char** argv)
{
    long port = 0;
    std::string filesDir;
    std::string prefix = "/tracks/";
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) {
            usage();
            return 2;
        }
        const std::string value = argv[++i];
        if (arg == "--port") {
            char* end = nullptr;
            port = std::strtol(value.c_str(), &end, 10);
            if (*end || port < 0 || port > 65535) {
                std::fprintf(stderr, "sync_server: bad port '%s'\n", value.c_str());
                return 2;
            }
        } else if (arg == "--files") {
            filesDir = value;
        } else if (arg == "--prefix") {
            prefix = value;
        } else {
            usage();
            return 2;
        }
    }

    // Block the stop signals before any thread starts, then wait for them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    kivo::sim::SyncServer server;
    if (!filesDir.empty())
        server.serveFiles(prefix, filesDir);
    if (!server.start(uint16_t(port))) {
        std::fprintf(stderr, "sync_server: cannot listen on 127.0.0.1:%ld: %s\n", port, std::strerror(errno));
        return 1;
    }
    std::printf("sync_server listening on %s\n", server.baseUrl().c_str());
    std::fflush(stdout);

    int received = 0;
    sigwait(&signals, &received);
    server.stop();
    return 0;
}
