// sync_server: the local stand-in for the cloud sync service.
//   sync_server [--port N] [--files DIR] [--prefix /tracks/]
//               [--store DIR [--actions FILE] [--upload-setting TEXT]]
// Prints "sync_server listening on http://127.0.0.1:<port>" once it listens
// and serves until SIGINT or SIGTERM.
//
// --store runs the SOAP service with its store folder; --actions gives the
// action lists, one action a line, fields separated by tabs:
//     download  UUID  TITLE  FILE     (the file is served as the track)
//     upload    UUID  -      HASH
//     delete    UUID  -      HASH
// Lines starting with '#' are skipped. At the end the service prints what
// happened, one "event: ..." line each.
#include "sim/sync_server/sync_server.h"
#include "sim/sync_server/sync_service.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

void usage()
{
    std::fprintf(stderr,
        "usage: sync_server [--port N] [--files DIR] [--prefix /tracks/] [--store DIR [--actions FILE] "
        "[--upload-setting TEXT]]\n");
}

std::vector<std::string> splitTabs(const std::string& line)
{
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, '\t'))
        fields.push_back(field);
    return fields;
}

// Reads the action file into the service; false with a message on a bad line.
bool loadActions(kivo::sim::SyncService& service, const std::string& path)
{
    std::ifstream in(path);
    if (!in) {
        std::fprintf(stderr, "sync_server: cannot read %s\n", path.c_str());
        return false;
    }
    std::map<std::string, std::vector<kivo::sim::SyncAction>> actions;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (line.empty() || line[0] == '#')
            continue;
        const std::vector<std::string> f = splitTabs(line);
        if (f.size() != 4) {
            std::fprintf(stderr, "sync_server: %s:%d: want four tab-separated fields\n", path.c_str(), number);
            return false;
        }
        if (f[0] == "download") {
            std::ifstream track(f[3], std::ios::binary);
            if (!track) {
                std::fprintf(stderr, "sync_server: %s:%d: cannot read %s\n", path.c_str(), number, f[3].c_str());
                return false;
            }
            std::stringstream content;
            content << track.rdbuf();
            actions[f[1]].push_back({ f[0], f[2], service.addDownload(content.str()), "" });
        } else {
            actions[f[1]].push_back({ f[0], "", "", f[3] });
        }
    }
    for (const auto& [uuid, list] : actions)
        service.setActions(uuid, list);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    long port = 0;
    std::string filesDir;
    std::string prefix = "/tracks/";
    std::string storeDir;
    std::string actionsFile;
    std::string uploadSetting;
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
        } else if (arg == "--store") {
            storeDir = value;
        } else if (arg == "--actions") {
            actionsFile = value;
        } else if (arg == "--upload-setting") {
            uploadSetting = value;
        } else {
            usage();
            return 2;
        }
    }
    if (storeDir.empty() && (!actionsFile.empty() || !uploadSetting.empty())) {
        usage();
        return 2;
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
    std::unique_ptr<kivo::sim::SyncService> service;
    if (!storeDir.empty()) {
        // Download URLs name the port, known once the server listens.
        service = std::make_unique<kivo::sim::SyncService>(server, storeDir);
        if (!uploadSetting.empty())
            service->setUploadSetting(uploadSetting);
        if (!actionsFile.empty() && !loadActions(*service, actionsFile)) {
            server.stop();
            return 2;
        }
    }
    std::printf("sync_server listening on %s\n", server.baseUrl().c_str());
    std::fflush(stdout);

    int received = 0;
    sigwait(&signals, &received);
    server.stop();
    if (service) {
        for (const std::string& event : service->events())
            std::printf("event: %s\n", event.c_str());
        for (const std::string& fault : service->faults())
            std::printf("fault: %s\n", fault.c_str());
    }
    return 0;
}
