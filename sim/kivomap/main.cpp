// kivomap_peer: a stand-in KivoMap window for tests and the demo.
//
//   kivomap_peer [--text TEXT] [--text-file FILE] [--class NAME] [--title NAME]
//                [--log DEVICE_PATH | --no-log] [--quiet]
//
// Runs until SIGTERM or SIGINT. Each event is one line on stdout (unless
// --quiet) and in the log file (default
// \SystemDrive\Falmo\KivoMap\kivomap_peer.log under the device root).
#include "sim/kivomap/kivomap_peer.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <pthread.h>
#include <string>

namespace {

int usage()
{
    std::fprintf(stderr,
        "usage: kivomap_peer [--text TEXT] [--text-file FILE] [--class NAME] [--title NAME]\n"
        "                    [--log DEVICE_PATH | --no-log] [--quiet]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    kivo::sim::KivoMapPeerOptions options;
    options.echoToStdout = true;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--text" && hasValue) {
            options.replyText = argv[++i];
            options.haveReplyText = true;
        } else if (arg == "--text-file" && hasValue) {
            options.textFile = argv[++i];
        } else if (arg == "--class" && hasValue) {
            options.className = argv[++i];
        } else if (arg == "--title" && hasValue) {
            options.title = argv[++i];
        } else if (arg == "--log" && hasValue) {
            options.logFile = argv[++i];
        } else if (arg == "--no-log") {
            options.logFile.clear();
        } else if (arg == "--quiet") {
            options.echoToStdout = false;
        } else {
            return usage();
        }
    }

    // Block the stop signals in every thread; the main thread waits for them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    kivo::sim::KivoMapPeer peer(options);
    if (!peer.start()) {
        std::fprintf(stderr, "kivomap_peer: cannot create the window\n");
        return 1;
    }
    int signal = 0;
    sigwait(&stopSignals, &signal);
    peer.stop();
    return 0;
}
